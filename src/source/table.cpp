#include "source/table.h"

#include <algorithm>

#include "source/columns.h"

namespace zevi {

namespace {
// Before any file is loaded: every data column and one empty row.
constexpr int kEmptyTableRows = 2;
}  // namespace

SourceTable::SourceTable() { Layout(kMaxColumnCount, kEmptyTableRows); }

void SourceTable::Layout(int columns, int rows) {
  columns_ = std::clamp(columns, 1, kMaxColumnCount);
  rows_ = std::max(rows, 1);
  filledUpTo_ = 0;
  // Fresh buffers: a small file after a large one should not keep the large one's memory.
  std::string().swap(text_);
  std::vector<std::uint32_t>().swap(cellEnd_);
  rowText_ = std::vector<std::uint64_t>(static_cast<std::size_t>(rows_) + 1);
  rowFirstCell_ = std::vector<std::uint32_t>(static_cast<std::size_t>(rows_) + 1);
  marker_ = std::vector<std::uint8_t>(static_cast<std::size_t>(rows_));
}

void SourceTable::Reserve(std::size_t textBytes, std::size_t cells) {
  text_.reserve(textBytes);
  cellEnd_.reserve(cells);
}

void SourceTable::FillRow(int row, std::span<const std::string_view> cells) {
  if (row < 1 || row >= rows_ || row <= filledUpTo_) return;
  for (int skipped = filledUpTo_ + 1; skipped <= row; ++skipped) {
    rowText_[skipped] = text_.size();
    rowFirstCell_[skipped] = static_cast<std::uint32_t>(cellEnd_.size());
  }
  std::size_t count = std::min(cells.size(), static_cast<std::size_t>(columns_ - 1));
  // Trailing blanks read as blank anyway; not storing them keeps sparse rows small.
  while (count > 0 && cells[count - 1].empty()) --count;
  const std::uint64_t rowStart = rowText_[row];
  for (std::size_t i = 0; i < count; ++i) {
    text_.append(cells[i]);
    cellEnd_.push_back(static_cast<std::uint32_t>(text_.size() - rowStart));
  }
  rowText_[row + 1] = text_.size();
  rowFirstCell_[row + 1] = static_cast<std::uint32_t>(cellEnd_.size());
  marker_[row] = 1;
  filledUpTo_ = row;
}

std::string_view SourceTable::Cell(int column, int row) const {
  if (row < 1 || row > filledUpTo_ || column < 1 || column >= columns_) return {};
  const std::uint32_t first = rowFirstCell_[row];
  const std::uint32_t index = first + static_cast<std::uint32_t>(column - 1);
  if (index >= rowFirstCell_[row + 1]) return {};
  const std::uint32_t start = index == first ? 0 : cellEnd_[index - 1];
  return std::string_view(text_).substr(rowText_[row] + start, cellEnd_[index] - start);
}

bool SourceTable::Marker(int row) const {
  return row >= 1 && row < rows_ && marker_[row] != 0;
}

std::size_t SourceTable::MemoryBytes() const {
  return sizeof(*this) + text_.capacity() + rowText_.capacity() * sizeof(std::uint64_t) +
         rowFirstCell_.capacity() * sizeof(std::uint32_t) +
         cellEnd_.capacity() * sizeof(std::uint32_t) + marker_.capacity();
}

void GetRowCells(const SourceTable& table, int row, RowCells& out) {
  out.assign(static_cast<std::size_t>(std::max(table.ColumnCount(), 1)), std::string_view{});
  for (int column = 1; column < table.ColumnCount(); ++column) out[column] = table.Cell(column, row);
}

}  // namespace zevi
