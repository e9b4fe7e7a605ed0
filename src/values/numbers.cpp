#include "values/numbers.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

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

// Checks the grammar itself, then lets from_chars (which knows only '.') do
// the correctly rounded conversion of a copy with the mark replaced.
std::optional<double> ParseFloat(std::string_view text, char decimalMark) {
  std::string_view body = TrimSpaces(text);
  bool negative = false;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  std::size_t i = 0;
  std::size_t mantissaDigits = 0;
  std::size_t markAt = std::string_view::npos;
  for (; i < body.size(); ++i) {
    if (IsDigit(body[i])) {
      ++mantissaDigits;
    } else if (body[i] == decimalMark && markAt == std::string_view::npos) {
      markAt = i;
    } else {
      break;
    }
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < body.size()) {
    if (body[i] != 'e' && body[i] != 'E') return std::nullopt;
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    for (; i < body.size() && IsDigit(body[i]); ++i) ++exponentDigits;
    if (exponentDigits == 0 || i != body.size()) return std::nullopt;
  }

  double value = 0;
  auto convert = [&value](std::string_view digits) {
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                        std::chars_format::general);
    return error == std::errc{} && end == digits.data() + digits.size();
  };
  bool read = markAt == std::string_view::npos || decimalMark == '.'
                  ? convert(body)
                  : convert(ReplacedCopy(body, markAt, '.').View());
  if (!read) return std::nullopt;
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
  // Wide enough for the largest double written in full.
  std::array<char, 512> buffer;
  char* begin = buffer.data() + 1;  // room for a sign in front
  char* end;
  bool negative = std::signbit(value);
  if (auto digits = ScaledDigits(value, decimals)) {
    char* last = buffer.data() + buffer.size();
    char* first = last;
    std::uint64_t rest = *digits;
    // At least one digit before the mark.
    for (int count = 0; rest != 0 || count <= decimals; ++count) {
      if (count == decimals && decimals > 0) *--first = '.';
      *--first = static_cast<char>('0' + rest % 10);
      rest /= 10;
    }
    begin = first;
    end = last;
  } else {
    auto [written, error] = std::to_chars(begin, buffer.data() + buffer.size(), std::fabs(value),
                                          std::chars_format::fixed, decimals);
    end = error == std::errc{} ? written : begin;
  }
  // As printf: -0.04 is "-0.0".
  if (negative) *--begin = '-';
  if (decimals > 0 && end - begin > decimals) end[-decimals - 1] = decimalMark;

  auto size = static_cast<std::size_t>(end - begin);
  std::string result;
  std::size_t padding = static_cast<std::size_t>(width) > size ? static_cast<std::size_t>(width) - size : 0;
  result.reserve(padding + size);
  result.append(padding, ' ');
  result.append(begin, size);
  return result;
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
