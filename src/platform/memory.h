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

// Uninitialised memory for `bytes`. Blocks of a megabyte or more come
// straight from the system, in whole large pages where it has them: filling
// one then costs a fault every two megabytes, where small pages cost one each
// 4 KiB and, on some virtual machines, a millisecond or more a megabyte.
// Throws std::bad_alloc.
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

// For a std::vector of megabytes: its memory from AllocateLargeBlock.
template <typename T>
struct LargePageAllocator {
  using value_type = T;
  LargePageAllocator() = default;
  template <typename U>
  LargePageAllocator(const LargePageAllocator<U>&) {}
  T* allocate(std::size_t count) { return static_cast<T*>(AllocateLargeBlock(count * sizeof(T)).release()); }
  void deallocate(T* at, std::size_t count) { LargeBlockRelease{count * sizeof(T)}(at); }
  friend bool operator==(const LargePageAllocator&, const LargePageAllocator&) { return true; }
};

// Bytes written before they are read, which grow without being cleared: a
// string's resize clears what it adds, a pass over megabytes for nothing.
class ByteBuffer {
 public:
  char* Data() { return static_cast<char*>(bytes_.get()); }
  const char* Data() const { return static_cast<const char*>(bytes_.get()); }
  std::size_t Size() const { return size_; }
  // Room for `size` bytes, the ones held kept up to it; added ones hold
  // anything. Throws std::bad_alloc.
  void Resize(std::size_t size);

 private:
  LargeBlock bytes_;
  std::size_t size_ = 0;
};

}  // namespace zevi
