#include "geodesy/listfile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "source/loader.h"

namespace zevi::listfile {

Status Read(const std::string& path, std::string& text) {
  std::error_code error;
  const auto kind = std::filesystem::status(path, error).type();
  if (error || kind == std::filesystem::file_type::not_found ||
      kind == std::filesystem::file_type::directory) {
    return Status::Missing;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) return Status::Unreadable;
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return file.bad() ? Status::Unreadable : Status::Read;
}

bool Lines::Next(std::string_view& line) {
  if (pos_ >= text_.size()) return false;
  const std::size_t end = text_.find_first_of("\r\n", pos_);
  if (end == std::string_view::npos) {
    line = text_.substr(pos_);
    pos_ = text_.size();
    return true;
  }
  line = text_.substr(pos_, end - pos_);
  pos_ = end + 1;
  if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  return true;
}

std::string_view Lines::NextOrEmpty() {
  std::string_view line;
  return Next(line) ? line : std::string_view();
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string_view Columns(std::string_view text, std::size_t first, std::size_t count) {
  if (first == 0 || first > text.size()) return {};
  return text.substr(first - 1, count);
}

std::string_view DatumLineName(std::string_view line) { return TrimText(Columns(line, 5, 21)); }

}  // namespace zevi::listfile
