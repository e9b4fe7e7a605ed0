#pragma once
// The converter's own state between runs: the user folder, the work folder
// recorded in the per-user key store, and the configuration file
// "rirido.ini" there (window bounds, current settings file, the last
// settings, the recent files).
#include <optional>
#include <string>

namespace zevi {

struct AppState;
struct WindowBounds;
class UserInterface;
class KeyStore;

inline constexpr const char* kConfigFileName = "rirido.ini";
inline constexpr const char* kZeviKey = "Software\\Vozirado\\ZEVI";
inline constexpr const char* kProgramPathValue = "exename";
inline constexpr const char* kWorkFolderValue = "workfolder";
inline constexpr const char* kDefaultBounds = "0 0 720 500";

// documents + "/My ZEVI", created when missing; a failure shows
// "Unable to find or create user folder: " + folder.
void EstablishUserFolder(AppState& state, UserInterface& ui);

// Records the program file in the per-machine store (silently skipped when
// it cannot be written), takes the work folder from the per-user store or
// makes it application data + "/Vozirado/ZEVI" (the program folder when
// there is no application data folder) and records it when none or a
// relative one is stored, and creates it.
// When it cannot be created the per-user key is deleted ("Deleted Key: "),
// so the next start picks a fresh default, and the work folder and the
// configuration path stay empty for this run.
void EstablishWorkFolder(AppState& state, UserInterface& ui, const std::string& programFile,
                         KeyStore& machine, KeyStore& user);

// "left top right bottom", four decimal integers separated by blanks.
//   "10 20 830 513" -> {10, 20, 830, 513}
//   "0 0 720"       -> none (three numbers)
//   "0 0 720 x"     -> none
//   "50 50 40 600"  -> none (no width: the window would vanish)
std::optional<WindowBounds> ParseBounds(const std::string& text);
std::string FormatBounds(const WindowBounds& bounds);

// The file start-up reads: the configuration path when that file exists,
// else "rirido.ini" beside the program when that exists, else the
// configuration path (missing: every default applies).
std::string ConfigurationFileToRead(const AppState& state);

// Bounds (a bad value reads as "0 0 720 500"), the current settings file
// (dropped when it no longer exists), the SETTINGS section, and the recent
// files that still exist, in their order.
void ReadConfiguration(AppState& state, UserInterface& ui);

// Writes bounds, settings file, SETTINGS and a fresh FILES section into the
// configuration path, keeping other keys of the file. False (after
// "Unable to write to " + path) when it cannot be written.
bool WriteConfiguration(const AppState& state, UserInterface& ui);

}  // namespace zevi
