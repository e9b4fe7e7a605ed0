#include "export/suggest.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <stdexcept>

#include "export/format.h"
#include "export/positioncheck.h"
#include "export/preview.h"
#include "platform/ini.h"
#include "settings/settings.h"
#include "settings/state.h"
#include "source/kinds.h"
#include "source/loader.h"
#include "source/range.h"
#include "values/coordinates.h"
#include "values/datetime.h"
#include "values/gridvalues.h"
#include "values/numbers.h"

namespace zevi {

namespace {

constexpr int kSampleRecords = 1000;
// A column fits a kind when this share of its non-empty sampled cells reads.
constexpr double kFitShare = 0.95;
// Days from 1/1/1900 of 1 January 1980 and of 1 January 2100.
constexpr double kFirstPlausibleDay = 29221;
constexpr double kLastPlausibleDay = 73051;
// Seconds from 31/12/1989 of 1 January 1995 and of 1 January 2100.
constexpr std::int64_t kFirstPlausibleSecond = 157852800;
constexpr std::int64_t kLastPlausibleSecond = 3471379200;
constexpr double kDayOfSecondsEpoch = 32873;  // 31 December 1989
constexpr double kSecondsPerDay = 86400;
constexpr int kCommentPieces = 5;

enum class Family {
  None, Latitude, Longitude, Altitude, Date, Time, DateTime, Id, Comment, Symbol,
  Easting, Northing, Zone, Aux,
};

struct HeadingWord {
  std::string_view word;
  Family family;
  char auxLetter = 0;
};

constexpr std::array<HeadingWord, 32> kHeadingWords = {{
    {"lat", Family::Latitude}, {"latitude", Family::Latitude},
    {"lon", Family::Longitude}, {"lng", Family::Longitude}, {"long", Family::Longitude},
    {"longitude", Family::Longitude},
    {"alt", Family::Altitude}, {"altitude", Family::Altitude}, {"ele", Family::Altitude},
    {"elevation", Family::Altitude}, {"height", Family::Altitude},
    {"date", Family::Date}, {"time", Family::Time}, {"datetime", Family::DateTime},
    {"timestamp", Family::DateTime},
    {"name", Family::Id}, {"id", Family::Id}, {"ident", Family::Id},
    {"comment", Family::Comment}, {"desc", Family::Comment}, {"description", Family::Comment},
    {"note", Family::Comment},
    {"symbol", Family::Symbol}, {"sym", Family::Symbol},
    {"easting", Family::Easting}, {"northing", Family::Northing}, {"zone", Family::Zone},
    {"depth", Family::Aux, 'D'}, {"temp", Family::Aux, 'T'}, {"temperature", Family::Aux, 'T'},
    {"heading", Family::Aux, 'B'},
    {"hr", Family::Aux, 'H'},
}};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// What a heading cell says.
struct HeadingMatch {
  Family family = Family::None;
  char auxLetter = 0;
  bool feet = false;
};

HeadingMatch MatchHeading(std::string_view cell) {
  HeadingMatch match;
  bool date = false, time = false;
  std::string word;
  auto endWord = [&] {
    if (word == "ft" || word == "feet") match.feet = true;
    for (const HeadingWord& entry : kHeadingWords) {
      if (entry.word != word) continue;
      if (entry.family == Family::Date) date = true;
      if (entry.family == Family::Time) time = true;
      if (match.family == Family::None) {
        match.family = entry.family;
        match.auxLetter = entry.auxLetter;
      }
    }
    word.clear();
  };
  for (char c : cell) {
    if (IsLetter(c)) {
      word += Lower(c);
    } else if (!word.empty()) {
      endWord();
    }
  }
  if (!word.empty()) endWord();
  if (date && time) match.family = Family::DateTime;
  return match;
}

bool ReadsAsNumber(std::string_view text) {
  text = TrimText(text);
  for (char mark : {'.', ','}) {
    try {
      StrToFloat(text, mark);
      return true;
    } catch (const std::runtime_error&) {
    }
  }
  return false;
}

// A number, or a coordinate that starts like one ("N51 30.5", "-0.12").
bool LooksNumeric(std::string_view cell) {
  cell = TrimText(cell);
  if (!cell.empty() && std::string_view("+-NSEW").find(cell.front()) != std::string_view::npos) {
    cell.remove_prefix(1);
  }
  return !cell.empty() && IsDigit(cell.front());
}

// A first line of words above lines of values: none of its cells a number,
// and either a heading word among them or a number below one of them.
bool LooksLikeHeadingRow(const RowCells& first, const RowCells& second) {
  bool anyWord = false, numberBelow = false;
  for (std::size_t c = 1; c < first.size(); ++c) {
    std::string_view cell = TrimText(first[c]);
    if (cell.empty()) continue;
    if (ReadsAsNumber(cell) || LooksNumeric(cell)) return false;
    if (MatchHeading(cell).family != Family::None) anyWord = true;
    if (LooksNumeric(CellOf(second, static_cast<int>(c)))) numberBelow = true;
  }
  return anyWord || numberBelow;
}

// ---- Values -------------------------------------------------------------

enum class ValueKind {
  None, Coordinate, HemisphereNS, HemisphereEW, DateTime, Date, Time, DaysCount, SecondsCount,
  Easting, Northing, EastingOrNorthing, Zone, GridCell, Garmin,
};

enum class AxisHint { Either, Latitude, Longitude };

struct ValueReading {
  ValueKind kind = ValueKind::None;
  char notation = 'D';
  AxisHint axis = AxisHint::Either;
  std::string what;        // "values read as DD.dddddd, 51.4012 to 51.5300"
  bool otherMark = false;  // read only with the other decimal mark
};

struct SampleContext {
  const AppState& state;
  const ConversionSettings& settings;
  const KindColumn& kinds;
  char mark;  // the decimal mark the export reads with
  bool projected;
};

// Counts the cells that `reads` accepts; true when enough of them do.
bool MostRead(const std::vector<std::string_view>& cells,
              const std::function<bool(std::string_view)>& reads) {
  if (cells.empty()) return false;
  // Stops at the first failure too many: most columns fail most kinds early.
  const auto allowed = static_cast<std::size_t>((1.0 - kFitShare) * static_cast<double>(cells.size()));
  std::size_t failed = 0;
  for (std::string_view cell : cells) {
    if (!reads(cell) && ++failed > allowed) return false;
  }
  return true;
}

std::string Number(double value, int decimals, char mark) {
  return FormatFloat(value, 0, decimals, mark);
}

// -- coordinates

struct CoordinateShape {
  std::string_view core;             // without a sign or hemisphere letter
  std::optional<char> hemisphere;    // 'N', 'S', 'E' or 'W'
  std::vector<std::string_view> groups;  // runs of digits and the mark
  bool clean = true;                 // nothing but the groups and blanks, degree signs, quotes
};

CoordinateShape ShapeOf(std::string_view text, char mark) {
  CoordinateShape shape;
  text = TrimText(text);
  auto isHemisphere = [](char c) { return c == 'N' || c == 'S' || c == 'E' || c == 'W'; };
  if (!text.empty() && isHemisphere(text.front())) {
    shape.hemisphere = text.front();
    text.remove_prefix(1);
  } else if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    text.remove_prefix(1);
  }
  if (!text.empty() && isHemisphere(text.back())) {
    shape.hemisphere = text.back();
    text.remove_suffix(1);
  }
  shape.core = TrimText(text);
  std::size_t start = std::string_view::npos;
  for (std::size_t i = 0; i <= shape.core.size(); ++i) {
    char c = i < shape.core.size() ? shape.core[i] : ' ';
    bool numeric = IsDigit(c) || c == mark;
    if (numeric && start == std::string_view::npos) start = i;
    if (!numeric && start != std::string_view::npos) {
      shape.groups.push_back(shape.core.substr(start, i - start));
      start = std::string_view::npos;
    }
    if (!numeric && i < shape.core.size() && c != ' ' && c != '\xB0' && c != '\'' && c != '"' &&
        c != ':') {
      shape.clean = false;
    }
  }
  return shape;
}

int WholeDigits(std::string_view group, char mark) {
  std::size_t at = group.find(mark);
  return static_cast<int>(at == std::string_view::npos ? group.size() : at);
}

int Decimals(std::string_view group, char mark) {
  std::size_t at = group.find(mark);
  return at == std::string_view::npos ? 0 : static_cast<int>(group.size() - at - 1);
}

bool Below60(std::string_view group, char mark) {
  try {
    return StrToFloat(group, mark) < 60;
  } catch (const std::runtime_error&) {
    return false;
  }
}

// The degrees of a cell in one notation, when its shape and the coordinate
// reader both accept it.
std::optional<double> CoordinateOf(std::string_view cell, char notation, char mark,
                                   std::optional<char>& hemisphere) {
  CoordinateShape shape = ShapeOf(cell, mark);
  if (!shape.clean) return std::nullopt;
  const auto& g = shape.groups;
  switch (notation) {
    case 'D':
      if (g.size() != 1 || g[0].size() != shape.core.size()) return std::nullopt;
      break;
    case 'N':
      if (g.size() != 1 || g[0].size() != shape.core.size() || WholeDigits(g[0], mark) < 4 ||
          !Below60(g[0].substr(static_cast<std::size_t>(WholeDigits(g[0], mark)) - 2), mark)) {
        return std::nullopt;
      }
      break;
    case 'M':
      if (g.size() != 2 || !AllDigits(g[0]) || !Below60(g[1], mark)) return std::nullopt;
      break;
    case 'S':
      if (g.size() != 3 || !AllDigits(g[0]) || !AllDigits(g[1]) || !Below60(g[1], mark) ||
          !Below60(g[2], mark)) {
        return std::nullopt;
      }
      break;
    default: return std::nullopt;
  }
  try {
    Hemisphere read = Hemisphere::Unknown;
    double degrees = ReadCoordinate(notation, cell, read, mark);
    if (std::abs(degrees) > 180) return std::nullopt;
    hemisphere = shape.hemisphere;
    return degrees;
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

const char* NotationCaption(char notation) {
  switch (notation) {
    case 'M': return "DD MM.mmmm";
    case 'S': return "DD MM SS.ss";
    case 'N': return "DDMM.mmmm";
    default: return "DD.dddddd";
  }
}

std::optional<ValueReading> ReadCoordinates(const std::vector<std::string_view>& cells, char mark) {
  for (char notation : {'N', 'D', 'M', 'S'}) {
    double low = 0, high = 0;
    bool any = false, northSouth = false, eastWest = false;
    std::size_t precise = 0;
    bool fits = MostRead(cells, [&](std::string_view cell) {
      std::optional<char> letter;
      std::optional<double> degrees = CoordinateOf(cell, notation, mark, letter);
      if (!degrees) return false;
      if (letter == 'N' || letter == 'S') northSouth = true;
      if (letter == 'E' || letter == 'W') eastWest = true;
      double value = letter == 'S' || letter == 'W' ? -*degrees : *degrees;
      low = any ? std::min(low, value) : value;
      high = any ? std::max(high, value) : value;
      any = true;
      CoordinateShape shape = ShapeOf(cell, mark);
      if (Decimals(shape.groups.back(), mark) >= 3 || shape.groups.size() > 1 || letter) ++precise;
      return true;
    });
    if (!fits) continue;
    // Plain numbers with few decimals are altitudes, counts, pressures.
    if ((notation == 'D' || notation == 'N') && precise * 2 < cells.size()) continue;
    ValueReading reading;
    reading.kind = ValueKind::Coordinate;
    reading.notation = notation;
    if (northSouth != eastWest) {
      reading.axis = northSouth ? AxisHint::Latitude : AxisHint::Longitude;
    } else if (std::max(std::abs(low), std::abs(high)) > 90) {
      reading.axis = AxisHint::Longitude;
    }
    reading.what = std::string("values read as ") + NotationCaption(notation) + ", " +
                   Number(low, 4, '.') + " to " + Number(high, 4, '.');
    if (northSouth != eastWest) reading.what += northSouth ? " (N/S letters)" : " (E/W letters)";
    return reading;
  }
  return std::nullopt;
}

// -- dates and times

// 31/12/2003, 31.12.2003, 12/31/03 and 2003-12-31: the forms the export's
// date reading passes on as dates.
bool DateShaped(std::string_view text, char dateSeparator, bool& iso) {
  text = TrimText(text);
  std::size_t cut = text.find_first_not_of("0123456789");
  if (cut == std::string_view::npos) return false;
  char separator = text[cut];
  if (separator != '/' && separator != '.' && separator != '-' && separator != dateSeparator) {
    return false;
  }
  std::array<std::string_view, 3> parts;
  std::string_view rest = text;
  for (int i = 0; i < 3; ++i) {
    std::size_t at = i < 2 ? rest.find(separator) : rest.size();
    if (at == std::string_view::npos) return false;
    parts[i] = rest.substr(0, at);
    rest = i < 2 ? rest.substr(at + 1) : std::string_view{};
    if (!AllDigits(parts[i]) || parts[i].size() > 4) return false;
  }
  iso = parts[0].size() == 4;
  // The export reads "-" only in yyyy-mm-dd.
  if (separator == '-' && !(iso && parts[1].size() == 2 && parts[2].size() == 2)) return false;
  auto value = [&](int i) { return *TryStrToInt(parts[i]); };
  if (iso) return parts[1].size() <= 2 && parts[2].size() <= 2 && value(1) >= 1 &&
                  value(1) <= 12 && value(2) >= 1 && value(2) <= 31;
  if (parts[0].size() > 2 || parts[1].size() > 2 || (parts[2].size() != 2 && parts[2].size() != 4)) {
    return false;
  }
  int a = static_cast<int>(value(0)), b = static_cast<int>(value(1));
  return a >= 1 && b >= 1 && a <= 31 && b <= 31 && (a <= 12 || b <= 12);
}

// 13:45, 13:45:10, 13:45:10.4 (the fraction with the decimal mark).
bool TimeShaped(std::string_view text, char timeSeparator, char mark) {
  text = TrimText(text);
  std::size_t fraction = text.find(mark);
  if (fraction != std::string_view::npos) {
    if (!AllDigits(text.substr(fraction + 1))) return false;
    text = text.substr(0, fraction);
  }
  std::array<int, 3> limits = {23, 59, 59};
  int count = 0;
  while (true) {
    std::size_t at = text.find(timeSeparator);
    std::string_view part = text.substr(0, at);
    if (count == 3 || part.empty() || part.size() > 2 || !AllDigits(part) ||
        *TryStrToInt(part) > limits[count]) {
      return false;
    }
    ++count;
    if (at == std::string_view::npos) break;
    text = text.substr(at + 1);
  }
  return count >= 2 && (fraction == std::string_view::npos || count == 3);
}

bool DateTimeShaped(std::string_view text, const LocaleValues& locale, char mark, bool& iso) {
  text = TrimText(text);
  if (auto parts = IsoDateAndTime(text)) {
    return DateShaped(parts->first, locale.dateSeparator, iso) &&
           TimeShaped(parts->second, locale.timeSeparator, mark);
  }
  std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return false;
  return DateShaped(text.substr(0, blank), locale.dateSeparator, iso) &&
         TimeShaped(text.substr(blank + 1), locale.timeSeparator, mark);
}

std::string DateOrderWarning(bool iso, const ConversionSettings& settings) {
  return iso && settings.dateFormat != 'Y' ? "; yyyy-mm-dd dates need the date order Y/M/D" : "";
}

// -- counts

std::optional<ValueReading> ReadCounts(const std::vector<std::string_view>& cells, char mark,
                                       const LocaleValues& locale) {
  double low = kLastPlausibleDay, high = kFirstPlausibleDay;
  bool fraction = false;
  if (MostRead(cells, [&](std::string_view cell) {
        try {
          double day = StrToFloat(TrimText(cell), mark);
          if (day < kFirstPlausibleDay || day > kLastPlausibleDay) return false;
          fraction = fraction || day != std::floor(day);
          low = std::min(low, day);
          high = std::max(high, day);
          return true;
        } catch (const std::runtime_error&) {
          return false;
        }
      }) &&
      fraction) {
    return ValueReading{ValueKind::DaysCount, 'D', AxisHint::Either,
                        "numbers read as days from 1/1/1900, " + FormatDayDate(low, locale) +
                            " to " + FormatDayDate(high, locale)};
  }
  std::int64_t first = kLastPlausibleSecond, last = kFirstPlausibleSecond;
  if (MostRead(cells, [&](std::string_view cell) {
        std::optional<std::int64_t> seconds = TryStrToInt(TrimText(cell));
        if (!seconds || *seconds < kFirstPlausibleSecond || *seconds > kLastPlausibleSecond) return false;
        first = std::min(first, *seconds);
        last = std::max(last, *seconds);
        return true;
      })) {
    auto day = [](std::int64_t seconds) {
      return kDayOfSecondsEpoch + static_cast<double>(seconds) / kSecondsPerDay;
    };
    return ValueReading{ValueKind::SecondsCount, 'D', AxisHint::Either,
                        "whole numbers read as seconds from 31/12/89, " +
                            FormatDayDate(day(first), locale) + " to " +
                            FormatDayDate(day(last), locale)};
  }
  return std::nullopt;
}

// -- grids

// True when the export's grid reading takes the text with `digits` whole
// digits; `fills` when the value needs all of them.
bool GridValueFits(std::string_view text, int digits, const ConversionSettings& settings,
                   bool& fills) {
  try {
    std::string value = GridValueField(text, digits, settings.scaleFactor, settings.alignment);
    std::string_view unsigned_ = value;
    if (!unsigned_.empty() && (unsigned_.front() == '-' || unsigned_.front() == '+')) {
      unsigned_.remove_prefix(1);
    }
    std::size_t whole = unsigned_.find_first_of(".,");
    if (whole == std::string_view::npos) whole = unsigned_.size();
    if (static_cast<int>(whole) == digits && !unsigned_.empty() && unsigned_.front() != '0') {
      fills = true;
    }
    return static_cast<int>(whole) <= digits;
  } catch (const std::runtime_error&) {
    return false;
  }
}

std::optional<ValueReading> ReadGridValues(const std::vector<std::string_view>& cells,
                                           const SampleContext& context) {
  const GridState& grid = context.state.grid;
  auto fitsDigits = [&](int digits) {
    bool fills = false;
    if (digits <= 0) return false;
    bool fits = MostRead(cells, [&](std::string_view cell) {
      return ReadsAsNumber(cell) && GridValueFits(cell, digits, context.settings, fills);
    });
    return fits && fills;
  };
  bool easting = fitsDigits(grid.eastingDigits);
  bool northing = fitsDigits(grid.northingDigits);
  if (!easting && !northing) return std::nullopt;
  ValueReading reading;
  if (easting && northing) {
    reading.kind = ValueKind::EastingOrNorthing;
    reading.what = "numbers of " + std::to_string(grid.eastingDigits) + " digits, as the grid's";
  } else {
    reading.kind = easting ? ValueKind::Easting : ValueKind::Northing;
    reading.what = "numbers of " +
                   std::to_string(easting ? grid.eastingDigits : grid.northingDigits) +
                   " digits, as the grid's " + (easting ? "eastings" : "northings");
  }
  return reading;
}

bool ZoneShaped(std::string_view cell, int zoneWidth) {
  cell = TrimText(cell);
  if (cell.empty() || static_cast<int>(cell.size()) > std::max(zoneWidth, 3)) return false;
  if (cell.size() == 2 && IsLetter(cell[0]) && IsLetter(cell[1])) return true;  // "TQ"
  std::size_t digits = 0;
  while (digits < cell.size() && IsDigit(cell[digits])) ++digits;
  return digits >= 1 && digits <= 2 && cell.size() == digits + 1 && IsLetter(cell.back());
}

bool GridCellShaped(std::string_view cell, const SampleContext& context) {
  const GridState& grid = context.state.grid;
  std::size_t tokens = 0;
  std::string_view rest = TrimText(cell);
  while (!rest.empty()) {
    std::size_t blank = rest.find(' ');
    ++tokens;
    rest = blank == std::string_view::npos ? std::string_view{} : TrimText(rest.substr(blank));
  }
  if (tokens != (grid.zoneWidth > 0 ? 3u : 2u)) return false;
  ExportSetup setup{context.settings, context.kinds, grid, context.state.datum, ExportFlags{},
                    context.mark};
  try {
    GridGroupField(cell, setup);
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

bool GarminShaped(std::string_view cell, char mark) {
  cell = TrimText(cell);
  auto isHex8 = [](std::string_view token) {
    return token.size() == 8 && std::all_of(token.begin(), token.end(), [](char c) {
             return IsDigit(c) || (Upper(c) >= 'A' && Upper(c) <= 'F');
           });
  };
  std::size_t blank = cell.find(' ');
  std::string_view firstToken = cell.substr(0, blank);
  std::string_view rest = blank == std::string_view::npos ? std::string_view{} : TrimText(cell.substr(blank));
  if (firstToken != "GARMIN" && !(isHex8(firstToken) && isHex8(rest.substr(0, rest.find(' '))))) {
    return false;
  }
  try {
    GarminHexField(cell, mark);
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

bool HemisphereShaped(std::string_view cell, std::initializer_list<std::string_view> words) {
  std::string upper;
  for (char c : TrimText(cell)) upper += Upper(c);
  return std::find(words.begin(), words.end(), upper) != words.end();
}

// What the values of a column read as, with the export's decimal mark first.
ValueReading ReadValues(const std::vector<std::string_view>& cells, const SampleContext& context) {
  const LocaleValues& locale = context.state.locale;
  const GridState& grid = context.state.grid;
  const char mark = context.mark;
  ValueReading reading;
  if (cells.empty()) return reading;
  auto all = [&](ValueKind kind, std::string what, const std::function<bool(std::string_view)>& reads) {
    if (reading.kind != ValueKind::None || !MostRead(cells, reads)) return;
    reading.kind = kind;
    reading.what = std::move(what);
  };
  bool iso = false;
  all(ValueKind::Garmin, "Garmin iQue cells", [&](std::string_view c) { return GarminShaped(c, mark); });
  if (context.projected) {
    all(ValueKind::GridCell, "cells read as zone, easting and northing",
        [&](std::string_view c) { return GridCellShaped(c, context); });
  }
  all(ValueKind::DateTime, "values read as dates with times, as " + Quoted(cells.front()),
      [&](std::string_view c) { return DateTimeShaped(c, locale, mark, iso); });
  all(ValueKind::Date, "values read as dates, as " + Quoted(cells.front()),
      [&](std::string_view c) { return DateShaped(c, locale.dateSeparator, iso); });
  if (reading.kind == ValueKind::DateTime || reading.kind == ValueKind::Date) {
    reading.what += DateOrderWarning(iso, context.settings);
  }
  all(ValueKind::Time, "values read as times, as " + Quoted(cells.front()),
      [&](std::string_view c) { return TimeShaped(c, locale.timeSeparator, mark); });
  all(ValueKind::HemisphereNS, "N and S letters",
      [](std::string_view c) { return HemisphereShaped(c, {"N", "S", "NORTH", "SOUTH"}); });
  all(ValueKind::HemisphereEW, "E and W letters",
      [](std::string_view c) { return HemisphereShaped(c, {"E", "W", "EAST", "WEST"}); });
  if (context.projected && grid.zoneWidth > 0) {
    all(ValueKind::Zone, "zones, as " + Quoted(cells.front()),
        [&](std::string_view c) { return ZoneShaped(c, grid.zoneWidth); });
  }
  if (reading.kind != ValueKind::None) return reading;

  // Numbers: read with the export's mark, else with the other one.
  for (char numberMark : {mark, AlternativeMark(mark)}) {
    SampleContext numbers = context;
    numbers.mark = numberMark;
    std::optional<ValueReading> found = ReadCoordinates(cells, numberMark);
    if (!found && context.projected) found = ReadGridValues(cells, numbers);
    if (!found) found = ReadCounts(cells, numberMark, locale);
    if (found) {
      found->otherMark = numberMark != mark;
      if (found->otherMark) {
        found->what += std::string("; the numbers have a decimal ") +
                       (numberMark == ',' ? "comma" : "point") +
                       ": choose the decimal separator " + Quoted(std::string(1, numberMark));
      }
      return *found;
    }
  }
  return reading;
}

// ---- Choosing codes -----------------------------------------------------

struct ColumnFacts {
  int column = 0;
  std::string heading;  // the heading cell, when the first line is a heading row
  HeadingMatch match;
  ValueReading values;
  bool empty = true;
};

class Chooser {
 public:
  Chooser(const AppState& state, const ConversionSettings& settings, KindSuggestion& suggestion)
      : state_(state), settings_(settings), suggestion_(suggestion) {}

  // Slots of the kinds the table's columns hold already.
  void TakeAssigned() {
    for (ColumnSuggestion& column : suggestion_.columns) {
      if (!column.assigned) continue;
      if (std::optional<Slot> slot = SlotOfCode(column.code)) Claim(*slot, column.column);
    }
  }

  void FromHeading(const ColumnFacts& facts) {
    const std::string said = "heading " + Quoted(facts.heading);
    const ValueReading& values = facts.values;
    auto withValues = [&](ValueKind expected) {
      if (values.kind == expected) return said + "; " + values.what;
      if (facts.empty) return said + "; no values in the record range";
      return said;
    };
    switch (facts.match.family) {
      case Family::Latitude:
      case Family::Longitude: {
        const char family = facts.match.family == Family::Latitude ? 'K' : 'L';
        if (values.kind == ValueKind::HemisphereNS || values.kind == ValueKind::HemisphereEW) {
          Propose(facts, ColumnCode{family, 'h'}, said + "; " + values.what);
        } else if (values.kind == ValueKind::Coordinate) {
          Propose(facts, ColumnCode{family, values.notation}, said + "; " + values.what);
        } else {
          Propose(facts, ColumnCode{family, 'D'},
                  facts.empty ? withValues(ValueKind::Coordinate)
                              : said + "; the values do not read as coordinates");
        }
        break;
      }
      case Family::Altitude:
        Propose(facts, facts.match.feet ? "HF" : "HM", said);
        break;
      case Family::Date:
      case Family::Time:
        if (values.kind == ValueKind::DateTime) {
          Propose(facts, "DB", said + "; " + values.what);
        } else if (facts.match.family == Family::Date) {
          Propose(facts, "DD", withValues(ValueKind::Date));
        } else {
          Propose(facts, "DT", withValues(ValueKind::Time));
        }
        break;
      case Family::DateTime: Propose(facts, "DB", withValues(ValueKind::DateTime)); break;
      case Family::Id: Propose(facts, "I_", said); break;
      case Family::Symbol: Propose(facts, "S_", said); break;
      case Family::Easting: Propose(facts, "E_", said); break;
      case Family::Northing: Propose(facts, "N_", said); break;
      case Family::Zone: Propose(facts, "Z_", said); break;
      case Family::Comment: ProposeComment(facts, said); break;
      case Family::Aux:
        if (facts.match.auxLetter == settings_.auxData) {
          Propose(facts, ColumnCode{'A', settings_.auxData}, said);
        } else {
          Leave(facts, said + " names " + AuxName(facts.match.auxLetter) +
                           " data, but the aux kind is " + AuxName(settings_.auxData));
        }
        break;
      case Family::None: break;
    }
  }

  // Kinds the values decide alone; coordinates and grid values that could be
  // either axis wait until the others have their slots.
  bool FromValues(const ColumnFacts& facts) {
    const ValueReading& values = facts.values;
    switch (values.kind) {
      case ValueKind::Garmin: Propose(facts, "OX", values.what); return true;
      case ValueKind::GridCell: Propose(facts, "OG", values.what); return true;
      case ValueKind::DateTime: Propose(facts, "DB", values.what); return true;
      case ValueKind::Date: Propose(facts, "DD", values.what); return true;
      case ValueKind::Time: Propose(facts, "DT", values.what); return true;
      case ValueKind::HemisphereNS: Propose(facts, "Kh", values.what); return true;
      case ValueKind::HemisphereEW: Propose(facts, "Lh", values.what); return true;
      case ValueKind::DaysCount: Propose(facts, "DX", values.what); return true;
      case ValueKind::SecondsCount: Propose(facts, "DS", values.what); return true;
      case ValueKind::Easting: Propose(facts, "E_", values.what); return true;
      case ValueKind::Northing: Propose(facts, "N_", values.what); return true;
      case ValueKind::Zone: Propose(facts, "Z_", values.what); return true;
      case ValueKind::Coordinate:
        if (values.axis == AxisHint::Either) return false;
        Propose(facts, ColumnCode{values.axis == AxisHint::Latitude ? 'K' : 'L', values.notation},
                values.what);
        return true;
      case ValueKind::EastingOrNorthing: return false;
      case ValueKind::None:
        Leave(facts, facts.empty ? "no values in the record range"
                                 : facts.heading.empty() ? "the values read as no kind"
                                                         : "no heading word; the values read as no kind");
        return true;
    }
    return true;
  }

  // Left to right: latitude before longitude, easting before northing.
  void EitherAxis(const ColumnFacts& facts) {
    const ValueReading& values = facts.values;
    if (values.kind == ValueKind::Coordinate) {
      bool latitude = !taken_[static_cast<int>(Slot::Latitude)];
      Propose(facts, ColumnCode{latitude ? 'K' : 'L', values.notation},
              values.what + (latitude ? "; within 90 and first: latitude" : "; longitude"));
    } else {
      bool easting = !taken_[static_cast<int>(Slot::Easting)];
      Propose(facts, easting ? "E_" : "N_", values.what + (easting ? ": easting" : ": northing"));
    }
  }

 private:
  ColumnSuggestion& Entry(int column) { return suggestion_.columns[static_cast<std::size_t>(column) - 1]; }

  void Claim(Slot slot, int column) {
    taken_[static_cast<int>(slot)] = true;
    holders_[static_cast<int>(slot)] = column;
  }

  void Leave(const ColumnFacts& facts, std::string reason) {
    ColumnSuggestion& entry = Entry(facts.column);
    entry.code = "__";
    entry.reason = std::move(reason);
  }

  void Propose(const ColumnFacts& facts, const ColumnCode& code, std::string reason) {
    Slot slot = *SlotOfCode(code);
    if (taken_[static_cast<int>(slot)]) {
      int holder = holders_[static_cast<int>(slot)];
      Leave(facts, reason + "; but column " + ColumnLetter(holder) + " is " +
                       HeadingOf(suggestion_.columns[static_cast<std::size_t>(holder) - 1].code, holder) +
                       " already");
      return;
    }
    Claim(slot, facts.column);
    ColumnSuggestion& entry = Entry(facts.column);
    entry.code = code;
    entry.reason = std::move(reason);
  }

  void ProposeComment(const ColumnFacts& facts, const std::string& reason) {
    for (int piece = 1; piece <= kCommentPieces; ++piece) {
      ColumnCode code{'C', static_cast<char>('0' + piece)};
      if (!taken_[static_cast<int>(*SlotOfCode(code))]) {
        Propose(facts, code, reason);
        return;
      }
    }
    Leave(facts, reason + "; but all five comment pieces are taken");
  }

  std::string HeadingOf(const ColumnCode& code, int column) const {
    return ColumnHeading(code, column, HeadingContextOf(state_));
  }

  std::string AuxName(char letter) const { return HeadingOf(ColumnCode{'A', letter}, 1); }

  const AppState& state_;
  const ConversionSettings& settings_;
  KindSuggestion& suggestion_;
  std::array<bool, kSlotCount> taken_{};
  std::array<int, kSlotCount> holders_{};
};

// The number of separators that most sampled lines hold outside quotes, and
// whether nearly all of them hold that many.
struct SeparatorCount {
  int count = 0;
  bool even = false;
};

SeparatorCount CountSeparators(const std::vector<std::string_view>& lines, char separator) {
  std::vector<int> counts;
  counts.reserve(lines.size());
  for (std::string_view line : lines) {
    int count = 0;
    bool quoted = false;
    for (char c : line) {
      if (c == '"') quoted = !quoted;
      else if (c == separator && !quoted) ++count;
    }
    counts.push_back(count);
  }
  std::sort(counts.begin(), counts.end());
  SeparatorCount most;
  std::size_t mostLines = 0;
  for (std::size_t i = 0; i < counts.size();) {
    std::size_t j = i;
    while (j < counts.size() && counts[j] == counts[i]) ++j;
    if (j - i > mostLines) {
      mostLines = j - i;
      most.count = counts[i];
    }
    i = j;
  }
  most.even = !lines.empty() && static_cast<double>(mostLines) >= kFitShare * static_cast<double>(lines.size());
  return most;
}

// A field of digits with one `mark` between them: "50,94" for a comma.
bool DecimalWith(std::string_view field, char mark) {
  field = TrimText(field);
  if (!field.empty() && (field[0] == '-' || field[0] == '+')) field.remove_prefix(1);
  const std::size_t at = field.find(mark);
  return at != std::string_view::npos && at > 0 && at + 1 < field.size() && AllDigits(field.substr(0, at)) &&
         AllDigits(field.substr(at + 1));
}

// Whether the lines cut at `separator` hold numbers written with `mark`
// (and none with the other mark).
bool NumbersUse(const std::vector<std::string_view>& lines, char separator, char mark) {
  const char other = mark == ',' ? '.' : ',';
  int with = 0;
  for (std::string_view line : lines) {
    for (std::size_t start = 0; start <= line.size();) {
      std::size_t end = std::min(line.find(separator, start), line.size());
      std::string_view field = line.substr(start, end - start);
      if (DecimalWith(field, other)) return false;
      if (DecimalWith(field, mark)) ++with;
      start = end + 1;
    }
  }
  return with > 0;
}

// "The values are separated by ';' and the numbers have decimal commas: ..."
std::string SeparatorNote(const std::vector<std::string_view>& lines, const ConversionSettings& settings) {
  const char list = settings.listSeparator;
  if ((list != ',' && list != ';') || lines.empty()) return {};
  const char other = list == ',' ? ';' : ',';
  const SeparatorCount now = CountSeparators(lines, list);
  const SeparatorCount then = CountSeparators(lines, other);
  // Commas inside the numbers between semicolons are decimal marks, however
  // evenly they would cut.
  const bool decimalCommas = other == ';' && NumbersUse(lines, ';', ',');
  if (!then.even || then.count == 0) return {};
  if (now.even && now.count >= then.count && now.count > 0 && !decimalCommas) return {};
  char decimal = settings.decimalSeparator;
  if (decimalCommas) decimal = ',';
  if (other == ',' && decimal == ',') decimal = '.';
  const std::string value = std::string{other, decimal, settings.userSeparator};
  std::string text = "The values are separated by '" + std::string(1, other) + "'";
  if (decimal == ',' && settings.decimalSeparator != ',') {
    text += " and the numbers have decimal commas: choose Settings > Decimal Separator > \"comma (,)\", "
            "which makes ';' the list separator too";
  } else {
    text += std::string(": choose Settings > List Separator > ") +
            (other == ';' ? "\"Semicolon (;)\"" : "\"comma (,)\"");
    if (decimal != settings.decimalSeparator) text += " and Decimal Separator > \"point (.)\"";
  }
  return text + " (Separators=" + value + " in a settings file).";
}

}  // namespace

KindSuggestion SuggestKinds(const AppState& state) {
  KindColumn kinds;
  const ConversionSettings settings = SettingsAsExportTakesThem(state, kinds);
  const SourceTable& table = state.table;
  const int dataColumns = std::min(state.columnCount, table.ColumnCount()) - 1;

  KindSuggestion suggestion;
  RowCells row, below;
  if (table.LastRow() >= 1 && table.Marker(1)) {
    GetRowCells(table, 1, row);
    int next = 2;
    while (next <= table.LastRow() && !table.Marker(next)) ++next;
    GetRowCells(table, next, below);
    suggestion.headingRow = LooksLikeHeadingRow(row, below);
  }

  RecordRange range = EffectiveRange(settings, table.LastRow());
  const int first = std::max({range.first, 1, suggestion.headingRow ? 2 : 1});
  const int last = std::min(range.last, table.LastRow());
  if (suggestion.headingRow && range.first <= 1) {
    suggestion.note = "The first line holds headings and lies in the record range, so the export "
                      "would fail on it: make record 2 the first record.";
  } else if (last < first) {
    suggestion.note = "The record range holds no records; only headings can be read.";
  }

  // Up to kSampleRecords records spread over the range.
  std::vector<std::vector<std::string_view>> cells(static_cast<std::size_t>(std::max(dataColumns, 0)) + 1);
  std::vector<std::string_view> lines;
  if (last >= first) {
    const double stride = std::max(1.0, static_cast<double>(last - first + 1) / kSampleRecords);
    for (double at = first; at <= last; at += stride) {
      int r = static_cast<int>(at);
      if (!table.Marker(r)) continue;
      if (std::string_view line = table.LineText(r); !line.empty()) lines.push_back(line);
      for (int c = 1; c <= dataColumns; ++c) {
        std::string_view cell = TrimText(table.Cell(c, r));
        if (!cell.empty()) cells[static_cast<std::size_t>(c)].push_back(cell);
      }
    }
  }

  const SampleContext context{state, settings, kinds, settings.decimalSeparator,
                              ProjectedGridChosen(state.grid)};
  std::vector<ColumnFacts> facts;
  for (int c = 1; c <= dataColumns; ++c) {
    ColumnSuggestion entry;
    entry.column = c;
    entry.code = settings.columns.entries[c].code;
    entry.assigned = entry.code.empty() || entry.code[0] != '_';
    if (entry.assigned) entry.reason = "assigned already";
    suggestion.columns.push_back(entry);
    if (entry.assigned) continue;
    ColumnFacts fact;
    fact.column = c;
    fact.empty = cells[static_cast<std::size_t>(c)].empty();
    if (suggestion.headingRow) {
      fact.heading = std::string(TrimText(CellOf(row, c)));
      fact.match = MatchHeading(fact.heading);
    }
    fact.values = ReadValues(cells[static_cast<std::size_t>(c)], context);
    facts.push_back(std::move(fact));
  }

  Chooser chooser(state, settings, suggestion);
  chooser.TakeAssigned();
  for (const ColumnFacts& fact : facts) {
    if (fact.match.family != Family::None) chooser.FromHeading(fact);
  }
  std::vector<const ColumnFacts*> either;
  for (const ColumnFacts& fact : facts) {
    if (fact.match.family == Family::None && !chooser.FromValues(fact)) either.push_back(&fact);
  }
  for (const ColumnFacts* fact : either) chooser.EitherAxis(*fact);
  suggestion.positions = PositionWarning(state);
  // Lines cut at tabs or at column breaks are not the list separator's.
  if (settings.breaks[0].position == 0 && state.loadSeparator != '\t') {
    suggestion.separators = SeparatorNote(lines, settings);
  }
  return suggestion;
}

bool ProposesAnything(const KindSuggestion& suggestion) {
  return std::any_of(suggestion.columns.begin(), suggestion.columns.end(),
                     [](const ColumnSuggestion& c) { return !c.assigned && c.code[0] != '_'; });
}

int ApplySuggestion(AppState& state, UserInterface& ui, const KindSuggestion& suggestion) {
  int assigned = 0;
  for (const ColumnSuggestion& column : suggestion.columns) {
    if (column.assigned || column.code[0] == '_') continue;
    if (AssignColumnKind(state, ui, column.code, column.column)) ++assigned;
  }
  return assigned;
}

std::string SuggestedColumnsValue(const AppState& state, const KindSuggestion& suggestion) {
  ConversionSettings settings = state.settings;
  for (const ColumnSuggestion& column : suggestion.columns) {
    if (!column.assigned && column.code[0] != '_') settings.columns.entries[column.column].code = column.code;
  }
  IniFile file;
  WriteSettings(file, settings);
  return file.Get(kSettingsSection, "Columns");
}

std::string SuggestionLine(const AppState& state, const ColumnSuggestion& column) {
  std::string kind = column.code[0] == '_'
                         ? "Ignore"
                         : ColumnHeading(column.code, column.column, HeadingContextOf(state));
  return ColumnLetter(column.column) + ": " + kind + " - " + column.reason;
}

}  // namespace zevi
