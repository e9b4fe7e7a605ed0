// The preview's data: positions, IDs, track starts and failures as the export
// would write and report them, read without touching the state; and the
// geometry that draws them.
#include "export/preview.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "export/export_fixture.h"
#include "source/loader.h"
#include "values/numbers.h"

namespace zevi::testing {
namespace {

using PreviewTest = ExportTest;

struct Expected {
  double x, y;
  int record;
  bool trackStart;
};

void ExpectPoints(const PreviewData& data, const std::vector<Expected>& expected) {
  ASSERT_EQ(data.points.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const PreviewPoint& point = data.points[i];
    EXPECT_NEAR(point.x, expected[i].x, 1e-9) << "point " << i;
    EXPECT_NEAR(point.y, expected[i].y, 1e-9) << "point " << i;
    EXPECT_EQ(point.record, expected[i].record) << "point " << i;
    EXPECT_EQ(point.trackStart, expected[i].trackStart) << "point " << i;
  }
}

// The export's record lines of one kind ('T', 'W'), without the letter.
std::vector<std::string> WrittenLines(const std::string& file, char kind) {
  const std::string start = std::string("\r\n") + kind + ' ';
  std::vector<std::string> lines;
  for (std::size_t at = file.find(start); at != std::string::npos; at = file.find(start, at + 2)) {
    lines.push_back(file.substr(at + 2, file.find("\r\n", at + 2) - at - 2));
  }
  return lines;
}

TEST_F(PreviewTest, TrackBreaksAtEmptyLinesAndFailuresListed) {
  state.settings.mode = 'T';
  Columns({"KD", "LD", "HM"});
  Fill({{"51.5", "-0.125", "115"},
        {"51.52", "-0.2", "1x"},
        {"51.53", "W0.21", "120"},
        {},
        {},
        {"91", "-0.25", "118"},
        {"51.54", "-0.25", "118"},
        {"51.55", "-0.26", "119"}});
  PreviewData data = ReadPreview(state);
  EXPECT_EQ(data.axes, PreviewAxes::Degrees);
  ExpectPoints(data, {{-0.125, 51.5, 1, true},
                      {-0.21, 51.53, 3, false},
                      {-0.25, 51.54, 7, false},
                      {-0.26, 51.55, 8, false}});
  ASSERT_EQ(data.failures.size(), 2u);
  EXPECT_EQ(data.failureCount, 2u);
  EXPECT_EQ(data.failures[0].record, 2);
  EXPECT_EQ(data.failures[0].column, 3);
  EXPECT_EQ(data.failures[0].message, "'1x' is not a valid floating point value");
  EXPECT_EQ(data.failures[1].record, 6);
  EXPECT_EQ(data.failures[1].column, 1);
  EXPECT_EQ(data.failures[1].message, "Latitude Range");
  EXPECT_DOUBLE_EQ(data.bounds.minX, -0.26);
  EXPECT_DOUBLE_EQ(data.bounds.maxX, -0.125);
  EXPECT_DOUBLE_EQ(data.bounds.minY, 51.5);
  EXPECT_DOUBLE_EQ(data.bounds.maxY, 51.55);
  EXPECT_TRUE(data.note.empty());
}

// The track starts and failures of the preview are the export's, whatever
// rule decides them: each case is exported too, and the "T" lines' position
// and track-start fields compared with the preview's points.
TEST_F(PreviewTest, AgreesWithTheExport) {
  struct Case {
    const char* name;
    char mode;
    std::vector<const char*> codes;
    int trackStart;  // change column
    Rows rows;
  };
  const Case cases[] = {
      {"no rule: first and after empty lines", 'T', {"KD", "LD"}, 0,
       {{"1", "2"}, {"x", "2"}, {"1.5", "2"}, {}, {"2", "2"}, {"2.5", "2"}}},
      {"first record fails: the next gets 0", 'T', {"KD", "LD"}, 0,
       {{"x", "2"}, {"1", "2"}, {"1.5", "2"}}},
      {"change column, a failure between", 'T', {"KD", "LD", "__"}, 3,
       {{"1", "2", "a"}, {"1.1", "2", "a"}, {"1.2", "2", "b"}, {"x", "2", "b"}, {"1.3", "2", "b"},
        {"1.4", "2", ""}, {"1.5", "2", "c"}}},
      {"track start column", 'T', {"KD", "LD", "T_"}, 0,
       {{"1", "2", "0"}, {"1.1", "2", "0"}, {"1.2", "2", "1"}, {"1.3", "2", ""}, {"1.4", "2", "0"}}},
      {"day counts with a bad one", 'T', {"KD", "LD", "DX"}, 0,
       {{"1", "2", "36526.5"}, {"1.1", "2", "x"}, {"1.2", "2", "36527"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    state.settings.mode = c.mode;
    state.settings.trackStart = c.trackStart;
    Columns(c.codes);
    Fill(c.rows);
    ui = ScriptedUi{};
    for (int i = 0; i < 20; ++i) ui.answers.push_back(Button::Ignore);
    const bool failures = std::any_of(c.rows.begin(), c.rows.end(), [](const auto& row) {
      return !row.empty() && (row[0] == "x" || (row.size() > 2 && row[2] == "x"));
    });
    std::string file = Export(failures ? ExportOutcome::WrittenWithMissing : ExportOutcome::Written);
    PreviewData data = ReadPreview(state);

    std::vector<std::string> written = WrittenLines(file, 'T');
    ASSERT_EQ(written.size(), data.points.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
      const PreviewPoint& point = data.points[i];
      EXPECT_EQ(written[i].substr(2, 10), FormatFloat(point.y, 10, 6, '.')) << written[i];
      EXPECT_EQ(written[i].back(), point.trackStart ? '1' : '0') << written[i];
    }
    ASSERT_EQ(ui.failingCells.size(), data.failures.size());
    for (std::size_t i = 0; i < data.failures.size(); ++i) {
      const PreviewFailure& failure = data.failures[i];
      EXPECT_EQ(ui.failingCells[i], std::make_pair(failure.column, failure.record));
      EXPECT_EQ(ui.questions[i].text.substr(0, ui.questions[i].text.find("\r\n\r\n")),
                "Error in record " + std::to_string(failure.record) + "\r\n" + failure.message);
    }
  }
}

// Thousands of records are read in two halves on two threads: what the
// second half gets (generated IDs, track starts, failures) is still the
// export's, wherever the failures and empty lines fall.
TEST_F(PreviewTest, ReadInHalvesAsTheExportWrites) {
  constexpr int kRows = 5000;
  struct Case {
    const char* name;
    char mode;
    std::vector<int> failing;  // rows whose latitude does not read
    std::vector<int> empty;    // empty rows
    bool timeFails = false;    // the time fails instead: before the ID is numbered
  };
  const Case cases[] = {
      {"waypoints, nothing fails", 'W', {}, {1200, 2499, 2500, 2501, 4000}},
      {"waypoints, a failure in the first half", 'W', {7, 2400}, {2500}},
      {"waypoints, a time failure in the first half", 'W', {7}, {}, true},
      {"waypoints, failures in the second half only", 'W', {2600, 4999}, {}},
      {"track, empty lines about the middle", 'T', {}, {2499, 2501, 3000, 3001}},
      {"track, a failure just before the middle", 'T', {2500}, {2501}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    state.settings.mode = c.mode;
    state.edits.idPrefix = "P";
    Columns({"KD", "LD", "DT"});
    Rows rows(kRows);
    for (int r = 1; r <= kRows; ++r) {
      if (std::find(c.empty.begin(), c.empty.end(), r) != c.empty.end()) continue;
      const bool fails = std::find(c.failing.begin(), c.failing.end(), r) != c.failing.end();
      rows[static_cast<std::size_t>(r - 1)] = {fails && !c.timeFails ? "x" : FormatFloat(50 + r * 1e-4, 0, 6, '.'),
                                               "-2.5", fails && c.timeFails ? "x" : "12:00:00"};
    }
    Fill(rows);
    ui = ScriptedUi{};
    for (std::size_t i = 0; i < c.failing.size(); ++i) ui.answers.push_back(Button::Ignore);
    std::string file = Export(c.failing.empty() ? ExportOutcome::Written : ExportOutcome::WrittenWithMissing);
    PreviewData data = ReadPreview(state);

    std::vector<std::string> written = WrittenLines(file, c.mode);
    ASSERT_EQ(written.size(), data.points.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
      const bool track = c.mode == 'T';
      EXPECT_EQ(track ? written[i].substr(written[i].size() - 1) : written[i].substr(2, written[i].find(' ', 2) - 2),
                track ? (data.points[i].trackStart ? "1" : "0") : data.IdOf(i))
          << written[i];
    }
    ASSERT_EQ(ui.failingCells.size(), data.failureCount);
    for (std::size_t i = 0; i < data.failures.size(); ++i) EXPECT_EQ(ui.failingCells[i].second, data.failures[i].record);
  }
}

// A sample spread over many rows, read in two halves: zones first met in the
// later half keep their names.
TEST_F(PreviewTest, SampleInHalvesKeepsZones) {
  ChooseGrid("UTM", 3, 6, 7);
  Columns({"Z_", "E_", "N_"});
  constexpr int kRows = 12000;
  auto zoneOf = [](int r) {
    static const char* const kEarly[] = {"30U", "31U"};
    static const char* const kLate[] = {"32U", "30U", "56H"};
    return r <= kRows / 2 ? kEarly[r % 2] : kLate[r % 3];
  };
  Rows rows;
  for (int r = 1; r <= kRows; ++r) {
    rows.push_back({zoneOf(r), std::to_string(400000 + r) + ".5", std::to_string(5600000 + 2 * r)});
  }
  Fill(rows);
  PreviewData sample = ReadPreview(state, 6000);
  ASSERT_EQ(sample.points.size(), 6000u);
  EXPECT_EQ(sample.zones.size(), 4u);
  for (std::size_t i = 0; i < sample.points.size(); ++i) {
    const int r = sample.points[i].record;
    ASSERT_EQ(r, static_cast<int>(1 + 2 * i));
    EXPECT_EQ(sample.ZoneOf(i), zoneOf(r)) << "record " << r;
    EXPECT_DOUBLE_EQ(sample.points[i].x, 400000 + r + 0.5) << "record " << r;
  }
  EXPECT_DOUBLE_EQ(sample.bounds.minY, 5600002);
  EXPECT_DOUBLE_EQ(sample.bounds.maxY, 5600000 + 2 * 11999);
}

// Samples of a mapped file, rows copied out of it one by one when far apart
// and a run at a time when close, read as those of the same file read whole.
TEST_F(PreviewTest, SamplesOfAMappedFileReadAsOfTheFileRead) {
  constexpr int kLines = 20000;
  std::string lines;
  for (int i = 1; i <= kLines; ++i) {
    lines += i % 97 == 0 ? std::string("\r\n")
                         : "P" + std::to_string(i) + "," + std::to_string(50 + i % 1000 * 0.001) + ",-" +
                               std::to_string(i % 777 * 0.01) + "\r\n";
  }
  WriteFile(Path("source.txt"), lines);
  state.settings.listSeparator = ',';
  auto preview = [&](bool mapped, std::size_t atMost) {
    LoadLimits limits;
    limits.mapRegularFile = mapped;
    LoadSourceFile(state, ui, Path("source.txt"), {}, limits);
    Columns({"I_", "KD", "LD"});
    return ReadPreview(state, atMost);
  };
  const struct {
    std::size_t atMost;
    const char* reads;
  } cases[] = {{0, "every row, in runs"},         {kLines / 3 + 1, "every third row"},
               {kLines / 32 + 1, "every 32nd"}, {kLines / 33 + 1, "every 33rd, one by one"},
               {80, "every 250th"}};
  for (const auto& c : cases) {
    const PreviewData read = preview(false, c.atMost);
    const PreviewData mapped = preview(true, c.atMost);
    ASSERT_GT(read.points.size(), 50u) << c.reads;
    ASSERT_EQ(mapped.points.size(), read.points.size()) << c.reads;
    for (std::size_t i = 0; i < read.points.size(); ++i) {
      ASSERT_EQ(mapped.points[i].record, read.points[i].record) << c.reads;
      ASSERT_EQ(mapped.points[i].x, read.points[i].x) << c.reads << ", record " << read.points[i].record;
      ASSERT_EQ(mapped.points[i].y, read.points[i].y) << c.reads << ", record " << read.points[i].record;
      ASSERT_EQ(mapped.IdOf(i), read.IdOf(i)) << c.reads;
    }
  }
}

TEST_F(PreviewTest, WaypointIdsAsTheExportWritesThem) {
  state.edits.idPrefix = "WPT";
  Columns({"KD", "LD"});
  Fill({{"1", "2"}, {"1", "2"}, {"x", "2"}, {"1", "2"}});
  PreviewData data = ReadPreview(state);
  ASSERT_EQ(data.points.size(), 3u);
  EXPECT_EQ(data.IdOf(0), "WPT001");
  EXPECT_EQ(data.IdOf(1), "WPT002");
  EXPECT_EQ(data.IdOf(2), "WPT004") << "a failed record's number is skipped";
  EXPECT_EQ(data.IdOf(3), "");

  Columns({"I_", "KD", "LD"});
  Fill({{"SUMMIT-CAIRN", "1", "2"}, {"", "1", "2"}});
  data = ReadPreview(state);
  EXPECT_EQ(data.IdOf(0), "SUMMIT-CAIRN") << "ID cells are never cut";
  EXPECT_EQ(data.IdOf(1), "");
}

TEST_F(PreviewTest, PositionSources) {
  struct Row {
    const char* name;
    std::vector<const char*> codes;
    std::vector<std::string> cells;
    bool grid;
    double x, y;
  };
  const Row rows[] = {
      {"minutes and hemisphere columns", {"KM", "Kh", "LN", "Lh"}, {"51 30.6", "S", "00007.5000", "W"},
       false, -0.125, -51.51},
      {"Garmin cell", {"OX"}, {"GARMIN 249F49F5 FFE93E94 A420C0000 B001A"}, false, -0.125, 51.5},
      {"easting and northing", {"Z_", "E_", "N_"}, {"30U", "12345", "5712345.5"}, true, 12345, 5712345.5},
      {"grid cell", {"OG"}, {"30U 512345 5712345"}, true, 512345, 5712345},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.grid) ChooseGrid("UTM", 3, 6, 7);
    Columns(row.codes);
    Fill({row.cells});
    PreviewData data = ReadPreview(state);
    EXPECT_EQ(data.axes, row.grid ? PreviewAxes::Grid : PreviewAxes::Degrees);
    ASSERT_EQ(data.points.size(), 1u) << (data.failures.empty() ? "" : data.failures[0].message);
    EXPECT_NEAR(data.points[0].x, row.x, 1e-6);
    EXPECT_NEAR(data.points[0].y, row.y, 1e-6);
  }
  EXPECT_TRUE(ui.inputPrompts.empty()) << "the zone band question is never asked";
}

// Zones travel with the points; a sample spreads over the range; grid
// positions become latitude and longitude, placed between the exact
// conversions of their kilometre cell's corners within a few centimetres.
TEST_F(PreviewTest, ZonesSamplesAndGridPositionsInDegrees) {
  ChooseGrid("UTM", 3, 6, 7);
  Columns({"Z_", "E_", "N_"});
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 100; ++i) {
    rows.push_back({i % 2 ? "30U" : "56H", std::to_string(498000 + 37 * i) + ".5",
                    std::to_string(6034000 + 53 * i) + ".25"});
  }
  rows.push_back({"30", "498471.6", "6034527.0"});  // no band: the default zone's
  Fill(rows);
  PreviewData data = ReadPreview(state);
  ASSERT_EQ(data.points.size(), 101u);
  EXPECT_EQ(data.ZoneOf(0), "56H");
  EXPECT_EQ(data.ZoneOf(1), "30U");
  EXPECT_EQ(data.ZoneOf(100), "30U");
  EXPECT_EQ(data.zones.size(), 2u);

  PreviewData sample = ReadPreview(state, 10);
  ASSERT_EQ(sample.points.size(), 10u);
  EXPECT_EQ(sample.points[1].record, 12);
  EXPECT_EQ(sample.ZoneOf(1), "30U");

  GridProjection utm;
  utm.utm = true;
  utm.scale = 0.9996;
  utm.falseEasting = 500000;
  GridConverter converter(utm);
  for (bool other : {false, true}) {
    std::vector<LatLong> positions = LocatePoints(data, &converter, other);
    ASSERT_EQ(positions.size(), 101u);
    for (std::size_t i = 0; i < positions.size(); ++i) {
      auto exact = converter.ToLatLong(data.points[i].x, data.points[i].y, data.ZoneOf(i), other);
      ASSERT_TRUE(exact);
      EXPECT_NEAR(positions[i].lat, exact->lat, 5e-7) << i;
      EXPECT_NEAR(positions[i].lon, exact->lon, 5e-7) << i;
    }
  }
  EXPECT_TRUE(LocatePoints(data, nullptr).empty()) << "no grid conversion, no positions";

  std::vector<LatLong> positions = LocatePoints(data, &converter);
  positions[1] = {NAN, NAN};
  PreviewData degrees = InDegrees(data, positions);
  EXPECT_EQ(degrees.axes, PreviewAxes::Degrees);
  ASSERT_EQ(degrees.points.size(), 100u);
  EXPECT_EQ(degrees.points[1].record, 3);
  EXPECT_NEAR(degrees.points[99].y, 54.458412, 1e-6);
  EXPECT_NEAR(degrees.points[99].x, -3.023577, 1e-6);
  EXPECT_NEAR(degrees.bounds.minY, -35.9, 0.2);
}

TEST_F(PreviewTest, DecimalCommaAndSigns) {
  state.settings.decimalSeparator = ',';
  state.settings.latitudeSign = -1;
  Columns({"KD", "LD", "HM"});
  Fill({{"51,5", "0,125", "35.5"}, {"51.5", "1", "2"}});
  PreviewData data = ReadPreview(state);
  ExpectPoints(data, {{0.125, -51.5, 1, false}});
  ASSERT_EQ(data.failures.size(), 1u);
  EXPECT_EQ(data.failures[0].message, "'51.5' is not a valid floating point value");
}

TEST_F(PreviewTest, NotesAndTheRecordBoxes) {
  Columns({"I_", "HM"});
  Fill({{"A", "1"}});
  PreviewData data = ReadPreview(state);
  EXPECT_TRUE(data.points.empty());
  EXPECT_EQ(data.note,
            "No position columns: assign Latitude and Longitude, a Grid column, or Easting and Northing");

  Columns({"KD", "LD"});
  Fill({{"1", "2"}, {"3", "4"}, {"5", "6"}});
  state.settings.firstRecordMode = 'R';
  state.settings.lastRecordMode = 'R';
  state.edits.firstRecord = "2";
  state.edits.lastRecord = "9";
  data = ReadPreview(state);
  ExpectPoints(data, {{4, 3, 2, false}, {6, 5, 3, false}});
  EXPECT_EQ(data.note, "Less than 9 records in source date");
}

TEST_F(PreviewTest, LeavesTheStateAlone) {
  ChooseGrid("UTM", 3, 6, 7);
  state.settings.mode = 'T';
  state.settings.defaultZone = "30";
  state.edits.defaultZone = "30";
  state.edits.firstRecord = "2";
  state.settings.firstRecordMode = 'R';
  Columns({"Z_", "E_", "N_", "I_", "__"});
  state.settings.columns.entries[5].code = "I_";
  Fill({{"31", "512345", "5712345"}, {"31", "512345", "5712345"}});
  PreviewData data = ReadPreview(state);
  EXPECT_EQ(data.points.size(), 1u);
  EXPECT_FALSE(state.settingsChanged);
  EXPECT_EQ(state.settings.firstRecord, 1) << "the record box is not taken over";
  EXPECT_EQ(state.settings.defaultZone, "30");
  EXPECT_EQ(state.settings.columns.entries[5].code, "I_") << "the kind index is rebuilt on a copy";
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_TRUE(ui.inputPrompts.empty());
}

// A million trackpoints: every record read, far fewer drawn, no track start lost.
TEST_F(PreviewTest, MillionPointTrack) {
  constexpr int kRecords = 1000000;
  state.settings.mode = 'T';
  Columns({"KD", "LD"});
  state.table.Layout(3, kRecords + 1);
  std::string latitude, longitude;
  for (int r = 1; r <= kRecords; ++r) {
    double angle = r * 1e-4;
    latitude = FormatFloat(54.5 + 0.01 * std::sin(angle) * (1 + r * 1e-6), 0, 6, '.');
    longitude = FormatFloat(-3.0 + 0.02 * std::cos(angle) * (1 + r * 1e-6), 0, 6, '.');
    if (r % 250000 == 0) continue;  // an empty line: a new track
    std::string_view cells[] = {latitude, longitude};
    state.table.FillRow(r, cells);
  }
  auto start = std::chrono::steady_clock::now();
  PreviewData data = ReadPreview(state);
  auto read = std::chrono::steady_clock::now();
  PlotFrame frame = FitFrame(data.bounds, data.axes, 800, 600, 40);
  std::vector<std::uint32_t> kept = ThinForDrawing(data, frame, 800, 600);
  auto thinned = std::chrono::steady_clock::now();
  using std::chrono::milliseconds;
  std::printf("read %lld ms, thinned %lld ms, %zu of %zu points kept\n",
              static_cast<long long>(std::chrono::duration_cast<milliseconds>(read - start).count()),
              static_cast<long long>(std::chrono::duration_cast<milliseconds>(thinned - read).count()),
              kept.size(), data.points.size());

  ASSERT_EQ(data.points.size(), static_cast<std::size_t>(kRecords - 4));
  EXPECT_TRUE(data.failures.empty());
  EXPECT_LT(kept.size(), data.points.size() / 10);
  std::size_t starts = 0;
  for (std::uint32_t index : kept) starts += data.points[index].trackStart;
  EXPECT_EQ(starts, 4u);
  EXPECT_EQ(kept.back(), data.points.size() - 1) << "a track's last point is drawn";
}

TEST(PreviewGeometryTest, FrameKeepsDistancesEqual) {
  PreviewBounds bounds;
  bounds.Add(10.0, 60.0);
  bounds.Add(10.02, 60.01);  // about 1112 m north and 1112 m east at 60 degrees
  PlotFrame frame = FitFrame(bounds, PreviewAxes::Degrees, 400, 300, 20);
  EXPECT_NEAR(frame.pixelsPerX, frame.pixelsPerY * 0.5, frame.pixelsPerY * 1e-3);
  EXPECT_NEAR(frame.PixelX(10.0), 200 - 130, 0.5) << "centred across";
  EXPECT_NEAR(frame.PixelY(60.0), 280, 1e-6) << "the height decides the scale";
  EXPECT_NEAR(frame.PixelY(60.01), 20, 1e-6);
  EXPECT_NEAR(frame.PixelX(10.02) - frame.PixelX(10.0), 260, 0.5);
  EXPECT_NEAR(frame.DataX(frame.PixelX(10.01)), 10.01, 1e-12);

  PreviewBounds lone;
  lone.Add(512345, 5712345);
  PlotFrame grid = FitFrame(lone, PreviewAxes::Grid, 300, 300, 50);
  EXPECT_DOUBLE_EQ(grid.pixelsPerX, grid.pixelsPerY);
  EXPECT_NEAR(grid.MetresPerPixel(), 1000.0 / 200, 1e-9) << "a lone point gets a kilometre";
  EXPECT_NEAR(grid.PixelX(512345), 150, 1e-9);
}

TEST(PreviewGeometryTest, TicksLabelsAndScaleBars) {
  struct TickRow {
    double min, max;
    int maxCount;
    double step;
    std::vector<double> values;
  };
  const TickRow ticks[] = {
      {0.12, 0.93, 5, 0.2, {0.2, 0.4, 0.6, 0.8}},
      {-3.02, -2.95, 8, 0.01, {-3.02, -3.01, -3.0, -2.99, -2.98, -2.97, -2.96, -2.95}},
      {512100, 518900, 4, 2000, {514000, 516000, 518000}},
      {1, 1, 5, 0, {}},
  };
  for (const TickRow& row : ticks) {
    AxisTicks got = ChooseTicks(row.min, row.max, row.maxCount);
    EXPECT_DOUBLE_EQ(got.step, row.step) << row.min << ".." << row.max;
    ASSERT_EQ(got.values.size(), row.values.size()) << row.min << ".." << row.max;
    for (std::size_t i = 0; i < row.values.size(); ++i) EXPECT_NEAR(got.values[i], row.values[i], 1e-9);
  }

  EXPECT_EQ(TickLabel(51.25, 0.05, PreviewAxes::Degrees, '.'), "51.25\xB0");
  EXPECT_EQ(TickLabel(-3.0, 0.01, PreviewAxes::Degrees, ','), "-3,00\xB0");
  EXPECT_EQ(TickLabel(-1e-17, 0.2, PreviewAxes::Degrees, '.'), "0.0\xB0");
  EXPECT_EQ(TickLabel(514000, 2000, PreviewAxes::Grid, '.'), "514000");

  struct BarRow {
    double metresPerPixel, maxPixels, metres;
    const char* label;
  };
  const BarRow bars[] = {{10, 120, 1000, "1 km"}, {10, 99, 500, "500 m"},
                         {3, 100, 200, "200 m"},  {0.004, 100, 0.2, "0.2 m"},
                         {40, 150, 5000, "5 km"}};
  for (const BarRow& row : bars) {
    PlotFrame frame;
    frame.axes = PreviewAxes::Grid;
    frame.pixelsPerX = frame.pixelsPerY = 1 / row.metresPerPixel;
    ScaleBar bar = ChooseScaleBar(frame, row.maxPixels);
    EXPECT_NEAR(bar.metres, row.metres, 1e-9) << row.label;
    EXPECT_NEAR(bar.pixels, row.metres / row.metresPerPixel, 1e-9) << row.label;
    EXPECT_EQ(bar.label, row.label);
  }
}

TEST(PreviewGeometryTest, WaypointsThinnedPerPixelAndFoundByHover) {
  PreviewData data;
  data.mode = 'W';
  data.axes = PreviewAxes::Grid;
  for (double x : {100.0, 100.2, 150.0, 1000.0}) {
    data.points.push_back({x, 0, static_cast<int>(x), false});
  }
  PlotFrame frame;
  frame.axes = PreviewAxes::Grid;
  frame.left = 0;
  frame.top = 10;
  std::vector<std::uint32_t> kept = ThinForDrawing(data, frame, 200, 20);
  EXPECT_EQ(kept, (std::vector<std::uint32_t>{0, 2})) << "one dot per pixel, none outside";
  EXPECT_EQ(NearestPoint(data, kept, frame, 147, 11, 6), 2);
  EXPECT_EQ(NearestPoint(data, kept, frame, 125, 10, 6), -1);
}

}  // namespace
}  // namespace zevi::testing
