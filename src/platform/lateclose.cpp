#include "platform/lateclose.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#if __has_include(<linux/io_uring.h>)
#include <linux/io_uring.h>
#define ZEVI_HAS_IO_URING 1
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

namespace zevi {

namespace {

constexpr off_t kWorthFrom = off_t{1} << 20;

// File systems that free a held file's blocks at its last close, its name
// already gone: ext2 to ext4, XFS, Btrfs, F2FS.
constexpr std::uint32_t kLocalFileSystems[] = {0xEF53, 0x58465342, 0x9123683E, 0xF2F52010};

std::atomic<LateCloseWay> firstWay{LateCloseWay::Kernel};

struct Threads {
  std::mutex mutex;
  std::condition_variable done;
  int running = 0;
};

Threads& threads() {
  // Never destroyed: a detached thread may still be closing at exit.
  static Threads* state = new Threads;
  return *state;
}

bool WorthHolding(int fd) {
  struct stat info;
  struct statfs system;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < kWorthFrom) return false;
  if (::fstatfs(fd, &system) != 0) return false;
  const auto type = static_cast<std::uint32_t>(system.f_type);
  return std::find(std::begin(kLocalFileSystems), std::end(kLocalFileSystems), type) !=
         std::end(kLocalFileSystems);
}

// The file registered with a new instance, this process's descriptor closed,
// then the instance's: the instance held the last reference, and the kernel
// drops it on its own worker.
bool HandToKernel(int fd) {
#if defined(ZEVI_HAS_IO_URING) && defined(__NR_io_uring_setup) && defined(__NR_io_uring_register)
  io_uring_params params{};
  const auto ring = static_cast<int>(::syscall(__NR_io_uring_setup, 1, &params));
  if (ring < 0) return false;
  if (::syscall(__NR_io_uring_register, ring, IORING_REGISTER_FILES, &fd, 1) != 0) {
    ::close(ring);
    return false;
  }
  ::close(fd);
  ::close(ring);
  return true;
#else
  (void)fd;
  return false;
#endif
}

bool CloseOnThread(int fd) {
  Threads& state = threads();
  {
    std::lock_guard lock(state.mutex);
    ++state.running;
  }
  try {
    std::thread([fd, &state] {
      ::close(fd);
      std::lock_guard lock(state.mutex);
      --state.running;
      state.done.notify_all();
    }).detach();
    return true;
  } catch (const std::system_error&) {
    std::lock_guard lock(state.mutex);
    --state.running;
    return false;
  }
}

}  // namespace

void SetLateCloseWay(LateCloseWay way) { firstWay = way; }

int HoldForLateClose(const char* path) {
  // Read access for io_uring, which takes no O_PATH descriptor; O_NONBLOCK so
  // that another program's lease on the file fails the open instead of
  // holding it up.
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) fd = ::open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 && !WorthHolding(fd)) {
    ::close(fd);
    fd = -1;
  }
  return fd;
}

LateCloseWay CloseLate(int fd) {
  if (fd < 0) return LateCloseWay::Here;
  if (firstWay == LateCloseWay::Kernel && HandToKernel(fd)) return LateCloseWay::Kernel;
  if (CloseOnThread(fd)) return LateCloseWay::Thread;
  ::close(fd);
  return LateCloseWay::Here;
}

void WaitForLateCloses() {
  Threads& state = threads();
  std::unique_lock lock(state.mutex);
  state.done.wait(lock, [&] { return state.running == 0; });
}

}  // namespace zevi
