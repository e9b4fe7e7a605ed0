#include "settings/startup.h"

#include <unistd.h>

#include "platform/folders.h"
#include "settings/appconfig.h"
#include "settings/persist_fixture.h"
#include "settings/settingscommands.h"
#include "settings/state.h"
#include "support/scripted_ui.h"

namespace zevi {
namespace {

using testing::ScriptedUi;
using testing::TemporaryHome;

class StartupTest : public TemporaryHome {
 protected:
  void SetUp() override {
    TemporaryHome::SetUp();
    programFolder = root + "/opt/zevi/";
    WriteProgramFolder(programFolder);
    workFolder = config + "/Vozirado/ZEVI";
  }
  StartupPlatform Platform() {
    return StartupPlatform{programFolder + "zevi-fileconv", KeyStore(machine), KeyStore(config)};
  }
  void Start(AppState& state, const std::vector<std::string>& arguments = {}) {
    StartupPlatform platform = Platform();
    StartUp(state, ui, platform);
    FirstShow(state, ui, arguments);
  }

  ScriptedUi ui;
  std::string programFolder;
  std::string workFolder;
};

TEST_F(StartupTest, FirstStartThenRestartKeepsWhatTheUserLeft) {
  AppState state;
  Start(state);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(FolderExists(home + "/Documents/My ZEVI"));
  EXPECT_EQ(state.workFolder, workFolder);
  EXPECT_EQ(KeyStore(config).Read(kZeviKey, "workfolder"), workFolder);
  EXPECT_EQ(KeyStore(machine).Read(kZeviKey, "exename"), programFolder + "zevi-fileconv");
  EXPECT_EQ(state.programFolder, programFolder);
  EXPECT_EQ(state.datum.entries, (std::vector<std::string>{"WGS84", "WGS 84", "OSGB 1936"}));
  EXPECT_EQ(state.grid.entries, (std::vector<std::string>{"Lat/Long", "UTM", "British National Grid",
                                                          "Swiss Grid", "State Plane"}));
  EXPECT_EQ(state.grid.selected, 0);
  EXPECT_EQ(state.settingsFile, "");
  EXPECT_FALSE(state.settingsChanged);
  EXPECT_EQ(SettingsFileLabel(state), "Settings File = (None)");
  EXPECT_FALSE(OpenLastFileVisible(state));
  EXPECT_EQ(FormatBounds(state.bounds), "0 0 720 500");

  state.edits.idPrefix = "Q";   // typed, never saved
  state.settings.mode = 'T';
  ShutDown(state, ui, WindowBounds{30, 40, 930, 640});
  EXPECT_TRUE(FileExists(workFolder + "/rirido.ini"));

  AppState again;
  Start(again);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(FormatBounds(again.bounds), "30 40 930 640");
  EXPECT_EQ(again.settings.wptIdPrefix, "Q");
  EXPECT_EQ(again.edits.idPrefix, "Q");
  EXPECT_EQ(again.settings.mode, 'T');
}

TEST_F(StartupTest, AConfigurationBesideTheProgramBringsDatumGridAndFiles) {
  WriteFile(root + "/data/a.txt", "1,2\r\n");
  const std::string besideText =
      "[MAIN]\r\nWBounds=5 5 805 505\r\n"
      "[SETTINGS]\r\nGrid=british national GRID\r\nDatum=osgb 1936\r\nAutoDatum=0\r\n"
      "Alignment=9\r\nTextOption=Z\r\nSymbolType=3\r\n"
      "[FILES]\r\nRecentFile0=" + root + "/data/a.txt\r\nRecentFile1=" + root + "/data/gone.txt\r\n";
  WriteFile(programFolder + "rirido.ini", besideText);

  AppState state;
  StartupPlatform platform = Platform();
  StartUp(state, ui, platform);
  EXPECT_EQ(state.grid.selected, 2) << "the grid box entry, found without regard to case";
  EXPECT_EQ(state.grid.zoneWidth, 0);
  FirstShow(state, ui, {});
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(FormatBounds(state.bounds), "5 5 805 505");
  EXPECT_EQ(state.datum.name, "OSGB 1936");
  EXPECT_EQ(state.datum.selected, 2);
  EXPECT_EQ(state.grid.name, "BRITISH NATIONAL GRID");
  EXPECT_EQ(state.grid.eastingDigits, 6);
  EXPECT_EQ(AlignmentEntry(state.settings.alignment), 4);
  EXPECT_EQ(TextOptionEntry(state.settings.textOption), 1);
  EXPECT_FALSE(state.settings.autoDatum);
  EXPECT_EQ(state.settings.symbolType, 3);
  EXPECT_EQ(state.recent.files, std::vector<std::string>{root + "/data/a.txt"});
  EXPECT_TRUE(OpenLastFileVisible(state));
  EXPECT_EQ(RecentMenuCaptions(state.recent)[0], "&1 " + root + "/data/a.txt");

  ShutDown(state, ui, state.bounds);
  EXPECT_EQ(ReadFile(programFolder + "rirido.ini"), besideText);
  const std::string written = ReadFile(workFolder + "/rirido.ini");
  EXPECT_NE(written.find("Grid=british national GRID\r\n"), std::string::npos) << written;
  EXPECT_NE(written.find("[FILES]\r\nRecentFile0=" + root + "/data/a.txt\r\n"), std::string::npos)
      << "the missing file is gone from the file";
  EXPECT_EQ(written.find("gone.txt"), std::string::npos);
}

TEST_F(StartupTest, TheNamedSettingsFileReplacesTheConfiguredSettings) {
  WriteFile(root + "/s/walk.ini", "[SETTINGS]\r\nMode=T\r\nWptIDPrefix=WALK\r\n");
  WriteFile(workFolder + "/rirido.ini",
            "[GENERAL]\r\nSettingsFile=" + root + "/s/walk.ini\r\n"
            "[SETTINGS]\r\nMode=R\r\nDateformat=Y\r\n");
  AppState state;
  Start(state);
  EXPECT_EQ(state.settingsFile, root + "/s/walk.ini");
  EXPECT_EQ(SettingsFileLabel(state), "Settings File = " + root + "/s/walk.ini");
  EXPECT_EQ(state.settings.mode, 'T');
  EXPECT_EQ(state.settings.dateFormat, 'D') << "every key of the settings file applies, defaults too";
  EXPECT_EQ(state.edits.idPrefix, "WALK");
  EXPECT_FALSE(state.settingsChanged);
  EXPECT_FALSE(state.settingsOpenedOrSaved);
  EXPECT_FALSE(state.settingsAssociated);
}

TEST_F(StartupTest, EveryFailureIsReportedAndStartUpGoesOn) {
  std::filesystem::remove_all(programFolder);
  WriteFile(root + "/docs", "a file");
  env.Set("XDG_DOCUMENTS_DIR", root + "/docs");
  WriteFile(workFolder + "/rirido.ini", "[SETTINGS]\r\nGrid=Nowhere\r\nDatum=OSGB 1936\r\n");

  AppState state;
  Start(state);
  const std::vector<std::string> expected = {
      "Unable to find or create user folder: " + root + "/docs/My ZEVI",
      "Datum File does not exist\r\n" + programFolder + "datums.txt",
      "Grid File:" + programFolder + "basegrids.txt does not exist",
      "Grid File:" + programFolder + "worldgrids.txt does not exist",
      "Grid File:" + programFolder + "usagrids.txt does not exist",
      "Datum File does not exist\r\n" + programFolder + "datums.txt",
      "Grid File:" + programFolder + "basegrids.txt does not exist",
      "Grid File:" + programFolder + "worldgrids.txt does not exist",
      "Grid File:" + programFolder + "usagrids.txt does not exist",
      "Unable to find grid:NOWHERE",
  };
  EXPECT_EQ(ui.messages, expected);
  EXPECT_EQ(state.workFolder, workFolder);
  EXPECT_EQ(state.datum.entries, std::vector<std::string>{"WGS84"});
  EXPECT_FALSE(state.settingsChanged);
}

TEST_F(StartupTest, TheCommandLineNamesOneFileAndOffersItsSettings) {
  const std::string data = root + "/my data/";
  WriteFile(data + "walk 1.txt", "A1,54.5,-3.0\r\nA2,54.6,-3.1\r\n");
  WriteFile(data + "walk 1.ini", "[SETTINGS]\r\nMode=R\r\nColumns=I_/60,KD/90,LD/90\r\n");
  ui.answers = {Button::Yes};

  AppState state;
  Start(state, {root + "/my", "data/walk", "1.txt"});
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0].text,
            "Associated Settings file exists.\r\n" + data + "walk 1.ini\r\nDo you wish to load this?");
  EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
  EXPECT_EQ(state.sourceFile, data + "walk 1.txt");
  EXPECT_EQ(state.settingsFile, data + "walk 1.ini");
  EXPECT_TRUE(state.settingsAssociated);
  EXPECT_EQ(state.settings.mode, 'R');
  EXPECT_EQ(state.table.Cell(2, 2), "54.6");
  EXPECT_EQ(state.recent.files.front(), data + "walk 1.txt");
  EXPECT_FALSE(state.settingsChanged);
}

TEST(CommandLine, JoinedCutAndMadeFull) {
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  const std::string longPath = "/" + std::string(299, 'x');
  struct Row {
    std::vector<std::string> arguments;
    std::string expected;
    const char* reason;
  } rows[] = {
      {{}, "", "no arguments"},
      {{""}, "", "one empty argument"},
      {{"/d/a.txt"}, "/d/a.txt", "one path"},
      {{"/d/my", "track.txt"}, "/d/my track.txt", "halves of a path split at a space"},
      {{"/d/a", "", "b.txt"}, "/d/a  b.txt", "an empty argument still adds its space"},
      {{longPath}, longPath.substr(0, 250), "cut to 250 characters"},
      {{"a.txt"}, std::string(cwd) + "/a.txt", "relative to the current folder"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    EXPECT_EQ(CommandLineSourceFile(row.arguments), row.expected);
  }
}

TEST(ComboEntries, TextOptionAndAlignment) {
  const std::pair<char, int> textOptions[] = {{'-', 0}, {'I', 1}, {'C', 2}, {'A', 3}, {'&', 4},
                                              {'+', 5}, {'^', 6}, {'i', 1}, {'Z', 1}, {'\0', 1}};
  for (auto [option, entry] : textOptions) EXPECT_EQ(TextOptionEntry(option), entry) << option;
  const std::pair<int, int> alignments[] = {{0, 0}, {3, 3}, {4, 4}, {9, 4}, {255, 4}, {-1, 4}};
  for (auto [alignment, entry] : alignments) EXPECT_EQ(AlignmentEntry(alignment), entry) << alignment;
}

TEST_F(StartupTest, AnInstalledProgramReadsTheListsOfItsDataFolder) {
  const std::string prefix = root + "/usr";
  WriteProgramFolder(prefix + "/share/zevi-fileconv");
  std::filesystem::create_directories(prefix + "/bin");
  StartupPlatform platform{prefix + "/bin/zevi-fileconv", KeyStore(machine), KeyStore(config)};

  AppState state;
  StartUp(state, ui, platform);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(state.programFolder, prefix + "/share/zevi-fileconv/");
  EXPECT_EQ(state.datum.entries, (std::vector<std::string>{"WGS84", "WGS 84", "OSGB 1936"}));
  EXPECT_EQ(KeyStore(machine).Read(kZeviKey, "exename"), prefix + "/bin/zevi-fileconv");
}

}  // namespace
}  // namespace zevi
