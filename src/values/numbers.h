#pragma once
// Number reading and formatting with an explicit decimal mark: never the
// global locale. During an export the mark is the conversion's decimal
// separator; elsewhere the system's.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zevi {

// The other mark: ',' for '.', '.' for anything else.
inline char AlternativeMark(char decimalMark) { return decimalMark == '.' ? ',' : '.'; }

// Strict: optional blanks, sign, digits with at most one decimal mark, optional
// exponent, optional blanks, nothing else. Accepts "12.5", " -3 ", "1e3", ".5";
// rejects "", "12,5" (mark '.'), "12.5n", "1.2.3".
// Throws EConvertError "'<text>' is not a valid floating point value".
double StrToFloat(std::string_view text, char decimalMark);

// Whole number, optional sign. Throws EConvertError "'<text>' is not a valid integer value".
std::int64_t StrToInt(std::string_view text);
std::optional<std::int64_t> TryStrToInt(std::string_view text);

// Tolerant reader for altitude, aux data and version numbers: the first
// alternative mark counts as the decimal mark, so 12.5 and 12,5 both read 12.5.
double ReadNumber(std::string_view text, char decimalMark);

// "%<width>.<decimals>f" with the given decimal mark.
std::string FormatFloat(double value, int width, int decimals, char decimalMark);
// "%<width>.<minDigits>d": "%6.0d", "%3.3d", "%2.2d".
std::string FormatInt(std::int64_t value, int width, int minDigits);

}  // namespace zevi
