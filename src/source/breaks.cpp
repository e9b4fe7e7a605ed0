#include "source/breaks.h"

#include <algorithm>

#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/loader.h"

namespace zevi {

namespace {
constexpr std::size_t kMaxBreakPosition = 255;

bool IsMark(char c) { return c == '^' || c == '.' || c == ','; }
}  // namespace

void ApplyBreaks(const BreakTable& breaks, char separator, std::string& text) {
  std::size_t inserted = 0;
  for (const BreakEntry& entry : breaks) {
    if (entry.position == 0) break;
    // Each insertion moved the rest one place to the right.
    const std::size_t at = std::min<std::size_t>(entry.position + inserted, text.size());
    text.insert(at, 1, entry.mark == '^' ? separator : entry.mark);
    ++inserted;
  }
}

int CountColumnBreaks(const BreakTable& breaks) {
  int count = 0;
  for (const BreakEntry& entry : breaks) {
    if (entry.position == 0) break;
    if (entry.mark == '^') ++count;
  }
  return count;
}

std::string BuildMarkLine(const BreakTable& breaks, std::size_t sampleLength) {
  // One end mark under the sample's first character, one just after its end.
  std::string line = "^" + std::string(sampleLength > 0 ? sampleLength - 1 : 0, ' ') + "^";
  for (const BreakEntry& entry : breaks) {
    if (entry.position == 0) break;
    if (line.size() >= entry.position + 1u) line[entry.position] = entry.mark;
  }
  return line;
}

std::string ReadMarkLine(std::string_view markLine, std::size_t sampleLength, BreakTable& breaks) {
  breaks = BreakTable{};
  if (markLine.size() < 2 || sampleLength < 2) return {};
  // Only what lies between the two end marks counts.
  const std::string_view between = markLine.substr(1, sampleLength - 1);
  std::size_t entry = 0;
  for (std::size_t index = 0; index < between.size(); ++index) {
    const char mark = between[index];
    if (!IsMark(mark)) continue;
    const std::size_t position = index + 1;
    if (entry == breaks.size()) {
      return "Too many column breaks: at most " + std::to_string(breaks.size()) +
             " are kept";
    }
    if (position > kMaxBreakPosition) {
      return "Column breaks beyond position " + std::to_string(kMaxBreakPosition) +
             " are not kept";
    }
    breaks[entry].position = static_cast<std::uint8_t>(position);
    breaks[entry].mark = mark;
    ++entry;
  }
  return {};
}

std::string ColumnBreakSample(const AppState& state) {
  return state.firstRecordText.empty() ? std::string(kRulerDigits) : state.firstRecordText;
}

void ApplyMarkLine(AppState& state, UserInterface& ui, std::string_view markLine,
                   std::size_t sampleLength) {
  const std::string error = ReadMarkLine(markLine, sampleLength, state.settings.breaks);
  if (!error.empty()) ui.ShowMessage(error);
  if (!state.sourceFile.empty()) LoadSourceFile(state, ui, state.sourceFile);
}

}  // namespace zevi
