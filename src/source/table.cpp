#include "source/table.h"

#include <algorithm>

#include "source/columns.h"

namespace zevi {

namespace {

// Before any file is loaded: every data column and one empty row.
constexpr int kEmptyTableRows = 2;
constexpr unsigned kLengthBits = 7;
constexpr unsigned kMoreLength = 0x80;

void AppendLength(std::string& text, std::size_t length) {
  while (length >= kMoreLength) {
    text += static_cast<char>((length & (kMoreLength - 1)) | kMoreLength);
    length >>= kLengthBits;
  }
  text += static_cast<char>(length);
}

std::size_t ReadLength(const char*& at) {
  std::size_t length = 0;
  for (unsigned shift = 0;; shift += kLengthBits) {
    const auto byte = static_cast<unsigned char>(*at++);
    length |= static_cast<std::size_t>(byte & (kMoreLength - 1)) << shift;
    if ((byte & kMoreLength) == 0) return length;
  }
}

// Sized and zeroed, keeping its memory unless that is more than twice the size.
template <typename T>
void KeepOrRelease(std::vector<T>& items, std::size_t size) {
  if (items.capacity() / 2 > size) std::vector<T>().swap(items);
  items.assign(size, T{});
}

}  // namespace

SourceTable::SourceTable() { Layout(kMaxColumnCount, kEmptyTableRows); }

void SourceTable::Layout(int columns, int rows) {
  columns_ = std::clamp(columns, 1, kMaxColumnCount);
  rows_ = std::max(rows, 1);
  filledUpTo_ = 0;
  // Memory is kept for a reload of the same file (no new pages to touch), but
  // a small file after a large one does not keep the large one's.
  text_.clear();
  KeepOrRelease(rowText_, static_cast<std::size_t>(rows_) + 1);
  KeepOrRelease(marker_, static_cast<std::size_t>(rows_));
}

void SourceTable::Reserve(std::size_t bytes) {
  if (text_.capacity() / 2 > bytes) std::string().swap(text_);
  text_.reserve(bytes);
}

void SourceTable::FillRow(int row, std::span<const std::string_view> cells) {
  if (row < 1 || row >= rows_ || row <= filledUpTo_) return;
  std::fill(rowText_.begin() + filledUpTo_ + 1, rowText_.begin() + row + 1, text_.size());
  std::size_t count = std::min(cells.size(), static_cast<std::size_t>(columns_ - 1));
  while (count > 0 && cells[count - 1].empty()) --count;
  for (std::size_t i = 0; i < count; ++i) {
    AppendLength(text_, cells[i].size());
    text_.append(cells[i]);
  }
  rowText_[row + 1] = text_.size();
  marker_[row] = 1;
  filledUpTo_ = row;
}

std::string_view SourceTable::Cell(int column, int row) const {
  if (row < 1 || row > filledUpTo_ || column < 1 || column >= columns_) return {};
  const char* at = text_.data() + rowText_[row];
  const char* end = text_.data() + rowText_[row + 1];
  for (int index = 1; at < end; ++index) {
    const std::size_t length = ReadLength(at);
    if (index == column) return {at, length};
    at += length;
  }
  return {};
}

bool SourceTable::Marker(int row) const {
  return row >= 1 && row < rows_ && marker_[row] != 0;
}

std::size_t SourceTable::MemoryBytes() const {
  return sizeof(*this) + text_.capacity() + rowText_.capacity() * sizeof(std::uint64_t) +
         marker_.capacity();
}

void GetRowCells(const SourceTable& table, int row, RowCells& out) {
  out.assign(static_cast<std::size_t>(std::max(table.ColumnCount(), 1)), std::string_view{});
  if (row < 1 || row > table.filledUpTo_) return;
  const char* at = table.text_.data() + table.rowText_[row];
  const char* end = table.text_.data() + table.rowText_[row + 1];
  for (std::size_t column = 1; at < end && column < out.size(); ++column) {
    const std::size_t length = ReadLength(at);
    out[column] = std::string_view(at, length);
    at += length;
  }
}

}  // namespace zevi
