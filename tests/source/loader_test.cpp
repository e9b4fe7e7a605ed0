#include "source/loader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/kinds.h"
#include "source_fixture.h"

namespace zevi {
namespace {

using testing::SourceTest;
using testing::ScriptedUi;
using testing::TableText;

class LineReaderTest : public SourceTest {
 protected:
  std::vector<std::string> ReadAll(const std::string& bytes, std::size_t bufferSize) {
    const SourceFileHandle file = OpenSourceFile(WriteFile("lines.txt", bytes));
    SourceLineReader reader(file.get(), bufferSize);
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadSourceLine(line)) lines.push_back(line);
    EXPECT_FALSE(reader.Failed());
    EXPECT_EQ(reader.BytesRead(), bytes.size());
    return lines;
  }
};

TEST_F(LineReaderTest, LineEnds) {
  const std::string longLine(kReadBufferSize - 1, 'x');  // its CR ends the first read, the LF opens the next
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
    const char* reason;
  } cases[] = {
      {"ab\r\ncd\r\n", {"ab", "cd"}, "CR LF; no extra row after the last line end"},
      {"ab\ncd\n", {"ab", "cd"}, "LF"},
      {"ab\rcd\r", {"ab", "cd"}, "CR"},
      {"ab\r\n\ncd", {"ab", "cd"}, "CR LF LF ends one line only"},
      {"ab\r\n\n\n\rcd", {"ab", "", "cd"}, "LFs after a CR are skipped up to the next CR"},
      {"ab\n\ncd", {"ab", "", "cd"}, "LF LF gives an empty line"},
      {"ab\r\rcd", {"ab", "", "cd"}, "CR CR gives an empty line"},
      {"ab\n\n", {"ab", ""}, "an empty line before the end"},
      {"a,b", {"a,b"}, "a last line without a line end is whole"},
      {"", {""}, "an empty file reads as one empty line"},
      {"\n", {""}, "a lone line end"},
      {" \t x \t\nab \x01\r\n", {"", "ab"}, "trimmed; one character left is empty"},
      {"\xA0" "ab", {"\xA0" "ab"}, "bytes above 127 are text, not blanks"},
      {longLine + "\r\ncd", {longLine, "cd"}, "the CR flag lives across buffer refills"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadAll(c.bytes, kReadBufferSize), c.lines) << c.reason;
    // Every way of cutting the bytes into reads gives the same lines.
    for (std::size_t size = 1; size <= 9 && size < c.bytes.size(); ++size) {
      EXPECT_EQ(ReadAll(c.bytes, size), c.lines) << c.reason << ", " << size << " bytes a read";
    }
  }
}

TEST_F(LineReaderTest, ViewsAndCopiesReadTheSameLines) {
  std::string bytes;
  for (int i = 0; i < 500; ++i) bytes += "line " + std::to_string(i) + (i % 3 ? "\r\n" : i % 2 ? "\r" : "\n\n");
  const SourceFileHandle file = OpenSourceFile(WriteFile("views.txt", bytes));
  SourceLineReader reader(file.get(), 64);
  std::vector<std::string> viewed;
  std::string_view line;
  while (reader.ReadSourceLine(line)) viewed.emplace_back(line);
  EXPECT_EQ(viewed, ReadAll(bytes, kReadBufferSize));
}

std::vector<std::string> SplitFields(char separator, std::string_view text, int count) {
  std::vector<std::string> fields;
  for (int i = 0; i < count; ++i) {
    auto [field, rest] = NextField(separator, text);
    fields.emplace_back(field);
    text = rest;
  }
  return fields;
}

TEST(NextField, SplitsAsTheFillingPassDoes) {
  struct Case {
    char separator;
    std::string text;
    std::vector<std::string> fields;
    const char* reason;
  } cases[] = {
      {',', "a,b,c", {"a", "b", "c", ""}, "plain fields, then nothing"},
      {',', "a,,c", {"a", "", "c"}, "two separators enclose an empty field"},
      {',', " a , b", {"a ", "b"}, "leading spaces skipped, trailing kept for the trim"},
      {' ', "1  2   3", {"1", "2", "3"}, "runs of spaces are one separator"},
      {',', "\"x,y\",z", {"\"x,y\"", "z"}, "separators inside quotes"},
      {',', "\"x\"y,z", {"\"x\"y", "z"}, "text after the closing quote stays in the field"},
      {',', "\"x\"\"y,z\",w", {"\"x\"\"y", "z\"", "w"}, "a doubled quote ends the quoted part"},
      {',', "\"x,y", {"\"x,y", ""}, "an unclosed quote takes the rest"},
      {'\t', "a b\tc", {"a b", "c"}, "tab"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitFields(c.separator, c.text, static_cast<int>(c.fields.size())), c.fields)
        << c.reason;
  }
  const std::string longRest = "a," + std::string(1200, 'b');
  EXPECT_EQ(NextField(',', longRest).second, std::string(999, 'b')) << "rest cut to 999";
}

TEST(StripQuotes, DropsOnePairOfEnclosingQuotes) {
  struct Case {
    std::string text, expected;
  } cases[] = {{"\"ab\"", "ab"}, {"\"\"", ""}, {"\"", "\""}, {"\"ab", "\"ab"},
               {"a\"", "a\""},   {"\"\"a\"\"", "\"a\""}};
  for (const Case& c : cases) EXPECT_EQ(StripQuotes(c.text), c.expected) << c.text;
}

struct LoadCase {
  std::string bytes;
  char listSeparator;
  std::vector<BreakEntry> breaks;
  int firstRecord;  // 0: from the beginning
  int lastRecord;   // 0: to the end
  int columnCount;
  std::string table;
  char separator;
  std::vector<std::string> messages;
  const char* reason;
};

class LoadTest : public SourceTest {};

TEST_F(LoadTest, SplitsFilesIntoTheTable) {
  std::string thirty, first26;
  for (int i = 1; i <= 30; ++i) {
    thirty += (i > 1 ? "," : "") + ("f" + std::to_string(i));
    if (i <= 26) first26 += (i > 1 ? "|" : "") + ("f" + std::to_string(i));
  }
  const std::vector<BreakEntry> atFourAndNine = {{4, '^'}, {9, '^'}};
  const char none = kNoListSeparator;
  const LoadCase cases[] = {
      {"a,b,c\r\n", ',', {}, 0, 0, 4, "a|b|c\n", ',', {}, "three fields"},
      {"a,,c\r\n", ',', {}, 0, 0, 4, "a||c\n", ',', {}, "empty middle field"},
      {"a,b,\r\n", ',', {}, 0, 0, 3, "a|b\n", ',', {}, "a trailing comma opens no field"},
      {",a\r\n", ',', {}, 0, 0, 3, "|a\n", ',', {}, "a leading comma opens an empty field"},
      {"1  2   3\r\n", ' ', {}, 0, 0, 4, "1|2|3\n", ' ', {}, "runs of spaces"},
      {"\"x,y\",z\r\n", ',', {}, 0, 0, 3, "x,y|z\n", ',', {}, "quoted separator"},
      {"\"x\"y , z\r\n", ',', {}, 0, 0, 3, "\"x\"y|z\n", ',', {}, "quotes kept when not enclosing"},
      {"a,b,c\r\nd\te\r\n", ',', {}, 0, 0, 4, "a,b,c||\nd|e|\n", '\t', {},
       "the last line's tab wins; each line counts with its own separator"},
      {"d\te\r\na,b,c\r\n", ',', {}, 0, 0, 4, "d\te||\na|b|c\n", ',', {}, "a tab before the last line does not"},
      {"\"a\tb\",c\r\n", ',', {}, 0, 0, 3, "a\tb|c\n", ',', {}, "a tab inside quotes does not count"},
      {"ab,cd\r\nx\r\nef,gh", ',', {}, 0, 0, 3, "ab|cd\n-\nef|gh\n", ',', {}, "one character is an empty row"},
      {"ab\r\n\ncd", ',', {}, 0, 0, 2, "ab\ncd\n", ',', {}, "CR LF LF"},
      {"ab\n\ncd", ',', {}, 0, 0, 2, "ab\n-\ncd\n", ',', {}, "LF LF"},
      {"1,2,3,4,5\r\na,b\r\nc,d\r\ne,f\r\n", ',', {}, 3, 5, 3, "1|2\na|b\nc|d\ne|f\n", ',', {},
       "lines outside the range do not widen the table"},
      {thirty + "\r\n", ',', {}, 0, 0, 27, first26 + "\n", ',', {"Too many columns. Lines truncated"},
       "30 fields"},
      {"", ',', {}, 0, 0, 1, "-\n", ' ', {}, "an empty file: no data columns, space separator"},
      {"a,b\r\n", ',', {}, 5, 0, 1, "\n", ' ', {}, "a range after the last line counts nothing"},
      {"", ',', atFourAndNine, 0, 0, 3, "-\n", ' ', {}, "only breaks add columns when nothing counts"},
      {"ABCDEFGHIJKL\r\n", none, atFourAndNine, 0, 0, 4, "ABCD|EFGHI|JKL\n", none, {}, "fixed columns"},
      {"AB\r\n", none, atFourAndNine, 0, 0, 4, "AB||\n", none, {}, "breaks beyond a short line"},
      {"5130,x\r\n", ',', {{2, '.'}}, 0, 0, 3, "51.30|x\n", ',', {}, "'.' inserts, adds no column"},
      {"12345678\r\n", none, {{2, '.'}, {4, '^'}, {6, ','}}, 0, 0, 3, "12.34|56,78\n", none, {},
       "positions count in the line as read"},
      {"ab\tcd\r\n", ',', {{1, '^'}}, 0, 0, 3, "ab|cd\n", '\t', {}, "breaks do not apply to tab files"},
      {"a," + std::string(1200, 'b') + "\r\n", ',', {}, 0, 0, 3, "a|" + std::string(999, 'b') + "\n",
       ',', {}, "the rest after a separator is cut to 999"},
  };
  for (const LoadCase& c : cases) {
    AppState fresh;
    ScriptedUi freshUi;
    fresh.settings.listSeparator = c.listSeparator;
    for (std::size_t i = 0; i < c.breaks.size(); ++i) fresh.settings.breaks[i] = c.breaks[i];
    if (c.firstRecord > 0) {
      fresh.settings.firstRecordMode = 'R';
      fresh.settings.firstRecord = c.firstRecord;
    }
    if (c.lastRecord > 0) {
      fresh.settings.lastRecordMode = 'R';
      fresh.settings.lastRecord = c.lastRecord;
    }
    const std::string path = WriteFile("case.txt", c.bytes);
    LoadSourceFile(fresh, freshUi, path);
    EXPECT_EQ(fresh.columnCount, c.columnCount) << c.reason;
    EXPECT_EQ(fresh.table.ColumnCount(), c.columnCount) << c.reason;
    EXPECT_EQ(TableText(fresh.table), c.table) << c.reason;
    EXPECT_EQ(fresh.loadSeparator, c.separator) << c.reason;
    EXPECT_EQ(fresh.columnBreaksEnabled, c.separator != '\t') << c.reason;
    EXPECT_EQ(freshUi.messages, c.messages) << c.reason;
    EXPECT_EQ(fresh.sourceFile, path) << c.reason;
  }
}

TEST_F(LoadTest, FirstRecordTextIsTheTrimmedFirstRecordLine) {
  const std::string path = WriteFile("f.txt", "x\r\n  \"q\",r  \r\n");
  LoadSourceFile(state, ui, path);
  EXPECT_EQ(state.firstRecordText, "");  // line 1 is empty: no sample from this file
  state.settings.firstRecordMode = 'R';
  state.settings.firstRecord = 2;
  LoadSourceFile(state, ui, path);
  EXPECT_EQ(state.firstRecordText, "\"q\",r");
}

TEST_F(LoadTest, MissingOrUnreadableFileKeepsTheTable) {
  const std::string good = WriteFile("good.txt", "a,b\r\n");
  LoadSourceFile(state, ui, good);
  const std::string before = TableText(state.table);

  LoadSourceFile(state, ui, PathOf("missing.txt"));
  std::filesystem::create_directory(PathOf("folder.txt"));
  LoadSourceFile(state, ui, PathOf("folder.txt"));

  EXPECT_EQ(ui.messages, (std::vector<std::string>{
                             "File does not exist",
                             "Is a directory\r\nThe file may be in use by another application."}));
  EXPECT_EQ(TableText(state.table), before);
  EXPECT_EQ(state.sourceFile, good);
}

TEST_F(LoadTest, ReadFailuresInBothPassesAreReportedAndTheLoadEnds) {
  // Opens like a file, but reading its first bytes fails.
  const std::string unreadable = "/proc/self/mem";
  LoadSourceFile(state, ui, unreadable);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"Error A", "Error B"}));
  EXPECT_EQ(state.sourceFile, unreadable);
  EXPECT_EQ(state.recent.lastFile, unreadable);
}

TEST_F(LoadTest, OffersSettingsOnlyForAnotherFileAndBeforeReading) {
  const std::string first = WriteFile("one.txt", "a;b\r\n");
  const std::string second = WriteFile("two.txt", "a;b;c\r\n");
  std::vector<std::string> offers;
  auto offer = [&](const std::string& path) {
    offers.push_back(path);
    state.settings.listSeparator = ';';  // an accepted settings file brings its separator
  };
  LoadSourceFile(state, ui, first, offer);
  LoadSourceFile(state, ui, first, offer);
  LoadSourceFile(state, ui, second, offer);
  EXPECT_EQ(offers, (std::vector<std::string>{first, second}));
  EXPECT_EQ(TableText(state.table), "a|b|c\n");
}

TEST_F(LoadTest, KeepsTheColumnMapAndTakesOverDraggedWidths) {
  state.settings.columns.entries[2].code = "KD";
  const std::string path = WriteFile("w.txt", "a,b,c\r\n");
  LoadSourceFile(state, ui, path);
  EXPECT_FALSE(state.settingsChanged);
  state.displayedWidths[3] = 140;  // the user drags column C
  LoadSourceFile(state, ui, path);
  EXPECT_EQ(state.settings.columns.entries[3].width, 140);
  EXPECT_EQ(state.settings.columns.entries[2].code, "KD");
  EXPECT_EQ(state.kinds[Slot::Latitude], 2);
  EXPECT_TRUE(state.settingsChanged);
}

TEST_F(LoadTest, MakesTheFileTheNewestRecentFile) {
  const std::string path = WriteFile("r.txt", "a,b\r\n");
  LoadSourceFile(state, ui, path);
  ASSERT_FALSE(state.recent.files.empty());
  EXPECT_EQ(state.recent.files.front(), path);
  EXPECT_EQ(state.recent.lastFile, path);
}

TEST_F(LoadTest, ReportsProgressOnLargeFiles) {
  struct ProgressUi : ScriptedUi {
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    void Progress(std::string_view task, std::int64_t done, std::int64_t total) override {
      EXPECT_EQ(task, "Loading");
      reports.emplace_back(done, total);
    }
  } progressUi;
  std::string text;
  for (int line = 1; line <= 80000; ++line) {
    text += "W" + std::to_string(line) + ",51.1234567,-1.1234567,123.4,2024-01-01,12:00:00\r\n";
  }
  const std::string path = WriteFile("large.txt", text);
  LoadSourceFile(state, progressUi, path);
  const auto total = static_cast<std::int64_t>(2 * text.size());
  ASSERT_GE(progressUi.reports.size(), 3u);
  for (std::size_t i = 1; i < progressUi.reports.size(); ++i) {
    EXPECT_LE(progressUi.reports[i - 1].first, progressUi.reports[i].first);
  }
  EXPECT_EQ(progressUi.reports.back(), std::make_pair(total, total));
  EXPECT_EQ(state.table.Cell(1, 80000), "W80000");
  EXPECT_EQ(state.table.Cell(6, 80000), "12:00:00");
}

}  // namespace
}  // namespace zevi
