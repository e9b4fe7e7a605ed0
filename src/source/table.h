#pragma once
// The loaded file as a table of text cells, stored compactly: all cell texts
// of the table in one buffer with an offset per row, not a string per cell,
// so a file of millions of lines fits in little more than its size.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memory.h"

namespace zevi {

class SourceTable {
 public:
  SourceTable();

  // columns and rows include the row-number column and the heading row.
  // Every data cell becomes blank and every row marker 0.
  void Layout(int columns, int rows);

  int ColumnCount() const { return columns_; }
  int RowCount() const { return rows_; }
  int LastRow() const { return rows_ - 1; }

  // Fills data row `row` (1..rows-1) from cells of data columns 1.. (cells[0]
  // is column 1), and sets its marker to 1. Rows are filled in increasing
  // order (a row at or before the last filled one is left alone); surplus
  // cells are dropped, missing ones stay blank.
  void FillRow(int row, std::span<const std::string_view> cells);

  // Blank for the heading row, the row-number column, unfilled rows and
  // anything out of range.
  std::string_view Cell(int column, int row) const;
  // 1 when the row came from a line with content, 0 for an empty line.
  bool Marker(int row) const;

  // Room for the cells about to be filled (their texts and one byte each),
  // so the buffer grows once instead of doubling past the data.
  void Reserve(std::size_t bytes);

  // Bytes held, capacity included.
  std::size_t MemoryBytes() const;

  // Walks a row's cells once rather than seeking each.
  friend void GetRowCells(const SourceTable& table, int row, std::vector<std::string_view>& out);

 private:
  // Room for `bytes` more text; grows by doubling past a reservation.
  char* MakeRoom(std::size_t bytes);
  char* Text() const { return static_cast<char*>(text_.get()); }
  std::uint64_t* RowText() const { return static_cast<std::uint64_t*>(rowText_.get()); }

  int columns_ = 0;
  int rows_ = 0;
  int filledUpTo_ = 0;                    // rows 1..filledUpTo_ have their offsets set
  // Cell texts of filled rows in order, each after its length (7 bits a byte,
  // high bit: more bytes follow); trailing blank cells are not stored. Left
  // uninitialised: a large file's pages are touched once, by the filling.
  LargeBlock text_;
  std::size_t textSize_ = 0;
  std::size_t textCapacity_ = 0;
  // Per row and one past: offset of its cells in the text; set up to
  // filledUpTo_ + 1.
  LargeBlock rowText_;
  std::size_t rowCapacity_ = 0;
  std::vector<std::uint64_t> markers_;    // a bit per row
};

// The cells of one row, indexed by data column (index 0 unused), as the value
// readers take them.
using RowCells = std::vector<std::string_view>;

inline std::string_view CellOf(const RowCells& row, int column) {
  return column > 0 && column < static_cast<int>(row.size()) ? row[column] : std::string_view{};
}

// Fills `out` with the cells of a table row.
void GetRowCells(const SourceTable& table, int row, RowCells& out);

}  // namespace zevi
