#include "source/breaks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/loader.h"
#include "source_fixture.h"

namespace zevi {
namespace {

using testing::SourceTest;
using testing::TableText;

BreakTable Breaks(std::initializer_list<BreakEntry> entries) {
  BreakTable table{};
  std::size_t i = 0;
  for (const BreakEntry& entry : entries) table[i++] = entry;
  return table;
}

std::string Describe(const BreakTable& breaks) {
  std::string text;
  for (const BreakEntry& entry : breaks) {
    if (entry.position == 0) break;
    text += std::to_string(entry.position) + entry.mark + " ";
  }
  return text;
}

TEST(ApplyBreaks, InsertsAtPositionsOfTheLineAsRead) {
  struct Case {
    BreakTable breaks;
    char separator;
    std::string text, expected;
    const char* reason;
  } cases[] = {
      {Breaks({{4, '^'}, {9, '^'}}), '|', "ABCDEFGHIJKL", "ABCD|EFGHI|JKL", "the +k rule"},
      {Breaks({{2, '.'}}), ',', "5130", "51.30", "a decimal point"},
      {Breaks({{2, ','}, {3, '^'}}), ';', "abcd", "ab,c;d", "a comma mark, then a break"},
      {Breaks({{3, '^'}, {0, '^'}, {5, '^'}}), '|', "abcdefg", "abc|defg", "a 0 ends the table"},
      {Breaks({{8, '^'}}), '|', "abc", "abc|", "beyond the end: appended"},
  };
  for (Case& c : cases) {
    ApplyBreaks(c.breaks, c.separator, c.text);
    EXPECT_EQ(c.text, c.expected) << c.reason;
  }
  EXPECT_EQ(CountColumnBreaks(Breaks({{2, '.'}, {4, '^'}, {0, '^'}, {9, '^'}})), 1);
}

TEST(MarkLine, ShowsBreaksUnderTheSample) {
  EXPECT_EQ(BuildMarkLine(Breaks({{4, '^'}, {9, '.'}}), 12), "^   ^    .  ^");
  EXPECT_EQ(BuildMarkLine(Breaks({{3, '^'}, {30, '^'}}), 5), "^  ^ ^") << "marks past the end are not shown";
  EXPECT_EQ(BuildMarkLine(BreakTable{}, 1), "^^");
}

TEST(MarkLine, ReadsWhatLiesBetweenTheEndMarks) {
  struct Case {
    std::string markLine;
    std::size_t sampleLength;
    std::string breaks;
    const char* reason;
  } cases[] = {
      {"^   ^    .  ^", 12, "4^ 9. ", "round trip of the built line"},
      {"^ab ^  x .  ^", 12, "4^ 9. ", "notes and spaces are ignored"},
      {"^           ^", 12, "", "every mark deleted"},
      {"^  ,        ^  ^ .", 12, "3, ", "marks after the closing end mark are not read"},
      {"^^^", 2, "1^ ", "a mark under the second character"},
  };
  for (const Case& c : cases) {
    BreakTable breaks = Breaks({{7, '^'}});
    EXPECT_EQ(ReadMarkLine(c.markLine, c.sampleLength, breaks), "") << c.reason;
    EXPECT_EQ(Describe(breaks), c.breaks) << c.reason;
  }
}

TEST(MarkLine, RefusesWhatTheTableCannotHold) {
  BreakTable breaks;
  const std::string tooMany = "^" + std::string(28, '^') + std::string(11, ' ') + "^";
  EXPECT_EQ(ReadMarkLine(tooMany, 40, breaks), "Too many column breaks: at most 27 are kept");
  EXPECT_EQ(breaks[26].position, 27);
  EXPECT_EQ(breaks[26].mark, '^');

  std::string farOut = "^" + std::string(299, ' ') + "^";
  farOut[10] = '.';
  farOut[256] = '^';  // position 256
  farOut[270] = '^';
  EXPECT_EQ(ReadMarkLine(farOut, 300, breaks), "Column breaks beyond position 255 are not kept");
  EXPECT_EQ(Describe(breaks), "10. ");
}

class BreakDialogTest : public SourceTest {};

TEST_F(BreakDialogTest, SampleIsTheFirstRecordOrTheRuler) {
  EXPECT_EQ(ColumnBreakSample(state), kRulerDigits);
  LoadSourceFile(state, ui, WriteFile("s.txt", "  ABCDEFGH\r\n"));
  EXPECT_EQ(ColumnBreakSample(state), "ABCDEFGH");
}

TEST_F(BreakDialogTest, NewMarksReloadALoadedFile) {
  state.settings.listSeparator = kNoListSeparator;
  const std::string path = WriteFile("fixed.txt", "ABCDEFGHIJKL\r\n");
  LoadSourceFile(state, ui, path);
  EXPECT_EQ(TableText(state.table), "ABCDEFGHIJKL\n");
  const std::size_t n = ColumnBreakSample(state).size();
  std::string marks = BuildMarkLine(state.settings.breaks, n);
  marks[4] = '^';
  marks[9] = '^';
  ApplyMarkLine(state, ui, marks, n);
  EXPECT_EQ(TableText(state.table), "ABCD|EFGHI|JKL\n");

  ApplyMarkLine(state, ui, BuildMarkLine(BreakTable{}, n), n);
  EXPECT_EQ(state.columnCount, 2) << "no marks: unsplit again";
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace zevi
