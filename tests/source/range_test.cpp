#include "source/range.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "source/kinds.h"
#include "source/loader.h"
#include "source_fixture.h"

namespace zevi {
namespace {

using testing::SourceTest;

class RangeTest : public SourceTest {};

TEST_F(RangeTest, SpinButtons) {
  using Command = std::function<void(AppState&, UserInterface&)>;
  const Command firstUp = [](AppState& s, UserInterface& u) { FirstSpinUp(s, u); };
  const Command firstDown = [](AppState& s, UserInterface& u) { FirstSpinDown(s, u); };
  const Command lastUp = [](AppState& s, UserInterface&) { LastSpinUp(s); };
  const Command lastDown = [](AppState& s, UserInterface&) { LastSpinDown(s); };
  struct Case {
    char firstMode;
    int first;
    char lastMode;
    int last;
    Command command;
    int expectedFirst, expectedLast;
    const char* reason;
  } cases[] = {
      {'R', 7, 'E', 7, firstUp, 8, 8, "first up pushes last along in mode E"},
      {'R', 7, 'R', 7, firstUp, 7, 7, "first up stops at last in mode R"},
      {'R', 10, 'E', 10, firstUp, 10, 10, "last cannot pass the rows"},
      {'R', 3, 'R', 9, firstUp, 4, 9, "plain step"},
      {'R', 1, 'E', 5, firstDown, 1, 5, "first stays at 1"},
      {'R', 4, 'E', 5, firstDown, 3, 5, "plain step down"},
      {'B', 7, 'R', 7, lastDown, 6, 6, "last down pushes first along in mode B"},
      {'R', 7, 'R', 7, lastDown, 7, 7, "last down stops at first in mode R"},
      {'B', 1, 'R', 1, lastDown, 1, 1, "first cannot go below 1"},
      {'R', 2, 'R', 10, lastUp, 2, 10, "last stays at the rows"},
      {'R', 2, 'R', 5, lastUp, 2, 6, "plain step up"},
  };
  for (const Case& c : cases) {
    AppState s;
    LayoutTable(s, 2, 11);  // 10 rows
    s.settings.firstRecordMode = c.firstMode;
    s.settings.firstRecord = c.first;
    s.settings.lastRecordMode = c.lastMode;
    s.settings.lastRecord = c.last;
    c.command(s, ui);
    EXPECT_EQ(s.settings.firstRecord, c.expectedFirst) << c.reason;
    EXPECT_EQ(s.settings.lastRecord, c.expectedLast) << c.reason;
    EXPECT_EQ(s.edits.firstRecord, std::to_string(c.expectedFirst)) << c.reason;
    EXPECT_EQ(s.edits.lastRecord, std::to_string(c.expectedLast)) << c.reason;
    EXPECT_TRUE(s.settingsChanged) << c.reason;
    EXPECT_EQ(s.settings.firstRecordMode, c.firstMode) << c.reason;
    EXPECT_EQ(s.settings.lastRecordMode, c.lastMode) << c.reason;
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RangeTest, MakeLastRecordPullsFirstAlong) {
  state.settings.firstRecordMode = 'R';
  state.settings.firstRecord = 10;
  state.settings.lastRecord = 12;
  MakeLastRecord(state, ui, 3);
  EXPECT_EQ(state.settings.firstRecord, 3);
  EXPECT_EQ(state.settings.lastRecord, 3);
  EXPECT_EQ(state.settings.lastRecordMode, 'R');
  EXPECT_EQ(state.settings.firstRecordMode, 'R');
  EXPECT_EQ(state.edits.lastRecord, "3");
  EXPECT_TRUE(state.settingsChanged);
}

TEST_F(RangeTest, MakeFirstRecordReloadsWithTheNewRange) {
  std::string text;
  for (int line = 1; line <= 11; ++line) text += "a,b,c,d\r\n";
  text += "w,x\r\ny,z\r\n";
  const std::string path = WriteFile("r.txt", text);
  LoadSourceFile(state, ui, path);
  EXPECT_EQ(state.columnCount, 5);
  MakeFirstRecord(state, ui, 12);
  EXPECT_EQ(state.settings.firstRecordMode, 'R');
  EXPECT_EQ(state.settings.firstRecord, 12);
  EXPECT_EQ(state.settings.lastRecord, 12) << "last was 5, pulled up to the new first";
  EXPECT_EQ(state.settings.lastRecordMode, 'E');
  EXPECT_EQ(state.columnCount, 3) << "only lines 12 onwards decide the columns";
  EXPECT_EQ(state.table.RowCount(), 14) << "lines 1 to 11 are still shown";
  EXPECT_EQ(state.table.Cell(2, 1), "b");
  EXPECT_EQ(state.firstRecordText, "w,x");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RangeTest, FirstRecordTextFollowsTheFirstRecord) {
  const std::string path = WriteFile("t.txt", "one\r\n two \r\n\r\nfour\r\n");
  LoadSourceFile(state, ui, path);
  EXPECT_EQ(state.firstRecordText, "one");
  state.settings.firstRecord = 2;
  FirstRecordGroupClick(state, ui, 1);
  EXPECT_EQ(state.settings.firstRecordMode, 'R');
  EXPECT_EQ(state.firstRecordText, "two");
  FirstSpinUp(state, ui);  // line 3 is empty: the text stays
  EXPECT_EQ(state.firstRecordText, "two");
  FirstRecordGroupClick(state, ui, 0);
  EXPECT_EQ(state.firstRecordText, "one");

  std::filesystem::remove(path);
  FirstSpinDown(state, ui);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"File does not exist\r\n" + path});
  EXPECT_EQ(state.firstRecordText, "one");

  state.sourceFile = folder_.string();
  FirstSpinDown(state, ui);
  EXPECT_EQ(ui.messages.back(), "Error C") << "a folder cannot be read as a file";

  state.sourceFile.clear();
  LastRecordGroupClick(state, 1);
  EXPECT_EQ(state.settings.lastRecordMode, 'R');
  FirstSpinDown(state, ui);
  EXPECT_EQ(state.firstRecordText, "") << "no source file: no first record";
}

TEST(RecordNumberOf, WholeNumbersClampedTo32Bits) {
  constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
  struct Case {
    std::string text;
    std::optional<std::int32_t> number;
    const char* reason;
  } cases[] = {
      {"12", 12, "plain"},
      {" +7 ", 7, "sign and blanks"},
      {"-3", -3, "negative numbers read; the commands keep them apart"},
      {"2147483647", kLargestRecordNumber, "the largest that fits"},
      {"2147483648", kLargestRecordNumber, "one more"},
      {"99999999999", kLargestRecordNumber, "beyond 32 bits"},
      {"99999999999999999999999", kLargestRecordNumber, "beyond 64 bits"},
      {"-99999999999999999999999", kLowest, "far below"},
      {"1.5", std::nullopt, "not whole"},
      {"", std::nullopt, "empty"},
      {"-", std::nullopt, "a sign alone"},
      {"12x", std::nullopt, "trailing text"},
  };
  for (const Case& c : cases) EXPECT_EQ(RecordNumberOf(c.text), c.number) << c.reason;
}

TEST_F(RangeTest, ALastRecordBeyond32BitsRunsToTheEnd) {
  const std::string path = WriteFile("end.txt", "a,b\r\nc,d\r\n");
  state.settings.lastRecordMode = 'R';
  state.settings.lastRecord = *RecordNumberOf("99999999999");
  LoadSourceFile(state, ui, path);
  EXPECT_EQ(state.table.LastRow(), 2);
  EXPECT_EQ(EffectiveRange(state.settings, kLoaderEndOfFile).last, kLargestRecordNumber);
  LastSpinUp(state);
  EXPECT_EQ(state.settings.lastRecord, kLargestRecordNumber) << "nothing wraps";
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace zevi
