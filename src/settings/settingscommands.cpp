#include "settings/settingscommands.h"

#include "geodesy/datums.h"
#include "geodesy/grids.h"
#include "platform/folders.h"
#include "settings/files.h"
#include "settings/settings.h"
#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/kinds.h"

namespace zevi {

namespace {

constexpr std::size_t kDefaultZoneLength = 5;

Button AskSettingsQuestion(UserInterface& ui, const std::string& text,
                           const std::vector<Button>& buttons) {
  return ui.Ask(MessageKind::Confirmation, text, buttons, kHelpSettings);
}

}  // namespace

std::string SettingsFileLabel(const AppState& state) {
  return "Settings File = " + (state.settingsFile.empty() ? std::string("(None)") : state.settingsFile);
}

std::string AssociatedSettingsFile(const std::string& sourcePath) {
  return StripExtension(sourcePath) + ".ini";
}

void LoadAndRefresh(AppState& state, UserInterface& ui) {
  if (!LoadSettingsFile(state.settingsFile, state.settings, state.locale, ui)) {
    state.settingsFile.clear();
  }
  state.edits.idPrefix = state.settings.wptIdPrefix;
  if (!state.settings.datum.empty()) {
    SelectDatum(state.datum, state.settings.datum, state.DatumFilePath(), ui);
  }
  ShowDatum(state.datum, state.settings.datum);
  SelectGrid(state.grid, state.datum, state.settings.grid, false, state.settings.gridFiles, ui);
  ShowGrid(state.grid, state.settings.grid);
  RefreshAll(state, ui);
  state.settingsChanged = false;
}

SaveOutcome SaveSettingsTo(AppState& state, UserInterface& ui, const std::string& path) {
  TakeOverColumnWidths(state);
  state.settings.wptIdPrefix = state.edits.idPrefix;
  state.settings.defaultZone = state.edits.defaultZone.substr(0, kDefaultZoneLength);
  if (!SaveSettingsFile(path, state.settings, ui)) return SaveOutcome::Failed;
  state.settingsFile = path;
  state.settingsChanged = false;
  ui.ShowMessage("Settings saved in file: " + FileNameOf(path));
  state.settingsOpenedOrSaved = true;
  return SaveOutcome::Saved;
}

void OpenSettingsCommand(AppState& state, UserInterface& ui) {
  FileDialogRequest request;
  request.title = "Open Settings";
  request.filter = "Ini files|*.ini";
  request.initialFolder = FolderOf(state.settingsFile);
  request.fileName = FileNameOf(state.settingsFile);
  std::optional<std::string> chosen = ui.ChooseOpenFile(request);
  if (!chosen || chosen->empty()) return;
  state.settingsFile = *chosen;
  LoadAndRefresh(state, ui);
  state.settingsOpenedOrSaved = true;
  state.settingsAssociated = !state.sourceFile.empty() && !state.settingsFile.empty() &&
                             AssociatedSettingsFile(state.sourceFile) == state.settingsFile;
}

SaveOutcome SaveSettingsCommand(AppState& state, UserInterface& ui) {
  if (state.settingsFile.empty()) return SaveSettingsAsCommand(state, ui);
  if (state.settingsOpenedOrSaved || state.settingsAssociated || !FileExists(state.settingsFile)) {
    return SaveSettingsTo(state, ui, state.settingsFile);
  }
  Button answer = AskSettingsQuestion(
      ui,
      "Settings file exists. Are you sure you want to overwrite it (YES/NO)?\r\n"
      "or Click OK to \"Save As..\" with a new name.",
      {Button::Yes, Button::No, Button::Ok});
  switch (answer) {
    case Button::Yes:
      return SaveSettingsTo(state, ui, state.settingsFile);
    case Button::No:
      return SaveOutcome::NotSaved;
    default:
      return SaveSettingsAsCommand(state, ui);
  }
}

SaveOutcome SaveSettingsAsCommand(AppState& state, UserInterface& ui) {
  FileDialogRequest request;
  request.title = "Save Settings As";
  request.filter = "Ini files (*.ini)|*.ini";
  request.filterIndex = 1;
  request.initialFolder = state.recent.lastFolder;
  request.fileName = StripExtension(state.settingsFile);
  request.defaultExtension = "ini";
  std::optional<std::string> chosen = ui.ChooseSaveFile(request);
  if (!chosen || chosen->empty()) return SaveOutcome::NotSaved;
  const std::string& path = *chosen;
  if (path != state.settingsFile && FileExists(path) &&
      AskSettingsQuestion(ui, "Overwrite existing settings file? ", {Button::Yes, Button::Cancel}) !=
          Button::Yes) {
    return SaveOutcome::NotSaved;
  }
  return SaveSettingsTo(state, ui, path);
}

void NoSettingsFileCommand(AppState& state) {
  state.settingsFile.clear();
  state.settingsOpenedOrSaved = false;
}

void OfferAssociatedSettings(AppState& state, UserInterface& ui, const std::string& sourcePath) {
  const std::string associated = AssociatedSettingsFile(sourcePath);
  state.settingsAssociated = associated == state.settingsFile;
  if (state.settingsAssociated || !FileExists(associated)) return;
  // Loading it loses nothing unless the settings in force were changed, and
  // then Enter must not throw those changes away.
  const Button preferred = state.settingsChanged ? Button::No : Button::Yes;
  Button answer = ui.AskPreferring(
      MessageKind::Confirmation,
      "Associated Settings file exists.\r\n" + associated + "\r\nDo you wish to load this?",
      {Button::Yes, Button::No}, kHelpSettings, preferred);
  if (answer != Button::Yes) return;
  state.settingsFile = associated;
  LoadAndRefresh(state, ui);
  state.settingsAssociated = !state.settingsFile.empty();
}

BeforeNewSourceFile AssociatedSettingsOffer(AppState& state, UserInterface& ui) {
  return [&state, &ui](const std::string& path) { OfferAssociatedSettings(state, ui, path); };
}

bool ConfirmClose(AppState& state, UserInterface& ui) {
  TakeOverColumnWidths(state);
  if (!state.settingsChanged || state.settingsFile.empty()) return true;
  Button answer = AskSettingsQuestion(
      ui, "The settings have changed. Save settings in file: " + FileNameOf(state.settingsFile) + "?",
      {Button::Yes, Button::No, Button::Cancel});
  if (answer == Button::Cancel) return false;
  if (answer == Button::Yes) return SaveSettingsCommand(state, ui) != SaveOutcome::Failed;
  return true;
}

}  // namespace zevi
