#include "settings/startup.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "geodesy/datums.h"
#include "geodesy/grids.h"
#include "platform/folders.h"
#include "settings/appconfig.h"
#include "settings/files.h"
#include "settings/settingscommands.h"
#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/kinds.h"
#include "source/loader.h"

namespace zevi {

namespace {

constexpr int kLeftAlignedEntry = 4;
constexpr int kMaxRightAlignment = 3;
constexpr int kDefaultTextOptionEntry = 1;
constexpr const char* kDefaultSourceExtension = ".txt";

}  // namespace

StartupPlatform StartupPlatform::Current() {
  return StartupPlatform{ProgramFilePath(), KeyStore::PerMachine(), KeyStore::PerUser()};
}

void StartUp(AppState& state, UserInterface& ui, StartupPlatform& platform) {
  state.sourceFile.clear();
  state.settingsFile.clear();
  state.programFolder = ProgramFolder(platform.programFile, kDatumFileName);
  state.lastExportFolder.clear();

  EstablishUserFolder(state, ui);
  EstablishWorkFolder(state, ui, platform.programFile, platform.machineStore, platform.userStore);

  state.recent = RecentFiles{};
  state.sourceFilters = AppState{}.sourceFilters;
  state.exportFilters = AppState{}.exportFilters;
  state.datum = DatumState{};
  state.settings.breaks = BreakTable{};
  state.settings.scaleFactor = 0;

  ReadConfiguration(state, ui);
  if (!state.settingsFile.empty() &&
      !LoadSettingsFile(state.settingsFile, state.settings, state.locale, ui)) {
    state.settingsFile.clear();
  }
  state.settingsChanged = false;

  ReadDatumList(state.datum, state.DatumFilePath(), ui);

  SetGridFiles(state.grid, state.programFolder);
  ReadGridList(state.grid, state.settings.gridFiles, ui);
  ShowGrid(state.grid, state.settings.grid);
  state.grid.zoneWidth = 0;
  state.grid.eastingDigits = 0;
  state.grid.northingDigits = 0;

  state.settingsOpenedOrSaved = false;
  state.settingsAssociated = false;
}

void FirstShow(AppState& state, UserInterface& ui, const std::vector<std::string>& arguments) {
  state.edits.idPrefix = state.settings.wptIdPrefix;
  if (!state.settings.datum.empty()) {
    SelectDatum(state.datum, state.settings.datum, state.DatumFilePath(), ui);
  }
  ShowDatum(state.datum, state.settings.datum);
  // The grid's own datum must not override the datum just restored.
  SelectGrid(state.grid, state.datum, state.settings.grid, false, state.settings.gridFiles, ui);
  RefreshAll(state, ui);
  state.settingsChanged = false;

  std::string path = CommandLineSourceFile(arguments);
  if (!path.empty()) LoadSourceFileWithOffer(state, ui, path);
}

std::string CommandLineSourceFile(const std::vector<std::string>& arguments) {
  std::string joined;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) joined += ' ';
    joined += arguments[i];
  }
  joined.resize(std::min(joined.size(), kMaxCommandLineLength));
  if (joined.empty() || joined.front() == '/') return joined;
  // The recent list and the associated settings file need the full path.
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(joined, error);
  return error ? joined : full.string();
}

void LoadSourceFileWithOffer(AppState& state, UserInterface& ui, const std::string& path) {
  LoadSourceFile(state, ui, path, AssociatedSettingsOffer(state, ui));
}

void OpenSourceCommand(AppState& state, UserInterface& ui) {
  const std::string& last = state.recent.lastFile;
  std::string extension = last.empty() ? std::string(kDefaultSourceExtension) : ExtensionOf(last);
  DialogFilter filter = BuildDialogFilter(extension, state.sourceFilters);

  FileDialogRequest request;
  request.title = "Open";
  request.filter = filter.text;
  request.filterIndex = filter.index + 1;
  request.initialFolder = FolderOf(last);
  request.fileName = FileNameOf(last);
  std::optional<std::string> chosen = ui.ChooseOpenFile(request);
  if (chosen && !chosen->empty()) LoadSourceFileWithOffer(state, ui, *chosen);
}

void OpenRecentFile(AppState& state, UserInterface& ui, int index) {
  if (index < 0 || index >= static_cast<int>(state.recent.files.size())) return;
  // A copy: the load reorders the list it came from.
  std::string path = state.recent.files[static_cast<std::size_t>(index)];
  LoadSourceFileWithOffer(state, ui, path);
}

void OpenLastFile(AppState& state, UserInterface& ui) {
  if (state.recent.lastFile.empty()) return;
  std::string path = state.recent.lastFile;
  LoadSourceFileWithOffer(state, ui, path);
}

bool OpenLastFileVisible(const AppState& state) { return !state.recent.lastFile.empty(); }

int TextOptionEntry(char textOption) {
  const char* found = textOption != '\0' ? std::strchr(kTextOptions, textOption) : nullptr;
  return found != nullptr ? static_cast<int>(found - kTextOptions) : kDefaultTextOptionEntry;
}

int AlignmentEntry(int alignment) {
  return alignment >= 0 && alignment <= kMaxRightAlignment ? alignment : kLeftAlignedEntry;
}

void ShutDown(AppState& state, UserInterface& ui, const WindowBounds& bounds) {
  state.settings.wptIdPrefix = state.edits.idPrefix;
  state.bounds = bounds;
  WriteConfiguration(state, ui);
}

}  // namespace zevi
