#include "geodesy/datums.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geodesy/list_files.h"
#include "support/scripted_ui.h"

namespace zevi {
namespace {

using testing::DatumLine;
using testing::ListFolder;
using testing::ScriptedUi;

const std::string kOsgb = DatumLine("OSGB 1936", "Airy1830 6377563.396 299.3249646 375 -111 431");
const std::string kOsgbAgain = DatumLine("OSGB 1936", "second line of the same name");
const std::string kWgs84 = DatumLine("WGS 84", "WGS84 6378137 298.257223563 0 0 0");
const std::string kHidden = "  " + DatumLine("Hidden Datum", "Intl1924 6378388 297 -87 -98 -121");
const std::string kTokyo = DatumLine("tokyo", "Bessel1841 6377397.155 299.1528128 -148 507 685");
const std::string kStarting = "M E  starting line";

std::string DatumFile() {
  return "# our datums\r\n" + kOsgb + "\r\n" + kHidden + "\r\n" + "X E Not A Datum\r\n" + kWgs84 +
         "\n" + kTokyo + "\r" + kOsgbAgain + "\n" + "M\n";
}

TEST(DatumList, ListsTrimmedNamesAfterTheBuiltInEntry) {
  ListFolder folder;
  ScriptedUi ui;
  DatumState datum;
  datum.entries = {"stale", "entries"};
  datum.selected = 1;
  ReadDatumList(datum, folder.Write("datums.txt", DatumFile()), ui);
  // The hidden line is listed (the list trims), the "M" line alone lists an empty name.
  const std::vector<std::string> expected{
      "WGS84", "OSGB 1936", "Hidden Datum", "WGS 84", "tokyo", "OSGB 1936", ""};
  EXPECT_EQ(datum.entries, expected);
  EXPECT_EQ(datum.selected, 0);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(datum.line, kBuiltinWgs84Line) << "listing chooses no datum";
  EXPECT_EQ(datum.name, "");
}

TEST(DatumList, SelectsLinesAsReadByCaseInsensitiveName) {
  struct Row {
    std::string name;
    std::string line;
    std::string datumName;
    const char* reason;
  };
  const std::vector<Row> rows = {
      {"WGS84", kBuiltinWgs84Line, "", "the first entry is the built-in line"},
      {"", kBuiltinWgs84Line, "", "no name is the built-in line"},
      {"wgs84", kStarting, "PREVIOUS", "only exactly WGS84 is the first entry"},
      {"WGS 84", kWgs84, "WGS 84", "the file's WGS 84 is its own line"},
      {"osgb 1936", kOsgb, "OSGB 1936", "case does not matter; the first of two wins"},
      {"TOKYO", kTokyo, "TOKYO", "a lower-case name in the file"},
      {"Hidden Datum", kStarting, "PREVIOUS", "a line with leading blanks is never selected"},
      {"Nowhere", kStarting, "PREVIOUS", "an unknown name changes nothing"},
      {" OSGB 1936", kStarting, "PREVIOUS", "the wanted name is not trimmed"},
  };
  ListFolder folder;
  const std::string path = folder.Write("datums.txt", DatumFile());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    ScriptedUi ui;
    DatumState datum;
    datum.line = kStarting;
    datum.name = "PREVIOUS";
    SelectDatum(datum, row.name, path, ui);
    EXPECT_EQ(datum.line, row.line);
    EXPECT_EQ(datum.name, row.datumName);
    EXPECT_TRUE(ui.messages.empty());
  }
}

TEST(DatumList, ShowSelectsTheFirstEntryOfTheName) {
  struct Row {
    std::string name;
    int selected;
    std::string datumName;
    const char* reason;
  };
  const std::vector<Row> rows = {
      {"osgb 1936", 1, "OSGB 1936", "case does not matter, first of two"},
      {"WGS 84", 3, "WGS 84", "the file's WGS 84, not the first entry"},
      {"wgs84", 0, "WGS84", "the first entry by its own text"},
      {"Nowhere", 4, "PREVIOUS", "no match changes nothing"},
      {"", 4, "PREVIOUS", "an empty name does not land on a blank entry"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    DatumState datum;
    datum.entries = {"WGS84", "OSGB 1936", "Tokyo", "WGS 84", "Hidden", "OSGB 1936", ""};
    datum.selected = 4;
    datum.name = "PREVIOUS";
    datum.line = kStarting;
    ShowDatum(datum, row.name);
    EXPECT_EQ(datum.selected, row.selected);
    EXPECT_EQ(datum.name, row.datumName);
    EXPECT_EQ(datum.line, kStarting) << "showing never changes the line";
  }
}

TEST(DatumList, MissingFileIsReportedOnListAndOnEachNamedSelect) {
  ListFolder folder;
  const std::string path = folder.File("datums.txt");
  ScriptedUi ui;
  DatumState datum;
  ReadDatumList(datum, path, ui);
  EXPECT_EQ(datum.entries, std::vector<std::string>{"WGS84"});

  SelectDatum(datum, "OSGB 1936", path, ui);
  EXPECT_EQ(datum.line, kBuiltinWgs84Line);
  EXPECT_EQ(datum.name, "");

  datum.line = kStarting;
  SelectDatum(datum, "WGS84", path, ui);
  EXPECT_EQ(datum.line, kBuiltinWgs84Line) << "the first entry still works";
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{"Datum File does not exist\r\n" + path,
                                      "Datum File does not exist\r\n" + path}));
}

// A settings file stores "WGS 84" for the first entry; applying it selects
// the file's own line when there is one, and leaves everything otherwise.
TEST(DatumList, AppliedWgs84SettingWithAndWithoutAFileLine) {
  ListFolder folder;
  const std::string with = folder.Write("with.txt", DatumFile());
  const std::string without = folder.Write("without.txt", kOsgb + "\n");
  ScriptedUi ui;

  DatumState datum;
  ReadDatumList(datum, with, ui);
  SelectDatum(datum, "WGS 84", with, ui);
  ShowDatum(datum, "WGS 84");
  EXPECT_EQ(datum.line, kWgs84);
  EXPECT_EQ(datum.selected, 3);

  DatumState fresh;
  ReadDatumList(fresh, without, ui);
  SelectDatum(fresh, "WGS 84", without, ui);
  ShowDatum(fresh, "WGS 84");
  EXPECT_EQ(fresh.line, kBuiltinWgs84Line) << "the starting line stays, never an empty one";
  EXPECT_EQ(fresh.name, "");
  EXPECT_EQ(fresh.selected, 0);
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace zevi
