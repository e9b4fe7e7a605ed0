#include "source/loader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "source/breaks.h"
#include "source/kinds.h"
#include "source/range.h"
#include "source_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZEVI_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEVI_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef ZEVI_ADDRESS_SANITIZER
#define ZEVI_ADDRESS_SANITIZER 0
#endif

namespace zevi {
namespace {

using testing::SourceTest;
using testing::ScriptedUi;
using testing::PipeSource;
using testing::StandardInputFrom;
using testing::TableText;

std::vector<std::string> LinesOf(std::string_view text) {
  SourceLines lines(text);
  std::vector<std::string> read;
  std::string line;
  while (lines.ReadSourceLine(line)) read.push_back(line);
  return read;
}

class LineReaderTest : public SourceTest {
 protected:
  // The source through a pipe, `readBytes` at a time, then cut into lines.
  std::vector<std::string> ReadThroughPipe(const std::string& bytes, std::size_t readBytes) {
    PipeSource pipe(bytes);
    const SourceFileHandle file = OpenSourceFile(pipe.Path());
    EXPECT_EQ(file.SizeHint(), 0u);
    LoadLimits limits;
    limits.readBytes = readBytes;
    const SourceRead read = ReadSource(file, limits);
    EXPECT_FALSE(read.readFailed);
    EXPECT_EQ(read.text.View(), bytes);
    return LinesOf(read.text.View());
  }
};

TEST_F(LineReaderTest, LineEnds) {
  const std::string longLine(300000, 'x');
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
      {longLine + "\r\ncd", {longLine, "cd"}, "a line longer than the first stream block"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LinesOf(c.bytes), c.lines) << c.reason;
    EXPECT_EQ(ReadThroughPipe(c.bytes, std::size_t{1} << 20), c.lines) << c.reason << ", through a pipe";
    // Every way of cutting the stream into reads gives the same bytes.
    for (std::size_t size = 1; size <= 9 && size < c.bytes.size() && c.bytes.size() < 100; ++size) {
      EXPECT_EQ(ReadThroughPipe(c.bytes, size), c.lines) << c.reason << ", " << size << " bytes a read";
    }
  }
}

TEST_F(LineReaderTest, RawLengthCountsTheLineAsItStood) {
  SourceLines lines("  ab  \r\n\n\nx\rlast");
  std::string_view line;
  std::vector<std::size_t> lengths;
  while (lines.ReadSourceLine(line)) lengths.push_back(lines.RawLength());
  EXPECT_EQ(lengths, (std::vector<std::size_t>{6, 1, 4}));
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

// The settings a load case asks for, records numbered from `first` and up to
// `last` (0: from the beginning, to the end).
void SetUpLoad(AppState& state, char listSeparator, const std::vector<BreakEntry>& breaks, int first, int last) {
  state.settings.listSeparator = listSeparator;
  for (std::size_t i = 0; i < breaks.size(); ++i) state.settings.breaks[i] = breaks[i];
  if (first > 0) {
    state.settings.firstRecordMode = 'R';
    state.settings.firstRecord = first;
  }
  if (last > 0) {
    state.settings.lastRecordMode = 'R';
    state.settings.lastRecord = last;
  }
}

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
    SetUpLoad(fresh, c.listSeparator, c.breaks, c.firstRecord, c.lastRecord);
    const std::string path = WriteFile("case.txt", c.bytes);
    LoadSourceFile(fresh, freshUi, path);
    EXPECT_EQ(fresh.columnCount, c.columnCount) << c.reason;
    EXPECT_EQ(fresh.table.ColumnCount(), c.columnCount) << c.reason;
    EXPECT_EQ(TableText(fresh.table), c.table) << c.reason;
    EXPECT_EQ(fresh.loadSeparator, c.separator) << c.reason;
    EXPECT_EQ(fresh.columnBreaksEnabled, c.separator != '\t') << c.reason;
    EXPECT_EQ(freshUi.messages, c.messages) << c.reason;
    EXPECT_EQ(fresh.sourceFile, path) << c.reason;
    for (int row = 1; row < fresh.table.RowCount(); ++row) {
      RowCells cells;
      GetRowCells(fresh.table, row, cells);
      for (int column = 0; column <= fresh.table.ColumnCount(); ++column) {
        EXPECT_EQ(CellOf(cells, column), fresh.table.Cell(column, row)) << c.reason << ", row " << row;
      }
    }
  }
}

// Column breaks are cut into the lines as they are read where that cuts them
// as copying the breaks in does, and copied in where it would not: every cell
// is the one NextField cuts from the line with the breaks put in.
TEST_F(LoadTest, ColumnBreaksCutAsWhenCopiedIntoTheLines) {
  const std::string longLine = "W1" + std::string(1100, 'x') + "\r\n";
  struct Case {
    std::string bytes;
    char listSeparator;
    std::vector<BreakEntry> breaks;
    int firstRecord;  // 0: from the first line
    const char* reason;
  } cases[] = {
      {"W1  51.5  -0.12\r\nW22 51.25 -0.5\r\n", kNoListSeparator, {{4, '^'}, {10, '^'}}, 0, "plain fixed columns"},
      {"ID;LAT\r\nW1 ;51.5\r\nW2 x;51.25;7\r\n", ';', {{3, '^'}, {5, '^'}}, 0, "separators in the lines too"},
      {"\"id\" name\r\nW1  51.5  -0.12\r\n", kNoListSeparator, {{4, '^'}, {10, '^'}}, 2,
       "a quote on a line before the record range"},
      {"W1  \"51.5  -0.12\"\r\n", kNoListSeparator, {{4, '^'}, {10, '^'}}, 0, "a quoted part over a break"},
      {"W1  51.5  -0.12\r\n", kNoListSeparator, {{10, '^'}, {4, '^'}}, 0, "breaks out of order"},
      {"W1  51.5  -0.12\r\n", kNoListSeparator, {{4, '^'}, {4, '^'}}, 0, "a break twice"},
      {"W1  5130  -0012\r\n", kNoListSeparator, {{4, '^'}, {6, '.'}, {10, '^'}}, 0, "a mark inserted"},
      {"W1  51.5  -0.12\r\n", ' ', {{4, '^'}, {10, '^'}}, 0, "blanks as separators"},
      {longLine, kNoListSeparator, {{2, '^'}, {3, '^'}}, 0, "a line past the rest limit once broken"},
      {"W1  51.5\r\n", kNoListSeparator, {{2, '^'}, {9, '^'}, {12, '^'}}, 0, "breaks past the line's end"},
      {"W1\t51.5\t-0.12\r\n", '\t', {{1, '^'}}, 0, "breaks do not cut a tab file"},
  };
  for (const Case& c : cases) {
    AppState fresh;
    ScriptedUi freshUi;
    SetUpLoad(fresh, c.listSeparator, c.breaks, c.firstRecord, 0);
    fresh.settings.columns.entries[1].code = "I_";  // the load measures the longest ID
    LoadSourceFile(fresh, freshUi, WriteFile("fixed.txt", c.bytes));
    SourceLines lines(c.bytes);
    std::string line;
    RowCells cells;
    std::size_t longestId = 0;
    const int first = std::max(c.firstRecord, 1);
    for (int row = 1; lines.ReadSourceLine(line); ++row) {
      if (row >= first) longestId = std::max(longestId, fresh.table.Cell(1, row).size());
      std::string broken = line;
      if (fresh.loadSeparator != '\t') {
        broken += ' ';
        ApplyBreaks(fresh.settings.breaks, fresh.loadSeparator, broken);
      }
      std::string_view rest = broken;
      GetRowCells(fresh.table, row, cells);
      for (int column = 1; column < fresh.table.ColumnCount(); ++column) {
        std::string_view field;
        std::tie(field, rest) = NextField(fresh.loadSeparator, rest);
        const std::string expected(StripQuotes(TrimText(field)));
        EXPECT_EQ(fresh.table.Cell(column, row), expected) << c.reason << ", row " << row << ", column " << column;
        EXPECT_EQ(CellOf(cells, column), expected) << c.reason << ", row " << row << ", column " << column;
      }
    }
    EXPECT_EQ(fresh.table.LongestCell(1, first, fresh.table.LastRow()), longestId) << c.reason;
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
                             "File does not exist\r\n" + PathOf("missing.txt"),
                             "Is a directory\r\nThe file may be in use by another application."}));
  EXPECT_EQ(TableText(state.table), before);
  EXPECT_EQ(state.sourceFile, good);
}

TEST_F(LoadTest, AReadFailureIsReportedOnce) {
  // Opens like a file, but reading its first bytes fails.
  const std::string unreadable = "/proc/self/mem";
  LoadSourceFile(state, ui, unreadable);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"Error A"}));
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

  // A load that ends early closes its progress too.
  progressUi.reports.clear();
  LoadLimits limits;
  limits.maxLineBytes = 20;
  LoadSourceFile(state, progressUi, path, {}, limits);
  ASSERT_FALSE(progressUi.reports.empty());
  EXPECT_EQ(progressUi.reports.back(), std::make_pair(total, total));
  EXPECT_EQ(progressUi.messages, std::vector<std::string>{"Line 1 is longer than 20 bytes\r\n" + path});
}

TEST_F(LoadTest, StreamsLoadAsFiles) {
  const std::string bytes = "ID,Lat\r\n\r\nW1,\"51,5\"\rW2,52.25\n";
  const std::string expected = "ID|Lat\n-\nW1|51,5\nW2|52.25\n";
  const std::string fifo = PathOf("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  enum class Via { File, Pipe, Fifo, StandardInput };
  for (Via via : {Via::File, Via::Pipe, Via::Fifo, Via::StandardInput}) {
    AppState fresh;
    ScriptedUi freshUi;
    fresh.settings.listSeparator = ',';
    std::optional<PipeSource> pipe;
    std::string path;
    if (via == Via::File) {
      path = WriteFile("plain.csv", bytes);
      LoadSourceFile(fresh, freshUi, path);
    } else if (via == Via::Pipe) {
      path = pipe.emplace(bytes).Path();  // open while the process runs, as <(...) is
      LoadSourceFile(fresh, freshUi, path);
    } else if (via == Via::Fifo) {
      path = fifo;
      std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << bytes; });
      LoadSourceFile(fresh, freshUi, path);
      writer.join();
    } else {
      PipeSource pipe(bytes);
      StandardInputFrom redirect(pipe);
      path = "-";
      LoadSourceFile(fresh, freshUi, path);
    }
    const std::string name = path;
    EXPECT_EQ(TableText(fresh.table), expected) << name;
    EXPECT_EQ(fresh.columnCount, 3) << name;
    EXPECT_TRUE(freshUi.messages.empty()) << name;
    EXPECT_EQ(fresh.sourceFile, path) << name;
    EXPECT_EQ(fresh.firstRecordText, "ID,Lat") << name;
    // A stream is not read a second time for the sample line (it would wait
    // or find nothing): the text stays.
    fresh.settings.firstRecord = 3;
    FirstRecordGroupClick(fresh, freshUi, 1);
    EXPECT_EQ(fresh.firstRecordText, via == Via::File ? "W1,\"51,5\"" : "ID,Lat") << name;
    EXPECT_TRUE(freshUi.messages.empty()) << name;
  }
}

TEST_F(LoadTest, LimitsEndTheLoadWithAMessage) {
  struct Case {
    std::string bytes;
    std::size_t maxLineBytes;
    int maxLines;
    bool throughPipe;
    std::string message;  // before the path; empty: loads
    const char* reason;
  } cases[] = {
      {"ab\r\ncd\r\n" + std::string(11, 'x') + "\r\nef", 10, 100, false, "Line 3 is longer than 10 bytes",
       "a long line in the middle"},
      {"ab\r\n    " + std::string(4, 'x') + "      \n", 10, 100, true, "Line 2 is longer than 10 bytes",
       "blanks count: the line as it stood"},
      {"ab\r\n" + std::string(10, 'x') + "\r\n", 10, 100, false, "", "a line of the limit loads"},
      {std::string(5000, 'x'), 1000, 100, true, "Line 1 is longer than 1000 bytes",
       "no line end at all: reading stops"},
      {"a\nb\nc\nd", 100, 3, false, "The file has more than 3 lines", "one line too many"},
      {"\n\n\n\n", 100, 3, true, "The file has more than 3 lines", "empty lines count"},
      {"a\nb\nc\n", 100, 3, false, "", "as many lines as rows allowed"},
  };
  for (const Case& c : cases) {
    AppState fresh;
    ScriptedUi freshUi;
    LoadSourceFile(fresh, freshUi, WriteFile("before.txt", "x,y\r\n"));
    LoadLimits limits;
    limits.maxLineBytes = c.maxLineBytes;
    limits.maxLines = c.maxLines;
    limits.readBytes = 7;
    std::optional<PipeSource> pipe;
    std::string path;
    if (c.throughPipe) {
      path = pipe.emplace(c.bytes).Path();
    } else {
      path = WriteFile("limits.txt", c.bytes);
    }
    LoadSourceFile(fresh, freshUi, path, {}, limits);
    if (c.message.empty()) {
      EXPECT_TRUE(freshUi.messages.empty()) << c.reason;
      EXPECT_EQ(fresh.sourceFile, path) << c.reason;
      continue;
    }
    EXPECT_EQ(freshUi.messages, std::vector<std::string>{c.message + "\r\n" + path}) << c.reason;
    EXPECT_EQ(TableText(fresh.table), "-\n") << c.reason << ": the table is left empty";
    EXPECT_EQ(fresh.table.RowCount(), 2) << c.reason;
    EXPECT_EQ(fresh.sourceFile, "") << c.reason;
    EXPECT_EQ(fresh.firstRecordText, "") << c.reason;
  }
}

// A large text is walked in two halves on two threads, and a batch run maps
// the file instead of reading it: the table, the shape, the messages and the
// limits come out as one walk over a read text gives them, whatever the line
// ends and blanks around the cut, the record range or the encoding.
TEST_F(LoadTest, TwoHalvesAndAMappedFileLoadAsOneWalk) {
  auto repeat = [](const std::string& lines, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += lines;
    return text;
  };
  struct Case {
    std::string bytes;
    char firstMode = 'B', lastMode = 'E';
    int first = 1, last = 5;
    int maxLines = 1000000;
    std::size_t maxLineBytes = 1000;
    const char* reason;
  } cases[] = {
      {repeat("a,b\r\nc,d,e\r\n", 40), 'B', 'E', 1, 5, 1000000, 1000, "CR LF"},
      {repeat("a,b\n\nc\n", 40), 'B', 'E', 1, 5, 1000000, 1000, "LF and empty lines"},
      {repeat("a,b\r\r\n\n\nc,d\r", 40), 'B', 'E', 1, 5, 1000000, 1000, "LFs that follow a CR"},
      {repeat("a,b\r\n", 41) + "x\ty\r\n", 'B', 'E', 1, 5, 1000000, 1000, "a tab in the last line decides"},
      {repeat("a,b\r\n", 20) + repeat("a,b,c,d,e,f\r\n", 20), 'R', 'R', 2, 10, 1000000, 1000,
       "the range in the first half only"},
      {repeat("a,b\r\n", 20) + repeat("a,b,c,d,e,f\r\n", 20) + repeat("a,b\r\n", 20), 'R', 'R', 45, 50,
       1000000, 1000, "the range in the second half only"},
      {repeat("a,b\r\n", 30) + repeat("wide,wider\r\n", 30), 'R', 'R', 2, 10, 1000000, 1000,
       "wider cells past the range"},
      {repeat("a,b\r\n", 20) + "\r\n" + repeat("\"a,b\",c\r\n", 20), 'R', 'E', 21, 5, 1000000, 1000,
       "an empty first record, quotes"},
      {repeat("a,b\r\n", 50), 'B', 'E', 1, 5, 49, 1000, "one line too many, counted over both halves"},
      {repeat("a,b\r\n", 50), 'B', 'E', 1, 5, 50, 1000, "as many lines as allowed"},
      {repeat("a,b\r\n", 40) + std::string(30, 'x') + "\r\n" + repeat("a,b\r\n", 9), 'B', 'E', 1, 5,
       1000000, 20, "a long line in the second half"},
      {repeat("a,b\r\n", 3) + std::string(30, 'x') + "\r\n" + repeat("a,b\r\n", 60), 'B', 'E', 1, 5,
       1000000, 20, "a long line in the first half"},
      {repeat("a,b\r\n", 40) + std::string(30, 'x') + "\r\n", 'B', 'E', 1, 5, 40, 20,
       "the line limit comes before the long line"},
      {repeat("a,b\r\n", 39) + std::string(30, 'x') + "\r\n", 'B', 'E', 1, 5, 39, 20,
       "the long line is the one past the limit"},
      {repeat("Caf\xC3\xA9,b\r\n", 40), 'B', 'E', 1, 5, 1000000, 1000, "UTF-8: decoded, walked again"},
      {repeat("Caf\xE9,b\r\n", 40), 'B', 'E', 1, 5, 1000000, 1000, "Windows-1252 stays as read"},
      {"\xEF\xBB\xBF" + repeat("a,b\r\n", 40), 'B', 'E', 1, 5, 1000000, 1000, "a byte order mark"},
  };
  struct Loaded {
    std::string table, firstRecord, sourceFile;
    std::vector<std::string> messages;
    int columns = 0;
    char separator = 0;
    SourceEncoding encoding = SourceEncoding::Automatic;
    bool operator==(const Loaded&) const = default;
  };
  for (const Case& c : cases) {
    const std::string path = WriteFile("halves.txt", c.bytes);
    auto load = [&](std::size_t splitFromBytes, bool map, std::size_t chunkBytes = std::size_t{4} << 20) {
      AppState fresh;
      fresh.settings.listSeparator = ',';
      fresh.settings.firstRecordMode = c.firstMode;
      fresh.settings.lastRecordMode = c.lastMode;
      fresh.settings.firstRecord = c.first;
      fresh.settings.lastRecord = c.last;
      fresh.settings.mode = 'W';
      fresh.settings.columns.entries[1].code = "S_";  // symbols
      fresh.settings.columns.entries[2].code = "I_";
      ScriptedUi freshUi;
      LoadLimits limits;
      limits.maxLines = c.maxLines;
      limits.maxLineBytes = c.maxLineBytes;
      limits.splitFromBytes = splitFromBytes;
      limits.mapRegularFile = map;
      limits.copiedChunkBytes = chunkBytes;
      LoadSourceFile(fresh, freshUi, path, {}, limits);
      // The longest cells the load keeps for the export are those of the table.
      const RecordRange range = EffectiveRange(fresh.settings, fresh.table.LastRow());
      for (int column : {1, 2}) {
        std::size_t longest = 0;
        for (int r = std::max(range.first, 1); r <= std::min(range.last, fresh.table.LastRow()); ++r)
          longest = std::max(longest, fresh.table.Cell(column, r).size());
        EXPECT_EQ(fresh.table.LongestCell(column, range.first, range.last), longest)
            << c.reason << ", column " << column << (map ? ", mapped" : "") << ", split from " << splitFromBytes;
      }
      return Loaded{TableText(fresh.table), fresh.firstRecordText, fresh.sourceFile, freshUi.messages,
                    fresh.table.ColumnCount(), fresh.loadSeparator, fresh.sourceEncoding};
    };
    const Loaded once = load(std::size_t{1} << 30, false);
    EXPECT_EQ(load(0, false), once) << c.reason << ": two halves";
    EXPECT_EQ(load(0, true), once) << c.reason << ": mapped, two halves";
    EXPECT_EQ(load(std::size_t{1} << 30, true), once) << c.reason << ": mapped";
    // Read a few bytes at a time, lines and line ends are cut everywhere.
    for (std::size_t chunk : {1, 2, 3, 5, 8, 13}) {
      EXPECT_EQ(load(0, true, chunk), once) << c.reason << ": mapped, two halves, copied " << chunk << " at a time";
      EXPECT_EQ(load(std::size_t{1} << 30, true, chunk), once) << c.reason << ": mapped, copied " << chunk << " at a time";
    }
  }
}

// A mapped source cut short while its table is in use reads as blanks where
// it lost its bytes, never ends the program, and says it changed.
TEST_F(LoadTest, AMappedSourceCutShortReadsAsBlanksAndSaysItChanged) {
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes += "W" + std::to_string(i) + ",51.5,-1.25\r\n";
  const std::string path = WriteFile("mapped.txt", bytes);
  LoadLimits limits;
  limits.mapRegularFile = true;
  state.settings.listSeparator = ',';
  LoadSourceFile(state, ui, path, {}, limits);
  ASSERT_EQ(state.table.Cell(1, 20000), "W19999");
  EXPECT_FALSE(state.table.SourceChanged());
  ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
  EXPECT_EQ(state.table.Cell(1, 20000), "") << "the lost bytes read as zeros, trimmed away";
  EXPECT_TRUE(state.table.SourceChanged());

  // Bytes written in place, with the size kept, count as a change too.
  const std::string other = WriteFile("other.txt", bytes);
  LoadSourceFile(state, ui, other, {}, limits);
  EXPECT_FALSE(state.table.SourceChanged());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::fstream(other, std::ios::in | std::ios::out | std::ios::binary).put('V');
  EXPECT_TRUE(state.table.SourceChanged());
  EXPECT_EQ(state.table.Cell(1, 1), "V0");
}

// A run of rows copied out of a mapped file reads as the mapping does, for
// the rows in the run and beside it, with quotes, empty lines and a last line
// without its end; none is copied where the file lost bytes or the run is too large.
TEST_F(LoadTest, RowsCopiedOutOfAMappedFileReadAsTheMapping) {
  std::string bytes;
  for (int i = 0; i < 3000; ++i) {
    bytes += i % 7 == 3 ? "\r\n" : "W" + std::to_string(i) + ",\"5" + std::to_string(i % 10) + ",1\",-1.25\r\n";
  }
  bytes += "last,1,2";
  const std::string path = WriteFile("copied.txt", bytes);
  LoadLimits limits;
  limits.mapRegularFile = true;
  state.settings.listSeparator = ',';
  LoadSourceFile(state, ui, path, {}, limits);
  const SourceTable& table = state.table;
  ASSERT_EQ(table.LastRow(), 3001);
  const struct {
    int first, last;
  } runs[] = {{1, 1}, {1, 3001}, {4, 4}, {2, 9}, {1500, 1700}, {2990, 3001}, {3001, 3001}};
  auto inMapping = [](const SourceTable& in, std::string_view cell) {
    const std::string_view text = in.Text().View();
    return std::less_equal<>()(text.data(), cell.data()) && std::less<>()(cell.data(), text.data() + text.size());
  };
  RowCells mapped;
  RowCells copied;
  // One copy for all, as a reader keeps its own: it grows from a row to a run.
  RowTextCopy reused;
  for (const auto& run : runs) {
    RowTextCopy& copy = reused;
    copy.Take(table, run.first, run.last);
    for (int r = std::max(1, run.first - 2); r <= std::min(3001, run.last + 2); ++r) {
      GetRowCells(table, r, mapped);
      GetRowCells(table, r, copied, &copy);
      ASSERT_EQ(copied, mapped) << "row " << r << " of run " << run.first << ".." << run.last;
      if (r >= run.first && r <= run.last && !mapped[1].empty()) {
        EXPECT_FALSE(inMapping(table, copied[1])) << "row " << r << " is read from the copy, not the mapping";
      }
    }
  }
  ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
  RowTextCopy copy;
  copy.Take(table, 2000, 2100);
  GetRowCells(table, 2001, copied, &copy);
  EXPECT_EQ(CellOf(copied, 1), "") << "the lost bytes read as zeros, as from the mapping";
  EXPECT_TRUE(table.SourceChanged());

  // Longer than a copy takes: read from the mapping.
  const std::string wide(1000, 'w');
  std::string large;
  while (large.size() < (std::size_t{17} << 20)) large += wide + ",1\n";
  LoadSourceFile(state, ui, WriteFile("large.txt", large), {}, limits);
  RowTextCopy none;
  none.Take(state.table, 1, state.table.LastRow());
  GetRowCells(state.table, 7, copied, &none);
  EXPECT_EQ(CellOf(copied, 1), wide);
  EXPECT_TRUE(inMapping(state.table, CellOf(copied, 1)));
}

// "End of file" is the end however many lines come before it: a line past the
// ten millionth still counts for the columns.
TEST_F(LoadTest, TheRecordRangeRunsToTheEndOfALongFile) {
  std::string bytes;
  bytes.reserve(20000010);
  for (int i = 0; i < 10000000; ++i) bytes += "a\n";
  bytes += "a,b,c\n";
  const std::string path = WriteFile("long.txt", bytes);
  bytes = std::string();
  state.settings.listSeparator = ',';
  LoadSourceFile(state, ui, path);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(state.table.LastRow(), 10000001);
  EXPECT_EQ(state.table.ColumnCount(), 4);
  EXPECT_EQ(state.table.Cell(3, 10000001), "c");
}

TEST_F(LoadTest, AnEndlessDeviceStopsAtTheLineLimit) {
  LoadLimits limits;
  limits.maxLineBytes = std::size_t{1} << 20;
  LoadSourceFile(state, ui, "/dev/zero", {}, limits);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Line 1 is longer than 1 MB\r\n/dev/zero"});
  EXPECT_EQ(state.sourceFile, "");
}

#if !ZEVI_ADDRESS_SANITIZER
// In a child process: an address-space limit a little above what it uses;
// /dev/zero with no line limit then fills it.
[[noreturn]] void LoadDevZeroUnderAMemoryLimit() {
  AppState child;
  ScriptedUi childUi;
  long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  const rlim_t used = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
  const rlimit limit{used + (rlim_t{64} << 20), used + (rlim_t{64} << 20)};
  ::setrlimit(RLIMIT_AS, &limit);
  LoadLimits limits;
  limits.maxLineBytes = std::size_t{1} << 40;
  LoadSourceFile(child, childUi, "/dev/zero", {}, limits);
  const std::vector<std::string> expected = {"Not enough memory to load the file\r\n/dev/zero"};
  const bool ended = childUi.messages == expected && child.table.RowCount() == 2 && child.sourceFile.empty();
  std::_Exit(ended ? 0 : 1);
}
#endif

TEST_F(LoadTest, MemoryThatRunsOutEndsTheLoadWithAMessage) {
#if ZEVI_ADDRESS_SANITIZER
  GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#else
  EXPECT_EXIT(LoadDevZeroUnderAMemoryLimit(), ::testing::ExitedWithCode(0), "");
#endif
}

TEST_F(LoadTest, EmptyLinesCostNextToNothing) {
  struct Case {
    std::string line;
    int copies;
    double maxRatio;  // of the table's bytes to the file's
    const char* reason;
  } cases[] = {
      {"\n", 1000000, 1.3, "line feeds only"},
      {"\r\n", 500000, 1.3, "CR LF only"},
      {"W0000001,51.123456,-1.234567,123.4,2024-03-01,13:00:01\r\n", 50000, 1.3, "ordinary records"},
  };
  for (const Case& c : cases) {
    std::string bytes;
    bytes.reserve(c.line.size() * static_cast<std::size_t>(c.copies));
    for (int i = 0; i < c.copies; ++i) bytes += c.line;
    AppState fresh;
    ScriptedUi freshUi;
    fresh.settings.listSeparator = ',';
    LoadSourceFile(fresh, freshUi, WriteFile("lines.txt", bytes));
    EXPECT_EQ(fresh.table.LastRow(), c.copies) << c.reason;
    EXPECT_LT(static_cast<double>(fresh.table.MemoryBytes()), c.maxRatio * static_cast<double>(bytes.size()))
        << c.reason << ": " << fresh.table.MemoryBytes() << " bytes for " << bytes.size();
  }
}

std::string Utf16Le(std::string_view ascii, std::initializer_list<std::pair<std::size_t, char16_t>> replaced) {
  std::u16string units(ascii.begin(), ascii.end());
  for (auto [at, unit] : replaced) units[at] = unit;
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

TEST_F(LoadTest, DecodesTheSourceAndLocatesUnmappableCharacters) {
  struct Case {
    std::string bytes;
    std::vector<BreakEntry> breaks;
    std::string table;
    SourceEncoding used;
    std::vector<std::string> messages;
    const char* reason;
  } cases[] = {
      {"\xEF\xBB\xBFName,Lat\r\nCaf\xC3\xA9 Zo\xC3\xAB,51.5\r\n", {}, "Name|Lat\nCaf\xE9 Zo\xEB|51.5\n",
       SourceEncoding::Utf8, {}, "UTF-8 with a BOM and accented names"},
      {Utf16Le("Name,Lat\r\nCafe Zoe,51.5\r\n", {{13, u'\u00E9'}, {17, u'\u00EB'}}), {},
       "Name|Lat\nCaf\xE9 Zo\xEB|51.5\n", SourceEncoding::Utf16, {}, "UTF-16 LE"},
      {"Name,Lat\r\n", {}, "Name|Lat\n", SourceEncoding::Windows1252, {}, "pure ASCII"},
      {"a,b\r\n\r\nx, \"\xE6\x9D\xB1y\"\r\n", {}, "a|b\n-\nx|?y\n", SourceEncoding::Utf8,
       {"1 character has no Windows-1252 form and is written as '?' (record 3, column B)"},
       "one character, in a quoted cell"},
      {"\xE6\x9D\xB1\xE6\x9D\xB1,b\r\n", {}, "??|b\n", SourceEncoding::Utf8,
       {"2 characters have no Windows-1252 form and are written as '?' (first: record 1, column A)"},
       "two characters"},
      {"ABC\xE6\x9D\xB1" "DEF\r\n", {{3, '^'}}, "ABC|?DEF\n", SourceEncoding::Utf8,
       {"1 character has no Windows-1252 form and is written as '?' (record 1, column B)"},
       "a column break before the character moves it to the next column"},
  };
  for (const Case& c : cases) {
    AppState fresh;
    ScriptedUi freshUi;
    fresh.settings.listSeparator = c.breaks.empty() ? ',' : kNoListSeparator;
    for (std::size_t i = 0; i < c.breaks.size(); ++i) fresh.settings.breaks[i] = c.breaks[i];
    LoadSourceFile(fresh, freshUi, WriteFile("encoded.txt", c.bytes));
    EXPECT_EQ(TableText(fresh.table), c.table) << c.reason;
    EXPECT_EQ(fresh.sourceEncoding, c.used) << c.reason;
    EXPECT_EQ(freshUi.messages, c.messages) << c.reason;
  }
}

}  // namespace
}  // namespace zevi
