#pragma once
// Memory for the large tables of a loaded file.
#include <cstddef>
#include <memory>

namespace zevi {

struct LargeBlockRelease {
  std::size_t bytes = 0;
  void operator()(void* block) const;
};

using LargeBlock = std::unique_ptr<void, LargeBlockRelease>;

// Uninitialised memory for `bytes`. Blocks of megabytes come straight from
// the system, in large pages where it has them, so that filling one costs a
// few page faults rather than one per 4 KiB (a large part of loading a big
// file otherwise). Throws std::bad_alloc.
LargeBlock AllocateLargeBlock(std::size_t bytes);

// Gives `block` room for `bytes`, keeping its first `keep` bytes. A large block
// moves its pages rather than copying them, so a stream of unknown length can
// grow to gigabytes with no second copy. Throws std::bad_alloc.
void ResizeLargeBlock(LargeBlock& block, std::size_t bytes, std::size_t keep);

// Maps in the pages of [at, at + bytes) for writing, for a thread with time
// to spare ahead of another that will write there: that one then finds them
// ready. Only whole pages inside the range; a hint, which does nothing where
// the system cannot, and never changes what the memory holds.
void PrepareForWriting(const void* at, std::size_t bytes);

// Asks for large pages where [at, at + bytes) holds whole ones, for memory
// that is filled from its start: a fault then maps two megabytes, where each
// fault of a virtual machine may cost as much as writing many pages. A hint.
void AdviseLargePages(const void* at, std::size_t bytes);

// Bytes written before they are read, which grow without being cleared: a
// string's resize clears what it adds, a pass over megabytes for nothing.
class ByteBuffer {
 public:
  char* Data() { return bytes_.get(); }
  const char* Data() const { return bytes_.get(); }
  std::size_t Size() const { return size_; }
  // Room for `size` bytes, the ones held kept up to it; added ones hold
  // anything. Throws std::bad_alloc.
  void Resize(std::size_t size);

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace zevi
