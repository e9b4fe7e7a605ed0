#pragma once
// The "Settings" menu commands on settings files, the offer of a source
// file's associated settings file, and the close query. The changed state is
// state.settingsChanged ("Save Settings" enabled).
#include <string>

#include "source/loader.h"

namespace zevi {

struct AppState;
class UserInterface;

// "Settings File = " + path, or "Settings File = (None)".
std::string SettingsFileLabel(const AppState& state);

// The source path with its extension stripped (at most 6 characters) and
// ".ini" appended:
//   "/d/track.txt"       -> "/d/track.ini"
//   "/d/track"           -> "/d/track.ini"
//   "/d/track.abcdefgh"  -> "/d/track.ab.ini"
std::string AssociatedSettingsFile(const std::string& sourcePath);

// Reads state.settingsFile (a vanished file: the loader's message and no
// settings file) and brings the state in line with the settings: ID prefix,
// datum, grid and grid box, RefreshAll; clears the changed state.
void LoadAndRefresh(AppState& state, UserInterface& ui);

enum class SaveOutcome {
  Saved,
  NotSaved,   // the user declined or cancelled
  Failed,     // the file could not be written (already reported)
};

// Takes over the column widths and the ID prefix and default zone edits,
// writes the settings to `path` and makes it the current settings file;
// "Settings saved in file: " + name. A failed write leaves the current
// settings file and the changed state as they were.
SaveOutcome SaveSettingsTo(AppState& state, UserInterface& ui, const std::string& path);

// "Open Settings...": cancelling changes nothing.
void OpenSettingsCommand(AppState& state, UserInterface& ui);
// "Save Settings": asks before overwriting a file that was neither opened nor
// saved in this run nor associated with the source file; without a settings
// file it is "Save Settings As...".
SaveOutcome SaveSettingsCommand(AppState& state, UserInterface& ui);
// "Save Settings As...".
SaveOutcome SaveSettingsAsCommand(AppState& state, UserInterface& ui);
// "No settings file": the settings themselves stay.
void NoSettingsFileCommand(AppState& state);

// Run before a different source file is loaded: offers its associated
// settings file when one exists and is not already the current one.
void OfferAssociatedSettings(AppState& state, UserInterface& ui, const std::string& sourcePath);
// The offer as the loader takes it; `state` and `ui` must outlive the result.
BeforeNewSourceFile AssociatedSettingsOffer(AppState& state, UserInterface& ui);

// The window is asked to close: takes the column widths over and, when the
// settings changed and a settings file is named, asks whether to save them.
// False: the window stays open (Cancel, or a save that could not be written).
bool ConfirmClose(AppState& state, UserInterface& ui);

}  // namespace zevi
