#include "platform/safesave.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "platform/atomicfile.h"
#include "platform/folders.h"

namespace zevi {

namespace {

constexpr std::string_view kTemporaryMark = ".zevi-tmp-";
constexpr std::string_view kEarlierMark = ".~";

// "<pid>-<attempt>" and nothing more; the pid must be positive.
std::optional<long> PidAndAttempt(std::string_view rest) {
  std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) return std::nullopt;
  auto isDigits = [](std::string_view digits) {
    for (char c : digits)
      if (c < '0' || c > '9') return false;
    return true;
  };
  std::string_view pidText = rest.substr(0, dash);
  std::string_view attemptText = rest.substr(dash + 1);
  if (!isDigits(pidText) || !isDigits(attemptText)) return std::nullopt;
  long pid = 0;
  auto [end, error] = std::from_chars(pidText.data(), pidText.data() + pidText.size(), pid);
  if (error != std::errc() || end != pidText.data() + pidText.size() || pid <= 0) return std::nullopt;
  return pid;
}

bool ProcessAlive(long pid) {
  if (pid > INT_MAX) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

std::string TemporaryName(const std::string& targetName, long pid, int attempt) {
  return "." + targetName + std::string(kTemporaryMark) + std::to_string(pid) + "-" +
         std::to_string(attempt);
}

std::optional<long> TemporaryOwner(const std::string& name, const std::string& targetName) {
  std::string_view text = name;
  if (targetName.empty()) return std::nullopt;
  const std::string current = "." + targetName + std::string(kTemporaryMark);
  if (text.substr(0, current.size()) == current) return PidAndAttempt(text.substr(current.size()));
  const std::string earlier = targetName + std::string(kEarlierMark);
  if (text.substr(0, earlier.size()) == earlier) return PidAndAttempt(text.substr(earlier.size()));
  return std::nullopt;
}

int RemoveStaleTemporaries(const std::string& target) {
  const std::string folder = FolderPart(target);
  const std::string name = NamePart(target);
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) return 0;
  const std::time_t now = std::time(nullptr);
  const auto staleSeconds = std::chrono::seconds(kStaleTemporaryAge).count();
  int removed = 0;
  while (const dirent* entry = ::readdir(directory)) {
    auto pid = TemporaryOwner(entry->d_name, name);
    if (!pid) continue;
    const std::string path = folder + "/" + entry->d_name;
    struct stat info;
    // Links and other users' files are never ours to remove.
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
      continue;
    bool old = now - info.st_mtime > staleSeconds;
    if ((old || !ProcessAlive(*pid)) && ::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(directory);
  return removed;
}

bool UserMayWrite(const std::string& path) {
  if (path.empty()) return false;
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) return !S_ISDIR(info.st_mode) && !IsReadOnly(path);
  if (errno != ENOENT) return false;
  return ::access(FolderPart(path).c_str(), W_OK | X_OK) == 0;
}

bool SaveWholeFile(const std::string& path, const std::string& text) {
  if (path.empty()) return false;
  std::string target = path;
  struct stat info;
  if (::lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    // The user's word is on the file the link points to.
    char resolved[PATH_MAX];
    if (::realpath(target.c_str(), resolved) != nullptr) target = resolved;
  }
  if (!UserMayWrite(target)) return false;
  AtomicFile file;
  return file.Open(target) == 0 && file.Write(text) == 0 && file.Commit() == 0;
}

std::string FolderPart(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NamePart(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SystemErrorText(int error) {
  static const locale_t english = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (english == static_cast<locale_t>(0)) return "Error " + std::to_string(error);
  return ::strerror_l(error, english);
}

}  // namespace zevi
