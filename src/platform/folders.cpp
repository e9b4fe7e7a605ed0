#include "platform/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <system_error>
#include <filesystem>

// Where the installed data folder lies, seen from the installed bin folder;
// the build passes the same relative path that its install rules use.
#ifndef ZEVI_INSTALLED_DATA_FROM_BIN
#define ZEVI_INSTALLED_DATA_FROM_BIN "../share/zevi-fileconv"
#endif

namespace zevi {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

// The value of one line of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Documents".
// Only "$HOME/..." and absolute paths are valid there.
std::string UserDirsValue(const std::string& line, const std::string& home) {
  const std::string key = "XDG_DOCUMENTS_DIR=";
  std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line.compare(start, key.size(), key) != 0) return {};
  std::string value = line.substr(start + key.size());
  while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t')) {
    value.pop_back();
  }
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') return {};
  value = value.substr(1, value.size() - 2);
  if (value.rfind("$HOME", 0) == 0) {
    if (home.empty()) return {};
    value = home + value.substr(5);
  }
  return IsAbsolute(value) ? value : std::string();
}

std::string DocumentsFromUserDirs(const std::string& home) {
  std::string config = ApplicationDataFolder();
  if (config.empty()) return {};
  std::ifstream file(config + "/user-dirs.dirs");
  std::string line;
  std::string found;
  while (std::getline(file, line)) {
    std::string value = UserDirsValue(line, home);
    if (!value.empty()) found = value;  // the last assignment wins, as in a shell
  }
  return found;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string ApplicationDataFolder() {
  std::string config = Environment("XDG_CONFIG_HOME");
  if (IsAbsolute(config)) return WithoutTrailingSlashes(config);
  std::string home = Environment("HOME");
  if (IsAbsolute(home)) return WithoutTrailingSlashes(home) + "/.config";
  return {};
}

std::string PersonalDocumentsFolder() {
  std::string documents = Environment("XDG_DOCUMENTS_DIR");
  if (IsAbsolute(documents)) return WithoutTrailingSlashes(documents);
  std::string home = Environment("HOME");
  if (!IsAbsolute(home)) home.clear();
  home = WithoutTrailingSlashes(home);
  documents = DocumentsFromUserDirs(home);
  if (!documents.empty()) return WithoutTrailingSlashes(documents);
  return home.empty() ? std::string() : home + "/Documents";
}

bool ForceFolder(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return FolderExists(path);
}

bool FileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsReadOnly(const std::string& path) {
  struct stat info;
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return false;
  if ((info.st_mode & S_IWUSR) == 0) return true;
  return ::access(path.c_str(), W_OK) != 0;
}

std::string ProgramFilePath() {
  std::string buffer(256, '\0');
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ProgramFolder(const std::string& programFile, const std::string& listFile) {
  std::size_t slash = programFile.rfind('/');
  if (slash == std::string::npos) return programFile.empty() ? std::string() : "./";
  std::string beside = programFile.substr(0, slash + 1);
  if (FileExists(beside + listFile)) return beside;
  std::string installed =
      (std::filesystem::path(beside) / ZEVI_INSTALLED_DATA_FROM_BIN).lexically_normal().string();
  if (!FolderExists(installed)) return beside;
  return installed.back() == '/' ? installed : installed + "/";
}

}  // namespace zevi
