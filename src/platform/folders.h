#pragma once
// The folders and files the converter needs from the system: the per-user
// configuration and documents folders, folder creation, existence and
// read-only tests, and the program file's own path. Paths use '/'.
#include <string>

namespace zevi {

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config; empty
// when neither is known. Stands in for the application data folder.
std::string ApplicationDataFolder();

// The personal documents folder: $XDG_DOCUMENTS_DIR, else the XDG_DOCUMENTS_DIR
// line of user-dirs.dirs in the configuration folder ("$HOME/..." or an
// absolute path), else $HOME/Documents; empty when none is known.
std::string PersonalDocumentsFolder();

// Makes the folder exist, creating missing parents first. True when it is a
// folder afterwards. An empty path is never a folder.
bool ForceFolder(const std::string& path);

// True for anything at the path that is not a folder.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// An existing file that cannot be written, or whose owner may not write it
// (the read-only attribute; so the answer is the same for root).
bool IsReadOnly(const std::string& path);

// Full path of the running program file; empty when the system will not say.
std::string ProgramFilePath();

// The program folder, ending with '/': where the datum and grid lists are
// read. The program file's own folder when `listFile` lies there (the build
// tree, or a copy carried around); otherwise the data folder of an installed
// tree, found from the program file's folder ("/opt/z/bin/zevi-convert" gives
// "/opt/z/share/zevi-fileconv/") when that folder exists, so a tree works
// from any prefix and after being moved; otherwise the program file's own
// folder again, so that messages name the place that was looked at.
// Empty for an empty `programFile`.
std::string ProgramFolder(const std::string& programFile, const std::string& listFile);

}  // namespace zevi
