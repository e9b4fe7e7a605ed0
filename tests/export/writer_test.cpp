// Whole output files, byte for byte: the worked examples, field widths,
// decimal comma, position groups, track starts and failing records.
#include "export/writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "export/export_fixture.h"
#include "source/loader.h"
#include "values/gridvalues.h"

namespace zevi::testing {
namespace {

const std::string kRecordQuestionEnd =
    "\r\n\r\nABORT = Abort export?\r\nIGNORE = Ignore record\r\nALL = Ignore All";

class WriterTest : public ExportTest {
 protected:
  // Exports the one record P1, failing records ignored, and expects its line
  // to end in `fields` and the text option; no line at all for no fields.
  void ExpectRecordFields(const std::string& fields) {
    ui = ScriptedUi{};
    ui.answers = {Button::Ignore};
    std::string file = Export(fields.empty() ? ExportOutcome::WrittenWithMissing : ExportOutcome::Written);
    if (fields.empty()) {
      EXPECT_EQ(file.find("W P1"), std::string::npos);
    } else {
      EXPECT_TRUE(file.ends_with(" " + fields + " I\r\n")) << file.substr(file.rfind("W P1"));
    }
  }
};

TEST_F(WriterTest, WorkedExampleWaypoints) {
  Columns({"I_", "KD", "LD", "HM", "C1"});
  Fill({{"HOME", "51.5", "-0.125", "35", "Front door"}, {"MILL", "51.52", "-0.2", "12.5", ""}});
  EXPECT_EQ(Export(),
            "I ZADI 1.36\r\n"
            "U LAT LON DEG\r\n"
            "M E               WGS 84 100  0.0000000E+00  0.0000000E+00 0 0 0\r\n"
            "\r\n"
            "F ID---- Latitude   Longitude     Alt(m) T Comment\r\n"
            "W HOME    51.500000   -0.125000     35.0 I Front door\r\n"
            "W MILL    51.520000   -0.200000     12.5 I \r\n");
  EXPECT_EQ(ui.messages, std::vector<std::string>{"File written successfully"});
}

TEST_F(WriterTest, WorkedExampleTrackpoints) {
  state.settings.mode = 'T';
  Columns({"KD", "LD", "HF"});
  Fill({{"51.5", "-0.125", "115"}, {"51.52", "-0.2", "120"}, {}, {"51.54", "-0.25", "118"}});
  EXPECT_EQ(Export(),
            "I ZADI 1.36\r\n"
            "S Units=F,F\r\n"
            "U LAT LON DEG\r\n"
            "M E               WGS 84 100  0.0000000E+00  0.0000000E+00 0 0 0\r\n"
            "\r\n"
            "F Latitude   Longitude    Alt(ft) S\r\n"
            "T  51.500000   -0.125000    115.0 1\r\n"
            "T  51.520000   -0.200000    120.0 0\r\n"
            "T  51.540000   -0.250000    118.0 1\r\n");
}

TEST_F(WriterTest, WorkedExampleRoute) {
  state.settings.mode = 'R';
  state.settings.textOption = '-';
  state.edits.idPrefix = "WPT";
  Columns({"KD", "LD"});
  Fill({{"51.5", "-0.125"}, {"51.52", "-0.2"}, {"51.54", "-0.25"}});
  EXPECT_EQ(Export(),
            "I ZADI 1.36\r\n"
            "U LAT LON DEG\r\n"
            "M E               WGS 84 100  0.0000000E+00  0.0000000E+00 0 0 0\r\n"
            "\r\n"
            "F ID---- Latitude   Longitude   T\r\n"
            "W WPT001  51.500000   -0.125000 -\r\n"
            "W WPT002  51.520000   -0.200000 -\r\n"
            "W WPT003  51.540000   -0.250000 -\r\n"
            "\r\n"
            "R 01 WPT001-WPT003\r\n"
            "W WPT001\r\n"
            "W WPT002\r\n"
            "W WPT003\r\n");
  EXPECT_EQ(state.settings.wptIdPrefix, "WPT") << "the prefix box is taken over";
}

TEST_F(WriterTest, WidthsWidenAndCut) {
  Columns({"I_", "KD", "LD", "HM", "S_"});
  state.settings.symbolType = 2;
  Fill({{"A", "1", "2", "123456", "Flag"}, {"LONGNAME1", "3", "4", "-12.34", "Waypoint-Dot"}});
  EXPECT_EQ(Export(), LatLongHeader() +
                          "S SymbolSet=2\r\n\r\n"
                          "F ID------- Latitude   Longitude     Alt(m) Symbol------ T\r\n"
                          "W A           1.000000    2.000000 123456.0 Flag         I\r\n"
                          "W LONGNAME1   3.000000    4.000000    -12.3 Waypoint-Dot I\r\n");
}

// The ID width takes the last generated ID of the range, so no two IDs are
// cut to one; the numbers keep their "%3.3d" form.
TEST_F(WriterTest, GeneratedIdsWidenToTheLastOfTheRange) {
  struct Row {
    const char* prefix;
    int records;
    int emptyLines;  // before the records: they generate no ID
    std::string heading;
    std::string firstId;
    std::string lastId;
  };
  const Row rows[] = {
      {"WPT", 999, 0, "ID----", "WPT001", "WPT999"},
      {"WPT", 1000, 0, "ID-----", "WPT001 ", "WPT1000"},
      {"WAYPT", 1200, 0, "ID-------", "WAYPT001 ", "WAYPT1200"},
      {"WAYPT", 999, 5, "ID------", "WAYPT001", "WAYPT999"},
      {"", 5, 0, "ID----", "001   ", "005   "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.prefix) + " x" + std::to_string(row.records));
    Columns({"KD", "LD"});
    state.edits.idPrefix = row.prefix;
    Rows cells(static_cast<std::size_t>(row.emptyLines), std::vector<std::string>{});
    cells.insert(cells.end(), static_cast<std::size_t>(row.records), {"1", "2"});
    Fill(cells);
    std::string file = Export();
    EXPECT_NE(file.find("\r\nF " + row.heading + " Latitude"), std::string::npos);
    EXPECT_NE(file.find("\r\nW " + row.firstId + "   1.000000"), std::string::npos);
    EXPECT_TRUE(file.ends_with("\r\nW " + row.lastId + "   1.000000    2.000000 I\r\n"));
  }
}

TEST_F(WriterTest, AltitudeThatDoesNotFitFailsItsRecord) {
  struct Row {
    const char* code;
    const char* cell;
    std::string field;  // empty: the record fails
  };
  const Row rows[] = {
      {"HM", "99999.94", " 99999.9"},
      {"HM", "-99999.9", "-99999.9"},
      {"HM", "999999.9", "999999.9"},
      {"HM", "1234567", ""},  // once cut to 234567.0
      {"HM", "-1234567", ""},
      {"HM", "-999999.9", ""},
      {"HF", "1e12", ""},
      {"HD", "9999999", "999999.9"},  // decimetres: one tenth
      {"HD", "99999999", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.code) + " " + row.cell);
    Columns({"I_", "KD", "LD", row.code});
    Fill({{"P1", "1", "2", row.cell}});
    ui = ScriptedUi{};
    ui.answers = {Button::Ignore};
    bool fits = !row.field.empty() && row.field.size() <= 8;
    std::string file = Export(fits ? ExportOutcome::Written : ExportOutcome::WrittenWithMissing);
    if (fits) {
      EXPECT_TRUE(file.ends_with("2.000000 " + row.field + " I\r\n"));
    } else {
      ASSERT_EQ(ui.questions.size(), 1u);
      EXPECT_EQ(ui.questions[0].text, "Error in record 1\r\nAltitude too large" + kRecordQuestionEnd);
      EXPECT_EQ(ui.failingCells, (std::vector<std::pair<int, int>>{{4, 1}}));
      EXPECT_EQ(file.find("W P1"), std::string::npos);
    }
  }
}

// Plain decimals go into their fields as text; every other cell through the
// readers. Both must give the fields printf would give the values.
TEST_F(WriterTest, PlainDecimalsWriteWhatTheReadersWrite) {
  struct Row {
    const char* latitude;
    const char* longitude;
    const char* altitude;
    std::string fields;  // latitude to altitude; empty: the record fails
  };
  const Row rows[] = {
      {"51.5", "-1.25", "122.6", " 51.500000   -1.250000    122.6"},
      {"-0.0", "-0", "-0", "  0.000000    0.000000     -0.0"},  // a minus zero coordinate loses its sign
      {"007.50", "-000.000001", "0012", "  7.500000   -0.000001     12.0"},
      {"89.999999", "179.999999", "123456.7", " 89.999999  179.999999 123456.7"},
      {"90", "-180", "-99999.9", " 90.000000 -180.000000 -99999.9"},
      {"51.1234565", "1.5e1", "1,5", " 51.123457   15.000000      1.5"},  // through the readers
      {"N51.5", "2.25W", "+7", " 51.500000   -2.250000      7.0"},
      {"90.000001", "1", "1", ""},
      {"1", "180.5", "1", " 1.000000 -179.500000      1.0"},
      {"1", "1", "-123456.7", ""},
      {"1.", ".5", "5.", "  1.000000    0.500000      5.0"},
      {"51.12345651", "-1.99999999", "122.649", " 51.123457   -2.000000    122.6"},  // more decimals: rounded
      {"-0.0000001", "-0.0000004", "-0.04", " -0.000000   -0.000000     -0.0"},       // not zeros: the minus stays
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.latitude) + " " + row.longitude + " " + row.altitude);
    Columns({"I_", "KD", "LD", "HM"});
    Fill({{"P1", row.latitude, row.longitude, row.altitude}});
    ExpectRecordFields(row.fields);
  }
}

// Degrees and minutes take the sign of their letter, else of the settings,
// turned by a minus except on a zero, as the coordinate reader gives them.
TEST_F(WriterTest, MinutesTakeTheSignsTheReaderGives) {
  struct Row {
    const char* latitude;
    const char* longitude;
    int sign;            // the settings' sign of both axes
    std::string fields;  // latitude and longitude; empty: the record fails
  };
  const Row rows[] = {
      {"N51 07.4045", "W001 14.0708", 1, " 51.123408   -1.234513"},
      {"51 07.4045", "1 14.0708", -1, "-51.123408   -1.234513"},
      {"-51 07.4045", "-1 14.0708", -1, " 51.123408    1.234513"},
      {"-0 00.0000", "S0 00", 1, "  0.000000   -0.000000"},
      {"-0 00.0000", "0 0", -1, " -0.000000   -0.000000"},
      {"89 59.99999", "179 59.99995", 1, " 90.000000  179.999999"},  // five decimals: through the reader
      {"90 00.1", "1 1", 1, ""},
      {"51 07,4", "1 1", 1, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.latitude) + " " + row.longitude + " " + std::to_string(row.sign));
    Columns({"I_", "KM", "LM"});
    state.settings.latitudeSign = state.settings.longitudeSign = row.sign;
    Fill({{"P1", row.latitude, row.longitude}});
    ExpectRecordFields(row.fields);
  }
}

// Plain cells of every shape the short roads take, through a whole export of
// lines as the loader leaves them, against printf of their values: a
// coordinate loses the minus of a zero, an altitude keeps it.
TEST_F(WriterTest, PlainCellsOfEveryShapeWriteAsPrintfWritesTheirValues) {
  std::mt19937 random(20261208);
  auto digits = [&](std::size_t count) {
    std::string text;
    while (text.size() < count) text += static_cast<char>('0' + random() % 10);
    return text;
  };
  auto cell = [&](std::size_t wholeDigits, std::size_t decimals, double below) {
    for (;;) {
      std::string text = random() % 2 ? "-" : "";
      if (random() % 4 == 0) text += std::string(random() % 3, '0');
      text += random() % 8 == 0 ? std::string("0") : digits(1 + random() % wholeDigits);
      // Up to four decimals more than the field shows: rounded.
      if (random() % 4 != 0) text += "." + digits(1 + random() % (decimals + 4));
      if (std::fabs(std::strtod(text.c_str(), nullptr)) < below) return text;
    }
  };
  auto printed = [](const char* format, double value) {
    char text[40];
    std::snprintf(text, sizeof text, format, value);
    return std::string(text);
  };
  std::string lines;
  std::vector<std::string> expected;
  for (int i = 0; i < 3000; ++i) {
    const std::string latitude = cell(2, 6, 90), longitude = cell(3, 6, 180), altitude = cell(5, 1, 99999.95);
    lines += "P" + std::to_string(10000 + i) + "," + latitude + "," + longitude + "," + altitude +
             ",2024-03-15,13:45:10\n";
    expected.push_back(printed("%10.6f", std::strtod(latitude.c_str(), nullptr) + 0.0) + " " +
                       printed("%11.6f", std::strtod(longitude.c_str(), nullptr) + 0.0) + " " +
                       printed("%8.1f", std::strtod(altitude.c_str(), nullptr)));
  }
  const std::string source = Path("plain.txt");
  WriteFile(source, lines);
  state.settings.listSeparator = ',';
  state.settings.dateFormat = 'Y';
  Columns({"I_", "KD", "LD", "HM", "DD", "DT"});
  LoadSourceFile(state, ui, source);
  const std::string file = Export();
  std::size_t at = file.find("\r\nW ");
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_NE(at, std::string::npos) << "record " << i + 1 << " is missing";
    const std::size_t end = file.find("\r\n", at + 2);
    const std::string line = file.substr(at + 2, end - at - 2);
    ASSERT_EQ(line.substr(9, expected[i].size()), expected[i]) << line;
    EXPECT_TRUE(line.ends_with(" 2024/03/15 13:45:10 I")) << line;
    at = end;
  }
}

// Dates with marks go into their field as text; every other date through DateField.
TEST_F(WriterTest, DatesWriteWhatDateFieldWrites) {
  struct Row {
    char order;
    const char* cell;
    std::string field;  // empty: the record fails
  };
  const Row rows[] = {
      {'Y', "2024-03-15", "2024/03/15"},
      {'Y', "2024-03-15-extra", "2024/03/15"},  // cut to the field
      {'Y', "2024-03-", "2024/03/  "},          // short: padded
      {'Y', "2024-03--1", "2024/03//1"},        // a dash past the first eight
      {'Y', "-024-03-15", "/024/03/15"},
      {'Y', "1999-1-2-", "19/99/-1-2"},         // no ISO form: DateField's compact reading
      {'Y', "2024-3-15", "20/24/-3-1"},
      {'Y', "2024.03.15", "2024/03/15"},
      {'D', "2024-03-15", ""},                  // the order says day first
      {'D', "15/03/2024", "15/03/2024"},
      {'D', "15.03.2024", "15/03/2024"},
      {'M', "03.15.2024.", "03/15/2024"},       // cut to the field
      {'D', "15/03/2024 x.y", "15/03/2024"},    // a dot past the field
      {'D', "15/3/24", "15/3/24   "},           // short: padded
      {'D', "1.3.24", "1/3/24    "},
      {'D', "15032024.", "15032024/ "},         // a dot past the first eight
      {'D', "15032024", "15/03/2024"},          // no mark: DateField's compact reading
      {'D', "2024-03-15/", ""},                 // dashes first, even with a slash
      {'D', "2024-03/15", "2024-03/15"},        // not the ISO form
      {'Y', "2024-03-15.", "2024/03/15"},       // dashes first, even with a dot
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(1, row.order) + " " + row.cell);
    Columns({"I_", "KD", "LD", "DD"});
    Fill({{"P1", "1", "2", row.cell}});
    state.settings.dateFormat = row.order;
    ui = ScriptedUi{};
    ui.answers = {Button::Ignore};
    std::string file = Export(row.field.empty() ? ExportOutcome::WrittenWithMissing : ExportOutcome::Written);
    if (row.field.empty()) {
      ASSERT_EQ(ui.questions.size(), 1u);
      EXPECT_NE(ui.questions[0].text.find("Date Setting should be"), std::string::npos);
    } else {
      EXPECT_TRUE(file.ends_with("2.000000 " + row.field + " I\r\n")) << file.substr(file.rfind("W P1"));
    }
  }
}

TEST_F(WriterTest, DecimalComma) {
  state.settings.decimalSeparator = ',';
  Columns({"I_", "KD", "LD", "HM", "AD"});
  Fill({{"P1", "51,5", "-0,125", "35.5", "2,34"}});
  EXPECT_EQ(Export(), "I ZADI 1,36\r\nU LAT LON DEG\r\n" + std::string(kWgs84Line) +
                          "\r\n"
                          "F ID---- Latitude   Longitude     Alt(m) Depth T\r\n"
                          "W P1      51,500000   -0,125000     35,5      2,3 I\r\n");
}

TEST_F(WriterTest, DecimetresAndAuxData) {
  state.settings.auxData = 'H';
  Columns({"I_", "KD", "LD", "HD", "AH"});
  Fill({{"P1", "1", "2", "355", "72"}});
  EXPECT_EQ(Export(), LatLongHeader() +
                          "\r\n"
                          "F ID---- Latitude   Longitude     Alt(m) HRt(bmp) T\r\n"
                          "W P1       1.000000    2.000000     35.5     72.0 I\r\n");
}

TEST_F(WriterTest, GarminGroup) {
  Columns({"I_", "OX"});
  Fill({{"G1", "GARMIN 249F49F5 FFE93E94 A420C0000 B001A"}, {"G2", "249F49F5 FFE93E94"}});
  EXPECT_EQ(Export(), "I ZADI 1.36\r\nS Symbolset=2\r\nU LAT LON DEG\r\n" +
                          std::string(kWgs84Line) +
                          "\r\n"
                          "F ID---- Latitude   Longitude   Symbol   Alt(m) T\r\n"
                          "W G1      51.500000   -0.125000     26     35.0 I\r\n"
                          "W G2      51.500000   -0.125000     18      0.0 I\r\n");
  EXPECT_TRUE(ui.questions.empty()) << "a Garmin column gives positions";
}

TEST_F(WriterTest, GridGroupWithoutZones) {
  ChooseGrid("Irish", 0, 6, 6);
  Columns({"OG", "HM"});
  Fill({{"12345 67890", "10"}});
  EXPECT_EQ(Export(), "I ZADI 1.36\r\nU Irish\r\n" + std::string(kWgs84Line) +
                          "\r\n"
                          "F ID----  Eastng Northg   Alt(m) T\r\n"
                          "W W001    012345 067890     10.0 I\r\n");
  EXPECT_TRUE(ui.questions.empty()) << "a grid column gives positions";
}

TEST_F(WriterTest, ZoneEastingNorthingColumns) {
  ChooseGrid("UTM", 3, 6, 7);
  state.settings.mode = 'T';
  Columns({"Z_", "E_", "N_", "DX"});
  Fill({{"32T", "500123", "5712345", "36526.5"}});
  EXPECT_EQ(Export(), "I ZADI 1.36\r\nU UTM\r\n" + std::string(kWgs84Line) +
                          "\r\n"
                          "F Zne Eastng Northng Date       Time     S\r\n"
                          "T 32T 500123 5712345 01/01/00   12:00:00 1\r\n");
}

// Eastings and northings of digits alone are written as they stand, padded
// with zeros, only where the settings neither shift nor align them.
TEST_F(WriterTest, GridDigitsShiftedAndAlignedAsTheSettingsSay) {
  const struct {
    int shift, alignment;
    const char *easting, *northing, *line;
  } cases[] = {
      {0, kAlignRight, "500123", "712345", "T 32T 500123 0712345"},
      {0, kAlignRight, "0500123", "-712345", "T 32T 500123 -0712345"},
      {-1, kAlignRight, "5001234", "7123456", "T 32T 500123.4 0712345.6"},
      {0, 1, "50012", "712345", "T 32T 500120 7123450"},
      {0, kAlignLeft, "5001", "712", "T 32T 500100 7120000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.easting) + " " + c.northing);
    ChooseGrid("UTM", 3, 6, 7);
    state.settings.mode = 'T';
    state.settings.scaleFactor = c.shift;
    state.settings.alignment = c.alignment;
    Columns({"Z_", "E_", "N_"});
    Fill({{"32T", c.easting, c.northing}});
    const std::string file = Export();
    EXPECT_NE(file.find(std::string(c.line) + " "), std::string::npos) << file;
  }
}

TEST_F(WriterTest, ZoneLetterQuestionKeepsTheBoxInStep) {
  ChooseGrid("UTM", 3, 6, 7);
  Columns({"Z_", "E_", "N_"});
  state.edits.defaultZone = "30";
  ui.inputAnswers = {"U"};
  Fill({{"5", "1", "2"}, {"7", "3", "4"}});
  std::string file = Export();
  EXPECT_NE(file.find("W W001   05U 000001 0000002 I\r\nW W002   07U 000003 0000004 I\r\n"),
            std::string::npos)
      << file;
  EXPECT_EQ(ui.inputPrompts.size(), 1u) << "asked once: the default zone has its letter then";
  EXPECT_EQ(state.settings.defaultZone, "30U");
  EXPECT_EQ(state.edits.defaultZone, "30U");
  EXPECT_TRUE(state.settingsChanged);
}

TEST_F(WriterTest, TrackStartRules) {
  struct Row {
    std::vector<const char*> codes;
    int changeColumn;
    Rows rows;
    std::string flags, reason;
    bool failing = false;
  };
  const std::vector<Row> rows = {
      {{"KD", "LD", "__"}, 3,
       {{"1", "1", "A"}, {"1", "1", "A"}, {"1", "1", "B"}, {"1", "1", ""}, {"1", "1", "B"},
        {"1", "1", "C"}},
       "111001", "change column: the second record differs from the start marker"},
      {{"KD", "LD", "__"}, 3,
       {{"1", "1", "A"}, {"1", "1", "*g&rb$g%"}},
       "10", "a cell equal to the start marker compares as unchanged"},
      {{"KD", "LD", "__"}, 3,
       {{"1", "1", "A"}, {"1", "1", "A"}, {"1", "1", "A"}, {"x", "1", "A"}, {"1", "1", "A"},
        {"1", "1", "A"}},
       "11010", "after a failed record the next one differs from the failure marker", true},
      {{"KD", "LD", "__"}, 3,
       {{"1", "1", "A"}, {"1", "1", "A"}, {"x", "1", "A"}, {"1", "1", "%$^\xA3" "3"}},
       "110", "a cell equal to the failure marker compares as unchanged", true},
      {{"KD", "LD", "__"}, 3,
       {{"1", "1", "A"}, {"x", "1", "B"}, {"1", "1", ""}, {"1", "1", "C"}},
       "101", "an empty value never starts a track", true},
      {{"KD", "LD", "T_"}, 0,
       {{"1", "1", "0"}, {"1", "1", "1"}, {"1", "1", "Y"}, {"1", "1", "yes"}, {"1", "1", ""},
        {"1", "1", "0"}},
       "111110", "track start column"},
      {{"KD", "LD"}, 0,
       {{"x", "1"}, {"1", "1"}, {"1", "1"}, {}, {}, {"1", "1"}},
       "001", "no rule column: a failed first record leaves the next at 0", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    state.settings = ConversionSettings{};
    state.settings.mode = 'T';
    state.settings.trackStart = row.changeColumn;
    Columns(row.codes);
    Fill(row.rows);
    ui.answers = {Button::Ignore};
    std::string file = Export(row.failing ? ExportOutcome::WrittenWithMissing : ExportOutcome::Written);
    std::string flags;
    for (std::size_t at = file.find("\r\nT "); at != std::string::npos;
         at = file.find("\r\nT ", at + 1)) {
      flags += file[file.find("\r\n", at + 2) - 1];
    }
    EXPECT_EQ(flags, row.flags);
  }
}

TEST_F(WriterTest, FailedRecordSkipsItsGeneratedId) {
  state.settings.mode = 'R';
  state.edits.idPrefix = "WPT";
  Columns({"KD", "LD"});
  Fill({{"1", "1"}, {"2", "2"}, {"x3", "3"}, {"4", "4"}, {"5", "5"}});
  ui.answers = {Button::Ignore};
  std::string file = Export(ExportOutcome::WrittenWithMissing);
  EXPECT_EQ(file.substr(file.find("F ")),
            "F ID---- Latitude   Longitude   T\r\n"
            "W WPT001   1.000000    1.000000 I\r\n"
            "W WPT002   2.000000    2.000000 I\r\n"
            "W WPT004   4.000000    4.000000 I\r\n"
            "W WPT005   5.000000    5.000000 I\r\n"
            "\r\n"
            "R 01 WPT001-WPT005\r\n"
            "W WPT001\r\nW WPT002\r\nW WPT004\r\nW WPT005\r\n");
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0].kind, MessageKind::Confirmation);
  EXPECT_EQ(ui.questions[0].text, "Error in record 3\r\nInvalid Coordinate Format" + kRecordQuestionEnd);
  EXPECT_EQ(ui.questions[0].buttons, (std::vector<Button>{Button::Abort, Button::Ignore, Button::All}));
  EXPECT_EQ(ui.questions[0].helpContext, 400);
  EXPECT_EQ(ui.failingCells, (std::vector<std::pair<int, int>>{{1, 3}}));
  EXPECT_EQ(state.missingRecords, 1);
  EXPECT_EQ(ui.messages.back(), "File written with 1 missing records");
}

TEST_F(WriterTest, AbortStillWritesTheRouteBlock) {
  state.settings.mode = 'R';
  Columns({"I_", "KD", "LD"});
  Fill({{"A", "1", "1"}, {"B", "1", "999"}, {"C", "1", "1"}});
  ui.answers = {Button::Abort};
  std::string file = Export(ExportOutcome::Aborted);
  EXPECT_EQ(file.substr(file.find("W ")),
            "W A        1.000000    1.000000 I\r\n"
            "\r\n"
            "R 01 A-A\r\n"
            "W A\r\n");
  EXPECT_EQ(ui.questions.at(0).text, "Error in record 2\r\nLongitude Range" + kRecordQuestionEnd);
  EXPECT_EQ(ui.failingCells, (std::vector<std::pair<int, int>>{{3, 2}}));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"File aborted"});
}

TEST_F(WriterTest, AllStopsAskingButKeepsCounting) {
  state.settings.mode = 'R';
  Columns({"I_", "KD", "LD"});
  Fill({{"A", "91", "1"}, {"B", "x", "1"}, {}, {"C", "", "1"}});
  ui.answers = {Button::All};
  std::string file = Export(ExportOutcome::WrittenWithMissing);
  EXPECT_EQ(file, LatLongHeader() + "\r\nF ID---- Latitude   Longitude   T\r\n")
      << "no route block without waypoints";
  EXPECT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0].text, "Error in record 1\r\nLatitude Range" + kRecordQuestionEnd);
  EXPECT_EQ(state.missingRecords, 3);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"File written with 3 missing records"});
}

TEST_F(WriterTest, FailingFieldSelectsItsColumn) {
  struct Row {
    std::vector<const char*> codes;
    std::vector<std::string> cells;
    char mode;
    int column;
    std::string message;
  };
  const std::vector<Row> rows = {
      {{"KD", "LD", "HM"}, {"1", "1", "high"}, 'W', 3, "'high' is not a valid floating point value"},
      {{"KD", "LD", "__", "AT"}, {"1", "1", "", "warm"}, 'W', 4,
       "'warm' is not a valid floating point value"},
      {{"KD", "LD", "DD"}, {"1", "1", "2003-12-31"}, 'W', 3,
       "Date Setting should be \"Y/M/D\" - see Settings menu"},
      {{"KD", "LD", "DD", "DT"}, {"1", "1", "311203", "1345"}, 'W', 4,
       "'' is not a valid integer value"},
      {{"DY", "KD", "LD", "DS"}, {"2003", "1", "1", "86399.5"}, 'T', 1,
       "'86399.5' is not a valid integer value"},
      {{"KD", "DM", "LD", "DX"}, {"1", "Dec", "1", "day"}, 'T', 1,
       "'day' is not a valid floating point value"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    state.settings = ConversionSettings{};
    state.settings.trackStart = 0;
    state.settings.mode = row.mode;
    Columns(row.codes);
    Fill({row.cells});
    ui = ScriptedUi{};
    ui.answers = {Button::Ignore};
    Export(ExportOutcome::WrittenWithMissing);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, "Error in record 1\r\n" + row.message + kRecordQuestionEnd);
    EXPECT_EQ(ui.failingCells, (std::vector<std::pair<int, int>>{{row.column, 1}}));
  }
}

TEST_F(WriterTest, RangeBeyondTheTable) {
  state.settings.mode = 'R';
  state.settings.lastRecordMode = 'R';
  state.edits.lastRecord = "500";
  Columns({"I_", "KD", "LD"});
  Fill({{"A", "1", "1"}, {"B", "2", "2"}});
  std::string file = Export();
  EXPECT_EQ(file, LatLongHeader() +
                      "\r\nF ID---- Latitude   Longitude   T\r\n"
                      "W A        1.000000    1.000000 I\r\n"
                      "W B        2.000000    2.000000 I\r\n")
      << "no route block after the early end";
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"Less than 500 records in source date",
                                                   "File written successfully"}));
}

TEST_F(WriterTest, FirstAboveLast) {
  state.settings.firstRecordMode = 'R';
  state.settings.lastRecordMode = 'R';
  state.edits.firstRecord = "3";
  state.edits.lastRecord = "2";
  Columns({"I_", "KD", "LD"});
  Fill({{"A", "1", "1"}, {"B", "2", "2"}, {"C", "3", "3"}});
  EXPECT_EQ(Export(), LatLongHeader() + "\r\nF ID---- Latitude   Longitude   T\r\n");
  EXPECT_EQ(ui.messages, std::vector<std::string>{"File written successfully"});
}

TEST_F(WriterTest, RecordBoxesThatAreNoNumbersKeepTheRange) {
  state.settings.firstRecordMode = 'R';
  state.settings.lastRecordMode = 'R';
  state.settings.firstRecord = 2;
  state.settings.lastRecord = 3;
  state.edits.firstRecord = "two";
  state.edits.lastRecord = "3";
  Columns({"I_", "KD", "LD"});
  Fill({{"A", "1", "1"}, {"B", "2", "2"}, {"C", "3", "3"}, {"D", "4", "4"}});
  std::string file = Export();
  EXPECT_EQ(file.substr(file.find("W ")),
            "W B        2.000000    2.000000 I\r\n"
            "W C        3.000000    3.000000 I\r\n");
  EXPECT_EQ(state.settings.firstRecord, 2);
}

// One failed write ends the export: no question per remaining record.
TEST_F(WriterTest, WriteFailureEndsTheExport) {
  Columns({"I_", "KD", "LD"});
  Fill({{"A", "1", "1"}, {"B", "2", "2"}, {"C", "3", "3"}});
  RebuildKindColumns(state.settings.columns, state.columnCount, state.kinds);
  // Room for the header, the heading and one record: the second record's
  // line makes the output write, which /dev/full refuses.
  ExportOutput out(LatLongHeader().size() + 80);
  out.Open("/dev/full");
  try {
    WriteRecords(state, ui, out, 1, 3, {});
    ADD_FAILURE() << "the write failure did not end the export";
  } catch (const EWriteError& failure) {
    EXPECT_EQ(failure.Error(), ENOSPC);
  }
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_EQ(state.missingRecords, 0);
}

// Lines and texts shorter than the buffer, as long as it, and longer (which
// grow it or go out as they are) reach the file whole and in order.
TEST_F(WriterTest, OutputKeepsEveryTextWhateverItsLengthAgainstTheBuffer) {
  constexpr std::size_t kCapacity = 16;
  const struct {
    bool line;
    std::size_t length;
  } writes[] = {{true, 3}, {false, 5}, {true, 14}, {true, 15}, {false, 16}, {true, 40},
                {false, 2}, {false, 70}, {true, 0}, {true, 13}, {false, 1}};
  ExportOutput out(kCapacity);
  const std::string path = Path("lengths.gps");
  out.Open(path);
  std::string expected;
  char letter = 'a';
  for (const auto& write : writes) {
    const std::string text(write.length, letter++);
    if (write.line) {
      out.WriteLine(text);
      expected += text + "\r\n";
    } else {
      out.WriteText(text);
      expected += text;
    }
  }
  out.Commit();
  EXPECT_EQ(ReadFile(path), expected);
}

// A write that fails while both threads read blocks ends the export there,
// with the helper thread stopped rather than left waiting.
TEST_F(WriterTest, WriteFailureEndsASplitExport) {
  Columns({"I_", "KD", "LD"});
  Rows rows;
  for (int r = 1; r <= 100000; ++r) rows.push_back({"P" + std::to_string(r), "51.5", "-1.25"});
  Fill(rows);
  RebuildKindColumns(state.settings.columns, state.columnCount, state.kinds);
  ExportOutput out;
  out.Open("/dev/full");
  EXPECT_THROW(WriteRecords(state, ui, out, 1, 100000, {}, 2), EWriteError);
  EXPECT_TRUE(ui.questions.empty());
}

// Everything the user sees, in the order seen.
class TranscriptUi : public ScriptedUi {
 public:
  std::vector<std::string> transcript;

  void ShowMessage(const std::string& text) override {
    transcript.push_back("message " + text);
    ScriptedUi::ShowMessage(text);
  }
  Button Ask(MessageKind kind, const std::string& text, const std::vector<Button>& buttons,
             int helpContext) override {
    transcript.push_back("question " + text);
    return ScriptedUi::Ask(kind, text, buttons, helpContext);
  }
  void ShowFailingCell(int column, int row) override {
    transcript.push_back("cell " + std::to_string(column) + " " + std::to_string(row));
  }
  void Progress(std::string_view task, std::int64_t done, std::int64_t total) override {
    transcript.push_back(std::string(task) + " " + std::to_string(done) + "/" + std::to_string(total));
  }
};

// A file long enough to be read in blocks on two threads, with failing
// records and empty lines placed around the blocks' edges: the second thread
// must give the same file, the same questions in the same order and the same
// counts as one thread alone.
TEST_F(WriterTest, TwoThreadsWriteWhatOneWrites) {
  constexpr int kRows = 70000;
  struct Case {
    char mode;
    std::vector<const char*> codes;
    std::vector<int> failing, empty;
    std::vector<Button> answers;
    WriteResult result;
    const char* reason;
  };
  const Case cases[] = {
      {'W', {"I_", "KD", "LD", "HM", "DD", "DT"}, {}, {16384, 50000}, {}, WriteResult::Clean,
       "clean: every block read apart"},
      {'W', {"KD", "LD", "HM"}, {20000, 40000, 40001}, {16385}, {Button::Ignore, Button::Ignore, Button::Ignore},
       WriteResult::SomeMissing, "first failure in the second thread's block, generated IDs"},
      {'T', {"KD", "LD", "HM"}, {100, 16384, 65537}, {16384, 32768, 32769}, {Button::All},
       WriteResult::SomeMissing, "track starts after empty lines at block edges"},
      {'T', {"KD", "LD"}, {32770, 60000}, {16384, 32768}, {Button::Ignore, Button::Abort},
       WriteResult::Aborted, "a block after an empty line starts a track; abort in a later block"},
      {'W', {"I_", "Z_", "E_", "N_"}, {}, {}, {}, WriteResult::Clean,
       "UTM zones completed from a default zone that has its letter"},
  };
  for (const Case& c : cases) {
    if (c.codes[1] == std::string_view("Z_")) {
      ChooseGrid("UTM", 3, 6, 7);
      state.settings.defaultZone = "30U";
    }
    state.settings.mode = c.mode;
    state.settings.dateFormat = 'Y';
    state.edits.idPrefix = "WPT";
    Columns(c.codes);
    Rows rows(kRows);
    for (int r = 1; r <= kRows; ++r) {
      if (std::find(c.empty.begin(), c.empty.end(), r) != c.empty.end()) continue;
      std::string latitude = std::to_string(50 + r % 1000 * 0.001);
      if (std::find(c.failing.begin(), c.failing.end(), r) != c.failing.end()) latitude = "x";
      std::vector<std::string>& row = rows[static_cast<std::size_t>(r - 1)];
      for (const char* code : c.codes) {
        std::string_view kind(code);
        if (kind == "I_") row.push_back("P" + std::to_string(r));
        if (kind == "KD") row.push_back(latitude);
        if (kind == "LD") row.push_back(std::to_string(-1 - r % 777 * 0.0001));
        if (kind == "HM") row.push_back(std::to_string(r % 300) + ".25");
        if (kind == "DD") row.push_back("2024-03-15");
        if (kind == "DT") row.push_back("13:00:" + std::to_string(10 + r % 50));
        if (kind == "Z_") row.push_back("30");
        if (kind == "E_") row.push_back(std::to_string(400000 + r % 1000));
        if (kind == "N_") row.push_back(std::to_string(5600000 + r % 5000));
      }
    }
    Fill(rows);
    std::string files[2];
    std::vector<std::string> transcripts[2];
    int missing[2];
    for (int threads : {1, 2}) {
      TranscriptUi user;
      user.answers.assign(c.answers.begin(), c.answers.end());
      state.missingRecords = 0;
      const std::string path = Path("threads" + std::to_string(threads) + ".gps");
      ExportOutput out;
      out.Open(path);
      EXPECT_EQ(WriteRecords(state, user, out, 1, kRows, {}, threads), c.result) << c.reason;
      out.Commit();
      EXPECT_TRUE(user.answers.empty()) << c.reason << ": questions asked with " << threads << " threads";
      files[threads - 1] = ReadFile(path);
      transcripts[threads - 1] = user.transcript;
      missing[threads - 1] = state.missingRecords;
    }
    EXPECT_GT(files[0].size(), 1000000u) << c.reason;
    EXPECT_TRUE(files[0] == files[1]) << c.reason << ": the files differ";
    EXPECT_EQ(transcripts[0], transcripts[1]) << c.reason;
    EXPECT_EQ(missing[0], missing[1]) << c.reason;
  }
}

}  // namespace
}  // namespace zevi::testing
