#include "platform/ini.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zevi {
namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "zevi-ini-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename());
    return names;
  }

 private:
  fs::path path_;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

IniFile FromText(const std::string& text) {
  IniFile file;
  file.SetText(text);
  return file;
}

TEST(IniFile, NamesCompareWithoutCaseAndBlanksAroundNamesAndValuesDoNotCount) {
  IniFile file = FromText("[Settings]\nMODE = T\n; Grid=comment\n[Other]\nmode=R\n");
  struct Row {
    const char* section;
    const char* key;
    const char* expected;
    const char* reason;
  };
  const Row rows[] = {
      {"SETTINGS", "Mode", "T", "section and key in other letter cases"},
      {"settings", "mode", "T", "lower case"},
      {"Other", "Mode", "R", "same key in another section"},
      {"SETTINGS", "Grid", "?", "a comment line holds no key"},
      {"Missing", "Mode", "?", "missing section gives the fallback"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(file.Get(row.section, row.key, "?"), row.expected) << row.reason;
    EXPECT_EQ(file.Has(row.section, row.key), std::string(row.expected) != "?") << row.reason;
  }
}

TEST(IniFile, EmptyValueIsPresentAndDoesNotGiveTheFallback) {
  IniFile file = FromText("[S]\nDatum=\n");
  EXPECT_TRUE(file.Has("S", "Datum"));
  EXPECT_EQ(file.Get("S", "Datum", "WGS 84"), "");
}

TEST(IniFile, ValuesAreCutTo1023Characters) {
  std::string longValue(1500, 'x');
  IniFile file = FromText("[S]\nKey=" + longValue + "\r\n");
  EXPECT_EQ(file.Get("S", "Key"), std::string(1023, 'x'));
}

TEST(IniFile, SetReplacesOnlyItsKeyAndKeepsEveryOtherLine) {
  IniFile file = FromText(
      "; written by hand\r\n[MAIN]\r\nWBounds=1 2 3 4\r\n\r\n[settings]\r\nmode=W\r\n"
      "Extra = kept  as is\r\n\r\n[FILES]\r\nRecentFile0=/a.txt\r\n");
  file.Set("SETTINGS", "Mode", "T");
  file.Set("SETTINGS", "Grid", "UTM");
  file.Set("GENERAL", "SettingsFile", "/b.ini");
  EXPECT_EQ(file.Text(),
            "; written by hand\r\n[MAIN]\r\nWBounds=1 2 3 4\r\n\r\n[settings]\r\nMode=T\r\n"
            "Extra = kept  as is\r\nGrid=UTM\r\n\r\n[FILES]\r\nRecentFile0=/a.txt\r\n"
            "[GENERAL]\r\nSettingsFile=/b.ini\r\n");
}

TEST(IniFile, SetKeepsAValueOnOneLine) {
  IniFile file;
  file.Set("S", "Key", "first\r\nOther=injected");
  EXPECT_EQ(file.Text(), "[S]\r\nKey=first\r\n");
}

TEST(IniFile, EraseSectionRemovesEveryCopyOfItAndNothingElse) {
  IniFile file = FromText("[A]\nx=1\n[files]\nRecentFile0=a\n[B]\ny=2\n[FILES]\nRecentFile1=b\n");
  file.EraseSection("FILES");
  EXPECT_EQ(file.Text(), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
  file.Set("FILES", "RecentFile0", "c");
  EXPECT_EQ(file.Get("files", "recentfile0"), "c");
}

TEST(IniFile, EraseKeyRemovesEveryCopyInEveryCopyOfTheSectionOnly) {
  IniFile file = FromText(
      "[FILES]\nRecentFile0=a\nPinned=p\nrecentfile0=b\n[Other]\nRecentFile0=kept\n"
      "[files]\n; RecentFile0=comment\nRecentFile0=c\nRecentFile1=d\n");
  file.EraseKey("Files", "RECENTFILE0");
  EXPECT_EQ(file.Text(),
            "[FILES]\r\nPinned=p\r\n[Other]\r\nRecentFile0=kept\r\n"
            "[files]\r\n; RecentFile0=comment\r\nRecentFile1=d\r\n");
}

TEST(IniFile, ReadsLfAndCrLfLinesAndWritesCrLf) {
  TempFolder folder;
  const std::string path = folder.File("mixed.ini");
  WriteBytes(path, "[S]\nA=1\r\nB=2");
  IniFile file(path);
  ASSERT_TRUE(file.Load());
  EXPECT_EQ(file.Get("S", "A"), "1");
  EXPECT_EQ(file.Get("S", "B"), "2");
  ASSERT_TRUE(file.Save());
  EXPECT_EQ(ReadBytes(path), "[S]\r\nA=1\r\nB=2\r\n");
}

TEST(IniFile, SingleByteTextSurvivesSaveAndLoad) {
  TempFolder folder;
  const std::string path = folder.File("bytes.ini");
  IniFile file(path);
  file.Set("SETTINGS", "Separators", "\xB6.:");
  file.Set("SETTINGS", "Other", "\xA5,\xE9\xFC\x80");
  ASSERT_TRUE(file.Save());
  EXPECT_EQ(ReadBytes(path), "[SETTINGS]\r\nSeparators=\xB6.:\r\nOther=\xA5,\xE9\xFC\x80\r\n");
  IniFile again(path);
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Get("settings", "separators"), "\xB6.:");
  EXPECT_EQ(again.Get("SETTINGS", "Other"), "\xA5,\xE9\xFC\x80");
}

TEST(IniFile, MissingFileLoadsEmptyAndFolderFailsToLoad) {
  TempFolder folder;
  IniFile missing(folder.File("none.ini"));
  EXPECT_TRUE(missing.Load());
  EXPECT_EQ(missing.Text(), "");
  IniFile directory(folder.File(""));
  EXPECT_FALSE(directory.Load());
}

TEST(IniFile, SaveLeavesNoTemporaryFileAndKeepsThePermissions) {
  TempFolder folder;
  const std::string path = folder.File("kept.ini");
  WriteBytes(path, "[S]\r\nA=1\r\n");
  ::chmod(path.c_str(), 0640);
  IniFile file(path);
  ASSERT_TRUE(file.Load());
  file.Set("S", "A", "2");
  ASSERT_TRUE(file.Save());
  EXPECT_EQ(ReadBytes(path), "[S]\r\nA=2\r\n");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"kept.ini"});
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(IniFile, SaveFailsWhereNothingCanBeWritten) {
  TempFolder folder;
  struct Row {
    std::string path;
    const char* reason;
  };
  const Row rows[] = {
      {"", "no path"},
      {folder.File("no-such-folder/a.ini"), "missing folder"},
      {folder.File(""), "a folder in place of the file"},
      {"/dev/full", "a device whose writes fail"},
  };
  for (const Row& row : rows) {
    IniFile file(row.path);
    file.Set("S", "A", "1");
    EXPECT_FALSE(file.Save()) << row.reason;
  }
}

TEST(IniFile, FailedSaveKeepsTheOldFileWhole) {
  TempFolder folder;
  const std::string path = folder.File("old.ini");
  const std::string old = "[S]\r\nA=old\r\n";
  WriteBytes(path, old);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A file size limit makes the write fail halfway through.
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit{100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    IniFile file(path);
    file.Set("S", "A", std::string(1000, 'n'));
    ::_exit(file.Save() ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should have reported the failure";
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"old.ini"});
}

}  // namespace
}  // namespace zevi
