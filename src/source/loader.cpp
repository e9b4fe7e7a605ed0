#include "source/loader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <thread>
#include <tuple>

#include "platform/helperthread.h"
#include "settings/recent.h"
#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/breaks.h"
#include "source/bytevectors.h"
#include "source/columns.h"
#include "source/encoding.h"
#include "source/kinds.h"
#include "source/range.h"

namespace zevi {

namespace {

constexpr const char* kInUseHint = "The file may be in use by another application.";
// A mapped file cut short or rewritten during the load: what was read may be torn.
constexpr const char* kSourceChangedWhileLoaded = "The file changed while it was loaded";
constexpr std::size_t kMinLineLength = 2;
constexpr std::size_t kReadAhead = 8192;
// Progress is worth showing only for files that take a noticeable time.
constexpr std::uint64_t kProgressMinBytes = std::uint64_t{4} << 20;
constexpr int kProgressLineStep = 1 << 16;
// A stream's first block; it doubles as the stream goes on.
constexpr std::size_t kFirstStreamBlock = std::size_t{1} << 20;
// The spans are sized from the lines of the first bytes, so that a large file
// does not double them (and hold both) on the way.
constexpr std::size_t kSampleBytes = std::size_t{1} << 20;
constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;
constexpr std::size_t kMegabyte = std::size_t{1} << 20;
// A pass over a mapped text lets go of what it read in steps of this size.
constexpr std::size_t kReleaseBytes = std::size_t{8} << 20;

// Walks a line as the quote masking sees it: inside quotes every character,
// the opening quote included, reads as 'x', so separators there do not count.
template <typename Visit>
void ForEachMaskedChar(std::string_view line, Visit visit) {
  bool inQuote = false;
  for (char c : line) {
    if (c == '"') inQuote = !inQuote;
    visit(inQuote ? 'x' : c);
  }
}

char SeparatorOfLine(std::string_view line, char listSeparator) {
  bool hasTab = false;
  ForEachMaskedChar(line, [&](char c) { hasTab = hasTab || c == '\t'; });
  return hasTab ? '\t' : listSeparator;
}

// Runs of spaces are one separator; a trailing separator opens no field.
int CountFields(std::string_view line, char separator) {
  if (line.empty()) return 0;
  int count = 1;
  const char maskedFirst = line.front() == '"' ? 'x' : line.front();
  bool afterSeparator = maskedFirst == separator;
  ForEachMaskedChar(line, [&](char c) {
    if (c == separator) {
      if (!(separator == ' ' && afterSeparator)) ++count;
      afterSeparator = true;
    } else {
      afterSeparator = false;
    }
  });
  if (afterSeparator) --count;
  return count;
}

struct LineShape {
  char separator;
  int fields;
  bool quotes;
};

// Inline, so that the shape stays in registers: returned through the stack,
// its narrow fields were stored and read back wider, which stalls on every line.
[[gnu::always_inline]] inline LineShape MeasureLine(std::string_view line, char listSeparator) {
  const ShapeBytes counts = CountShapeBytes(line.data(), line.size(), listSeparator);
  const char separator = counts.tabs > 0 ? '\t' : listSeparator;
  if (!counts.quotes && separator != ' ') {
    // Nothing to mask: the separators are counted already.
    const std::size_t separators = separator == '\t' ? counts.tabs : counts.separators;
    return {separator, 1 + static_cast<int>(separators) - (line.back() == separator ? 1 : 0), false};
  }
  const char masked = SeparatorOfLine(line, listSeparator);
  return {masked, CountFields(line, masked), counts.quotes};
}

class LoadProgress {
 public:
  LoadProgress(UserInterface& ui, std::uint64_t fileSize)
      : ui_(ui), fileSize_(fileSize), active_(fileSize >= kProgressMinBytes) {}

  // Reading is the first half, the walk over the lines the second.
  void Read(std::uint64_t bytes) { Report(std::min(bytes, fileSize_)); }
  void Walked(std::uint64_t bytes) { Report(fileSize_ + std::min(bytes, fileSize_)); }
  void Done() { Report(2 * fileSize_); }

 private:
  void Report(std::uint64_t done) {
    if (!active_) return;
    ui_.Progress("Loading", static_cast<std::int64_t>(done), static_cast<std::int64_t>(2 * fileSize_));
  }

  UserInterface& ui_;
  std::uint64_t fileSize_;
  bool active_;
};

// The length of the line still open at the end of `bytes`, which follow an
// open line of `run` bytes.
std::size_t OpenLineAfter(std::string_view bytes, std::size_t run) {
  const std::size_t lastEnd = bytes.find_last_of("\r\n");
  return lastEnd == std::string_view::npos ? run + bytes.size() : bytes.size() - lastEnd - 1;
}

// Rows with text from `from` on, estimated from the first megabyte there,
// which a mapped file has read out rather than mapped in.
std::size_t EstimateRowsWithText(const SourceText& source, std::size_t from) {
  const std::string_view text = source.View().substr(from);
  std::string_view sample = text.substr(0, kSampleBytes);
  LargeBlock copy;
  if (source.Mapped() && !sample.empty()) {
    // A large page: one fault rather than one per 4 KB.
    copy = AllocateLargeBlock(std::max(kSampleBytes, kLargePageBytes));
    auto* into = static_cast<char*>(copy.get());
    sample = std::string_view(into, source.CopyOut(into, from, from + sample.size()));
  }
  SourceLines lines(sample);
  std::string_view line;
  std::size_t withText = 0;
  while (lines.ReadSourceLine(line)) withText += line.empty() ? 0 : 1;
  if (sample.size() == text.size()) return withText;
  // A little over the sample's rate: rarely short, and then grown once.
  const double rate = static_cast<double>(withText) / static_cast<double>(sample.size());
  return static_cast<std::size_t>(rate * 1.02 * static_cast<double>(text.size())) + 16;
}

enum class WalkEnd { Done, LineTooLong, TooManyLines };

// Breaks that are all column breaks, each past the one before: what the table
// can cut into lines as it reads them. None for no breaks at all.
std::optional<LineBreaks> RisingColumnBreaks(const BreakTable& breaks) {
  LineBreaks cut;
  for (const BreakEntry& entry : breaks) {
    if (entry.position == 0) break;
    const auto count = static_cast<std::size_t>(cut.count);
    if (entry.mark != '^' || cut.count == LineBreaks::kMax || (count > 0 && entry.position <= cut.at[count - 1])) {
      return std::nullopt;
    }
    cut.at[count] = entry.position;
    ++cut.count;
  }
  if (cut.count == 0) return std::nullopt;
  return cut;
}

// The longest cells of the columns an export sizes its fields by (ID and
// symbol), found while the lines of the record range are at hand, so that the
// export need not walk the whole text again for them.
struct WidestCells {
  std::array<int, 2> columns{};  // 0: none asked
  std::array<std::size_t, 2> lengths{};
  int first = 1;  // the lines measured, numbered as the walk numbers them
  int last = std::numeric_limits<int>::max();
  LineBreaks breaks;  // the column breaks the lines are cut at, if the table can cut them

  void Take(int number, std::string_view line, char separator) {
    if (number < first || number > last) return;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i] > 0) lengths[i] = std::max(lengths[i], CellOfLine(line, columns[i], separator, breaks).size());
    }
  }
  void Take(const WidestCells& later) {
    for (std::size_t i = 0; i < lengths.size(); ++i) lengths[i] = std::max(lengths[i], later.lengths[i]);
  }
};

// The columns whose longest cells an export of these settings asks for, over
// its record range (to the end of the file however long it is).
WidestCells WidestCellsAsked(const ConversionSettings& settings) {
  WidestCells asked;
  const RecordRange range = EffectiveRange(settings, std::numeric_limits<int>::max());
  asked.first = range.first;
  asked.last = range.last;
  if (settings.mode == 'T') return asked;
  asked.breaks = RisingColumnBreaks(settings.breaks).value_or(LineBreaks{});
  ColumnMap map = settings.columns;
  KindColumn kinds;
  RebuildKindColumns(map, kMaxColumnCount, kinds);
  if (kinds.Has(Slot::ID)) asked.columns[0] = kinds[Slot::ID];
  if (kinds.Has(Slot::Symbol)) asked.columns[1] = kinds[Slot::Symbol];
  return asked;
}

// The shape of the record range's lines: the separator of its last line with
// text and the most fields.
struct RangeShape {
  int maxFields = 0;
  char separator = 0;  // 0: no line with text

  void Take(const LineShape& line) {
    separator = line.separator;
    maxFields = std::max(maxFields, line.fields);
  }
  void Take(const RangeShape& later) {
    maxFields = std::max(maxFields, later.maxFields);
    if (later.separator != 0) separator = later.separator;
  }
};

// The lines of `part`, which starts `base` bytes into the text, numbered from
// 1: each line with text gets its span (offsets in the whole text), and those
// numbered measureFirst..measureLast are measured while they are at hand.
// Stops at a line longer than the limit (counted, so that it is named) or
// before line `lineLimit` + 1.
// Cache-line aligned: the two threads of a split walk each write theirs for
// every line, and one may live beside the other's rows.
struct alignas(64) LineWalk {
  WalkEnd end = WalkEnd::Done;
  int lines = 0;
  RangeShape shape;
  bool highBytes = false;  // a byte above 127 was seen
  WidestCells widest;      // as cut by the list separator
  // Whether column breaks can be cut into the lines as they are read.
  bool quotes = false;     // in any line
  std::size_t longest = 0;
};

// The lines of [from, to) of a text in memory.
class LinesInPlace {
 public:
  LinesInPlace(const SourceText& source, std::size_t from, std::size_t to)
      : part_(source.View().substr(from, to - from)), lines_(part_) {}
  bool ReadSourceLine(std::string_view& line) { return lines_.ReadSourceLine(line); }
  // Bytes walked, and where a line read lies, from the part's start.
  std::size_t Offset() const { return lines_.Offset(); }
  std::size_t OffsetOf(std::string_view line) const { return static_cast<std::size_t>(line.data() - part_.data()); }
  std::size_t RawLength() const { return lines_.RawLength(); }
  bool SawHighBytes() const { return lines_.SawHighBytes(); }

 private:
  std::string_view part_;
  SourceLines lines_;
};

// The lines of [from, to) of a mapped text, read out of its file a few
// megabytes at a time into memory of their own: the walk then maps no page
// of the file in, each of which costs a fault and its upkeep (microseconds on
// some virtual machines), for a copy that costs a fraction of that.
class CopiedLines {
 public:
  CopiedLines(const SourceText& source, std::size_t from, std::size_t to, const LoadLimits& limits)
      : source_(source),
        from_(from),
        to_(to),
        maxLineBytes_(limits.maxLineBytes),
        chunkBytes_(std::max<std::size_t>(limits.copiedChunkBytes, 1)),
        lines_({}) {
    Fill(from_);
  }
  bool ReadSourceLine(std::string_view& line) {
    // Each chunk ends at the part's end or with a line cut short, which the
    // next begins with.
    while (start_ + chunk_.size() < to_) {
      if (lines_.ReadWholeLine(line)) return true;
      const std::size_t at = start_ + lines_.Offset();
      // A line too long to load: its first bytes read as a line, which ends the walk.
      if (start_ + chunk_.size() - at > maxLineBytes_) return lines_.ReadSourceLine(line);
      Fill(at);
    }
    return lines_.ReadSourceLine(line);
  }
  std::size_t Offset() const { return start_ - from_ + lines_.Offset(); }
  std::size_t OffsetOf(std::string_view line) const {
    return start_ - from_ + static_cast<std::size_t>(line.data() - chunk_.data());
  }
  std::size_t RawLength() const { return lines_.RawLength(); }
  bool SawHighBytes() const { return lines_.SawHighBytes(); }

 private:
  void Fill(std::size_t at) {
    // Room for the line cut short at the chunk's end twice over, so that a
    // long line is read again only a few times.
    const std::size_t cut = chunk_.empty() ? 0 : start_ + chunk_.size() - at;
    const std::size_t size = std::min(std::max(chunkBytes_, 2 * cut), to_ - at);
    if (size > capacity_) {
      capacity_ = size;
      block_ = AllocateLargeBlock(capacity_);
    }
    char* into = static_cast<char*>(block_.get());
    const std::size_t got = source_.CopyOut(into, at, at + size);
    // Bytes the file lost since it was mapped read as zeros, as in the mapping.
    if (got < size) std::memset(into + got, 0, size - got);
    start_ = at;
    chunk_ = std::string_view(into, size);
    lines_.Continue(chunk_);
  }

  const SourceText& source_;
  std::size_t from_;
  std::size_t to_;
  std::size_t maxLineBytes_;
  std::size_t chunkBytes_;
  LargeBlock block_;
  std::size_t capacity_ = 0;
  std::size_t start_ = 0;  // where the chunk starts in the text
  std::string_view chunk_;
  SourceLines lines_;
};

template <typename Lines, typename Progress>
LineWalk WalkLines(Lines& lines, std::size_t base, const LoadLimits& limits, int lineLimit, int measureFirst,
                   int measureLast, char listSeparator, SourceRows& rows, Progress progress,
                   const WidestCells& asked) {
  LineWalk walk;
  walk.widest = asked;
  std::string_view line;
  while (lines.ReadSourceLine(line)) {
    if (lines.RawLength() > limits.maxLineBytes) {
      walk.end = WalkEnd::LineTooLong;
      ++walk.lines;
      break;
    }
    if (walk.lines >= lineLimit) {
      walk.end = WalkEnd::TooManyLines;
      break;
    }
    ++walk.lines;
    if (walk.lines % kProgressLineStep == 0) progress(lines.Offset());
    if (line.empty()) continue;
    rows.Add(walk.lines, base + lines.OffsetOf(line), line.size());
    walk.longest = std::max(walk.longest, line.size());
    if (walk.lines >= measureFirst && walk.lines <= measureLast) {
      const LineShape shape = MeasureLine(line, listSeparator);
      walk.shape.Take(shape);
      walk.quotes = walk.quotes || shape.quotes;
    } else if (!walk.quotes) {
      walk.quotes = line.find('"') != std::string_view::npos;
    }
    walk.widest.Take(walk.lines, line, listSeparator);
  }
  walk.highBytes = lines.SawHighBytes();
  return walk;
}

// Where the text can be cut in two near its middle so that both parts read
// as the whole does: just after a line end that no LF follows (an LF there
// could belong to a CR before the cut). 0 when there is none.
std::size_t SplitPoint(std::string_view text) {
  unsigned char seen = 0;
  for (std::size_t at = text.size() / 2;; ++at) {
    at = FindLineEnd(text.data(), at, text.size(), seen);
    if (at + 1 >= text.size()) return 0;
    if (text[at + 1] != '\n') return at + 1;
  }
}

RangeShape MeasureRows(std::string_view text, const SourceRows& rows, int first, int last, char listSeparator) {
  RangeShape shape;
  rows.ForEachIn(first, last, [&](int, std::size_t offset, std::size_t length) {
    shape.Take(MeasureLine(text.substr(offset, length), listSeparator));
  });
  return shape;
}

struct CountResult {
  WalkEnd end = WalkEnd::Done;
  int lines = 0;
  int maxFields = 0;
  char separator = ' ';  // when no line is counted
  std::string firstRecordText;
  bool highBytes = false;
  WidestCells widest;
  bool quotes = false;
  std::size_t longest = 0;
};

// One walk over the lines: every line with text gets its span, and the lines
// of the record range decide the separator and the number of fields. A large
// text is walked in two parts on two threads.
CountResult CountingPass(const SourceText& source, const ConversionSettings& settings,
                         const RecordRange& range, const LoadLimits& limits, SourceRows& rows,
                         LoadProgress& progress, const WidestCells& asked) {
  const std::string_view text = source.View();
  const char listSeparator = settings.listSeparator;
  const std::size_t split =
      text.size() >= limits.splitFromBytes && std::thread::hardware_concurrency() > 1 ? SplitPoint(text) : 0;
  rows.Reserve(EstimateRowsWithText(source, 0));
  // A mapped file is read with copies rather than through the mapping, so
  // that it is never held whole in memory and no page of it is mapped in.
  auto walkPart = [&](std::size_t from, std::size_t to, auto&&... rest) {
    if (source.Mapped() && to > from) {
      CopiedLines lines(source, from, to, limits);
      return WalkLines(lines, from, rest...);
    }
    LinesInPlace lines(source, from, to);
    return WalkLines(lines, from, rest...);
  };
  LineWalk walk;
  if (split == 0) {
    walk = walkPart(0, text.size(), limits, limits.maxLines, range.first, range.last, listSeparator, rows,
                    [&](std::size_t offset) { progress.Walked(offset); }, asked);
  } else {
    // The later part cannot know its line numbers: it measures all its lines,
    // and is measured again below where the range leaves some out.
    SourceRows laterRows;
    laterRows.Reserve(EstimateRowsWithText(source, split));
    LineWalk later;
    {
      HelperThread helper([&] {
        WidestCells all = asked;
        all.first = 1;
        all.last = std::numeric_limits<int>::max();
        later = walkPart(split, text.size(), limits, limits.maxLines, 1, limits.maxLines, listSeparator,
                         laterRows, [](std::size_t) {}, all);
      });
      // Both parts go at about the same pace.
      walk = walkPart(0, split, limits, limits.maxLines, range.first, range.last, listSeparator, rows,
                      [&](std::size_t offset) { progress.Walked(2 * offset); }, asked);
    }
    if (walk.end == WalkEnd::Done) {
      // As one walk would have ended: a long line counts where it stands,
      // unless the line limit came first.
      const int before = walk.lines;
      const std::int64_t total = std::int64_t{before} + later.lines;
      walk.highBytes = walk.highBytes || later.highBytes;
      walk.quotes = walk.quotes || later.quotes;
      walk.longest = std::max(walk.longest, later.longest);
      if (later.end == WalkEnd::LineTooLong && total <= std::int64_t{limits.maxLines} + 1) {
        walk.end = WalkEnd::LineTooLong;
        walk.lines = static_cast<int>(total);
      } else if (later.end != WalkEnd::Done || total > limits.maxLines) {
        walk.end = WalkEnd::TooManyLines;
        walk.lines = limits.maxLines;
      } else {
        rows.Append(std::move(laterRows), before);
        walk.lines = static_cast<int>(total);
        if (range.first <= before + 1 && range.last >= walk.lines) {
          walk.shape.Take(later.shape);
        } else {
          walk.shape.Take(MeasureRows(text, rows, std::max(range.first, before + 1), range.last, listSeparator));
        }
        if (asked.first <= before + 1 && asked.last >= walk.lines) {
          walk.widest.Take(later.widest);
        } else {
          walk.widest.columns = {};  // the later part measured lines out of the range
        }
      }
    }
  }
  CountResult result;
  result.end = walk.end;
  result.lines = walk.lines;
  result.highBytes = walk.highBytes;
  result.quotes = walk.quotes;
  result.longest = walk.longest;
  if (result.end != WalkEnd::Done) return result;
  result.maxFields = walk.shape.maxFields;
  if (walk.shape.separator != 0) result.separator = walk.shape.separator;
  result.widest = walk.widest;
  if (range.first >= 1 && rows.Has(range.first)) {
    const auto [offset, length] = rows.Span(range.first);
    result.firstRecordText = text.substr(offset, length);
  }
  return result;
}

bool HasBreaks(const BreakTable& breaks) { return breaks.front().position != 0; }

// The column breaks as the table can cut them into the lines when it reads
// them, where that cuts as copying them in does; none otherwise. Blanks as
// separators run together, a quoted part may hold an inserted separator, and
// a line past the rest limit is cut another way.
std::optional<LineBreaks> BreaksCutOnRead(const BreakTable& breaks, char separator, bool quotes,
                                          std::size_t longestLine) {
  if (separator == ' ' || quotes) return std::nullopt;
  std::optional<LineBreaks> cut = RisingColumnBreaks(breaks);
  if (cut && longestLine + 1 + static_cast<std::size_t>(cut->count) > kMaxRestLength) return std::nullopt;
  return cut;
}

// Rows cut at column breaks are copied once, breaks applied, into a text of
// their own; the text as read is then let go.
void ApplyBreaksToRows(const BreakTable& breaks, char separator, SourceText& text, SourceRows& rows) {
  std::size_t insertions = 0;
  for (const BreakEntry& entry : breaks) {
    if (entry.position == 0) break;
    ++insertions;
  }
  const std::string_view source = text.View();
  std::string broken;
  std::string altered;
  altered.reserve(source.size() + rows.Count() * (insertions + 1));
  SourceRows brokenRows;
  brokenRows.Reserve(rows.Count());
  std::size_t done = 0;  // a mapped text before this is let go as the copy grows
  rows.ForEach([&](int row, std::size_t offset, std::size_t length) {
    if (offset - done >= kReleaseBytes) {
      text.DoneWith(done, offset);
      done = offset;
    }
    // Positions beyond the end of the line count from one blank after it.
    broken.assign(source.substr(offset, length));
    broken += ' ';
    ApplyBreaks(breaks, separator, broken);
    brokenRows.Add(row, altered.size(), broken.size());
    altered += broken;
  });
  text = SourceText(std::move(altered));
  rows = std::move(brokenRows);
}

std::string SizeText(std::size_t bytes) {
  if (bytes >= kMegabyte && bytes % kMegabyte == 0) return std::to_string(bytes / kMegabyte) + " MB";
  return std::to_string(bytes) + " bytes";
}

// A load that cannot end well leaves nothing half loaded behind.
void EndFailedLoad(AppState& state, UserInterface& ui, const std::string& message) {
  LayoutTable(state, state.table.ColumnCount(), 2);
  state.firstRecordText.clear();
  state.sourceFile.clear();
  ui.ShowMessage(message);
}

// Where a character of the text stands: its line, and in that line's text
// (trimmed) its offset, when the line has text there.
struct TextPlace {
  int line = 0;
  std::optional<std::size_t> inLine;
};

TextPlace PlaceOf(std::string_view text, std::size_t offset) {
  TextPlace place;
  SourceLines lines(text);
  std::string_view line;
  while (lines.ReadSourceLine(line)) {
    ++place.line;
    if (lines.Offset() <= offset) continue;
    const auto start = static_cast<std::size_t>(line.data() - text.data());
    if (!line.empty() && offset >= start && offset < start + line.size()) place.inLine = offset - start;
    break;
  }
  return place;
}

// Where a character of a line stands after the breaks were applied to it, as
// ApplyBreaks moves it.
std::size_t PlaceAfterBreaks(const BreakTable& breaks, std::size_t inLine, std::size_t lineSize) {
  std::size_t size = lineSize + 1;  // the blank after the line
  std::size_t inserted = 0;
  for (const BreakEntry& entry : breaks) {
    if (entry.position == 0) break;
    const std::size_t at = std::min<std::size_t>(entry.position + inserted, size);
    if (at <= inLine) ++inLine;
    ++size;
    ++inserted;
  }
  return inLine;
}

// The column letter of the cell that holds the character at `inRow` of the
// row's text; empty when no cell holds it (a blank, a separator, a dropped field).
std::string ColumnHolding(std::string_view rowText, std::size_t inRow, char separator, int columns) {
  std::string_view rest = rowText;
  const char* target = rowText.data() + inRow;
  for (int column = 1; column < columns && !rest.empty(); ++column) {
    std::string_view field;
    std::tie(field, rest) = NextField(separator, rest);
    const std::string_view cell = StripQuotes(TrimText(field));
    if (target >= cell.data() && target < cell.data() + cell.size()) return ColumnLetter(column);
  }
  return {};
}

}  // namespace

SourceFileHandle OpenSourceFile(const std::string& path) {
  SourceFileHandle handle;
  if (path == kStandardInputPath) {
    handle.file_.reset(stdin);
    return handle;
  }
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (std::filesystem::is_directory(status)) {
    errno = EISDIR;
    return handle;
  }
  if (std::filesystem::is_regular_file(status)) {
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error) handle.sizeHint_ = size;
    handle.regular_ = !error;
  }
  handle.file_.reset(std::fopen(path.c_str(), "rb"));
  // The source is read in large blocks: a stream buffer would only copy
  // every byte once more.
  if (handle.file_) std::setvbuf(handle.file_.get(), nullptr, _IONBF, 0);
  return handle;
}

SourceRead ReadSource(const SourceFileHandle& file, const LoadLimits& limits,
                      const std::function<void(std::uint64_t)>& progress) {
  SourceRead result;
  // A file is read into a block of its size and one byte more, which finds
  // its end in the same reads; a stream, or a file that grows, grows the block.
  std::size_t capacity = file.SizeHint() > 0 ? static_cast<std::size_t>(file.SizeHint()) + 1
                                               : kFirstStreamBlock;
  LargeBlock block = AllocateLargeBlock(capacity);
  const std::size_t step = std::max<std::size_t>(limits.readBytes, 1);
  std::size_t size = 0;
  std::size_t openLine = 0;
  for (;;) {
    if (size == capacity) {
      capacity *= 2;
      ResizeLargeBlock(block, capacity, size);
    }
    char* at = static_cast<char*>(block.get()) + size;
    const std::size_t got = std::fread(at, 1, std::min(capacity - size, step), file.get());
    if (got == 0) {
      result.readFailed = std::ferror(file.get()) != 0;
      break;
    }
    openLine = OpenLineAfter(std::string_view(at, got), openLine);
    size += got;
    if (progress) progress(size);
    if (openLine > limits.maxLineBytes) {
      result.lineTooLong = true;
      break;
    }
  }
  result.text = SourceText(std::move(block), size);
  return result;
}

bool SourceLines::ReadSourceLine(std::string_view& line) {
  line = {};
  rawLength_ = 0;
  // Line feeds after a carriage return belong to that line's end.
  if (previousWasCr_) {
    while (position_ < text_.size() && text_[position_] == '\n') ++position_;
  }
  if (position_ == text_.size()) {
    // An empty text still reads as one (empty) line.
    if (returnedLine_) return false;
    returnedLine_ = true;
    return true;
  }
  returnedLine_ = true;
  // Lines are walked in order: the text some pages on is asked for now, as
  // the processor's own prefetching stops at each page's end.
  __builtin_prefetch(text_.data() + std::min(position_ + kReadAhead, text_.size()));
  const std::size_t stop = FindLineEnd(text_.data(), position_, text_.size(), seen_);
  std::string_view text = text_.substr(position_, stop - position_);
  rawLength_ = text.size();
  position_ = stop;
  previousWasCr_ = false;
  if (stop < text_.size()) {
    previousWasCr_ = text_[stop] == '\r';
    ++position_;
  }
  text = TrimText(text);
  if (text.size() >= kMinLineLength) line = text;
  return true;
}

bool SourceLines::ReadWholeLine(std::string_view& line) {
  line = {};
  rawLength_ = 0;
  if (previousWasCr_) {
    while (position_ < text_.size() && text_[position_] == '\n') ++position_;
  }
  __builtin_prefetch(text_.data() + std::min(position_ + kReadAhead, text_.size()));
  const std::size_t stop = FindLineEnd(text_.data(), position_, text_.size(), seen_);
  if (stop == text_.size()) return false;
  std::string_view text = text_.substr(position_, stop - position_);
  rawLength_ = text.size();
  returnedLine_ = true;
  previousWasCr_ = text_[stop] == '\r';
  position_ = stop + 1;
  text = TrimText(text);
  if (text.size() >= kMinLineLength) line = text;
  return true;
}

bool SourceLines::ReadSourceLine(std::string& line) {
  std::string_view view;
  if (!ReadSourceLine(view)) return false;
  line.assign(view);
  return true;
}

void LoadSourceFile(AppState& state, UserInterface& ui, const std::string& path,
                    const BeforeNewSourceFile& beforeNewFile, const LoadLimits& limits) {
  if (path != state.sourceFile && beforeNewFile) beforeNewFile(path);
  // "End of file" is the file's end, however many lines it has.
  const RecordRange range = EffectiveRange(state.settings, kLargestRecordNumber);

  std::error_code error;
  if (path != kStandardInputPath && !std::filesystem::exists(std::filesystem::status(path, error))) {
    ui.ShowMessage("File does not exist\r\n" + path);
    return;
  }
  const SourceFileHandle file = OpenSourceFile(path);
  if (!file) {
    ui.ShowMessage(std::string(std::strerror(errno)) + "\r\n" + kInUseHint);
    return;
  }
  LoadProgress progress(ui, file.SizeHint());
  std::string failure;
  std::string unmappableMessage;
  try {
    // The old text goes before the new one is read: a reload never holds both.
    state.table.Layout(state.table.ColumnCount(), state.table.RowCount());
    SourceRead read;
    MappedFile mapped;
    if (limits.mapRegularFile && file.IsRegularFile() && file.SizeHint() > 0 &&
        mapped.Map(::fileno(file.get()))) {
      read.text = SourceText(std::move(mapped));
      progress.Read(file.SizeHint());
    } else {
      read = ReadSource(file, limits, [&](std::uint64_t bytes) { progress.Read(bytes); });
    }
    if (read.readFailed) ui.ShowMessage("Error A");
    // A text with no byte order mark is walked as it is, which also tells
    // whether it is pure ASCII (the usual case): only a text with other bytes
    // is decoded, and walked again if that converted it.
    const SourceEncoding requested = state.settings.encoding;
    const WidestCells asked = WidestCellsAsked(state.settings);
    SourceRows rows;
    CountResult count;
    DecodedSource decoded;  // as read, Windows-1252, until decoded
    bool counted = false;
    if (requested == SourceEncoding::Windows1252 ||
        (requested == SourceEncoding::Automatic && !StartsWithByteOrderMark(read.text.View()))) {
      count = CountingPass(read.text, state.settings, range, limits, rows, progress, asked);
      counted = true;
      if (count.highBytes && requested == SourceEncoding::Automatic) decoded = DecodeSource(read.text.View(), requested);
    } else {
      decoded = DecodeSource(read.text.View(), requested);
    }
    state.sourceEncoding = decoded.used;
    if (decoded.converted) {
      read.text = SourceText(std::move(decoded.text));
      counted = false;
    } else if (decoded.skip > 0) {
      read.text.DropPrefix(decoded.skip);  // never after a walk: only a byte order mark is skipped
    }
    if (!counted) {
      rows = SourceRows();
      count = CountingPass(read.text, state.settings, range, limits, rows, progress, asked);
    }
    if (read.text.Changed()) {
      failure = kSourceChangedWhileLoaded;
    } else if (count.end == WalkEnd::TooManyLines) {
      failure = "The file has more than " + std::to_string(limits.maxLines) + " lines";
    } else if (count.end == WalkEnd::LineTooLong || read.lineTooLong) {
      failure = "Line " + std::to_string(count.lines) + " is longer than " + SizeText(limits.maxLineBytes);
    }
    if (!failure.empty()) {
      progress.Done();
      EndFailedLoad(state, ui, failure + "\r\n" + path);
      return;
    }

    int columns = count.maxFields + 1;
    if (count.separator != '\t') columns += CountColumnBreaks(state.settings.breaks);
    if (columns > kMaxColumnCount) {
      ui.ShowMessage("Too many columns. Lines truncated");
      columns = kMaxColumnCount;
    }
    TakeOverColumnWidths(state);
    LayoutTable(state, columns, count.lines + 1);
    state.loadSeparator = count.separator;
    state.columnBreaksEnabled = count.separator != '\t';
    // The sample line belongs to this file; an empty first record leaves none.
    state.firstRecordText = count.firstRecordText;

    TextPlace unmappable;
    if (decoded.unmappable > 0) unmappable = PlaceOf(read.text.View(), decoded.firstUnmappable);
    const bool breaks = count.separator != '\t' && HasBreaks(state.settings.breaks);
    std::optional<LineBreaks> cutOnRead;
    if (breaks) {
      if (unmappable.inLine) {
        const std::size_t lineSize = rows.Span(unmappable.line).second;
        unmappable.inLine = PlaceAfterBreaks(state.settings.breaks, *unmappable.inLine, lineSize);
      }
      // Cut into the lines as they are read, the text stays as read: a file
      // of fixed columns costs no more than any other.
      cutOnRead = BreaksCutOnRead(state.settings.breaks, count.separator, count.quotes, count.longest);
      if (!cutOnRead) ApplyBreaksToRows(state.settings.breaks, count.separator, read.text, rows);
    }
    if (decoded.unmappable > 0) {
      std::string column;
      if (unmappable.inLine) {
        const auto [offset, length] = rows.Span(unmappable.line);
        std::string broken(read.text.View().substr(offset, length));
        if (cutOnRead) {
          broken += ' ';
          ApplyBreaks(state.settings.breaks, count.separator, broken);
        }
        column = ColumnHolding(broken, *unmappable.inLine, count.separator, columns);
      }
      unmappableMessage = UnmappableMessage(decoded.unmappable, static_cast<std::uint64_t>(unmappable.line), column);
    }
    state.table.TakeLines(std::move(read.text), std::move(rows), count.separator, cutOnRead.value_or(LineBreaks{}));
    // Cut as the table cuts them only when the list separator is the one in
    // force and the breaks the ones it cuts at.
    const bool sameBreaks = cutOnRead ? count.widest.breaks.count > 0 : !breaks && count.widest.breaks.count == 0;
    if (sameBreaks && count.separator == state.settings.listSeparator) {
      for (std::size_t i = 0; i < count.widest.columns.size(); ++i) {
        if (count.widest.columns[i] > 0) {
          state.table.KeepLongestCell(count.widest.columns[i], count.widest.first, count.widest.last,
                                      count.widest.lengths[i]);
        }
      }
    }
  } catch (const std::bad_alloc&) {
    progress.Done();
    EndFailedLoad(state, ui, "Not enough memory to load the file\r\n" + path);
    return;
  }
  progress.Done();

  AddRecentFile(state.recent, path);
  state.sourceFile = path;
  if (!unmappableMessage.empty()) ui.ShowMessage(unmappableMessage);
}

}  // namespace zevi
