#pragma once
// An application state built by hand: column codes, table rows and a scripted
// user, with a scratch folder for the files an export writes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/exportrun.h"
#include "settings/state.h"
#include "support/scripted_ui.h"

namespace zevi::testing {

inline constexpr const char* kWgs84Line =
    "M E               WGS 84 100  0.0000000E+00  0.0000000E+00 0 0 0\r\n";

// An empty row stands for an empty source line (row marker 0).
using Rows = std::vector<std::vector<std::string>>;

class ExportTest : public ::testing::Test {
 protected:
  AppState state;
  ScriptedUi ui;
  std::filesystem::path folder;

  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("zevi_export_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    using namespace std::chrono;
    state.clock = std::make_unique<FixedClock>(
        LocalDateTime{year_month_day{year{2024}, month{3}, day{15}}, hours{10} + minutes{20}});
    state.settings.trackStart = 0;
    state.sourceFile = Path("points.txt");
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(folder / "out.gps", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(folder, ignored);
  }

  std::string Path(const std::string& name) const { return (folder / name).string(); }

  // Codes of data columns 1.. in order; the table gets as many columns.
  void Columns(const std::vector<const char*>& codes) {
    int column = 1;
    for (const char* code : codes) state.settings.columns.entries[column++].code = code;
    state.columnCount = column;
    RebuildKindColumns(state.settings.columns, state.columnCount, state.kinds);
  }

  void Fill(const Rows& rows) {
    state.table.Layout(state.columnCount, static_cast<int>(rows.size()) + 1);
    std::vector<std::string_view> cells;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (rows[r].empty()) continue;
      cells.assign(rows[r].begin(), rows[r].end());
      state.table.FillRow(static_cast<int>(r) + 1, cells);
    }
  }

  void ChooseGrid(const std::string& name, int zoneWidth, int eastingDigits, int northingDigits) {
    state.grid.entries = {"Lat/Long", name};
    state.grid.selected = 1;
    state.grid.name = name;
    state.grid.zoneWidth = zoneWidth;
    state.grid.eastingDigits = eastingDigits;
    state.grid.northingDigits = northingDigits;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return std::move(text).str();
  }

  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  // Runs the export into out.gps and returns what the file holds.
  std::string Export(ExportOutcome expected = ExportOutcome::Written) {
    EXPECT_EQ(RunExport(state, ui, Path("out.gps")), expected);
    return ReadFile(Path("out.gps"));
  }
};

// Header lines 1 to 6 of a latitude/longitude export with the built-in datum.
inline std::string LatLongHeader(const std::string& units = "DEG") {
  return "I ZADI 1.36\r\nU LAT LON " + units + "\r\n" + kWgs84Line;
}

}  // namespace zevi::testing
