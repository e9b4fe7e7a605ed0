#include "platform/backgroundsync.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace zevi {

int BackgroundSync::SyncData(int fd) { return ::fdatasync(fd) == 0 ? 0 : errno; }

void BackgroundSync::Ask(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  fd_ = fd;
  pending_ = true;
  if (!thread_.joinable()) {
    stopping_ = false;
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      // No thread: the final sync then does all the flushing, as it would anyway.
      pending_ = false;
    }
    return;
  }
  asked_.notify_one();
}

int BackgroundSync::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  asked_.notify_one();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  const int error = error_;
  error_ = 0;
  fd_ = -1;
  stopping_ = false;
  return error;
}

void BackgroundSync::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    asked_.wait(lock, [this] { return pending_ || stopping_; });
    if (!pending_) return;
    pending_ = false;
    const int fd = fd_;
    lock.unlock();
    const int error = sync_(fd);
    lock.lock();
    if (error != 0 && error_ == 0) error_ = error;
  }
}

}  // namespace zevi
