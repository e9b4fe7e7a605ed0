#include "values/numbers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <random>
#include <string>

#include "values/failures.h"

namespace zevi {
namespace {

struct FloatCase {
  std::string text;
  char mark;
  std::optional<double> expected;  // none: rejected
  const char* reason;
};

TEST(Numbers, StrToFloatAcceptsExactlyTheNumberForm) {
  const FloatCase cases[] = {
      {"12.5", '.', 12.5, "plain"},
      {" -3 ", '.', -3, "blanks and sign"},
      {"+7", '.', 7, "plus sign"},
      {"1e3", '.', 1000, "exponent"},
      {"2.5E-1", '.', 0.25, "exponent with sign"},
      {".5", '.', 0.5, "no whole digits"},
      {"5.", '.', 5, "no decimals"},
      {"12,5", ',', 12.5, "decimal comma"},
      {"", '.', std::nullopt, "empty"},
      {"   ", '.', std::nullopt, "blanks only"},
      {"12,5", '.', std::nullopt, "comma while the mark is a point"},
      {"12.5", ',', std::nullopt, "point while the mark is a comma"},
      {"12.5n", '.', std::nullopt, "trailing letter"},
      {"1.2.3", '.', std::nullopt, "two marks"},
      {".", '.', std::nullopt, "mark alone"},
      {"-", '.', std::nullopt, "sign alone"},
      {"+-5", '.', std::nullopt, "two signs"},
      {"1e", '.', std::nullopt, "exponent without digits"},
      {"e5", '.', std::nullopt, "exponent without mantissa"},
      {"inf", '.', std::nullopt, "no words"},
      {"nan", '.', std::nullopt, "no words"},
      {"0x10", '.', std::nullopt, "no hexadecimal"},
      {"1 2", '.', std::nullopt, "inner blank"},
      {"1e999", '.', std::nullopt, "too large for a double"},
      // Plain decimals take a shorter road: what is not one must still be refused.
      {"1234:678", '.', std::nullopt, "':' right after the digits in the table"},
      {"12345/78", '.', std::nullopt, "'/' right before them"},
      {"51.1234?6", '.', std::nullopt, "a stray character among the decimals"},
      {"-0.000001", '.', -0.000001, "six decimals, four at once and two alone"},
      {"123456789012345", '.', 123456789012345.0, "fifteen digits"},
      {"-1234567.89012345", ',', std::nullopt, "fifteen digits, the wrong mark"},
      {"0000.0001", '.', 0.0001, "leading zeros"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    if (c.expected) {
      EXPECT_EQ(StrToFloat(c.text, c.mark), *c.expected) << c.text;
    } else {
      try {
        StrToFloat(c.text, c.mark);
        ADD_FAILURE() << "accepted " << c.text;
      } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'" + c.text + "' is not a valid floating point value");
      }
    }
  }
}

TEST(Numbers, StrToIntAcceptsWholeNumbersOnly) {
  struct Case {
    std::string text;
    std::optional<std::int64_t> expected;
    const char* reason;
  } const cases[] = {
      {"86400", 86400, "plain"},
      {"-12", -12, "negative"},
      {"+12", 12, "plus sign"},
      {" 7 ", 7, "blanks"},
      {"9223372036854775807", INT64_MAX, "largest"},
      {"9223372036854775808", std::nullopt, "one too large"},
      {"86399.5", std::nullopt, "fraction"},
      {"", std::nullopt, "empty"},
      {"+-1", std::nullopt, "two signs"},
      {"12a", std::nullopt, "letter"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(TryStrToInt(c.text), c.expected) << c.text;
    if (!c.expected) {
      try {
        StrToInt(c.text);
        ADD_FAILURE() << "accepted " << c.text;
      } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'" + c.text + "' is not a valid integer value");
      }
    }
  }
}

TEST(Numbers, ReadNumberTakesEitherMark) {
  EXPECT_DOUBLE_EQ(ReadNumber("12.5", '.'), 12.5);
  EXPECT_DOUBLE_EQ(ReadNumber("12,5", '.'), 12.5);
  EXPECT_DOUBLE_EQ(ReadNumber("35.5", ','), 35.5);
  EXPECT_DOUBLE_EQ(ReadNumber("35,5", ','), 35.5);
  // Only the first other mark is taken; the message shows the cell as written.
  try {
    ReadNumber("1,234,5", '.');
    ADD_FAILURE() << "accepted two commas";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'1,234,5' is not a valid floating point value");
  }
  EXPECT_THROW(ReadNumber("1.5,5", '.'), EConvertError);
}

TEST(Numbers, FormatsLikePrintfWithTheMarkPassedIn) {
  struct Case {
    double value;
    int width, decimals;
    char mark;
    const char* expected;
  } const cases[] = {
      {51.5, 10, 6, '.', " 51.500000"},
      {-0.125, 11, 6, '.', "  -0.125000"},
      {51.5, 10, 6, ',', " 51,500000"},
      {35.5, 8, 1, ',', "    35,5"},
      {1234567, 8, 1, '.', "1234567.0"},      // wider than the width: nothing cut here
      {0.05, 8, 1, '.', "     0.1"},          // 0.05 is a little above a half
      {0.25, 8, 1, '.', "     0.2"},          // an exact half rounds to even, as printf does
      {51.5083333333, 10, 6, '.', " 51.508333"},
      {-0.04, 8, 1, '.', "    -0.0"},         // the sign stays, as with printf
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatFloat(c.value, c.width, c.decimals, c.mark), c.expected) << c.value;
  }
  EXPECT_EQ(FormatInt(7, 3, 3), "007");
  EXPECT_EQ(FormatInt(1234, 3, 3), "1234");
  EXPECT_EQ(FormatInt(26, 6, 0), "    26");
  EXPECT_EQ(FormatInt(0, 6, 0), "     0");  // a symbol 0 is still written
  EXPECT_EQ(FormatInt(3, 2, 2), "03");
  EXPECT_EQ(FormatInt(-5, 3, 3), "-005");
}

TEST(Numbers, FormatFloatRoundsAsTheStandardLibraryDoes) {
  // The formatter works from the bits of the double; the standard library's
  // printf-style rounding is the reference, ties and large values included.
  std::mt19937_64 random(20240315);
  std::uniform_real_distribution<double> exponent(-12, 19);
  std::vector<double> values = {0.5, 1.5, 2.5, 0.125, 0.375, 1e-7, 5e-7, 4.9999995e-7, 1e15, 1.8e19, 9.3e18,
                                123456789.123456789, std::nextafter(0.15, 1.0), std::nextafter(0.15, 0.0)};
  for (int i = 0; i < 20000; ++i) {
    double value = std::pow(10.0, exponent(random)) * (random() % 2 ? 1 : -1);
    values.push_back(value);
    values.push_back(std::round(value * 64) / 64);  // exact binary fractions: ties
  }
  for (double value : values) {
    for (int decimals = 0; decimals <= 10; ++decimals) {
      char buffer[400];
      auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
      ASSERT_EQ(error, std::errc{});
      std::string expected(buffer, end);
      ASSERT_EQ(FormatFloat(value, 0, decimals, '.'), expected) << value << " with " << decimals;
      if (decimals > 0) expected[expected.size() - static_cast<std::size_t>(decimals) - 1] = ',';
      if (expected.size() < 14) expected.insert(0, 14 - expected.size(), ' ');
      ASSERT_EQ(FormatFloat(value, 14, decimals, ','), expected) << value << " with " << decimals;
    }
  }
}

TEST(Numbers, StrToFloatReadsAsTheStandardLibraryDoes) {
  // Short decimals take a quicker road than long ones or large exponents:
  // every road must give the standard library's correctly rounded double.
  std::mt19937_64 random(20240316);
  std::vector<std::string> texts = {"9007199254740992", "9007199254740993", "0.1", "0.30000000000000004",
                                    "1e22", "1e23", "123456789012345678901", "4.9e-324", "0.000001",
                                    "00000000000000000000001.5", "1.7976931348623157e308", "2.2250738585072014e-308",
                                    "1234567890123456789", "12345678901234567890", "0.00000000000000000000000001"};
  for (int i = 0; i < 40000; ++i) {
    std::string digits;
    const int count = 1 + static_cast<int>(random() % 24);
    for (int d = 0; d < count; ++d) digits += static_cast<char>('0' + random() % 10);
    const std::size_t mark = random() % (digits.size() + 1);
    std::string text = digits.substr(0, mark) + "." + digits.substr(mark);
    if (random() % 4 == 0) text += "e" + std::to_string(static_cast<int>(random() % 61) - 30);
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    double expected = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), expected);
    ASSERT_EQ(error, std::errc{}) << text;
    ASSERT_EQ(StrToFloat(text, '.'), expected) << text;
    ASSERT_EQ(StrToFloat("-" + text, '.'), -expected) << text;
    std::string comma = text;
    std::replace(comma.begin(), comma.end(), '.', ',');
    ASSERT_EQ(StrToFloat(comma, ','), expected) << comma;
  }
}

}  // namespace
}  // namespace zevi
