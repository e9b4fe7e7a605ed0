#include "platform/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
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

// A vector on large blocks grows from small to large storage and back to
// empty with every element kept, as a plain vector does.
TEST(LargeAllocator, VectorsKeepTheirElementsAcrossBothKindsOfStorage) {
  std::vector<std::uint64_t, LargeAllocator<std::uint64_t>> values;
  for (std::uint64_t i = 0; i < 3 * kMegabyte / sizeof(std::uint64_t); ++i) values.push_back(i * 2654435761u);
  std::vector<std::uint64_t, LargeAllocator<std::uint64_t>> copy = values;
  values.clear();
  values.shrink_to_fit();
  std::size_t differing = 0;
  for (std::size_t i = 0; i < copy.size(); ++i) differing += copy[i] != i * 2654435761u;
  EXPECT_EQ(differing, 0u);
  EXPECT_TRUE(values.empty());
}

}  // namespace
}  // namespace zevi
