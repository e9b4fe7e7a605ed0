#include "settings/options.h"

#include <cstring>

#include "geodesy/grids.h"
#include "settings/startup.h"
#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/kinds.h"
#include "source/loader.h"
#include "values/gridvalues.h"

namespace zevi {
namespace {

void MarkChanged(AppState& state) { state.settingsChanged = true; }

void ReloadSourceFile(AppState& state, UserInterface& ui) {
  if (!state.sourceFile.empty()) LoadSourceFile(state, ui, state.sourceFile);
}

std::string TrimBlanks(const std::string& text) {
  auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

void ChooseMode(AppState& state, int entry) {
  if (entry < 0 || entry > 2) return;
  state.settings.mode = kModeLetters[entry];
  MarkChanged(state);
}

int ModeEntry(const ConversionSettings& settings) {
  if (settings.mode == 'R') return 1;
  if (settings.mode == 'T') return 2;
  return 0;
}

void ChooseDateFormat(AppState& state, char letter) {
  state.settings.dateFormat = letter;
  // The headings are shown again with the map's widths: keep what the user dragged.
  TakeOverColumnWidths(state);
  RefreshHeadings(state);
  MarkChanged(state);
}

char DateFormatShown(const ConversionSettings& settings) {
  return settings.dateFormat == 'M' || settings.dateFormat == 'Y' ? settings.dateFormat : 'D';
}

void ChooseListSeparator(AppState& state, UserInterface& ui, ListSeparatorEntry entry) {
  ConversionSettings& settings = state.settings;
  switch (entry) {
    case ListSeparatorEntry::Comma: settings.listSeparator = ','; break;
    case ListSeparatorEntry::Semicolon: settings.listSeparator = ';'; break;
    case ListSeparatorEntry::Space: settings.listSeparator = ' '; break;
    case ListSeparatorEntry::None: settings.listSeparator = kNoListSeparator; break;
    case ListSeparatorEntry::UserDefined: {
      std::string answer = TrimBlanks(ui.InputBox("List Separator Query",
                                                   "Enter list separator (single character)",
                                                   std::string(1, settings.userSeparator)));
      settings.userSeparator = answer.empty() ? ':' : answer.front();
      settings.listSeparator = settings.userSeparator;
      break;
    }
  }
  if (settings.listSeparator == ',') settings.decimalSeparator = '.';
  ReloadSourceFile(state, ui);
  MarkChanged(state);
}

ListSeparatorEntry ListSeparatorShown(const ConversionSettings& settings) {
  switch (settings.listSeparator) {
    case ' ': return ListSeparatorEntry::Space;
    case ',': return ListSeparatorEntry::Comma;
    case ';': return ListSeparatorEntry::Semicolon;
    case kNoListSeparator: return ListSeparatorEntry::None;
    default: return ListSeparatorEntry::UserDefined;
  }
}

std::string UserSeparatorCaption(const ConversionSettings& settings) {
  return std::string("User Defined (") + settings.userSeparator + ")";
}

void ChooseDecimalSeparator(AppState& state, UserInterface& ui, char mark) {
  state.settings.decimalSeparator = mark;
  if (mark == ',') state.settings.listSeparator = ';';
  ReloadSourceFile(state, ui);
  MarkChanged(state);
}

void ChooseSourceEncoding(AppState& state, UserInterface& ui, SourceEncoding encoding) {
  state.settings.encoding = encoding;
  ReloadSourceFile(state, ui);
  MarkChanged(state);
}

void ChooseLatitudeSign(AppState& state, int sign) {
  state.settings.latitudeSign = sign < 0 ? -1 : 1;
  MarkChanged(state);
}

void ChooseLongitudeSign(AppState& state, int sign) {
  state.settings.longitudeSign = sign < 0 ? -1 : 1;
  MarkChanged(state);
}

void ChooseAuxData(AppState& state, char letter) {
  ChangeAuxKind(state, letter);
  MarkChanged(state);
}

char AuxDataShown(const ConversionSettings& settings) {
  char letter = settings.auxData;
  return letter == 'B' || letter == 'H' || letter == 'T' ? letter : 'D';
}

std::string AuxCaption(const ConversionSettings& settings) {
  switch (AuxDataShown(settings)) {
    case 'B': return "Heading";
    case 'H': return "Heartrate";
    case 'T': return "Temperature";
    default: return "Depth";
  }
}

void SwitchGridFile(AppState& state, UserInterface& ui, int gridSwitch) {
  if (gridSwitch < 0 || gridSwitch > 2) return;
  ToggleGridFile(state.settings.gridFiles, gridSwitch);
  ReadGridList(state.grid, state.settings.gridFiles, ui);
}

void ChooseTextOption(AppState& state, int entry) {
  if (entry < 0 || entry >= static_cast<int>(std::strlen(kTextOptions))) return;
  state.settings.textOption = kTextOptions[entry];
  MarkChanged(state);
}

void ChooseSymbolType(AppState& state, int index) { state.settings.symbolType = index; }

void ChooseTrackStart(AppState& state, int entry) {
  if (entry < 0) return;
  state.settings.trackStart = entry;
  MarkChanged(state);
}

int TrackStartEntry(const ConversionSettings& settings) {
  return settings.trackStart < 0 ? 0 : settings.trackStart;
}

void EditDefaultZone(AppState& state, const std::string& text) {
  state.edits.defaultZone = text;
  MarkChanged(state);
}

void StepScaleButton(AppState& state, int delta) {
  state.settings.scaleFactor = StepScale(state.settings.scaleFactor, delta);
}

void AskScale(AppState& state, UserInterface& ui) {
  std::string answer = ui.InputBox("Grid assumed decimal place position",
                                   "Enter Position Shift (0=as is, -n=shift left, +n=shift right)",
                                   std::to_string(state.settings.scaleFactor));
  std::optional<int> shift = ParseScaleAnswer(answer);  // "Range check error" leaves it
  if (!shift) return;
  state.settings.scaleFactor = *shift;
  RefreshAll(state, ui);
  MarkChanged(state);
}

void ChooseAlignment(AppState& state, int entry) {
  constexpr int kLeftAlignedEntry = 4;
  if (entry < 0 || entry > kLeftAlignedEntry) return;
  state.settings.alignment = entry < kLeftAlignedEntry ? entry : kAlignLeft;
  MarkChanged(state);
}

void ChooseGrid(AppState& state, UserInterface& ui, int entry) {
  GridState& grid = state.grid;
  if (entry < 0 || entry >= static_cast<int>(grid.entries.size())) entry = 0;
  grid.selected = entry;
  std::string name = entry == 0 ? std::string() : grid.entries[entry];
  SelectGrid(grid, state.datum, name, state.settings.autoDatum, state.settings.gridFiles, ui);
  // The settings mirror what the grid and its own datum made current.
  state.settings.grid = grid.name;
  state.settings.datum = state.datum.name;
  MarkChanged(state);
}

void ChooseDatum(AppState& state, UserInterface& ui, int entry) {
  DatumState& datum = state.datum;
  if (entry < 0 || entry >= static_cast<int>(datum.entries.size())) entry = 0;
  datum.selected = entry;
  std::string name = entry == 0 ? std::string() : datum.entries[entry];
  SelectDatum(datum, name, state.DatumFilePath(), ui);
  state.settings.datum = datum.name;
  MarkChanged(state);
}

void SetAutoDatum(AppState& state, bool on) { state.settings.autoDatum = on; }

bool ScaleShown(const AppState& state) { return state.grid.selected > 0; }

}  // namespace zevi
