#include "settings/appconfig.h"

#include "platform/folders.h"
#include "platform/keystore.h"
#include "settings/persist_fixture.h"
#include "settings/state.h"
#include "support/scripted_ui.h"

namespace zevi {
namespace {

using testing::ScriptedUi;
using testing::TemporaryHome;

class ConfigTest : public TemporaryHome {
 protected:
  void SetUp() override {
    TemporaryHome::SetUp();
    state.programFolder = root + "/opt/zevi/";
    programFile = state.programFolder + "zevi-fileconv";
  }
  void EstablishWork() {
    KeyStore machineStore(machine);
    KeyStore userStore(config);
    EstablishWorkFolder(state, ui, programFile, machineStore, userStore);
  }
  std::string UserStoreText() { return ReadFile(config + "/zevi-registry.ini"); }

  AppState state;
  ScriptedUi ui;
  std::string programFile;
};

TEST_F(ConfigTest, FirstStartCreatesAndRecordsTheFolders) {
  EstablishUserFolder(state, ui);
  EXPECT_EQ(state.userFolder, home + "/Documents/My ZEVI");
  EXPECT_TRUE(FolderExists(state.userFolder));

  EstablishWork();
  EXPECT_EQ(state.workFolder, config + "/Vozirado/ZEVI");
  EXPECT_EQ(state.configPath, config + "/Vozirado/ZEVI/rirido.ini");
  EXPECT_TRUE(FolderExists(state.workFolder));
  EXPECT_EQ(UserStoreText(),
            "[Software\\Vozirado\\ZEVI]\r\nworkfolder=" + config + "/Vozirado/ZEVI\r\n");
  EXPECT_EQ(ReadFile(machine + "/zevi-registry.ini"),
            "[Software\\Vozirado\\ZEVI]\r\nexename=" + programFile + "\r\n");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ConfigTest, ARecordedWorkFolderIsUsedAndKept) {
  const std::string text = "[Software\\Vozirado\\ZEVI]\r\nworkfolder=" + root + "/mine/zevi\r\n";
  WriteFile(config + "/zevi-registry.ini", text);
  EstablishWork();
  EXPECT_EQ(state.workFolder, root + "/mine/zevi");
  EXPECT_TRUE(FolderExists(root + "/mine/zevi"));
  EXPECT_EQ(UserStoreText(), text);
}

TEST_F(ConfigTest, ARelativeRecordedWorkFolderIsReplaced) {
  WriteFile(config + "/zevi-registry.ini", "[Software\\Vozirado\\ZEVI]\r\nworkfolder=zevi\r\n");
  EstablishWork();
  EXPECT_EQ(state.workFolder, config + "/Vozirado/ZEVI");
  EXPECT_EQ(UserStoreText(),
            "[Software\\Vozirado\\ZEVI]\r\nworkfolder=" + config + "/Vozirado/ZEVI\r\n");
}

TEST_F(ConfigTest, AWorkFolderThatCannotBeMadeDeletesTheKey) {
  WriteFile(root + "/blocker", "a file");
  WriteFile(config + "/zevi-registry.ini",
            "[Software\\Vozirado\\ZEVI]\r\nworkfolder=" + root + "/blocker/zevi\r\n");
  EstablishWork();
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Deleted Key: Software\\Vozirado\\ZEVI"});
  EXPECT_EQ(state.workFolder, "");
  EXPECT_EQ(state.configPath, "");
  EXPECT_EQ(UserStoreText(), "");

  ui.messages.clear();
  EstablishWork();  // the next start picks the default again
  EXPECT_EQ(state.workFolder, config + "/Vozirado/ZEVI");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ConfigTest, WithoutAnApplicationDataFolderTheProgramFolderServes) {
  env.Set("HOME", std::nullopt);
  env.Set("XDG_CONFIG_HOME", std::nullopt);
  EstablishWork();
  EXPECT_EQ(state.workFolder, root + "/opt/zevi");
  EXPECT_EQ(state.configPath, root + "/opt/zevi/rirido.ini");
}

TEST_F(ConfigTest, AMachineStoreThatCannotBeWrittenIsSkippedSilently) {
  WriteFile(machine, "a file where the folder should be");
  EstablishWork();
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(state.workFolder, config + "/Vozirado/ZEVI");
}

TEST_F(ConfigTest, AUserFolderThatCannotBeMadeIsReported) {
  WriteFile(root + "/docs", "a file");
  env.Set("XDG_DOCUMENTS_DIR", root + "/docs");
  EstablishUserFolder(state, ui);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Unable to find or create user folder: " + root + "/docs/My ZEVI"});
}

TEST(WindowBoundsText, ParseAndFormat) {
  struct Row {
    std::string text;
    std::optional<WindowBounds> bounds;
    const char* reason;
  } rows[] = {
      {"10 20 830 513", WindowBounds{10, 20, 830, 513}, "plain"},
      {"-8 -8 1928 1088", WindowBounds{-8, -8, 1928, 1088}, "negative, as a maximised window leaves"},
      {" 0  0 720 500 ", WindowBounds{0, 0, 720, 500}, "extra blanks"},
      {"0 0 720", std::nullopt, "three numbers"},
      {"0 0 720 x", std::nullopt, "not a number"},
      {"0 0 720.5 500", std::nullopt, "not an integer"},
      {"50 50 40 600", std::nullopt, "right left of left"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    auto parsed = ParseBounds(row.text);
    ASSERT_EQ(parsed.has_value(), row.bounds.has_value());
    if (parsed) {
      EXPECT_EQ(FormatBounds(*parsed), FormatBounds(*row.bounds));
    }
  }
  EXPECT_EQ(FormatBounds({-8, 0, 720, 500}), "-8 0 720 500");
}

class ReadConfigTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    EstablishWork();
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(root + "/data/" + name, "1,2\r\n");
    WriteFile(root + "/data/walk.ini", "[SETTINGS]\r\nMode=R\r\n");
  }
};

TEST_F(ReadConfigTest, ReadsBoundsSettingsFileSettingsAndExistingRecentFiles) {
  WriteFile(state.configPath,
            "[MAIN]\r\nWBounds=10 20 830 513\r\n"
            "[GENERAL]\r\nSettingsFile=" + root + "/data/walk.ini\r\n"
            "[SETTINGS]\r\nMode=T\r\nWptIDPrefix=P\r\n"
            "[FILES]\r\n"
            "RecentFile0=" + root + "/data/b.txt\r\n"
            "RecentFile1=" + root + "/gone/x.txt\r\n"
            "RecentFile2=\r\n"
            "RecentFile3=" + root + "/data/a.txt\r\n"
            "RecentFile4=" + root + "/data/b.txt\r\n"
            "RecentFile9=" + root + "/data/c.txt\r\n"
            "RecentFile10=" + root + "/data/walk.ini\r\n");
  ReadConfiguration(state, ui);
  EXPECT_EQ(FormatBounds(state.bounds), "10 20 830 513");
  EXPECT_EQ(state.settingsFile, root + "/data/walk.ini");
  EXPECT_EQ(state.settings.mode, 'T') << "the configuration's own SETTINGS section";
  EXPECT_EQ(state.settings.wptIdPrefix, "P");
  std::vector<std::string> expected = {root + "/data/b.txt", root + "/data/a.txt",
                                       root + "/data/c.txt"};
  EXPECT_EQ(state.recent.files, expected)
      << "missing and empty entries dropped, a repeated one kept once, only ten keys read";
  EXPECT_EQ(state.recent.lastFile, root + "/data/b.txt");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ReadConfigTest, MissingOrBadValuesGiveTheDefaults) {
  WriteFile(state.configPath,
            "[MAIN]\r\nWBounds=0 0 720\r\n"
            "[GENERAL]\r\nSettingsFile=" + root + "/data/vanished.ini\r\n");
  state.settings.mode = 'R';
  ReadConfiguration(state, ui);
  EXPECT_EQ(FormatBounds(state.bounds), "0 0 720 500");
  EXPECT_EQ(state.settingsFile, "") << "a settings file that no longer exists is dropped";
  EXPECT_EQ(state.settings.mode, 'W');
  EXPECT_TRUE(state.recent.files.empty());
  EXPECT_EQ(state.recent.lastFile, "");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ReadConfigTest, AConfigurationBesideTheProgramIsReadUntilTheWorkFolderHasOne) {
  const std::string beside = state.programFolder + "rirido.ini";
  const std::string besideText = "[MAIN]\r\nWBounds=1 2 803 604\r\n[SETTINGS]\r\nMode=R\r\n";
  WriteFile(beside, besideText);
  EXPECT_EQ(ConfigurationFileToRead(state), beside);
  ReadConfiguration(state, ui);
  EXPECT_EQ(FormatBounds(state.bounds), "1 2 803 604");
  EXPECT_EQ(state.settings.mode, 'R');

  ASSERT_TRUE(WriteConfiguration(state, ui));
  EXPECT_EQ(ReadFile(beside), besideText) << "the copy beside the program is never written";
  EXPECT_EQ(ConfigurationFileToRead(state), state.configPath);
}

TEST_F(ReadConfigTest, WritingKeepsOtherKeysAndRewritesTheRecentFiles) {
  WriteFile(state.configPath,
            "[MAIN]\r\nWBounds=0 0 720 500\r\nTheme=dark\r\n"
            "[FILES]\r\nRecentFile0=/old/a.txt\r\nRecentFile7=/old/h.txt\r\n"
            "[PLUGIN]\r\nx=1\r\n");
  state.bounds = {-8, 10, 1000, 700};
  state.settingsFile = root + "/data/walk.ini";
  state.recent.files = {"/d/new.txt", "/d/older.csv"};
  ASSERT_TRUE(WriteConfiguration(state, ui));
  const std::string columns =
      "\"_ /100\",__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,"
      "__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80";
  EXPECT_EQ(ReadFile(state.configPath),
            "[MAIN]\r\nWBounds=-8 10 1000 700\r\nTheme=dark\r\n"
            "[PLUGIN]\r\nx=1\r\n"
            "[GENERAL]\r\nSettingsFile=" + root + "/data/walk.ini\r\n"
            "[SETTINGS]\r\n"
            "Mode=W\r\nDateformat=D\r\nSeparators=,.:\r\nSigns=NE\r\nScaleFactor=0\r\n"
            "Gridfiles=XX-\r\nWptIDPrefix=W\r\nDefaultZone=30U\r\nTextOption=I\r\n"
            "TrackStart=1\r\nRecords=BE 1 5\r\nColumns=" + columns + "\r\n"
            "AuxData=D\r\nDatum=WGS 84\r\nAutoDatum=1\r\nGrid=\r\nBreaks=\r\n"
            "Alignment=0\r\nSymbolType=0\r\nEncoding=Automatic\r\n"
            "[FILES]\r\nRecentFile0=/d/new.txt\r\nRecentFile1=/d/older.csv\r\n");
}

TEST_F(ReadConfigTest, AConfigurationThatCannotBeWrittenIsReported) {
  WriteFile(root + "/blocker", "a file");
  state.configPath = root + "/blocker/rirido.ini";
  EXPECT_FALSE(WriteConfiguration(state, ui));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Unable to write to " + root + "/blocker/rirido.ini"});

  ui.messages.clear();
  state.configPath.clear();  // no work folder this run
  EXPECT_FALSE(WriteConfiguration(state, ui));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Unable to write to rirido.ini"});
}

}  // namespace
}  // namespace zevi
