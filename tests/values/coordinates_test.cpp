#include "values/coordinates.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "export/format.h"
#include "value_rig.h"
#include "values/failures.h"

namespace zevi {
namespace {

using testing::FailureOf;
using testing::ValueRig;

struct ReadCase {
  char notation;
  std::string text;
  std::optional<double> degrees;  // none: fails with `failure`
  Hemisphere hemisphere;          // after the call, starting from Unknown
  std::string failure;
  const char* reason;
};

TEST(Coordinates, ReadCoordinateNotations) {
  constexpr auto U = Hemisphere::Unknown;
  constexpr auto NE = Hemisphere::NorthEast;
  constexpr auto SW = Hemisphere::SouthWest;
  const std::string invalid = "EInvalidLine: Invalid Coordinate Format";
  const ReadCase cases[] = {
      {'D', "51.5", 51.5, U, "", "plain degrees"},
      {'D', "N51.5", 51.5, NE, "", "leading letter"},
      {'D', "51.5S", 51.5, SW, "", "trailing letter, value without it"},
      {'D', "-51.5", -51.5, U, "", "text sign"},
      {'D', "+51.5", 51.5, U, "", "plus sign"},
      {'D', "N51.5S", 51.5, SW, "", "a trailing letter wins over a leading one"},
      {'D', "  51.5  ", 51.5, U, "", "blanks round the text"},
      {'D', ".5", 0.5, U, "", "a point may lead"},
      {'D', "51.5n", std::nullopt, U, "EConvertError: '51.5n' is not a valid floating point value",
       "a lower-case letter reaches the number reader"},
      {'D', "n51.5", std::nullopt, U, invalid, "a lower-case leading letter"},
      {'D', "\xB0" "51", std::nullopt, U, invalid, "a degree sign leading"},
      {'D', "", std::nullopt, U, invalid, "empty"},
      {'D', "   ", std::nullopt, U, invalid, "blanks only"},
      {'D', "N", std::nullopt, NE, invalid, "a letter alone"},
      {'D', "-", std::nullopt, U, invalid, "a sign alone"},
      {'D', "-S", std::nullopt, SW, invalid, "a sign and a letter"},
      {'M', "51 30.5", 51 + 30.5 / 60, U, "", "degrees and minutes"},
      {'M', "51\xB0" "30.5'", 51 + 30.5 / 60, U, "", "degree sign and quote"},
      {'M', "12.5", 12 + 5.0 / 60, U, "", "the point ends the degrees"},
      {'M', "51 30.5n", 51 + 30.5 / 60, U, "", "what follows the minutes is ignored"},
      {'M', "N 51 30.5", 51 + 30.5 / 60, NE, "", "blank after the leading letter"},
      {'M', "51 30.5 S", 51 + 30.5 / 60, SW, "", "blank before the trailing letter"},
      {'M', "\xB0" "30", std::nullopt, U, invalid, "leading degree sign"},
      {'M', "51", std::nullopt, U, "EConvertError: '' is not a valid floating point value",
       "no minutes"},
      {'Q', "51 30.5", 51 + 30.5 / 60, U, "", "an unknown notation reads as M"},
      {'S', "51\xB0" "30'15", 51 + 30.0 / 60 + 15.0 / 3600, U, "", "degrees, minutes, seconds"},
      {'S', "51 30 15.5\"", 51 + 30.0 / 60 + 15.5 / 3600, U, "", "decimal seconds"},
      {'S', "51 30", std::nullopt, U, "EConvertError: '' is not a valid floating point value",
       "no seconds"},
      {'N', "5130.25", 51 + 30.25 / 60, U, "", "NMEA style"},
      {'N', "5130.5000", 51 + 30.5 / 60, U, "", "NMEA style, trailing zeros"},
      {'N', "00007.5", 7.5 / 60, U, "", "three degree digits, all zero"},
      {'N', "130.5", 1 + 30.5 / 60, U, "", "one degree digit"},
      {'N', "-5130.5", -(51 + 30.5 / 60), U, "", "NMEA with sign"},
      {'N', "30.5", std::nullopt, U, invalid, "point at position 3"},
      {'N', "5130", std::nullopt, U, invalid, "no point"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.reason) + ": " + c.notation + " '" + c.text + "'");
    Hemisphere hemisphere = Hemisphere::Unknown;
    if (c.degrees) {
      EXPECT_NEAR(ReadCoordinate(c.notation, c.text, hemisphere, '.'), *c.degrees, 1e-12);
    } else {
      EXPECT_EQ(FailureOf([&] { ReadCoordinate(c.notation, c.text, hemisphere, '.'); }), c.failure);
    }
    EXPECT_EQ(hemisphere, c.hemisphere);
  }
}

TEST(Coordinates, ReadCoordinateKeepsTheCallersHemisphereWithoutALetter) {
  Hemisphere hemisphere = Hemisphere::SouthWest;
  EXPECT_DOUBLE_EQ(ReadCoordinate('D', "-51.5", hemisphere, '.'), -51.5);
  EXPECT_EQ(hemisphere, Hemisphere::SouthWest);
}

TEST(Coordinates, ReadCoordinateLengthRules) {
  Hemisphere hemisphere = Hemisphere::Unknown;
  std::string plain(127, '1');
  EXPECT_NO_THROW(ReadCoordinate('D', plain, hemisphere, '.'));
  plain += '1';
  EXPECT_EQ(FailureOf([&] { ReadCoordinate('D', plain, hemisphere, '.'); }), "ERangeError: Range check error");
  // After a sign only 99 characters are kept: the 100th and later digits are gone.
  std::string signedText = "-1" + std::string(150, '0');
  EXPECT_DOUBLE_EQ(ReadCoordinate('D', signedText, hemisphere, '.'), -1e98);
}

TEST(Coordinates, ReadCoordinateWithDecimalComma) {
  Hemisphere hemisphere = Hemisphere::Unknown;
  EXPECT_DOUBLE_EQ(ReadCoordinate('D', "51,5", hemisphere, ','), 51.5);
  EXPECT_EQ(FailureOf([&] { ReadCoordinate('D', "51.5", hemisphere, ','); }),
            "EConvertError: '51.5' is not a valid floating point value");
  // The NMEA split looks for a point, whose minutes then do not read with a comma.
  EXPECT_EQ(FailureOf([&] { ReadCoordinate('N', "5130.5", hemisphere, ','); }),
            "EConvertError: '30.5' is not a valid floating point value");
  EXPECT_EQ(FailureOf([&] { ReadCoordinate('N', "5130,5", hemisphere, ','); }),
            "EInvalidLine: Invalid Coordinate Format");
}

// Columns of one row: data column n holds codes[n-1] and cells[n-1].
struct Layout {
  std::vector<std::pair<std::string, Slot>> codes;
  std::vector<std::string_view> cells;
};

void Apply(ValueRig& rig, const Layout& layout, RowCells& row) {
  row.assign(1, std::string_view{});
  for (std::size_t i = 0; i < layout.codes.size(); ++i) {
    rig.Assign(static_cast<int>(i) + 1, layout.codes[i].first, layout.codes[i].second);
    row.push_back(layout.cells[i]);
  }
}

constexpr Slot Lat = Slot::Latitude, Latm = Slot::LatitudeMinutes, Lats = Slot::LatitudeSeconds,
               Lath = Slot::LatitudeHemisphere, Lon = Slot::Longitude, Lonm = Slot::LongitudeMinutes,
               Lons = Slot::LongitudeSeconds, Lonh = Slot::LongitudeHemisphere;

TEST(Coordinates, OnePointInEveryNotationGivesOneAnswer) {
  // 51°30'30"N 0°7'30"W
  const struct {
    Layout layout;
    const char* reason;
  } cases[] = {
      {{{{"KD", Lat}, {"LD", Lon}}, {"51.5083333333", "-0.125"}}, "decimal degrees"},
      {{{{"KD", Lat}, {"LD", Lon}}, {"51.5083333333N", "0.125W"}}, "trailing letters"},
      {{{{"KD", Lat}, {"LD", Lon}}, {"N51.5083333333", "W0.125"}}, "leading letters"},
      {{{{"KM", Lat}, {"LM", Lon}}, {"51 30.5", "-0 7.5"}}, "degrees and minutes"},
      {{{{"KM", Lat}, {"LM", Lon}}, {"51\xB0" "30.5'N", "0\xB0" "7.5'W"}}, "with degree signs"},
      {{{{"KS", Lat}, {"LS", Lon}}, {"51 30 30", "W0 7 30"}}, "degrees, minutes, seconds"},
      {{{{"KN", Lat}, {"LN", Lon}}, {"5130.5", "00007.5W"}}, "NMEA"},
      {{{{"KD", Lat}, {"LM", Lon}}, {"51.5083333333", "0 7.5W"}}, "each axis with its own notation"},
      {{{{"KD", Lat}, {"Km", Latm}, {"Ks", Lats}, {"LD", Lon}, {"Lm", Lonm}, {"Ls", Lons}, {"Lh", Lonh}},
        {"51", "30", "30", "0", "7", "30", "W"}},
       "companion columns"},
      {{{{"KM", Lat}, {"Kh", Lath}, {"LM", Lon}, {"Lh", Lonh}}, {"51 30.5", "n", "0 7.5", "west"}},
       "hemisphere columns, lower case"},
      {{{{"KD", Lat}, {"Ks", Lats}, {"LD", Lon}}, {"51.5", "30", "-0.125"}},
       "a seconds column alone adds seconds of a degree"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ValueRig rig;
    RowCells row;
    Apply(rig, c.layout, row);
    EXPECT_EQ(LatitudeField(row, rig.Context()), " 51.508333");
    EXPECT_EQ(LongitudeField(row, rig.Context()), "  -0.125000");
  }
}

TEST(Coordinates, HemisphereAgainstSignSetting) {
  const struct {
    const char* cell;
    std::optional<std::string_view> hemisphereCell;
    int latitudeSign;
    const char* expected;
    const char* reason;
  } cases[] = {
      {"51.5", std::nullopt, 1, " 51.500000", "north positive"},
      {"51.5N", std::nullopt, 1, " 51.500000", "trailing N"},
      {"+51.5", std::nullopt, 1, " 51.500000", "plus sign"},
      {"51.5S", std::nullopt, 1, "-51.500000", "trailing S"},
      {"S51.5", std::nullopt, 1, "-51.500000", "leading S"},
      {"-51.5", std::nullopt, 1, "-51.500000", "minus sign"},
      {"-51.5S", std::nullopt, 1, " 51.500000", "sign and hemisphere multiply"},
      {"51.5", std::nullopt, -1, "-51.500000", "south positive turns a plain number"},
      {"51.5N", std::nullopt, -1, " 51.500000", "a known hemisphere overrides the sign setting"},
      {"51.5", "", -1, " 51.500000", "an empty hemisphere cell is north"},
      {"51.5", "S", 1, "-51.500000", "hemisphere column"},
      {"51.5", "s", 1, "-51.500000", "hemisphere column, lower case"},
      {"51.5", "X", -1, " 51.500000", "any other hemisphere text is north"},
      {"51.5N", "S", 1, " 51.500000", "the text's letter wins over the column"},
      {"-51.5", "S", 1, " 51.500000", "text sign times hemisphere column"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ValueRig rig;
    rig.settings.latitudeSign = c.latitudeSign;
    RowCells row;
    if (c.hemisphereCell) {
      Apply(rig, {{{"KD", Lat}, {"Kh", Lath}}, {c.cell, *c.hemisphereCell}}, row);
    } else {
      Apply(rig, {{{"KD", Lat}}, {c.cell}}, row);
    }
    EXPECT_EQ(LatitudeField(row, rig.Context()), c.expected);
  }
}

TEST(Coordinates, LongitudeSignSettingAndHemisphereColumn) {
  ValueRig rig;
  rig.settings.longitudeSign = -1;
  RowCells row;
  Apply(rig, {{{"LD", Lon}}, {"0.125"}}, row);
  EXPECT_EQ(LongitudeField(row, rig.Context()), "  -0.125000");
  Apply(rig, {{{"LD", Lon}, {"Lh", Lonh}}, {"0.125", "E"}}, row);
  EXPECT_EQ(LongitudeField(row, rig.Context()), "   0.125000");
}

TEST(Coordinates, RangesAndTheSingleWrap) {
  const struct {
    Slot slot;
    const char* cell;
    const char* expected;  // or the failure
    const char* reason;
  } cases[] = {
      {Lat, "90", " 90.000000", "90 itself passes"},
      {Lat, "-90", "-90.000000", "-90 itself passes"},
      {Lat, "90.0000001", "EInvalidLine: Latitude Range", "just above 90"},
      {Lat, "90S", "-90.000000", "south pole by letter"},
      {Lat, "-90.5", "EInvalidLine: Latitude Range", "below -90"},
      {Lat, "359", "EInvalidLine: Latitude Range", "latitudes do not wrap"},
      {Lon, "180", " 180.000000", "180 itself passes"},
      {Lon, "180.5", "-179.500000", "just past 180 wraps"},
      {Lon, "359.5", "  -0.500000", "359.5 wraps to -0.5"},
      {Lon, "540", " 180.000000", "one wrap brings 540 to 180"},
      {Lon, "541", "EInvalidLine: Longitude Range", "one wrap only"},
      {Lon, "-180", "-180.000000", "-180 passes"},
      {Lon, "-180.5", "EInvalidLine: Longitude Range", "negative values do not wrap"},
      {Lon, "359.5W", "EInvalidLine: Longitude Range", "the wrap comes after the hemisphere"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ValueRig rig;
    RowCells row;
    bool latitude = c.slot == Lat;
    Apply(rig, {{{latitude ? "KD" : "LD", c.slot}}, {c.cell}}, row);
    std::string result;
    std::string failure = FailureOf([&] {
      result = latitude ? LatitudeField(row, rig.Context()) : LongitudeField(row, rig.Context());
    });
    EXPECT_EQ(failure.empty() ? result : failure, c.expected);
  }
}

TEST(Coordinates, CompanionsTakeTheMainValuesSign) {
  const struct {
    const char* main;
    std::string_view minutes, seconds;
    const char* expected;
    const char* reason;
  } cases[] = {
      {"10", "30", "36", " 10.510000", "minutes and seconds"},
      {"-10", "30", "36", "-10.510000", "a negative main value subtracts"},
      {"-0", "30", "0", "  0.500000", "minus zero counts as non-negative"},
      {"10", "x", "0", "EConvertError: 'x' is not a valid floating point value", "bad minutes"},
      {"10", "", "0", "EConvertError: '' is not a valid floating point value", "empty minutes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ValueRig rig;
    RowCells row;
    Apply(rig, {{{"KD", Lat}, {"Km", Latm}, {"Ks", Lats}}, {c.main, c.minutes, c.seconds}}, row);
    std::string result;
    std::string failure = FailureOf([&] { result = LatitudeField(row, rig.Context()); });
    EXPECT_EQ(failure.empty() ? result : failure, c.expected);
  }
}

TEST(Coordinates, DecimalCommaReadsAndWritesWithTheComma) {
  ValueRig rig;
  rig.mark = ',';
  RowCells row;
  Apply(rig, {{{"KD", Lat}, {"LD", Lon}}, {"51,5", "-0,125"}}, row);
  EXPECT_EQ(LatitudeField(row, rig.Context()), " 51,500000");
  EXPECT_EQ(LongitudeField(row, rig.Context()), "  -0,125000");
  Apply(rig, {{{"KD", Lat}}, {"51.5"}}, row);
  EXPECT_EQ(FailureOf([&] { LatitudeField(row, rig.Context()); }),
            "EConvertError: '51.5' is not a valid floating point value");
}

TEST(Coordinates, GarminHexCells) {
  const struct {
    const char* cell;
    char mark;
    const char* expected;  // or the failure
    const char* reason;
  } cases[] = {
      {"GARMIN 249F49F5 FFE93E94 A420C0000 B001A", '.', " 51.500000   -0.125000     26     35.0",
       "all four values"},
      {"GARMIN 249F49F5 FFE93E94 A420C0000 B001A", ',', " 51,500000   -0,125000     26     35,0",
       "decimal comma"},
      {"249f49f5 ffe93e94", '.', " 51.500000   -0.125000     18      0.0",
       "no GARMIN word, lower-case digits, defaults"},
      {"GARMIN 00000000 80000000 B0007", '.', "  0.000000 -180.000000      7      0.0",
       "longitude -180 fills eleven characters"},
      {"GARMIN 40000000 00000000", '.', " 90.000000    0.000000     18      0.0", "north pole"},
      {"GARMIN C0000000 7FFFFFFF", '.', "-90.000000  180.000000     18      0.0", "south pole, largest count"},
      {"GARMIN 249F49F5 FFE93E94 B12345", '.', " 51.500000   -0.125000   4660      0.0",
       "symbol from four digits at most"},
      {"GARMIN 249F49F5 FFE93E94 BXYZ A420C0000", '.', " 51.500000   -0.125000     18     35.0",
       "a B token that is no number is ignored"},
      {"GARMIN 249F49F5 FFE93E94 A420C00 Q1 B0001", '.', " 51.500000   -0.125000      1      0.0",
       "an A token of other length and unknown tokens are ignored"},
      {"GARMIN 249F49F5 FFE93E94  B001A", '.', " 51.500000   -0.125000     18      0.0",
       "an empty token ends the list"},
      {"GARMIN 249F49G5 FFE93E94", '.', "EConvertError: '249F49G5' is not a valid integer value",
       "bad latitude"},
      {"GARMIN 249F49F5", '.', "EConvertError: '' is not a valid integer value", "no longitude"},
      {"GARMIN 249F49F5 1FFE93E94", '.', "EConvertError: '1FFE93E94' is not a valid integer value",
       "more than 32 bits"},
      {"garmin 249F49F5 FFE93E94", '.', "EConvertError: 'garmin' is not a valid integer value",
       "the word is matched with its case"},
      {"GARMIN 249F49F5 FFE93E94 AXYZ00000", '.', "EConvertError: 'XYZ00000' is not a valid integer value",
       "bad altitude digits"},
      {"GARMIN 249F49F5 FFE93E94 A7FC00000", '.',
       "EConvertError: '7FC00000' is not a valid floating point value", "an altitude that is no number"},
      {"GARMIN 80000000 00000000", '.', "EInvalidLine: Latitude Range",
       "half a circle is no latitude; cut to ten characters it would lose its sign"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    std::string result;
    std::string failure = FailureOf([&] { result = GarminHexField(c.cell, c.mark); });
    EXPECT_EQ(failure.empty() ? result : failure, c.expected);
  }
}


// The export's short road for degrees and minutes writes what the reader's
// value gives, for every cell it takes: the usual forms and their near misses
// built from the characters that matter, under both signs and decimal marks.
TEST(Coordinates, MinutesCellsWriteWhatTheirReadingWrites) {
  std::mt19937 random(20261209);
  const std::string pieces[] = {"N", "S", "E", "W", "-", "+", "n", " ", "", "0", "9", "5", "59", "60", "89",
                                "90", "179", "180", "1234", ".", ",", "00", "5.", ".5", "0000", "99999"};
  std::vector<std::string> cells = {"N51 07.4045", "W001 14.0708", "S0 00.0000", "-1 14.07", "89 59.9999",
                                    "179 59.99995", "0 00", "90 00.0", "5 7", "N 51 07.4", "51 07.4N",
                                    "-0 00.0000", "-00 0", "W0 00", "-0 00.0001"};
  for (int i = 0; i < 200000; ++i) {
    std::string cell = i % 2 ? std::string(1, "NSEW-+ "[random() % 7]) : std::string{};
    cell += std::to_string(random() % (i % 3 ? 200 : 1000));
    cell += random() % 8 ? " " : pieces[random() % std::size(pieces)];
    cell += std::to_string(random() % (i % 5 ? 60 : 100));
    if (random() % 4) cell += random() % 6 ? '.' : ',';
    for (int digits = static_cast<int>(random() % 6); digits > 0; --digits) cell += static_cast<char>('0' + random() % 10);
    if (random() % 16 == 0) cell += pieces[random() % std::size(pieces)];
    cells.push_back(cell);
  }
  std::size_t taken = 0;
  for (const bool latitude : {true, false}) {
    for (const int sign : {1, -1}) {
      for (const char mark : {'.', ','}) {
        testing::ValueRig rig;
        rig.mark = mark;
        (latitude ? rig.settings.latitudeSign : rig.settings.longitudeSign) = sign;
        rig.Assign(1, latitude ? "KM" : "LM", latitude ? Slot::Latitude : Slot::Longitude);
        for (const std::string& cell : cells) {
          char fast[kFloatTextRoom];
          const std::size_t length = WriteMinutesCell(fast, cell, latitude ? 10 : 11, mark, latitude ? 90 : 180, sign);
          if (length == 0) continue;
          ++taken;
          const RowCells row = {std::string_view{}, cell};
          std::string read;
          const std::string failure = testing::FailureOf(
              [&] { read = latitude ? LatitudeField(row, rig.Context()) : LongitudeField(row, rig.Context()); });
          ASSERT_EQ(std::string(fast, length), failure.empty() ? read : failure)
              << "'" << cell << "' sign " << sign << " mark " << mark;
        }
      }
    }
  }
  EXPECT_GT(taken, 50000u) << "cells the short road took";
}

}  // namespace
}  // namespace zevi
