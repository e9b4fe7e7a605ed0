#pragma once
// Freeing a large file can keep the file system busy a while: on a disk
// mounted with discard, the rename that replaces a file waits until the
// device has trimmed all of the old file's blocks (20 ms for 60 MB on the
// development machine), and so would an unlink. Held open past the rename,
// the old file is freed at its last close instead, which these make off the
// caller's path. The file's name is gone either way; only its blocks wait.

namespace zevi {

// Where the last close is made.
enum class LateCloseWay {
  // By the kernel, after the program has gone on or ended: the file is handed
  // to an io_uring instance that is then closed, and the kernel tears such an
  // instance down, its files with it, on a worker of its own. Where io_uring
  // is not allowed (many containers forbid it), by a thread.
  Kernel,
  // By a thread of this process. A program that ends right after waits for
  // it at its exit.
  Thread,
  // Here, at once: no descriptor was given, or no thread could be started.
  Here,
};

// The way CloseLate tries first: Kernel, or Thread (a test's stand-in).
void SetLateCloseWay(LateCloseWay way);

// Opens the file at `path` (links not followed) to be held across its
// replacement, when it is worth holding: a regular file of a megabyte or
// more on a local file system. Not on a network or FUSE one, which would
// show the held file under a hidden name in the folder until the close.
// -1 otherwise.
int HoldForLateClose(const char* path);

// Takes `fd` and closes it off the caller's path; the way it was closed.
LateCloseWay CloseLate(int fd);

// Waits for the closes begun on threads.
void WaitForLateCloses();

}  // namespace zevi
