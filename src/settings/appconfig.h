#pragma once
// The converter's own state between runs: the user folder, the work folder
// recorded in the per-user key store, and the configuration file
// "rirido.ini" there (window bounds, current settings file, the last
// settings, the recent files).
#include <optional>
#include <string>
#include <vector>

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
inline constexpr int kDefaultWindowWidth = 720;
inline constexpr int kDefaultWindowHeight = 500;

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

// The part of one screen that windows may use (no panels), as the desktop
// reports it; right and bottom are exclusive.
struct ScreenArea {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

inline constexpr int kTitleBarHeight = 24;
inline constexpr int kTitleBarSlack = 8;       // a maximised frame starts this far above the screen
inline constexpr int kMinTitleBarShown = 100;  // enough of the title bar to take hold of
inline constexpr int kMaxWindowSide = 32767;    // the most a window system makes

// Where the window opens. The saved bounds (top is the frame's top, so the
// title bar lies from top to top + kTitleBarHeight) when the title bar lands
// on one of the screens: at least 100 pixels of it across (all of it for a
// narrower window) and all of its height, give or take 8 pixels above.
// A window wider or higher than kMaxWindowSide is never kept.
// Otherwise the default size, centred on the first screen (the primary),
// shrunk to that screen when it is smaller. No screens: the saved bounds.
//   saved 0 0 720 500, screen 0 0 1280 800          -> 0 0 720 500
//   saved -8 -8 1928 1088, screen 0 0 1920 1080     -> kept (maximised)
//   saved -5000 -5000 -4300 -4500, screen 1280x800  -> 280 150 1000 650
//   saved 1300 0 2000 500, only screen 0 0 1280 800 -> centred (monitor gone)
//   saved 10 10 730 510, screen 0 0 640 480         -> kept (title bar shows)
//   saved -700 0 20 500, screen 0 0 640 480         -> centred, 640 x 480
WindowBounds PlaceWindow(const WindowBounds& saved, int defaultWidth, int defaultHeight,
                         const std::vector<ScreenArea>& screens);

// The file start-up reads: the configuration path when that file exists,
// else "rirido.ini" beside the program when that exists, else the
// configuration path (missing: every default applies).
std::string ConfigurationFileToRead(const AppState& state);

// Bounds (a bad value reads as "0 0 720 500"), the current settings file
// (dropped when it no longer exists), the SETTINGS section, and the recent
// files that still exist, in their order. A file that exists but cannot be
// read gives the defaults, is reported (UnreadableFileMessage) and recorded
// in state.unreadableConfig.
void ReadConfiguration(AppState& state, UserInterface& ui);

// Writes bounds, settings file, SETTINGS and the recent files into the
// configuration path, keeping every other section and key of the file. False
// after "Unable to write to " + path when it cannot be written, and when the
// file exists but cannot be read (said only when start-up did not say so).
bool WriteConfiguration(const AppState& state, UserInterface& ui);

}  // namespace zevi
