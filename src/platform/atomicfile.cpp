#include "platform/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/lateclose.h"
#include "platform/safesave.h"

namespace zevi {

namespace {

int CloseFd(int fd) {
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) return errno;
  return 0;
}

// A hidden name beside the target that a later save recognises as a
// leftover; a name taken by another run is skipped, not reused.
std::string TemporaryPath(const std::string& target, int attempt) {
  std::string folder = FolderPart(target);
  if (folder != "/") folder += '/';
  return folder + TemporaryName(NamePart(target), ::getpid(), attempt);
}

// A rename is on disk only once its folder is.
void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int AtomicFile::Open(const std::string& path) {
  Discard();
  if (path == kStandardOutputName) {
    fd_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    kind_ = Kind::InPlace;
    return fd_ < 0 ? errno : 0;
  }
  target_ = path;
  struct stat info;
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) target_ = resolved;
  }
  replacing_ = ::stat(target_.c_str(), &info) == 0;
  if (replacing_) {
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (!S_ISREG(info.st_mode)) {
      fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
      kind_ = Kind::InPlace;
      return fd_ < 0 ? errno : 0;
    }
    // Never replace what the user could not have written.
    if (::access(target_.c_str(), W_OK) != 0) return errno;
    mode_ = info.st_mode & 07777;
    owner_ = info.st_uid;
    group_ = info.st_gid;
  } else if (errno != ENOENT) {
    return errno;
  }
  RemoveStaleTemporaries(target_);
  return OpenTemporary(FolderPart(target_));
}

int AtomicFile::OpenTemporary(const std::string& folder) {
  // An unnamed file vanishes by itself when the program dies; it needs /proc
  // to be given a name at the end.
  if (::access("/proc/self/fd", X_OK) == 0) {
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      kind_ = Kind::Unnamed;
      return 0;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
  }
  kind_ = Kind::Named;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = TemporaryPath(target_, attempt);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) return 0;
    if (errno != EEXIST) break;
  }
  int error = errno;
  temporary_.clear();
  return error;
}

int AtomicFile::Write(std::string_view bytes) {
  if (fd_ < 0) return EBADF;
  while (!bytes.empty()) {
    ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return EIO;
    bytes.remove_prefix(static_cast<std::size_t>(written));
    size_ += static_cast<std::uint64_t>(written);
  }
  StartWriteBack();
  return 0;
}

void AtomicFile::StartWriteBack() {
  // Only a temporary is synced at the end; a device or pipe is written as it comes.
  if (kind_ == Kind::InPlace || size_ - startedUpTo_ < kWriteBackStep) return;
  // Without this the whole file waits in memory for the final sync, which
  // then takes as long as writing it all out. A hint: a failure shows at the sync.
  ::sync_file_range(fd_, static_cast<off_t>(startedUpTo_), static_cast<off_t>(size_ - startedUpTo_),
                    SYNC_FILE_RANGE_WRITE);
  startedUpTo_ = size_;
  if (size_ - syncedUpTo_ >= kSyncStep) {
    sync_.Ask(fd_);
    syncedUpTo_ = size_;
  }
}

int AtomicFile::Commit() {
  if (fd_ < 0) return EBADF;
  if (kind_ == Kind::InPlace) {
    int error = CloseFd(fd_);
    fd_ = -1;
    Reset();
    return error;
  }
  if (replacing_) {
    // The owner first: changing it clears the set-id bits that fchmod then restores.
    if (::fchown(fd_, owner_, group_) != 0) {
      // Not ours to give away: the file stays the writer's.
    }
    ::fchmod(fd_, mode_);
  }
  const int behind = sync_.Finish();
  int error = ::fsync(fd_) == 0 ? 0 : errno;
  if (error == 0) error = behind;
  if (error == 0 && kind_ == Kind::Unnamed) {
    std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
      temporary_ = TemporaryPath(target_, attempt);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary_.c_str(), AT_SYMLINK_FOLLOW) == 0)
        break;
      error = errno;
      temporary_.clear();
      if (error != EEXIST) break;
    }
    if (!temporary_.empty()) error = 0;
  }
  int closeError = CloseFd(fd_);
  fd_ = -1;
  if (error == 0) error = closeError;
  // The file replaced, held so that freeing its blocks waits for its close.
  int old = -1;
  if (error == 0 && replacing_) old = HoldForLateClose(target_.c_str());
  if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) error = errno;
  if (error == 0) {
    SyncFolder(FolderPart(target_));
    temporary_.clear();
  }
  if (error == 0) {
    CloseLate(old);
  } else if (old >= 0) {
    ::close(old);
  }
  Reset();
  return error;
}

void AtomicFile::Discard() {
  sync_.Finish();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  Reset();
}

void AtomicFile::Reset() {
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  target_.clear();
  replacing_ = false;
  size_ = 0;
  startedUpTo_ = 0;
  syncedUpTo_ = 0;
}

}  // namespace zevi
