#include "platform/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace zevi {
namespace {

constexpr std::size_t kMegabyte = std::size_t{1} << 20;

// Resizing keeps the bytes asked for, whether the block is copied (small) or
// its pages are moved (large both ways), and the new room can be written.
TEST(LargeBlock, ResizingKeepsTheBytes) {
  struct Case {
    std::size_t from, to, keep;
    const char* reason;
  } cases[] = {
      {100, 5000, 100, "small to small: copied"},
      {kMegabyte, 3 * kMegabyte, kMegabyte, "small to large: copied"},
      {3 * kMegabyte, 9 * kMegabyte, 3 * kMegabyte, "large to large: pages moved"},
      {9 * kMegabyte, 4 * kMegabyte, 4 * kMegabyte, "shrinking keeps what fits"},
      {3 * kMegabyte, 5 * kMegabyte, 1000, "only the bytes in use"},
  };
  for (const Case& c : cases) {
    LargeBlock block = AllocateLargeBlock(c.from);
    auto* bytes = static_cast<unsigned char*>(block.get());
    for (std::size_t i = 0; i < c.from; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 4096);
    ResizeLargeBlock(block, c.to, c.keep);
    ASSERT_NE(block.get(), nullptr) << c.reason;
    EXPECT_EQ(block.get_deleter().bytes, c.to) << c.reason;
    bytes = static_cast<unsigned char*>(block.get());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < c.keep; ++i) differing += bytes[i] != static_cast<unsigned char>(i * 7 + i / 4096);
    EXPECT_EQ(differing, 0u) << c.reason;
    std::memset(bytes, 0x5A, c.to);
    EXPECT_EQ(bytes[c.to - 1], 0x5A) << c.reason;
  }
}

// Mapping in ahead of a writer never changes what the memory holds, over
// ranges of any alignment, written or not, and one beyond a block's end.
TEST(LargeBlock, PreparingForWritingKeepsTheBytes) {
  LargeBlock block = AllocateLargeBlock(6 * kMegabyte);
  auto* bytes = static_cast<unsigned char*>(block.get());
  const std::size_t written = 3 * kMegabyte + 123;
  for (std::size_t i = 0; i < written; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 4096);
  const struct {
    std::size_t from, size;
  } ranges[] = {{0, 0}, {5, 10}, {4095, 8194}, {kMegabyte + 1, 4 * kMegabyte}, {written - 7, 3 * kMegabyte - 200}};
  for (const auto& range : ranges) {
    PrepareForWriting(bytes + range.from, range.size);
  }
  std::size_t differing = 0;
  for (std::size_t i = 0; i < written; ++i) differing += bytes[i] != static_cast<unsigned char>(i * 7 + i / 4096);
  EXPECT_EQ(differing, 0u);
  // Pages that were never written read as zeros, as a fresh block's do.
  EXPECT_EQ(bytes[written], 0);
  EXPECT_EQ(bytes[6 * kMegabyte - 1], 0);
}

// Blocks let go of are handed out again, but never one that is in use: two
// threads each hold blocks of the kept size and of others at once, and find
// their own bytes in them after the other has written its own.
TEST(LargeBlock, ABlockLetGoOfIsHandedOutAgainButNeverTwice) {
  const std::size_t sizes[] = {2 * kMegabyte, 2 * kMegabyte, 3 * kMegabyte, 2 * kMegabyte + 5};
  auto work = [&](unsigned char seed, std::size_t& differing) {
    for (int round = 0; round < 30; ++round) {
      std::vector<LargeBlock> held;
      for (std::size_t i = 0; i < std::size(sizes); ++i) {
        held.push_back(AllocateLargeBlock(sizes[i]));
        std::memset(held.back().get(), seed + static_cast<int>(i), sizes[i]);
      }
      std::this_thread::yield();
      for (std::size_t i = 0; i < held.size(); ++i) {
        const auto* bytes = static_cast<const unsigned char*>(held[i].get());
        const auto expected = static_cast<unsigned char>(seed + i);
        differing += bytes[0] != expected || bytes[sizes[i] / 2] != expected || bytes[sizes[i] - 1] != expected;
      }
    }
  };
  std::size_t firstDiffering = 0, secondDiffering = 0;
  {
    std::thread other([&] { work(0x40, secondDiffering); });
    work(0x10, firstDiffering);
    other.join();
  }
  EXPECT_EQ(firstDiffering, 0u);
  EXPECT_EQ(secondDiffering, 0u);

  LargeBlock block = AllocateLargeBlock(2 * kMegabyte);
  const void* before = block.get();
  block.reset();
  block = AllocateLargeBlock(2 * kMegabyte);
  EXPECT_EQ(block.get(), before) << "the block let go of last is handed out again";
  block.reset();
  block = AllocateLargeBlock(kMegabyte + kMegabyte / 5);
  EXPECT_EQ(block.get(), before) << "a block that fills the same large page takes it";
  ResizeLargeBlock(block, 5 * kMegabyte, 0);
  std::memset(block.get(), 1, 5 * kMegabyte);  // a kept block moves its pages as any other
}

// A vector in large pages grows from nothing past several blocks, each
// growth moving its values to a new block, and keeps them through a move.
TEST(LargeBlock, AVectorInLargePagesKeepsItsValuesAsItGrows) {
  std::vector<std::uint64_t, LargePageAllocator<std::uint64_t>> values;
  constexpr std::uint64_t kCount = 3 * kMegabyte;  // 24 MB at the end
  for (std::uint64_t i = 0; i < kCount; ++i) values.push_back(i * 0x9E3779B97F4A7C15u);
  auto moved = std::move(values);
  std::size_t differing = 0;
  for (std::uint64_t i = 0; i < kCount; ++i) differing += moved[i] != i * 0x9E3779B97F4A7C15u;
  EXPECT_EQ(differing, 0u);
  moved.resize(10);
  moved.shrink_to_fit();
  EXPECT_EQ(moved.back(), 9 * 0x9E3779B97F4A7C15u);
}

}  // namespace
}  // namespace zevi
