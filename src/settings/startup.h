#pragma once
// Start-up, the "File" menu's ways of opening a source file, and shut-down,
// each one call on the state. After any of them the window re-shows every
// control from the state.
//
// Window event                      Call
//   construction                    StartUp(state, held, StartupPlatform::Current()) with
//                                   HeldMessages held(ui); then place the window (PlaceWindow)
//   first show                      show held.Take() through ui, then
//                                   FirstShow(state, ui, arguments without the program name)
//   close query                     accept the close only when ConfirmClose(state, ui)
//   close                           ShutDown(state, ui, the window's bounds)
//   File > "Open..."                OpenSourceCommand(state, ui)
//   File > recent entry i (0..8)    OpenRecentFile(state, ui, i)
//   "Open last file"                OpenLastFile(state, ui)
//   "Open Settings..."              OpenSettingsCommand(state, ui)      (settingscommands.h)
//   "Save Settings"                 SaveSettingsCommand(state, ui)
//   "Save Settings As..."           SaveSettingsAsCommand(state, ui)
//   "No settings file"              NoSettingsFileCommand(state)
//
// What the window shows                 From
//   window bounds                       state.bounds
//   "Settings File = " label            SettingsFileLabel(state)
//   "Save Settings" enabled             state.settingsChanged
//   the nine recent-file entries        RecentMenuCaptions(state.recent); empty: hidden
//   "Open last file" shown              OpenLastFileVisible(state)
//   ID prefix edit                      state.edits.idPrefix
//   text option combo                   TextOptionEntry(state.settings.textOption)
//   alignment combo                     AlignmentEntry(state.settings.alignment)
//   "Autoset on Grid change"            state.settings.autoDatum
//   symbol set combo                    state.settings.symbolType
//   datum box, grid box                 state.datum / state.grid: entries and selected
#include <string>
#include <utility>
#include <vector>

#include "platform/keystore.h"
#include "settings/userinterface.h"

namespace zevi {

struct AppState;
struct WindowBounds;

inline constexpr std::size_t kMaxCommandLineLength = 250;
inline constexpr const char* kTextOptions = "-ICA&+^";

// What start-up takes from the system; tests give their own.
struct StartupPlatform {
  std::string programFile;
  KeyStore machineStore;
  KeyStore userStore;

  // /proc/self/exe and the XDG per-machine and per-user stores.
  static StartupPlatform Current();
};

// Start-up runs before the window is placed on the screen. Its messages wait
// here until the window shows, so that no box comes up ahead of the window
// and none is placed against a window that is not yet where it will be.
// Questions and dialogs are not held: they go straight through.
class HeldMessages : public ForwardingUserInterface {
 public:
  using ForwardingUserInterface::ForwardingUserInterface;

  void ShowMessage(const std::string& text) override { held_.push_back(text); }

  // The messages held so far, in order; none are held afterwards.
  std::vector<std::string> Take() { return std::exchange(held_, {}); }

 private:
  std::vector<std::string> held_;
};

// Creation of the main window: folders, work folder, configuration, the
// named settings file, the datum and grid lists and their boxes. Every
// failure is reported through `ui` and start-up goes on.
void StartUp(AppState& state, UserInterface& ui, StartupPlatform& platform);

// First show: datum and grid of the settings, RefreshAll, then the source
// file named by the command line (with the associated settings offer).
void FirstShow(AppState& state, UserInterface& ui, const std::vector<std::string>& arguments);

// The arguments joined with single spaces, so that an unquoted path with
// spaces still names one file, cut to 250 characters; a relative path is
// taken from the current folder. Empty: no file.
//   {"/d/my", "track.txt"} -> "/d/my track.txt"
std::string CommandLineSourceFile(const std::vector<std::string>& arguments);

// Loads a source file, offering its associated settings file first.
void LoadSourceFileWithOffer(AppState& state, UserInterface& ui, const std::string& path);
// "Open...": the dialog starts at the last file with a filter built for its
// extension (".txt" when there is none).
void OpenSourceCommand(AppState& state, UserInterface& ui);
void OpenRecentFile(AppState& state, UserInterface& ui, int index);
void OpenLastFile(AppState& state, UserInterface& ui);
bool OpenLastFileVisible(const AppState& state);

// Entry of the text option combo: the position in "-ICA&+^", else 1 ("ID").
int TextOptionEntry(char textOption);
// Entry of the alignment combo: 0..3 as they are, anything else 4 ("Left Aligned").
int AlignmentEntry(int alignment);

// Close: takes the ID prefix edit into the settings, keeps the bounds and
// writes the configuration file.
void ShutDown(AppState& state, UserInterface& ui, const WindowBounds& bounds);

}  // namespace zevi
