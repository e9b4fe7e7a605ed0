#include "source/range.h"

#include <filesystem>
#include <string>

#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/loader.h"

namespace zevi {

namespace {

int RowsOf(const AppState& state) { return state.table.RowCount() - 1; }

// Every range command shows the numbers again and counts as a change.
void ShowAndMark(AppState& state) {
  state.edits.firstRecord = std::to_string(state.settings.firstRecord);
  state.edits.lastRecord = std::to_string(state.settings.lastRecord);
  state.settingsChanged = true;
}

// The row pop-up's commands end alike: the new range decides the column count.
void ReloadForRange(AppState& state, UserInterface& ui) {
  ShowAndMark(state);
  // The reload finds the first record's text itself.
  if (state.sourceFile.empty()) {
    RefreshFirstRecordText(state, ui);
  } else {
    LoadSourceFile(state, ui, state.sourceFile);
  }
}

}  // namespace

RecordRange EffectiveRange(const ConversionSettings& settings, int endOfFile) {
  return RecordRange{settings.firstRecordMode == 'B' ? 1 : settings.firstRecord,
                     settings.lastRecordMode == 'E' ? endOfFile : settings.lastRecord};
}

void FirstRecordGroupClick(AppState& state, UserInterface& ui, int entry) {
  state.settings.firstRecordMode = entry == 0 ? 'B' : 'R';
  ShowAndMark(state);
  RefreshFirstRecordText(state, ui);
}

void LastRecordGroupClick(AppState& state, int entry) {
  state.settings.lastRecordMode = entry == 0 ? 'E' : 'R';
  ShowAndMark(state);
}

void FirstSpinDown(AppState& state, UserInterface& ui) {
  ConversionSettings& s = state.settings;
  if (s.firstRecord > 1) --s.firstRecord;
  ShowAndMark(state);
  RefreshFirstRecordText(state, ui);
}

void FirstSpinUp(AppState& state, UserInterface& ui) {
  ConversionSettings& s = state.settings;
  if (s.lastRecordMode == 'E' && s.firstRecord == s.lastRecord && s.lastRecord < RowsOf(state)) {
    ++s.lastRecord;
  }
  if (s.firstRecord < s.lastRecord) ++s.firstRecord;
  ShowAndMark(state);
  RefreshFirstRecordText(state, ui);
}

void LastSpinDown(AppState& state) {
  ConversionSettings& s = state.settings;
  if (s.firstRecordMode == 'B' && s.lastRecord == s.firstRecord && s.firstRecord > 1) {
    --s.firstRecord;
  }
  if (s.firstRecord < s.lastRecord) --s.lastRecord;
  ShowAndMark(state);
}

void LastSpinUp(AppState& state) {
  ConversionSettings& s = state.settings;
  if (s.lastRecord < RowsOf(state)) ++s.lastRecord;
  ShowAndMark(state);
}

void MakeFirstRecord(AppState& state, UserInterface& ui, int row) {
  if (row < 1) return;
  ConversionSettings& s = state.settings;
  s.firstRecord = row;
  if (s.lastRecord < row) s.lastRecord = row;
  s.firstRecordMode = 'R';
  ReloadForRange(state, ui);
}

void MakeLastRecord(AppState& state, UserInterface& ui, int row) {
  if (row < 1) return;
  ConversionSettings& s = state.settings;
  s.lastRecord = row;
  if (row < s.firstRecord) s.firstRecord = row;
  s.lastRecordMode = 'R';
  ReloadForRange(state, ui);
}

void RefreshFirstRecordText(AppState& state, UserInterface& ui) {
  if (state.sourceFile.empty()) {
    state.firstRecordText.clear();
    return;
  }
  std::error_code error;
  if (!std::filesystem::exists(state.sourceFile, error)) {
    ui.ShowMessage("File does not exist");
    return;
  }
  const SourceFileHandle file = OpenSourceFile(state.sourceFile);
  if (!file) {
    ui.ShowMessage("Error C");
    return;
  }
  const int first = EffectiveRange(state.settings, kLoaderEndOfFile).first;
  SourceLineReader reader(file.get());
  std::string line;
  for (int number = 1; reader.ReadSourceLine(line); ++number) {
    if (number < first) continue;
    if (!line.empty()) state.firstRecordText = line;
    break;
  }
  if (reader.Failed()) ui.ShowMessage("Error C");
}

}  // namespace zevi
