#pragma once
// The recent source files, newest first.
#include <string>
#include <vector>

namespace zevi {

inline constexpr int kRecentFileCount = 10;
inline constexpr int kRecentMenuEntries = 9;

struct RecentFiles {
  std::vector<std::string> files;  // newest first, no two equal
  std::string lastFile;
  std::string lastFolder;          // with its trailing '/'
};

// Puts the path at the top (at most ten entries) and makes it the last file.
void AddRecentFile(RecentFiles& recent, const std::string& path);

// A file as its menu entry names it: the name alone when it lies in the last
// folder, else the path, shortened to its first 3 and last 34 characters
// around "..." when it is longer than 40.
//   "/d/a.txt" with last folder "/d/"   -> "a.txt"
//   "/d/a.txt" with last folder "/e/"   -> "/d/a.txt"
inline constexpr std::size_t kMaxRecentNameLength = 40;
std::string RecentDisplayName(const std::string& path, const std::string& lastFolder);

// Captions of the nine "File" menu entries: "&1 " + display name, ... ('&'
// of a name doubled, so it shows as itself); an empty caption means the
// entry is hidden.
std::vector<std::string> RecentMenuCaptions(const RecentFiles& recent);

}  // namespace zevi
