#pragma once
// The load's two walks over every byte, sixteen bytes at a time with SSE2
// (every x86-64), eight at a time in a word elsewhere: finding where lines
// end, and counting the bytes that give a line its shape.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "source/bytewords.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zevi {

// Index of the first CR or LF in data[from, size), `size` when there is none.
// Every byte looked at is ORed into `seen`, whose high bit then tells whether
// any byte was above 127.
inline std::size_t FindLineEnd(const char* data, std::size_t from, std::size_t size, unsigned char& seen) {
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  __m128i all = _mm_setzero_si128();
  for (; from + 16 <= size; from += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from));
    all = _mm_or_si128(all, bytes);
    const int ends = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)));
    if (ends != 0) {
      // Bytes after the end belong to the next line, which is looked at anyway.
      if (_mm_movemask_epi8(all) != 0) seen |= 0x80;
      return from + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(ends)));
    }
  }
  if (_mm_movemask_epi8(all) != 0) seen |= 0x80;
#else
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t all = 0;
    for (; from + 8 <= size; from += 8) {
      const std::uint64_t word = LoadWord(data + from);
      all |= word;
      const std::uint64_t ends = EqualBytes(word, '\n') | EqualBytes(word, '\r');
      if (ends != 0) {
        if ((all & kByteHighs) != 0) seen |= 0x80;
        return from + static_cast<std::size_t>(std::countr_zero(ends)) / 8;
      }
    }
    if ((all & kByteHighs) != 0) seen |= 0x80;
  }
#endif
  for (; from < size; ++from) {
    seen |= static_cast<unsigned char>(data[from]);
    if (data[from] == '\n' || data[from] == '\r') return from;
  }
  return size;
}

// The bytes that decide how a line is cut into fields.
struct ShapeBytes {
  bool quotes = false;
  std::size_t tabs = 0;
  std::size_t separators = 0;
};

inline ShapeBytes CountShapeBytes(const char* data, std::size_t size, char separator) {
  ShapeBytes counts;
  std::size_t at = 0;
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i mark = _mm_set1_epi8(separator);
  const __m128i zero = _mm_setzero_si128();
  __m128i quotes = zero;
  while (at + 16 <= size) {
    // Byte counters go up by one per match (a match is -1) and are summed
    // before any of them could pass 255.
    __m128i tabs = zero;
    __m128i separators = zero;
    const std::size_t end = at + 16 * std::min<std::size_t>((size - at) / 16, 255);
    for (; at < end; at += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
      quotes = _mm_or_si128(quotes, _mm_cmpeq_epi8(bytes, quote));
      tabs = _mm_sub_epi8(tabs, _mm_cmpeq_epi8(bytes, tab));
      separators = _mm_sub_epi8(separators, _mm_cmpeq_epi8(bytes, mark));
    }
    const __m128i tabSums = _mm_sad_epu8(tabs, zero);
    const __m128i separatorSums = _mm_sad_epu8(separators, zero);
    counts.tabs += static_cast<std::size_t>(_mm_cvtsi128_si32(tabSums) + _mm_extract_epi16(tabSums, 4));
    counts.separators +=
        static_cast<std::size_t>(_mm_cvtsi128_si32(separatorSums) + _mm_extract_epi16(separatorSums, 4));
  }
  if (at < size && size >= 16) {
    // The last sixteen bytes, counted only where they are past `at`.
    static constexpr unsigned char kTailMasks[32] = {0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
                                                     0,    0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kTailMasks + (size - at)));
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + size - 16));
    quotes = _mm_or_si128(quotes, _mm_and_si128(keep, _mm_cmpeq_epi8(bytes, quote)));
    const __m128i tabSums = _mm_sad_epu8(_mm_and_si128(keep, _mm_sub_epi8(zero, _mm_cmpeq_epi8(bytes, tab))), zero);
    const __m128i separatorSums =
        _mm_sad_epu8(_mm_and_si128(keep, _mm_sub_epi8(zero, _mm_cmpeq_epi8(bytes, mark))), zero);
    counts.tabs += static_cast<std::size_t>(_mm_cvtsi128_si32(tabSums) + _mm_extract_epi16(tabSums, 4));
    counts.separators +=
        static_cast<std::size_t>(_mm_cvtsi128_si32(separatorSums) + _mm_extract_epi16(separatorSums, 4));
    at = size;
  }
  counts.quotes = _mm_movemask_epi8(quotes) != 0;
#else
  const auto mark = static_cast<unsigned char>(separator);
  for (; at + 8 <= size; at += 8) {
    const std::uint64_t word = LoadWord(data + at);
    counts.quotes = counts.quotes || EqualBytes(word, '"') != 0;
    counts.tabs += CountBits(EqualBytes(word, '\t'));
    counts.separators += CountBits(EqualBytes(word, mark));
  }
#endif
  for (; at < size; ++at) {
    counts.quotes = counts.quotes || data[at] == '"';
    counts.tabs += data[at] == '\t';
    counts.separators += data[at] == separator;
  }
  return counts;
}

}  // namespace zevi
