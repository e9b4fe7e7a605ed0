#pragma once
// Reading the datum and grid list files: whole files of single-byte text,
// lines ended by CR LF, LF or CR, and the column cuts their layouts use.
#include <string>
#include <string_view>

namespace zevi::listfile {

enum class Status { Read, Missing, Unreadable };

// A directory of that name counts as missing. `text` holds the whole file on Read.
Status Read(const std::string& path, std::string& text);

// Steps through the lines of a text without their line ends. A last line
// without an end counts; an end at the very end adds no empty line.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line);
  // The next line, or an empty one at the end of the text (as reading past
  // the end of a list file gives).
  std::string_view NextOrEmpty();

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// a-z only: the lists are compared the way the names were written, byte for byte otherwise.
std::string UpperCase(std::string_view text);
// Characters first..first+count-1 (1-based) as far as the text reaches.
std::string_view Columns(std::string_view text, std::size_t first, std::size_t count);
// The name of a datum line: columns 5-25, trimmed.
std::string_view DatumLineName(std::string_view line);

}  // namespace zevi::listfile
