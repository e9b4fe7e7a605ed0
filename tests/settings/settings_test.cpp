#include "settings/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "support/scripted_ui.h"

namespace zevi {
namespace {

using testing::ScriptedUi;

LocaleValues PointLocale() { return LocaleValues{}; }

LocaleValues CommaLocale() {
  LocaleValues locale;
  locale.decimalSeparator = ',';
  return locale;
}

// Every field in one line, so two settings compare as one text.
std::string Describe(const ConversionSettings& s) {
  std::string text;
  text += std::string("mode=") + s.mode + " date=" + s.dateFormat + " seps=" + s.listSeparator +
          s.decimalSeparator + s.userSeparator;
  text += " signs=" + std::to_string(s.latitudeSign) + "," + std::to_string(s.longitudeSign);
  text += " scale=" + std::to_string(s.scaleFactor) + " gridfiles=" + s.gridFiles;
  text += " prefix=" + s.wptIdPrefix + " zone=" + s.defaultZone + " text=" + s.textOption;
  text += " track=" + std::to_string(s.trackStart) + " records=" + s.firstRecordMode +
          s.lastRecordMode + std::to_string(s.firstRecord) + "-" + std::to_string(s.lastRecord);
  text += " columns=";
  for (int c = 1; c <= kMaxDataColumns; ++c)
    text += "[" + s.columns.entries[c].code + "/" + std::to_string(s.columns.entries[c].width) + "]";
  text += std::string(" aux=") + s.auxData + " datum=" + s.datum +
          " auto=" + (s.autoDatum ? "1" : "0") + " grid=" + s.grid + " breaks=";
  for (const BreakEntry& b : s.breaks)
    if (b.position != 0) text += std::to_string(b.position) + b.mark + " ";
  text += "align=" + std::to_string(s.alignment) + " symbol=" + std::to_string(s.symbolType);
  text += " encoding=" + std::string(EncodingName(s.encoding));
  return text;
}

ConversionSettings ReadText(const std::string& text, const LocaleValues& locale, ScriptedUi& ui,
                            ConversionSettings start = {}) {
  IniFile file;
  file.SetText(text);
  ReadSettings(file, start, locale, ui);
  return start;
}

TEST(ReadSettings, EmptySectionGivesEveryDefault) {
  ConversionSettings expected;
  expected.listSeparator = ',';
  expected.decimalSeparator = '.';
  ScriptedUi ui;
  // Start from settings that differ everywhere, so every default is really read.
  ConversionSettings start;
  start.mode = 'T';
  start.dateFormat = 'Y';
  start.latitudeSign = -1;
  start.scaleFactor = 5;
  start.wptIdPrefix = "X";
  start.trackStart = -1;
  start.firstRecord = 9;
  start.columns.entries[3] = {"KD", 20};
  start.datum = "OSGB 36";
  start.autoDatum = false;
  start.breaks[0] = {7, '^'};
  start.alignment = 3;
  start.symbolType = 2;
  start.encoding = SourceEncoding::Utf16;
  EXPECT_EQ(Describe(ReadText("", PointLocale(), ui, start)), Describe(expected));
  EXPECT_TRUE(ui.messages.empty());

  expected.listSeparator = ';';
  expected.decimalSeparator = ',';
  EXPECT_EQ(Describe(ReadText("[SETTINGS]\n", CommaLocale(), ui, start)), Describe(expected));
  EXPECT_EQ(ConversionSettings::DefaultColumnMap().entries[1].code, "_ ");
  EXPECT_EQ(ConversionSettings::DefaultColumnMap().entries[1].width, 100);
  EXPECT_EQ(ConversionSettings::DefaultColumnMap().entries[26].code, "__");
  EXPECT_EQ(ConversionSettings::DefaultColumnMap().entries[26].width, 80);
}

struct ReadRow {
  const char* lines;  // of the SETTINGS section
  std::function<std::string(const ConversionSettings&)> field;
  const char* expected;
  const char* reason;
};

std::string Chars(std::initializer_list<char> chars) { return std::string(chars); }

TEST(ReadSettings, ValuesReadAsTheirFields) {
  auto separators = [](const ConversionSettings& s) {
    return Chars({s.listSeparator, s.decimalSeparator, s.userSeparator});
  };
  auto signs = [](const ConversionSettings& s) {
    return std::to_string(s.latitudeSign) + " " + std::to_string(s.longitudeSign);
  };
  auto column1 = [](const ConversionSettings& s) {
    return s.columns.entries[1].code + "/" + std::to_string(s.columns.entries[1].width);
  };
  auto columns123 = [](const ConversionSettings& s) {
    std::string text;
    for (int c = 1; c <= 3; ++c)
      text += "[" + s.columns.entries[c].code + "/" + std::to_string(s.columns.entries[c].width) + "]";
    return text;
  };
  auto breaks = [](const ConversionSettings& s) {
    std::string text;
    for (const BreakEntry& b : s.breaks) {
      if (b.position == 0) break;
      text += std::to_string(b.position) + b.mark + " ";
    }
    return text;
  };
  auto records = [](const ConversionSettings& s) {
    return Chars({s.firstRecordMode, s.lastRecordMode}) + " " + std::to_string(s.firstRecord) +
           " " + std::to_string(s.lastRecord);
  };
  auto number = [](int ConversionSettings::*field) {
    return [field](const ConversionSettings& s) { return std::to_string(s.*field); };
  };
  auto character = [](char ConversionSettings::*field) {
    return [field](const ConversionSettings& s) { return std::string(1, s.*field); };
  };
  auto text = [](std::string ConversionSettings::*field) {
    return [field](const ConversionSettings& s) { return s.*field; };
  };

  auto encoding = [](const ConversionSettings& s) { return std::string(EncodingName(s.encoding)); };

  const ReadRow rows[] = {
      {"Separators=;,#", separators, ";,#", "three characters"},
      {"Separators=$$", separators, ",.:", "system convention, user separator ':'"},
      {"Separators=;", separators, ",.:", "one character: system convention"},
      {"Separators=\xB6,|", separators, " ,|", "0xB6 stands for a space"},
      {"Separators=\xA5.:", separators, "\xA5.:", "no list separator"},
      {"Signs=S", signs, "-1 1", "latitude south, longitude east"},
      {"Signs=NW", signs, "1 -1", "longitude west"},
      {"Signs=sw", signs, "1 1", "letters compare exactly"},
      {"Mode=R", character(&ConversionSettings::mode), "R", "route"},
      {"Mode=t", character(&ConversionSettings::mode), "W", "anything but T and R"},
      {"Mode=TR", character(&ConversionSettings::mode), "W", "exactly one letter"},
      {"DateFormat=M", character(&ConversionSettings::dateFormat), "M", "month first"},
      {"Dateformat=X", character(&ConversionSettings::dateFormat), "D", "key spelling as written"},
      {"ScaleFactor=-3", number(&ConversionSettings::scaleFactor), "-3", "negative shift"},
      {"ScaleFactor=200", number(&ConversionSettings::scaleFactor), "0", "beyond a byte"},
      {"ScaleFactor=x", number(&ConversionSettings::scaleFactor), "0", "not a number"},
      {"Gridfiles=-X", text(&ConversionSettings::gridFiles), "-X-", "short value keeps position 3"},
      {"Gridfiles=X-XX", text(&ConversionSettings::gridFiles), "X-X", "first three characters"},
      {"DefaultZone=32UVWXY", text(&ConversionSettings::defaultZone), "32UVW", "first five"},
      {"WptIDPrefix=WP-", text(&ConversionSettings::wptIdPrefix), "WP-", "unchanged"},
      {"TextOption=", character(&ConversionSettings::textOption), "I", "empty value"},
      {"TextOption=C+", character(&ConversionSettings::textOption), "C", "first character"},
      {"Auxdata=", character(&ConversionSettings::auxData), "D", "empty value"},
      {"AuxData=Temp", character(&ConversionSettings::auxData), "T", "first character"},
      {"TrackStart=-1", number(&ConversionSettings::trackStart), "-1", "none"},
      {"TrackStart=x", number(&ConversionSettings::trackStart), "1", "not a number"},
      {"TrackStart=200", number(&ConversionSettings::trackStart), "1", "beyond a byte: default"},
      {"SymbolType=-128", number(&ConversionSettings::symbolType), "-128", "lowest byte value"},
      {"SymbolType=-129", number(&ConversionSettings::symbolType), "0", "beyond a byte: default"},
      {"Records=RR 10 20", records, "RR 10 20", "all tokens"},
      {"Records=   R 7", records, "RE 7 10", "one letter, missing last: first + 3"},
      {"Records=BE x y", records, "BE 1 4", "numbers that do not read"},
      {"Records=BE 1 99999999999", records, "BE 1 2147483647", "beyond 32 bits: the largest record number"},
      {"Records=", records, "BE 1 4", "empty value"},
      {"Columns=GX/70", column1, "OX/70", "old files: G becomes O"},
      {"IniVersion=1.07\nColumns=GX/70", column1, "GX/70", "from 1.07 on G stays"},
      {"IniVersion=1,07\nColumns=GX/70", column1, "GX/70", "version with a comma"},
      {"IniVersion=1.06\nColumns=GX/70", column1, "OX/70", "just below 1.07"},
      {"Columns=KD/wide", column1, "KD/80", "bad width"},
      {"Columns=I/50", column1, "I /50", "one-character code gets a space"},
      {"Columns=KDX/50", column1, "KD/50", "codes have two characters"},
      {"Columns=120", column1, "/120", "no slash: the width alone"},
      {"Columns=\"_ /90\",KD/70 LD/60", columns123, "[_ /90][KD/70][LD/60]", "quoted item, space"},
      {"Columns=I_/50,,KD/70", columns123, "[I_/50][/80][KD/70]", "empty item"},
      {"Columns=I_/50", columns123, "[I_/50][__/80][__/80]", "missing items"},
      {"Columns=", columns123, "[__/80][__/80][__/80]", "empty list"},
      {"Breaks= 12 .20 30", breaks, "12^ 20. 30^ ", "decimal point mark"},
      {"Separators=;,:\nBreaks= 12 .20 30", breaks, "12^ 20, 30^ ", "mark is the decimal separator"},
      {"Breaks= ^4 9", breaks, "4^ 9^ ", "explicit break mark"},
      {"Breaks= 4 x 9", breaks, "4^ ", "a bad token ends the list"},
      {"Breaks= 4 256 9", breaks, "4^ ", "beyond 255 ends the list"},
      {"Alignment=3", number(&ConversionSettings::alignment), "3", "times 1000"},
      {"LeftAlign=1", number(&ConversionSettings::alignment), "9", "old key"},
      {"LeftAlign=0", number(&ConversionSettings::alignment), "0", "old key off"},
      {"Alignment=2\nLeftAlign=1", number(&ConversionSettings::alignment), "2", "Alignment wins"},
      {"Alignment=99\nLeftAlign=1", number(&ConversionSettings::alignment), "9", "99 means missing"},
      {"Alignment=300\nLeftAlign=1", number(&ConversionSettings::alignment), "9", "beyond a byte"},
      {"Alignment=300", number(&ConversionSettings::alignment), "0", "beyond a byte, no LeftAlign"},
      {"Datum=OSGB 36", text(&ConversionSettings::datum), "OSGB 36", "unchanged"},
      {"AutoDatum=0", [](const ConversionSettings& s) { return std::to_string(s.autoDatum); }, "0",
       "off"},
      {"AutoDatum=x", [](const ConversionSettings& s) { return std::to_string(s.autoDatum); }, "1",
       "not a number: on"},
      {"Encoding=UTF-8", encoding, "UTF-8", "as written"},
      {"encoding=utf16", encoding, "UTF-16", "key and value without regard to case"},
      {"Encoding=cp1252", encoding, "Windows-1252", "other spelling"},
      {"Encoding=Windows-1252", encoding, "Windows-1252", "as written"},
      {"Encoding=latin1", encoding, "Automatic", "no such encoding"},
      {"Encoding=", encoding, "Automatic", "empty value"},
  };
  for (const ReadRow& row : rows) {
    ScriptedUi ui;
    ConversionSettings read =
        ReadText(std::string("[SETTINGS]\n") + row.lines + "\n", PointLocale(), ui);
    EXPECT_EQ(row.field(read), row.expected) << row.lines << " (" << row.reason << ")";
  }
}

TEST(ReadSettings, BadColumnWidthsAreReportedInOneMessage) {
  ScriptedUi ui;
  ConversionSettings read =
      ReadText("[SETTINGS]\nColumns=KD/wide,LD/60,HM/,I_\n", PointLocale(), ui);
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{"Bad Settings file: Column=wide, Column=, Column=I_"}));
  EXPECT_EQ(read.columns.entries[1].code, "KD");
  EXPECT_EQ(read.columns.entries[2].width, 60);
  EXPECT_EQ(read.columns.entries[4].code, "");
  EXPECT_EQ(read.columns.entries[4].width, 80);
}

// A NUL byte once made the column list reader loop until memory ran out.
TEST(ReadSettings, ColumnsEndAtANulByte) {
  ScriptedUi ui;
  ConversionSettings read = ReadText(std::string("[SETTINGS]\nColumns=KD/90\0LD/60\nMode=T\n", 38),
                                     PointLocale(), ui);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(read.columns.entries[1].code, "KD");
  EXPECT_EQ(read.columns.entries[1].width, 90);
  EXPECT_EQ(read.columns.entries[2].code, "__");
  EXPECT_EQ(read.mode, 'T');
}

TEST(ReadSettings, ValuesBeyondTheFieldsLeaveTheOtherKeysRead) {
  std::string breaks;
  for (int i = 1; i <= 30; ++i) breaks += " " + std::to_string(i);
  std::string columns;
  for (int i = 1; i <= 40; ++i) columns += (i > 1 ? "," : "") + std::string("C1/") + std::to_string(i);
  ScriptedUi ui;
  ConversionSettings read = ReadText("[SETTINGS]\nMode=T\nTrackStart=1000\nColumns=" + columns +
                                         "\nBreaks=" + breaks + "\nSymbolType=999\nGrid=UTM\n",
                                     PointLocale(), ui);
  EXPECT_EQ(read.mode, 'T');
  EXPECT_EQ(read.trackStart, 1);
  EXPECT_EQ(read.columns.entries[26].width, 26);
  EXPECT_EQ(read.breaks[26].position, 27);
  EXPECT_EQ(read.symbolType, 0);
  EXPECT_EQ(read.grid, "UTM");
  EXPECT_TRUE(ui.messages.empty());
}

ConversionSettings Unusual() {
  ConversionSettings s;
  s.mode = 'R';
  s.dateFormat = 'Y';
  s.listSeparator = ' ';
  s.decimalSeparator = ',';
  s.userSeparator = '|';
  s.latitudeSign = -1;
  s.longitudeSign = -1;
  s.scaleFactor = -2;
  s.gridFiles = "-XX";
  s.wptIdPrefix = "P\xE9";
  s.defaultZone = "32";
  s.textOption = '&';
  s.trackStart = -1;
  s.firstRecordMode = 'R';
  s.lastRecordMode = 'R';
  s.firstRecord = 3;
  s.lastRecord = 250;
  s.columns.entries[2] = {"KD", 70};
  s.columns.entries[3] = {"A ", 55};
  s.columns.entries[26] = {"C5", 120};
  s.auxData = 'T';
  s.datum = "";
  s.autoDatum = false;
  s.grid = "British Grid";
  s.breaks[0] = {12, '^'};
  s.breaks[1] = {20, '.'};
  s.breaks[2] = {255, '^'};
  s.alignment = 9;
  s.symbolType = -5;
  s.encoding = SourceEncoding::Utf8;
  return s;
}

TEST(WriteSettings, WritesTheKeysInOrder) {
  IniFile file;
  WriteSettings(file, Unusual());
  std::string columns = "\"_ /100\",KD/70,\"A /55\"";
  for (int c = 4; c <= 25; ++c) columns += ",__/80";
  columns += ",C5/120";
  EXPECT_EQ(file.Text(),
            "[SETTINGS]\r\n"
            "Mode=R\r\n"
            "Dateformat=Y\r\n"
            "Separators=\xB6,|\r\n"
            "Signs=SW\r\n"
            "ScaleFactor=-2\r\n"
            "Gridfiles=-XX\r\n"
            "WptIDPrefix=P\xE9\r\n"
            "DefaultZone=32\r\n"
            "TextOption=&\r\n"
            "TrackStart=-1\r\n"
            "Records=RR 3 250\r\n"
            "Columns=" + columns + "\r\n"
            "AuxData=T\r\n"
            "Datum=WGS 84\r\n"
            "AutoDatum=0\r\n"
            "Grid=British Grid\r\n"
            "Breaks= 12 .20 255\r\n"
            "Alignment=9\r\n"
            "SymbolType=-5\r\n"
            "Encoding=UTF-8\r\n");
}

TEST(WriteSettings, ReadBackGivesTheSameSettings) {
  ConversionSettings written = Unusual();
  written.listSeparator = kNoListSeparator;
  IniFile file;
  WriteSettings(file, written);
  ScriptedUi ui;
  ConversionSettings read;
  ReadSettings(file, read, PointLocale(), ui);

  ConversionSettings expected = written;
  expected.datum = "WGS 84";
  expected.breaks[1].mark = ',';  // the decimal separator in force
  EXPECT_EQ(Describe(read), Describe(expected));
  EXPECT_TRUE(ui.messages.empty());

  written.listSeparator = ' ';
  WriteSettings(file, written);
  ReadSettings(file, read, PointLocale(), ui);
  EXPECT_EQ(read.listSeparator, ' ');
  EXPECT_EQ(file.Get(kSettingsSection, "Separators"), "\xB6,|");
}

TEST(WriteSettings, KeepsOtherKeysAndSections) {
  IniFile file;
  file.SetText("[MAIN]\r\nWBounds=0 0 720 500\r\n[Settings]\r\nmode=T\r\nIniVersion=1.07\r\n");
  WriteSettings(file, ConversionSettings{});
  EXPECT_EQ(file.Get("MAIN", "WBounds"), "0 0 720 500");
  EXPECT_EQ(file.Get("SETTINGS", "IniVersion"), "1.07");
  EXPECT_EQ(file.Get("SETTINGS", "Mode"), "W");
  EXPECT_EQ(file.Text().find("mode=T"), std::string::npos);
}

class SettingsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "zevi-set-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string File(const std::string& name) const { return folder_ + "/" + name; }

  std::string folder_;
};

TEST_F(SettingsFiles, MissingFileIsReportedAndChangesNothing) {
  ScriptedUi ui;
  ConversionSettings settings = Unusual();
  const std::string path = File("none.ini");
  EXPECT_FALSE(LoadSettingsFile(path, settings, PointLocale(), ui));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Settings file: " + path + " does not exist."});
  EXPECT_EQ(Describe(settings), Describe(Unusual()));
}

TEST_F(SettingsFiles, SaveThenLoadKeepsOtherSections) {
  const std::string path = File("walk.ini");
  std::ofstream(path, std::ios::binary) << "[NOTES]\r\nby=hand\r\n";
  ScriptedUi ui;
  ASSERT_TRUE(SaveSettingsFile(path, Unusual(), ui));
  ConversionSettings read;
  ASSERT_TRUE(LoadSettingsFile(path, read, PointLocale(), ui));
  EXPECT_EQ(read.grid, "British Grid");
  EXPECT_EQ(read.listSeparator, ' ');
  std::ifstream in(path, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(bytes.rfind("[NOTES]\r\nby=hand\r\n[SETTINGS]\r\nMode=R\r\n", 0), 0u);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SettingsFiles, UnwritableFileIsReported) {
  ScriptedUi ui;
  const std::string path = File("missing-folder/x.ini");
  EXPECT_FALSE(SaveSettingsFile(path, Unusual(), ui));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Unable to write to " + path});
}

}  // namespace
}  // namespace zevi
