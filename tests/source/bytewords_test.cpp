#include "source/bytewords.h"
#include "source/bytevectors.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

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

// Line ends, high bytes and the bytes of a line's shape found sixteen or eight
// at a time, against one byte at a time: texts of every length up to three
// vectors and more, with the bytes that matter at the edges of the vectors.
// Every size the word copies split at, with the bytes around the copy watched.
TEST(ByteWords, CopyShortCopiesExactlyTheBytesAsked) {
  std::string from(40, 0);
  for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<char>('A' + i);
  for (std::size_t size = 0; size <= 33; ++size) {
    std::string to(48, '.');
    CopyShort(to.data() + 4, from.data() + 1, size);
    const std::string expected = std::string(4, '.') + from.substr(1, size) + std::string(44 - size, '.');
    ASSERT_EQ(to, expected) << size << " bytes";
  }
}

TEST(ByteVectors, LineEndsAndShapeBytesAsOneByteAtATimeFindsThem) {
  std::mt19937_64 random(11);
  const std::string alphabet = "ab,\t\"\r\n;\x80\xE9 ";
  for (int i = 0; i < 30000; ++i) {
    const std::size_t size = random() % 70;
    std::string text;
    for (std::size_t k = 0; k < size; ++k) text += alphabet[random() % (i % 3 == 0 ? alphabet.size() : 3)];
    const std::size_t from = size == 0 ? 0 : random() % (size + 1);

    unsigned char seen = 0;
    const std::size_t end = FindLineEnd(text.data(), from, text.size(), seen);
    std::size_t expected = from;
    while (expected < size && text[expected] != '\r' && text[expected] != '\n') ++expected;
    ASSERT_EQ(end, expected) << "'" << text << "' from " << from;
    bool high = false;
    for (std::size_t k = from; k < expected; ++k) high = high || static_cast<unsigned char>(text[k]) > 127;
    // Bytes looked at past the end belong to the next line: never more than
    // up to the next end in that case, and every byte before the end.
    if (high) ASSERT_NE(seen & 0x80, 0) << "'" << text << "' from " << from;
    bool anyHigh = false;
    for (std::size_t k = from; k < size; ++k) anyHigh = anyHigh || static_cast<unsigned char>(text[k]) > 127;
    if (!anyHigh) ASSERT_EQ(seen & 0x80, 0) << "'" << text << "' from " << from;

    for (char separator : {',', '\t', ';', ' '}) {
      const ShapeBytes counts = CountShapeBytes(text.data(), text.size(), separator);
      std::size_t quotes = 0, tabs = 0, separators = 0;
      for (char c : text) {
        quotes += c == '"';
        tabs += c == '\t';
        separators += c == separator;
      }
      ASSERT_EQ(counts.quotes, quotes > 0) << "'" << text << "'";
      ASSERT_EQ(counts.tabs, tabs) << "'" << text << "'";
      ASSERT_EQ(counts.separators, separators) << "'" << text << "' by '" << separator << "'";
    }
  }
  // Byte counters are summed before they wrap: a long line of separators.
  const std::string many(16 * 300 + 5, ',');
  EXPECT_EQ(CountShapeBytes(many.data(), many.size(), ',').separators, many.size());
}

}  // namespace
}  // namespace zevi
