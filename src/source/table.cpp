#include "source/table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <thread>
#include <tuple>

#include "platform/helperthread.h"
#include "platform/memory.h"
#include "source/bytewords.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include "source/columns.h"
#include "source/loader.h"

namespace zevi {

namespace {

// Before any file is loaded: every data column and one empty row.
constexpr int kEmptyTableRows = 2;
constexpr unsigned kCellLengthBits = 7;
constexpr unsigned kMoreLength = 0x80;
// Below this many rows a second thread costs more than it saves.
constexpr int kSplitRows = 1 << 16;
constexpr std::size_t kLongestKept = 4;
// A pass over a mapped text lets go of what it read in steps of this size.
constexpr std::size_t kReleaseBytes = std::size_t{8} << 20;
// A copy of a long run of rows' text takes one large page at least, and at
// most this much: a run of very long lines is read from the mapping instead.
constexpr std::size_t kMinRowTextCopy = std::size_t{2} << 20;
constexpr std::size_t kMaxRowTextCopy = std::size_t{16} << 20;
// Shorter runs, and rows read apart, take small pages: each page the kernel
// hands out it clears, a large one all of it.
constexpr std::size_t kSmallRowTextCopy = std::size_t{16} << 10;
constexpr std::size_t kLongRowTextCopy = std::size_t{512} << 10;

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

// A line of no more than the rest limit, cut at every separator other than
// a blank, sixteen bytes at a time. Cells go out as their chunk is done;
// a quote in a chunk returns false, after which the cells handed out so far
// (columns 1..`reached`) must be handed out again by the full cut.
template <typename Put>
bool CutPlainLine(std::string_view text, char separator, int lastColumn, int& reached, Put put) {
  if (separator == ' ' || text.size() > kMaxRestLength) return false;
  const char* data = text.data();
  const std::size_t size = text.size();
  int column = 1;
  std::size_t start = 0;
  // Hands out the cells that end at the separators marked in `bits`, a
  // chunk starting at `at`; true once lastColumn is done.
  auto cells = [&](unsigned bits, std::size_t at) {
    for (; bits != 0; bits &= bits - 1) {
      const std::size_t end = at + static_cast<std::size_t>(std::countr_zero(bits));
      put(column, TrimText(std::string_view(data + start, end - start)));
      reached = column;
      if (++column > lastColumn) return true;
      start = end + 1;
    }
    return false;
  };
  std::size_t at = 0;
#if defined(__SSE2__)
  const __m128i mark = _mm_set1_epi8(separator);
  const __m128i quote = _mm_set1_epi8('"');
  for (; at + 16 <= size; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote)) != 0) return false;
    if (cells(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, mark))), at)) return true;
  }
  if (at < size && size >= 16) {
    // The last sixteen bytes, of which the ones before `at` are done.
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + size - 16));
    const unsigned done = static_cast<unsigned>(at + 16 - size);
    if ((static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote))) >> done) != 0) return false;
    if (cells(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, mark))) >> done, at)) return true;
    at = size;
  }
#endif
  for (; at < size; at += 16) {
    unsigned bits = 0;
    for (std::size_t i = at; i < std::min(at + 16, size); ++i) {
      if (data[i] == '"') return false;
      if (data[i] == separator) bits |= 1u << (i - at);
    }
    if (cells(bits, at)) return true;
  }
  put(column, TrimText(std::string_view(data + start, size - start)));
  return true;
}

// Cuts any line as NextField and CutCell cut it. A line no longer than the
// rest limit is never cut short, so fields up to a quote are found in one walk.
template <typename Put>
void CutQuotedLine(std::string_view text, char separator, int lastColumn, Put put) {
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


// Cuts a line into the cells of columns 1..lastColumn as NextField and CutCell
// cut it, handing each to put(column, cell).
template <typename Put>
void CutLine(std::string_view text, char separator, int lastColumn, Put put) {
  int reached = 0;
  if (lastColumn < 1 || CutPlainLine(text, separator, lastColumn, reached, put)) return;
  int cut = 0;
  CutQuotedLine(text, separator, lastColumn, [&](int column, std::string_view cell) {
    cut = column;
    put(column, cell);
  });
  // Cells the plain cut handed out that the full cut does not reach are blank.
  for (int column = cut + 1; column <= reached; ++column) put(column, std::string_view{});
}

// Where the first `byte` of [from, to) of the text stands, `to` when there is
// none: a word at a time while the text has eight bytes left, as a cell
// between two column breaks is a few bytes long and a call costs more.
std::size_t FindInCell(std::string_view text, char byte, std::size_t from, std::size_t to) {
  if constexpr (std::endian::native == std::endian::little) {
    for (; from < to && from + sizeof(std::uint64_t) <= text.size(); from += sizeof(std::uint64_t)) {
      const std::uint64_t matched = EqualBytes(LoadWord(text.data() + from), static_cast<unsigned char>(byte));
      if (matched != 0) return std::min(to, from + static_cast<std::size_t>(std::countr_zero(matched)) / 8);
    }
  }
  while (from < to && text[from] != byte) ++from;
  return std::min(from, to);
}

// Cuts a line as CutLine cuts it with the breaks put in as separators, one
// blank after it: each break ends a cell where it stands, each separator where
// it stands and is left out. For the lines TakeLines takes breaks with.
template <typename Put>
void CutBrokenLine(std::string_view text, char separator, const LineBreaks& breaks, int lastColumn, Put put) {
  int column = 1;
  // The cells of [from, to) of the line and its blank; true once lastColumn is done.
  auto cells = [&](std::size_t from, std::size_t to) {
    to = std::min(to, text.size());  // the blank is trimmed off
    for (from = std::min(from, to);; ++from) {
      const std::size_t end = FindInCell(text, separator, from, to);
      put(column, TrimText(text.substr(from, end - from)));
      if (++column > lastColumn) return true;
      if (end == to) return false;
      from = end;
    }
  };
  if (lastColumn < 1) return;
  std::size_t start = 0;
  for (int i = 0; i < breaks.count; ++i) {
    const std::size_t end = std::min<std::size_t>(breaks.at[static_cast<std::size_t>(i)], text.size() + 1);
    if (cells(start, end)) return;
    start = end;
  }
  cells(start, text.size() + 1);
}

// Cuts a row of a table of lines, at its column breaks where it has them.
template <typename Put>
void CutRow(std::string_view text, char separator, const LineBreaks& breaks, int lastColumn, Put put) {
  if (breaks.count > 0) {
    CutBrokenLine(text, separator, breaks, lastColumn, put);
  } else {
    CutLine(text, separator, lastColumn, put);
  }
}

}  // namespace

SourceText::SourceText(LargeBlock block, std::size_t size)
    : block_(std::move(block)), inBlock_(true), size_(size) {}

SourceText::SourceText(std::string text) : string_(std::move(text)), size_(string_.size()) {}

SourceText::SourceText(MappedFile file) : mapped_(std::move(file)), size_(mapped_.View().size()) {}

void SourceText::DropPrefix(std::size_t bytes) {
  bytes = std::min(bytes, size_);
  start_ += bytes;
  size_ -= bytes;
}

std::size_t SourceText::MemoryBytes() const {
  // A mapped file's pages are the system's cache, shared, and let go under pressure.
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
    ranks_.resize(word + 1, static_cast<std::uint32_t>(Count()));
  }
  markers_[word] |= std::uint64_t{1} << (static_cast<unsigned>(row) % kMarkerBits);
  const std::uint64_t span = static_cast<std::uint64_t>(offset) << kLengthBits | length;
  if (!laterSpans_.empty()) {
    laterSpans_.push_back(span);
  } else {
    if (spans_.size() >= mapped_ && spans_.size() < spans_.capacity()) MapAhead();
    spans_.push_back(span);
  }
  lastRow_ = row;
}

std::pair<std::size_t, std::size_t> SourceRows::SpanAt(std::size_t rank) const {
  const std::uint64_t span = SpanOfRank(rank);
  return {static_cast<std::size_t>(span >> kLengthBits), static_cast<std::size_t>(span & kMaxLength)};
}

std::size_t SourceRows::Rank(int row) const {
  if (row <= 0) return 0;
  if (row > lastRow_) return Count();
  const auto word = static_cast<std::size_t>(row) / kMarkerBits;
  const std::uint64_t before = markers_[word] & ((std::uint64_t{1} << (static_cast<unsigned>(row) % kMarkerBits)) - 1);
  return ranks_[word] + CountBits(before);
}

void SourceRows::Append(SourceRows&& later, int after) {
  if (later.Count() == 0) return;
  // Words of markers shifted into place; the spans taken as they are.
  const auto shift = static_cast<unsigned>(after) % kMarkerBits;
  const std::size_t base = static_cast<std::size_t>(after) / kMarkerBits;
  const std::size_t words = (static_cast<std::size_t>(after) + static_cast<std::size_t>(later.lastRow_)) / kMarkerBits + 1;
  if (markers_.size() < words) markers_.resize(words, 0);
  for (std::size_t word = 0; word < later.markers_.size(); ++word) {
    const std::uint64_t bits = later.markers_[word];
    if (bits == 0) continue;
    markers_[base + word] |= bits << shift;
    if (shift != 0 && base + word + 1 < words) markers_[base + word + 1] |= bits >> (kMarkerBits - shift);
  }
  if (laterSpans_.empty() && later.laterSpans_.empty()) {
    laterSpans_ = std::move(later.spans_);
  } else {
    Spans& last = laterSpans_.empty() ? spans_ : laterSpans_;
    last.insert(last.end(), later.spans_.begin(), later.spans_.end());
    last.insert(last.end(), later.laterSpans_.begin(), later.laterSpans_.end());
  }
  // Ranks from the first word that changed on.
  const std::size_t from = std::min(base, ranks_.size());
  ranks_.resize(words);
  std::size_t rank = from == 0 ? 0 : ranks_[from - 1] + CountBits(markers_[from - 1]);
  for (std::size_t word = from; word < words; ++word) {
    ranks_[word] = static_cast<std::uint32_t>(rank);
    rank += CountBits(markers_[word]);
  }
  lastRow_ = after + later.lastRow_;
}

void SourceRows::Reserve(std::size_t rowsWithText) {
  spans_.reserve(rowsWithText);
}

void SourceRows::MapAhead() {
  // Only as far as the reserve: an estimate too high maps in nothing unused.
  const std::size_t next = std::min(spans_.capacity(), spans_.size() + kSpansMappedAhead);
  PrepareForWriting(spans_.data() + spans_.size(), (next - spans_.size()) * sizeof(std::uint64_t));
  mapped_ = next;
}

std::size_t SourceRows::MemoryBytes() const {
  return markers_.capacity() * sizeof(std::uint64_t) + ranks_.capacity() * sizeof(std::uint32_t) +
         (spans_.capacity() + laterSpans_.capacity()) * sizeof(std::uint64_t);
}

SourceTable::SourceTable() { Layout(kMaxColumnCount, kEmptyTableRows); }

void SourceTable::Layout(int columns, int rows) {
  columns_ = std::clamp(columns, 1, kMaxColumnCount);
  rows_ = std::max(rows, 1);
  text_ = SourceText();
  textRows_ = SourceRows();
  lines_ = false;
  breaks_ = {};
  longest_.Clear();
}

void SourceTable::TakeLines(SourceText text, SourceRows rows, char separator, const LineBreaks& breaks) {
  text_ = std::move(text);
  textRows_ = std::move(rows);
  lines_ = true;
  separator_ = separator;
  breaks_ = breaks;
  longest_.Clear();
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
  longest_.Clear();
}

namespace {

// Cell `column` of a row's text as the table holds it.
std::string_view CellOfRowText(std::string_view text, int column, bool lines, char separator,
                               const LineBreaks& breaks = {}) {
  if (lines) {
    std::string_view found;
    CutRow(text, separator, breaks, column, [&](int index, std::string_view cell) {
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

}  // namespace

std::string_view SourceTable::Cell(int column, int row) const {
  if (column < 1 || column >= columns_) return {};
  return CellOfRowText(RowText(row), column, lines_, separator_, breaks_);
}

std::size_t SourceTable::LongestCell(int column, int first, int last) const {
  first = std::max(first, 1);
  last = std::min(last, LastRow());
  if (column < 1 || column >= columns_ || first > last) return 0;
  {
    std::lock_guard lock(longest_.mutex);
    for (const LongestCache::Entry& entry : longest_.entries) {
      if (entry.column == column && entry.first == first && entry.last == last) return entry.length;
    }
  }
  const std::string_view text = text_.View();
  auto longest = [&](int from, int to) {
    std::size_t length = 0;
    std::size_t done = std::string_view::npos;
    std::size_t end = 0;
    textRows_.ForEachIn(from, to, [&](int, std::size_t offset, std::size_t size) {
      length = std::max(length, CellOfRowText(text.substr(offset, size), column, lines_, separator_, breaks_).size());
      if (done == std::string_view::npos) done = offset;
      if (offset - done >= kReleaseBytes) {
        text_.DoneWith(done, offset);
        done = offset;
      }
      end = offset + size;
    });
    if (done != std::string_view::npos) text_.DoneWith(done, end);
    return length;
  };
  std::size_t length = 0;
  if (last - first >= kSplitRows && std::thread::hardware_concurrency() > 1) {
    const int middle = first + (last - first) / 2;
    std::size_t later = 0;
    {
      HelperThread helper([&] { later = longest(middle + 1, last); });
      length = longest(first, middle);
    }
    length = std::max(length, later);
  } else {
    length = longest(first, last);
  }
  KeepLongestCell(column, first, last, length);
  return length;
}

void SourceTable::KeepLongestCell(int column, int first, int last, std::size_t length) const {
  first = std::max(first, 1);
  last = std::min(last, LastRow());
  std::lock_guard lock(longest_.mutex);
  if (longest_.entries.size() >= kLongestKept) longest_.entries.erase(longest_.entries.begin());
  longest_.entries.push_back({column, first, last, length});
}

std::string_view CellOfLine(std::string_view line, int column, char separator, const LineBreaks& breaks) {
  return CellOfRowText(line, column, true, separator, breaks);
}

std::pair<std::size_t, std::size_t> SourceTable::TextOfRows(int first, int last) const {
  first = std::max(first, 1);
  last = std::min(last, textRows_.LastRow());
  const std::size_t begin = textRows_.Rank(first);
  const std::size_t end = textRows_.Rank(last + 1);
  if (begin >= end) return {0, 0};
  const std::size_t from = textRows_.SpanAt(begin).first;
  const auto [offset, length] = textRows_.SpanAt(end - 1);
  return {from, offset + length};
}

void SourceTable::DoneWithRows(int first, int last) const {
  const auto [from, to] = TextOfRows(first, last);
  if (from < to) text_.DoneWith(from, to);
}

int SourceTable::CountRecords(int first, int last) const {
  first = std::max(first, 1);
  last = std::min(last, LastRow());
  if (first > last) return 0;
  return static_cast<int>(textRows_.Rank(last + 1) - textRows_.Rank(first));
}

bool SourceTable::Marker(int row) const { return row < rows_ && textRows_.Has(row); }

std::size_t SourceTable::MemoryBytes() const {
  return sizeof(*this) + text_.MemoryBytes() + textRows_.MemoryBytes();
}

void RowTextCopy::Take(const SourceTable& table, int first, int last) {
  Clear();
  if (!table.text_.Mapped()) return;
  const auto [from, to] = table.TextOfRows(first, last);
  if (from >= to || to - from > kMaxRowTextCopy) return;
  if (capacity_ < to - from) {
    // A long run takes large pages, most likely a block a pass before let
    // go of (AllocateLargeBlock keeps them); growing short runs double.
    capacity_ = std::max({to - from, 2 * capacity_, kSmallRowTextCopy});
    if (capacity_ >= kLongRowTextCopy) capacity_ = std::max(to - from, kMinRowTextCopy);
    block_ = AllocateLargeBlock(capacity_);
  }
  if (table.text_.CopyOut(static_cast<char*>(block_.get()), from, to) != to - from) return;
  from_ = from;
  to_ = to;
}

void GetRowCells(const SourceTable& table, int row, RowCells& out, const RowTextCopy* copy) {
  out.assign(static_cast<std::size_t>(std::max(table.ColumnCount(), 1)), std::string_view{});
  std::string_view text = table.RowText(row);
  if (copy != nullptr && !text.empty()) {
    const auto offset = static_cast<std::size_t>(text.data() - table.text_.View().data());
    if (const char* held = copy->Find(offset, text.size())) text = std::string_view(held, text.size());
  }
  if (table.lines_) {
    CutRow(text, table.separator_, table.breaks_, static_cast<int>(out.size()) - 1,
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
