#include "settings/recent.h"

#include <algorithm>

#include "settings/files.h"

namespace zevi {

namespace {
constexpr std::size_t kShortenedHeadLength = 3;
constexpr std::size_t kShortenedTailLength = 34;
}  // namespace

void AddRecentFile(RecentFiles& recent, const std::string& path) {
  if (path.empty()) return;
  auto& files = recent.files;
  auto same = std::find(files.begin(), files.end(), path);
  if (same != files.end()) files.erase(same);
  if (files.size() >= static_cast<std::size_t>(kRecentFileCount)) {
    files.resize(kRecentFileCount - 1);
  }
  files.insert(files.begin(), path);
  recent.lastFolder = FolderOf(path);
  recent.lastFile = path;
}

std::string RecentDisplayName(const std::string& path, const std::string& lastFolder) {
  if (FolderOf(path) == lastFolder) return FileNameOf(path);
  if (path.size() <= kMaxRecentNameLength) return path;
  return path.substr(0, kShortenedHeadLength) + "..." +
         path.substr(path.size() - kShortenedTailLength);
}

std::vector<std::string> RecentMenuCaptions(const RecentFiles& recent) {
  std::vector<std::string> captions(kRecentMenuEntries);
  for (std::size_t i = 0; i < captions.size() && i < recent.files.size(); ++i) {
    std::string name = RecentDisplayName(recent.files[i], recent.lastFolder);
    // A lone '&' in a name would turn the next letter into an access key.
    std::string shown;
    for (char c : name) {
      shown += c;
      if (c == '&') shown += '&';
    }
    captions[i] = "&" + std::to_string(i + 1) + " " + shown;
  }
  return captions;
}

}  // namespace zevi
