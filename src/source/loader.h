#pragma once
// Loading a source into the table. The source (a file, a pipe, a device, or
// standard input for "-") is read once, whole, into memory; one walk over the
// bytes finds the lines, the separator and the number of columns; the table
// keeps the text and cuts a row into cells when it is read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "source/table.h"

namespace zevi {

struct AppState;
class UserInterface;
struct ConversionSettings;

// The source path that means standard input.
inline constexpr std::string_view kStandardInputPath = "-";

// What a load accepts; tests make the limits small.
struct LoadLimits {
  // A longer line ends the load, so that /dev/zero or a large file without
  // line ends cannot fill memory.
  std::size_t maxLineBytes = std::size_t{64} << 20;
  // Rows are ints, and the heading row takes one.
  int maxLines = std::numeric_limits<int>::max() - 1;
  // Bytes asked of the system per read.
  std::size_t readBytes = std::size_t{1} << 20;
  // A regular file is mapped instead of read: no copy, but the table then
  // depends on the file staying as it is, which suits a batch run that checks
  // SourceTable::SourceChanged before it puts its output in place, not a
  // window that keeps a table open for hours.
  bool mapRegularFile = false;
  // A text at least this long is walked on two threads.
  std::size_t splitFromBytes = std::size_t{4} << 20;
  // A mapped file is walked in copies of this many bytes (more for a longer line).
  std::size_t copiedChunkBytes = std::size_t{2} << 20;
};

inline constexpr std::size_t kMaxRestLength = 999;

// The lines of a text: CR LF, LF and CR end a line; after a CR every LF up to
// the next other byte is skipped. Lines are trimmed; a line shorter than two
// characters reads as empty.
class SourceLines {
 public:
  explicit SourceLines(std::string_view text) : text_(text) {}
  // False after the last line. An empty text reads as one empty line; a line
  // end at the end of the text opens no further line. The view points into
  // the text.
  bool ReadSourceLine(std::string_view& line);
  bool ReadSourceLine(std::string& line);
  // The last line's length in the text, untrimmed, without its end.
  std::size_t RawLength() const { return rawLength_; }
  // Bytes walked so far.
  std::size_t Offset() const { return position_; }
  // A byte above 127 was among those walked.
  bool SawHighBytes() const { return (seen_ & 0x80) != 0; }

  // For a text that goes on past the end of this one: as ReadSourceLine, but
  // false, with the line not taken, where it does not end in this text.
  bool ReadWholeLine(std::string_view& line);
  // Goes on in `text`, which starts where this one was left.
  void Continue(std::string_view text) {
    text_ = text;
    position_ = 0;
  }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
  unsigned char seen_ = 0;  // every byte looked at, ORed
  std::size_t rawLength_ = 0;
  bool previousWasCr_ = false;
  bool returnedLine_ = false;
};

// An open source, closed when the handle goes (standard input stays open).
class SourceFileHandle {
 public:
  SourceFileHandle() = default;
  std::FILE* get() const { return file_.get(); }
  explicit operator bool() const { return file_ != nullptr; }
  // What the system says the source holds: 0 for a pipe, a device, or a file
  // that does not know its size (under /proc). Only a hint.
  std::uint64_t SizeHint() const { return sizeHint_; }
  // A regular file of that size; false for standard input.
  bool IsRegularFile() const { return regular_; }

 private:
  friend SourceFileHandle OpenSourceFile(const std::string& path);
  struct Closer {
    void operator()(std::FILE* file) const {
      if (file != stdin) std::fclose(file);
    }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::uint64_t sizeHint_ = 0;
  bool regular_ = false;
};

// Opens a source for reading ("-": standard input); an empty handle with
// errno set on failure, also for a folder.
SourceFileHandle OpenSourceFile(const std::string& path);

// A source read whole.
struct SourceRead {
  SourceText text;
  bool readFailed = false;   // a read failed: `text` holds the bytes before it
  bool lineTooLong = false;  // reading stopped in a line longer than the limit
};

// Reads an open source to its end, or until a line runs past
// limits.maxLineBytes. `progress` hears the bytes read so far. Throws
// std::bad_alloc.
SourceRead ReadSource(const SourceFileHandle& file, const LoadLimits& limits,
                      const std::function<void(std::uint64_t)>& progress = {});

namespace detail {
inline bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Fields are short: a plain walk over the first bytes beats a library call.
inline std::size_t FindByte(std::string_view text, char byte, std::size_t from) {
  constexpr std::size_t kWalked = 16;
  const std::size_t walked = std::min(text.size(), from + kWalked);
  for (std::size_t i = from; i < walked; ++i) {
    if (text[i] == byte) return i;
  }
  return walked == text.size() ? std::string_view::npos : text.find(byte, walked);
}
}  // namespace detail

// The three below run for every cell the table gives out, so they are inline.

// Cuts the next field off the front of `rest`; leading spaces are skipped. A
// leading quoted part may hold separators; the remainder after a separator is
// cut to 999 characters.
//   (',', "a,,c")        -> ("a", ",c"), then ("", "c"), then ("c", "")
//   (',', "\"x,y\",z")   -> ("\"x,y\"", "z")
//   (' ', "1  2")        -> ("1", " 2"), then ("2", "")
inline std::pair<std::string_view, std::string_view> NextField(char separator, std::string_view rest) {
  // Fields rarely start with a space: a plain walk.
  std::size_t firstNonSpace = 0;
  while (firstNonSpace < rest.size() && rest[firstNonSpace] == ' ') ++firstNonSpace;
  if (firstNonSpace == rest.size()) return {};
  rest.remove_prefix(firstNonSpace);
  // A quoted part runs to its closing quote (or to the end) and may hold separators.
  std::size_t searchFrom = 0;
  if (rest.front() == '"') {
    const std::size_t closing = rest.find('"', 1);
    searchFrom = closing == std::string_view::npos ? rest.size() : closing + 1;
  }
  const std::size_t separatorAt = detail::FindByte(rest, separator, searchFrom);
  if (separatorAt == std::string_view::npos) return {rest, {}};
  return {rest.substr(0, separatorAt), rest.substr(separatorAt + 1, kMaxRestLength)};
}

// Drops one pair of enclosing double quotes.
inline std::string_view StripQuotes(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

// Trims blanks and control characters from both ends.
inline std::string_view TrimText(std::string_view text) {
  while (!text.empty() && detail::IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && detail::IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

// Called before a file other than the current source file is loaded (the
// associated settings offer); it may replace the settings.
using BeforeNewSourceFile = std::function<void(const std::string& path)>;

// Loads or reloads a source; every failure ends in a message. A failure
// after reading began (memory, a line too long, too many lines) leaves the
// table empty and no current source file.
void LoadSourceFile(AppState& state, UserInterface& ui, const std::string& path,
                    const BeforeNewSourceFile& beforeNewFile = {}, const LoadLimits& limits = {});

}  // namespace zevi
