#pragma once
// Vozirado's text exchange format as the export writes it: the header block,
// the heading line, the field layout letters and the fields that need more
// than one value reader.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/datums.h"
#include "geodesy/grids.h"
#include "settings/settings.h"
#include "source/bytewords.h"
#include "source/columns.h"
#include "source/table.h"

namespace zevi {

// Written into the identification line with the run's decimal mark ("1,36").
inline constexpr const char* kProgramVersion = "1.36";
inline constexpr const char* kLineEnd = "\r\n";
// IdWidth and SymbolWidth never go below this.
inline constexpr int kMinFieldWidth = 6;

// Left-aligned: blank-filled on the right, or cut to the first `width` characters.
std::string PadRight(std::string_view text, int width);
// Right-aligned: blank-filled on the left, or cut to the last `width` characters.
std::string PadLeft(std::string_view text, int width);
// Appends `fill` until the text is at least `width` long: ("ID", '-', 6) -> "ID----".
std::string PadWith(std::string_view text, char fill, int width);
std::string ReplaceChar(std::string_view text, char from, char to);
// The same, appended to `out` without a temporary.
void AppendPadRight(std::string& out, std::string_view text, int width);
void AppendPadLeft(std::string& out, std::string_view text, int width);

// FormatFloat's text ("%<width>.<decimals>f" with the mark) written at `out`,
// which has room for kFloatTextRoom characters, without a string: the export
// writes three per record. Returns its length: WriteFloatText(out, -0.125,
// 10, 6, ',') writes " -0,125000" and returns 10. Returns 0, writing
// nothing, when the text needs FormatFloat itself: more than 9 decimals, 2^52
// units of the last decimal or more, NaN and infinities, or a width beyond
// the room.
inline constexpr std::size_t kFloatTextRoom = 32;
std::size_t WriteFloatText(char* out, double value, int width, int decimals, char decimalMark);

// An easting or northing cell of digits alone, no more than `digits` of
// them, written as GridValueField writes it unshifted and right aligned:
// zeros in front up to `digits`. Returns `digits`; 0, writing nothing, for
// any other cell.
inline std::size_t WriteGridDigitsCell(char* out, std::string_view cell, int digits) {
  const auto width = static_cast<std::size_t>(digits);
  if (cell.empty() || digits < 1 || cell.size() > width || width > kFloatTextRoom) return 0;
  for (const char c : cell) {
    if (static_cast<unsigned char>(c - '0') > 9) return 0;
  }
  const std::size_t zeros = width - cell.size();
  for (std::size_t i = 0; i < zeros; ++i) out[i] = '0';
  CopyShort(out + zeros, cell.data(), cell.size());
  return width;
}

// A degrees-and-minutes cell of the usual form, "N51 07.4045" or "-1 14.07":
// a hemisphere letter (its sign) or a minus (turning `sign`, the settings'
// one) or neither (`sign`), one to three digits of degrees under `below`, one
// blank, minutes under 60 with at most four decimals after `decimalMark`.
// Written with six decimals as WriteFloatText writes the coordinate reader's
// value; 0, writing nothing, for any other cell.
std::size_t WriteMinutesCell(char* out, std::string_view cell, int width, char decimalMark, int below, int sign);

// A cell that is a plain decimal, "-51.1234" or "7": an optional minus,
// digits, and after the mark digits, at most 15 digits in all. Its value
// printed at `decimals` is its own digits padded with zeros, or cut and
// rounded, so it can be written without a double in between, as it is for
// nearly every cell of a large file.
struct PlainDecimal {
  bool negative = false;
  bool zero = true;           // all its digits are zeros
  bool roundUp = false;       // the fraction was cut, and its last digit goes up by one
  std::string_view whole;     // without leading zeros; empty for 0
  std::string_view fraction;  // at most `decimals` digits
};
// Inline: the export reads three per record.
inline std::optional<PlainDecimal> ReadPlainDecimal(std::string_view cell, int decimals, char decimalMark) {
  PlainDecimal number;
  const char* at = cell.data();
  const char* const end = at + cell.size();
  number.negative = at < end && *at == '-';
  if (number.negative) ++at;
  const char* const wholeStart = at;
  while (at < end && *at == '0') ++at;
  const char* const significant = at;
  while (at < end && static_cast<unsigned char>(*at - '0') <= 9) ++at;
  if (at == wholeStart) return std::nullopt;  // ".5", "-", "": left to the full reader
  number.whole = std::string_view(significant, static_cast<std::size_t>(at - significant));
  if (at < end) {
    if (*at != decimalMark) return std::nullopt;
    const char* const fraction = ++at;
    while (at < end && static_cast<unsigned char>(*at - '0') <= 9) ++at;
    if (at != end || at == fraction) return std::nullopt;
    number.fraction = std::string_view(fraction, static_cast<std::size_t>(at - fraction));
  }
  // Fifteen significant digits read and print back exactly through a double.
  if (number.whole.size() + number.fraction.size() > 15) return std::nullopt;
  const auto kept = static_cast<std::size_t>(std::max(decimals, 0));
  bool cutValue = false;  // the digits cut off are not all zeros
  if (number.fraction.size() > kept) {
    // Rounded as its digits round: the double read from them lies nearer to
    // them than to any boundary of the rounding, except one they sit on.
    const std::string_view cut = number.fraction.substr(kept);
    cutValue = cut.find_first_not_of('0') != std::string_view::npos;
    if (cut[0] == '5' && cut.find_first_not_of('0', 1) == std::string_view::npos) return std::nullopt;
    number.roundUp = cut[0] >= '5';
    number.fraction = number.fraction.substr(0, kept);
  }
  number.zero = !number.roundUp && number.whole.empty() &&
                number.fraction.find_first_not_of('0') == std::string_view::npos;
  // Not a zero but a value too small to show ("-0.0000001"): the readers
  // keep its minus, which a zero's loses.
  if (number.zero && cutValue) return std::nullopt;
  return number;
}

// WritePlainDecimal for a decimal whose last kept digit goes up by one:
// its digits are gathered, counted up with their carry, then written.
inline std::size_t WriteRoundedUp(char* out, const PlainDecimal& number, int width, int decimals,
                                  char decimalMark) {
  const auto places = static_cast<std::size_t>(std::max(decimals, 0));
  char digits[1 + 15 + 15];
  std::size_t count = 1;  // digits[0] is room for a carry out of the whole part
  digits[0] = '0';
  if (number.whole.empty()) {
    digits[count++] = '0';
  } else {
    std::memcpy(digits + count, number.whole.data(), number.whole.size());
    count += number.whole.size();
  }
  std::memcpy(digits + count, number.fraction.data(), number.fraction.size());
  count += number.fraction.size();
  for (std::size_t i = number.fraction.size(); i < places; ++i) digits[count++] = '0';
  std::size_t at = count;
  while (digits[at - 1] == '9') digits[--at] = '0';
  ++digits[at - 1];
  const std::size_t first = digits[0] == '0' ? 1 : 0;
  const std::size_t whole = count - places - first;
  const std::size_t length = (number.negative ? 1 : 0) + whole + (places > 0 ? 1 + places : 0);
  if (width < 0 || length > static_cast<std::size_t>(width) || static_cast<std::size_t>(width) > kFloatTextRoom) {
    return 0;
  }
  FillBlanks(out, kFloatTextRoom);
  char* text = out + (static_cast<std::size_t>(width) - length);
  if (number.negative) *text++ = '-';
  std::memcpy(text, digits + first, whole);
  text += whole;
  if (places > 0) {
    *text++ = decimalMark;
    std::memcpy(text, digits + count - places, places);
  }
  return static_cast<std::size_t>(width);
}

// What WriteFloatText writes for the decimal's value, read as ParseFloat
// reads it (a negative zero keeps its minus), when that text fits `width`;
// 0, writing nothing, when it does not.
inline std::size_t WritePlainDecimal(char* out, const PlainDecimal& number, int width, int decimals,
                                     char decimalMark) {
  if (number.whole.size() > 15 || number.fraction.size() > 15) return 0;  // as ReadPlainDecimal never gives
  if (number.roundUp) return WriteRoundedUp(out, number, width, decimals, decimalMark);
  const std::size_t whole = std::max<std::size_t>(number.whole.size(), 1);
  const std::size_t length =
      (number.negative ? 1 : 0) + whole + (decimals > 0 ? 1 + static_cast<std::size_t>(decimals) : 0);
  if (width < 0 || length > static_cast<std::size_t>(width) || static_cast<std::size_t>(width) > kFloatTextRoom) {
    return 0;
  }
  // Blanks over the whole room, then the text over them from its end.
  FillBlanks(out, kFloatTextRoom);
  char* at = out + (static_cast<std::size_t>(width) - length);
  if (number.negative) *at++ = '-';
  if (number.whole.empty()) {
    *at++ = '0';
  } else {
    CopyShort(at, number.whole.data(), number.whole.size());
    at += number.whole.size();
  }
  if (decimals > 0) {
    *at++ = decimalMark;
    CopyShort(at, number.fraction.data(), number.fraction.size());
    for (std::size_t i = number.fraction.size(); i < static_cast<std::size_t>(decimals); ++i) at[i] = '0';
  }
  return static_cast<std::size_t>(width);
}

// Whether whole-part digits (no leading zeros) stay under `below` degrees.
inline bool WholeUnder(std::string_view digits, int below) {
  if (digits.size() > 3) return false;
  int whole = 0;
  for (const char digit : digits) whole = whole * 10 + (digit - '0');
  return whole < below;
}

// The usual cell of a large file is its field's text already: an optional
// minus, a whole part with no leading zero (or a lone 0), the mark and
// exactly `decimals` digits, not all of them zeros, 4 to 16 characters.
// Such a cell is written right-aligned as it stands, and its length checked
// a word at a time; 0, writing nothing, for any other cell.
inline std::size_t WriteExactDecimalCell(char* out, std::string_view cell, int width, int decimals,
                                         char decimalMark, int below) {
  const std::size_t size = cell.size();
  if (size < 4 || size > 16 || decimals < 1 || static_cast<std::size_t>(decimals) + 2 > size ||
      width > static_cast<int>(kFloatTextRoom) || size > static_cast<std::size_t>(width) ||
      static_cast<unsigned char>(decimalMark - '0') <= 9 || decimalMark == '-') {
    return 0;
  }
  const char* text = cell.data();
  const std::size_t point = size - 1 - static_cast<std::size_t>(decimals);
  const std::size_t first = text[0] == '-' ? 1 : 0;  // of the whole part
  if (text[point] != decimalMark || first >= point) return 0;
  const bool loneZero = text[first] == '0';
  if (loneZero && point - first > 1) return 0;
  const std::size_t wholeDigits = loneZero ? 0 : point - first;
  if (wholeDigits + static_cast<std::size_t>(decimals) > 15) return 0;
  // Every other byte a digit: the minus and the mark are made zeros in words
  // loaded from the cell, the first and last eight (or four) bytes of it.
  if constexpr (std::endian::native != std::endian::little) return 0;
  constexpr std::uint64_t kZeros = kByteOnes * '0';
  const std::uint64_t minus = first == 1 ? static_cast<unsigned char>('-' ^ '0') : 0;
  const std::uint64_t mark = static_cast<unsigned char>(decimalMark ^ '0');
  std::uint64_t low = kZeros, high = kZeros;
  if (size >= 8) {
    const std::size_t highStart = size - 8;
    low = LoadWord(text) ^ minus;
    high = LoadWord(text + highStart) ^ (highStart == 0 ? minus : 0);
    if (point < 8) low ^= mark << (8 * point);
    if (point >= highStart) high ^= mark << (8 * (point - highStart));
  } else {
    // Bytes 0..3 of the text, then bytes size-4..size-1.
    std::uint32_t head, tail;
    std::memcpy(&head, text, 4);
    std::memcpy(&tail, text + size - 4, 4);
    const std::size_t tailStart = size - 4;
    low = (head ^ minus) | static_cast<std::uint64_t>(tail ^ (tailStart == 0 ? minus : 0)) << 32;
    if (point < 4) low ^= mark << (8 * point);
    if (point >= tailStart) low ^= mark << (8 * (4 + point - tailStart));
  }
  if (!AllDigits(low) || !AllDigits(high) || (low == kZeros && high == kZeros)) return 0;
  if (below > 0 && !WholeUnder(std::string_view(text + first, wholeDigits), below)) return 0;
  FillBlanks(out, static_cast<std::size_t>(width));
  CopyShort(out + (static_cast<std::size_t>(width) - size), text, size);
  return static_cast<std::size_t>(width);
}

// A plain decimal cell written into its field as WritePlainDecimal writes
// it; 0, writing nothing, for any other cell. With `below` its whole part
// must stay under that many degrees, and a minus zero loses its minus, as the
// coordinate readers give it.
inline std::size_t WriteDecimalCellAsRead(char* out, std::string_view cell, int width, int decimals,
                                          char decimalMark, int below) {
  std::optional<PlainDecimal> number = ReadPlainDecimal(cell, decimals, decimalMark);
  if (!number) return 0;
  if (below > 0) {
    if (!WholeUnder(number->whole, below)) return 0;
    if (number->zero) number->negative = false;
  }
  return WritePlainDecimal(out, *number, width, decimals, decimalMark);
}

// The same, the usual cell without reading it.
inline std::size_t WritePlainDecimalCell(char* out, std::string_view cell, int width, int decimals, char decimalMark,
                                         int below = 0) {
  if (const std::size_t written = WriteExactDecimalCell(out, cell, width, decimals, decimalMark, below)) {
    return written;
  }
  return WriteDecimalCellAsRead(out, cell, width, decimals, decimalMark, below);
}

// Heading words of the zone, easting and northing fields by the grid's numbers:
// zone 4 -> "Zone", easting 6 -> "Eastng", northing 8 -> "Northing"; 0 or over 8
// -> "", "E", "N".
std::string_view ZoneWord(int zoneWidth);
std::string_view EastingWord(int eastingDigits);
std::string_view NorthingWord(int northingDigits);

// Set by the export run when the user goes on with a default coordinate.
struct ExportFlags {
  bool useDefaultLatLong = false;
  bool useDefaultEastNorth = false;
};

// Everything one export's format depends on, read from the state when the run
// starts. The decimal mark is the conversion's, for this run only.
struct ExportSetup {
  const ConversionSettings& settings;
  const KindColumn& kinds;
  const GridState& grid;
  const DatumState& datum;
  ExportFlags flags;
  char decimalMark = '.';
  int idWidth = kMinFieldWidth;
  int symbolWidth = kMinFieldWidth;

  // The code of the column holding a slot, empty when none does.
  std::string_view CodeOf(Slot slot) const;
  // The Other column holds "OX"; any other "O" code counts as a grid column.
  bool OtherIsGarmin() const;
  bool OtherIsGrid() const;
};

// Any grid box entry but the first (latitude/longitude) is chosen.
bool ProjectedGridChosen(const GridState& grid);

// Header lines 1 to 8 (the last one empty), without line ends.
std::vector<std::string> BuildHeaderLines(const ExportSetup& setup);

// The layout letters for mode 'W', 'R' or 'T'; empty for any other mode.
// Waypoints with latitude, longitude, date, time, symbol, comments: "IKLDTSMC";
// trackpoints with zone, easting, northing and a day count: "ZENDTQ".
std::string BuildFieldLayout(char mode, const ExportSetup& setup);

// "F" and, per letter, one blank and its heading word.
std::string BuildHeadingLine(std::string_view layout, const ExportSetup& setup);

// The "G" field from a cell holding zone, easting and northing separated by
// blanks ("30U 12345 5712345"; a token may be quoted). Begins with a blank
// when the grid has no zones. Throws "Coordinate too large".
std::string GridGroupField(std::string_view cell, const ExportSetup& setup);

// The "C" field: the non-empty Comment-1..5 cells joined by single blanks.
void AppendCommentField(std::string& out, const RowCells& row, const KindColumn& kinds);

// Prefix and counter with "%3.3d": ("WPT", 7) -> "WPT007", ("WPT", 1234) -> "WPT1234".
std::string GeneratedId(std::string_view prefix, int counter);

// A waypoint line's route entry: its first idWidth + 2 characters, trimmed ("W WPT001").
std::string_view RouteEntry(std::string_view waypointLine, int idWidth);
// "R 01 " + first ID + "-" + last ID, each taken from its entry's third character.
std::string RouteHeadLine(std::string_view firstEntry, std::string_view lastEntry);

// The data column to show for a failure in the field of `letter` (0: the
// line as a whole); column 1 when the field has none.
int FailingFieldColumn(char letter, const KindColumn& kinds);

}  // namespace zevi
