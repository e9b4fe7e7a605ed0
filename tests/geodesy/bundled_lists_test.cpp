// The datum and grid lists that travel with the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "geodesy/datums.h"
#include "geodesy/grids.h"
#include "support/scripted_ui.h"

namespace zevi {
namespace {

using testing::ScriptedUi;

const std::string kFolder = std::string(ZEVI_DATA_DIR) + "/";

std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

TEST(BundledLists, DatumListHoldsOurDatums) {
  ScriptedUi ui;
  DatumState datum;
  ReadDatumList(datum, kFolder + kDatumFileName, ui);
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_GE(datum.entries.size(), 31u) << "WGS84 and at least 30 datums";
  for (const char* name : {"OSGB 1936", "European 1950", "NAD27 CONUS", "NAD83", "Tokyo",
                           "Potsdam (DHDN)", "Pulkovo 1942", "Australian Geod 1984", "GDA94",
                           "NZGD 1949", "Ireland 1965", "CH1903", "RT90", "WGS 84"}) {
    EXPECT_EQ(std::count(datum.entries.begin(), datum.entries.end(), name), 1) << name;
  }
  // Every datum can be chosen by its listed name and keeps six parameter columns.
  for (std::size_t i = 1; i < datum.entries.size(); ++i) {
    const std::string& name = datum.entries[i];
    SCOPED_TRACE(name);
    DatumState chosen = datum;
    SelectDatum(chosen, name, kFolder + kDatumFileName, ui);
    ShowDatum(chosen, name);
    EXPECT_EQ(chosen.selected, static_cast<int>(i));
    ASSERT_GT(chosen.line.size(), 26u);
    std::istringstream parameters(chosen.line.substr(26));
    std::string ellipsoid;
    double values[5];
    parameters >> ellipsoid >> values[0] >> values[1] >> values[2] >> values[3] >> values[4];
    EXPECT_FALSE(parameters.fail()) << chosen.line;
    EXPECT_GT(values[0], 6377000.0) << "semi-major axis";
    EXPECT_LT(values[0], 6379000.0) << "semi-major axis";
    EXPECT_GT(values[1], 290.0) << "inverse flattening";
    EXPECT_LT(values[1], 302.0) << "inverse flattening";
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST(BundledLists, EveryListedGridCanBeSelected) {
  ScriptedUi ui;
  GridState grid;
  SetGridFiles(grid, kFolder);
  ReadGridList(grid, "XXX", ui);
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_GE(grid.entries.size(), 13u) << "Lat/Long and at least 12 grids";
  DatumState box;
  ReadDatumList(box, kFolder + kDatumFileName, ui);
  const std::vector<std::string> datumLines = FileLines(kFolder + kDatumFileName);

  int withOwnDatum = 0;
  for (std::size_t i = 1; i < grid.entries.size(); ++i) {
    const std::string& name = grid.entries[i];
    SCOPED_TRACE(name);
    GridState chosen = grid;
    DatumState datum = box;
    SelectGrid(chosen, datum, name, true, "XXX", ui);
    ASSERT_TRUE(ui.messages.empty()) << ui.messages.front();
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    EXPECT_EQ(chosen.name, upper);
    EXPECT_TRUE(chosen.zoneWidth == 0 || chosen.zoneWidth == 2 || chosen.zoneWidth == 3);
    EXPECT_GE(chosen.eastingDigits, 6);
    EXPECT_LE(chosen.eastingDigits, 7);
    EXPECT_GE(chosen.northingDigits, 6);
    EXPECT_LE(chosen.northingDigits, 7);
    EXPECT_EQ(chosen.defaultZoneVisible, chosen.zoneWidth != 0);
    if (datum.line != kBuiltinWgs84Line) {
      ++withOwnDatum;
      // A grid's datum is one of the list's, written the same way.
      EXPECT_NE(std::find(datumLines.begin(), datumLines.end(), datum.line), datumLines.end())
          << datum.line;
      EXPECT_NE(datum.selected, 0);
      EXPECT_EQ(datum.name, [&] {
        std::string listed = datum.entries[datum.selected];
        std::transform(listed.begin(), listed.end(), listed.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return listed;
      }());
    }
  }
  EXPECT_GE(withOwnDatum, 10);
}

TEST(BundledLists, UtmAndTheBritishGrids) {
  struct Row {
    std::string name;
    std::string switches;
    GridLayout layout;
    const char* reason;
  };
  const std::vector<Row> rows = {
      {"UTM", "---", {3, 6, 7}, "UTM is a base grid with 3-character zones"},
      {"British National Grid", "---", {0, 6, 7}, "a base grid"},
      {"British National Grid OSTN02", "XXX", {0, 6, 7}, "the OSTN02 variant"},
      {"Swedish Grid RT90", "X--", {0, 7, 7}, "a world grid"},
      {"SPC Vermont NAD83", "-X-", {0, 6, 6}, "a USA grid"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    ScriptedUi ui;
    GridState grid;
    DatumState datum;
    SetGridFiles(grid, kFolder);
    SelectGrid(grid, datum, row.name, false, row.switches, ui);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(grid.zoneWidth, row.layout.zoneWidth);
    EXPECT_EQ(grid.eastingDigits, row.layout.eastingDigits);
    EXPECT_EQ(grid.northingDigits, row.layout.northingDigits);
  }
}

}  // namespace
}  // namespace zevi
