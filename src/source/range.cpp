#include "source/range.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <string>

#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/loader.h"
#include "values/numbers.h"

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

std::optional<std::int32_t> RecordNumberOf(std::string_view text) {
  constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
  if (const std::optional<std::int64_t> value = TryStrToInt(text)) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(*value, kLowest, kLargestRecordNumber));
  }
  // Too many digits even for 64 bits: still a number, beyond every table.
  const std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::nullopt;
  std::string_view body = text.substr(start, text.find_last_not_of(' ') + 1 - start);
  const bool negative = body.front() == '-';
  if (body.front() == '-' || body.front() == '+') body.remove_prefix(1);
  if (body.empty() || body.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  return negative ? static_cast<std::int32_t>(kLowest) : kLargestRecordNumber;
}

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
  const std::string& path = state.sourceFile;
  if (path.empty()) {
    state.firstRecordText.clear();
    return;
  }
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (path != kStandardInputPath && !std::filesystem::exists(status)) {
    ui.ShowMessage("File does not exist\r\n" + path);
    return;
  }
  // A pipe or standard input cannot be read a second time: the text stays.
  if (path == kStandardInputPath ||
      !(std::filesystem::is_regular_file(status) || std::filesystem::is_directory(status))) {
    return;
  }
  const SourceFileHandle file = OpenSourceFile(path);
  if (!file) {
    ui.ShowMessage("Error C");
    return;
  }
  try {
    const SourceRead read = ReadSource(file, LoadLimits{});
    const int first = EffectiveRange(state.settings, kLoaderEndOfFile).first;
    SourceLines lines(read.text.View());
    std::string_view line;
    for (int number = 1; !read.readFailed && lines.ReadSourceLine(line); ++number) {
      if (number < first) continue;
      if (!line.empty()) state.firstRecordText = line;
      break;
    }
    if (read.readFailed) ui.ShowMessage("Error C");
  } catch (const std::bad_alloc&) {
    ui.ShowMessage("Error C");
  }
}

}  // namespace zevi
