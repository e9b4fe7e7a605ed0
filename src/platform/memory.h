#pragma once
// Memory for the large tables of a loaded file.
#include <cstddef>
#include <memory>
#include <new>

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

// For a vector that may hold megabytes (the spans of a million lines): its
// storage comes from AllocateLargeBlock.
template <typename T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) {}
  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(AllocateLargeBlock(count * sizeof(T)).release());
  }
  void deallocate(T* block, std::size_t count) { LargeBlockRelease{count * sizeof(T)}(block); }
  template <typename U>
  bool operator==(const LargeAllocator<U>&) const { return true; }
};

}  // namespace zevi
