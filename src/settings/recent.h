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

}  // namespace zevi
