#include "export/format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <tuple>
#include <utility>

#include "source/bytewords.h"
#include "source/loader.h"
#include "values/gridvalues.h"
#include "values/numbers.h"

namespace zevi {

namespace {

constexpr std::array<std::string_view, 9> kZoneWords = {"", "Z", "Zn", "Zne", "Zone", "Zone ", "", "", ""};
constexpr std::array<std::string_view, 9> kEastingWords = {
    "E", "E", "E", "E", "East", "Eastg", "Eastng", "Easting", "Easting "};
constexpr std::array<std::string_view, 9> kNorthingWords = {
    "N", "N", "N", "N", "Nrth", "North", "Northg", "Northng", "Northing"};

std::string_view WordByNumber(const std::array<std::string_view, 9>& words, int number) {
  return number > 0 && number < static_cast<int>(words.size()) ? words[number] : words[0];
}

constexpr std::array<Slot, 5> kCommentSlots = {Slot::Comment1, Slot::Comment2, Slot::Comment3,
                                               Slot::Comment4, Slot::Comment5};

bool AnyComment(const KindColumn& kinds) {
  return std::any_of(kCommentSlots.begin(), kCommentSlots.end(),
                     [&](Slot slot) { return kinds.Has(slot); });
}

// "DEG", "DM" or "DMS" of the units line.
std::string_view LatLongUnits(const ExportSetup& setup, bool garminSymbolSet) {
  if (garminSymbolSet || setup.flags.useDefaultLatLong) return "DEG";
  std::string_view code = setup.CodeOf(Slot::Latitude);
  if (code == "KM") return "DM";
  if (code == "KS") return "DMS";
  return "DEG";
}

std::string_view AuxHeading(char auxData) {
  switch (auxData) {
    case 'B': return "Heading";
    case 'H': return "HRt(bmp)";
    case 'T': return "Temp(\xB0" "C)";
    default: return "Depth";
  }
}

// One token of a grid cell: leading blanks skipped, a quoted part kept whole
// with its quotes, the blank that ends the token consumed.
std::string_view TakeGridToken(std::string_view& rest) {
  std::size_t start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  rest.remove_prefix(start);
  std::size_t from = 0;
  if (rest.front() == '"') {
    std::size_t close = rest.find('"', 1);
    from = close == std::string_view::npos ? rest.size() : close + 1;
  }
  std::size_t blank = rest.find(' ', from);
  std::string_view token = rest.substr(0, blank);
  rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
  return token;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
// Below 2^52 a double's whole part fits an integer and its distance to the
// next half is exact.
constexpr double kExactScaled = 4503599627370496.0;

// round(|value| x 10^decimals) with ties to even on the exact product, as
// printf rounds; nothing when the product is too large for the shortcut.
std::optional<std::uint64_t> RoundedScaled(double value, int decimals) {
  if (decimals < 0 || decimals >= static_cast<int>(std::size(kPowersOfTen))) return std::nullopt;
  const double magnitude = std::fabs(value);
  const double power = kPowersOfTen[decimals];
  const double scaled = magnitude * power;
  if (!(scaled < kExactScaled)) return std::nullopt;  // also NaN and infinity
  auto digits = static_cast<std::uint64_t>(scaled);
  double beyondHalf = scaled - static_cast<double>(digits) - 0.5;
  // The product may be off by half a unit in its last place: when that could
  // cross the half, the exact product (scaled + error) decides, and adding two
  // doubles keeps the sign of their exact sum.
  if (std::fabs(beyondHalf) <= scaled * 0x1p-52) beyondHalf += std::fma(magnitude, power, -scaled);
  if (beyondHalf > 0 || (beyondHalf == 0 && (digits & 1) != 0)) ++digits;
  return digits;
}

constexpr std::uint64_t kWholePowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000,
                                               10000000, 100000000, 1000000000};

// The digits of `number` written backwards to `at`, two at a time, at least
// `digits` of them (zeros in front); returns where they start.
// 32-bit numbers, nearly all of them, divide faster than 64-bit ones.
template <typename Unsigned>
inline char* WriteDigitsBackwards(char* at, Unsigned number, int digits) {
  for (; digits >= 2 || number >= 100; digits -= 2) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * (number % 100), 2);
    number /= 100;
  }
  if (number >= 10) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * number, 2);
  } else if (digits > 0 || number > 0) {
    *--at = static_cast<char>('0' + number);
  }
  return at;
}

// Exactly `Digits` digits of a number below 10^Digits, unrolled.
template <int Digits>
inline char* WriteFixedDigits(char* at, std::uint32_t number) {
  for (int written = 0; written + 2 <= Digits; written += 2) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * (number % 100), 2);
    number /= 100;
  }
  if constexpr (Digits % 2 != 0) *--at = static_cast<char>('0' + number);
  return at;
}

}  // namespace

namespace {

// `scaled` units of the last of `decimals` decimals, below 2^52, written as
// WriteFloatText writes them.
std::size_t WriteScaledText(char* out, std::uint64_t scaled, bool negative, int width, int decimals,
                            char decimalMark) {
  // Divisions by constants for the export's two cases: a division by a
  // variable is many times slower.
  std::uint64_t whole;
  switch (decimals) {
    case 1: whole = scaled / 10; break;
    case 6: whole = scaled / 1000000; break;
    default: whole = scaled / kWholePowersOfTen[decimals]; break;
  }
  // Below 10^9: fits 32 bits.
  const auto fraction = static_cast<std::uint32_t>(scaled - whole * kWholePowersOfTen[decimals]);
  int wholeDigits = 1;
  for (std::uint64_t power = 10; whole >= power && wholeDigits < 16; power *= 10) ++wholeDigits;
  const int length = wholeDigits + (decimals > 0 ? decimals + 1 : 0) + (negative ? 1 : 0);
  const int padded = std::max(length, width);
  // Blanks over the whole room at once, then the text backwards from its end.
  std::memset(out, ' ', kFloatTextRoom);
  char* at = out + padded;
  switch (decimals) {
    case 0: break;
    case 1: at = WriteFixedDigits<1>(at, fraction); break;
    case 6: at = WriteFixedDigits<6>(at, fraction); break;
    default: at = WriteDigitsBackwards(at, fraction, decimals); break;
  }
  if (decimals > 0) *--at = decimalMark;
  if (whole < 10) {
    *--at = static_cast<char>('0' + whole);
  } else if (whole < 100) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * whole, 2);
  } else {
    at = whole <= UINT32_MAX ? WriteDigitsBackwards(at, static_cast<std::uint32_t>(whole), 1)
                             : WriteDigitsBackwards(at, whole, 1);
  }
  if (negative) *--at = '-';
  return static_cast<std::size_t>(padded);
}

}  // namespace

std::size_t WriteFloatText(char* out, double value, int width, int decimals, char decimalMark) {
  std::optional<std::uint64_t> scaled = RoundedScaled(value, decimals);
  if (!scaled || width > static_cast<int>(kFloatTextRoom)) return 0;
  return WriteScaledText(out, *scaled, std::signbit(value), width, decimals, decimalMark);
}

std::size_t WriteMinutesCell(char* out, std::string_view cell, int width, char decimalMark, int below, int sign) {
  if (cell.size() < 3 || width > static_cast<int>(kFloatTextRoom) || (decimalMark != '.' && decimalMark != ',')) {
    return 0;
  }
  const char* at = cell.data();
  const char* end = at + cell.size();
  // A letter first decides the sign, else the settings' one does; a minus
  // turns it, though not for a zero, whose minus the reader loses.
  bool minus = false;
  switch (*at) {
    case 'N': case 'E': sign = 1; ++at; break;
    case 'S': case 'W': sign = -1; ++at; break;
    case '-': minus = true; ++at; break;
    default: break;
  }
  auto digits = [&](int most) {
    std::uint64_t number = 0;
    int count = 0;
    for (; at < end && count < most && static_cast<unsigned char>(*at - '0') <= 9; ++at, ++count) {
      number = number * 10 + static_cast<unsigned char>(*at - '0');
    }
    return std::pair{number, count};
  };
  const auto [degrees, degreeDigits] = digits(3);
  if (degreeDigits == 0 || at == end || *at != ' ' || degrees >= static_cast<std::uint64_t>(below)) return 0;
  ++at;
  const auto [minutes, minuteDigits] = digits(2);
  if (minuteDigits == 0 || minutes >= 60) return 0;
  std::uint64_t fraction = 0;
  int decimals = 0;
  if (at < end) {
    if (*at != decimalMark) return 0;
    ++at;
    std::tie(fraction, decimals) = digits(4);
    if (decimals == 0) return 0;
  }
  if (at != end) return 0;
  // Minutes with at most four decimals are a whole number of thirds of a
  // millionth of a degree: never a tie at six decimals, and at least a sixth
  // of a millionth from one, far more than the reader's double is off, so
  // both round alike.
  const std::uint64_t units = (minutes * kWholePowersOfTen[decimals] + fraction) * kWholePowersOfTen[6 - decimals];
  const std::uint64_t scaled = degrees * 1000000 + (units + 30) / 60;
  return WriteScaledText(out, scaled, (minus && scaled != 0) != (sign < 0), width, 6, decimalMark);
}

std::string PadRight(std::string_view text, int width) {
  std::string out;
  AppendPadRight(out, text, width);
  return out;
}

std::string PadLeft(std::string_view text, int width) {
  std::string out;
  AppendPadLeft(out, text, width);
  return out;
}

void AppendPadRight(std::string& out, std::string_view text, int width) {
  std::size_t w = static_cast<std::size_t>(std::max(width, 0));
  if (text.size() >= w) {
    out.append(text.substr(0, w));
  } else {
    out.append(text);
    out.append(w - text.size(), ' ');
  }
}

void AppendPadLeft(std::string& out, std::string_view text, int width) {
  std::size_t w = static_cast<std::size_t>(std::max(width, 0));
  if (text.size() >= w) {
    out.append(text.substr(text.size() - w));
  } else {
    out.append(w - text.size(), ' ');
    out.append(text);
  }
}

std::string PadWith(std::string_view text, char fill, int width) {
  std::string out(text);
  if (width > static_cast<int>(out.size())) out.append(static_cast<std::size_t>(width) - out.size(), fill);
  return out;
}

std::string ReplaceChar(std::string_view text, char from, char to) {
  std::string out(text);
  std::replace(out.begin(), out.end(), from, to);
  return out;
}

std::string_view ZoneWord(int zoneWidth) { return WordByNumber(kZoneWords, zoneWidth); }
std::string_view EastingWord(int eastingDigits) { return WordByNumber(kEastingWords, eastingDigits); }
std::string_view NorthingWord(int northingDigits) {
  return WordByNumber(kNorthingWords, northingDigits);
}

std::string_view ExportSetup::CodeOf(Slot slot) const {
  int column = kinds[slot];
  if (column <= kNoColumn || column >= kMaxColumnCount) return {};
  return settings.columns.entries[column].code;
}

bool ExportSetup::OtherIsGarmin() const {
  std::string_view code = CodeOf(Slot::Grid);
  return code.size() >= 2 && code[1] == 'X';
}

bool ExportSetup::OtherIsGrid() const { return kinds.Has(Slot::Grid) && !OtherIsGarmin(); }

bool ProjectedGridChosen(const GridState& grid) { return grid.selected > 0; }

std::vector<std::string> BuildHeaderLines(const ExportSetup& setup) {
  std::vector<std::string> lines;
  lines.push_back("I ZADI " + ReplaceChar(kProgramVersion, '.', setup.decimalMark));
  if (setup.kinds.Has(Slot::Date)) {
    switch (setup.settings.dateFormat) {
      case 'M': lines.emplace_back("S DateFormat=mm/dd/yyyy"); break;
      case 'Y': lines.emplace_back("S DateFormat=yyyy/mm/dd"); break;
      default: lines.emplace_back("S DateFormat=dd/mm/yyyy"); break;
    }
  }
  if (setup.kinds.Has(Slot::Altitude) && setup.kinds.altitudeUnit == 'F') lines.emplace_back("S Units=F,F");
  bool garminSymbolSet = !setup.kinds.Has(Slot::Latitude) && setup.OtherIsGarmin();
  if (garminSymbolSet) lines.emplace_back("S Symbolset=2");
  if (ProjectedGridChosen(setup.grid)) {
    lines.push_back("U " + setup.grid.name);
  } else {
    lines.push_back("U LAT LON " + std::string(LatLongUnits(setup, garminSymbolSet)));
  }
  lines.push_back(setup.datum.line);
  if (setup.settings.symbolType != 0) {
    lines.push_back("S SymbolSet=" + std::to_string(setup.settings.symbolType));
  }
  lines.emplace_back();
  return lines;
}

std::string BuildFieldLayout(char mode, const ExportSetup& setup) {
  const KindColumn& kinds = setup.kinds;
  if (mode != 'W' && mode != 'R' && mode != 'T') return {};

  std::string layout;
  if (kinds.Has(Slot::Latitude) || setup.flags.useDefaultLatLong) {
    layout = "KL";
  } else if (kinds.Has(Slot::Grid)) {
    layout = setup.OtherIsGarmin() ? "X" : "G";
  } else if (kinds.Has(Slot::Easting) || setup.flags.useDefaultEastNorth) {
    layout = kinds.Has(Slot::Zone) || setup.grid.zoneWidth > 0 ? "ZEN" : "EN";
  }
  if (kinds.Has(Slot::Altitude)) layout += 'H';
  if (kinds.Has(Slot::Aux)) layout += 'A';

  if (mode == 'T') {
    if (kinds.Has(Slot::DateTime) || kinds.Has(Slot::DaysCount) || kinds.Has(Slot::SecondsCount)) {
      layout += "DT";
    } else {
      if (kinds.Has(Slot::Date) || kinds.Has(Slot::Day) || kinds.Has(Slot::Month) ||
          kinds.Has(Slot::Year)) {
        layout += 'D';
      }
      if (kinds.Has(Slot::Time)) layout += 'T';
    }
    layout += 'Q';
  } else {
    layout.insert(layout.begin(), 'I');
    if (kinds.Has(Slot::DateTime)) {
      layout += "DT";
    } else {
      if (kinds.Has(Slot::Date)) layout += 'D';
      if (kinds.Has(Slot::Time)) layout += 'T';
    }
    if (kinds.Has(Slot::Symbol)) layout += 'S';
    layout += 'M';
  }
  if (AnyComment(kinds)) layout += 'C';
  return layout;
}

std::string BuildHeadingLine(std::string_view layout, const ExportSetup& setup) {
  const GridState& grid = setup.grid;
  std::string line = "F";
  for (char letter : layout) {
    line += ' ';
    switch (letter) {
      case 'I': line += PadWith("ID", '-', setup.idWidth); break;
      case 'K': line += "Latitude  "; break;
      case 'L': line += "Longitude  "; break;
      case 'X': line += "Latitude   Longitude   Symbol   Alt(m)"; break;
      case 'G':
        line.append(ZoneWord(grid.zoneWidth)).append(" ");
        line.append(EastingWord(grid.eastingDigits)).append(" ");
        line.append(NorthingWord(grid.northingDigits));
        break;
      case 'Z': line += ZoneWord(grid.zoneWidth); break;
      case 'E': line += EastingWord(grid.eastingDigits); break;
      case 'N': line += NorthingWord(grid.northingDigits); break;
      case 'H': line += setup.CodeOf(Slot::Altitude) == "HF" ? " Alt(ft)" : "  Alt(m)"; break;
      case 'A': line += AuxHeading(setup.settings.auxData); break;
      case 'D': line += "Date      "; break;
      case 'T': line += "Time    "; break;
      case 'S': line += PadWith("Symbol", '-', setup.symbolWidth); break;
      case 'M': line += 'T'; break;
      case 'Q': line += 'S'; break;
      case 'C': line += "Comment"; break;
      default: break;
    }
  }
  return line;
}

std::string GridGroupField(std::string_view cell, const ExportSetup& setup) {
  const GridState& grid = setup.grid;
  std::string_view rest = cell;
  std::string field;
  if (grid.zoneWidth > 0) AppendPadRight(field, TakeGridToken(rest), grid.zoneWidth);
  std::string_view easting = TakeGridToken(rest);
  std::string_view northing = TakeGridToken(rest);
  field += ' ';
  field += GridValueField(easting, grid.eastingDigits, setup.settings.scaleFactor,
                          setup.settings.alignment);
  field += ' ';
  field += GridValueField(northing, grid.northingDigits, setup.settings.scaleFactor,
                          setup.settings.alignment);
  return field;
}

void AppendCommentField(std::string& out, const RowCells& row, const KindColumn& kinds) {
  bool first = true;
  for (Slot slot : kCommentSlots) {
    std::string_view piece = CellOf(row, kinds[slot]);
    if (piece.empty()) continue;
    if (!first) out += ' ';
    out.append(piece);
    first = false;
  }
}

std::string GeneratedId(std::string_view prefix, int counter) {
  return std::string(prefix) + FormatInt(counter, 3, 3);
}

std::string_view RouteEntry(std::string_view waypointLine, int idWidth) {
  return TrimText(waypointLine.substr(0, static_cast<std::size_t>(std::max(idWidth, 0)) + 2));
}

std::string RouteHeadLine(std::string_view firstEntry, std::string_view lastEntry) {
  auto id = [](std::string_view entry) {
    return entry.size() > 2 ? entry.substr(2, 99) : std::string_view{};
  };
  std::string line = "R 01 ";
  line.append(id(firstEntry)).append("-").append(id(lastEntry));
  return line;
}

int FailingFieldColumn(char letter, const KindColumn& kinds) {
  auto first = [&](std::initializer_list<Slot> slots) {
    for (Slot slot : slots) {
      if (kinds.Has(slot)) return kinds[slot];
    }
    return 1;
  };
  switch (letter) {
    case 'I': return first({Slot::ID});
    case 'X':
    case 'G': return first({Slot::Grid});
    case 'Z': return first({Slot::Zone});
    case 'E': return first({Slot::Easting});
    case 'N': return first({Slot::Northing});
    case 'K': return first({Slot::Latitude});
    case 'L': return first({Slot::Longitude});
    case 'D': return first({Slot::DateTime, Slot::Date, Slot::Day, Slot::Month, Slot::Year});
    case 'T': return first({Slot::DateTime, Slot::Time});
    case 'H': return first({Slot::Altitude});
    case 'A': return first({Slot::Aux});
    case 'S': return first({Slot::Symbol});
    case 'C': return first({Slot::Comment1});
    default: return 1;
  }
}

}  // namespace zevi
