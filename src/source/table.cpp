#include "source/table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <tuple>

#include "source/bytewords.h"
#include "source/columns.h"
#include "source/loader.h"

namespace zevi {

namespace {

// Before any file is loaded: every data column and one empty row.
constexpr int kEmptyTableRows = 2;
constexpr unsigned kCellLengthBits = 7;
constexpr unsigned kMoreLength = 0x80;
constexpr std::size_t kMarkerBits = 64;

char* WriteLength(char* at, std::size_t length) {
  while (length >= kMoreLength) {
    *at++ = static_cast<char>((length & (kMoreLength - 1)) | kMoreLength);
    length >>= kCellLengthBits;
  }
  *at++ = static_cast<char>(length);
  return at;
}

std::size_t ReadLength(const char*& at) {
  std::size_t length = 0;
  for (unsigned shift = 0;; shift += kCellLengthBits) {
    const auto byte = static_cast<unsigned char>(*at++);
    length |= static_cast<std::size_t>(byte & (kMoreLength - 1)) << shift;
    if ((byte & kMoreLength) == 0) return length;
  }
}

// Runs for every cell the table gives out.
[[gnu::always_inline]] inline std::string_view CutCell(std::string_view field) {
  return StripQuotes(TrimText(field));
}

// Index of the first `byte` at or after `from`, the text's size when none;
// eight bytes at a time, as fields are a few to a dozen bytes long.
std::size_t FindInLine(std::string_view text, char byte, std::size_t from) {
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t pattern = kByteOnes * static_cast<unsigned char>(byte);
    for (; from + sizeof(std::uint64_t) <= text.size(); from += sizeof(std::uint64_t)) {
      const std::uint64_t word = LoadWord(text.data() + from) ^ pattern;
      // The lowest high bit set marks the first byte that matched.
      const std::uint64_t matched = (word - kByteOnes) & ~word & kByteHighs;
      if (matched != 0) return from + static_cast<std::size_t>(std::countr_zero(matched)) / 8;
    }
  }
  while (from < text.size() && text[from] != byte) ++from;
  return from;
}

// Cuts a line into the cells of columns 1..lastColumn as NextField and CutCell
// cut it, handing each to put(column, cell). A line no longer than the rest
// limit is never cut short, so fields up to a quote are found in one walk.
template <typename Put>
void CutLine(std::string_view text, char separator, int lastColumn, Put put) {
  int column = 1;
  if (text.size() <= kMaxRestLength) {
    std::size_t at = 0;
    for (; column <= lastColumn; ++column) {
      while (at < text.size() && text[at] == ' ') ++at;
      if (at == text.size()) return;
      if (text[at] == '"') break;  // a quoted part: NextField from here
      const std::size_t end = FindInLine(text, separator, at);
      put(column, CutCell(text.substr(at, end - at)));
      if (end == text.size()) return;
      at = end + 1;
    }
    text.remove_prefix(std::min(at, text.size()));
  }
  for (; column <= lastColumn && !text.empty(); ++column) {
    std::string_view field;
    std::tie(field, text) = NextField(separator, text);
    put(column, CutCell(field));
  }
}

}  // namespace

SourceText::SourceText(LargeBlock block, std::size_t size)
    : block_(std::move(block)), inBlock_(true), size_(size) {}

SourceText::SourceText(std::string text) : string_(std::move(text)), size_(string_.size()) {}

std::string_view SourceText::View() const {
  const char* data = inBlock_ ? static_cast<const char*>(block_.get()) : string_.data();
  return data == nullptr ? std::string_view{} : std::string_view(data + start_, size_);
}

void SourceText::DropPrefix(std::size_t bytes) {
  bytes = std::min(bytes, size_);
  start_ += bytes;
  size_ -= bytes;
}

std::size_t SourceText::MemoryBytes() const {
  return inBlock_ ? block_.get_deleter().bytes : string_.capacity();
}

bool SourceText::Append(std::string_view bytes) {
  if (inBlock_) return false;
  string_.append(bytes);
  size_ = string_.size() - start_;
  return true;
}

void SourceRows::Add(int row, std::size_t offset, std::size_t length) {
  if (row <= lastRow_) return;
  if (offset > kMaxOffset || length > kMaxLength) throw std::bad_alloc();
  const auto word = static_cast<std::size_t>(row) / kMarkerBits;
  if (markers_.size() <= word) {
    markers_.resize(word + 1, 0);
    ranks_.resize(word + 1, static_cast<std::uint32_t>(spans_.size()));
  }
  markers_[word] |= std::uint64_t{1} << (static_cast<unsigned>(row) % kMarkerBits);
  spans_.push_back(static_cast<std::uint64_t>(offset) << kLengthBits | length);
  lastRow_ = row;
}

bool SourceRows::Has(int row) const {
  if (row < 1) return false;
  const auto word = static_cast<std::size_t>(row) / kMarkerBits;
  return word < markers_.size() && (markers_[word] >> (static_cast<unsigned>(row) % kMarkerBits) & 1) != 0;
}

std::pair<std::size_t, std::size_t> SourceRows::Span(int row) const {
  const auto word = static_cast<std::size_t>(row) / kMarkerBits;
  const std::uint64_t before = markers_[word] & ((std::uint64_t{1} << (static_cast<unsigned>(row) % kMarkerBits)) - 1);
  const std::uint64_t span = spans_[ranks_[word] + CountBits(before)];
  return {static_cast<std::size_t>(span >> kLengthBits), static_cast<std::size_t>(span & kMaxLength)};
}

void SourceRows::Reserve(std::size_t rowsWithText) { spans_.reserve(rowsWithText); }

std::size_t SourceRows::MemoryBytes() const {
  return markers_.capacity() * sizeof(std::uint64_t) + ranks_.capacity() * sizeof(std::uint32_t) +
         spans_.capacity() * sizeof(std::uint64_t);
}

SourceTable::SourceTable() { Layout(kMaxColumnCount, kEmptyTableRows); }

void SourceTable::Layout(int columns, int rows) {
  columns_ = std::clamp(columns, 1, kMaxColumnCount);
  rows_ = std::max(rows, 1);
  text_ = SourceText();
  textRows_ = SourceRows();
  lines_ = false;
}

void SourceTable::TakeLines(SourceText text, SourceRows rows, char separator) {
  text_ = std::move(text);
  textRows_ = std::move(rows);
  lines_ = true;
  separator_ = separator;
}

void SourceTable::FillRow(int row, std::span<const std::string_view> cells) {
  if (lines_ || row < 1 || row >= rows_ || row <= textRows_.LastRow()) return;
  std::size_t count = std::min(cells.size(), static_cast<std::size_t>(columns_ - 1));
  while (count > 0 && cells[count - 1].empty()) --count;
  std::string bytes;
  char length[10];
  for (std::size_t i = 0; i < count; ++i) {
    bytes.append(length, WriteLength(length, cells[i].size()));
    bytes.append(cells[i]);
  }
  const std::size_t offset = text_.View().size();
  text_.Append(bytes);
  textRows_.Add(row, offset, bytes.size());
}

std::string_view SourceTable::RowText(int row) const {
  if (row >= rows_ || !textRows_.Has(row)) return {};
  const auto [offset, length] = textRows_.Span(row);
  return text_.View().substr(offset, length);
}

std::string_view SourceTable::Cell(int column, int row) const {
  if (column < 1 || column >= columns_) return {};
  std::string_view text = RowText(row);
  if (lines_) {
    std::string_view found;
    CutLine(text, separator_, column, [&](int index, std::string_view cell) {
      if (index == column) found = cell;
    });
    return found;
  }
  const char* at = text.data();
  const char* end = at + text.size();
  for (int index = 1; at < end; ++index) {
    const std::size_t length = ReadLength(at);
    if (index == column) return {at, length};
    at += length;
  }
  return {};
}

bool SourceTable::Marker(int row) const { return row < rows_ && textRows_.Has(row); }

std::size_t SourceTable::MemoryBytes() const {
  return sizeof(*this) + text_.MemoryBytes() + textRows_.MemoryBytes();
}

void GetRowCells(const SourceTable& table, int row, RowCells& out) {
  out.assign(static_cast<std::size_t>(std::max(table.ColumnCount(), 1)), std::string_view{});
  std::string_view text = table.RowText(row);
  if (table.lines_) {
    CutLine(text, table.separator_, static_cast<int>(out.size()) - 1,
            [&](int column, std::string_view cell) { out[static_cast<std::size_t>(column)] = cell; });
    return;
  }
  const char* at = text.data();
  const char* end = at + text.size();
  for (std::size_t column = 1; at < end && column < out.size(); ++column) {
    const std::size_t length = ReadLength(at);
    out[column] = std::string_view(at, length);
    at += length;
  }
}

}  // namespace zevi
