#pragma once
// Fixed-position column breaks: applying them to a line, and the mark line of
// the column-break dialog.
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace zevi {

struct AppState;
class UserInterface;

inline constexpr const char* kRulerDigits =
    "12345678901234567890123456789012345678901234567890123456789012345678901234567890";

// Inserts the separator at each "^" break and the mark itself at "." and ","
// breaks; positions count in the line as read.
void ApplyBreaks(const BreakTable& breaks, char separator, std::string& text);

// Number of "^" entries before the first position 0.
int CountColumnBreaks(const BreakTable& breaks);

// The mark line shown under a sample of `sampleLength` characters.
std::string BuildMarkLine(const BreakTable& breaks, std::size_t sampleLength);

// Reads an edited mark line back into the table. An error text (and the
// table holding the breaks before the offending mark) when there are more
// than 27 marks or a mark beyond position 255; empty when all went in.
//   sample "ABCDEFGHIJKL", mark line "^   ^    .   ^" -> breaks (4,'^'), (9,'.')
//   marks after the closing end mark, and characters other than ^ . , are not read.
std::string ReadMarkLine(std::string_view markLine, std::size_t sampleLength, BreakTable& breaks);

// The dialog's sample line: the first record's text, else the 80-digit ruler.
std::string ColumnBreakSample(const AppState& state);

// OK on an edited mark line: the breaks are read into the settings (an error
// text is shown, the breaks before the offending mark kept) and a loaded
// source file is loaded again so that they apply.
void ApplyMarkLine(AppState& state, UserInterface& ui, std::string_view markLine,
                   std::size_t sampleLength);

}  // namespace zevi
