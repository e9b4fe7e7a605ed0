#include "platform/ini.h"

#include "platform/safesave.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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
  loadFailure_.clear();
  struct stat info;
  if (::stat(path_.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return true;
    loadFailure_ = SystemErrorText(errno);
    return false;
  }
  // The owner's read bit counts as a refusal for root too, as the read-only
  // test does: a file that one account cannot read is left alone by all.
  if ((info.st_mode & S_IRUSR) == 0 && (info.st_uid == ::geteuid() || ::geteuid() == 0)) {
    loadFailure_ = SystemErrorText(EACCES);
    return false;
  }
  std::FILE* file = std::fopen(path_.c_str(), "rb");
  if (file == nullptr) {
    loadFailure_ = SystemErrorText(errno);
    return false;
  }
  std::string text;
  char buffer[8192];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
  bool failed = std::ferror(file) != 0;
  int error = errno;
  std::fclose(file);
  if (failed) {
    loadFailure_ = SystemErrorText(error);
    return false;
  }
  SetText(text);
  return true;
}

bool IniFile::Save() const {
  // What could not be read is not known: writing would lose it.
  if (!loadFailure_.empty()) return false;
  return SaveWholeFile(path_, Text());
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

void IniFile::EraseKey(const std::string& section, const std::string& key) {
  std::vector<std::string> kept;
  kept.reserve(lines_.size());
  bool inSection = false;
  for (std::string& line : lines_) {
    if (auto name = SectionName(line)) {
      inSection = SameName(*name, section);
    } else if (inSection) {
      auto entry = SplitKeyLine(line);
      if (entry && SameName(entry->key, key)) continue;
    }
    kept.push_back(std::move(line));
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
