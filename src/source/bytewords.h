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

}  // namespace zevi
