#include <gtest/gtest.h>

#include "platform/localeformats.h"

namespace zevi {
namespace {

TEST(LocaleValues, FromTheCLibrarysDescriptions) {
  const struct {
    const char* radix;
    const char* date;
    const char* time;
    LocaleValues expected;
    const char* reason;
  } cases[] = {
      {",", "%d.%m.%Y", "%H:%M:%S", {',', '.', ':', "dd.mm.yyyy"}, "German"},
      {".", "%m/%d/%Y", "%r", {'.', '/', ':', "mm/dd/yyyy"}, "American"},
      {".", "%Y-%m-%d", "%T", {'.', '-', ':', "yyyy-mm-dd"}, "Swedish"},
      {".", "%D", "%H.%M.%S", {'.', '/', '.', "mm/dd/yy"}, "shorthand date, dotted time"},
      {".", "%e/%-m/%y", "%H:%M", {'.', '/', ':', "d/mm/yy"}, "flags and unpadded day"},
      {".", "%d %b %Y", "%H:%M", {'.', '/', ':', "dd/mm/yyyy"}, "month names keep the defaults"},
      {".", "%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", "%H:%M", {'.', '/', ':', "dd/mm/yyyy"},
       "separators outside one byte keep the defaults"},
      {"\xD9\xAB", "", "", {'.', '/', ':', "dd/mm/yyyy"}, "a radix of two bytes and nothing else"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    LocaleValues values = LocaleValuesFrom(c.radix, c.date, c.time);
    EXPECT_EQ(values.decimalSeparator, c.expected.decimalSeparator);
    EXPECT_EQ(values.dateSeparator, c.expected.dateSeparator);
    EXPECT_EQ(values.timeSeparator, c.expected.timeSeparator);
    EXPECT_EQ(values.shortDateFormat, c.expected.shortDateFormat);
  }
}

}  // namespace
}  // namespace zevi
