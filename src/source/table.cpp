#include "source/table.h"

#include <algorithm>
#include <cstring>

#include "source/columns.h"

namespace zevi {

namespace {

// Before any file is loaded: every data column and one empty row.
constexpr int kEmptyTableRows = 2;
constexpr unsigned kLengthBits = 7;
constexpr unsigned kMoreLength = 0x80;
constexpr std::size_t kMarkerBits = 64;

char* WriteLength(char* at, std::size_t length) {
  while (length >= kMoreLength) {
    *at++ = static_cast<char>((length & (kMoreLength - 1)) | kMoreLength);
    length >>= kLengthBits;
  }
  *at++ = static_cast<char>(length);
  return at;
}

std::size_t LengthBytes(std::size_t length) {
  std::size_t bytes = 1;
  for (; length >= kMoreLength; length >>= kLengthBits) ++bytes;
  return bytes;
}

std::size_t ReadLength(const char*& at) {
  std::size_t length = 0;
  for (unsigned shift = 0;; shift += kLengthBits) {
    const auto byte = static_cast<unsigned char>(*at++);
    length |= static_cast<std::size_t>(byte & (kMoreLength - 1)) << shift;
    if ((byte & kMoreLength) == 0) return length;
  }
}

// Memory is kept for a reload of the same file (no new pages to touch), but a
// small file after a large one does not keep the large one's.
bool Keeps(std::size_t capacity, std::size_t size) { return capacity >= size && capacity / 2 <= size; }

}  // namespace

SourceTable::SourceTable() { Layout(kMaxColumnCount, kEmptyTableRows); }

void SourceTable::Layout(int columns, int rows) {
  columns_ = std::clamp(columns, 1, kMaxColumnCount);
  rows_ = std::max(rows, 1);
  filledUpTo_ = 0;
  textSize_ = 0;
  const std::size_t offsets = static_cast<std::size_t>(rows_) + 1;
  if (!Keeps(rowCapacity_, offsets)) {
    rowText_.reset();
    rowText_ = AllocateLargeBlock(offsets * sizeof(std::uint64_t));
    rowCapacity_ = offsets;
  }
  RowText()[0] = 0;
  const std::size_t markerWords = static_cast<std::size_t>(rows_) / kMarkerBits + 1;
  if (markers_.capacity() / 2 > markerWords) std::vector<std::uint64_t>().swap(markers_);
  markers_.assign(markerWords, 0);
}

void SourceTable::Reserve(std::size_t bytes) {
  bytes = std::max(bytes, textSize_);
  if (Keeps(textCapacity_, bytes)) return;
  if (textSize_ == 0) text_.reset();  // nothing to keep: the old memory goes first
  LargeBlock text = AllocateLargeBlock(bytes);
  if (textSize_ > 0) std::memcpy(text.get(), text_.get(), textSize_);
  text_ = std::move(text);
  textCapacity_ = bytes;
}

char* SourceTable::MakeRoom(std::size_t bytes) {
  if (textCapacity_ - textSize_ < bytes) Reserve(std::max(2 * textCapacity_, textSize_ + bytes));
  return Text() + textSize_;
}

void SourceTable::FillRow(int row, std::span<const std::string_view> cells) {
  if (row < 1 || row >= rows_ || row <= filledUpTo_) return;
  std::size_t count = std::min(cells.size(), static_cast<std::size_t>(columns_ - 1));
  while (count > 0 && cells[count - 1].empty()) --count;
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t length = cells[i].size();
    bytes += length + (length < kMoreLength ? 1 : LengthBytes(length));
  }
  char* at = MakeRoom(bytes);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t length = cells[i].size();
    if (length < kMoreLength) {
      *at++ = static_cast<char>(length);
    } else {
      at = WriteLength(at, length);
    }
    std::memcpy(at, cells[i].data(), length);
    at += length;
  }
  std::fill(RowText() + filledUpTo_ + 1, RowText() + row + 1, textSize_);
  textSize_ = static_cast<std::size_t>(at - Text());
  RowText()[row + 1] = textSize_;
  markers_[static_cast<std::size_t>(row) / kMarkerBits] |= std::uint64_t{1} << (row % kMarkerBits);
  filledUpTo_ = row;
}

std::string_view SourceTable::Cell(int column, int row) const {
  if (row < 1 || row > filledUpTo_ || column < 1 || column >= columns_) return {};
  const char* at = Text() + RowText()[row];
  const char* end = Text() + RowText()[row + 1];
  for (int index = 1; at < end; ++index) {
    const std::size_t length = ReadLength(at);
    if (index == column) return {at, length};
    at += length;
  }
  return {};
}

bool SourceTable::Marker(int row) const {
  if (row < 1 || row > filledUpTo_) return false;
  return (markers_[static_cast<std::size_t>(row) / kMarkerBits] >> (row % kMarkerBits) & 1) != 0;
}

std::size_t SourceTable::MemoryBytes() const {
  return sizeof(*this) + textCapacity_ + rowCapacity_ * sizeof(std::uint64_t) +
         markers_.capacity() * sizeof(std::uint64_t);
}

void GetRowCells(const SourceTable& table, int row, RowCells& out) {
  out.assign(static_cast<std::size_t>(std::max(table.ColumnCount(), 1)), std::string_view{});
  if (row < 1 || row > table.filledUpTo_) return;
  const char* at = table.Text() + table.RowText()[row];
  const char* end = table.Text() + table.RowText()[row + 1];
  for (std::size_t column = 1; at < end && column < out.size(); ++column) {
    const std::size_t length = ReadLength(at);
    out[column] = std::string_view(at, length);
    at += length;
  }
}

}  // namespace zevi
