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

// A settings or configuration file that exists but cannot be read is never
// written over. The messages name the file and the system's reason:
//   "Unable to read /d/walk.ini\r\nPermission denied: the file is left as it is."
std::string UnreadableFileMessage(const std::string& path, const std::string& reason);
// "Unable to write to " + path; when a file at the path could not be read
// (a non-empty reason), a second line says so:
//   "Unable to write to /d/walk.ini\r\nIt cannot be read (Permission denied), so it is left as it is."
std::string UnableToWriteMessage(const std::string& path, const std::string& unreadReason = "");

}  // namespace zevi
