#include "platform/lateclose.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace zevi {

namespace {

constexpr off_t kWorthFrom = off_t{1} << 20;

// File systems that free a held file's blocks at its last close, its name
// already gone: ext2 to ext4, XFS, Btrfs, F2FS.
constexpr std::uint32_t kLocalFileSystems[] = {0xEF53, 0x58465342, 0x9123683E, 0xF2F52010};

std::atomic<LateCloseWay> way{LateCloseWay::Thread};

struct Pending {
  std::mutex mutex;
  std::condition_variable done;
  int threads = 0;
  std::vector<pid_t> children;
};

Pending& pending() {
  // Never destroyed: a detached thread may still be closing at exit.
  static Pending* state = new Pending;
  return *state;
}

void Reap(Pending& state, bool wait) {
  std::lock_guard lock(state.mutex);
  std::erase_if(state.children, [wait](pid_t child) {
    int status = 0;
    const pid_t done = ::waitpid(child, &status, wait ? 0 : WNOHANG);
    return done == child || (done < 0 && errno != EINTR);
  });
}

// In the child only system calls: the parent's other threads may have held
// any lock at the fork. Every other descriptor goes first, so that a pipe
// the parent writes to sees its end when the parent exits, not after this.
[[noreturn]] void CloseInChild(int fd) {
  if (::syscall(SYS_close_range, 0u, static_cast<unsigned>(fd) - 1u, 0u) != 0 ||
      ::syscall(SYS_close_range, static_cast<unsigned>(fd) + 1u, ~0u, 0u) != 0) {
    for (int other = 0; other < 1024; ++other) {
      if (other != fd) ::close(other);
    }
  }
  ::close(fd);
  ::_exit(0);
}

bool CloseInChildProcess(int fd) {
  Pending& state = pending();
  Reap(state, false);
  const pid_t child = ::fork();
  if (child == 0) CloseInChild(fd);
  if (child < 0) return false;
  {
    std::lock_guard lock(state.mutex);
    state.children.push_back(child);
  }
  ::close(fd);
  return true;
}

bool CloseOnThread(int fd) {
  Pending& state = pending();
  {
    std::lock_guard lock(state.mutex);
    ++state.threads;
  }
  try {
    std::thread([fd, &state] {
      ::close(fd);
      std::lock_guard lock(state.mutex);
      --state.threads;
      state.done.notify_all();
    }).detach();
    return true;
  } catch (const std::system_error&) {
    std::lock_guard lock(state.mutex);
    --state.threads;
    return false;
  }
}

}  // namespace

void SetLateCloseWay(LateCloseWay chosen) { way = chosen; }

bool WorthClosingLate(int fd) {
  struct stat info;
  struct statfs system;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < kWorthFrom) return false;
  if (::fstatfs(fd, &system) != 0) return false;
  const auto type = static_cast<std::uint32_t>(system.f_type);
  return std::find(std::begin(kLocalFileSystems), std::end(kLocalFileSystems), type) !=
         std::end(kLocalFileSystems);
}

void CloseLate(int fd) {
  if (fd < 0) return;
  const bool handed = way == LateCloseWay::ChildProcess ? CloseInChildProcess(fd) : CloseOnThread(fd);
  if (!handed) ::close(fd);
}

void WaitForLateCloses() {
  Pending& state = pending();
  Reap(state, true);
  std::unique_lock lock(state.mutex);
  state.done.wait(lock, [&] { return state.threads == 0; });
}

}  // namespace zevi
