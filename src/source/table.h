#pragma once
// The loaded file as a table of text cells. A loaded source keeps its text
// whole, as read, and one packed span per line with content; a row is cut
// into cells when it is read. Empty lines cost a bit each, so a file of
// millions of lines fits in little more than its size.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mappedfile.h"
#include "platform/memory.h"
#include "source/bytewords.h"

namespace zevi {

class RowTextCopy;

// The text of a source as the table keeps it: the bytes read (in one large
// block), the file mapped, or the text they were converted to.
class SourceText {
 public:
  SourceText() = default;
  SourceText(LargeBlock block, std::size_t size);
  explicit SourceText(std::string text);
  explicit SourceText(MappedFile file);

  // Inline: it is asked for every row read.
  std::string_view View() const {
    const char* data = inBlock_ ? static_cast<const char*>(block_.get())
                       : mapped_.View().empty() ? string_.data()
                                                : mapped_.View().data();
    return data == nullptr ? std::string_view{} : std::string_view(data + start_, size_);
  }
  // Drops leading bytes that are no text (a byte order mark).
  void DropPrefix(std::size_t bytes);
  std::size_t MemoryBytes() const;
  // Appends to a text held as a string (the rows of FillRow); false for a block.
  bool Append(std::string_view bytes);
  // A mapped file that changed since it was mapped; false for text in memory.
  bool Changed() const { return mapped_.Changed(); }
  // The text in [from, to) will not be read again soon: a mapped file lets
  // its pages go from this process (they come back if it is read again), so
  // that a pass over a large file does not hold all of it at once.
  void DoneWith(std::size_t from, std::size_t to) const { mapped_.Release(start_ + from, start_ + to); }
  bool Mapped() const { return !mapped_.View().empty(); }
  // Reads [from, to) of a mapped text from its file: the bytes read.
  std::size_t CopyOut(char* into, std::size_t from, std::size_t to) const {
    return mapped_.Copy(into, start_ + from, start_ + to);
  }

 private:
  LargeBlock block_;
  std::string string_;
  MappedFile mapped_;
  bool inBlock_ = false;
  std::size_t start_ = 0;
  std::size_t size_ = 0;
};

// Which rows have text and where it lies in the SourceText: a bit per row and,
// per row with text, its offset and length packed in one word.
// Cache-line aligned: a split walk fills two at once, one on each thread.
class alignas(64) SourceRows {
 public:
  // Offsets and lengths up to these fit one packed word.
  static constexpr unsigned kLengthBits = 27;
  static constexpr std::uint64_t kMaxLength = (std::uint64_t{1} << kLengthBits) - 1;
  static constexpr std::uint64_t kMaxOffset = (std::uint64_t{1} << (64 - kLengthBits)) - 1;
  static constexpr std::size_t kMarkerBits = 64;

  // Rows are added in increasing order. Throws std::bad_alloc beyond the limits above.
  void Add(int row, std::size_t offset, std::size_t length);
  bool Has(int row) const {
    if (row < 1) return false;
    const auto word = static_cast<std::size_t>(row) / kMarkerBits;
    return word < markers_.size() && (markers_[word] >> (static_cast<unsigned>(row) % kMarkerBits) & 1) != 0;
  }
  // Offset and length of a row that Has text.
  std::pair<std::size_t, std::size_t> Span(int row) const {
    const auto word = static_cast<std::size_t>(row) / kMarkerBits;
    const std::uint64_t before = markers_[word] & ((std::uint64_t{1} << (static_cast<unsigned>(row) % kMarkerBits)) - 1);
    const std::uint64_t span = SpanOfRank(ranks_[word] + CountBits(before));
    return {static_cast<std::size_t>(span >> kLengthBits), static_cast<std::size_t>(span & kMaxLength)};
  }
  // The same for the row with text numbered `rank` (from 0) in order.
  std::pair<std::size_t, std::size_t> SpanAt(std::size_t rank) const;
  int LastRow() const { return lastRow_; }
  std::size_t Count() const { return spans_.size() + laterSpans_.size(); }
  // Rows with text before `row`.
  std::size_t Rank(int row) const;
  // The rows of `later`, numbered on after row `after`, which is at or past
  // the last row here. Its spans are taken over as they are, not copied.
  void Append(SourceRows&& later, int after);
  // Room for `rowsWithText` spans: the spans grow once instead of doubling.
  void Reserve(std::size_t rowsWithText);
  // Where the room reserved for spans lies.
  struct Room {
    const std::uint64_t* spans = nullptr;
    std::size_t capacity = 0;
  };
  Room ReservedRoom() const { return {spans_.data(), spans_.capacity()}; }
  std::size_t MemoryBytes() const;

  template <typename Visit>
  void ForEach(Visit visit) const {
    for (std::size_t word = 0; word < markers_.size(); ++word) {
      for (std::uint64_t bits = markers_[word]; bits != 0; bits &= bits - 1) {
        const int row = static_cast<int>(word * 64 + static_cast<unsigned>(std::countr_zero(bits)));
        const auto [offset, length] = Span(row);
        visit(row, offset, length);
      }
    }
  }

  // As ForEach, for the rows first..last only.
  template <typename Visit>
  void ForEachIn(int first, int last, Visit visit) const {
    first = std::max(first, 0);
    last = std::min(last, lastRow_);
    if (first > last) return;
    const auto firstWord = static_cast<std::size_t>(first) / 64;
    const auto lastWord = static_cast<std::size_t>(last) / 64;
    std::size_t rank = ranks_[firstWord];
    for (std::size_t word = firstWord; word <= lastWord; ++word) {
      std::uint64_t bits = markers_[word];
      if (word == firstWord) {
        const std::uint64_t below = bits & ((std::uint64_t{1} << (static_cast<unsigned>(first) % 64)) - 1);
        rank += static_cast<std::size_t>(std::popcount(below));
        bits &= ~below;
      }
      if (word == lastWord && static_cast<unsigned>(last) % 64 != 63) {
        bits &= (std::uint64_t{2} << (static_cast<unsigned>(last) % 64)) - 1;
      }
      for (; bits != 0; bits &= bits - 1, ++rank) {
        const int row = static_cast<int>(word * 64 + static_cast<unsigned>(std::countr_zero(bits)));
        const std::uint64_t span = SpanOfRank(rank);
        visit(row, static_cast<std::size_t>(span >> kLengthBits), static_cast<std::size_t>(span & kMaxLength));
      }
    }
  }

 private:
  std::vector<std::uint64_t> markers_;  // bit r % 64 of word r / 64
  std::vector<std::uint32_t> ranks_;    // per marker word: rows with text before it
  // Megabytes for a large file, filled in order: in large pages.
  using Spans = std::vector<std::uint64_t, LargePageAllocator<std::uint64_t>>;
  Spans spans_;                         // offset << kLengthBits | length
  // The spans of a part appended, after those above. A walk on two threads
  // joins its halves without copying the later one's spans into room mapped
  // in for them: fresh memory costs the kernel a clearing for each page.
  Spans laterSpans_;
  std::uint64_t SpanOfRank(std::size_t rank) const {
    return rank < spans_.size() ? spans_[rank] : laterSpans_[rank - spans_.size()];
  }
  // Spans whose pages are mapped in ahead of Add (a hint: the count is not
  // reset should the spans move, they then fault in as before).
  std::size_t mapped_ = 0;
  static constexpr std::size_t kSpansMappedAhead = (std::size_t{1} << 20) / sizeof(std::uint64_t);
  void MapAhead();
  int lastRow_ = 0;
};

// Column breaks cut into a line as it is read, not copied into it: the line
// and one blank after it are cut before each position (rising, counted in the
// line as read), as a separator inserted there would cut them.
struct LineBreaks {
  static constexpr int kMax = 32;
  std::array<std::uint8_t, kMax> at{};
  int count = 0;
};

class SourceTable {
 public:
  SourceTable();

  // columns and rows include the row-number column and the heading row.
  // Every data cell becomes blank and every row marker 0.
  void Layout(int columns, int rows);

  int ColumnCount() const { return columns_; }
  int RowCount() const { return rows_; }
  int LastRow() const { return rows_ - 1; }

  // Takes a loaded source after Layout: each row of `rows` is the trimmed
  // text of its line in `text`, cut into cells by `separator` when it is read
  // (as NextField cuts, each cell trimmed and stripped of its quotes), and
  // at `breaks`, which the lines must suit: no quotes, a separator other than
  // a blank, lines within the rest limit with the breaks in them.
  // Rows beyond the layout are dropped.
  void TakeLines(SourceText text, SourceRows rows, char separator, const LineBreaks& breaks = {});

  // Fills data row `row` (1..rows-1) from cells of data columns 1.. (cells[0]
  // is column 1), and sets its marker to 1. Rows are filled in increasing
  // order (a row at or before the last filled one is left alone); surplus
  // cells are dropped, missing ones stay blank. Not after TakeLines.
  void FillRow(int row, std::span<const std::string_view> cells);

  // Blank for the heading row, the row-number column, unfilled rows and
  // anything out of range.
  std::string_view Cell(int column, int row) const;
  // 1 when the row came from a line with content, 0 for an empty line.
  bool Marker(int row) const;
  // The rows first..last whose marker is 1.
  int CountRecords(int first, int last) const;
  // The length of the longest cell of `column` over rows first..last. Large
  // ranges are read on two threads, and the last answers are kept, as an
  // export and the preview before it ask the same.
  std::size_t LongestCell(int column, int first, int last) const;
  // What LongestCell will answer, found by the load on its way.
  void KeepLongestCell(int column, int first, int last, std::size_t length) const;

  // Bytes held, capacity included.
  std::size_t MemoryBytes() const;
  // The loaded text, for hints about what is read next.
  const SourceText& Text() const { return text_; }
  // The text of rows first..last will not be read again soon (SourceText::DoneWith).
  void DoneWithRows(int first, int last) const;
  // The file behind a mapped table changed since it was loaded: what was
  // read from it may be torn.
  bool SourceChanged() const { return text_.Changed(); }

  // A row's line as read, trimmed, for a table of lines; empty otherwise.
  std::string_view LineText(int row) const { return lines_ ? RowText(row) : std::string_view{}; }

  // Walks a row's cells once rather than seeking each.
  friend void GetRowCells(const SourceTable& table, int row, std::vector<std::string_view>& out,
                          const RowTextCopy* copy);
  friend class RowTextCopy;

 private:
  // Where the text of rows first..last lies: [from, to), empty without text.
  std::pair<std::size_t, std::size_t> TextOfRows(int first, int last) const;
  std::string_view RowText(int row) const {
    if (row >= rows_ || !textRows_.Has(row)) return {};
    const auto [offset, length] = textRows_.Span(row);
    return text_.View().substr(offset, length);
  }

  int columns_ = 0;
  int rows_ = 0;
  SourceText text_;
  SourceRows textRows_;
  // Rows from TakeLines are lines cut when read; rows from FillRow hold their
  // cells, each after its length (7 bits a byte, high bit: more bytes follow).
  bool lines_ = false;
  char separator_ = ' ';
  LineBreaks breaks_;

  // Copies start without the kept answers.
  struct LongestCache {
    struct Entry {
      int column = 0, first = 0, last = 0;
      std::size_t length = 0;
    };
    LongestCache() = default;
    LongestCache(const LongestCache&) {}
    LongestCache& operator=(const LongestCache&) {
      Clear();
      return *this;
    }
    void Clear() {
      std::lock_guard lock(mutex);
      entries.clear();
    }
    std::mutex mutex;
    std::vector<Entry> entries;
  };
  mutable LongestCache longest_;
};

// Cell `column` of a line as a table whose lines are cut by `separator` gives it.
std::string_view CellOfLine(std::string_view line, int column, char separator, const LineBreaks& breaks = {});

// The cells of one row, indexed by data column (index 0 unused), as the value
// readers take them.
using RowCells = std::vector<std::string_view>;

inline std::string_view CellOf(const RowCells& row, int column) {
  return column > 0 && column < static_cast<int>(row.size()) ? row[column] : std::string_view{};
}

// The text of a run of rows of a mapped file, read from the file into memory
// of its own. A reader going through many pages once copies them rather than
// map them in: each page mapped costs a fault and its upkeep, microseconds on
// some virtual machines, where copying it costs a fraction of that.
class RowTextCopy {
 public:
  // Holds the text of rows first..last, none where the table's text is not a
  // mapped file, the run is large, or the file no longer holds all of it:
  // those rows are read from the table's text as before.
  void Take(const SourceTable& table, int first, int last);
  void Clear() { to_ = from_; }
  // Where the copy holds [offset, offset + size) of the table's text; null
  // where it does not.
  const char* Find(std::size_t offset, std::size_t size) const {
    return offset >= from_ && offset + size <= to_ ? static_cast<const char*>(block_.get()) + (offset - from_)
                                                   : nullptr;
  }

 private:
  LargeBlock block_;
  std::size_t capacity_ = 0;
  std::size_t from_ = 0;
  std::size_t to_ = 0;
};

// Fills `out` with the cells of a table row, its text taken from `copy` where
// that holds it.
void GetRowCells(const SourceTable& table, int row, RowCells& out, const RowTextCopy* copy = nullptr);

}  // namespace zevi
