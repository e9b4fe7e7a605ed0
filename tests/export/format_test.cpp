// The output format: text operations, layouts, heading and header lines.
#include "export/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "export/export_fixture.h"
#include "values/numbers.h"

namespace zevi::testing {
namespace {

TEST(PadTest, AlignsFillsAndCuts) {
  struct Row {
    std::string_view text;
    int width;
    std::string right, left, reason;
  };
  const Row rows[] = {
      {"HOME", 6, "HOME  ", "  HOME", "shorter text is filled"},
      {"WPT1000", 6, "WPT100", "PT1000", "left keeps the first, right the last characters"},
      {"1234567.0", 8, "1234567.", "234567.0", "altitude too wide for %8.1f"},
      {"", 3, "   ", "   ", "empty text is all blanks"},
      {"ABC", 0, "", "", "width 0 gives nothing"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PadRight(row.text, row.width), row.right) << row.reason;
    EXPECT_EQ(PadLeft(row.text, row.width), row.left) << row.reason;
  }
  EXPECT_EQ(PadWith("ID", '-', 9), "ID-------");
  EXPECT_EQ(PadWith("Symbol", '-', 4), "Symbol") << "PadWith never cuts";
  EXPECT_EQ(ReplaceChar("1.36.2", '.', ','), "1,36,2");
}

TEST(FloatTextTest, WritesWhatFormatFloatWrites) {
  // The export writes numbers in place; the text must be FormatFloat's, byte
  // for byte, or the export must say it cannot (0) and leave it to FormatFloat.
  std::vector<double> values = {0.0, -0.0, 0.05, 0.25, 0.35, -0.04, 0.95, 9.95, 99.95, 999999.95,
                                51.5000005, -1.2345675, 179.9999995, 1234567.0, -1234567.05,
                                4503599627.3704959, 1e15, 1e16, 1e300,
                                std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::denorm_min()};
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> exponent(-8, 17);
  for (int i = 0; i < 20000; ++i) {
    double value = std::pow(10.0, exponent(random)) * (random() % 2 ? 1 : -1);
    values.push_back(value);
    values.push_back(std::round(value * 1024) / 1024);  // exact binary fractions: ties
  }
  for (double value : values) {
    for (int decimals = 0; decimals <= 10; ++decimals) {
      for (int width : {0, 8, 11, 32, 33}) {
        for (char mark : {'.', ','}) {
          char text[kFloatTextRoom];
          const std::size_t length = WriteFloatText(text, value, width, decimals, mark);
          const std::string expected = FormatFloat(value, width, decimals, mark);
          if (length == 0) {
            ASSERT_TRUE(decimals > 9 || width > static_cast<int>(kFloatTextRoom) || !std::isfinite(value) ||
                        std::fabs(value) * std::pow(10.0, decimals) >= 0x1p52)
                << value << " with " << decimals << " decimals refused";
            continue;
          }
          ASSERT_EQ(std::string(text, length), expected) << value << " in " << width << "." << decimals;
        }
      }
    }
  }
}

// A cell that reads as a plain decimal is written as WriteFloatText writes
// its value, or refused when that text does not fit; anything else is left
// to the readers.
TEST(FloatTextTest, PlainDecimalsWriteWhatTheirValuesWrite) {
  std::vector<std::string> cells = {"0", "-0", "0.0", "-0.000", "7", "007", "-007.50", "51.123456",
                                    "-179.999999", "123456.7", "-123456.7", "999999999999999",
                                    "9999999999999999", "0.1234567", "1.", ".5", "-", "", "+1", " 1",
                                    "1 ", "1e5", "1,5", "1.5.5", "--1", "0x1",
                                    // more decimals than the field: rounded, ties left to the double
                                    "51.1234565", "51.12345650", "51.1234566", "51.12345649999", "-0.0000001",
                                    "-0.0000005", "-0.0000006", "-0.0000000", "0.9999995", "0.99999951",
                                    "-9.99999999", "179.9999996", "999999999.9999999", "1.05", "1.15", "-99999.95",
                                    "99999.96", "0.0000000000000001"};
  std::mt19937_64 random(20261208);
  const std::string alphabet = "0123456789.,-";
  for (int i = 0; i < 20000; ++i) {
    std::string cell;
    for (std::size_t length = random() % 12 + 1; cell.size() < length;) cell += alphabet[random() % alphabet.size()];
    cells.push_back(cell);
  }
  for (int i = 0; i < 20000; ++i) {
    std::string cell = random() % 2 ? "-" : "";
    for (std::size_t length = random() % 4; length > 0; --length) cell += static_cast<char>('0' + random() % 10);
    cell += '.';
    const char* tails[] = {"", "5", "50", "49", "99", "95"};
    for (std::size_t length = random() % 9 + 1; length > 0; --length) {
      cell += static_cast<char>('0' + (random() % 3 ? random() % 10 : 9 * (random() % 2)));
    }
    cells.push_back(cell + tails[random() % 6]);
  }
  for (const std::string& cell : cells) {
    for (int decimals : {1, 6}) {
      for (int width : {8, 10, 11}) {
        for (char mark : {'.', ','}) {
          const std::optional<PlainDecimal> number = ReadPlainDecimal(cell, decimals, mark);
          if (!number) continue;
          double value = 0;
          ASSERT_NO_THROW(value = StrToFloat(cell, mark)) << "'" << cell << "' is plain but no number";
          const std::string expected = FormatFloat(value, width, decimals, mark);
          char text[kFloatTextRoom];
          const std::size_t length = WritePlainDecimal(text, *number, width, decimals, mark);
          if (expected.size() > static_cast<std::size_t>(width)) {
            ASSERT_EQ(length, 0u) << "'" << cell << "' does not fit " << width;
          } else {
            ASSERT_EQ(std::string(text, length), expected) << "'" << cell << "' in " << width << "." << decimals;
          }
        }
      }
    }
  }
}

// The cells written as they stand are written as their reading writes them:
// every cell of up to six characters from the bytes that matter, and longer
// ones, mostly digits, at random.
TEST(FloatTextTest, ExactDecimalCellsWriteWhatTheirReadingWrites) {
  std::vector<std::string> cells;
  const std::string bytes = "-019.,:/ ";
  for (std::size_t length = 1; length <= 6; ++length) {
    std::string cell(length, ' ');
    for (std::size_t n = 0, count = static_cast<std::size_t>(std::pow(bytes.size(), length)); n < count; ++n) {
      for (std::size_t i = 0, rest = n; i < length; ++i, rest /= bytes.size()) cell[i] = bytes[rest % bytes.size()];
      cells.push_back(cell);
    }
  }
  std::mt19937_64 random(20261209);
  for (int i = 0; i < 200000; ++i) {
    std::string cell;
    for (std::size_t length = random() % 12 + 7; cell.size() < length;) {
      cell += random() % 8 ? static_cast<char>('0' + random() % 10) : bytes[random() % bytes.size()];
    }
    cells.push_back(cell);
  }
  struct Field {
    int width, decimals, below;
  };
  std::size_t exact = 0;
  for (const Field field : {Field{10, 6, 90}, Field{11, 6, 180}, Field{8, 1, 0}, Field{8, 3, 0}}) {
    for (const char mark : {'.', ','}) {
      for (const std::string& cell : cells) {
        char fast[kFloatTextRoom], read[kFloatTextRoom];
        const std::size_t length = WriteExactDecimalCell(fast, cell, field.width, field.decimals, mark, field.below);
        if (length == 0) continue;
        ++exact;
        const std::size_t expected = WriteDecimalCellAsRead(read, cell, field.width, field.decimals, mark, field.below);
        ASSERT_EQ(std::string(fast, length), std::string(read, expected))
            << "'" << cell << "' in " << field.width << "." << field.decimals << " below " << field.below;
      }
    }
  }
  EXPECT_GT(exact, 1000u) << "cells written as they stand";
}

class FormatTest : public ExportTest {
 protected:
  ExportSetup Setup(ExportFlags flags = {}) {
    return ExportSetup{state.settings, state.kinds, state.grid, state.datum, flags,
                       state.settings.decimalSeparator};
  }
};

TEST_F(FormatTest, LayoutFollowsModeAndColumns) {
  struct Row {
    char mode;
    std::vector<const char*> codes;
    ExportFlags flags;
    int zoneWidth;
    std::string layout, reason;
  };
  const std::vector<Row> rows = {
      {'W', {"I_", "KD", "LD", "DD", "DT", "S_", "C1", "C3"}, {}, 0, "IKLDTSMC", "full waypoint"},
      {'T', {"E_", "N_", "Z_", "DX"}, {}, 0, "ZENDTQ", "zone column, day count"},
      {'T', {"E_", "N_"}, {}, 3, "ZENQ", "grid with zones, no zone column"},
      {'T', {"E_", "N_"}, {}, 0, "ENQ", "no zones"},
      {'R', {"KM", "LM", "HM", "AD"}, {}, 0, "IKLHAM", "altitude then aux"},
      {'W', {"DB", "KD", "LD"}, {}, 0, "IKLDTM", "date-time column"},
      {'W', {"DA", "DM", "DY", "DS", "KD"}, {}, 0, "IKLM", "waypoints never take date pieces"},
      {'T', {"DA", "DT", "KD", "LD"}, {}, 0, "KLDTQ", "day piece makes a date for tracks"},
      {'T', {"DS", "KD", "LD", "C5"}, {}, 0, "KLDTQC", "second count gives date and time"},
      {'W', {"OX", "E_", "N_"}, {}, 0, "IXM", "Garmin column before easting"},
      {'W', {"OG", "HF"}, {}, 0, "IGHM", "grid column"},
      {'W', {"KD", "OG"}, {}, 0, "IKLM", "latitude wins over the Other column"},
      {'W', {"HM"}, {true, false}, 0, "IKLHM", "default latitude/longitude"},
      {'W', {"HM"}, {false, true}, 0, "IENHM", "default easting/northing"},
      {'W', {"HM"}, {}, 0, "IHM", "no position at all"},
      {'X', {"KD", "LD"}, {}, 0, "", "unknown mode"},
  };
  for (const Row& row : rows) {
    state.settings.columns = ConversionSettings::DefaultColumnMap();
    Columns(row.codes);
    state.grid.zoneWidth = row.zoneWidth;
    EXPECT_EQ(BuildFieldLayout(row.mode, Setup(row.flags)), row.layout) << row.reason;
  }
}

TEST_F(FormatTest, HeadingWords) {
  Columns({"I_", "KD", "LD", "HF", "AT", "S_", "C1"});
  state.grid.zoneWidth = 4;
  state.grid.eastingDigits = 6;
  state.grid.northingDigits = 7;
  state.settings.auxData = 'T';
  ExportSetup setup = Setup();
  setup.idWidth = 8;
  setup.symbolWidth = 6;
  EXPECT_EQ(BuildHeadingLine("IKLHASMC", setup),
            "F ID------ Latitude   Longitude    Alt(ft) Temp(\xB0" "C) Symbol T Comment");
  EXPECT_EQ(BuildHeadingLine("ZENDTQ", setup), "F Zone Eastng Northng Date       Time     S");
  EXPECT_EQ(BuildHeadingLine("GX", setup),
            "F Zone Eastng Northng Latitude   Longitude   Symbol   Alt(m)");

  const std::pair<char, std::string> aux[] = {
      {'D', "F Depth"}, {'H', "F HRt(bmp)"}, {'B', "F Heading"}, {'T', "F Temp(\xB0" "C)"}};
  for (const auto& [letter, heading] : aux) {
    state.settings.auxData = letter;
    EXPECT_EQ(BuildHeadingLine("A", Setup()), heading) << letter;
  }
  state.grid.zoneWidth = 0;
  EXPECT_EQ(BuildHeadingLine("G", Setup()), "F  Eastng Northng") << "empty zone word";
}

TEST_F(FormatTest, HeaderLinesAndTheirConditions) {
  struct Row {
    std::vector<const char*> codes;
    char dateFormat;
    int symbolType;
    char decimalMark;
    std::string header, reason;
  };
  const std::string datum = "M E               WGS 84 100  0.0000000E+00  0.0000000E+00 0 0 0";
  const std::vector<Row> rows = {
      {{"KD", "LD"}, 'D', 0, '.', "I ZADI 1.36|U LAT LON DEG|" + datum + "|", "plain"},
      {{"KM", "LM"}, 'D', 0, ',', "I ZADI 1,36|U LAT LON DM|" + datum + "|", "comma, DD MM.mmmm"},
      {{"KS", "LS"}, 'D', 0, '.', "I ZADI 1.36|U LAT LON DMS|" + datum + "|", "DD MM SS.ss"},
      {{"KN", "LN"}, 'D', 0, '.', "I ZADI 1.36|U LAT LON DEG|" + datum + "|", "DDMM.mmmm"},
      {{"KD", "LD", "DD"}, 'M', 0, '.',
       "I ZADI 1.36|S DateFormat=mm/dd/yyyy|U LAT LON DEG|" + datum + "|", "month first"},
      {{"KD", "DD"}, 'Y', 0, '.',
       "I ZADI 1.36|S DateFormat=yyyy/mm/dd|U LAT LON DEG|" + datum + "|", "year first"},
      {{"KD", "DD"}, 'D', 0, '.',
       "I ZADI 1.36|S DateFormat=dd/mm/yyyy|U LAT LON DEG|" + datum + "|", "day first"},
      {{"KD", "DB"}, 'M', 0, '.', "I ZADI 1.36|U LAT LON DEG|" + datum + "|",
       "no date line for a date-time column"},
      {{"KM", "HF"}, 'D', 0, '.', "I ZADI 1.36|S Units=F,F|U LAT LON DM|" + datum + "|", "feet"},
      {{"OX"}, 'D', 0, '.', "I ZADI 1.36|S Symbolset=2|U LAT LON DEG|" + datum + "|", "Garmin"},
      {{"KM", "OX"}, 'D', 0, '.', "I ZADI 1.36|U LAT LON DM|" + datum + "|",
       "Garmin beside a latitude column"},
      {{"KD"}, 'D', 12, '.', "I ZADI 1.36|U LAT LON DEG|" + datum + "|S SymbolSet=12|", "symbols"},
      {{"KD"}, 'D', -1, '.', "I ZADI 1.36|U LAT LON DEG|" + datum + "|S SymbolSet=-1|",
       "typed symbol set"},
  };
  for (const Row& row : rows) {
    state.settings.columns = ConversionSettings::DefaultColumnMap();
    Columns(row.codes);
    state.settings.dateFormat = row.dateFormat;
    state.settings.symbolType = row.symbolType;
    state.settings.decimalSeparator = row.decimalMark;
    std::string joined;
    for (const std::string& line : BuildHeaderLines(Setup())) joined += line + "|";
    EXPECT_EQ(joined, row.header + "|") << row.reason;
  }
}

TEST_F(FormatTest, UnitsLineOfGridsAndDefaults) {
  Columns({"KM", "LM"});
  auto units = [&](ExportFlags flags) { return BuildHeaderLines(Setup(flags))[1]; };
  EXPECT_EQ(units({true, false}), "U LAT LON DEG") << "the default coordinate is in degrees";
  ChooseGrid("British", 0, 6, 7);
  state.grid.name = "BRITISH";
  state.datum.line = "M E            OSGB 36 ...";
  std::vector<std::string> lines = BuildHeaderLines(Setup());
  EXPECT_EQ(lines[1], "U BRITISH");
  EXPECT_EQ(lines[2], "M E            OSGB 36 ...") << "datum line written unchanged";
}

TEST_F(FormatTest, GridGroupTokens) {
  Columns({"OG"});
  ChooseGrid("UTM", 3, 6, 7);
  struct Row {
    int zoneWidth;
    std::string_view cell, field, reason;
  };
  const Row rows[] = {
      {3, "30U 12345 5712345", "30U 012345 5712345", "zone, easting, northing"},
      {3, "  5   699999  12", "5   699999 0000012", "runs of blanks"},
      {0, "12345 67890", " 012345 0067890", "no zones: begins with a blank"},
      {6, "\"30 U\" 1 2", "\"30 U\" 000001 0000002", "quoted zone keeps its blank"},
      {3, "30U", "30U 000000 0000000", "missing values are zeros"},
  };
  for (const Row& row : rows) {
    state.grid.zoneWidth = row.zoneWidth;
    EXPECT_EQ(GridGroupField(row.cell, Setup()), row.field) << row.reason;
  }
  state.grid.zoneWidth = 3;
  try {
    GridGroupField("30U 1234567 5712345", Setup());
    ADD_FAILURE() << "seven easting digits must fail";
  } catch (const std::exception& failure) {
    EXPECT_STREQ(failure.what(), "Coordinate too large");
  }
}

TEST(RouteTest, EmptyIdsDoNotBreakTheHeadLine) {
  EXPECT_EQ(RouteEntry("W        51.5", 6), "W");
  EXPECT_EQ(RouteHeadLine("W", "W X"), "R 01 -X");
}

}  // namespace
}  // namespace zevi::testing
