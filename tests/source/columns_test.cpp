#include "source/columns.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "source/kinds.h"
#include "source/loader.h"
#include "source_fixture.h"

namespace zevi {
namespace {

using testing::SourceTest;

TEST(ColumnHeading, EveryRuleAndFallback) {
  struct Case {
    std::string code;
    int column;
    char dateFormat;
    int zoneWidth;
    std::string heading;
  } cases[] = {
      {"__", 3, 'D', 0, "C: Ignore"},   {"_ ", 26, 'D', 0, "Z: Ignore"},
      {"", 1, 'D', 0, "A: Ignore"},     {"Q1", 3, 'D', 0, "Ignore"},
      {"GX", 3, 'D', 0, "Ignore"},      {"I_", 1, 'D', 0, "ID"},
      {"I2", 1, 'D', 0, "ID-2"},        {"I9", 1, 'D', 0, "ID"},
      {"Z ", 1, 'D', 0, "Zone"},        {"E_", 1, 'D', 0, "Easting"},
      {"N_", 1, 'D', 0, "Northing"},    {"T_", 1, 'D', 0, "Track Start"},
      {"KD", 1, 'D', 0, "Lat (DD.dd)"}, {"KM", 1, 'D', 0, "Lat (D\xB0M.m)"},
      {"KS", 1, 'D', 0, "Lat (D\xB0M'S.s)"}, {"KN", 1, 'D', 0, "Lat (DDMM.mm)"},
      {"Km", 1, 'D', 0, "Lat (mins)"},  {"Ks", 1, 'D', 0, "Lat (secs)"},
      {"Kh", 1, 'D', 0, "N/S"},         {"KH", 1, 'D', 0, "Lat (DD.dd)"},
      {"LD", 1, 'D', 0, "Long(DDD.dd)"}, {"LM", 1, 'D', 0, "Long(D\xB0M.m)"},
      {"LS", 1, 'D', 0, "Long(D\xB0M'S.s)"}, {"LN", 1, 'D', 0, "Long(DDDMM.mm)"},
      {"Lm", 1, 'D', 0, "Long(mins)"},  {"Ls", 1, 'D', 0, "Long(secs)"},
      {"Lh", 1, 'D', 0, "E/W"},         {"L?", 1, 'D', 0, "Long(DDD.dd)"},
      {"HM", 1, 'D', 0, "Alt(metres)"}, {"HD", 1, 'D', 0, "Alt(dmtrs)"},
      {"HF", 1, 'D', 0, "Alt(feet)"},   {"Hx", 1, 'D', 0, "Alt(metres)"},
      {"DB", 1, 'Y', 0, "Date(YMD)  Time"}, {"D?", 1, 'M', 0, "Date(MDY)  Time"},
      {"DD", 1, 'X', 0, "Date(DMY)"},   {"DT", 1, 'D', 0, "Time"},
      {"DA", 1, 'D', 0, "Day"},         {"DM", 1, 'D', 0, "Month"},
      {"DY", 1, 'D', 0, "Year"},        {"DX", 1, 'D', 0, "Days from 1/1/1900"},
      {"DS", 1, 'D', 0, "Secs from 31/12/89"}, {"S_", 1, 'D', 0, "Symbol"},
      {"S2", 1, 'D', 0, "Symbol-2"},    {"AD", 1, 'D', 0, "Depth"},
      {"AH", 1, 'D', 0, "Heartrate"},   {"AB", 1, 'D', 0, "Heading"},
      {"AT", 1, 'D', 0, "Temperature"}, {"AZ", 1, 'D', 0, "Depth"},
      {"C1", 1, 'D', 0, "Comment-1"},   {"C5", 1, 'D', 0, "Comment-5"},
      {"C6", 1, 'D', 0, "Comment-1"},   {"OG", 1, 'D', 0, "Grid(E/N)"},
      {"OG", 1, 'D', 6, "Grid(Zn E/N)"}, {"OQ", 1, 'D', 6, "Grid(Zn E/N)"},
      {"OX", 1, 'D', 6, "GARMIN(IQue Hex)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ColumnHeading(c.code, c.column, {c.dateFormat, c.zoneWidth}), c.heading)
        << "code '" << c.code << "'";
  }
}

TEST(SlotOfCode, FollowsTheHeadingFamilies) {
  struct Case {
    std::string code;
    std::optional<Slot> slot;
  } cases[] = {
      {"__", std::nullopt},     {"_X", std::nullopt},         {"Q1", std::nullopt},
      {"I2", Slot::ID},         {"OX", Slot::Grid},           {"OG", Slot::Grid},
      {"KN", Slot::Latitude},   {"Km", Slot::LatitudeMinutes}, {"Kh", Slot::LatitudeHemisphere},
      {"Ls", Slot::LongitudeSeconds}, {"L", Slot::Longitude}, {"HF", Slot::Altitude},
      {"DQ", Slot::DateTime},   {"DX", Slot::DaysCount},      {"DS", Slot::SecondsCount},
      {"AH", Slot::Aux},        {"S2", Slot::Symbol},         {"C7", Slot::Comment1},
      {"C4", Slot::Comment4},   {"T_", Slot::TrackStart},     {"Z_", Slot::Zone},
  };
  for (const Case& c : cases) EXPECT_EQ(SlotOfCode(c.code), c.slot) << "code '" << c.code << "'";
}

TEST(KindVocabulary, MenusComeInTheirOrderFromOneTable) {
  std::vector<std::string> topLevel;
  std::set<std::string> codes;
  std::vector<std::string> separatorsAfter;
  for (const KindInfo& row : KindVocabulary()) {
    EXPECT_TRUE(codes.insert(row.code).second) << "duplicate row " << row.code;
    if (row.separatorAfter) separatorsAfter.push_back(row.code);
    if (*row.menuCaption == '\0') continue;
    const std::string item = *row.menuGroup ? row.menuGroup : row.menuCaption;
    if (topLevel.empty() || topLevel.back() != item) topLevel.push_back(item);
    // Every item assigns a kind whose heading is its own, not a fallback.
    const ColumnCode code = CodeOfMenuItem(row, 'H');
    EXPECT_EQ(code.size(), 2u) << row.code;
    EXPECT_NE(ColumnHeading(code, 1, {}), "Ignore") << row.code;
  }
  EXPECT_EQ(topLevel, (std::vector<std::string>{"Ignore", "ID", "Zone", "Easting", "Northing",
                                                "Latitude", "Longitude", "Altitude", "Date/Time",
                                                "Symbol", "Aux Data", "Track Start", "Comment",
                                                "Other"}));
  EXPECT_EQ(separatorsAfter, (std::vector<std::string>{"KN", "LN"}));
}

TEST(FindKindColumn, MainNotationsCountAsOneKind) {
  ColumnMap map;
  map.entries[2].code = "KN";
  map.entries[5].code = "Kh";
  map.entries[7].code = "LS";
  map.entries[26].code = "T_";
  struct Case {
    std::string code;
    int column;
    const char* reason;
  } cases[] = {
      {"KD", 2, "KD finds the KN column"}, {"KM", 2, "KM too"},
      {"Km", kNoColumn, "minutes stay a kind of their own"}, {"Kh", 5, "hemisphere"},
      {"LD", 7, "longitude notations"}, {"KS", 2, "not the LS column"},
      {"T_", 26, "all 26 entries are searched"}, {"__", 1, "an Ignore code finds column 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(FindKindColumn(map, c.code), c.column) << c.reason;
}

TEST(RebuildKindColumns, LeftmostWinsWithinTheTable) {
  ColumnMap map;
  map.entries[1].code = "OG";
  map.entries[2].code = "HM";
  map.entries[3].code = "OX";
  map.entries[4].code = "HF";
  map.entries[5].code = "I2";
  map.entries[6].code = "KD";
  KindColumn kinds;
  RebuildKindColumns(map, 6, kinds);  // columns 1..5
  EXPECT_EQ(kinds[Slot::Grid], 1);
  EXPECT_EQ(kinds[Slot::Altitude], 2);
  EXPECT_EQ(kinds[Slot::ID], 5);
  EXPECT_FALSE(kinds.Has(Slot::Latitude)) << "column 6 lies outside the table";
  EXPECT_EQ(map.entries[3].code, "_ ");
  EXPECT_EQ(map.entries[4].code, "_ ");
  EXPECT_EQ(map.entries[6].code, "KD");
  EXPECT_EQ(kinds.altitudeUnit, 'M') << "the HF column was turned into Ignore";

  map.entries[2].code = "HF";
  RebuildKindColumns(map, 6, kinds);
  EXPECT_EQ(kinds.altitudeUnit, 'F');
}

class KindCommandTest : public SourceTest {
 protected:
  void SetUp() override {
    SourceTest::SetUp();
    LayoutTable(state, 6, 3);  // 5 data columns
  }
};

TEST_F(KindCommandTest, RefusesAKindAnotherColumnHolds) {
  state.settings.columns.entries[2].code = "KD";
  EXPECT_FALSE(AssignColumnKind(state, ui, "KM", 4));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"'Lat (D\xB0M.m) already exists !\r\nColumn B holds it"});
  EXPECT_EQ(state.settings.columns.entries[4].code, "__");
  EXPECT_FALSE(state.settingsChanged);

  EXPECT_TRUE(AssignColumnKind(state, ui, "Km", 4));
  EXPECT_EQ(state.kinds[Slot::LatitudeMinutes], 4);
  EXPECT_EQ(state.trackStartList[4], "Lat (mins)");
  EXPECT_TRUE(state.settingsChanged);

  EXPECT_TRUE(AssignColumnKind(state, ui, "KN", 2)) << "the holder itself changes notation";
  EXPECT_EQ(state.settings.columns.entries[2].code, "KN");
  EXPECT_TRUE(AssignColumnKind(state, ui, "__", 3));
  EXPECT_TRUE(AssignColumnKind(state, ui, "__", 5)) << "Ignore never fails";
  EXPECT_FALSE(AssignColumnKind(state, ui, "ID", 0)) << "the row-number column takes no kind";
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(KindCommandTest, SharedSlotIsLetInAndRebuiltToIgnore) {
  state.settings.columns.entries[1].code = "OG";
  EXPECT_TRUE(AssignColumnKind(state, ui, "OX", 3));
  EXPECT_EQ(state.settings.columns.entries[3].code, "_ ");
  EXPECT_EQ(state.kinds[Slot::Grid], 1);
  EXPECT_EQ(state.trackStartList[3], "C: Ignore");
}

TEST_F(KindCommandTest, AHolderBeyondTheTableDoesNotBlock) {
  state.settings.columns.entries[20].code = "KD";
  EXPECT_TRUE(AssignColumnKind(state, ui, "KD", 2));
  EXPECT_EQ(state.kinds[Slot::Latitude], 2);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(KindCommandTest, IgnoreAllKeepsWidths) {
  state.settings.columns.entries[2] = {"KD", 120};
  state.settings.columns.entries[22] = {"LD", 90};
  IgnoreAllColumns(state);
  for (int c = 1; c <= kMaxDataColumns; ++c) EXPECT_EQ(state.settings.columns.entries[c].code, "__");
  EXPECT_EQ(state.settings.columns.entries[2].width, 120);
  EXPECT_EQ(state.trackStartList,
            (std::vector<std::string>{"(None)", "A: Ignore", "B: Ignore", "C: Ignore",
                                      "D: Ignore", "E: Ignore"}));
  EXPECT_FALSE(state.kinds.Has(Slot::Latitude));
  EXPECT_TRUE(state.settingsChanged);
}

TEST_F(KindCommandTest, LayoutShowsHeadingsRowNumbersAndBlanks) {
  state.settings.columns.entries[1] = {"I_", 60};
  state.settings.columns.entries[2] = {"DB", 150};
  state.settings.dateFormat = 'M';
  state.table.FillRow(1, std::vector<std::string_view>{"x"});
  LayoutTable(state, 4, 10);
  EXPECT_EQ(state.columnCount, 4);
  EXPECT_EQ(state.table.RowCount(), 10);
  EXPECT_EQ(state.table.Cell(1, 1), "");
  EXPECT_FALSE(state.table.Marker(1));
  EXPECT_EQ(state.trackStartList,
            (std::vector<std::string>{"(None)", "ID", "Date(MDY)  Time", "C: Ignore"}));
  EXPECT_EQ(state.displayedWidths, (std::vector<int>{0, 60, 150, 80}));
  EXPECT_EQ(state.kinds[Slot::DateTime], 2);
}

TEST_F(KindCommandTest, AuxKindChangeRelettersAuxColumns) {
  state.settings.columns.entries[3].code = "AD";
  state.settings.columns.entries[24].code = "AT";
  state.displayedWidths[1] = 55;  // dragged, not yet taken over
  ChangeAuxKind(state, 'B');
  EXPECT_EQ(state.settings.columns.entries[3].code, "AB");
  EXPECT_EQ(state.settings.columns.entries[24].code, "AB");
  EXPECT_EQ(state.trackStartList[3], "Heading");
  EXPECT_EQ(state.displayedWidths[1], 55);
  EXPECT_TRUE(state.settingsChanged);
}

TEST_F(KindCommandTest, RefreshAllShowsTheSettingsAndReloads) {
  const std::string path = WriteFile("all.txt", "a;b;c\r\n");
  LoadSourceFile(state, ui, path);
  EXPECT_EQ(state.columnCount, 2);
  state.settings.listSeparator = ';';
  state.settings.firstRecord = 7;
  RefreshAll(state, ui);
  EXPECT_EQ(state.edits.firstRecord, "7");
  EXPECT_EQ(state.columnCount, 4);
  EXPECT_EQ(state.table.Cell(3, 1), "c");
}

}  // namespace
}  // namespace zevi
