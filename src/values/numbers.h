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

// Whole number: optional blanks, sign, digits, optional blanks; 64 bits.
// Accepts "86400", "-12", " 7 "; rejects "", "86399.5", "+-1", "12a".
// Throws EConvertError "'<text>' is not a valid integer value".
std::int64_t StrToInt(std::string_view text);
std::optional<std::int64_t> TryStrToInt(std::string_view text);

// Tolerant reader for altitude, aux data and version numbers: the first
// alternative mark counts as the decimal mark, so 12.5 and 12,5 both read 12.5.
double ReadNumber(std::string_view text, char decimalMark);

// "%<width>.<decimals>f" with the given decimal mark, rounded as printf
// rounds (ties to even on the exact binary value; -0.04 gives "-0.0").
std::string FormatFloat(double value, int width, int decimals, char decimalMark);
// "%<width>.<minDigits>d": "%6.0d", "%3.3d", "%2.2d". Unlike printf, 0 with
// no minimum is still written "0" (a Garmin symbol 0 is a symbol).
std::string FormatInt(std::int64_t value, int width, int minDigits);

}  // namespace zevi
