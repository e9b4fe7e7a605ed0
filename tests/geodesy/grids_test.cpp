#include "geodesy/grids.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geodesy/datums.h"
#include "geodesy/list_files.h"
#include "support/scripted_ui.h"
#include "values/failures.h"

namespace zevi {
namespace {

using testing::DatumLine;
using testing::ListFolder;
using testing::ScriptedUi;

// Fields 1-8 as our files write them, then zone width, easting and northing digits.
std::string ParameterLine(const std::string& layout) {
  return "P   TM 49 -2 0.9996012717 400000 -100000 M 0 " + layout;
}

const std::string kOsgb = DatumLine("OSGB 1936", "Airy1830 6377563.396 299.3249646 375 -111 431");
const std::string kFar = DatumLine("Far Datum", "Intl1924 6378388 297 1 2 3");
const std::string kStarting = "M E  starting line";
const std::string kLongName(99, 'L');

std::string Lines(const std::vector<std::string>& lines, const std::string& end = "\n") {
  std::string text;
  for (const auto& line : lines) text += line + end;
  return text;
}

// Four grid files in one folder, as the program folder holds them.
struct GridFolder {
  ListFolder folder;
  GridState grid;

  explicit GridFolder(bool withOptional = true) {
    folder.Write("basegrids.txt",
                 Lines({"# base grids", "U UTM", ParameterLine("3 6 7"), "", "U  Flat Grid ",
                        ParameterLine("0 6 7"), "  U Hidden Grid", ParameterLine("0 5 5"),
                        "U Home Grid", kOsgb, ParameterLine("0 6 7"), "U Far Grid", kFar,
                        ParameterLine("0 7 7"), "U Bad Digits", ParameterLine("3 x 7"),
                        "U Wide Zone", kOsgb, ParameterLine("3 6 128")},
                       "\r\n"));
    if (withOptional) {
      folder.Write("worldgrids.txt", Lines({"U Twice", ParameterLine("1 5 6"), "U World Grid",
                                            ParameterLine("2 6 7")}));
      folder.Write("usagrids.txt",
                   Lines({"U twice", ParameterLine("4 8 8"), "U Usa Grid", ParameterLine("0 6 6"),
                          "U" + kLongName + "CUT", ParameterLine("0 5 5")}));
      folder.Write("ostn02grids.txt",
                   Lines({"U Ostn Grid", ParameterLine("0 6 7"), "U Cut Short", kOsgb}));
    }
    SetGridFiles(grid, folder.Path());
  }
};

GridState StartingGrid(const GridState& files) {
  GridState grid = files;
  grid.name = "PREVIOUS";
  grid.zoneWidth = 4;
  grid.eastingDigits = 5;
  grid.northingDigits = 5;
  grid.defaultZoneVisible = true;
  return grid;
}

TEST(GridList, ParameterLineFieldsNineToEleven) {
  struct Row {
    std::string line;
    GridLayout layout;
    std::string failure;  // empty: reads
    const char* reason;
  };
  const std::vector<Row> rows = {
      {ParameterLine("3 6 7"), {3, 6, 7}, "", "our layout"},
      {ParameterLine("3 6 7 99 extra"), {3, 6, 7}, "", "fields after 11 are ignored"},
      {"1 2 a b c d e f g h 4 5 6", {4, 5, 6}, "", "the first four characters are skipped"},
      {"P      a  b   c d e f g h    -128   127 0", {-128, 127, 0}, "", "runs of blanks split"},
      {ParameterLine("3 6.5 7"), {}, "'6.5' is not a valid integer value", "not whole"},
      {ParameterLine("x 6 7"), {}, "'x' is not a valid integer value", "not a number"},
      {ParameterLine("3 6"), {}, "'' is not a valid integer value", "field 11 missing"},
      {"", {}, "'' is not a valid integer value", "no parameter line at all"},
      {ParameterLine("128 6 7"), {}, "Range check error", "above 127"},
      {ParameterLine("3 6 -129"), {}, "Range check error", "below -128"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    try {
      const GridLayout layout = ReadGridLayout(row.line);
      EXPECT_EQ(row.failure, "") << "read although it should fail";
      EXPECT_EQ(layout.zoneWidth, row.layout.zoneWidth);
      EXPECT_EQ(layout.eastingDigits, row.layout.eastingDigits);
      EXPECT_EQ(layout.northingDigits, row.layout.northingDigits);
    } catch (const EConvertError& failure) {
      EXPECT_EQ(failure.what(), row.failure);
    } catch (const ERangeError& failure) {
      EXPECT_EQ(failure.what(), row.failure);
    }
  }
}

TEST(GridList, BoxFollowsTheSwitches) {
  const std::vector<std::string> base{"Lat/Long",  "UTM",      "Flat Grid",  "Hidden Grid",
                                      "Home Grid", "Far Grid", "Bad Digits", "Wide Zone"};
  const std::vector<std::string> world{"Twice", "World Grid"};
  const std::vector<std::string> usa{"twice", "Usa Grid", kLongName};
  const std::vector<std::string> ostn{"Ostn Grid", "Cut Short"};
  auto join = [](std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  struct Row {
    std::string switches;
    std::vector<std::string> entries;
    const char* reason;
  };
  const std::vector<Row> rows = {
      {"XX-", join({base, world, usa}), "the default"},
      {"XXX", join({base, world, usa, ostn}), "OSTN02 on appends its grids"},
      {"---", base, "all off: base only"},
      {"-X-", join({base, usa}), "USA only"},
      {"--a", join({base, ostn}), "any character but '-' is on"},
      {"", join({base, world, usa, ostn}), "a missing switch counts on"},
  };
  GridFolder files;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    ScriptedUi ui;
    GridState grid = StartingGrid(files.grid);
    grid.selected = 3;
    ReadGridList(grid, row.switches, ui);
    EXPECT_EQ(grid.entries, row.entries);
    EXPECT_EQ(grid.selected, 0);
    EXPECT_EQ(grid.name, "PREVIOUS") << "the list does not change the grid";
    EXPECT_TRUE(ui.messages.empty());
  }
}

TEST(GridList, MissingFilesAreNamedAndContributeNothing) {
  GridFolder files(false);
  ScriptedUi ui;
  ReadGridList(files.grid, "X-X", ui);
  EXPECT_EQ(files.grid.entries.size(), 8u);
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{
                "Grid File:" + files.folder.File("worldgrids.txt") + " does not exist",
                "Grid File:" + files.folder.File("ostn02grids.txt") + " does not exist"}));
}

TEST(GridList, SelectLooksUpNameAndLayout) {
  struct Row {
    std::string name;
    std::string switches;
    std::string gridName;
    GridLayout layout;
    bool zoneVisible;
    std::string message;
    const char* reason;
  };
  const GridLayout kept{4, 5, 5};
  const std::vector<Row> rows = {
      {"utm", "XX-", "UTM", {3, 6, 7}, true, "", "case does not matter"},
      {"  flat grid  ", "XX-", "FLAT GRID", {0, 6, 7}, false, "", "blanks trimmed on both sides"},
      {"Twice", "XX-", "TWICE", {1, 5, 6}, true, "", "the first file in search order wins"},
      {"Twice", "-X-", "TWICE", {4, 8, 8}, true, "", "a switched-off file is not searched"},
      {"usa grid", "XX-", "USA GRID", {0, 6, 6}, false, "", "found in the third file"},
      {kLongName, "XX-", kLongName, {0, 5, 5}, false, "", "names are characters 2-100"},
      {"Hidden Grid", "XX-", "PREVIOUS", kept, true, "Unable to find grid:HIDDEN GRID",
       "a blank before U hides the name from the lookup"},
      {"Ostn Grid", "XX-", "PREVIOUS", kept, true, "Unable to find grid:OSTN GRID",
       "OSTN02 grids are off by default"},
      {"Ostn Grid", "XXX", "OSTN GRID", {0, 6, 7}, false, "", "and found when on"},
      {"Bad Digits", "XX-", "PREVIOUS", kept, true, "'x' is not a valid integer value",
       "a bad field is shown, the grid stays"},
      {"Wide Zone", "XX-", "PREVIOUS", kept, true, "Range check error", "a field above 127"},
      {"Cut Short", "XXX", "PREVIOUS", kept, true, "'' is not a valid integer value",
       "the file ends before the parameter line"},
      {"", "XX-", "", {0, 5, 5}, false, "", "Lat/Long resets the zone width, keeps the digits"},
      {"   ", "XX-", "", {0, 5, 5}, false, "", "a blank name is Lat/Long"},
  };
  GridFolder files;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    ScriptedUi ui;
    GridState grid = StartingGrid(files.grid);
    DatumState datum;
    SelectGrid(grid, datum, row.name, false, row.switches, ui);
    EXPECT_EQ(grid.name, row.gridName);
    EXPECT_EQ(grid.zoneWidth, row.layout.zoneWidth);
    EXPECT_EQ(grid.eastingDigits, row.layout.eastingDigits);
    EXPECT_EQ(grid.northingDigits, row.layout.northingDigits);
    EXPECT_EQ(grid.defaultZoneVisible, row.zoneVisible);
    EXPECT_EQ(ui.messages, row.message.empty() ? std::vector<std::string>{}
                                               : std::vector<std::string>{row.message});
  }
}

TEST(GridList, GridsOwnDatum) {
  struct Row {
    std::string grid;
    bool takeDatum;
    std::string startName;
    std::string line;
    std::string datumName;
    int selected;
    const char* reason;
  };
  const std::vector<Row> rows = {
      {"Home Grid", true, "", kOsgb, "OSGB 1936", 2, "auto-datum takes the grid's line"},
      {"Home Grid", true, "TOKYO", kOsgb, "OSGB 1936", 2, "over another named datum"},
      {"Home Grid", false, "", kStarting, "", 1, "auto-datum off"},
      {"Home Grid", true, "OSGB 1936", kStarting, "OSGB 1936", 1, "the same datum is kept"},
      {"Far Grid", true, "", kFar, "FAR DATUM", 1, "a datum the box lacks: line and name"},
      {"Flat Grid", true, "", kStarting, "", 1, "a grid without a datum line"},
      {"Wide Zone", true, "", kStarting, "", 1, "a failing entry takes no datum"},
  };
  GridFolder files;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    ScriptedUi ui;
    GridState grid = files.grid;
    DatumState datum;
    datum.entries = {"WGS84", "Tokyo", "osgb 1936"};
    datum.selected = 1;
    datum.name = row.startName;
    datum.line = kStarting;
    SelectGrid(grid, datum, row.grid, row.takeDatum, "XX-", ui);
    EXPECT_EQ(datum.line, row.line);
    EXPECT_EQ(datum.name, row.datumName);
    EXPECT_EQ(datum.selected, row.selected);
  }
}

TEST(GridList, LookupFailurePropagatesFromFindGridEntryWithoutChanges) {
  GridFolder files;
  ScriptedUi ui;
  GridState grid = StartingGrid(files.grid);
  DatumState datum;
  datum.line = kStarting;
  try {
    FindGridEntry(grid, datum, files.folder.File("basegrids.txt"), "WIDE ZONE", true, ui);
    ADD_FAILURE() << "a field above 127 must throw";
  } catch (const ERangeError& failure) {
    EXPECT_STREQ(failure.what(), "Range check error");
  }
  EXPECT_EQ(grid.name, "PREVIOUS");
  EXPECT_EQ(grid.zoneWidth, 4);
  EXPECT_EQ(datum.line, kStarting);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(GridList, LookupGoesOnPastMissingFiles) {
  GridFolder files(false);
  std::filesystem::rename(files.folder.File("basegrids.txt"), files.folder.File("worldgrids.txt"));
  ScriptedUi ui;
  DatumState datum;
  SelectGrid(files.grid, datum, "utm", false, "XXX", ui);
  EXPECT_EQ(files.grid.name, "UTM");
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{"Grid File:" + files.folder.File("basegrids.txt") +
                                      " does not exist"}));

  ui.messages.clear();
  SelectGrid(files.grid, datum, "nothing", false, "--X", ui);
  EXPECT_EQ(files.grid.name, "UTM");
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{
                "Grid File:" + files.folder.File("basegrids.txt") + " does not exist",
                "Grid File:" + files.folder.File("ostn02grids.txt") + " does not exist",
                "Unable to find grid:NOTHING"}));
}

TEST(GridList, ShowGridSelectsTheMatchingEntry) {
  struct Row {
    std::string name;
    int selected;
    const char* reason;
  };
  const std::vector<Row> rows = {
      {"flat grid", 2, "case does not matter"},  {" UTM ", 1, "blanks at the ends do not matter"},
      {"twice", 3, "the first of two"},          {"", 0, "empty is Lat/Long"},
      {"Nowhere", 5, "no match leaves the box"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    GridState grid;
    grid.entries = {"Lat/Long", "UTM", "Flat Grid", "Twice", "twice", "Usa Grid"};
    grid.selected = 5;
    ShowGrid(grid, row.name);
    EXPECT_EQ(grid.selected, row.selected);
  }
}

TEST(GridList, GridFileMenuFlipsOneSwitch) {
  struct Row {
    std::string switches;
    int index;
    std::string flipped;
  };
  const std::vector<Row> rows = {
      {"XX-", 2, "XXX"}, {"XX-", 0, "-X-"}, {"XaX", 1, "X-X"}, {"", 2, "XX-"}, {"-", 1, "--"},
  };
  for (Row row : rows) {
    SCOPED_TRACE(row.switches + " switch " + std::to_string(row.index));
    ToggleGridFile(row.switches, row.index);
    EXPECT_EQ(row.switches, row.flipped);
  }
}

}  // namespace
}  // namespace zevi
