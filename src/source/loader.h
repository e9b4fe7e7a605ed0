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

inline constexpr std::size_t kReadBufferSize = 4096;

// An open source file, closed when the handle goes. Its stream reads ahead in
// large blocks, so the line reader's small buffer costs no system call each.
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
  std::unique_ptr<char[]> streamBuffer_;  // declared first: outlives the stream
  std::unique_ptr<std::FILE, Closer> file_;
};

// Opens a source file for reading; an empty handle with errno set on failure,
// also for a folder.
SourceFileHandle OpenSourceFile(const std::string& path);
inline constexpr std::size_t kMaxRestLength = 999;

// Lines of one pass: CR LF, LF and CR end a line; after a CR every LF up to
// the next other byte is skipped. Lines are trimmed; a line shorter than two
// characters reads as empty.
class SourceLineReader {
 public:
  explicit SourceLineReader(std::FILE* file) : file_(file) {}
  // False at the end of the file (after the last line was returned). An empty
  // file reads as one empty line; a line end at the end of the file opens no
  // further line.
  bool ReadSourceLine(std::string& line);
  bool Failed() const { return failed_; }
  // Bytes taken from the file so far, for progress reports.
  std::uint64_t BytesRead() const { return bytesRead_; }

 private:
  // False when the buffer is used up and the file has no more bytes.
  bool Fill();

  std::FILE* file_;
  char buffer_[kReadBufferSize];
  std::size_t count_ = 0;
  std::size_t position_ = 0;
  // Index of the next such byte at or after the position, count_ when none.
  std::size_t FindInBuffer(char byte) const;

  // Next line feed and carriage return found in the buffer, kept so that each
  // byte of the buffer is searched once; kNotSearched after a refill.
  static constexpr std::size_t kNotSearched = static_cast<std::size_t>(-1);
  std::size_t nextLf_ = kNotSearched;
  std::size_t nextCr_ = kNotSearched;
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
