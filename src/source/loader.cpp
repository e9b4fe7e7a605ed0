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
constexpr std::size_t kStreamBufferSize = std::size_t{1} << 16;

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

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

LineShape MeasureLine(std::string_view line, char listSeparator) {
  if (line.find('"') == std::string_view::npos) {
    // Nothing to mask: the common case, searched and counted without the walk.
    const char separator = line.find('\t') != std::string_view::npos ? '\t' : listSeparator;
    if (separator != ' ') {
      const auto separators = std::count(line.begin(), line.end(), separator);
      return {separator, 1 + static_cast<int>(separators) - (line.back() == separator ? 1 : 0)};
    }
  }
  const char separator = SeparatorOfLine(line, listSeparator);
  return {separator, CountFields(line, separator)};
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
  std::string line;
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

void FillingPass(AppState& state, UserInterface& ui, std::FILE* file, std::uint64_t fileSize,
                 std::size_t tableBytes, LoadProgress& progress) {
  SourceTable& table = state.table;
  const int dataColumns = table.ColumnCount() - 1;
  const char separator = state.loadSeparator;
  const BreakTable& breaks = state.settings.breaks;
  bool failed = false;
  try {
    table.Reserve(tableBytes);
    std::rewind(file);
    SourceLineReader reader(file);
    std::string text;
    std::array<std::string_view, kMaxDataColumns> cells{};
    for (int row = 1; row < table.RowCount() && reader.ReadSourceLine(text); ++row) {
      progress.Line(fileSize, reader);
      if (text.empty()) continue;
      text += ' ';
      if (separator != '\t') ApplyBreaks(breaks, separator, text);
      std::string_view rest = text;
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
  if (handle.file_) {
    handle.streamBuffer_ = std::make_unique<char[]>(kStreamBufferSize);
    std::setvbuf(handle.file_.get(), handle.streamBuffer_.get(), _IOFBF, kStreamBufferSize);
  }
  return handle;
}

bool SourceLineReader::Fill() {
  if (position_ < count_) return true;
  if (atEnd_) return false;
  count_ = std::fread(buffer_, 1, sizeof buffer_, file_);
  position_ = 0;
  nextLf_ = kNotSearched;
  nextCr_ = kNotSearched;
  if (count_ == 0) {
    atEnd_ = true;
    failed_ = std::ferror(file_) != 0;
    return false;
  }
  bytesRead_ += count_;
  return true;
}

std::size_t SourceLineReader::FindInBuffer(char byte) const {
  const void* found = std::memchr(buffer_ + position_, byte, count_ - position_);
  return found ? static_cast<std::size_t>(static_cast<const char*>(found) - buffer_) : count_;
}

bool SourceLineReader::ReadSourceLine(std::string& line) {
  line.clear();
  // Line feeds after a carriage return belong to that line's end.
  while (previousWasCr_ && Fill() && buffer_[position_] == '\n') ++position_;
  if (!Fill()) {
    // An empty file still reads as one (empty) line.
    if (returnedLine_) return false;
    returnedLine_ = true;
    return true;
  }
  returnedLine_ = true;
  previousWasCr_ = false;
  while (Fill()) {
    if (nextLf_ == kNotSearched || nextLf_ < position_) nextLf_ = FindInBuffer('\n');
    if (nextCr_ == kNotSearched || nextCr_ < position_) nextCr_ = FindInBuffer('\r');
    const std::size_t stop = std::min(nextLf_, nextCr_);
    line.append(buffer_ + position_, stop - position_);
    position_ = stop;
    if (stop < count_) {
      previousWasCr_ = buffer_[stop] == '\r';
      ++position_;
      break;
    }
  }
  const std::string_view trimmed = TrimText(line);
  if (trimmed.size() < kMinLineLength) {
    line.clear();
  } else {
    const std::size_t start = static_cast<std::size_t>(trimmed.data() - line.data());
    line.erase(start + trimmed.size());
    line.erase(0, start);
  }
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
  const std::size_t separatorAt = rest.find(separator, searchFrom);
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
