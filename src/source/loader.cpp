#include "source/loader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>

#include "settings/recent.h"
#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/breaks.h"
#include "source/kinds.h"
#include "source/range.h"

namespace zevi {

namespace {

constexpr const char* kInUseHint = "The file may be in use by another application.";
constexpr std::size_t kMinLineLength = 2;
// Progress is worth showing only for files that take a noticeable time.
constexpr std::uint64_t kProgressMinBytes = std::uint64_t{4} << 20;
constexpr int kProgressLineStep = 1 << 16;

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Fields are short: a plain walk over the first bytes beats a library call.
std::size_t FindByte(std::string_view text, char byte, std::size_t from) {
  constexpr std::size_t kWalked = 16;
  const std::size_t walked = std::min(text.size(), from + kWalked);
  for (std::size_t i = from; i < walked; ++i) {
    if (text[i] == byte) return i;
  }
  return walked == text.size() ? std::string_view::npos : text.find(byte, walked);
}

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
};

struct ShapeBytes {
  std::size_t quotes = 0;
  std::size_t tabs = 0;
  std::size_t separators = 0;
};

// The bytes that decide a line's shape, counted in one walk the compiler can
// vectorise: byte-wide sums over blocks too short to overflow them.
ShapeBytes CountShapeBytes(std::string_view line, char listSeparator) {
  constexpr std::size_t kBlock = 255;
  ShapeBytes counts;
  const auto* at = reinterpret_cast<const unsigned char*>(line.data());
  const auto separator = static_cast<unsigned char>(listSeparator);
  for (std::size_t left = line.size(); left > 0;) {
    const std::size_t block = std::min(left, kBlock);
    unsigned char quotes = 0;
    unsigned char tabs = 0;
    unsigned char separators = 0;
    for (std::size_t i = 0; i < block; ++i) {
      quotes += at[i] == '"';
      tabs += at[i] == '\t';
      separators += at[i] == separator;
    }
    counts.quotes += quotes;
    counts.tabs += tabs;
    counts.separators += separators;
    at += block;
    left -= block;
  }
  return counts;
}

LineShape MeasureLine(std::string_view line, char listSeparator) {
  const ShapeBytes counts = CountShapeBytes(line, listSeparator);
  const char separator = counts.tabs > 0 ? '\t' : listSeparator;
  if (counts.quotes == 0 && separator != ' ') {
    // Nothing to mask: the separators are counted already.
    const std::size_t separators = separator == '\t' ? counts.tabs : counts.separators;
    return {separator, 1 + static_cast<int>(separators) - (line.back() == separator ? 1 : 0)};
  }
  const char masked = SeparatorOfLine(line, listSeparator);
  return {masked, CountFields(line, masked)};
}

class LoadProgress {
 public:
  LoadProgress(UserInterface& ui, std::uint64_t fileSize)
      : ui_(ui), total_(2 * fileSize), active_(fileSize >= kProgressMinBytes) {}

  void Line(std::uint64_t passStart, const SourceLineReader& reader) {
    if (!active_ || ++lines_ % kProgressLineStep != 0) return;
    ui_.Progress("Loading", static_cast<std::int64_t>(passStart + reader.BytesRead()),
                 static_cast<std::int64_t>(total_));
  }
  void Done() {
    if (!active_) return;
    ui_.Progress("Loading", static_cast<std::int64_t>(total_), static_cast<std::int64_t>(total_));
  }

 private:
  UserInterface& ui_;
  std::uint64_t total_;
  bool active_;
  std::uint64_t lines_ = 0;
};

struct CountResult {
  int lines = 0;
  int nonEmptyLines = 0;
  int maxFields = 0;
  char separator = ' ';  // when no line is counted
};

CountResult CountingPass(AppState& state, UserInterface& ui, std::FILE* file,
                         const RecordRange& range, LoadProgress& progress) {
  CountResult result;
  SourceLineReader reader(file);
  std::string_view line;
  bool failed = false;
  try {
    while (reader.ReadSourceLine(line)) {
      ++result.lines;
      progress.Line(0, reader);
      if (line.empty()) continue;
      ++result.nonEmptyLines;
      if (result.lines < range.first || result.lines > range.last) continue;
      if (result.lines == range.first) state.firstRecordText = line;
      const LineShape shape = MeasureLine(line, state.settings.listSeparator);
      result.separator = shape.separator;
      result.maxFields = std::max(result.maxFields, shape.fields);
    }
    failed = reader.Failed();
  } catch (const std::exception&) {
    failed = true;
  }
  if (failed) ui.ShowMessage("Error A");
  return result;
}

bool HasBreaks(const BreakTable& breaks) { return breaks.front().position != 0; }

void FillingPass(AppState& state, UserInterface& ui, std::FILE* file, std::uint64_t fileSize,
                 std::size_t tableBytes, LoadProgress& progress) {
  SourceTable& table = state.table;
  const int dataColumns = table.ColumnCount() - 1;
  const char separator = state.loadSeparator;
  const BreakTable& breaks = state.settings.breaks;
  const bool applyBreaks = separator != '\t' && HasBreaks(breaks);
  bool failed = false;
  try {
    table.Reserve(tableBytes);
    std::rewind(file);
    SourceLineReader reader(file);
    std::string_view line;
    std::string broken;
    std::array<std::string_view, kMaxDataColumns> cells{};
    for (int row = 1; row < table.RowCount() && reader.ReadSourceLine(line); ++row) {
      progress.Line(fileSize, reader);
      if (line.empty()) continue;
      std::string_view rest = line;
      if (applyBreaks) {
        // Positions beyond the end of the line count from one blank after it.
        broken.assign(line);
        broken += ' ';
        ApplyBreaks(breaks, separator, broken);
        rest = broken;
      }
      for (int column = 0; column < dataColumns; ++column) {
        auto [field, next] = NextField(separator, rest);
        cells[column] = StripQuotes(TrimText(field));
        rest = next;
      }
      table.FillRow(row, std::span(cells.data(), static_cast<std::size_t>(dataColumns)));
    }
    failed = reader.Failed();
  } catch (const std::exception&) {
    failed = true;
  }
  if (failed) ui.ShowMessage("Error B");
}

}  // namespace

SourceFileHandle OpenSourceFile(const std::string& path) {
  SourceFileHandle handle;
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    errno = EISDIR;
    return handle;
  }
  handle.file_.reset(std::fopen(path.c_str(), "rb"));
  // The line reader reads in large blocks itself: a stream buffer would only
  // copy every byte once more.
  if (handle.file_) std::setvbuf(handle.file_.get(), nullptr, _IONBF, 0);
  return handle;
}

SourceLineReader::SourceLineReader(std::FILE* file, std::size_t bufferSize)
    : file_(file),
      buffer_(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(bufferSize, 1))),
      capacity_(std::max<std::size_t>(bufferSize, 1)) {}

bool SourceLineReader::Refill() {
  if (atEnd_) return false;
  const std::size_t kept = count_ - position_;
  if (kept == capacity_) {
    const std::size_t larger = 2 * capacity_;
    auto grown = std::make_unique_for_overwrite<char[]>(larger);
    std::memcpy(grown.get(), buffer_.get() + position_, kept);
    buffer_ = std::move(grown);
    capacity_ = larger;
  } else if (position_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + position_, kept);
  }
  // Searches that ended at the end of the data go on where they stopped.
  nextLf_ = nextLf_ > position_ ? nextLf_ - position_ : 0;
  nextCr_ = nextCr_ > position_ ? nextCr_ - position_ : 0;
  position_ = 0;
  count_ = kept;
  const std::size_t read = std::fread(buffer_.get() + kept, 1, capacity_ - kept, file_);
  if (read == 0) {
    atEnd_ = true;
    failed_ = std::ferror(file_) != 0;
    return false;
  }
  count_ += read;
  bytesRead_ += read;
  return true;
}

std::size_t SourceLineReader::NextInBuffer(std::size_t& next, char byte) {
  if (next < position_) next = position_;
  if (next < count_ && buffer_[next] != byte) {
    const void* found = std::memchr(buffer_.get() + next, byte, count_ - next);
    next = found ? static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.get()) : count_;
  }
  return next;
}

bool SourceLineReader::ReadSourceLine(std::string_view& line) {
  line = {};
  // Line feeds after a carriage return belong to that line's end.
  if (previousWasCr_) {
    do {
      while (position_ < count_ && buffer_[position_] == '\n') ++position_;
    } while (position_ == count_ && Refill());
  }
  if (position_ == count_ && !Refill()) {
    // An empty file still reads as one (empty) line.
    if (returnedLine_) return false;
    returnedLine_ = true;
    return true;
  }
  returnedLine_ = true;
  previousWasCr_ = false;
  std::size_t stop;
  for (;;) {
    stop = std::min(NextInBuffer(nextLf_, '\n'), NextInBuffer(nextCr_, '\r'));
    if (stop < count_) break;
    if (!Refill()) {
      stop = count_;  // the last line has no line end
      break;
    }
  }
  std::string_view text(buffer_.get() + position_, stop - position_);
  position_ = stop;
  if (stop < count_) {
    previousWasCr_ = buffer_[stop] == '\r';
    ++position_;
  }
  text = TrimText(text);
  if (text.size() >= kMinLineLength) line = text;
  return true;
}

bool SourceLineReader::ReadSourceLine(std::string& line) {
  std::string_view view;
  if (!ReadSourceLine(view)) return false;
  line.assign(view);
  return true;
}

std::string_view TrimText(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view StripQuotes(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

std::pair<std::string_view, std::string_view> NextField(char separator, std::string_view rest) {
  const std::size_t firstNonSpace = rest.find_first_not_of(' ');
  if (firstNonSpace == std::string_view::npos) return {};
  rest.remove_prefix(firstNonSpace);
  // A quoted part runs to its closing quote (or to the end) and may hold separators.
  std::size_t searchFrom = 0;
  if (rest.front() == '"') {
    const std::size_t closing = rest.find('"', 1);
    searchFrom = closing == std::string_view::npos ? rest.size() : closing + 1;
  }
  const std::size_t separatorAt = FindByte(rest, separator, searchFrom);
  if (separatorAt == std::string_view::npos) return {rest, {}};
  return {rest.substr(0, separatorAt), rest.substr(separatorAt + 1, kMaxRestLength)};
}

void LoadSourceFile(AppState& state, UserInterface& ui, const std::string& path,
                    const BeforeNewSourceFile& beforeNewFile) {
  if (path != state.sourceFile && beforeNewFile) beforeNewFile(path);
  const RecordRange range = EffectiveRange(state.settings, kLoaderEndOfFile);

  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    ui.ShowMessage("File does not exist");
    return;
  }
  const SourceFileHandle file = OpenSourceFile(path);
  if (!file) {
    ui.ShowMessage(std::string(std::strerror(errno)) + "\r\n" + kInUseHint);
    return;
  }
  // Only a hint for progress and memory: a size the system cannot tell is 0.
  std::uint64_t fileSize = std::filesystem::file_size(path, error);
  if (error) fileSize = 0;
  LoadProgress progress(ui, fileSize);

  // The sample line belongs to this file; an empty first record leaves none.
  state.firstRecordText.clear();
  const CountResult count = CountingPass(state, ui, file.get(), range, progress);

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

  std::size_t insertions = 0;
  for (const BreakEntry& entry : state.settings.breaks) {
    if (entry.position == 0) break;
    ++insertions;
  }
  // Cells are parts of their line (plus inserted marks), each after a length byte.
  const auto filledLines = static_cast<std::size_t>(count.nonEmptyLines);
  const std::size_t tableBytes =
      fileSize + filledLines * (insertions + static_cast<std::size_t>(columns));
  FillingPass(state, ui, file.get(), fileSize, tableBytes, progress);
  progress.Done();

  AddRecentFile(state.recent, path);
  state.sourceFile = path;
}

}  // namespace zevi
