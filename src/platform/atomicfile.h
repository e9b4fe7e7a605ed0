#pragma once
// A file that is replaced whole or not at all. The new content goes to a
// temporary file in the target's folder and is renamed over the target only
// when the writer commits, so a failed write, a crash or a kill leaves the old
// file as it was, and two writers racing for one target each leave a whole
// file (the last rename wins).
//
// Accepted targets: a new or existing regular file (through a temporary, with
// the old file's permission bits and, where allowed, its owner); a symbolic
// link (the file it points to is replaced, the link stays); "-" for standard
// output and an existing device, pipe or socket, which are written as the
// bytes come, since a rename would replace the device itself. Refused: an
// existing file the user may not write (EACCES), a folder (EISDIR).
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/backgroundsync.h"

namespace zevi {

// The target name that means standard output.
inline constexpr const char* kStandardOutputName = "-";

class AtomicFile {
 public:
  AtomicFile() = default;
  // `stepSync` syncs the steps behind the writer (a test's stand-in).
  explicit AtomicFile(BackgroundSync::SyncFunction stepSync) : sync_(stepSync) {}
  ~AtomicFile() { Discard(); }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Starts new content for `path`. 0, or the errno of what failed.
  int Open(const std::string& path);
  // 0 or the errno; a failed write leaves the target as it was.
  int Write(std::string_view bytes);
  // Puts the content in place. 0 or the errno; on failure the temporary file
  // is gone and the target as it was.
  int Commit();
  // Drops the content; the target stays as it was.
  void Discard();

  bool IsOpen() const { return fd_ >= 0; }

 private:
  enum class Kind { Unnamed, Named, InPlace };

  // Written bytes go to disk from this many on, so that Commit's sync has
  // little left to wait for.
  static constexpr std::uint64_t kWriteBackStep = std::uint64_t{4} << 20;
  // And are synced behind the writer from this many on.
  static constexpr std::uint64_t kSyncStep = std::uint64_t{8} << 20;

  int OpenTemporary(const std::string& folder);
  void StartWriteBack();
  void Reset();

  int fd_ = -1;
  Kind kind_ = Kind::InPlace;
  std::string target_;      // links resolved
  std::string temporary_;   // Kind::Named: the temporary file's path
  bool replacing_ = false;  // a file was there: its bits and owner carry over
  mode_t mode_ = 0;
  uid_t owner_ = 0;
  gid_t group_ = 0;
  std::uint64_t size_ = 0;         // bytes written
  std::uint64_t startedUpTo_ = 0;  // write-back asked for up to here
  std::uint64_t syncedUpTo_ = 0;   // a sync asked for up to here
  BackgroundSync sync_;
};

}  // namespace zevi
