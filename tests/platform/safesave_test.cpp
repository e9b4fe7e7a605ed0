#include "platform/safesave.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/atomicfile.h"
#include "platform/ini.h"
#include "platform/lateclose.h"

namespace zevi {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr long kDeadPid = 99999999;  // above any pid_max

class Folder {
 public:
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "zevi-save-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    ::chmod(path_.c_str(), 0755);  // an ordinary user must reach the files below
  }
  ~Folder() {
    for (const auto& entry : fs::recursive_directory_iterator(path_))
      if (entry.is_directory() && !entry.is_symlink()) ::chmod(entry.path().c_str(), 0755);
    fs::remove_all(path_);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> Names(const std::string& sub = "") const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(sub.empty() ? path_ : File(sub)))
      names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void MakeOld(const std::string& path) {
  struct timeval times[2];
  ::gettimeofday(&times[0], nullptr);
  times[0].tv_sec -= 60 * 10;
  times[1] = times[0];
  ::utimes(path.c_str(), times);
}

// Runs `work` in a child process as an ordinary user (nobody when the tests
// run as root, who may write anything) and returns its exit status.
int AsOrdinaryUser(const std::function<int()>& work) {
  pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(99);
    }
    ::_exit(work());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

TEST(TemporaryFiles, OnlyTheNamesThisProgramMakesAreRecognised) {
  struct Row {
    const char* name;
    std::optional<long> pid;
  };
  const Row rows[] = {
      {".walk.ini.zevi-tmp-4711-0", 4711},
      {"walk.ini.~4711-12", 4711},
      {".walk.ini.zevi-tmp-4711", std::nullopt},
      {".walk.ini.zevi-tmp-47x1-0", std::nullopt},
      {".walk.ini.zevi-tmp--1-0", std::nullopt},
      {".walk.ini.zevi-tmp-4711-0~", std::nullopt},
      {".walk.INI.zevi-tmp-4711-0", std::nullopt},
      {"walk.ini.~backup", std::nullopt},
      {".walk.ini.zevi-tmp-99999999999999999999999-0", std::nullopt},
      {".xwalk.ini.zevi-tmp-4711-0", std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(TemporaryOwner(row.name, "walk.ini"), row.pid) << row.name;
  EXPECT_EQ(TemporaryName("walk.ini", 4711, 3), ".walk.ini.zevi-tmp-4711-3");
  EXPECT_EQ(TemporaryOwner(TemporaryName("rirido.ini", 12, 0), "rirido.ini"), 12);
}

TEST(TemporaryFiles, OnlyStaleOnesOfOursAreRemovedAtTheNextSave) {
  Folder folder;
  const std::string dead = std::to_string(kDeadPid);
  const std::string alive = std::to_string(::getpid());
  struct Row {
    std::string name;
    bool old;
    bool removed;
    const char* reason;
  };
  const Row rows[] = {
      {".walk.ini.zevi-tmp-" + dead + "-0", false, true, "its process is gone"},
      {"walk.ini.~" + dead + "-3", false, true, "the form earlier versions left"},
      {".walk.ini.zevi-tmp-" + alive + "-7", true, true, "older than any save takes"},
      {".walk.ini.zevi-tmp-" + alive + "-8", false, false, "a save that may still run"},
      {"walk.ini.~backup", true, false, "not a name of ours"},
      {".walk.ini.zevi-tmp-" + dead, true, false, "not a name of ours"},
      {".other.ini.zevi-tmp-" + dead + "-0", true, false, "another file's"},
  };
  for (const Row& row : rows) {
    WriteBytes(folder.File(row.name), "partial");
    if (row.old) MakeOld(folder.File(row.name));
  }
  // Names of ours on things that are not our regular files stay.
  fs::create_directory(folder.File(".walk.ini.zevi-tmp-" + dead + "-1"));
  WriteBytes(folder.File("target"), "kept");
  fs::create_symlink(folder.File("target"), folder.File(".walk.ini.zevi-tmp-" + dead + "-2"));

  IniFile file(folder.File("walk.ini"));
  file.Set("S", "A", "1");
  ASSERT_TRUE(file.Save());

  std::vector<std::string> expected = {"walk.ini", "target", ".walk.ini.zevi-tmp-" + dead + "-1",
                                       ".walk.ini.zevi-tmp-" + dead + "-2"};
  for (const Row& row : rows)
    if (!row.removed) expected.push_back(row.name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(folder.Names(), expected);
  EXPECT_EQ(ReadBytes(folder.File("target")), "kept");
  EXPECT_EQ(RemoveStaleTemporaries(folder.File("walk.ini")), 0) << "nothing stale is left";
}

TEST(TemporaryFiles, AnExportClearsTheLeftoversOfAKilledOneBesideItsTarget) {
  Folder folder;
  const std::string leftover = TemporaryName("walk.gps", kDeadPid, 0);
  WriteBytes(folder.File(leftover), "partial");
  WriteBytes(folder.File("walk.gps"), "old");
  AtomicFile target;
  ASSERT_EQ(target.Open(folder.File("walk.gps")), 0);
  ASSERT_EQ(target.Write("new"), 0);
  ASSERT_EQ(target.Commit(), 0);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"walk.gps"});
  EXPECT_EQ(ReadBytes(folder.File("walk.gps")), "new");
}

TEST(TemporaryFiles, AnotherUsersFileIsNeverRemoved) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  Folder folder;
  const std::string name = ".walk.ini.zevi-tmp-" + std::to_string(kDeadPid) + "-0";
  WriteBytes(folder.File(name), "theirs");
  ASSERT_EQ(::chown(folder.File(name).c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(RemoveStaleTemporaries(folder.File("walk.ini")), 0);
  EXPECT_EQ(ReadBytes(folder.File(name)), "theirs");
}

// What an ordinary user's save does to a file, checked for real: a rename
// would replace a read-only or unreadable file, the save must not.
TEST(SaveRefusals, AFileTheUserMayNotWriteOrCouldNotReadIsLeftAsItIs) {
  struct Row {
    const char* name;
    std::optional<mode_t> fileMode;  // none: no file yet
    mode_t folderMode;
    bool loads;
    bool saves;
  };
  const Row rows[] = {
      {"writable file", 0666, 0777, true, true},
      {"new file in a writable folder", std::nullopt, 0777, true, true},
      {"read-only file", 0444, 0777, true, false},
      {"unreadable file", 0000, 0777, false, false},
      {"new file in a read-only folder", std::nullopt, 0555, true, false},
      {"writable file in a read-only folder", 0666, 0555, true, false},
  };
  const std::string old = "[S]\r\nA=old\r\n[Unknown]\r\nB=2\r\n";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Folder folder;
    const std::string sub = folder.File("in");
    const std::string path = sub + "/walk.ini";
    fs::create_directory(sub);
    if (row.fileMode) {
      WriteBytes(path, old);
      ::chmod(path.c_str(), *row.fileMode);
    }
    ::chmod(sub.c_str(), row.folderMode);

    int status = AsOrdinaryUser([&] {
      IniFile file(path);
      bool loaded = file.Load();
      if (!loaded && file.LoadFailure() != "Permission denied") return 3;
      file.Set("S", "A", "new");
      bool saved = file.Save();
      return (loaded ? 1 : 0) | (saved ? 2 : 0);
    });
    ASSERT_NE(status, 99) << "could not become an ordinary user";
    struct stat info;
    EXPECT_EQ((status & 1) != 0, row.loads);
    EXPECT_EQ((status & 2) != 0, row.saves);
    ::chmod(sub.c_str(), 0755);
    if (row.fileMode && !row.saves) {
      EXPECT_EQ(::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 1, *row.fileMode);
      ::chmod(path.c_str(), 0644);
    }
    if (!row.saves) {
      EXPECT_EQ(fs::exists(path), row.fileMode.has_value());
      if (row.fileMode) {
        EXPECT_EQ(ReadBytes(path), old);
      }
    } else {
      EXPECT_EQ(ReadBytes(path).substr(0, 12), "[S]\r\nA=new\r\n");
    }
    EXPECT_EQ(folder.Names("in").size(), row.fileMode || row.saves ? 1u : 0u) << "no temporary left";
  }
}

}  // namespace
}  // namespace zevi

namespace zevi {
namespace {

// Stand-ins for the syncs behind the writer: plain functions, so the results
// go through globals.
std::atomic<int> stepSyncs{0};
int CountedSync(int fd) {
  ++stepSyncs;
  return BackgroundSync::SyncData(fd);
}
int FailingSync(int) {
  ++stepSyncs;
  return EIO;
}

// A large file is synced in steps while it is written; a failure of any step
// fails the commit even when the final sync succeeds (Linux tells a write-back
// error to one sync only), and leaves the target as it was.
TEST(StepSyncs, LargeFilesAreSyncedBehindTheWriterAndTheirFailuresFailTheCommit) {
  struct Row {
    BackgroundSync::SyncFunction sync;
    std::size_t megabytes;
    bool syncedInSteps;
    int commit;
  };
  const Row rows[] = {
      {&CountedSync, 1, false, 0},
      {&CountedSync, 20, true, 0},
      {&FailingSync, 20, true, EIO},
  };
  const std::string megabyte(std::size_t{1} << 20, 'x');
  for (const Row& row : rows) {
    SCOPED_TRACE(row.megabytes);
    Folder folder;
    WriteBytes(folder.File("walk.gps"), "old");
    stepSyncs = 0;
    AtomicFile target(row.sync);
    ASSERT_EQ(target.Open(folder.File("walk.gps")), 0);
    for (std::size_t i = 0; i < row.megabytes; ++i) ASSERT_EQ(target.Write(megabyte), 0);
    EXPECT_EQ(target.Commit(), row.commit);
    EXPECT_EQ(stepSyncs > 0, row.syncedInSteps);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"walk.gps"});
    EXPECT_EQ(fs::file_size(folder.File("walk.gps")), row.commit == 0 ? row.megabytes * megabyte.size() : 3);
  }
}

// A failure is the file's alone: after Finish the next file starts clean.
TEST(StepSyncs, AFailureIsReportedOnceAndNotCarriedToTheNextFile) {
  BackgroundSync sync(&FailingSync);
  stepSyncs = 0;
  sync.Ask(0);
  EXPECT_EQ(sync.Finish(), EIO);
  EXPECT_EQ(sync.Finish(), 0);
}

int OpenDescriptors() {
  return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{}));
}

// The old file of a replace is closed by the kernel or by a thread; either
// way the target holds the new bytes alone and this process keeps no
// descriptor of the old file (nor of what held it).
TEST(ReplacedFiles, AreClosedElsewhereAndLeaveNothingBehind) {
  struct Row {
    LateCloseWay way;
    std::size_t oldBytes;
  };
  const Row rows[] = {
      {LateCloseWay::Kernel, 3},
      {LateCloseWay::Kernel, std::size_t{2} << 20},
      {LateCloseWay::Thread, 3},
      {LateCloseWay::Thread, std::size_t{2} << 20},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.oldBytes);
    Folder folder;
    WriteBytes(folder.File("walk.gps"), std::string(row.oldBytes, 'o'));
    SetLateCloseWay(row.way);
    const int before = OpenDescriptors();
    for (const char* bytes : {"new", "newer"}) {
      AtomicFile target;
      ASSERT_EQ(target.Open(folder.File("walk.gps")), 0);
      ASSERT_EQ(target.Write(bytes), 0);
      ASSERT_EQ(target.Commit(), 0);
      EXPECT_EQ(ReadBytes(folder.File("walk.gps")), bytes);
    }
    WaitForLateCloses();
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"walk.gps"});
  }
  SetLateCloseWay(LateCloseWay::Kernel);
}

TEST(ReplacedFiles, OnlyLargeFilesOnLocalDisksAreHeld) {
  Folder folder;
  const std::string large(std::size_t{2} << 20, 'o');
  WriteBytes(folder.File("small"), "old");
  WriteBytes(folder.File("large"), large);
  WriteBytes(folder.File("unreadable"), large);
  ::chmod(folder.File("unreadable").c_str(), 0200);
  fs::create_directory(folder.File("folder"));
  fs::create_symlink(folder.File("large"), folder.File("link"));
  struct statfs system;
  ASSERT_EQ(::statfs(folder.File("").c_str(), &system), 0);
  const bool ext4 = system.f_type == 0xEF53;
  struct Row {
    const char* name;
    bool held;
  };
  const Row rows[] = {{"small", false}, {"large", true},  {"unreadable", true},
                      {"folder", false}, {"link", false}, {"missing", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.held && !ext4) continue;  // where the temporary folder is not on ext4
    const int before = OpenDescriptors();
    const int fd = HoldForLateClose(folder.File(row.name).c_str());
    EXPECT_EQ(fd >= 0, row.held);
    if (fd < 0) continue;
    // An unreadable file is held by path alone, which the kernel's way does
    // not take: a thread closes it then.
    EXPECT_NE(CloseLate(fd), LateCloseWay::Here);
    WaitForLateCloses();
    EXPECT_EQ(OpenDescriptors(), before);
  }
}

}  // namespace
}  // namespace zevi
