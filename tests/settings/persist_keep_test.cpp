// The user's configuration and settings files are never lost: read-only,
// unreadable and corrupt files, unknown keys, and window bounds that would
// put the window where nobody sees it.
#include <sys/stat.h>

#include "platform/folders.h"
#include "settings/appconfig.h"
#include "settings/persist_fixture.h"
#include "settings/settingscommands.h"
#include "settings/startup.h"
#include "settings/state.h"
#include "support/scripted_ui.h"

namespace zevi {
namespace {

using testing::ScriptedUi;
using testing::TemporaryHome;

mode_t ModeOf(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class KeepTest : public TemporaryHome {
 protected:
  void SetUp() override {
    TemporaryHome::SetUp();
    WriteProgramFolder(root + "/opt/zevi");
    configPath = config + "/Vozirado/ZEVI/rirido.ini";
    walk = root + "/data/walk.ini";
  }
  void Start() {
    StartupPlatform platform{root + "/opt/zevi/zevi-fileconv", KeyStore(machine), KeyStore(config)};
    StartUp(state, ui, platform);
    FirstShow(state, ui, {});
  }

  AppState state;
  ScriptedUi ui;
  std::string configPath;
  std::string walk;
};

TEST_F(KeepTest, ASettingsFileTheUserMayNotWriteOrCouldNotReadIsNeverReplaced) {
  const std::string original = "[SETTINGS]\r\nMode=R\r\n[Notes]\r\nmine=1\r\n";
  struct Row {
    mode_t mode;
    std::string message;
  };
  const Row rows[] = {
      {0444, "Unable to write to " + walk},
      {0000, "Unable to write to " + walk +
                 "\r\nIt cannot be read (Permission denied), so it is left as it is."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode);
    WriteFile(walk, original);
    ::chmod(walk.c_str(), row.mode);
    ui = ScriptedUi{};
    state.settingsFile = walk;
    state.settingsOpenedOrSaved = true;
    state.settingsChanged = true;
    state.settings.mode = 'T';
    EXPECT_EQ(SaveSettingsCommand(state, ui), SaveOutcome::Failed);
    EXPECT_EQ(ui.messages, std::vector<std::string>{row.message}) << "and no \"Settings saved\"";
    EXPECT_TRUE(state.settingsChanged);
    EXPECT_EQ(ModeOf(walk), row.mode);
    ::chmod(walk.c_str(), 0644);
    EXPECT_EQ(ReadFile(walk), original);
  }
}

TEST_F(KeepTest, AConfigurationThatCannotBeReadOrWrittenIsReportedOnceAndLeftAsItIs) {
  const std::string original = "[MAIN]\r\nWBounds=10 20 830 513\r\n[SETTINGS]\r\nMode=T\r\n";
  struct Row {
    mode_t mode;
    std::vector<std::string> atStart;
    std::vector<std::string> atClose;
    char modeRead;
  };
  const Row rows[] = {
      {0000, {"Unable to read " + configPath + "\r\nPermission denied: the file is left as it is."}, {}, 'W'},
      {0444, {}, {"Unable to write to " + configPath}, 'T'},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode);
    WriteFile(configPath, original);
    ::chmod(configPath.c_str(), row.mode);
    state = AppState{};
    ui = ScriptedUi{};
    Start();
    EXPECT_EQ(ui.messages, row.atStart);
    EXPECT_EQ(state.settings.mode, row.modeRead);
    ui.messages.clear();
    ShutDown(state, ui, WindowBounds{1, 2, 721, 502});
    EXPECT_EQ(ui.messages, row.atClose);
    EXPECT_EQ(ModeOf(configPath), row.mode);
    ::chmod(configPath.c_str(), 0600);
    EXPECT_EQ(ReadFile(configPath), original);
  }
}

TEST_F(KeepTest, UnknownSectionsAndKeysSurviveEverySave) {
  WriteFile(configPath,
            "; my notes\r\n[MAIN]\r\nWBounds=0 0 720 500\r\nTheme=dark\r\n"
            "[SETTINGS]\r\nMode=R\r\nLineStyle=dashed\r\n"
            "[FILES]\r\nRecentFile0=/gone/a.txt\r\nPinned=/d/pinned.txt\r\n"
            "[Plugin]\r\nx=1\r\n");
  WriteFile(walk, "[SETTINGS]\r\nMode=T\r\nFuture=yes\r\n[Export]\r\nLast=/d/out.gps\r\n");
  Start();
  state.settingsFile = walk;
  state.settingsOpenedOrSaved = true;
  ASSERT_EQ(SaveSettingsCommand(state, ui), SaveOutcome::Saved);
  ShutDown(state, ui, WindowBounds{0, 0, 720, 500});

  IniFile settings(walk);
  ASSERT_TRUE(settings.Load());
  IniFile configuration(configPath);
  ASSERT_TRUE(configuration.Load());
  struct Row {
    const IniFile& file;
    const char* section;
    const char* key;
    const char* value;
  };
  const Row rows[] = {
      {settings, "SETTINGS", "Future", "yes"},
      {settings, "Export", "Last", "/d/out.gps"},
      {configuration, "MAIN", "Theme", "dark"},
      {configuration, "SETTINGS", "LineStyle", "dashed"},
      {configuration, "FILES", "Pinned", "/d/pinned.txt"},
      {configuration, "Plugin", "x", "1"},
      {configuration, "FILES", "RecentFile0", "?"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(row.file.Get(row.section, row.key, "?"), row.value) << row.section << "/" << row.key;
  EXPECT_EQ(ReadFile(configPath).substr(0, 13), "; my notes\r\n[");
}

TEST_F(KeepTest, BadWidthsOfOneSectionGiveOneMessageNamingTheFile) {
  std::string columns;
  for (char c = 'a'; c <= 'z'; ++c) columns += std::string(columns.empty() ? "" : ",") + "I_/" + c;
  WriteFile(configPath, "[SETTINGS]\r\nColumns=" + columns + "\r\n");
  Start();
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{
                "Bad Settings file: Column=a, Column=b, Column=c, Column=d, Column=e and 21 more\r\n"
                "Section SETTINGS of " + configPath});
  EXPECT_EQ(state.settings.columns.entries[26].width, 80);
}

TEST(WindowPlacement, TheTitleBarAlwaysLandsOnAScreen) {
  const ScreenArea wide{0, 0, 1280, 800};
  const ScreenArea right{1280, 0, 2560, 1024};
  const ScreenArea tiny{0, 0, 640, 480};
  const ScreenArea panelled{0, 30, 1280, 800};  // a panel along the top
  struct Row {
    WindowBounds saved;
    std::vector<ScreenArea> screens;
    std::string expected;
    const char* reason;
  };
  const Row rows[] = {
      {{0, 0, 720, 500}, {wide}, "0 0 720 500", "the default at the top left"},
      {{100, 50, 920, 543}, {wide, right}, "100 50 920 543", "on the first screen"},
      {{1400, 100, 2220, 593}, {wide, right}, "1400 100 2220 593", "on the second screen"},
      {{1400, 100, 2220, 593}, {wide}, "280 150 1000 650", "the second monitor is gone"},
      {{-5000, -5000, -4300, -4500}, {wide}, "280 150 1000 650", "far off every screen"},
      {{-8, -8, 1288, 808}, {wide}, "-8 -8 1288 808", "maximised: the frame starts above"},
      {{100, -40, 820, 460}, {wide}, "280 150 1000 650", "title bar above the screen"},
      {{-650, 100, 70, 600}, {wide}, "280 150 1000 650", "only 70 pixels of the title bar show"},
      {{100, 10, 820, 510}, {panelled}, "280 165 1000 665", "title bar under the panel"},
      {{10, 10, 730, 510}, {tiny}, "10 10 730 510", "larger than the screen, title bar on it"},
      {{-700, 0, 20, 500}, {tiny}, "0 0 640 480", "default size shrunk to a tiny screen"},
      {{-5000, 0, -4280, 500}, {}, "-5000 0 -4280 500", "no screen known: nothing to judge by"},
      {{-2147483647, 0, 2147483647, 500}, {wide}, "280 150 1000 650", "wider than any window"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FormatBounds(PlaceWindow(row.saved, 720, 500, row.screens)), row.expected) << row.reason;
  }
}

}  // namespace
}  // namespace zevi
