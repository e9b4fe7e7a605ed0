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

#include "platform/folders.h"

namespace zevi {

namespace {

constexpr std::string_view kTemporaryMark = ".zevi-tmp-";
constexpr std::string_view kEarlierMark = ".~";
constexpr int kMaxAttempts = 100;

std::string FolderPart(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NamePart(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

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

bool WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

// Devices and pipes cannot be replaced by a rename: they are written in place.
bool WriteInPlace(const std::string& path, const std::string& text) {
  int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  if (::close(fd) != 0) ok = false;
  return ok;
}

bool WriteThroughTemporary(const std::string& path, const std::string& text,
                           const struct stat* existing) {
  RemoveStaleTemporaries(path);
  const std::string folder = FolderPart(path) + "/";
  const std::string name = NamePart(path);
  std::string temporary;
  int fd = -1;
  // A name left by a save of a process with the same id is skipped, not reused.
  for (int attempt = 0; attempt < kMaxAttempts && fd < 0; ++attempt) {
    temporary = folder + TemporaryName(name, ::getpid(), attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  if (ok && existing != nullptr) ::fchmod(fd, existing->st_mode & 07777);
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
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
    // Replace the file the link points to, not the link.
    char resolved[PATH_MAX];
    if (::realpath(target.c_str(), resolved) != nullptr) target = resolved;
  }
  if (!UserMayWrite(target)) return false;
  if (::stat(target.c_str(), &info) != 0) return WriteThroughTemporary(target, text, nullptr);
  if (!S_ISREG(info.st_mode)) return WriteInPlace(target, text);
  return WriteThroughTemporary(target, text, &info);
}

std::string SystemErrorText(int error) {
  static const locale_t english = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (english == static_cast<locale_t>(0)) return "Error " + std::to_string(error);
  return ::strerror_l(error, english);
}

}  // namespace zevi
