#pragma once
// Loading a source into the table. The source (a file, a pipe, a device, or
// standard input for "-") is read once, whole, into memory; one walk over the
// bytes finds the lines, the separator and the number of columns; the table
// keeps the text and cuts a row into cells when it is read.
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

 private:
  // Index of the next such byte at or after the position, the text's size
  // when none; `next` keeps where the last search ended, so each byte is
  // searched once.
  std::size_t NextInText(std::size_t& next, char byte);

  std::string_view text_;
  std::size_t position_ = 0;
  std::size_t nextLf_ = 0;
  std::size_t nextCr_ = 0;
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

 private:
  friend SourceFileHandle OpenSourceFile(const std::string& path);
  struct Closer {
    void operator()(std::FILE* file) const {
      if (file != stdin) std::fclose(file);
    }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::uint64_t sizeHint_ = 0;
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

// Loads or reloads a source; every failure ends in a message. A failure
// after reading began (memory, a line too long, too many lines) leaves the
// table empty and no current source file.
void LoadSourceFile(AppState& state, UserInterface& ui, const std::string& path,
                    const BeforeNewSourceFile& beforeNewFile = {}, const LoadLimits& limits = {});

}  // namespace zevi
