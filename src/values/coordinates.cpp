#include "values/coordinates.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>

#include "source/loader.h"
#include "values/failures.h"
#include "values/numbers.h"

namespace zevi {

namespace {

constexpr const char* kInvalidFormat = "Invalid Coordinate Format";
// A longer text without a leading sign or letter does not fit the reader's buffer.
constexpr std::size_t kMaxPlainCoordinate = 127;
// What is kept after a leading sign or letter.
constexpr std::size_t kKeptAfterLead = 99;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// TrimText, with the call saved for the usual cell that has nothing to trim
// (a blank or control character at either end).
std::string_view TrimmedText(std::string_view text) {
  auto plain = [](char c) { return static_cast<unsigned char>(c) > ' '; };
  return !text.empty() && plain(text.front()) && plain(text.back()) ? text : TrimText(text);
}

// The leading run of characters accepted by `accept`; the character that ends
// the run is thrown away and what follows is trimmed.
template <typename Accept>
std::string_view TakeRun(std::string_view& text, Accept accept) {
  std::size_t length = 0;
  while (length < text.size() && accept(text[length])) ++length;
  std::string_view run = text.substr(0, length);
  text = TrimText(text.substr(std::min(length + 1, text.size())));
  return run;
}

bool IsMinutesChar(char c) { return IsDigit(c) || c == ',' || c == '.'; }

// Degrees of an "M" or "S" text: a leading non-digit means no degrees.
std::string_view TakeDegrees(std::string_view& text) {
  if (!text.empty() && !IsDigit(text.front())) {
    text = TrimText(text.substr(1));
    return "0";
  }
  return TakeRun(text, IsDigit);
}

struct Axis {
  Slot main, minutes, seconds, hemisphere;
  char negativeLetter;       // what a hemisphere cell starts with on the negative side
  int ConversionSettings::*sign;
  double limit;              // 90 or 180
  bool wraps;                // a longitude above 180 comes back once by 360
  int width;
  const char* rangeMessage;
};

constexpr Axis kLatitude{Slot::Latitude, Slot::LatitudeMinutes, Slot::LatitudeSeconds,
                         Slot::LatitudeHemisphere, 'S', &ConversionSettings::latitudeSign,
                         90.0, false, 10, "Latitude Range"};
constexpr Axis kLongitude{Slot::Longitude, Slot::LongitudeMinutes, Slot::LongitudeSeconds,
                          Slot::LongitudeHemisphere, 'W', &ConversionSettings::longitudeSign,
                          180.0, true, 11, "Longitude Range"};

char NotationOf(const ConversionSettings& settings, int column) {
  if (column <= kNoColumn || column >= kMaxColumnCount) return 'M';
  const ColumnCode& code = settings.columns.entries[column].code;
  return code.size() >= 2 ? code[1] : 'M';
}

double AxisValue(const RowCells& row, const ValueContext& context, const Axis& axis) {
  const KindColumn& kinds = context.kinds;
  Hemisphere hemisphere = Hemisphere::Unknown;
  if (kinds.Has(axis.hemisphere)) {
    std::string_view cell = CellOf(row, kinds[axis.hemisphere]);
    char letter = cell.empty() ? ' ' : cell.front();
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    hemisphere = letter == axis.negativeLetter ? Hemisphere::SouthWest : Hemisphere::NorthEast;
  }

  double companion = 0;
  bool hasMinutes = kinds.Has(axis.minutes);
  if (kinds.Has(axis.seconds)) {
    companion = StrToFloat(CellOf(row, kinds[axis.seconds]), context.decimalMark) / 60.0;
    // Seconds without a minutes column are still seconds of a degree.
    if (!hasMinutes) companion /= 60.0;
  }
  if (hasMinutes) {
    companion = (StrToFloat(CellOf(row, kinds[axis.minutes]), context.decimalMark) + companion) / 60.0;
  }

  int mainColumn = kinds[axis.main];
  double value = ReadCoordinate(NotationOf(context.settings, mainColumn), CellOf(row, mainColumn),
                                hemisphere, context.decimalMark);
  value = value >= 0 ? value + companion : value - companion;

  int factor = hemisphere == Hemisphere::Unknown ? context.settings.*axis.sign
                                                 : static_cast<int>(hemisphere);
  value *= factor;

  if (axis.wraps && value > axis.limit) value -= 360.0;
  if (value > axis.limit || value < -axis.limit) throw EInvalidLine(axis.rangeMessage);
  return value;
}

std::string AxisField(const RowCells& row, const ValueContext& context, const Axis& axis) {
  return FormatFloat(AxisValue(row, context, axis), axis.width, 6, context.decimalMark);
}

// Eight hexadecimal digits at most, as the 32-bit pattern they spell.
std::optional<std::uint32_t> ParseHex32(std::string_view text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    std::uint32_t digit;
    if (c >= '0' && c <= '9') digit = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F') digit = static_cast<std::uint32_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f') digit = static_cast<std::uint32_t>(c - 'a' + 10);
    else return std::nullopt;
    value = value << 4 | digit;
  }
  return value;
}

std::uint32_t Hex32(std::string_view token) {
  if (auto value = ParseHex32(token)) return *value;
  throw EConvertError("'" + std::string(token) + "' is not a valid integer value");
}

double SemicirclesToDegrees(std::uint32_t pattern) {
  return static_cast<double>(static_cast<std::int32_t>(pattern)) * 180.0 / 2147483648.0;
}

// Blank-separated tokens; an empty token (two blanks, or the end) ends the list.
std::string_view NextToken(std::string_view& rest) {
  std::size_t blank = rest.find(' ');
  std::string_view token = rest.substr(0, blank);
  rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
  return token;
}

std::string RightAligned(std::string text, std::size_t width) {
  if (text.size() > width) return text.substr(text.size() - width);
  text.insert(0, width - text.size(), ' ');
  return text;
}

constexpr int kDefaultGarminSymbol = 18;

}  // namespace

double ReadCoordinate(char notation, std::string_view text, Hemisphere& hemisphere,
                      char decimalMark) {
  text = TrimmedText(text);
  if (text.empty()) throw EInvalidLine(kInvalidFormat);

  double textSign = 1;
  char lead = text.front();
  if (!IsDigit(lead) && lead != ',' && lead != '.') {
    switch (lead) {
      case 'N': case 'E': hemisphere = Hemisphere::NorthEast; break;
      case 'S': case 'W': hemisphere = Hemisphere::SouthWest; break;
      case '-': textSign = -1; break;
      case '+': break;
      default: throw EInvalidLine(kInvalidFormat);
    }
    text = text.substr(1, kKeptAfterLead);
  } else if (text.size() > kMaxPlainCoordinate) {
    throw ERangeError();
  }

  switch (text.empty() ? ' ' : text.back()) {
    case 'N': case 'E': hemisphere = Hemisphere::NorthEast; text.remove_suffix(1); break;
    case 'S': case 'W': hemisphere = Hemisphere::SouthWest; text.remove_suffix(1); break;
    default: break;
  }
  // "N 51 30.5" and "51 30.5 N" read like "51 30.5".
  text = TrimmedText(text);
  // A sign or a letter alone ("N", "-", "-S") says nothing about where the point is.
  if (text.empty()) throw EInvalidLine(kInvalidFormat);

  std::string_view degrees, minutes, seconds;
  switch (notation) {
    case 'D':
      degrees = text;
      break;
    case 'N': {
      std::size_t point = text.find('.');
      if (point == std::string_view::npos || point < 3) throw EInvalidLine(kInvalidFormat);
      degrees = text.substr(0, point - 2);
      minutes = text.substr(point - 2);
      break;
    }
    default: {
      std::string_view rest = text;
      degrees = TakeDegrees(rest);
      minutes = TakeRun(rest, IsMinutesChar);
      if (notation == 'S') seconds = TakeRun(rest, IsMinutesChar);
      break;
    }
  }

  double value = StrToFloat(degrees, decimalMark);
  if (notation != 'D') value += StrToFloat(minutes, decimalMark) / 60.0;
  if (notation == 'S') value += StrToFloat(seconds, decimalMark) / 3600.0;
  return value * textSign;
}

std::string LatitudeField(const RowCells& row, const ValueContext& context) {
  return AxisField(row, context, kLatitude);
}

std::string LongitudeField(const RowCells& row, const ValueContext& context) {
  return AxisField(row, context, kLongitude);
}

namespace {

// The notation of the axis' main cell when that cell alone gives its value
// (no hemisphere, minutes or seconds column); 0 otherwise.
char LoneCellNotation(const ValueContext& context, const Axis& axis) {
  const KindColumn& kinds = context.kinds;
  if (!kinds.Has(axis.main) || kinds.Has(axis.hemisphere) || kinds.Has(axis.minutes) || kinds.Has(axis.seconds)) {
    return 0;
  }
  return NotationOf(context.settings, kinds[axis.main]);
}

}  // namespace

bool AxisIsPlainDegrees(const ValueContext& context, bool latitude) {
  const Axis& axis = latitude ? kLatitude : kLongitude;
  return LoneCellNotation(context, axis) == 'D' && context.settings.*axis.sign == 1;
}

bool AxisIsPlainMinutes(const ValueContext& context, bool latitude) {
  return LoneCellNotation(context, latitude ? kLatitude : kLongitude) == 'M';
}

double LatitudeValue(const RowCells& row, const ValueContext& context) {
  return AxisValue(row, context, kLatitude);
}

double LongitudeValue(const RowCells& row, const ValueContext& context) {
  return AxisValue(row, context, kLongitude);
}

std::string GarminHexField(std::string_view cell, char decimalMark) {
  std::string_view rest = TrimText(cell);
  std::string_view token = NextToken(rest);
  if (token == "GARMIN") token = NextToken(rest);
  double latitude = SemicirclesToDegrees(Hex32(token));
  double longitude = SemicirclesToDegrees(Hex32(NextToken(rest)));
  // Half the circle reads as a latitude: cutting "-180.000000" to ten
  // characters would turn it into a positive latitude.
  if (latitude > 90.0 || latitude < -90.0) throw EInvalidLine(kLatitude.rangeMessage);

  std::int64_t symbol = kDefaultGarminSymbol;
  double altitude = 0;
  for (token = NextToken(rest); !token.empty(); token = NextToken(rest)) {
    if (token.front() == 'A' && token.size() == 9) {
      float metres = std::bit_cast<float>(Hex32(token.substr(1)));
      if (!std::isfinite(metres)) {
        throw EConvertError("'" + std::string(token.substr(1)) + "' is not a valid floating point value");
      }
      altitude = metres;
    } else if (token.front() == 'B') {
      if (auto number = ParseHex32(token.substr(1, 4))) symbol = *number;
    }
  }

  std::string result = RightAligned(FormatFloat(latitude, 10, 6, decimalMark), 10);
  result += ' ';
  result += RightAligned(FormatFloat(longitude, 10, 6, decimalMark), 11);
  result += ' ';
  result += FormatInt(symbol, 6, 0);
  result += ' ';
  result += FormatFloat(altitude, 8, 1, decimalMark);
  return result;
}

}  // namespace zevi
