#include "source/table.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "source/loader.h"

namespace zevi {
namespace {

using Cells = std::vector<std::string_view>;

TEST(SourceTable, StartsWithEveryColumnAndOneEmptyRow) {
  SourceTable table;
  EXPECT_EQ(table.ColumnCount(), 27);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_FALSE(table.Marker(1));
}

TEST(SourceTable, CellsOfFilledRowsOnly) {
  SourceTable table;
  table.Layout(4, 6);  // 3 data columns, 5 rows
  table.FillRow(2, Cells{"a", "", "c", "surplus"});
  table.FillRow(4, Cells{"d"});
  table.FillRow(3, Cells{"late"});  // rows go in increasing order only
  table.FillRow(6, Cells{"beyond"});
  struct Case {
    int column, row;
    std::string_view text;
    const char* reason;
  } cases[] = {
      {1, 2, "a", "first cell"},      {2, 2, "", "empty middle cell"},
      {3, 2, "c", "last cell"},        {4, 2, "", "surplus dropped"},
      {1, 3, "", "skipped row"},       {1, 4, "d", "row after a gap"},
      {2, 4, "", "missing cell"},      {1, 5, "", "unfilled row"},
      {0, 2, "", "row-number column"}, {1, 0, "", "heading row"},
      {-1, 2, "", "out of range"},     {1, 6, "", "past the last row"},
  };
  for (const Case& c : cases) EXPECT_EQ(table.Cell(c.column, c.row), c.text) << c.reason;
  EXPECT_EQ(std::vector<bool>({table.Marker(1), table.Marker(2), table.Marker(3), table.Marker(4)}),
            std::vector<bool>({false, true, false, true}));

  RowCells row;
  GetRowCells(table, 2, row);
  EXPECT_EQ(row, (RowCells{"", "a", "", "c"}));
  EXPECT_EQ(CellOf(row, 3), "c");
  EXPECT_EQ(CellOf(row, 9), "");

  table.Layout(4, 6);
  EXPECT_EQ(table.Cell(1, 2), "") << "a layout blanks the data";
  EXPECT_FALSE(table.Marker(2));
}

TEST(SourceTable, KeepsLongCellsWhole) {
  const std::string medium(200, 'm'), huge(70000, 'h');
  SourceTable table;
  table.Layout(5, 3);
  table.FillRow(1, Cells{medium, "", huge, "z"});
  table.FillRow(2, Cells{"", huge});
  EXPECT_EQ(table.Cell(1, 1), medium);
  EXPECT_EQ(table.Cell(2, 1), "");
  EXPECT_EQ(table.Cell(3, 1), huge);
  EXPECT_EQ(table.Cell(4, 1), "z");
  EXPECT_EQ(table.Cell(2, 2), huge);
}

TEST(SourceTable, LinesAreCutWhenRead) {
  const std::string text = "xx  a, \"b,c\" ,,d  \r\n1;2";
  SourceText source(text);
  SourceRows rows;
  rows.Add(2, 4, 12);   // "a, \"b,c\" ,,d" on row 2
  rows.Add(70, 20, 3);  // "1;2" on a row of the second marker word
  SourceTable table;
  table.Layout(4, 71);  // 3 data columns
  table.TakeLines(std::move(source), std::move(rows), ',');
  struct Case {
    int column, row;
    std::string_view text;
    const char* reason;
  } cases[] = {
      {1, 2, "a", "first field"},   {2, 2, "b,c", "quoted, trimmed, stripped"},
      {3, 2, "", "empty field"},    {4, 2, "", "beyond the data columns"},
      {1, 70, "1;2", "another separator is text"},
      {1, 1, "", "a row without text"}, {1, 69, "", "the row before"},
      {1, 71, "", "past the rows"}, {0, 2, "", "row-number column"},
  };
  for (const Case& c : cases) EXPECT_EQ(table.Cell(c.column, c.row), c.text) << c.reason;
  EXPECT_EQ(std::vector<bool>({table.Marker(1), table.Marker(2), table.Marker(69), table.Marker(70)}),
            std::vector<bool>({false, true, false, true}));
  RowCells row;
  GetRowCells(table, 2, row);
  EXPECT_EQ(row, (RowCells{"", "a", "b,c", ""}));
  table.FillRow(3, Cells{"ignored"});
  EXPECT_EQ(table.Cell(1, 3), "") << "rows of a loaded text are not filled by hand";
}

// Every line of up to six characters from an alphabet of the bytes that
// matter, the same inside longer words (the separator search goes eight and
// sixteen bytes at a time) and after separators, and long lines with separators here and there: cut by the table
// as NextField, TrimText and StripQuotes cut them one field at a time.
TEST(SourceTable, LinesCutAsFieldsAreCutOneByOne) {
  std::vector<std::string> lines;
  const std::string alphabet = "a, \"\t;";
  for (std::size_t length = 1; length <= 6; ++length) {
    std::size_t combinations = 1;
    for (std::size_t i = 0; i < length; ++i) combinations *= alphabet.size();
    for (std::size_t n = 0; n < combinations; ++n) {
      std::string line;
      for (std::size_t rest = n, i = 0; i < length; ++i, rest /= alphabet.size()) line += alphabet[rest % alphabet.size()];
      lines.push_back(line);
      lines.push_back("abcdefghi" + line + "jklmnop" + line);
      // Cells of the first sixteen bytes are handed out before a later quote is seen.
      lines.push_back("a,b, c,d\t,e,f;,g" + line + "x,\"y" + line);
    }
  }
  for (std::size_t at : {0u, 7u, 8u, 9u, 15u, 16u, 17u, 990u, 998u, 999u, 1000u, 1001u, 1100u}) {
    std::string line(1200, 'b');
    line[at] = ',';
    line[(at * 7 + 3) % 1200] = ',';
    lines.push_back(line);
    lines.push_back(line.substr(0, 1000));
  }
  std::string text;
  SourceRows rows;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    rows.Add(static_cast<int>(i) + 1, text.size(), lines[i].size());
    text += lines[i];
  }
  for (char separator : {',', ' ', '\t'}) {
    SourceTable table;
    table.Layout(6, static_cast<int>(lines.size()) + 1);  // 5 data columns
    table.TakeLines(SourceText(text), rows, separator);
    RowCells cells;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const int row = static_cast<int>(i) + 1;
      GetRowCells(table, row, cells);
      std::string_view rest = lines[i];
      for (int column = 1; column < 6; ++column) {
        std::string_view field;
        std::tie(field, rest) = NextField(separator, rest);
        const std::string_view expected = StripQuotes(TrimText(field));
        ASSERT_EQ(table.Cell(column, row), expected) << "'" << lines[i] << "' by '" << separator << "', column " << column;
        ASSERT_EQ(CellOf(cells, column), expected) << "'" << lines[i] << "' by '" << separator << "', column " << column;
      }
    }
  }
}

TEST(SourceRows, RefusesSpansBeyondTheirPackedWidth) {
  SourceRows rows;
  EXPECT_THROW(rows.Add(1, 0, SourceRows::kMaxLength + 1), std::bad_alloc);
  EXPECT_THROW(rows.Add(1, SourceRows::kMaxOffset + 1, 1), std::bad_alloc);
  rows.Add(1, SourceRows::kMaxOffset, SourceRows::kMaxLength);
  EXPECT_EQ(rows.Span(1), std::make_pair(static_cast<std::size_t>(SourceRows::kMaxOffset),
                                         static_cast<std::size_t>(SourceRows::kMaxLength)));
}

// Spans are mapped in a little ahead of the rows added, never the whole
// reserve: a reserve estimated far too high must not fill the memory.
TEST(SourceRows, AReserveTooLargeMapsInOnlyWhatTheRowsUse) {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  auto residentBytes = [&](const SourceRows& rows) {
    const SourceRows::Room room = rows.ReservedRoom();
    const auto start = reinterpret_cast<std::uintptr_t>(room.spans) & ~(page - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(room.spans + room.capacity);
    std::vector<unsigned char> pages((end - start + page - 1) / page);
    if (::mincore(reinterpret_cast<void*>(start), end - start, pages.data()) != 0) return std::size_t{0};
    std::size_t resident = 0;
    for (unsigned char p : pages) resident += (p & 1) * page;
    return resident;
  };
  const std::size_t reserve = std::size_t{16} << 20;  // 128 MB of spans
  for (const int rows : {1000, 300000}) {
    SourceRows spans;
    spans.Reserve(reserve);
    for (int r = 1; r <= rows; ++r) spans.Add(r, static_cast<std::size_t>(r) * 9, 5);
    EXPECT_EQ(spans.Span(rows), std::make_pair(static_cast<std::size_t>(rows) * 9, std::size_t{5}));
    // Their own bytes, a megabyte ahead, and large pages rounded up.
    EXPECT_LT(residentBytes(spans), static_cast<std::size_t>(rows) * 8 + (std::size_t{6} << 20)) << rows << " rows";
  }
}

// Rows with text at random, some runs of empty rows, joined from parts as
// the two halves of a walk join, then more rows added or a third part joined:
// each row, rank, count and range walk as a plain list of the rows gives them.
TEST(SourceRows, PartsJoinAndRangesWalkAsAListOfTheRows) {
  std::mt19937_64 random(5);
  for (int trial = 0; trial < 200; ++trial) {
    const int rows = static_cast<int>(random() % 500) + 1;
    const int cut = static_cast<int>(random() % static_cast<unsigned>(rows + 1));
    const int cut2 = cut + static_cast<int>(random() % static_cast<unsigned>(rows - cut + 1));
    std::vector<bool> has(static_cast<std::size_t>(rows) + 1, false);
    for (int r = 1; r <= rows; ++r) has[static_cast<std::size_t>(r)] = random() % (trial % 4 + 2) != 0;
    SourceRows first;
    SourceRows later;
    SourceRows last;
    const bool third = trial % 2 == 1;  // rows past cut2 a part of their own, or added after the join
    for (int r = 1; r <= cut2; ++r) {
      if (!has[static_cast<std::size_t>(r)]) continue;
      if (r <= cut) {
        first.Add(r, static_cast<std::size_t>(r) * 10, static_cast<std::size_t>(r % 7));
      } else {
        later.Add(r - cut, static_cast<std::size_t>(r) * 10, static_cast<std::size_t>(r % 7));
      }
    }
    first.Append(std::move(later), cut);
    for (int r = cut2 + 1; r <= rows; ++r) {
      if (!has[static_cast<std::size_t>(r)]) continue;
      if (third) {
        last.Add(r - cut2, static_cast<std::size_t>(r) * 10, static_cast<std::size_t>(r % 7));
      } else {
        first.Add(r, static_cast<std::size_t>(r) * 10, static_cast<std::size_t>(r % 7));
      }
    }
    if (third) first.Append(std::move(last), cut2);
    std::size_t rank = 0;
    for (int r = 0; r <= rows + 70; ++r) {
      const bool expected = r >= 1 && r <= rows && has[static_cast<std::size_t>(r)];
      ASSERT_EQ(first.Has(r), expected) << "row " << r << " of " << rows << " cut at " << cut;
      ASSERT_EQ(first.Rank(r), rank) << "row " << r;
      if (expected) {
        ASSERT_EQ(first.Span(r), std::make_pair(static_cast<std::size_t>(r) * 10, static_cast<std::size_t>(r % 7)));
        ASSERT_EQ(first.SpanAt(rank), first.Span(r));
        ++rank;
      }
    }
    ASSERT_EQ(first.Count(), rank);
    const int from = static_cast<int>(random() % static_cast<unsigned>(rows + 2));
    const int to = from + static_cast<int>(random() % 200) - 20;
    std::vector<int> walked;
    first.ForEachIn(from, to, [&](int r, std::size_t offset, std::size_t) {
      EXPECT_EQ(offset, static_cast<std::size_t>(r) * 10);
      walked.push_back(r);
    });
    std::vector<int> expected;
    for (int r = std::max(from, 1); r <= std::min(to, rows); ++r)
      if (has[static_cast<std::size_t>(r)]) expected.push_back(r);
    ASSERT_EQ(walked, expected) << from << ".." << to << " of " << rows << " cut at " << cut;
  }
}

// The longest cell is found on two threads over a large range, kept, and
// found again once the table changes.
TEST(SourceTable, LongestCellOverLargeRangesAndAfterChanges) {
  constexpr int kRows = 150000;
  std::string text;
  SourceRows rows;
  for (int r = 1; r <= kRows; ++r) {
    if (r % 1000 == 0) continue;  // empty lines
    const std::string line = "P" + std::to_string(r % 97) + "," + std::string(static_cast<std::size_t>(r % 13), 'x');
    rows.Add(r, text.size(), line.size());
    text += line;
  }
  SourceTable table;
  table.Layout(3, kRows + 1);
  table.TakeLines(SourceText(text), rows, ',');
  struct Case {
    int column, first, last;
    std::size_t length;
  } cases[] = {
      {1, 1, kRows, 3},  {2, 1, kRows, 12}, {2, 1, 11, 11},     {2, 14, 24, 11}, {2, kRows - 1, kRows + 50, 5},
      {2, 0, 0, 0},      {3, 1, kRows, 0},  {2, kRows + 1, kRows + 9, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(table.LongestCell(c.column, c.first, c.last), c.length) << c.column << " " << c.first << ".." << c.last;
    EXPECT_EQ(table.LongestCell(c.column, c.first, c.last), c.length) << "kept";
  }
  SourceTable filled;
  filled.Layout(3, 4);
  const std::string_view shortRow[] = {"a", "bb"};
  filled.FillRow(1, shortRow);
  EXPECT_EQ(filled.LongestCell(2, 1, 3), 2u);
  const std::string_view longRow[] = {"a", "bbbbb"};
  filled.FillRow(2, longRow);
  EXPECT_EQ(filled.LongestCell(2, 1, 3), 5u) << "a filled row is seen";
  filled.Layout(3, 4);
  EXPECT_EQ(filled.LongestCell(2, 1, 3), 0u) << "a new layout is seen";
}

}  // namespace
}  // namespace zevi
