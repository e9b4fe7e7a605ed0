#pragma once
// Writing a whole file so that it is never left half-written and never
// replaces a file the user may not write. The text goes to a temporary file
// beside the target, which is then renamed over it; a rename needs only the
// folder's permission, so the file's own is checked first, for the user.
//
// Temporary names are ".<name>.zevi-tmp-<pid>-<n>", a form nothing else
// makes. Those left by a save that was killed are removed at the next save of
// the same file, but only when their process is gone or they are older than
// any save takes, and only regular files of this user.
#include <chrono>
#include <optional>
#include <string>

namespace zevi {

inline constexpr std::chrono::minutes kStaleTemporaryAge{5};

// ".walk.ini.zevi-tmp-4711-0" for the target name "walk.ini".
std::string TemporaryName(const std::string& targetName, long pid, int attempt);

// The process that made a temporary file of `targetName`, read from its name:
//   ".walk.ini.zevi-tmp-4711-0"  -> 4711
//   "walk.ini.~4711-12"          -> 4711 (the form earlier versions made)
//   ".walk.ini.zevi-tmp-4711"    -> none (no attempt number)
//   ".walk.ini.zevi-tmp-47x1-0"  -> none
//   ".walk.ini.zevi-tmp--1-0"    -> none
//   ".walk.ini.zevi-tmp-4711-0~" -> none (anything after the number)
//   ".walk.INI.zevi-tmp-4711-0"  -> none (another file's)
//   "walk.ini.~backup"           -> none
std::optional<long> TemporaryOwner(const std::string& name, const std::string& targetName);

// Removes the stale temporaries of `target` from its folder; the number removed.
int RemoveStaleTemporaries(const std::string& target);

// Whether the user may write `path`: an existing file that is not read-only
// (the read-only test of folders.h), or a new file in a folder that takes
// new files. A rename would succeed in more cases; the user's word counts.
bool UserMayWrite(const std::string& path);

// Writes `text` to `path` through a temporary file. An existing file keeps
// its permissions; a device or pipe in its place is written directly. False,
// with the file as it was, when the user may not write it or any step fails.
bool SaveWholeFile(const std::string& path, const std::string& text);

// "/a/b/walk.ini" -> "/a/b" and "walk.ini"; "walk.ini" -> "." and "walk.ini";
// "/walk.ini" -> "/" and "walk.ini".
std::string FolderPart(const std::string& path);
std::string NamePart(const std::string& path);

// The system's text for an errno value, in English whatever the locale:
//   EACCES -> "Permission denied"
std::string SystemErrorText(int error);

}  // namespace zevi
