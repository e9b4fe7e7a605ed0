#include "settings/files.h"

#include <algorithm>
#include <cctype>

#include "platform/folders.h"

namespace zevi {

namespace {

constexpr std::size_t kMaxStrippedLength = 6;   // ".abcde": longer extensions lose only this much
constexpr std::size_t kMaxPatternLength = 7;    // "*.abcde"
constexpr std::size_t kMaxFilterEntryLength = 60;

// Position of the extension's dot, or npos: the last dot after the last '/'.
std::size_t ExtensionStart(const std::string& path) {
  std::size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return std::string::npos;
  return dot;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string StripExtension(const std::string& path) {
  std::size_t dot = ExtensionStart(path);
  if (dot == std::string::npos) return path;
  std::size_t removed = std::min(path.size() - dot, kMaxStrippedLength);
  return path.substr(0, path.size() - removed);
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
  std::size_t dot = ExtensionStart(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

DialogFilter BuildDialogFilter(const std::string& extension, std::vector<std::string>& list) {
  const std::string pattern = UpperCase("*" + extension).substr(0, kMaxPatternLength);
  DialogFilter filter;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string& entry = list[i];
    if (i > 0) filter.text += '|';
    filter.text += entry.substr(0, kMaxFilterEntryLength);

    std::size_t bar = entry.find('|');
    if (bar == std::string::npos) continue;
    std::string patterns = UpperCase(entry.substr(bar + 1));
    std::size_t start = 0;
    for (;;) {
      std::size_t end = patterns.find(';', start);
      std::string one = patterns.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (one.substr(0, kMaxPatternLength) == pattern) filter.index = static_cast<int>(i);
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  // A '|' or ';' in a file's extension would split the new entry into bogus
  // description/pattern pairs for the rest of the run.
  bool usable = !extension.empty() && extension.find_first_of("|;") == std::string::npos;
  if (filter.index < 0 && usable) {
    std::string entry = ("(*" + extension + ")|*" + extension).substr(0, kMaxFilterEntryLength);
    list.push_back(entry);
    filter.text = filter.text.empty() ? entry : entry + "|" + filter.text;
    filter.index = 0;
  }
  return filter;
}

std::string UnreadableFileMessage(const std::string& path, const std::string& reason) {
  return "Unable to read " + path + "\r\n" + reason + ": the file is left as it is.";
}

std::string UnableToWriteMessage(const std::string& path, const std::string& unreadReason) {
  std::string text = "Unable to write to " + path;
  // A folder in the file's place is no file of the user's to keep.
  if (!unreadReason.empty() && FileExists(path)) {
    text += "\r\nIt cannot be read (" + unreadReason + "), so it is left as it is.";
  }
  return text;
}

}  // namespace zevi
