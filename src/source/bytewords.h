#pragma once
// Bytes looked at eight at a time in one 64-bit word: plain integer
// operations, the same at every optimisation level and on every target.
#include <cstdint>
#include <cstring>

namespace zevi {

inline constexpr std::uint64_t kByteOnes = 0x0101010101010101u;
inline constexpr std::uint64_t kByteHighs = 0x8080808080808080u;

inline std::uint64_t LoadWord(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// std::popcount is a library call where the target has no popcount
// instruction; this is a handful of inline operations.
inline unsigned CountBits(std::uint64_t bits) {
  bits -= (bits >> 1) & 0x5555555555555555u;
  bits = (bits & 0x3333333333333333u) + ((bits >> 2) & 0x3333333333333333u);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<unsigned>((bits * 0x0101010101010101u) >> 56);
}

// The high bit of every byte of `word` that equals `byte`, and no other bit.
inline std::uint64_t EqualBytes(std::uint64_t word, unsigned char byte) {
  const std::uint64_t x = word ^ (kByteOnes * byte);
  return ~(((x & ~kByteHighs) + ~kByteHighs) | x) & kByteHighs;
}

// Whether every byte of `word` is an ASCII digit: the high nibble of each is 3
// both as it is and with 6 added, which takes ':' to '?' past it into 4.
inline bool AllDigits(std::uint64_t word) {
  constexpr std::uint64_t kHighNibbles = kByteOnes * 0xF0;
  return (word & kHighNibbles) == kByteOnes * 0x30 && ((word + kByteOnes * 6) & kHighNibbles) == kByteOnes * 0x30;
}

// Copies the few bytes of a field without a library call: two overlapping
// words for 4 to 16 bytes, which is most fields; memcpy beyond.
inline void CopyShort(char* to, const char* from, std::size_t size) {
  if (size >= 8 && size <= 16) {
    const std::uint64_t head = LoadWord(from);
    const std::uint64_t tail = LoadWord(from + size - 8);
    std::memcpy(to + size - 8, &tail, 8);
    std::memcpy(to, &head, 8);
  } else if (size >= 4 && size < 8) {
    std::uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + size - 4, 4);
    std::memcpy(to + size - 4, &tail, 4);
    std::memcpy(to, &head, 4);
  } else if (size < 4) {
    for (std::size_t i = 0; i < size; ++i) to[i] = from[i];
  } else {
    std::memcpy(to, from, size);
  }
}

// `size` blanks at `to`, a word at a time: there must be room for `size`
// rounded up to a multiple of eight.
inline void FillBlanks(char* to, std::size_t size) {
  constexpr std::uint64_t kBlanks = kByteOnes * ' ';
  for (std::size_t i = 0; i < size; i += 8) std::memcpy(to + i, &kBlanks, 8);
}

}  // namespace zevi
