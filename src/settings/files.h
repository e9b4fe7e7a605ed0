#pragma once
// Path texts as the dialogs and the associated settings file need them.
#include <string>
#include <string_view>
#include <vector>

namespace zevi {

// The path without its extension (at most 6 characters with the dot).
std::string StripExtension(const std::string& path);
// Folder with its trailing '/', and the name without folder.
std::string FolderOf(const std::string& path);
std::string FileNameOf(const std::string& path);
// Extension with its dot, or empty.
std::string ExtensionOf(const std::string& path);

struct DialogFilter {
  std::string text;  // entries joined with "|"
  int index = -1;    // 0-based entry to preselect; -1: none
};
// Builds a dialog filter for an extension; may append an entry to `list`.
DialogFilter BuildDialogFilter(const std::string& extension, std::vector<std::string>& list);

}  // namespace zevi
