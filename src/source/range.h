#pragma once
// The record range: which lines are records.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace zevi {

struct AppState;
struct ConversionSettings;
class UserInterface;

inline constexpr int kLoaderEndOfFile = 9999999;

struct RecordRange {
  int first = 1;
  int last = kLoaderEndOfFile;
};

// A record number beyond every table: the range then runs to the table's end.
inline constexpr std::int32_t kLargestRecordNumber = std::numeric_limits<std::int32_t>::max();

// A record number as the settings file and the record boxes give it: a whole
// number, clamped to 32 bits; empty when the text is no whole number.
//   "12" -> 12, " +7" -> 7, "99999999999" -> kLargestRecordNumber,
//   "-99999999999999999999" -> the lowest 32-bit number; "1.5", "", "x" -> empty
std::optional<std::int32_t> RecordNumberOf(std::string_view text);

// First is 1 in mode "B"; last is `endOfFile` in mode "E".
RecordRange EffectiveRange(const ConversionSettings& settings, int endOfFile);

// The commands; each marks the settings as changed. Rows are the lines of the
// loaded file.
void FirstRecordGroupClick(AppState& state, UserInterface& ui, int entry);
void LastRecordGroupClick(AppState& state, int entry);
void FirstSpinDown(AppState& state, UserInterface& ui);
void FirstSpinUp(AppState& state, UserInterface& ui);
void LastSpinDown(AppState& state);
void LastSpinUp(AppState& state);
// The row pop-up; both reload a loaded source file.
void MakeFirstRecord(AppState& state, UserInterface& ui, int row);
void MakeLastRecord(AppState& state, UserInterface& ui, int row);

// Re-reads the text of the effective first record ("File does not exist", "Error C").
void RefreshFirstRecordText(AppState& state, UserInterface& ui);

}  // namespace zevi
