#include "values/numbers.h"

#include <array>
#include <charconv>
#include <cstdlib>

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
  bool seenMark = false;
  std::size_t markAt = std::string_view::npos;
  for (; i < body.size(); ++i) {
    if (IsDigit(body[i])) {
      ++mantissaDigits;
    } else if (body[i] == decimalMark && !seenMark) {
      seenMark = true;
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

  std::array<char, kStackDigits> stack;
  std::string heap;
  char* copy = stack.data();
  if (body.size() > stack.size()) {
    heap.resize(body.size());
    copy = heap.data();
  }
  body.copy(copy, body.size());
  if (markAt != std::string_view::npos) copy[markAt] = '.';

  double value = 0;
  auto [end, error] = std::from_chars(copy, copy + body.size(), value, std::chars_format::general);
  if (error != std::errc{} || end != copy + body.size()) return std::nullopt;
  return negative ? -value : value;
}

[[noreturn]] void ThrowNotFloat(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
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
  std::array<char, kStackDigits> stack;
  std::string heap;
  char* copy = stack.data();
  if (text.size() > stack.size()) {
    heap.resize(text.size());
    copy = heap.data();
  }
  text.copy(copy, text.size());
  copy[other] = decimalMark;
  // The user finds the cell by what it says, so the message shows it unchanged.
  if (auto value = ParseFloat(std::string_view(copy, text.size()), decimalMark)) return *value;
  ThrowNotFloat(text);
}

std::string FormatFloat(double value, int width, int decimals, char decimalMark) {
  // Wide enough for the largest double written in full.
  std::array<char, 512> digits;
  auto [end, error] =
      std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed, decimals);
  if (error != std::errc{}) end = digits.data();
  std::string_view written(digits.data(), static_cast<std::size_t>(end - digits.data()));
  // A value that rounds to nothing is written without a sign: -0.0000001 is 0.000000.
  if (!written.empty() && written.front() == '-' &&
      written.find_first_not_of("0.", 1) == std::string_view::npos) {
    written.remove_prefix(1);
  }
  std::string result;
  std::size_t size = written.size();
  if (static_cast<std::size_t>(width) > size) result.assign(static_cast<std::size_t>(width) - size, ' ');
  result.append(written);
  if (decimals > 0) {
    std::size_t point = result.size() - static_cast<std::size_t>(decimals) - 1;
    result[point] = decimalMark;
  }
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
