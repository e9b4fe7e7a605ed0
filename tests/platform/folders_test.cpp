#include "platform/folders.h"

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/persist_fixture.h"

namespace zevi {
namespace {

using testing::TemporaryHome;

class FoldersTest : public TemporaryHome {};

struct FolderRow {
  std::optional<std::string> home;
  std::optional<std::string> configHome;
  std::optional<std::string> documentsDir;
  std::string userDirs;       // text of $XDG_CONFIG_HOME/user-dirs.dirs, empty: none
  std::string appData;        // expected, "~" standing for the temporary root
  std::string documents;
  const char* reason;
};

std::string Expand(const std::string& text, const std::string& root) {
  return !text.empty() && text[0] == '~' ? root + text.substr(1) : text;
}

TEST_F(FoldersTest, SpecialFoldersFollowTheXdgVariables) {
  const FolderRow rows[] = {
      {"~/h", "~/cfg", std::nullopt, "", "~/cfg", "~/h/Documents", "plain home"},
      {"~/h", std::nullopt, std::nullopt, "", "~/h/.config", "~/h/Documents", "no XDG_CONFIG_HOME"},
      {"~/h", "relative/cfg", std::nullopt, "", "~/h/.config", "~/h/Documents",
       "a relative XDG_CONFIG_HOME is ignored"},
      {"~/h/", "~/cfg/", std::nullopt, "", "~/cfg", "~/h/Documents", "trailing slashes dropped"},
      {"~/h", "~/cfg", "~/Docs", "", "~/cfg", "~/Docs", "XDG_DOCUMENTS_DIR wins"},
      {"~/h", "~/cfg", std::nullopt, "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n",
       "~/cfg", "~/h/Dokumente", "user-dirs.dirs with $HOME"},
      {"~/h", "~/cfg", std::nullopt, "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\r\nXDG_DOCUMENTS_DIR=\"~/abs\"\r\n",
       "~/cfg", "~/abs", "user-dirs.dirs with an absolute path and CR LF"},
      {"~/h", "~/cfg", std::nullopt, "XDG_DOCUMENTS_DIR=\"Docs\"\n", "~/cfg", "~/h/Documents",
       "a relative entry is invalid"},
      {std::nullopt, std::nullopt, std::nullopt, "", "", "", "nothing known"},
  };
  for (const FolderRow& row : rows) {
    SCOPED_TRACE(row.reason);
    testing::ScopedEnvironment local;
    auto expand = [&](const std::optional<std::string>& v) {
      return v ? std::optional<std::string>(Expand(*v, root)) : std::nullopt;
    };
    local.Set("HOME", expand(row.home));
    local.Set("XDG_CONFIG_HOME", expand(row.configHome));
    local.Set("XDG_DOCUMENTS_DIR", expand(row.documentsDir));
    std::filesystem::remove_all(root + "/cfg");
    if (!row.userDirs.empty()) {
      std::string text = row.userDirs;
      std::size_t tilde = text.find("\"~");
      if (tilde != std::string::npos) text.replace(tilde + 1, 1, root);
      WriteFile(root + "/cfg/user-dirs.dirs", text);
    }
    EXPECT_EQ(ApplicationDataFolder(), Expand(row.appData, root));
    EXPECT_EQ(PersonalDocumentsFolder(), Expand(row.documents, root));
  }
}

TEST_F(FoldersTest, ForceFolderCreatesParentsAndFailsOnAFile) {
  EXPECT_TRUE(ForceFolder(root + "/a/b/c"));
  EXPECT_TRUE(FolderExists(root + "/a/b/c"));
  EXPECT_TRUE(ForceFolder(root + "/a/b/c"));  // already there

  WriteFile(root + "/plain", "x");
  EXPECT_FALSE(ForceFolder(root + "/plain"));
  EXPECT_FALSE(ForceFolder(root + "/plain/sub"));
  EXPECT_FALSE(ForceFolder(""));
}

TEST_F(FoldersTest, FileExistsIsFalseForFolders) {
  WriteFile(root + "/f.txt", "x");
  EXPECT_TRUE(FileExists(root + "/f.txt"));
  EXPECT_FALSE(FileExists(root));
  EXPECT_FALSE(FileExists(root + "/missing.txt"));
  EXPECT_FALSE(FileExists(""));
}

TEST_F(FoldersTest, ReadOnlyFollowsTheOwnersWriteBit) {
  const std::string path = root + "/f.txt";
  WriteFile(path, "x");
  EXPECT_FALSE(IsReadOnly(path));
  ::chmod(path.c_str(), 0444);
  EXPECT_TRUE(IsReadOnly(path));  // also when the tests run as root
  EXPECT_FALSE(IsReadOnly(root + "/missing.txt"));
}

struct ProgramFolderRow {
  std::vector<std::string> files;    // created under the temporary root, "/" ending a folder
  std::string programFile;           // under the root unless it is empty or has no '/'
  std::string expected;              // "~" standing for the temporary root
  const char* reason;
};

TEST_F(FoldersTest, ProgramFolderFindsTheListsBesideOrInTheInstalledTree) {
  const ProgramFolderRow rows[] = {
      {{"build/bin/datums.txt"}, "~/build/bin/zevi-convert", "~/build/bin/", "the build tree"},
      {{"usr/bin/", "usr/share/zevi-fileconv/datums.txt"}, "~/usr/bin/zevi-convert",
       "~/usr/share/zevi-fileconv/", "an installed tree"},
      {{"moved/to/here/bin/", "moved/to/here/share/zevi-fileconv/datums.txt"},
       "~/moved/to/here/bin/zevi-fileconv", "~/moved/to/here/share/zevi-fileconv/",
       "a tree moved to another prefix"},
      {{"p/bin/datums.txt", "p/share/zevi-fileconv/datums.txt"}, "~/p/bin/zevi-convert", "~/p/bin/",
       "a copy beside the program wins over the installed one"},
      {{"p/bin/basegrids.txt", "p/share/zevi-fileconv/datums.txt"}, "~/p/bin/zevi-convert",
       "~/p/share/zevi-fileconv/", "only the datum list marks the folder beside"},
      {{"p/bin/", "p/share/zevi-fileconv/"}, "~/p/bin/zevi-convert", "~/p/share/zevi-fileconv/",
       "an installed tree that lost its lists still names its data folder"},
      {{"p/bin/", "p/share/other/datums.txt"}, "~/p/bin/zevi-convert", "~/p/bin/",
       "no data folder: the program's own folder"},
      {{"p/bin/", "p/share/zevi-fileconv"}, "~/p/bin/zevi-convert", "~/p/bin/",
       "a file in place of the data folder"},
      {{}, "zevi-convert", "./", "a bare program name"},
      {{}, "", "", "an unknown program file"},
  };
  for (const ProgramFolderRow& row : rows) {
    SCOPED_TRACE(row.reason);
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    for (const std::string& file : row.files) {
      if (file.back() == '/') std::filesystem::create_directories(root + "/" + file);
      else WriteFile(root + "/" + file, "M E WGS 84\n");
    }
    EXPECT_EQ(ProgramFolder(Expand(row.programFile, root), "datums.txt"), Expand(row.expected, root));
  }
}

TEST(ProgramFile, IsThisTestProgram) {
  std::string path = ProgramFilePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_NE(path.find("zevi_platform_tests"), std::string::npos) << path;
}

}  // namespace
}  // namespace zevi
