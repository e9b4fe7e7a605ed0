#pragma once
// Loading a source file into the table: a counting pass finds the separator
// and the number of columns, a filling pass splits every line into cells.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace zevi {

struct AppState;
class UserInterface;
struct ConversionSettings;

// Bytes the line reader takes from the file at a time: large enough that a
// read call costs little per line, small enough to stay in the cache.
inline constexpr std::size_t kReadBufferSize = std::size_t{1} << 18;

// An open source file, closed when the handle goes.
class SourceFileHandle {
 public:
  SourceFileHandle() = default;
  std::FILE* get() const { return file_.get(); }
  explicit operator bool() const { return file_ != nullptr; }

 private:
  friend SourceFileHandle OpenSourceFile(const std::string& path);
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
};

// Opens a source file for reading; an empty handle with errno set on failure,
// also for a folder.
SourceFileHandle OpenSourceFile(const std::string& path);
inline constexpr std::size_t kMaxRestLength = 999;

// Lines of one pass: CR LF, LF and CR end a line; after a CR every LF up to
// the next other byte is skipped. Lines are trimmed; a line shorter than two
// characters reads as empty. Where the reads of the file fall makes no
// difference to the lines.
class SourceLineReader {
 public:
  // `bufferSize` bytes are read at a time (a longer line grows the buffer);
  // small sizes let tests put line ends across reads.
  explicit SourceLineReader(std::FILE* file, std::size_t bufferSize = kReadBufferSize);
  // False at the end of the file (after the last line was returned). An empty
  // file reads as one empty line; a line end at the end of the file opens no
  // further line.
  bool ReadSourceLine(std::string& line);
  // The same without a copy: the view stays valid until the next read.
  bool ReadSourceLine(std::string_view& line);
  bool Failed() const { return failed_; }
  // Bytes taken from the file so far, for progress reports.
  std::uint64_t BytesRead() const { return bytesRead_; }

 private:
  // Keeps the unread bytes (moved to the front) and reads more after them,
  // growing the buffer when they fill it. False when the file has no more.
  bool Refill();
  // Index of the next such byte at or after the position, count_ when none;
  // `next` keeps where the last search ended, so each byte is searched once.
  std::size_t NextInBuffer(std::size_t& next, char byte);

  std::FILE* file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t count_ = 0;
  std::size_t position_ = 0;
  // A found byte, or where the search stopped at the end of the data.
  std::size_t nextLf_ = 0;
  std::size_t nextCr_ = 0;
  std::uint64_t bytesRead_ = 0;
  bool previousWasCr_ = false;
  bool returnedLine_ = false;
  bool atEnd_ = false;
  bool failed_ = false;
};

// Cuts the next field off the front of `rest`; leading spaces are skipped. A
// leading quoted part may hold separators; the remainder after a separator is
// cut to 999 characters.
//   (',', "a,,c")        -> ("a", ",c"), then ("", "c"), then ("c", "")
//   (',', "\"x,y\",z")   -> ("\"x,y\"", "z")
//   (' ', "1  2")        -> ("1", " 2"), then ("2", "")
std::pair<std::string_view, std::string_view> NextField(char separator, std::string_view rest);
// Drops one pair of enclosing double quotes.
std::string_view StripQuotes(std::string_view text);
// Trims blanks and control characters from both ends.
std::string_view TrimText(std::string_view text);

// Called before a file other than the current source file is loaded (the
// associated settings offer); it may replace the settings.
using BeforeNewSourceFile = std::function<void(const std::string& path)>;

// Loads or reloads a source file; every failure ends in a message.
void LoadSourceFile(AppState& state, UserInterface& ui, const std::string& path,
                    const BeforeNewSourceFile& beforeNewFile = {});

}  // namespace zevi
