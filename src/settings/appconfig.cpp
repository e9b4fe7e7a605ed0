#include "settings/appconfig.h"

#include <charconv>
#include <vector>
#include <algorithm>

#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/keystore.h"
#include "settings/files.h"
#include "settings/settings.h"
#include "settings/state.h"
#include "settings/userinterface.h"

namespace zevi {

namespace {

constexpr const char* kMainSection = "MAIN";
constexpr const char* kBoundsKey = "WBounds";
constexpr const char* kGeneralSection = "GENERAL";
constexpr const char* kSettingsFileKey = "SettingsFile";
constexpr const char* kFilesSection = "FILES";
constexpr const char* kRecentFileKey = "RecentFile";

std::string RecentFileKey(int index) { return kRecentFileKey + std::to_string(index); }

std::string WithoutTrailingSlash(std::string path) {
  if (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

void EstablishUserFolder(AppState& state, UserInterface& ui) {
  std::string documents = PersonalDocumentsFolder();
  state.userFolder = documents + "/My ZEVI";
  if (documents.empty() || !ForceFolder(state.userFolder)) {
    ui.ShowMessage("Unable to find or create user folder: " + state.userFolder);
  }
}

void EstablishWorkFolder(AppState& state, UserInterface& ui, const std::string& programFile,
                         KeyStore& machine, KeyStore& user) {
  if (machine.Read(kZeviKey, kProgramPathValue) != programFile) {
    machine.Write(kZeviKey, kProgramPathValue, programFile);  // no rights: go without
  }

  const std::string stored = user.Read(kZeviKey, kWorkFolderValue);
  std::string folder = stored;
  // A relative value would put the configuration wherever the program starts.
  if (folder.empty() || folder.front() != '/') {
    std::string appData = ApplicationDataFolder();
    folder = appData.empty() ? WithoutTrailingSlash(state.programFolder)
                             : appData + "/Vozirado/ZEVI";
    if (folder != stored) user.Write(kZeviKey, kWorkFolderValue, folder);
  }

  if (!ForceFolder(folder)) {
    if (user.DeleteKey(kZeviKey)) ui.ShowMessage(std::string("Deleted Key: ") + kZeviKey);
    folder.clear();
  }
  state.workFolder = folder;
  // Without a work folder there is nowhere sound to write: the configuration
  // beside the program may still be read.
  state.configPath = folder.empty() ? std::string() : folder + "/" + kConfigFileName;
}

std::optional<WindowBounds> ParseBounds(const std::string& text) {
  int values[4];
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int& value : values) {
    while (p != end && *p == ' ') ++p;
    auto [next, error] = std::from_chars(p, end, value);
    if (error != std::errc() || next == p) return std::nullopt;
    if (next != end && *next != ' ') return std::nullopt;
    p = next;
  }
  while (p != end && *p == ' ') ++p;
  if (p != end) return std::nullopt;
  WindowBounds bounds{values[0], values[1], values[2], values[3]};
  if (bounds.right <= bounds.left || bounds.bottom <= bounds.top) return std::nullopt;
  return bounds;
}

std::string FormatBounds(const WindowBounds& bounds) {
  return std::to_string(bounds.left) + " " + std::to_string(bounds.top) + " " +
         std::to_string(bounds.right) + " " + std::to_string(bounds.bottom);
}

std::string ConfigurationFileToRead(const AppState& state) {
  if (FileExists(state.configPath)) return state.configPath;
  std::string beside = state.programFolder + kConfigFileName;
  if (!state.programFolder.empty() && FileExists(beside)) return beside;
  return state.configPath;
}

void ReadConfiguration(AppState& state, UserInterface& ui) {
  const std::string path = ConfigurationFileToRead(state);
  IniFile file(path);
  // An unreadable file gives the defaults, and is said once: the close then
  // leaves it alone without a word.
  if (!path.empty() && !file.Load()) {
    ui.ShowMessage(UnreadableFileMessage(path, file.LoadFailure()));
    state.unreadableConfig = path;
  }

  state.bounds = ParseBounds(file.Get(kMainSection, kBoundsKey, kDefaultBounds))
                     .value_or(*ParseBounds(kDefaultBounds));

  state.settingsFile = file.Get(kGeneralSection, kSettingsFileKey);
  if (!FileExists(state.settingsFile)) state.settingsFile.clear();

  ReadSettings(file, state.settings, state.locale, ui);

  // Drive letters do not exist here: a file is kept only where it is.
  state.recent.files.clear();
  for (int index = 0; index < kRecentFileCount; ++index) {
    std::string path = file.Get(kFilesSection, RecentFileKey(index));
    if (path.empty() || !FileExists(path)) continue;
    auto& files = state.recent.files;
    if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
  }
  state.recent.lastFile = state.recent.files.empty() ? std::string() : state.recent.files.front();
}

bool WriteConfiguration(const AppState& state, UserInterface& ui) {
  if (state.configPath.empty()) {
    ui.ShowMessage(UnableToWriteMessage(kConfigFileName));
    return false;
  }
  IniFile file(state.configPath);
  if (!file.Load()) {
    if (state.configPath != state.unreadableConfig) {
      ui.ShowMessage(UnableToWriteMessage(state.configPath, file.LoadFailure()));
    }
    return false;
  }
  file.Set(kMainSection, kBoundsKey, FormatBounds(state.bounds));
  file.Set(kGeneralSection, kSettingsFileKey, state.settingsFile);
  WriteSettings(file, state.settings);
  // Only the list is rewritten: other keys of the section are not ours to drop.
  for (int index = 0; index < kRecentFileCount; ++index) file.EraseKey(kFilesSection, RecentFileKey(index));
  for (std::size_t i = 0; i < state.recent.files.size() && i < kRecentFileCount; ++i) {
    file.Set(kFilesSection, RecentFileKey(static_cast<int>(i)), state.recent.files[i]);
  }
  if (!file.Save()) {
    ui.ShowMessage(UnableToWriteMessage(state.configPath));
    return false;
  }
  return true;
}

WindowBounds PlaceWindow(const WindowBounds& saved, int defaultWidth, int defaultHeight,
                         const std::vector<ScreenArea>& screens) {
  if (screens.empty()) return saved;
  // Wide arithmetic: the saved numbers may be anything a file held.
  const long long width = 0LL + saved.right - saved.left;
  const long long height = 0LL + saved.bottom - saved.top;
  const bool makeable = width > 0 && height > 0 && width <= kMaxWindowSide && height <= kMaxWindowSide;
  const long long shownWidth = std::min<long long>(kMinTitleBarShown, width);
  for (const ScreenArea& screen : screens) {
    long long overlap = 0LL + std::min(saved.right, screen.right) - std::max(saved.left, screen.left);
    bool verticallyOn = 0LL + saved.top >= 0LL + screen.top - kTitleBarSlack &&
                        0LL + saved.top + kTitleBarHeight <= screen.bottom;
    if (makeable && overlap >= shownWidth && verticallyOn) return saved;
  }
  // Centred on the first screen, shrunk to it when the screen is smaller.
  const ScreenArea& screen = screens.front();
  const int w = std::max(1, std::min(defaultWidth, screen.right - screen.left));
  const int h = std::max(1, std::min(defaultHeight, screen.bottom - screen.top));
  const int left = screen.left + (screen.right - screen.left - w) / 2;
  const int top = screen.top + (screen.bottom - screen.top - h) / 2;
  return WindowBounds{left, top, left + w, top + h};
}

}  // namespace zevi
