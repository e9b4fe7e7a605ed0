#include "settings/settingscommands.h"

#include "platform/folders.h"
#include "settings/persist_fixture.h"
#include "settings/startup.h"
#include "settings/state.h"
#include "support/scripted_ui.h"

namespace zevi {
namespace {

using testing::AskedQuestion;
using testing::ScriptedUi;
using testing::TemporaryHome;

const std::string kOverwriteQuestion =
    "Settings file exists. Are you sure you want to overwrite it (YES/NO)?\r\n"
    "or Click OK to \"Save As..\" with a new name.";

const std::string kOriginalSettings = "[SETTINGS]\r\nMode=R\r\n";

class CommandsTest : public TemporaryHome {
 protected:
  void SetUp() override {
    TemporaryHome::SetUp();
    WriteProgramFolder(root + "/opt/zevi");
    data = root + "/data/";
    WriteFile(data + "walk.txt", "A1,54.5,-3.0\r\nA2,54.6,-3.1\r\n");
  }
  // Start-up with `settingsFile` named in the configuration.
  void Start(const std::string& settingsFile = "") {
    WriteFile(config + "/Vozirado/ZEVI/rirido.ini",
              "[GENERAL]\r\nSettingsFile=" + settingsFile + "\r\n");
    StartupPlatform platform{root + "/opt/zevi/zevi-fileconv", KeyStore(machine), KeyStore(config)};
    StartUp(state, ui, platform);
    FirstShow(state, ui, {});
    ASSERT_TRUE(ui.messages.empty()) << ui.messages.front();
  }
  // A fresh run with walk.ini holding kOriginalSettings, for one table row.
  void Restart(const std::string& settingsFile) {
    WriteFile(data + "walk.ini", kOriginalSettings);
    state = AppState{};
    ui = ScriptedUi{};
    Start(settingsFile);
  }
  bool WalkIniWritten() { return ReadFile(data + "walk.ini") != kOriginalSettings; }

  void ExpectQuestion(std::size_t index, const std::string& text, std::vector<Button> buttons) {
    ASSERT_LT(index, ui.questions.size());
    const AskedQuestion& question = ui.questions[index];
    EXPECT_EQ(question.text, text);
    EXPECT_EQ(question.buttons, buttons);
    EXPECT_EQ(question.helpContext, kHelpSettings);
    EXPECT_EQ(question.kind, MessageKind::Confirmation);
  }

  AppState state;
  ScriptedUi ui;
  std::string data;
};

TEST_F(CommandsTest, SaveWithoutASettingsFileIsSaveAs) {
  Start();
  AddRecentFile(state.recent, data + "walk.txt");
  state.settingsChanged = true;
  ui.fileChoices = {data + "walk settings.ini"};
  EXPECT_EQ(SaveSettingsCommand(state, ui), SaveOutcome::Saved);

  ASSERT_EQ(ui.fileRequests.size(), 1u);
  const FileDialogRequest& request = ui.fileRequests[0];
  EXPECT_EQ(request.filter, "Ini files (*.ini)|*.ini");
  EXPECT_EQ(request.filterIndex, 1);
  EXPECT_EQ(request.defaultExtension, "ini");
  EXPECT_EQ(request.initialFolder, data);
  EXPECT_EQ(request.fileName, "");
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Settings saved in file: walk settings.ini"});
  EXPECT_EQ(state.settingsFile, data + "walk settings.ini");
  EXPECT_TRUE(FileExists(state.settingsFile));
  EXPECT_FALSE(state.settingsChanged);
  EXPECT_TRUE(state.settingsOpenedOrSaved);
}

TEST_F(CommandsTest, TheFirstSaveToAConfiguredFileAsksAndLaterSavesDoNot) {
  struct Row {
    Button answer;
    bool saved;
    const char* reason;
  } rows[] = {
      {Button::Yes, true, "Yes overwrites"},
      {Button::No, false, "No does nothing"},
      {Button::Ok, false, "OK opens Save As, cancelled"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    Restart(data + "walk.ini");
    state.settingsChanged = true;
    ui.answers = {row.answer};
    SaveSettingsCommand(state, ui);
    ExpectQuestion(0, kOverwriteQuestion, {Button::Yes, Button::No, Button::Ok});
    EXPECT_EQ(ui.fileRequests.size(), row.answer == Button::Ok ? 1u : 0u);
    EXPECT_EQ(state.settingsChanged, !row.saved);
    EXPECT_EQ(WalkIniWritten(), row.saved);
    if (!row.saved) continue;

    EXPECT_EQ(ui.messages, std::vector<std::string>{"Settings saved in file: walk.ini"});
    state.settingsChanged = true;
    EXPECT_EQ(SaveSettingsCommand(state, ui), SaveOutcome::Saved);
    EXPECT_EQ(ui.questions.size(), 1u) << "after one save, later saves ask nothing";
  }
}

TEST_F(CommandsTest, SaveAsAsksBeforeReplacingAnotherFile) {
  WriteFile(data + "walk.ini", "[SETTINGS]\r\n");
  WriteFile(data + "other.ini", "[SETTINGS]\r\nMode=T\r\n");
  Start(data + "walk.ini");
  struct Row {
    std::string chosen;
    std::deque<Button> answers;
    SaveOutcome outcome;
    std::size_t questions;
    const char* reason;
  } rows[] = {
      {data + "other.ini", {Button::Cancel}, SaveOutcome::NotSaved, 1, "another file, cancelled"},
      {data + "other.ini", {Button::Yes}, SaveOutcome::Saved, 1, "another file, confirmed"},
      {data + "walk.ini", {}, SaveOutcome::Saved, 0, "the current file asks nothing"},
      {data + "new.ini", {}, SaveOutcome::Saved, 0, "a new file asks nothing"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    state.settingsFile = data + "walk.ini";
    ui.questions.clear();
    ui.answers = row.answers;
    ui.fileChoices = {row.chosen};
    ui.fileRequests.clear();
    EXPECT_EQ(SaveSettingsAsCommand(state, ui), row.outcome);
    EXPECT_EQ(ui.fileRequests.at(0).fileName, data + "walk") << "proposed without its extension";
    ASSERT_EQ(ui.questions.size(), row.questions);
    if (row.questions > 0) {
      ExpectQuestion(0, "Overwrite existing settings file? ", {Button::Yes, Button::Cancel});
    }
    EXPECT_EQ(state.settingsFile, row.outcome == SaveOutcome::Saved ? row.chosen : data + "walk.ini");
  }
}

TEST_F(CommandsTest, SavingTakesOverTheEditsAndTheColumnWidths) {
  Start();
  LoadSourceFileWithOffer(state, ui, data + "walk.txt");
  state.edits.idPrefix = "PT";
  state.edits.defaultZone = "31UABC";
  state.displayedWidths[2] = 123;
  ASSERT_EQ(SaveSettingsTo(state, ui, data + "s.ini"), SaveOutcome::Saved);
  const std::string text = ReadFile(data + "s.ini");
  EXPECT_NE(text.find("WptIDPrefix=PT\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("DefaultZone=31UAB\r\n"), std::string::npos) << "at most 5 characters";
  EXPECT_NE(text.find("Columns=\"_ /100\",__/123,"), std::string::npos) << text;
  EXPECT_FALSE(state.settingsChanged);
}

TEST_F(CommandsTest, AFailedSaveKeepsTheChangedStateAndTheFile) {
  WriteFile(data + "walk.ini", "[SETTINGS]\r\n");
  Start(data + "walk.ini");
  WriteFile(root + "/blocker", "a file");
  state.settingsChanged = true;
  EXPECT_EQ(SaveSettingsTo(state, ui, root + "/blocker/s.ini"), SaveOutcome::Failed);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Unable to write to " + root + "/blocker/s.ini"});
  EXPECT_TRUE(state.settingsChanged);
  EXPECT_EQ(state.settingsFile, data + "walk.ini");
  EXPECT_FALSE(state.settingsOpenedOrSaved);
}

TEST_F(CommandsTest, OpenSettingsLoadsOrChangesNothing) {
  WriteFile(data + "walk.ini", "[SETTINGS]\r\nMode=R\r\nWptIDPrefix=WK\r\n");
  WriteFile(data + "other.ini", "[SETTINGS]\r\nMode=T\r\n");
  Start(data + "other.ini");
  ui.answers = {Button::No};  // the offer of walk.ini
  LoadSourceFileWithOffer(state, ui, data + "walk.txt");
  state.settingsChanged = true;

  ui.fileChoices = {std::nullopt};
  OpenSettingsCommand(state, ui);
  EXPECT_EQ(ui.fileRequests.at(0).filter, "Ini files|*.ini");
  EXPECT_EQ(ui.fileRequests.at(0).initialFolder, data);
  EXPECT_EQ(ui.fileRequests.at(0).fileName, "other.ini");
  EXPECT_EQ(state.settingsFile, data + "other.ini");
  EXPECT_TRUE(state.settingsChanged) << "cancelling changes nothing";
  EXPECT_TRUE(ui.messages.empty());

  ui.fileChoices = {data + "walk.ini"};
  OpenSettingsCommand(state, ui);
  EXPECT_EQ(state.settingsFile, data + "walk.ini");
  EXPECT_EQ(state.settings.mode, 'R');
  EXPECT_EQ(state.edits.idPrefix, "WK");
  EXPECT_FALSE(state.settingsChanged);
  EXPECT_TRUE(state.settingsOpenedOrSaved);
  EXPECT_TRUE(state.settingsAssociated) << "walk.ini belongs to walk.txt";

  ui.fileChoices = {data + "vanished.ini"};
  OpenSettingsCommand(state, ui);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Settings file: " + data + "vanished.ini does not exist."});
  EXPECT_EQ(state.settingsFile, "");
  EXPECT_EQ(SettingsFileLabel(state), "Settings File = (None)");
  EXPECT_FALSE(state.settingsAssociated);
}

TEST_F(CommandsTest, NoSettingsFileForgetsTheNameOnly) {
  WriteFile(data + "walk.ini", "[SETTINGS]\r\nMode=R\r\n");
  Start(data + "walk.ini");
  ASSERT_EQ(SaveSettingsTo(state, ui, data + "walk.ini"), SaveOutcome::Saved);
  state.settingsChanged = true;
  NoSettingsFileCommand(state);
  EXPECT_EQ(state.settingsFile, "");
  EXPECT_FALSE(state.settingsOpenedOrSaved);
  EXPECT_TRUE(state.settingsChanged);
  EXPECT_EQ(state.settings.mode, 'R');
  EXPECT_EQ(SettingsFileLabel(state), "Settings File = (None)");
}

TEST_F(CommandsTest, TheAssociatedSettingsFileIsOfferedForANewSourceFile) {
  WriteFile(data + "walk.ini", "[SETTINGS]\r\nMode=R\r\nColumns=I_/60,KD/90,LD/90\r\n");
  WriteFile(data + "t.abcdefgh", "B1,1,2\r\n");
  WriteFile(data + "t.ab.ini", "[SETTINGS]\r\nMode=T\r\n");
  Start();

  ui.answers = {Button::No};
  LoadSourceFileWithOffer(state, ui, data + "walk.txt");
  ExpectQuestion(0, "Associated Settings file exists.\r\n" + data +
                        "walk.ini\r\nDo you wish to load this?",
                 {Button::Yes, Button::No});
  EXPECT_EQ(ui.questions[0].preferred, Button::Yes) << "unchanged settings: loading loses nothing";
  EXPECT_EQ(state.settingsFile, "");
  EXPECT_EQ(state.settings.mode, 'W');
  EXPECT_EQ(state.sourceFile, data + "walk.txt") << "the source file loads anyway";

  LoadSourceFileWithOffer(state, ui, data + "walk.txt");
  EXPECT_EQ(ui.questions.size(), 1u) << "a reload makes no offer";

  state.settingsChanged = true;
  ui.answers = {Button::Yes};
  LoadSourceFileWithOffer(state, ui, data + "t.abcdefgh");
  EXPECT_EQ(ui.questions[1].preferred, Button::No) << "Enter must not drop changed settings";
  ExpectQuestion(1, "Associated Settings file exists.\r\n" + data +
                        "t.ab.ini\r\nDo you wish to load this?",
                 {Button::Yes, Button::No});
  EXPECT_EQ(state.settingsFile, data + "t.ab.ini");
  EXPECT_EQ(state.settings.mode, 'T');
  EXPECT_TRUE(state.settingsAssociated);
  EXPECT_FALSE(state.settingsChanged);
  EXPECT_EQ(state.sourceFile, data + "t.abcdefgh");

  state.settingsChanged = true;
  EXPECT_EQ(SaveSettingsCommand(state, ui), SaveOutcome::Saved);
  EXPECT_EQ(ui.questions.size(), 2u) << "the associated file is overwritten without a question";

  ui.answers = {Button::Yes};
  LoadSourceFileWithOffer(state, ui, data + "walk.txt");
  EXPECT_EQ(state.settingsFile, data + "walk.ini");
  EXPECT_EQ(state.table.Cell(3, 2), "-3.1");
  EXPECT_EQ(state.settings.columns.entries[2].code, "KD");

  ui.answers = {Button::No};
  LoadSourceFileWithOffer(state, ui, data + "t.abcdefgh");
  EXPECT_EQ(ui.questions.size(), 4u) << "t.ab.ini is no longer current: offered again";
  LoadSourceFileWithOffer(state, ui, data + "walk.txt");
  EXPECT_EQ(ui.questions.size(), 4u) << "walk.ini is current: no offer";
  EXPECT_TRUE(state.settingsAssociated);
}

TEST_F(CommandsTest, TheCloseQuery) {
  const std::string question = "The settings have changed. Save settings in file: walk.ini?";
  struct Row {
    bool named;
    bool changed;
    int widenColumn;  // 0: none
    std::deque<Button> answers;
    bool closes;
    std::size_t questions;
    bool written;
    const char* reason;
  } rows[] = {
      {true, false, 0, {}, true, 0, false, "nothing changed"},
      {false, true, 0, {}, true, 0, false, "changed, but no settings file"},
      {true, true, 0, {Button::Cancel}, false, 1, false, "Cancel keeps the window open"},
      {true, true, 0, {Button::No}, true, 1, false, "No closes without saving"},
      {true, true, 0, {Button::Yes, Button::Yes}, true, 2, true,
       "Yes saves, with the first save's own question"},
      {true, false, 2, {Button::Cancel}, false, 1, false, "a widened column counts as a change"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    Restart(row.named ? data + "walk.ini" : "");
    LoadSourceFile(state, ui, data + "walk.txt");
    state.settingsChanged = row.changed;
    if (row.widenColumn > 0) state.displayedWidths[row.widenColumn] += 40;
    ui.answers = row.answers;

    EXPECT_EQ(ConfirmClose(state, ui), row.closes);
    ASSERT_EQ(ui.questions.size(), row.questions);
    if (row.questions > 0) ExpectQuestion(0, question, {Button::Yes, Button::No, Button::Cancel});
    EXPECT_EQ(WalkIniWritten(), row.written);
  }
}

TEST_F(CommandsTest, ACloseWhoseSaveFailsStaysOpen) {
  WriteFile(data + "walk.ini", "[SETTINGS]\r\n");
  Start(data + "walk.ini");
  std::filesystem::remove(data + "walk.ini");
  std::filesystem::create_directories(data + "walk.ini/");  // a folder where the file was
  state.settingsChanged = true;
  ui.answers = {Button::Yes};
  EXPECT_FALSE(ConfirmClose(state, ui));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Unable to write to " + data + "walk.ini"});
  EXPECT_TRUE(state.settingsChanged);
}

TEST_F(CommandsTest, OpenDialogFilterFollowsTheLastFile) {
  WriteFile(data + "points.csv", "1,2\r\n");
  WriteFile(data + "points.dat", "1,2\r\n");
  Start();
  struct Row {
    std::optional<std::string> chosen;
    std::string filter;
    int filterIndex;
    std::string folder, name;
    const char* reason;
  } rows[] = {
      {data + "points.csv", "Text (txt)|*.txt|CSV (csv)|*.csv|All files (*.*)|*.*", 1, "", "",
       "no last file: .txt"},
      {data + "points.dat", "Text (txt)|*.txt|CSV (csv)|*.csv|All files (*.*)|*.*", 2, data,
       "points.csv", "the last file's .csv"},
      {std::nullopt, "(*.dat)|*.dat|Text (txt)|*.txt|CSV (csv)|*.csv|All files (*.*)|*.*", 1, data,
       "points.dat", "an unknown extension goes first"},
      {std::nullopt, "Text (txt)|*.txt|CSV (csv)|*.csv|All files (*.*)|*.*|(*.dat)|*.dat", 4, data,
       "points.dat", "then it is found where the list holds it"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    ui.fileRequests.clear();
    ui.fileChoices = {row.chosen};
    OpenSourceCommand(state, ui);
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    EXPECT_EQ(ui.fileRequests[0].filter, row.filter);
    EXPECT_EQ(ui.fileRequests[0].filterIndex, row.filterIndex);
    EXPECT_EQ(ui.fileRequests[0].initialFolder, row.folder);
    EXPECT_EQ(ui.fileRequests[0].fileName, row.name);
    if (row.chosen) {
      EXPECT_EQ(state.sourceFile, *row.chosen);
    }
  }
  EXPECT_TRUE(ui.messages.empty());

  OpenRecentFile(state, ui, 1);
  EXPECT_EQ(state.sourceFile, data + "points.csv");
  EXPECT_EQ(state.recent.files,
            (std::vector<std::string>{data + "points.csv", data + "points.dat"}));
  OpenRecentFile(state, ui, 2);  // no such entry
  EXPECT_EQ(state.sourceFile, data + "points.csv");
  state.recent.lastFile = data + "points.dat";
  OpenLastFile(state, ui);
  EXPECT_EQ(state.sourceFile, data + "points.dat");
}

}  // namespace
}  // namespace zevi
