#pragma once
// Fixed-position column breaks: applying them to a line, and the mark line of
// the column-break dialog.
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace zevi {

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
std::string ReadMarkLine(std::string_view markLine, std::size_t sampleLength, BreakTable& breaks);

}  // namespace zevi
