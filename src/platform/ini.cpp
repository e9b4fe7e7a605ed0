#include "platform/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace zevi {

namespace {

constexpr std::size_t kMaxValueLength = 1023;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// "[name]" with optional blanks around and inside the brackets.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

// Comments (";") and lines without "=" hold no key.
std::optional<KeyLine> SplitKeyLine(std::string_view line) {
  std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return KeyLine{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

// A value never spans lines: a line break would start a line of its own.
std::string OneLine(const std::string& text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

bool WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

// Devices and pipes cannot be replaced by a rename: they are written in place.
bool WriteInPlace(const std::string& path, const std::string& text) {
  int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  if (::close(fd) != 0) ok = false;
  return ok;
}

bool WriteThroughTemporary(const std::string& path, const std::string& text,
                           const struct stat* existing) {
  std::string temporary;
  int fd = -1;
  // A name left over by a crashed save is skipped, not reused.
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = path + ".~" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  if (ok && existing != nullptr) ::fchmod(fd, existing->st_mode & 07777);
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

std::optional<std::string_view> FindValue(const std::vector<std::string>& lines,
                                          std::string_view section, std::string_view key) {
  bool inSection = false;
  for (const std::string& line : lines) {
    if (auto name = SectionName(line)) {
      inSection = SameName(*name, section);
      continue;
    }
    if (!inSection) continue;
    auto entry = SplitKeyLine(line);
    if (entry && SameName(entry->key, key)) return entry->value;
  }
  return std::nullopt;
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

bool IniFile::Load() {
  lines_.clear();
  std::FILE* file = std::fopen(path_.c_str(), "rb");
  if (file == nullptr) return errno == ENOENT || errno == ENOTDIR;
  std::string text;
  char buffer[8192];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return false;
  SetText(text);
  return true;
}

bool IniFile::Save() const {
  if (path_.empty()) return false;
  std::string target = path_;
  struct stat info;
  if (::lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    // Replace the file the link points to, not the link.
    char resolved[PATH_MAX];
    if (::realpath(target.c_str(), resolved) != nullptr) target = resolved;
  }
  if (::stat(target.c_str(), &info) != 0)
    return errno == ENOENT && WriteThroughTemporary(target, Text(), nullptr);
  if (!S_ISREG(info.st_mode)) return WriteInPlace(target, Text());
  return WriteThroughTemporary(target, Text(), &info);
}

std::string IniFile::Get(const std::string& section, const std::string& key,
                         const std::string& fallback) const {
  auto value = FindValue(lines_, section, key);
  return value ? std::string(value->substr(0, kMaxValueLength)) : fallback;
}

bool IniFile::Has(const std::string& section, const std::string& key) const {
  return FindValue(lines_, section, key).has_value();
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  const std::string newLine = key + "=" + OneLine(value);
  bool inSection = false;
  std::optional<std::size_t> insertAt;  // after the section's last non-blank line
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (auto name = SectionName(lines_[i])) {
      if (insertAt) break;  // the first section of that name is the one written
      inSection = SameName(*name, section);
      if (inSection) insertAt = i + 1;
      continue;
    }
    if (!inSection) continue;
    auto entry = SplitKeyLine(lines_[i]);
    if (entry && SameName(entry->key, key)) {
      lines_[i] = newLine;
      return;
    }
    if (!Trim(lines_[i]).empty()) insertAt = i + 1;
  }
  if (insertAt) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAt), newLine);
    return;
  }
  lines_.push_back("[" + section + "]");
  lines_.push_back(newLine);
}

void IniFile::EraseSection(const std::string& section) {
  std::vector<std::string> kept;
  kept.reserve(lines_.size());
  bool erasing = false;
  for (std::string& line : lines_) {
    if (auto name = SectionName(line)) erasing = SameName(*name, section);
    if (!erasing) kept.push_back(std::move(line));
  }
  lines_ = std::move(kept);
}

std::string IniFile::Text() const {
  std::string text;
  std::size_t size = 0;
  for (const std::string& line : lines_) size += line.size() + 2;
  text.reserve(size);
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void IniFile::SetText(const std::string& text) {
  lines_.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines_.emplace_back(text, start, stop - start);
    start = end + 1;
  }
}

}  // namespace zevi
