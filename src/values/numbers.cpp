#include "values/numbers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "values/failures.h"

namespace zevi {

namespace {

// Long enough for any number a cell reasonably holds; longer texts take the slow road.
constexpr std::size_t kStackDigits = 128;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// A copy of a text with one character replaced, on the stack unless long.
class ReplacedCopy {
 public:
  ReplacedCopy(std::string_view text, std::size_t at, char with) : size_(text.size()) {
    if (size_ > stack_.size()) {
      heap_.resize(size_);
      data_ = heap_.data();
    }
    text.copy(data_, size_);
    if (at < size_) data_[at] = with;
  }
  ReplacedCopy(const ReplacedCopy&) = delete;
  ReplacedCopy& operator=(const ReplacedCopy&) = delete;
  std::string_view View() const { return {data_, size_}; }

 private:
  std::array<char, kStackDigits> stack_;
  std::string heap_;
  char* data_ = stack_.data();
  std::size_t size_;
};

constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
constexpr std::uint64_t kMaxExactMantissa = std::uint64_t{1} << 53;
constexpr std::size_t kMaxMantissaDigits = 19;  // always fits 64 bits
constexpr int kExponentLimit = 100000;          // far past any double, short of overflow

// from_chars knows only '.': it reads a copy with the mark replaced.
std::optional<double> ConvertBody(std::string_view body, const char* markAt, char decimalMark) {
  double value = 0;
  auto convert = [&value](std::string_view digits) {
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                        std::chars_format::general);
    return error == std::errc{} && end == digits.data() + digits.size();
  };
  const bool read = markAt == nullptr || decimalMark == '.'
                        ? convert(body)
                        : convert(ReplacedCopy(body, static_cast<std::size_t>(markAt - body.data()), '.').View());
  if (!read) return std::nullopt;
  return value;
}

// Digits from `at` onwards into `mantissa`; returns how many.
inline std::size_t GatherDigits(const char*& at, const char* end, std::uint64_t& mantissa) {
  const char* const start = at;
  for (; at < end && IsDigit(*at); ++at) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*at - '0');
  return static_cast<std::size_t>(at - start);
}

// Up to this many digits a mantissa is below 2^53, an exact double.
constexpr std::size_t kPlainDigits = 15;

// "-51.123456", "122.5", "7": what nearly every cell holds, read in one pass.
// Nothing for anything else (blanks, '+', exponents, long mantissas, no
// number at all), which ParseFloat then reads by its full grammar to the
// same value.
std::optional<double> ParsePlainDecimal(std::string_view text, char decimalMark) {
  const char* at = text.data();
  const char* const end = at + text.size();
  const bool negative = at < end && *at == '-';
  if (negative) ++at;
  std::uint64_t mantissa = 0;  // wraps past 19 digits: refused below
  std::size_t digits = GatherDigits(at, end, mantissa);
  std::size_t fractionDigits = 0;
  if (at < end && *at == decimalMark) {
    ++at;
    fractionDigits = GatherDigits(at, end, mantissa);
    digits += fractionDigits;
  }
  if (at != end || digits == 0 || digits > kPlainDigits) return std::nullopt;
  const double value = static_cast<double>(mantissa) / kExactPowers[fractionDigits];
  return negative ? -value : value;
}

// Checks the grammar itself and gathers the digits on the way. Up to 19
// digits with a power of ten that are both exact doubles give the correctly
// rounded value in one multiplication or division; anything else is left to
// from_chars.
std::optional<double> ParseFloat(std::string_view text, char decimalMark) {
  if (std::optional<double> plain = ParsePlainDecimal(text, decimalMark)) return plain;
  const char* at = text.data();
  const char* end = at + text.size();
  while (at < end && *at == ' ') ++at;
  while (end > at && end[-1] == ' ') --end;
  bool negative = false;
  if (at < end && (*at == '+' || *at == '-')) {
    negative = *at == '-';
    ++at;
  }
  const char* const body = at;
  std::uint64_t mantissa = 0;  // wraps past 19 digits: only used up to them
  for (; at < end && IsDigit(*at); ++at) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*at - '0');
  std::size_t mantissaDigits = static_cast<std::size_t>(at - body);
  const char* markAt = nullptr;
  int fractionDigits = 0;
  if (at < end && *at == decimalMark) {
    markAt = at++;
    const char* const fraction = at;
    for (; at < end && IsDigit(*at); ++at) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*at - '0');
    fractionDigits = static_cast<int>(std::min<std::ptrdiff_t>(at - fraction, kExponentLimit));
    mantissaDigits += static_cast<std::size_t>(at - fraction);
  }
  if (mantissaDigits == 0) return std::nullopt;
  int exponent = 0;
  if (at < end) {
    if (*at != 'e' && *at != 'E') return std::nullopt;
    ++at;
    bool negativeExponent = false;
    if (at < end && (*at == '+' || *at == '-')) negativeExponent = *at++ == '-';
    const char* const digits = at;
    for (; at < end && IsDigit(*at); ++at) exponent = std::min(exponent * 10 + (*at - '0'), kExponentLimit);
    if (at == digits || at != end) return std::nullopt;
    if (negativeExponent) exponent = -exponent;
  }

  double value;
  const int power = exponent - fractionDigits;
  if (mantissaDigits <= kMaxMantissaDigits && mantissa <= kMaxExactMantissa && power >= -kMaxExactPower &&
      power <= kMaxExactPower) {
    const auto digits = static_cast<double>(mantissa);
    value = power < 0 ? digits / kExactPowers[-power] : digits * kExactPowers[power];
  } else if (auto converted = ConvertBody(std::string_view(body, static_cast<std::size_t>(end - body)), markAt,
                                          decimalMark)) {
    value = *converted;
  } else {
    return std::nullopt;
  }
  return negative ? -value : value;
}

[[noreturn]] void ThrowNotFloat(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

__extension__ typedef unsigned __int128 Wide;

constexpr std::uint64_t kIntPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
constexpr int kMaxShortDecimals = 9;

// round(|value| x 10^decimals), ties to even, computed exactly from the bits
// of the double: what printf writes, at half the cost of to_chars. Nothing
// when the result needs more than 64 bits (or the value is no number).
std::optional<std::uint64_t> ScaledDigits(double value, int decimals) {
  if (decimals < 0 || decimals > kMaxShortDecimals || !std::isfinite(value)) return std::nullopt;
  auto bits = std::bit_cast<std::uint64_t>(value);
  auto biased = static_cast<int>(bits >> 52 & 0x7FF);
  std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  std::uint64_t significand = biased == 0 ? fraction : fraction | std::uint64_t{1} << 52;
  int exponent = (biased == 0 ? 1 : biased) - 1075;
  if (exponent > 10) return std::nullopt;
  // significand < 2^53 and 10^9 < 2^30: the product fits easily.
  Wide scaled = static_cast<Wide>(significand) * kIntPowers[decimals];
  Wide rounded;
  if (exponent >= 0) {
    rounded = scaled << exponent;
  } else if (-exponent >= 127) {
    rounded = 0;  // far below half a unit of the last decimal
  } else {
    int shift = -exponent;
    rounded = scaled >> shift;
    Wide rest = scaled - (rounded << shift);
    Wide half = static_cast<Wide>(1) << (shift - 1);
    if (rest > half || (rest == half && (rounded & 1) != 0)) ++rounded;
  }
  if (rounded > UINT64_MAX) return std::nullopt;
  return static_cast<std::uint64_t>(rounded);
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes `scaled` with its last `decimals` digits after the mark, at least one
// before it, backwards from `end`, two digits a division; returns the start.
char* WriteScaled(char* end, std::uint64_t scaled, int decimals, char decimalMark) {
  char* at = end;
  auto writePair = [&at](std::uint64_t pair) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * pair, 2);
  };
  int left = decimals;
  for (; left >= 2; left -= 2) {
    writePair(scaled % 100);
    scaled /= 100;
  }
  if (left == 1) {
    *--at = static_cast<char>('0' + scaled % 10);
    scaled /= 10;
  }
  if (decimals > 0) *--at = decimalMark;
  while (scaled >= 100) {
    writePair(scaled % 100);
    scaled /= 100;
  }
  if (scaled >= 10) {
    writePair(scaled);
  } else {
    *--at = static_cast<char>('0' + scaled);
  }
  return at;
}

std::string PadLeft(const char* text, std::size_t size, int width) {
  const std::size_t padding = static_cast<std::size_t>(std::max(width, 0)) > size
                                  ? static_cast<std::size_t>(width) - size
                                  : 0;
  std::string result(padding + size, ' ');
  std::memcpy(result.data() + padding, text, size);
  return result;
}

}  // namespace

double StrToFloat(std::string_view text, char decimalMark) {
  if (auto value = ParseFloat(text, decimalMark)) return *value;
  ThrowNotFloat(text);
}

std::optional<std::int64_t> TryStrToInt(std::string_view text) {
  std::string_view body = TrimSpaces(text);
  if (!body.empty() && body.front() == '+') {
    body.remove_prefix(1);
    if (body.empty() || !IsDigit(body.front())) return std::nullopt;
  }
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (body.empty() || error != std::errc{} || end != body.data() + body.size()) return std::nullopt;
  return value;
}

std::int64_t StrToInt(std::string_view text) {
  if (auto value = TryStrToInt(text)) return *value;
  throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

double ReadNumber(std::string_view text, char decimalMark) {
  std::size_t other = text.find(AlternativeMark(decimalMark));
  if (other == std::string_view::npos) {
    if (auto value = ParseFloat(text, decimalMark)) return *value;
    ThrowNotFloat(text);
  }
  // The user finds the cell by what it says, so the message shows it unchanged.
  ReplacedCopy copy(text, other, decimalMark);
  if (auto value = ParseFloat(copy.View(), decimalMark)) return *value;
  ThrowNotFloat(text);
}

std::string FormatFloat(double value, int width, int decimals, char decimalMark) {
  const bool negative = std::signbit(value);
  if (auto scaled = ScaledDigits(value, decimals)) {
    // 20 digits, the mark and the sign, with room to pad the usual widths.
    constexpr int kRoom = 40;
    std::array<char, kRoom> buffer;
    char* end = buffer.data() + buffer.size();
    char* begin = WriteScaled(end, *scaled, decimals, decimalMark);
    // As printf: -0.04 is "-0.0".
    if (negative) *--begin = '-';
    if (width > kRoom) return PadLeft(begin, static_cast<std::size_t>(end - begin), width);
    while (end - begin < width) *--begin = ' ';
    return std::string(begin, end);
  }
  // Wide enough for the largest double written in full.
  std::array<char, 512> buffer;
  char* begin = buffer.data() + 1;  // room for a sign in front
  auto [end, error] = std::to_chars(begin, buffer.data() + buffer.size(), std::fabs(value),
                                    std::chars_format::fixed, decimals);
  if (error != std::errc{}) end = begin;
  if (negative) *--begin = '-';
  if (decimals > 0 && end - begin > decimals) end[-decimals - 1] = decimalMark;
  return PadLeft(begin, static_cast<std::size_t>(end - begin), width);
}

std::string FormatInt(std::int64_t value, int width, int minDigits) {
  std::array<char, 24> digits;
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), magnitude);
  (void)error;  // 24 characters always hold a 64-bit number
  std::size_t count = static_cast<std::size_t>(end - digits.data());
  std::size_t zeros = static_cast<std::size_t>(minDigits) > count ? static_cast<std::size_t>(minDigits) - count : 0;
  std::size_t size = count + zeros + (value < 0 ? 1 : 0);
  std::string result;
  if (static_cast<std::size_t>(width) > size) result.assign(static_cast<std::size_t>(width) - size, ' ');
  if (value < 0) result.push_back('-');
  result.append(zeros, '0');
  result.append(digits.data(), count);
  return result;
}

}  // namespace zevi
