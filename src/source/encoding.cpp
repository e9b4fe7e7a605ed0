#include "source/encoding.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zevi {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr char kUnmappable = '?';
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

struct NamedEncoding {
  std::string_view name;
  SourceEncoding encoding;
};

// The first name of each encoding is the one the settings file holds.
constexpr NamedEncoding kEncodingNames[] = {
    {"Automatic", SourceEncoding::Automatic},     {"UTF-8", SourceEncoding::Utf8},
    {"UTF-16", SourceEncoding::Utf16},            {"Windows-1252", SourceEncoding::Windows1252},
    {"auto", SourceEncoding::Automatic},          {"utf8", SourceEncoding::Utf8},
    {"utf16", SourceEncoding::Utf16},             {"cp1252", SourceEncoding::Windows1252},
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// Unicode -> Windows-1252 for the characters that 0x80..0x9F hold, sorted by
// Unicode so a lookup is a binary search.
using ReversePair = std::pair<char16_t, unsigned char>;
constexpr std::array<ReversePair, 32> kReverseHighControls = [] {
  std::array<ReversePair, 32> pairs{};
  for (std::size_t i = 0; i < pairs.size(); ++i)
    pairs[i] = {kCp1252HighControls[i], static_cast<unsigned char>(0x80 + i)};
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}();

// Index of the first byte >= 0x80 at or after `from`, bytes.size() when none.
// Whole blocks are tested with one OR of their words, which the compiler
// vectorises; only a block that has such a byte is looked into.
std::size_t FirstNonAscii(std::string_view bytes, std::size_t from) {
  constexpr std::size_t kBlock = 64;
  const char* data = bytes.data();
  std::size_t i = from;
  const std::size_t n = bytes.size();
  for (; i + kBlock <= n; i += kBlock) {
    std::uint64_t any = 0;
    for (std::size_t k = 0; k < kBlock; k += 8) {
      std::uint64_t word;
      std::memcpy(&word, data + i + k, 8);
      any |= word;
    }
    if (any & kHighBits) break;
  }
  for (; i < n; ++i)
    if (static_cast<unsigned char>(data[i]) >= 0x80) return i;
  return n;
}

class Cp1252Writer {
 public:
  explicit Cp1252Writer(std::size_t capacity) { text_.resize(capacity); out_ = text_.data(); }

  void Put(char byte) { *out_++ = byte; }
  void PutBytes(const char* from, std::size_t count) {
    std::memcpy(out_, from, count);
    out_ += count;
  }
  void PutCharacter(char32_t character) {
    if (character < 0x80) {
      Put(static_cast<char>(character));
    } else if (auto byte = UnicodeToCp1252(character)) {
      Put(*byte);
    } else {
      PutUnmappable();
    }
  }
  void PutUnmappable() {
    if (unmappable_++ == 0) firstUnmappable_ = Size();
    Put(kUnmappable);
  }
  std::size_t Size() const { return static_cast<std::size_t>(out_ - text_.data()); }

  DecodedSource Finish(SourceEncoding used) {
    text_.resize(Size());
    DecodedSource result;
    result.used = used;
    result.converted = true;
    result.text = std::move(text_);
    result.unmappable = unmappable_;
    result.firstUnmappable = firstUnmappable_;
    return result;
  }

 private:
  std::string text_;
  char* out_ = nullptr;
  std::uint64_t unmappable_ = 0;
  std::size_t firstUnmappable_ = 0;
};

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Converts UTF-8 from `start` (everything before it is ASCII and is copied).
// A malformed sequence is one '?' per maximal run that could have begun a
// character, as decoders agree; with `strict` the first one gives up instead.
std::optional<DecodedSource> ConvertUtf8(std::string_view bytes, std::size_t start, bool strict) {
  Cp1252Writer out(bytes.size());
  out.PutBytes(bytes.data(), start);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + start;
  const auto* end = reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size();
  while (p < end) {
    // Runs of ASCII go eight bytes at a time.
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      if (word & kHighBits) break;
      out.PutBytes(reinterpret_cast<const char*>(p), 8);
      p += 8;
    }
    if (p == end) break;
    const unsigned char lead = *p;
    if (lead < 0x80) {
      out.Put(static_cast<char>(lead));
      ++p;
      continue;
    }
    // Length and the allowed range of the second byte, which shuts out
    // overlong forms, surrogates and values beyond U+10FFFF.
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;
    char32_t character = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      character = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      character = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      character = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    int taken = 1;
    bool complete = length > 0;
    for (; complete && taken < length; ++taken) {
      if (p + taken == end) {
        complete = false;
        break;
      }
      const unsigned char next = p[taken];
      const bool fits = taken == 1 ? next >= low && next <= high : IsContinuation(next);
      if (!fits) {
        complete = false;
        break;
      }
      character = (character << 6) | (next & 0x3F);
    }
    p += taken;
    if (!complete) {
      if (strict) return std::nullopt;
      out.PutUnmappable();
    } else {
      out.PutCharacter(character);
    }
  }
  return out.Finish(SourceEncoding::Utf8);
}

enum class ByteOrder { Little, Big };

// Mostly-Latin text in UTF-16 has a zero in every high byte: a big-endian
// file shows them at even offsets.
ByteOrder GuessByteOrder(std::string_view bytes) {
  std::size_t evenZeros = 0, oddZeros = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    evenZeros += bytes[i] == '\0';
    oddZeros += bytes[i + 1] == '\0';
  }
  return evenZeros > 2 * oddZeros ? ByteOrder::Big : ByteOrder::Little;
}

DecodedSource ConvertUtf16(std::string_view bytes, ByteOrder order) {
  Cp1252Writer out(bytes.size() / 2 + 1);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t units = bytes.size() / 2;
  auto unit = [&](std::size_t i) -> char16_t {
    const unsigned char first = data[2 * i], second = data[2 * i + 1];
    return order == ByteOrder::Little ? static_cast<char16_t>(first | (second << 8))
                                      : static_cast<char16_t>((first << 8) | second);
  };
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t u = unit(i);
    if (u < 0x80) {
      out.Put(static_cast<char>(u));
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
               unit(i + 1) <= 0xDFFF) {
      ++i;  // a pair is one character beyond U+FFFF: none has a Windows-1252 form
      out.PutUnmappable();
    } else {
      out.PutCharacter(u);  // a lone surrogate has no form either
    }
  }
  if (bytes.size() % 2 != 0) out.PutUnmappable();  // half a unit at the end
  return out.Finish(SourceEncoding::Utf16);
}

DecodedSource Unconverted(SourceEncoding used, std::size_t skip) {
  DecodedSource result;
  result.used = used;
  result.skip = skip;
  return result;
}

DecodedSource DecodeUtf8(std::string_view bytes, std::size_t skip, bool strict) {
  const std::size_t first = FirstNonAscii(bytes, skip);
  if (first == bytes.size()) return Unconverted(SourceEncoding::Utf8, skip);
  auto converted = ConvertUtf8(bytes.substr(skip), first - skip, strict);
  if (!converted) return Unconverted(SourceEncoding::Windows1252, 0);
  return std::move(*converted);
}

}  // namespace

std::string_view EncodingName(SourceEncoding encoding) {
  for (const NamedEncoding& entry : kEncodingNames)
    if (entry.encoding == encoding) return entry.name;
  return "Automatic";
}

std::optional<SourceEncoding> ParseEncodingName(std::string_view text) {
  for (const NamedEncoding& entry : kEncodingNames)
    if (EqualsIgnoringCase(text, entry.name)) return entry.encoding;
  return std::nullopt;
}

std::optional<char> UnicodeToCp1252(char32_t character) {
  if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
    return static_cast<char>(character);
  if (character > 0xFFFF) return std::nullopt;
  auto found = std::lower_bound(kReverseHighControls.begin(), kReverseHighControls.end(),
                                ReversePair{static_cast<char16_t>(character), 0});
  if (found == kReverseHighControls.end() || found->first != character) return std::nullopt;
  return static_cast<char>(found->second);
}

bool StartsWithByteOrderMark(std::string_view bytes) {
  return bytes.starts_with(kUtf8Bom) || bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom);
}

DecodedSource DecodeSource(std::string_view bytes, SourceEncoding requested) {
  const bool utf8Bom = bytes.starts_with(kUtf8Bom);
  const bool leBom = bytes.starts_with(kUtf16LeBom);
  const bool beBom = bytes.starts_with(kUtf16BeBom);
  switch (requested) {
    case SourceEncoding::Windows1252:
      return Unconverted(SourceEncoding::Windows1252, 0);
    case SourceEncoding::Utf8:
      return DecodeUtf8(bytes, utf8Bom ? kUtf8Bom.size() : 0, false);
    case SourceEncoding::Utf16:
      if (leBom || beBom)
        return ConvertUtf16(bytes.substr(kUtf16LeBom.size()), beBom ? ByteOrder::Big : ByteOrder::Little);
      return ConvertUtf16(bytes, GuessByteOrder(bytes));
    case SourceEncoding::Automatic:
      break;
  }
  if (utf8Bom) return DecodeUtf8(bytes, kUtf8Bom.size(), false);
  if (leBom) return ConvertUtf16(bytes.substr(kUtf16LeBom.size()), ByteOrder::Little);
  if (beBom) return ConvertUtf16(bytes.substr(kUtf16BeBom.size()), ByteOrder::Big);
  DecodedSource detected = DecodeUtf8(bytes, 0, true);
  // Pure ASCII holds no multi-byte sequence: it stays Windows-1252.
  if (!detected.converted) detected.used = SourceEncoding::Windows1252;
  return detected;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  std::size_t done = 0;
  for (std::size_t at = FirstNonAscii(text, 0); at < text.size(); at = FirstNonAscii(text, at + 1)) {
    out.append(text, done, at - done);
    done = at + 1;
    const auto byte = static_cast<unsigned char>(text[at]);
    const char32_t character = Cp1252ToUnicode(byte);
    if (character < 0xA0) {
      constexpr char kDigits[] = "0123456789ABCDEF";
      out += "\\x";
      out += kDigits[byte >> 4];
      out += kDigits[byte & 0xF];
    } else if (character < 0x800) {
      out += static_cast<char>(0xC0 | (character >> 6));
      out += static_cast<char>(0x80 | (character & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (character >> 12));
      out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (character & 0x3F));
    }
  }
  out.append(text, done);
  return out;
}

bool IsUtf8(std::string_view bytes) {
  const std::size_t first = FirstNonAscii(bytes, 0);
  return first == bytes.size() || ConvertUtf8(bytes, first, true).has_value();
}

std::string UnmappableMessage(std::uint64_t count, std::uint64_t record, std::string_view columnName) {
  std::string where = "record " + std::to_string(record);
  if (!columnName.empty()) where += ", column " + std::string(columnName);
  if (count == 1)
    return "1 character has no Windows-1252 form and is written as '?' (" + where + ")";
  return std::to_string(count) + " characters have no Windows-1252 form and are written as '?' (first: " +
         where + ")";
}

}  // namespace zevi
