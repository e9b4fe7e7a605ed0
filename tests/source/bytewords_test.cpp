#include "source/bytewords.h"

#include <gtest/gtest.h>

#include <random>

namespace zevi {
namespace {

// What EqualBytes must give, one byte at a time.
std::uint64_t EqualBytesOneByOne(std::uint64_t word, unsigned char byte) {
  std::uint64_t high = 0;
  for (int i = 0; i < 8; ++i)
    if (((word >> (8 * i)) & 0xFF) == byte) high |= std::uint64_t{0x80} << (8 * i);
  return high;
}

TEST(ByteWords, EqualBytesMarksExactlyTheMatchingBytes) {
  // Neighbours of a match, bytes with the high bit set and zero bytes are
  // where word-wide tricks usually report a byte that is not there.
  const std::uint64_t words[] = {
      0,
      ~std::uint64_t{0},
      0x2C2C2C2C2C2C2C2Cu,
      0x2C2D2C2B2C002C80u,
      0x012C00AC2CFF7F2Cu,
      LoadWord("W0000001"),
      LoadWord(",51.1234"),
      LoadWord("\"a\t,\"b\t,"),
  };
  for (std::uint64_t word : words)
    for (unsigned char byte : {'\0', ',', '"', '\t', '\x80', '\xFF', '\x2B', '\x2D'})
      EXPECT_EQ(EqualBytes(word, byte), EqualBytesOneByOne(word, byte))
          << std::hex << word << " byte " << int(byte);

  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    // Few distinct byte values, so that matches and near-matches are common.
    std::uint64_t word = 0;
    for (int b = 0; b < 8; ++b) {
      const auto picked = static_cast<unsigned char>("\0,\x2B\x2D\x80\xFF\xAC\""[random() % 8]);
      word |= std::uint64_t{picked} << (8 * b);
    }
    const auto byte = static_cast<unsigned char>(",\x2D\x80\xFF\""[random() % 5]);
    ASSERT_EQ(EqualBytes(word, byte), EqualBytesOneByOne(word, byte)) << std::hex << word;
    ASSERT_EQ(CountBits(EqualBytes(word, byte)),
              static_cast<unsigned>(__builtin_popcountll(EqualBytesOneByOne(word, byte))));
  }
}

}  // namespace
}  // namespace zevi
