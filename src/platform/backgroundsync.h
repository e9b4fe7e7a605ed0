#pragma once
// Syncs a file being written on a thread of its own while the writer goes on.
//
// A sync costs the time to flush what was written since the one before; on a
// virtual disk that is about half a millisecond a megabyte even for data whose
// write-back is done. Synced in steps behind the writer, a large file's final
// sync has only the last step left to flush.
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zevi {

class BackgroundSync {
 public:
  // Syncs `fd`'s data; 0 or the errno.
  using SyncFunction = int (*)(int fd);
  static int SyncData(int fd);

  explicit BackgroundSync(SyncFunction sync = &SyncData) : sync_(sync) {}
  ~BackgroundSync() { Finish(); }
  BackgroundSync(const BackgroundSync&) = delete;
  BackgroundSync& operator=(const BackgroundSync&) = delete;

  // Asks for a sync of what `fd` holds so far and returns at once. The thread
  // starts at the first request; a request made while a sync runs is served
  // by one more after it. Not for two files at once: Finish first.
  void Ask(int fd);
  // Waits for the syncs asked for and returns the first error of any, or 0. The caller must still sync the file
  // itself: Linux reports a write-back error to one sync of an open file
  // only, which may have been one of these.
  int Finish();

 private:
  void Run();

  SyncFunction sync_;
  std::mutex mutex_;
  std::condition_variable asked_;
  std::thread thread_;
  int fd_ = -1;
  bool pending_ = false;
  bool stopping_ = false;
  int error_ = 0;
};

}  // namespace zevi
