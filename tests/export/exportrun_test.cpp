// The export command: target proposal, overwrite and read-only targets, the
// position questions, the symbol-set refusal and failed writes.
#include "export/exportrun.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <new>

#include "export/export_fixture.h"
#include "source/loader.h"

namespace zevi::testing {
namespace {

const std::string kPositionQuestionEnd =
    " click \"NO\".\r\n\r\nDo you want to continue but using a default coordinate?";

TEST(ProposedExportExtensionTest, GpsOnlyForTxtSources) {
  const std::pair<const char*, const char*> rows[] = {
      {"/data/track.txt", ".gps"}, {"/data/track.TXT", ".gps"}, {"/data/track.Txt", ".gps"},
      {"/data/track.csv", ".txt"}, {"/data/track", ".txt"},     {"/data.txt/track", ".txt"},
      {"/data/track.gps", ".txt"},
  };
  for (const auto& [source, extension] : rows) {
    EXPECT_EQ(ProposedExportExtension(source), extension) << source;
  }
}

class ExportRunTest : public ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    Columns({"I_", "KD", "LD"});
    Fill({{"A", "1", "2"}});
  }
  static constexpr const char* kRecordA = "W A        1.000000    2.000000 I\r\n";
};

TEST_F(ExportRunTest, NoFileLoaded) {
  state.sourceFile.clear();
  ExportCommand(state, ui);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"No file loaded\r\nOpen a file with File > Open... or drop it on the window"});
  EXPECT_TRUE(ui.fileRequests.empty());
}

TEST_F(ExportRunTest, SaveDialogProposal) {
  struct Row {
    std::string source;
    std::string fileName, defaultExtension;
    int filterIndex;
  };
  const Row rows[] = {
      {"track.TXT", "track", "gps", 2},
      {"track.csv", "track", "txt", 1},
      {"track", "track", "txt", 1},
  };
  for (const Row& row : rows) {
    state.sourceFile = Path(row.source);
    state.lastExportFolder.clear();
    ui.fileRequests.clear();
    ExportCommand(state, ui);  // cancelled
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    const FileDialogRequest& request = ui.fileRequests[0];
    EXPECT_EQ(request.fileName, row.fileName) << row.source;
    EXPECT_EQ(request.defaultExtension, row.defaultExtension) << row.source;
    EXPECT_EQ(request.filter, "Text (txt)|*.txt|GPS (gps)|*.gps") << row.source;
    EXPECT_EQ(request.filterIndex, row.filterIndex) << row.source;
    EXPECT_EQ(request.initialFolder, folder.string() + "/") << "the source folder at first";
  }
}

TEST_F(ExportRunTest, LastExportFolderFollowsTheTarget) {
  std::filesystem::create_directories(folder / "out");
  ui.fileChoices = {Path("out/a.gps"), std::nullopt};
  ExportCommand(state, ui);
  EXPECT_EQ(state.lastExportFolder, Path("out") + "/");
  ExportCommand(state, ui);
  EXPECT_EQ(ui.fileRequests.back().initialFolder, Path("out") + "/");
  EXPECT_EQ(ReadFile(Path("out/a.gps")),
            LatLongHeader() + "\r\nF ID---- Latitude   Longitude   T\r\n" + kRecordA);
}

TEST_F(ExportRunTest, OverwriteQuestion) {
  struct Row {
    std::string target;
    Button answer;
    std::string question;
    bool written;
  };
  const Row rows[] = {
      {"out.gps", Button::Cancel, "Overwrite existing file? ", false},
      {"out.gps", Button::Yes, "Overwrite existing file? ", true},
      {"points.txt", Button::Yes, "Overwrite existing file? \r\n(!! SAME AS SOURCE FILE !!)", true},
      {"POINTS.TXT", Button::Cancel, "Overwrite existing file? \r\n(!! SAME AS SOURCE FILE !!)",
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.target);
    WriteFile(Path(row.target), "old content");
    WriteFile(state.sourceFile, "A,1,2");
    ui = ScriptedUi{};
    ui.fileChoices = {Path(row.target)};
    ui.answers = {row.answer};
    ExportCommand(state, ui);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, row.question);
    EXPECT_EQ(ui.questions[0].kind, MessageKind::Warning);
    EXPECT_EQ(ui.questions[0].buttons, (std::vector<Button>{Button::Yes, Button::Cancel}));
    EXPECT_EQ(ui.questions[0].helpContext, 400);
    std::string content = ReadFile(Path(row.target));
    EXPECT_EQ(content.starts_with("I ZADI 1.36\r\n"), row.written);
    EXPECT_EQ(content == "old content", !row.written);
  }
}

TEST_F(ExportRunTest, ReadOnlyTargetOpensTheDialogAgain) {
  WriteFile(Path("out.gps"), "keep me");
  std::filesystem::permissions(Path("out.gps"), std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::group_read);
  ui.fileChoices = {Path("out.gps"), std::nullopt};
  ui.answers = {Button::Yes, Button::Ok};
  ExportCommand(state, ui);
  ASSERT_EQ(ui.questions.size(), 2u);
  EXPECT_EQ(ui.questions[0].text, "Overwrite existing file? ");
  EXPECT_EQ(ui.questions[1].text, "out.gps is read only.");
  EXPECT_EQ(ui.questions[1].kind, MessageKind::Warning);
  EXPECT_EQ(ui.questions[1].buttons, std::vector<Button>{Button::Ok});
  EXPECT_EQ(ui.questions[1].helpContext, 400);
  EXPECT_EQ(ui.fileRequests.size(), 2u) << "the save dialog opens again";
  EXPECT_EQ(ReadFile(Path("out.gps")), "keep me");

  ui = ScriptedUi{};
  ui.answers = {Button::Ok};
  EXPECT_EQ(RunExport(state, ui, Path("out.gps")), ExportOutcome::Refused);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ExportRunTest, PositionQuestions) {
  struct Row {
    std::vector<const char*> codes;
    bool projected;
    Button answer;
    std::string question, recordLine;
  };
  const std::vector<Row> rows = {
      {{"I_", "KD"}, false, Button::Yes,
       "Missing Latitude/Longitude field for 'Lat/Long' grid.\r\nTo correct fields or select a Grid",
       "W A      N00.000000 E000.000000 I\r\n"},
      {{"I_", "HM", "LM"}, false, Button::Yes,
       "Missing Latitude/Longitude field for 'Lat/Long' grid.\r\nTo correct fields or select a Grid",
       "W A      N00.000000 E000.000000      1.0 I\r\n"},
      {{"I_", "E_"}, true, Button::Yes,
       "Missing Easting/Northing field for 'UTM' grid.\r\nTo correct fields or change Grid to "
       "Lat/Long",
       "W A      30U 500000 0000000 I\r\n"},
      {{"I_", "KD", "LD"}, true, Button::No,
       "Missing Easting/Northing field for 'UTM' grid.\r\nTo correct fields or change Grid to "
       "Lat/Long",
       ""},
      {{"I_", "KD"}, false, Button::No,
       "Missing Latitude/Longitude field for 'Lat/Long' grid.\r\nTo correct fields or select a Grid",
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.question);
    std::filesystem::remove(Path("out.gps"));
    state.settings.columns = ConversionSettings::DefaultColumnMap();
    Columns(row.codes);
    Fill({{"A", "1", "2"}});
    state.grid = GridState{};
    if (row.projected) ChooseGrid("UTM", 3, 6, 7);
    ui = ScriptedUi{};
    ui.answers = {row.answer};
    ExportOutcome outcome = RunExport(state, ui, Path("out.gps"));
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, row.question + kPositionQuestionEnd);
    EXPECT_EQ(ui.questions[0].kind, MessageKind::Warning);
    EXPECT_EQ(ui.questions[0].buttons, (std::vector<Button>{Button::Yes, Button::No}));
    EXPECT_EQ(ui.questions[0].helpContext, 300);
    if (row.recordLine.empty()) {
      EXPECT_EQ(outcome, ExportOutcome::Refused);
      EXPECT_FALSE(std::filesystem::exists(Path("out.gps"))) << "no file is created";
    } else {
      EXPECT_EQ(outcome, ExportOutcome::Written);
      std::string file = ReadFile(Path("out.gps"));
      EXPECT_TRUE(file.ends_with(row.recordLine)) << file;
      EXPECT_EQ(file.find("U LAT LON DM"), std::string::npos) << "default positions are degrees";
    }
  }
}

TEST_F(ExportRunTest, SymbolColumnNeedsASymbolSet) {
  Columns({"I_", "KD", "LD", "S_"});
  WriteFile(Path("out.gps"), "old content");
  EXPECT_EQ(RunExport(state, ui, Path("out.gps")), ExportOutcome::Refused);
  EXPECT_EQ(ui.messages, std::vector<std::string>{
                             "Cannot export as there is a Symbol column but no Symbol Set Type defined."});
  EXPECT_EQ(ReadFile(Path("out.gps")), "old content");
}

TEST_F(ExportRunTest, BoxesAreTakenOverWhenTheRunStarts) {
  state.edits.defaultZone = "31UVWXYZ";
  state.edits.idPrefix = "P";
  Export();
  EXPECT_EQ(state.settings.defaultZone, "31UVW");
  EXPECT_EQ(state.settings.wptIdPrefix, "P");
}

TEST_F(ExportRunTest, FailedWritesSayWhereAndWhy) {
  EXPECT_EQ(RunExport(state, ui, "/dev/full"), ExportOutcome::WriteFailed);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Error writing file\r\n/dev/full: No space left on device"});

  ui = ScriptedUi{};
  EXPECT_EQ(RunExport(state, ui, Path("no/such/folder/out.gps")), ExportOutcome::WriteFailed);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Error writing file\r\n" +
                                                  Path("no/such/folder/out.gps") +
                                                  ": No such file or directory"});
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(ExportRunTest, ReplacedTargetKeepsItsPermissionBitsAndLinks) {
  const std::string expected = LatLongHeader() + "\r\nF ID---- Latitude   Longitude   T\r\n" + kRecordA;
  struct Row {
    const char* name;
    unsigned mode;
  };
  for (const Row& row : {Row{"private.gps", 0600}, Row{"shared.gps", 0664}, Row{"run.gps", 0751}}) {
    WriteFile(Path(row.name), "old");
    ::chmod(Path(row.name).c_str(), row.mode);
    EXPECT_EQ(RunExport(state, ui, Path(row.name)), ExportOutcome::Written) << row.name;
    EXPECT_EQ(ReadFile(Path(row.name)), expected) << row.name;
    EXPECT_EQ(std::filesystem::status(Path(row.name)).permissions(), std::filesystem::perms(row.mode))
        << row.name;
  }
  // A link stays a link; the file it points to takes the output.
  std::filesystem::create_directory(folder / "real");
  WriteFile(Path("real/target.gps"), "old");
  std::filesystem::create_symlink(folder / "real/target.gps", folder / "link.gps");
  EXPECT_EQ(RunExport(state, ui, Path("link.gps")), ExportOutcome::Written);
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.gps"));
  EXPECT_EQ(ReadFile(Path("real/target.gps")), expected);
  EXPECT_EQ(FolderNames(folder / "real"), std::vector<std::string>{"target.gps"});
}

// Memory that runs out mid-export is reported, and the target stays as it was.
TEST_F(ExportRunTest, OutOfMemoryKeepsTheOldTarget) {
  Fill({{"A", "1", "2"}, {"B", "x", "2"}});
  WriteFile(Path("out.gps"), "old");
  struct ExhaustedUi : ScriptedUi {
    Button Ask(MessageKind, const std::string&, const std::vector<Button>&, int) override {
      throw std::bad_alloc();
    }
  } exhausted;
  EXPECT_EQ(RunExport(state, exhausted, Path("out.gps")), ExportOutcome::WriteFailed);
  EXPECT_EQ(exhausted.messages, std::vector<std::string>{"Out of memory"});
  EXPECT_EQ(ReadFile(Path("out.gps")), "old");
  EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"out.gps"});
}

// A batch run maps its source; if the file is cut short or rewritten during
// the export, what was read may be torn, so the target is left as it was.
TEST_F(ExportRunTest, ASourceThatChangesUnderTheExportLeavesTheTarget) {
  std::string lines;
  for (int i = 0; i < 5000; ++i) lines += "P" + std::to_string(i) + ",51.5,-1.25\r\n";
  WriteFile(Path("source.txt"), lines);
  WriteFile(Path("out.gps"), "old");
  LoadLimits limits;
  limits.mapRegularFile = true;
  state.settings.listSeparator = ',';
  LoadSourceFile(state, ui, Path("source.txt"), {}, limits);
  Columns({"I_", "KD", "LD"});
  ASSERT_EQ(RunExport(state, ui, Path("out.gps")), ExportOutcome::Written);
  const std::string written = ReadFile(Path("out.gps"));
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 5000 + 5);

  WriteFile(Path("out.gps"), "old");
  ASSERT_EQ(::truncate(Path("source.txt").c_str(), 100), 0);
  ui = ScriptedUi{};
  ui.answers = {Button::All};  // the records cut away fail
  EXPECT_EQ(RunExport(state, ui, Path("out.gps")), ExportOutcome::WriteFailed);
  EXPECT_EQ(ui.messages.back(), std::string(kSourceChangedText) + "\r\n" + Path("source.txt"));
  EXPECT_EQ(ReadFile(Path("out.gps")), "old");
  EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"out.gps", "source.txt"}));
}

// Speed is measured in bench/; this checks that a large table, which the
// export splits into blocks on two threads, comes out whole and in order.
TEST_F(ExportRunTest, MillionWaypointsExportWholeAndInOrder) {
  Columns({"I_", "KD", "LD", "HM", "C1"});
  constexpr int kRows = 1'000'000;
  const std::string_view cells[] = {"WPT12345", "51.123456", "-0.987654", "123.4", "A comment"};
  state.table.Layout(state.columnCount, kRows + 1);
  for (int r = 1; r <= kRows; ++r) state.table.FillRow(r, cells);
  ASSERT_EQ(RunExport(state, ui, Path("out.gps")), ExportOutcome::Written);
  std::string file = ReadFile(Path("out.gps"));
  EXPECT_TRUE(file.ends_with("W WPT12345  51.123456   -0.987654    123.4 I A comment\r\n"));
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), kRows + 5);
}

}  // namespace
}  // namespace zevi::testing
