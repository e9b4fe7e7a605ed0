#pragma once
// Freeing a large file can keep the file system busy a while: on a disk
// mounted with discard, the rename that replaces a file waits until the
// device has trimmed all of the old file's blocks (20 ms for 60 MB on the
// development machine), and so would an unlink. Held open past the rename,
// the old file is freed at its last close instead, which these make off the
// caller's path. The file's name is gone either way; only its blocks wait.

namespace zevi {

enum class LateCloseWay {
  // A thread of this process closes it: for a program that goes on.
  Thread,
  // A child process does: for a program that exits right after, whose exit
  // would wait for its threads' closes.
  ChildProcess,
};

void SetLateCloseWay(LateCloseWay way);

// A replaced file worth holding open: a regular file of a megabyte or more
// on a local file system. Not on a network or FUSE one, which would show the
// held file under a hidden name in the folder until the close.
bool WorthClosingLate(int fd);

// Takes `fd` and closes it the way set. Where no thread or process can be
// started it is closed here.
void CloseLate(int fd);

// Waits for the closes begun, threads and child processes alike.
void WaitForLateCloses();

}  // namespace zevi
