// Suggested column kinds: heading words, what the values read as, the
// duplicate rules, applying through the Fields menu's assignment, and the
// Columns value zevi-convert prints.
#include "export/suggest.h"

#include <gtest/gtest.h>


#include "export/export_fixture.h"
#include "source/kinds.h"
#include "source/loader.h"

namespace zevi::testing {
namespace {

class SuggestTest : public ExportTest {
 protected:
  // Every column ignored, one row per line of the file.
  void Table(const Rows& rows) {
    std::vector<const char*> codes(rows.front().size(), "__");
    Columns(codes);
    Fill(rows);
  }

  std::vector<std::string> Codes(const KindSuggestion& suggestion) {
    std::vector<std::string> codes;
    for (const ColumnSuggestion& column : suggestion.columns) codes.push_back(column.code);
    return codes;
  }

  std::vector<std::string> Lines(const KindSuggestion& suggestion) {
    std::vector<std::string> lines;
    for (const ColumnSuggestion& column : suggestion.columns) lines.push_back(SuggestionLine(state, column));
    return lines;
  }
};

TEST_F(SuggestTest, HeadingRowOfTheExampleTrack) {
  state.settings.mode = 'T';
  LoadSourceFile(state, ui, std::string(ZEVI_DATA_DIR) + "/examples/ridge-track.csv");
  ASSERT_TRUE(ui.messages.empty());
  KindSuggestion suggestion = SuggestKinds(state);
  EXPECT_TRUE(suggestion.headingRow);
  EXPECT_EQ(Lines(suggestion),
            (std::vector<std::string>{
                "A: Date(DMY)  Time - heading \"Time\"; values read as dates with times, as "
                "\"14/06/2023 09:12:00\"",
                "B: Lat (DD.dd) - heading \"Latitude\"; values read as DD.dddddd, 54.5271 to 54.5446",
                "C: Long(DDD.dd) - heading \"Longitude\"; values read as DD.dddddd, -3.0163 to -2.9510",
                "D: Alt(metres) - heading \"Elevation\"",
            }));
  EXPECT_EQ(suggestion.note,
            "The first line holds headings and lies in the record range, so the export would fail "
            "on it: make record 2 the first record.");
  EXPECT_FALSE(state.settingsChanged) << "suggesting changes nothing";

  EXPECT_EQ(ApplySuggestion(state, ui, suggestion), 4);
  EXPECT_TRUE(state.settingsChanged);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(HeadingOfColumn(state, 2), "Lat (DD.dd)");
  EXPECT_EQ(state.kinds[Slot::DateTime], 1);
  EXPECT_EQ(state.kinds[Slot::Altitude], 4);
}

TEST_F(SuggestTest, HeadingWords) {
  struct Row {
    const char* heading;
    const char* value;
    const char* code;
  };
  const Row rows[] = {
      {"LAT", "51.50123", "KD"},        {"Latitude (deg)", "51 30.500", "KM"},
      {"lng", "-0.12345", "LD"},        {"Long", "00007.5000", "LN"},
      {"platform", "7", "__"},          {"Alt(ft)", "115", "HF"},
      {"ele", "115", "HM"},             {"Height", "", "HM"},
      {"date time", "", "DB"},          {"DateTime", "", "DB"},
      {"Date", "31.12.2003", "DD"},     {"date", "31/12/2003 13:45:10", "DB"},
      {"time", "13:45", "DT"},          {"Ident", "HOME", "I_"},
      {"desc", "Front door", "C1"},     {"SYM", "Flag", "S_"},
      {"easting", "1", "E_"},           {"Northing", "1", "N_"},
      {"zone", "30U", "Z_"},            {"Depth", "3.5", "AD"},
      {"elevations", "115", "__"},      {"Lat N/S", "N", "Kh"},
      {"Altitude", "115", "HM"},        {"Description", "Gate", "C1"},
      {"timestamp", "", "DB"},
  };
  for (const Row& row : rows) {
    Table({{row.heading, "comment"}, {row.value, "7"}});
    KindSuggestion suggestion = SuggestKinds(state);
    EXPECT_EQ(suggestion.columns[0].code, row.code) << row.heading << " / " << row.value << ": "
                                                    << suggestion.columns[0].reason;
  }
}

TEST_F(SuggestTest, NoHeadingRow) {
  state.settings.mode = 'T';
  Table({{"WP1", "51.501234", "-0.123456", "35", "31/12/2003", "13:45:10", "36526.5"},
         {"WP2", "51.502345", "-0.124567", "36", "31/12/2003", "13:45:15", "36526.75"}});
  KindSuggestion suggestion = SuggestKinds(state);
  EXPECT_FALSE(suggestion.headingRow);
  EXPECT_TRUE(suggestion.note.empty());
  EXPECT_EQ(Lines(suggestion),
            (std::vector<std::string>{
                "A: Ignore - the values read as no kind",
                "B: Lat (DD.dd) - values read as DD.dddddd, 51.5012 to 51.5023; within 90 and first: "
                "latitude",
                "C: Long(DDD.dd) - values read as DD.dddddd, -0.1246 to -0.1235; longitude",
                "D: Ignore - the values read as no kind",
                "E: Date(DMY) - values read as dates, as \"31/12/2003\"",
                "F: Time - values read as times, as \"13:45:10\"",
                "G: Days from 1/1/1900 - numbers read as days from 1/1/1900, 01/01/00 to 01/01/00",
            }));
}

TEST_F(SuggestTest, IsoTimestampsAreDatesWithTimes) {
  state.settings.mode = 'T';
  Table({{"2024-03-15T13:00:02.123Z", "51.501234"}, {"2024-03-15T13:00:03+01:00", "51.502345"}});
  EXPECT_EQ(Lines(SuggestKinds(state))[0],
            "A: Date(DMY)  Time - values read as dates with times, as \"2024-03-15T13:00:02.123Z\"; "
            "yyyy-mm-dd dates need the date order Y/M/D");
}

TEST_F(SuggestTest, MixedNotationsAndHemispheres) {
  struct Case {
    const char* name;
    Rows rows;
    std::vector<std::string> codes;
  };
  const Case cases[] = {
      {"NMEA with letter columns",
       {{"5130.2500", "N", "00007.5000", "W"}, {"5130.2600", "N", "00007.6000", "W"}},
       {"KN", "Kh", "LN", "Lh"}},
      {"longitude first, told by its range",
       {{"151.2093", "-33.8688"}, {"151.2094", "-33.8689"}},
       {"LD", "KD"}},
      {"letters decide, even against the order",
       {{"0.1234E", "51.5012N"}, {"0.1235E", "51.5013N"}},
       {"LD", "KD"}},
      {"degrees and minutes beside decimal degrees",
       {{"51 30.500", "-0.123456"}, {"51\xB0" "30.600'", "-0.123567"}},
       {"KM", "LD"}},
      {"degrees, minutes and seconds",
       {{"51 30 15.2", "0 7 30.1W"}, {"51\xB0" "30'16.2\"", "0\xB0" "7'31.0\"W"}},
       {"KS", "LS"}},
      {"a stray value among many",
       {{"51.50001"}, {"51.50002"}, {"51.50003"}, {"51.50004"}, {"51.50005"}, {"51.50006"},
        {"51.50007"}, {"51.50008"}, {"51.50009"}, {"51.50010"}, {"51.50011"}, {"51.50012"},
        {"51.50013"}, {"51.50014"}, {"51.50015"}, {"51.50016"}, {"51.50017"}, {"51.50018"},
        {"51.50019"}, {"51.50020"}, {"n/a"}},
       {"KD"}},
      {"few decimals are no coordinates", {{"12.5", "1013.2"}, {"12.7", "1013.1"}}, {"__", "__"}},
      {"Garmin and seconds counts",
       {{"GARMIN 249F49F5 FFE93E94 A420C0000 B001A", "441763200"},
        {"249F49F6 FFE93E95", "441763205"}},
       {"OX", "DS"}},
  };
  for (const Case& c : cases) {
    Table(c.rows);
    KindSuggestion suggestion = SuggestKinds(state);
    EXPECT_EQ(Codes(suggestion), c.codes) << c.name << "\n" << ::testing::PrintToString(Lines(suggestion));
  }
}

TEST_F(SuggestTest, DecimalComma) {
  Table({{"Breite", "L\xE4nge", "H\xF6he"}, {"51,501234", "-0,123456", "35,5"}, {"51,502345", "-0,124567", "36"}});
  state.settings.decimalSeparator = ',';
  KindSuggestion suggestion = SuggestKinds(state);
  EXPECT_TRUE(suggestion.headingRow) << "no heading word, but numbers below";
  EXPECT_EQ(Codes(suggestion), (std::vector<std::string>{"KD", "LD", "__"}));

  state.settings.decimalSeparator = '.';
  suggestion = SuggestKinds(state);
  EXPECT_EQ(Codes(suggestion), (std::vector<std::string>{"KD", "LD", "__"}));
  EXPECT_EQ(suggestion.columns[0].reason,
            "values read as DD.dddddd, 51.5012 to 51.5023; the numbers have a decimal comma: choose "
            "the decimal separator \",\"; within 90 and first: latitude");
}

TEST_F(SuggestTest, GridFile) {
  ChooseGrid("UTM", 3, 6, 7);
  Table({{"30U", "512345", "5712345", "30U 512345 5712345", "12345"},
         {"30U", "512400.5", "5712400", "30U 512400 5712400", "12346"}});
  KindSuggestion suggestion = SuggestKinds(state);
  EXPECT_EQ(Lines(suggestion),
            (std::vector<std::string>{
                "A: Zone - zones, as \"30U\"",
                "B: Easting - numbers of 6 digits, as the grid's eastings",
                "C: Northing - numbers of 7 digits, as the grid's northings",
                "D: Grid(Zn E/N) - cells read as zone, easting and northing",
                "E: Ignore - the values read as no kind",
            }));

  ChooseGrid("OSGB", 2, 6, 6);
  Table({{"TQ", "530123", "180456"}, {"TQ", "530200", "180500"}});
  EXPECT_EQ(Codes(SuggestKinds(state)), (std::vector<std::string>{"Z_", "E_", "N_"}))
      << "equal digit counts: easting first";
}

TEST_F(SuggestTest, DuplicateRules) {
  Table({{"id", "name", "lat", "lat", "note", "temp", "x"},
         {"A", "B", "51.50123", "51.50123", "n", "12.5", "-0.12345"}});
  state.settings.columns.entries[7].code = "LD";  // assigned by the user
  RebuildKindColumns(state.settings.columns, state.columnCount, state.kinds);
  KindSuggestion suggestion = SuggestKinds(state);
  EXPECT_EQ(Lines(suggestion),
            (std::vector<std::string>{
                "A: ID - heading \"id\"",
                "B: Ignore - heading \"name\"; but column A is ID already",
                "C: Lat (DD.dd) - heading \"lat\"; values read as DD.dddddd, 51.5012 to 51.5012",
                "D: Ignore - heading \"lat\"; values read as DD.dddddd, 51.5012 to 51.5012; but column C "
                "is Lat (DD.dd) already",
                "E: Comment-1 - heading \"note\"",
                "F: Ignore - heading \"temp\" names Temperature data, but the aux kind is Depth",
                "G: Long(DDD.dd) - assigned already",
            }));
  EXPECT_EQ(SuggestedColumnsValue(state, suggestion),
            "I_/100,__/80,KD/80,__/80,C1/80,__/80,LD/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,"
            "__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80");
  EXPECT_EQ(ApplySuggestion(state, ui, suggestion), 3);
  EXPECT_TRUE(ui.messages.empty()) << "no refusal";
}

TEST_F(SuggestTest, ApplyingKeepsTheAssignmentRules) {
  Table({{"lat", "lon"}, {"51.50123", "-0.12345"}});
  KindSuggestion suggestion = SuggestKinds(state);
  // The user assigns a latitude elsewhere after the suggestion was shown.
  state.columnCount = 4;
  ASSERT_TRUE(AssignColumnKind(state, ui, "KM", 3));
  EXPECT_EQ(ApplySuggestion(state, ui, suggestion), 1);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"'Lat (DD.dd) already exists !\r\nColumn C holds it"});
}

TEST_F(SuggestTest, NothingLoadedAndWideTextFiles) {
  AppState empty;
  KindSuggestion suggestion = SuggestKinds(empty);
  EXPECT_FALSE(ProposesAnything(suggestion));
  ASSERT_FALSE(suggestion.columns.empty());
  EXPECT_EQ(suggestion.columns[0].reason, "no values in the record range");

  // 26 columns of words over 100000 records: nothing to propose.
  Rows rows(100000, std::vector<std::string>(26, "words, not values"));
  Table(rows);
  suggestion = SuggestKinds(state);
  EXPECT_FALSE(ProposesAnything(suggestion));
}

TEST_F(SuggestTest, SeparatorsThatCutTheLinesPlainly) {
  const std::string semicolonNote =
      "The values are separated by ';': choose Settings > List Separator > \"Semicolon (;)\" "
      "(Separators=;.: in a settings file).";
  const std::string decimalCommaNote =
      "The values are separated by ';' and the numbers have decimal commas: choose Settings > "
      "Decimal Separator > \"comma (,)\", which makes ';' the list separator too (Separators=;,: in a "
      "settings file).";
  const std::string commaNote =
      "The values are separated by ',': choose Settings > List Separator > \"comma (,)\" and Decimal "
      "Separator > \"point (.)\" (Separators=,.: in a settings file).";
  const struct {
    const char* text;
    const char* separators;  // list, decimal, user
    std::string note;
  } rows[] = {
      {"Name;Lat;Lon\nA;51.5;-1.2\nB;51.6;-1.3\n", ",.:", semicolonNote},
      // A comma in every number would cut as evenly: the semicolons still win.
      {"K\xF6ln;50,941;6,958\nBonn;50,733;7,098\n", ",.:", decimalCommaNote},
      {"A,51.5,-1.2\nB,51.6,-1.3\n", ";,:", commaNote},
      {"A;51.5;-1.2\nB;51.6;-1.3\n", ";.:", ""},
      // A semicolon in every comment, fewer than the commas: the commas cut.
      {"A,51.5,-1.2,dry; windy\nB,51.6,-1.3,wet; calm\n", ",.:", ""},
      // Semicolons inside quotes do not cut.
      {"\"A;1\";51.5\n\"B;2\";51.6\n", ";.:", ""},
      // Uneven semicolons: some names hold one.
      {"A;x,51.5,-1.2\nB,51.6,-1.3\nC,51.7,-1.4\n", ",.:", ""},
      // Tabs are found by the load itself.
      {"A\t51.5\t-1.2\nB\t51.6\t-1.3\n", ";.:", ""},
  };
  for (const auto& row : rows) {
    WriteFile(Path("sample.txt"), row.text);
    state.settings.listSeparator = row.separators[0];
    state.settings.decimalSeparator = row.separators[1];
    state.settings.userSeparator = row.separators[2];
    LoadSourceFile(state, ui, Path("sample.txt"));
    EXPECT_EQ(SuggestKinds(state).separators, row.note) << row.text << " with " << row.separators;
  }

  // Lines cut at column breaks are none of the list separator's business.
  WriteFile(Path("sample.txt"), "A;51.5;-1.2\nB;51.6;-1.3\n");
  state.settings.listSeparator = ',';
  state.settings.breaks[0] = {4, '^'};
  LoadSourceFile(state, ui, Path("sample.txt"));
  EXPECT_EQ(SuggestKinds(state).separators, "");
}

}  // namespace
}  // namespace zevi::testing
