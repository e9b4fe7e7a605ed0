#include <gtest/gtest.h>

#include "settings/files.h"
#include "settings/recent.h"

namespace zevi {
namespace {

struct PathRow {
  std::string path;
  std::string stripped, folder, name, extension;
  const char* reason;
};

TEST(PathTexts, SplitAndStrip) {
  const PathRow rows[] = {
      {"/d/track.txt", "/d/track", "/d/", "track.txt", ".txt", "plain"},
      {"/d/track", "/d/track", "/d/", "track", "", "no extension"},
      {"/d.x/track", "/d.x/track", "/d.x/", "track", "", "a dot in a folder is no extension"},
      {"/d/a.b.csv", "/d/a.b", "/d/", "a.b.csv", ".csv", "the last dot counts"},
      {"/d/t.abcde", "/d/t", "/d/", "t.abcde", ".abcde", "six with the dot: all removed"},
      {"/d/t.abcdefgh", "/d/t.ab", "/d/", "t.abcdefgh", ".abcdefgh", "at most six removed"},
      {"/d/.hidden", "/d/.", "/d/", ".hidden", ".hidden", "a leading dot starts the extension, seven long"},
      {"/d/t.", "/d/t", "/d/", "t.", ".", "a bare dot"},
      {"track.txt", "track", "", "track.txt", ".txt", "no folder"},
      {"/", "/", "/", "", "", "the root"},
      {"", "", "", "", "", "empty"},
      {"C:\\d\\t.txt", "C:\\d\\t", "", "C:\\d\\t.txt", ".txt", "'\\' is no separator here"},
  };
  for (const PathRow& row : rows) {
    SCOPED_TRACE(row.reason);
    EXPECT_EQ(StripExtension(row.path), row.stripped);
    EXPECT_EQ(FolderOf(row.path), row.folder);
    EXPECT_EQ(FileNameOf(row.path), row.name);
    EXPECT_EQ(ExtensionOf(row.path), row.extension);
  }
}

std::vector<std::string> InitialSourceFilters() {
  return {"Text (txt)|*.txt", "CSV (csv)|*.csv", "All files (*.*)|*.*"};
}
const std::string kInitialFilterText = "Text (txt)|*.txt|CSV (csv)|*.csv|All files (*.*)|*.*";

TEST(DialogFilter, FindsKnownExtensionsInAnyCase) {
  struct Row {
    std::string extension;
    int index;
    const char* reason;
  } rows[] = {
      {".CSV", 1, "case does not matter"},
      {".txt", 0, "first entry"},
      {"", -1, "no extension, nothing added"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    std::vector<std::string> list = InitialSourceFilters();
    DialogFilter filter = BuildDialogFilter(row.extension, list);
    EXPECT_EQ(filter.text, kInitialFilterText);
    EXPECT_EQ(filter.index, row.index);
    EXPECT_EQ(list, InitialSourceFilters());
  }
}

TEST(DialogFilter, PatternsAreSplitAndComparedOnSevenCharacters) {
  std::vector<std::string> list = {"Logs|*.log;*.trackfile", "Other|*.xyz",
                                   "Also logs|*.LOG"};
  EXPECT_EQ(BuildDialogFilter(".log", list).index, 2) << "the last matching entry";
  EXPECT_EQ(BuildDialogFilter(".track", list).index, 0) << "*.TRACK matches *.trackfile cut to 7";
  EXPECT_EQ(BuildDialogFilter(".trackfile", list).index, 0);

  std::vector<std::string> longList = {std::string(70, 'D') + "|*.txt"};
  EXPECT_EQ(BuildDialogFilter(".txt", longList).text, std::string(60, 'D'))
      << "entries are cut to 60 characters";
}

TEST(DialogFilter, ExtensionsThatWouldBreakTheFilterAreNotAdded) {
  std::vector<std::string> list = InitialSourceFilters();
  DialogFilter filter = BuildDialogFilter(".a|b", list);
  EXPECT_EQ(filter.index, -1);
  EXPECT_EQ(filter.text, kInitialFilterText);
  EXPECT_EQ(list, InitialSourceFilters());
}

TEST(RecentFiles, MoveToFrontAndKeepTen) {
  RecentFiles recent;
  for (int i = 1; i <= 10; ++i) AddRecentFile(recent, "/d/f" + std::to_string(i) + ".txt");
  ASSERT_EQ(recent.files.size(), 10u);
  EXPECT_EQ(recent.files.front(), "/d/f10.txt");
  EXPECT_EQ(recent.files.back(), "/d/f1.txt") << "the tenth entry is kept";

  AddRecentFile(recent, "/d/f8.txt");  // third in the list
  std::vector<std::string> expected = {"/d/f8.txt", "/d/f10.txt", "/d/f9.txt", "/d/f7.txt",
                                       "/d/f6.txt", "/d/f5.txt", "/d/f4.txt", "/d/f3.txt",
                                       "/d/f2.txt", "/d/f1.txt"};
  EXPECT_EQ(recent.files, expected);

  AddRecentFile(recent, "/e/new.csv");
  EXPECT_EQ(recent.files.size(), 10u);
  EXPECT_EQ(recent.files.front(), "/e/new.csv");
  EXPECT_EQ(recent.files.back(), "/d/f2.txt") << "the oldest dropped";
  EXPECT_EQ(recent.lastFile, "/e/new.csv");
  EXPECT_EQ(recent.lastFolder, "/e/");

  AddRecentFile(recent, "/D/F8.TXT");
  EXPECT_EQ(recent.files[0], "/D/F8.TXT");
  EXPECT_EQ(recent.files[2], "/d/f8.txt") << "comparison is case-sensitive";

  AddRecentFile(recent, "");
  EXPECT_EQ(recent.files[0], "/D/F8.TXT") << "an empty path adds nothing";
}

TEST(RecentFiles, DisplayNames) {
  const std::string path41 = "/data/gps/2023/summer/walks/coast/aa.txt";  // 40
  ASSERT_EQ(path41.size(), 40u);
  struct Row {
    std::string path, lastFolder, shown;
    const char* reason;
  } rows[] = {
      {"/d/a.txt", "/d/", "a.txt", "in the last folder"},
      {"/d/a.txt", "/e/", "/d/a.txt", "short path elsewhere"},
      {path41, "/", path41, "40 characters shown whole"},
      {path41 + "x", "/", "/da...ps/2023/summer/walks/coast/aa.txtx", "41 characters shortened"},
      {"/d/sub/a.txt", "/d/", "/d/sub/a.txt", "a subfolder is not the folder"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    EXPECT_EQ(RecentDisplayName(row.path, row.lastFolder), row.shown);
    EXPECT_LE(RecentDisplayName(row.path, row.lastFolder).size(), 40u);
  }
}

TEST(RecentFiles, MenuShowsNineWithAccessKeys) {
  RecentFiles recent;
  for (int i = 1; i <= 10; ++i) AddRecentFile(recent, "/d/f" + std::to_string(i) + ".txt");
  AddRecentFile(recent, "/e/R&D.txt");
  std::vector<std::string> captions = RecentMenuCaptions(recent);
  ASSERT_EQ(captions.size(), 9u);
  EXPECT_EQ(captions[0], "&1 R&&D.txt");
  EXPECT_EQ(captions[1], "&2 /d/f10.txt");
  EXPECT_EQ(captions[8], "&9 /d/f3.txt");

  RecentFiles two;
  AddRecentFile(two, "/d/a.txt");
  AddRecentFile(two, "/d/b.txt");
  captions = RecentMenuCaptions(two);
  EXPECT_EQ(captions[0], "&1 b.txt");
  EXPECT_EQ(captions[1], "&2 a.txt");
  for (int i = 2; i < 9; ++i) EXPECT_EQ(captions[i], "") << "entry " << i << " hidden";
}

}  // namespace
}  // namespace zevi
