#include "platform/memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace zevi {

namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;
constexpr std::size_t kPage = 4096;
// Blocks from this size on are mapped, in whole large pages.
constexpr std::size_t kMappedFrom = kLargePage / 2;

std::size_t MappedBytes(std::size_t bytes) { return (bytes + kLargePage - 1) & ~(kLargePage - 1); }

// Blocks let go of are kept for the next ask of as many large pages: their pages
// are mapped in, where a new block's cost the kernel a clearing each (a
// millisecond a megabyte on some virtual machines). The load's and the
// export's buffers of a few megabytes come and go this way in every run.
// Few and small, so that an idle window holds little.
constexpr std::size_t kKeptBlockBytes = std::size_t{4} << 20;
constexpr std::size_t kKeptBytes = std::size_t{8} << 20;

class KeptBlocks {
 public:
  // False when there is no room: the caller unmaps the block.
  bool Keep(void* block, std::size_t mapped) {
    if (mapped > kKeptBlockBytes) return false;
    std::lock_guard lock(mutex_);
    if (bytes_ + mapped > kKeptBytes) return false;
    blocks_.push_back({block, mapped});
    bytes_ += mapped;
    return true;
  }
  // The last kept first: its bytes are likelier still in a cache.
  void* Take(std::size_t mapped) {
    std::lock_guard lock(mutex_);
    for (auto at = blocks_.rbegin(); at != blocks_.rend(); ++at) {
      if (at->mapped != mapped) continue;
      void* block = at->start;
      blocks_.erase(std::next(at).base());
      bytes_ -= mapped;
      return block;
    }
    return nullptr;
  }

 private:
  struct Kept {
    void* start;
    std::size_t mapped;
  };
  std::mutex mutex_;
  std::vector<Kept> blocks_;
  std::size_t bytes_ = 0;
};

// Never destroyed: blocks are let go of until the very end of the program.
KeptBlocks& Kept() {
  static auto* kept = new KeptBlocks;
  return *kept;
}

}  // namespace

void LargeBlockRelease::operator()(void* block) const {
  if (bytes < kMappedFrom) {
    ::operator delete(block);
  } else if (!Kept().Keep(block, MappedBytes(bytes))) {
    ::munmap(block, MappedBytes(bytes));
  }
}

LargeBlock AllocateLargeBlock(std::size_t bytes) {
  if (bytes < kMappedFrom) return LargeBlock(::operator new(bytes), LargeBlockRelease{bytes});
  if (void* kept = Kept().Take(MappedBytes(bytes))) return LargeBlock(kept, LargeBlockRelease{bytes});
  // Large pages need an aligned start: map a large page more, give back the ends.
  const std::size_t size = MappedBytes(bytes);
  void* mapped = ::mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
  if (aligned > start) ::munmap(mapped, aligned - start);
  const std::size_t tail = kLargePage - (aligned - start);
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + size), tail);
  void* block = reinterpret_cast<void*>(aligned);
  ::madvise(block, size, MADV_HUGEPAGE);  // a hint: without large pages all still works
  return LargeBlock(block, LargeBlockRelease{bytes});
}

void PrepareForWriting(const void* at, std::size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
  const auto start = reinterpret_cast<std::uintptr_t>(at);
  const std::uintptr_t begin = (start + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t end = (start + bytes) & ~(kPage - 1);
  // Older systems refuse the advice: the pages then fault in as written.
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
  static_cast<void>(at);
  static_cast<void>(bytes);
#endif
}

void ResizeLargeBlock(LargeBlock& block, std::size_t bytes, std::size_t keep) {
  const std::size_t old = block.get_deleter().bytes;
  keep = std::min({keep, old, bytes});
  if (block && old >= kMappedFrom && bytes >= kMappedFrom) {
    void* moved = ::mremap(block.get(), MappedBytes(old), MappedBytes(bytes), MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) throw std::bad_alloc();
    static_cast<void>(block.release());
    block = LargeBlock(moved, LargeBlockRelease{bytes});
    return;
  }
  LargeBlock resized = AllocateLargeBlock(bytes);
  if (keep > 0) std::memcpy(resized.get(), block.get(), keep);
  block = std::move(resized);
}

void ByteBuffer::Resize(std::size_t size) {
  if (size > bytes_.get_deleter().bytes) {
    LargeBlock grown = AllocateLargeBlock(size);
    if (size_ > 0) std::memcpy(grown.get(), bytes_.get(), size_);
    bytes_ = std::move(grown);
  }
  size_ = size;
}

}  // namespace zevi
