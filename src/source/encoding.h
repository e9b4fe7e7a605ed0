#pragma once
// Source files come as Windows-1252, UTF-8 or UTF-16; from the loader on the
// program holds Windows-1252 bytes only, so the text is turned into them once,
// here, as the file is loaded. The output stays Windows-1252 because that is
// what Vozirado reads.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zevi {

// Settings-file spelling of the values: "Automatic", "UTF-8", "UTF-16", "Windows-1252".
enum class SourceEncoding { Automatic, Utf8, Utf16, Windows1252 };

std::string_view EncodingName(SourceEncoding encoding);

// Case-insensitive. Accepted: the four names above, "auto", "utf8", "utf16",
// "cp1252" ("UTF-8", "utf-16", "AUTO", "Cp1252").
// Rejected: "", "latin1", "utf-32", "utf 8", " UTF-8".
std::optional<SourceEncoding> ParseEncodingName(std::string_view text);

// The source as the loader keeps it: Windows-1252 bytes.
struct DecodedSource {
  SourceEncoding used = SourceEncoding::Windows1252;  // detected or forced, never Automatic
  // True: `text` holds the Windows-1252 text. False: the source bytes are
  // used as they are from offset `skip` (pure ASCII after a UTF-8 BOM needs
  // no conversion, only the BOM dropped).
  bool converted = false;
  std::size_t skip = 0;
  std::string text;
  // Characters written as '?': no Windows-1252 form, or a malformed sequence
  // (each maximal malformed run of bytes is one character).
  std::uint64_t unmappable = 0;
  // Offset, in the resulting Windows-1252 text (after `skip`), of the first of them.
  std::size_t firstUnmappable = 0;

  // The Windows-1252 text, whichever way it is held.
  std::string_view Text(std::string_view bytes) const {
    return converted ? std::string_view(text) : bytes.substr(skip);
  }
};

// The bytes start with a UTF-8 or UTF-16 byte order mark.
bool StartsWithByteOrderMark(std::string_view bytes);

// Detection (requested Automatic): a UTF-8, UTF-16 LE or UTF-16 BE byte-order
// mark decides; without one, valid UTF-8 holding at least one multi-byte
// sequence is UTF-8; anything else is Windows-1252 (pure ASCII included).
// A forced encoding is used as given: UTF-8 drops a UTF-8 BOM, UTF-16 takes
// its byte order from a BOM, else little-endian unless the zero bytes clearly
// say big-endian; Windows-1252 keeps every byte.
//   "Caf\xC3\xA9"                 Automatic -> UTF-8, "Caf\xE9"
//   "Caf\xE9"                     Automatic -> Windows-1252, not converted
//   "\xEF\xBB\xBFabc"             Automatic -> UTF-8, not converted, skip 3
//   "\xFF\xFE" "C\0a\0f\0\xE9\0" Automatic -> UTF-16, "Caf\xE9"
//   "\xE6\x9D\xB1" (U+6771)       Automatic -> UTF-8, "?", 1 unmappable at 0
// Pure ASCII costs one scan; nothing is copied.
DecodedSource DecodeSource(std::string_view bytes, SourceEncoding requested);

// "4 characters have no Windows-1252 form and are written as '?' (first: record 12, column B)"
// "1 character has no Windows-1252 form and is written as '?' (record 12, column B)"
// An empty column name (the character is in no cell) leaves ", column ..." out.
std::string UnmappableMessage(std::uint64_t count, std::uint64_t record, std::string_view columnName);

// Windows-1252 bytes 0x80..0x9F as Unicode. The five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 control
// of the same number, both ways, so every byte survives a round trip.
inline constexpr std::array<char16_t, 32> kCp1252HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline char16_t Cp1252ToUnicode(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kCp1252HighControls[byte - 0x80] : char16_t{byte};
}

// The Windows-1252 byte of a Unicode character, if it has one.
std::optional<char> UnicodeToCp1252(char32_t character);

// Windows-1252 text as UTF-8, for a terminal or a pipe in a UTF-8 locale. The
// five bytes the code page leaves undefined are written out as "\x81" and so
// on: as C1 controls a terminal could take them for commands.
//   "K\xF6ln" -> "K\xC3\xB6ln";  "\x80" -> "\xE2\x82\xAC";  "\x9D" -> "\\x9D"
std::string Cp1252ToUtf8(std::string_view text);

// Holds UTF-8 only (ASCII included): no malformed or overlong sequence, no
// surrogate, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view bytes);

}  // namespace zevi
