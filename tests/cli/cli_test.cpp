// zevi-convert run as a user runs it: the built program, its output, its exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// In a child: becomes zevi-convert with the locale pinned (C unless named).
[[noreturn]] void ExecConvert(const std::vector<std::string>& args, const std::string& locale = "C") {
  ::setenv("LC_ALL", locale.c_str(), 1);
  std::string program = std::string(ZEVI_BIN_DIR) + "/zevi-convert";
  std::vector<char*> argv{program.data()};
  std::vector<std::string> copies(args);
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

struct RunSetup {
  std::string input;            // standard input; /dev/null when empty
  unsigned long fileLimit = 0;  // bytes a file may grow to; 0: no limit
  std::string locale = "C";
};

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zevi-cli-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string File(const std::string& name) const { return folder_ + "/" + name; }

  // The locale is pinned to C.
  Outcome Convert(const std::vector<std::string>& args, const RunSetup& setup = {}) const {
    const std::string inPath = File(".stdin");
    const std::string outPath = File(".stdout");
    const std::string errPath = File(".stderr");
    if (!setup.input.empty()) WriteBytes(inPath, setup.input);
    pid_t child = ::fork();
    if (child == 0) {
      int in = ::open(setup.input.empty() ? "/dev/null" : inPath.c_str(), O_RDONLY);
      int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(err, 2);
      if (setup.fileLimit > 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
        struct rlimit limit{setup.fileLimit, setup.fileLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      ExecConvert(args, setup.locale);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    Outcome run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadBytes(outPath);
    run.err = ReadBytes(errPath);
    return run;
  }

  // zevi-convert on a terminal of its own, for the questions it asks there.
  struct OnTerminal {
    pid_t pid = -1;
    int terminal = -1;
    std::string seen;

    // False when the text did not come within 30 seconds or the program ended.
    bool WaitFor(const std::string& text) {
      auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (seen.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > end) return false;
        pollfd poll{terminal, POLLIN, 0};
        if (::poll(&poll, 1, 200) <= 0) continue;
        char buffer[4096];
        ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got <= 0) return false;
        seen.append(buffer, static_cast<std::size_t>(got));
      }
      return true;
    }
    void Type(const std::string& text) const {
      EXPECT_EQ(::write(terminal, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    int Wait() {
      int status = 0;
      ::waitpid(pid, &status, 0);
      ::close(terminal);
      return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
  };

  OnTerminal StartOnTerminal(const std::vector<std::string>& args) const {
    OnTerminal run;
    run.pid = ::forkpty(&run.terminal, nullptr, nullptr, nullptr);
    if (run.pid == 0) {
      ExecConvert(args);
    }
    return run;
  }

  // The names in the folder, without the ones the runs use for their streams.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      std::string name = entry.path().filename().string();
      if (name != ".stdin" && name != ".stdout" && name != ".stderr") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string folder_;
};

// Three waypoints with ID, position, altitude, date and time.
const char* kThreePoints =
    "P1,54.458412,-3.023577,65,14/09/2025,09:30:00\r\n"
    "P2,54.459037,-3.025506,66.5,14/09/2025,09:31:35\r\n"
    "P3,-12.5,150.25,1200,15/09/2025,23:59:59\r\n";

const char* kPointSettings =
    "--set=Columns=I_/60,KD/90,LD/90,HM/70,DD/80,DT/70";

const char* kBuiltinDatumLine =
    "M E               WGS 84 100  0.0000000E+00  0.0000000E+00 0 0 0";

const char* kThreePointsOutput =
    "I ZADI 1.36\r\n"
    "S DateFormat=dd/mm/yyyy\r\n"
    "U LAT LON DEG\r\n"
    "M E               WGS 84 100  0.0000000E+00  0.0000000E+00 0 0 0\r\n"
    "\r\n"
    "F ID---- Latitude   Longitude     Alt(m) Date       Time     T\r\n"
    "W P1      54.458412   -3.023577     65.0 14/09/2025 09:30:00 I\r\n"
    "W P2      54.459037   -3.025506     66.5 14/09/2025 09:31:35 I\r\n"
    "W P3     -12.500000  150.250000   1200.0 15/09/2025 23:59:59 I\r\n";

TEST_F(Cli, VersionAndHelp) {
  Outcome version = Convert({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "ZEVI Import File Converter 1.36\n");
  Outcome help = Convert({"-h"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: zevi-convert [OPTIONS] SOURCE...\n", 0), 0u);
}

TEST_F(Cli, BadUsageExitsWithTwoAndSaysWhy) {
  WriteBytes(File("a.txt"), kThreePoints);
  WriteBytes(File("b.txt"), kThreePoints);
  struct Row {
    std::vector<std::string> args;
    std::string firstLine;
  };
  const Row rows[] = {
      {{}, "zevi-convert: no source file"},
      {{"--frobnicate", File("a.txt")}, "zevi-convert: unknown option --frobnicate"},
      {{File("a.txt"), "-o"}, "zevi-convert: option -o needs a value"},
      {{"--set", "Mode", File("a.txt")}, "zevi-convert: --set needs KEY=VALUE, not Mode"},
      {{"--set", "Colour=red", File("a.txt")}, "zevi-convert: unknown settings key Colour"},
      {{"--on-error=maybe", File("a.txt")},
       "zevi-convert: --on-error takes ask, abort, ignore or all, not maybe"},
      {{"--zone-letter", "12", File("a.txt")}, "zevi-convert: --zone-letter takes one letter, not 12"},
      {{"--force=yes", File("a.txt")}, "zevi-convert: option --force takes no value"},
      {{"-o", File("out.gps"), File("a.txt"), File("b.txt")},
       "zevi-convert: -o names a file: give one SOURCE, or an existing folder"},
      {{"-s", File("none.ini"), File("a.txt")},
       "Settings file: " + File("none.ini") + " does not exist."},
  };
  for (const Row& row : rows) {
    Outcome run = Convert(row.args);
    std::string args;
    for (const auto& arg : row.args) args += arg + " ";
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), row.firstLine) << args;
    EXPECT_EQ(run.out, "") << args;
  }
  EXPECT_FALSE(fs::exists(File("a.gps")));
  EXPECT_FALSE(fs::exists(File("out.gps")));
}

TEST_F(Cli, ShowTablePrintsHeadingsMarkersAndCellsAsTheyAre) {
  std::string thirty;
  for (int i = 1; i <= 30; ++i) thirty += (i > 1 ? "," : "") + std::to_string(i);
  WriteBytes(File("mixed.txt"), "Name,\"Lat, Long\",Caf\xE9\r\n\r\nx\r\n" + thirty +
                                    "\n  a ,, \"b\" \r\nlast,line,\r\n");
  Outcome run = Convert({"--show-table", "--set", "Columns=I_/60,KD/90", File("mixed.txt")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "Too many columns. Lines truncated\n");
  std::string heading = "#\tID\tLat (DD.dd)";
  for (char c = 'C'; c <= 'Z'; ++c) heading += std::string("\t") + c + ": Ignore";
  auto row = [](const std::string& start, std::vector<std::string> cells) {
    cells.resize(26);
    std::string line = start;
    for (const auto& cell : cells) line += "\t" + cell;
    return line + "\n";
  };
  std::vector<std::string> numbers;
  for (int i = 1; i <= 26; ++i) numbers.push_back(std::to_string(i));
  EXPECT_EQ(run.out, heading + "\n" + row("1\t1", {"Name", "Lat, Long", "Caf\xE9"}) +
                         row("2\t0", {}) + row("3\t0", {}) + row("4\t1", numbers) +
                         row("5\t1", {"a", "", "b"}) + row("6\t1", {"last", "line"}));
}

TEST_F(Cli, WhatTheUserReadsIsInTheLocalesCharsetAndTheOutputStaysWindows1252) {
  fs::create_directory(File("Z\xC3\xBCrich"));
  const std::string target = File("Z\xC3\xBCrich/out.gps");
  WriteBytes(File("de.csv"), "K\xC3\xB6ln,50.94,6.96,53\r\nBonn,50.73,7.1,h\xC3\xB6he\r\n");
  const std::vector<std::string> convert = {"--set=Columns=I_/60,KD/90,LD/90,HM/70", "-o", target,
                                            "--force", File("de.csv")};
  const std::vector<std::string> table = {"--set=Columns=I_/60", "--show-table", File("de.csv")};
  const std::string failure = "Error in record 2: 'h\xC3\xB6he' is not a valid floating point value\n";
  const std::string summary = "File written with 1 missing records\n" + target + "\n";
  for (const char* locale : {"C.UTF-8", "xx_YY.utf8"}) {  // the second is named but not installed
    RunSetup setup;
    setup.locale = locale;
    Outcome run = Convert(convert, setup);
    EXPECT_EQ(run.status, 1) << locale;
    EXPECT_EQ(run.err, failure + summary) << "cells converted, the path as it is: " << locale;
    Outcome shown = Convert(table, setup);
    EXPECT_NE(shown.out.find("\t1\tK\xC3\xB6ln\t50.94\t"), std::string::npos) << locale << shown.out;
  }
  const std::string output = ReadBytes(target);
  EXPECT_NE(output.find("\r\nW K\xF6ln "), std::string::npos) << "the output stays Windows-1252";
  EXPECT_EQ(output.find('\xC3'), std::string::npos);

  Outcome plain = Convert(convert);
  EXPECT_EQ(plain.err, "Error in record 2: 'h\xF6he' is not a valid floating point value\n" + summary)
      << "a C locale gets the bytes as they are";
  EXPECT_NE(Convert(table).out.find("\t1\tK\xF6ln\t"), std::string::npos);
}

TEST_F(Cli, ShowSettingsPrintsTheSectionAndReadsItBack) {
  Outcome defaults = Convert({"--show-settings"});
  EXPECT_EQ(defaults.status, 0);
  std::string columns = "\"_ /100\"";
  for (int c = 2; c <= 26; ++c) columns += ",__/80";
  const std::string expectedDefaults =
      "[SETTINGS]\r\nMode=W\r\nDateformat=D\r\nSeparators=,.:\r\nSigns=NE\r\nScaleFactor=0\r\n"
      "Gridfiles=XX-\r\nWptIDPrefix=W\r\nDefaultZone=30U\r\nTextOption=I\r\nTrackStart=1\r\n"
      "Records=BE 1 5\r\nColumns=" + columns + "\r\nAuxData=D\r\nDatum=WGS 84\r\nAutoDatum=1\r\n"
      "Grid=\r\nBreaks=\r\nAlignment=0\r\nSymbolType=0\r\nEncoding=Automatic\r\n";
  EXPECT_EQ(defaults.out, expectedDefaults);

  Outcome changed = Convert({"--set", "Mode=T", "--set", "separators=\xB6,|", "--set", "Breaks= 4 .9",
                         "--set", "Mode=R", "--show-settings"});
  EXPECT_EQ(changed.status, 0);
  std::string expected = expectedDefaults;
  expected.replace(expected.find("Mode=W"), 6, "Mode=R");
  expected.replace(expected.find("Separators=,.:"), 14, "Separators=\xB6,|");
  expected.replace(expected.find("Breaks="), 7, "Breaks= 4 .9");
  EXPECT_EQ(changed.out, expected) << "the later --set of a key wins";

  WriteBytes(File("saved.ini"), changed.out);
  Outcome again = Convert({"-s", File("saved.ini"), "--show-settings"});
  EXPECT_EQ(again.out, changed.out);
  Outcome overridden = Convert({"--settings", File("saved.ini"), "--set=Mode=W", "--show-settings"});
  EXPECT_EQ(overridden.out.find("Mode=W\r\n"), 12u) << "--set comes after the file";
}

TEST_F(Cli, EncodingOptionIsTheEncodingKey) {
  WriteBytes(File("utf.ini"), "[SETTINGS]\r\nEncoding=UTF-16\r\n");
  const struct {
    std::vector<std::string> args;
    std::string line;
  } rows[] = {
      {{}, "Encoding=Automatic"},
      {{"--encoding", "utf-8"}, "Encoding=UTF-8"},
      {{"--encoding=UTF-16"}, "Encoding=UTF-16"},
      {{"--encoding", "windows-1252"}, "Encoding=Windows-1252"},
      {{"--encoding", "cp1252"}, "Encoding=Windows-1252"},
      {{"--encoding", "utf-8", "--encoding", "auto"}, "Encoding=Automatic"},
      {{"--set", "encoding=utf8"}, "Encoding=UTF-8"},
      {{"--encoding", "utf-8", "--set", "Encoding=utf16"}, "Encoding=UTF-16"},
      {{"-s", File("utf.ini")}, "Encoding=UTF-16"},
      {{"-s", File("utf.ini"), "--encoding", "auto"}, "Encoding=Automatic"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = row.args;
    args.push_back("--show-settings");
    Outcome run = Convert(args);
    std::string shown = args[0] + " ... (" + std::to_string(args.size()) + " arguments)";
    EXPECT_EQ(run.status, 0) << shown;
    EXPECT_NE(run.out.find("\r\n" + row.line + "\r\n"), std::string::npos) << shown << "\n" << run.out;
  }

  Outcome bad = Convert({"--encoding", "latin1", "--show-settings"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err.substr(0, bad.err.find('\n')),
            "zevi-convert: --encoding takes auto, utf-8, utf-16 or windows-1252, not latin1");
  EXPECT_EQ(bad.out, "");
}

TEST_F(Cli, AssociatedSettingsFileAppliesWithoutOptions) {
  WriteBytes(File("track.txt"), kThreePoints);
  WriteBytes(File("track.ini"), "[settings]\r\nmode=T\r\nGrid=\r\n");
  Outcome run = Convert({"--show-settings", File("track.txt")});
  EXPECT_EQ(run.out.find("Mode=T\r\n"), 12u);
  Outcome named = Convert({"--show-settings", "-s", File("none-such.ini"), File("track.txt")});
  EXPECT_EQ(named.status, 2);
}

TEST_F(Cli, ConvertsToTheDefaultTarget) {
  WriteBytes(File("walk.TXT"), kThreePoints);
  Outcome run = Convert({kPointSettings, "--set", "Datum=", File("walk.TXT")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "File written successfully\n" + File("walk.gps") + "\n");
  EXPECT_EQ(ReadBytes(File("walk.gps")), kThreePointsOutput);
}

TEST_F(Cli, TargetOptionsAndOverwrite) {
  WriteBytes(File("a.csv"), kThreePoints);
  WriteBytes(File("b.txt"), kThreePoints);
  fs::create_directory(File("out"));
  Outcome both = Convert({kPointSettings, "--set=Datum=", "-o", File("out"), File("a.csv"), File("b.txt")});
  EXPECT_EQ(both.status, 0) << both.err;
  EXPECT_EQ(ReadBytes(File("out/a.txt")), kThreePointsOutput);
  EXPECT_EQ(ReadBytes(File("out/b.gps")), kThreePointsOutput);

  WriteBytes(File("kept.gps"), "old");
  Outcome refused = Convert({kPointSettings, "-o", File("kept.gps"), File("b.txt")});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err.substr(0, refused.err.find('\n')), "Overwrite existing file? ");
  EXPECT_EQ(ReadBytes(File("kept.gps")), "old");
  Outcome forced = Convert({kPointSettings, "--set=Datum=", "-f", "-o", File("kept.gps"), File("b.txt")});
  EXPECT_EQ(forced.status, 0);
  EXPECT_EQ(ReadBytes(File("kept.gps")), kThreePointsOutput);
}

TEST_F(Cli, UnreadableSourceAndUnwritableTargetExitWithThree) {
  WriteBytes(File("a.txt"), kThreePoints);
  Outcome missing = Convert({kPointSettings, File("none.txt")});
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.err, "File does not exist\n" + File("none.txt") + "\n");
  Outcome folder = Convert({kPointSettings, "-o", File("no/such/folder.gps"), File("a.txt")});
  EXPECT_EQ(folder.status, 3);
  EXPECT_EQ(folder.err, "Error writing file\n" + File("no/such/folder.gps") +
                            ": No such file or directory\n");
  Outcome worst = Convert({kPointSettings, "-o", File("."), File("none.txt"), File("a.txt")});
  EXPECT_EQ(worst.status, 3) << "the worst outcome of all sources";
  EXPECT_TRUE(fs::exists(File("a.gps")));

  // A source that is there but cannot be read is named after the system's words.
  fs::create_directory(File("folder.txt"));
  Outcome unread = Convert({kPointSettings, "-o", File("."), "--force", File("a.txt"), File("folder.txt")});
  EXPECT_EQ(unread.status, 3);
  EXPECT_EQ(unread.err, "File written successfully\n" + File("./a.gps") +
                            "\nIs a directory\nThe file may be in use by another application.\n"
                            "zevi-convert: " + File("folder.txt") + " was not read\n");
}

TEST_F(Cli, FailingRecordsAreAnsweredFromOnError) {
  WriteBytes(File("bad.txt"),
             "P1,54.1,-3.1,high,14/09/2025,09:30:00\r\n"
             "P2,54.2,-3.2,10,14/09/2025,09:31:00\r\n"
             "P3,54.3,-3.3,low,14/09/2025,09:32:00\r\n");
  const std::string first = "Error in record 1: 'high' is not a valid floating point value\n";
  const std::string third = "Error in record 3: 'low' is not a valid floating point value\n";
  struct Row {
    std::vector<std::string> options;
    int status;
    std::string err;
    int records;
  };
  const Row rows[] = {
      {{}, 1, first + third + "File written with 2 missing records\n", 1},
      {{"--on-error=ignore"}, 1, first + third + "File written with 2 missing records\n", 1},
      {{"--on-error", "all"}, 1, first + "File written with 2 missing records\n", 1},
      {{"--on-error", "abort"}, 2, first + "File aborted\n", 0},
      {{"--on-error", "ask"}, 2, first + "File aborted\n", 0},  // no terminal: abort
  };
  for (const Row& row : rows) {
    std::vector<std::string> args{kPointSettings, "-f", "-o", File("bad.gps")};
    args.insert(args.end(), row.options.begin(), row.options.end());
    args.push_back(File("bad.txt"));
    Outcome run = Convert(args);
    std::string options = row.options.empty() ? "(none)" : row.options.back();
    EXPECT_EQ(run.status, row.status) << options;
    std::string expectedErr = row.err;
    if (row.status <= 1) expectedErr += File("bad.gps") + "\n";
    EXPECT_EQ(run.err, expectedErr) << options;
    std::string written = ReadBytes(File("bad.gps"));
    EXPECT_EQ(written.find("W P2 ") != std::string::npos, row.records == 1) << options;
  }
}

TEST_F(Cli, MissingPositionColumnsAskForADefaultPosition) {
  WriteBytes(File("ids.txt"), "P1,54.1\r\nP2,54.2\r\n");
  const std::string question =
      "Missing Latitude/Longitude field for 'Lat/Long' grid.\nTo correct fields or select a Grid"
      " click \"NO\".\n\nDo you want to continue but using a default coordinate?\n";
  Outcome refused = Convert({"--set=Columns=I_/60,KD/90", File("ids.txt")});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, question + "-> No (--default-position writes default coordinates)\n");
  EXPECT_FALSE(fs::exists(File("ids.gps")));

  Outcome accepted = Convert({"--set=Columns=I_/60,KD/90", "--default-position", File("ids.txt")});
  EXPECT_EQ(accepted.status, 0);
  EXPECT_EQ(accepted.err, question + "-> Yes (--default-position)\nFile written successfully\n" +
                              File("ids.gps") + "\n");
  EXPECT_NE(ReadBytes(File("ids.gps")).find("W P1     N00.000000 E000.000000 I\r\n"),
            std::string::npos);
}

TEST_F(Cli, ZoneLetterComesFromTheOptionOrTheProposalWithAWarning) {
  WriteBytes(File("utm.txt"), "P1,30,500000,5400000\r\nP2,30,500100,5400100\r\n");
  const std::vector<std::string> settings{"--set=Grid=UTM", "--set=DefaultZone=30",
                                          "--set=Columns=I_/60,Z_/40,E_/80,N_/80"};
  auto output = [](char letter) {
    return std::string("I ZADI 1.36\r\nU UTM\r\n") + kBuiltinDatumLine +
           "\r\n\r\nF ID---- Zne Eastng Northng T\r\n"
           "W P1     30" + letter + " 500000 5400000 I\r\n"
           "W P2     30" + letter + " 500100 5400100 I\r\n";
  };
  std::vector<std::string> args = settings;
  args.push_back(File("utm.txt"));
  Outcome proposed = Convert(args);
  EXPECT_EQ(proposed.status, 0);
  EXPECT_EQ(proposed.err,
            "Warning: Which Hemisphere? Need a Zone letter: using T (--zone-letter gives another)\n"
            "File written successfully\n" + File("utm.gps") + "\n");
  EXPECT_EQ(ReadBytes(File("utm.gps")), output('T'));

  args.insert(args.begin(), {"-f", "--zone-letter", "U"});
  Outcome chosen = Convert(args);
  EXPECT_EQ(chosen.status, 0);
  EXPECT_EQ(chosen.err, "File written successfully\n" + File("utm.gps") + "\n");
  EXPECT_EQ(ReadBytes(File("utm.gps")), output('U'));
}

TEST_F(Cli, BundledWalkConvertsWithItsOwnSettings) {
  const std::string examples = std::string(ZEVI_BIN_DIR) + "/examples/";
  fs::copy_file(examples + "walk.txt", File("walk.txt"));
  fs::copy_file(examples + "walk.ini", File("walk.ini"));
  Outcome run = Convert({File("walk.txt")});
  EXPECT_EQ(run.status, 0) << run.err;
  std::string output = ReadBytes(File("walk.gps"));
  EXPECT_EQ(output.rfind("I ZADI 1.36\r\nS DateFormat=dd/mm/yyyy\r\nU LAT LON DEG\r\n", 0), 0u);
  std::size_t waypoints = 0;
  for (std::size_t at = output.find("\r\nW EAS"); at != std::string::npos;
       at = output.find("\r\nW EAS", at + 1))
    ++waypoints;
  EXPECT_EQ(waypoints, 40u);
}

TEST_F(Cli, SuggestColumnsPrintsTheColumnsValueAndAReasonPerColumn) {
  WriteBytes(File("walk.csv"), "Name,Lat,Long,Note\r\nP1,54.458412,-3.023577,gate\r\n"
                               "P2,54.459037,-3.025506,stile\r\n");
  Outcome run = Convert({"--suggest-columns", File("walk.csv")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "Columns=I_/100,KD/80,LD/80,C1/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,"
            "__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80,__/80\n"
            "A: ID - heading \"Name\"\n"
            "B: Lat (DD.dd) - heading \"Lat\"; values read as DD.dddddd, 54.4584 to 54.4590\n"
            "C: Long(DDD.dd) - heading \"Long\"; values read as DD.dddddd, -3.0255 to -3.0236\n"
            "D: Comment-1 - heading \"Note\"\n");
  EXPECT_EQ(run.err,
            "The first line holds headings and lies in the record range, so the export would fail "
            "on it: make record 2 the first record.\n");
  EXPECT_FALSE(fs::exists(File("walk.txt"))) << "nothing converted";
}

// Files nobody checked: each gives its message and its exit status, and no crash.
TEST_F(Cli, BadInputCatalogue) {
  std::string binary;
  for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 37 + 11) % 256);
  binary += "\nZ,51.5,-0.1\n";  // the last line decides the separator
  fs::create_directory(File("folder.txt"));
  WriteBytes(File("readonly.gps"), "keep");
  ::chmod(File("readonly.gps").c_str(), 0444);
  fs::create_directories(File("lists"));
  for (const char* name : {"datums.txt", "worldgrids.txt", "usagrids.txt", "ostn02grids.txt"})
    fs::copy_file(std::string(ZEVI_BIN_DIR) + "/" + name, File("lists/") + name);
  WriteBytes(File("lists/basegrids.txt"), "U UTM\nxxxx 1 2 3 4 5 6 7 8 x 6 7\n");
  const std::string huge = "A,51.5,-0.1," + std::string(100 * 1024 * 1024, 'x') + "\n";

  struct Case {
    const char* name;
    std::string source;        // bytes of in.txt; empty name below means no file
    std::vector<std::string> args;
    int status;
    std::string message;       // a line stderr must hold
    int waypoints;             // W lines in the output, -1: not checked
  };
  const std::string columns = "--set=Columns=I_/60,KD/90,LD/90";
  const std::vector<Case> cases = {
      {"empty file", "", {columns}, 2, "Missing Latitude/Longitude field for 'Lat/Long' grid.", -1},
      {"binary file", binary, {columns}, 1, "Error in record ", -1},
      {"NUL inside a cell", std::string("A\0B,51.5,-0.1\nC,51.6,-0.2\n", 26), {columns}, 0,
       "File written successfully", 2},
      {"CR-only line ends", "A,51.5,-0.1\rB,51.6,-0.2\r", {columns}, 0, "File written successfully", 2},
      {"mixed line ends", "A,51.5,-0.1\r\nB,51.6,-0.2\nC,51.7,-0.3\rD,51.8,-0.4", {columns}, 0,
       "File written successfully", 4},
      {"a 100 MB line", huge, {columns}, 3, "Line 1 is longer than 64 MB", -1},
      {"target on a full disk", "A,51.5,-0.1\n", {columns, "-f", "-o", "/dev/full"}, 3,
       "Error writing file", -1},
      {"target in a missing folder", "A,51.5,-0.1\n", {columns, "-o", File("none/out.gps")}, 3,
       "Error writing file", -1},
      {"read-only target", "A,51.5,-0.1\n", {columns, "-f", "-o", File("readonly.gps")}, 3,
       "readonly.gps is read only.", -1},
      {"grid list with a broken parameter line", "30U,512345,5712345\n",
       {"--set=Columns=Z_/60,E_/90,N_/90", "--set=Grid=UTM", "--data-dir", File("lists")}, 2,
       "zevi-convert: grid UTM cannot be read from " + File("lists/basegrids.txt"), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(File("in.txt"), c.source);
    fs::remove(File("in.gps"));
    std::vector<std::string> args = c.args;
    args.push_back(File("in.txt"));
    Outcome run = Convert(args);
    EXPECT_EQ(run.status, c.status) << run.err.substr(0, 400);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err.substr(0, 400);
    if (c.waypoints >= 0) {
      std::string output = ReadBytes(File("in.gps"));
      std::size_t lines = 0;
      for (std::size_t at = output.find("\r\nW "); at != std::string::npos; at = output.find("\r\nW ", at + 1))
        ++lines;
      EXPECT_EQ(lines, static_cast<std::size_t>(c.waypoints));
    }
  }
  EXPECT_EQ(ReadBytes(File("readonly.gps")), "keep");

  Outcome folder = Convert({columns, File("folder.txt")});
  EXPECT_EQ(folder.status, 3);
  EXPECT_NE(folder.err.find("The file may be in use by another application."), std::string::npos);
}

// Values a settings field cannot hold fall back without touching the other keys.
TEST_F(Cli, AbsurdSettingsValuesFallBack) {
  std::string breaks, columns;
  for (int i = 1; i <= 100; ++i) breaks += " " + std::to_string(i);
  for (int i = 1; i <= 40; ++i) columns += "KD/" + std::to_string(i) + ",";
  WriteBytes(File("in.txt"), "A,51.5,-0.1\n");
  Outcome run = Convert({"--show-settings", "--set=Breaks=" + breaks, "--set=TrackStart=1000",
                         "--set=Alignment=999", "--set=Columns=" + columns, "--set=Mode=T",
                         File("in.txt")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("TrackStart=1\r\n"), std::string::npos);
  EXPECT_NE(run.out.find("Alignment=0\r\n"), std::string::npos);
  EXPECT_NE(run.out.find("Mode=T\r\n"), std::string::npos);
  EXPECT_NE(run.out.find("Breaks= 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27\r\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("KD/26\r\n"), std::string::npos) << "26 columns, the rest ignored";
}

// Nothing is ever written over a source, whatever the path that names it.
TEST_F(Cli, RefusesTargetsThatAreSourcesOrShared) {
  WriteBytes(File("a.csv"), kThreePoints);
  WriteBytes(File("a.dat"), kThreePoints);
  WriteBytes(File("b.csv"), kThreePoints);
  WriteBytes(File("b.txt"), "a later source");
  fs::create_hard_link(File("a.csv"), File("hard.gps"));
  fs::create_symlink(File("a.csv"), File("soft.gps"));
  const std::string same = "Overwrite existing file? \n(!! SAME AS SOURCE FILE !!)\n";
  auto source = [&](const std::string& target, const std::string& of) {
    return same + "zevi-convert: " + target + " is the source " + of +
           "; nothing is written over a source, not even with --force\n";
  };
  struct Row {
    std::vector<std::string> args;
    std::string err;
  };
  const Row rows[] = {
      {{"-f", "-o", File("a.csv"), File("a.csv")}, source(File("a.csv"), File("a.csv"))},
      {{"-f", "-o", File("hard.gps"), File("a.csv")}, source(File("hard.gps"), File("a.csv"))},
      {{"-f", "-o", File("soft.gps"), File("a.csv")}, source(File("soft.gps"), File("a.csv"))},
      {{"-f", File("b.csv"), File("b.txt")}, source(File("b.txt"), File("b.txt"))},
      {{"-f", File("a.dat"), File("a.csv")},
       "zevi-convert: " + File("a.dat") + " and " + File("a.csv") + " would both be written to " +
           File("a.txt") + "; nothing written\n"},
      {{"-", "-"}, "zevi-convert: - and - would both be written to standard output; nothing written\n"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args{kPointSettings};
    args.insert(args.end(), row.args.begin(), row.args.end());
    Outcome run = Convert(args);
    EXPECT_EQ(run.status, 2) << row.args.back();
    EXPECT_EQ(run.err, row.err);
  }
  EXPECT_EQ(ReadBytes(File("a.csv")), kThreePoints);
  EXPECT_EQ(ReadBytes(File("b.txt")), "a later source");
  EXPECT_TRUE(fs::is_symlink(File("soft.gps")));
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.csv", "a.dat", "b.csv", "b.txt", "hard.gps",
                                               "soft.gps"}))
      << "nothing written, not even the first of several sources";
}

TEST_F(Cli, NamedSettingsFileWithoutSettingsSectionIsRefused) {
  WriteBytes(File("a.txt"), kThreePoints);
  for (const char* text : {"", "[MAIN]\r\nMode=T\r\n", "; [SETTINGS]\nMode=T\n", "[SETTINGS"}) {
    WriteBytes(File("other.ini"), text);
    Outcome run = Convert({"-s", File("other.ini"), File("a.txt")});
    EXPECT_EQ(run.status, 2) << text;
    EXPECT_EQ(run.err, "Settings file: " + File("other.ini") + " has no SETTINGS section.\n") << text;
  }
  WriteBytes(File("other.ini"), " [ settings ] \nDatum=\n");
  EXPECT_EQ(Convert({"-s", File("other.ini"), kPointSettings, File("a.txt")}).status, 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.gps", "a.txt", "other.ini"}));
}

TEST_F(Cli, DatumOrGridThatTheListsDoNotHoldIsRefused) {
  WriteBytes(File("a.txt"), kThreePoints);
  fs::create_directory(File("nolists"));
  const std::string bin = ZEVI_BIN_DIR;
  const std::string noDatums = "Datum File does not exist\n" + File("nolists/datums.txt") + "\n";
  std::string noLists = noDatums;
  for (const char* list : {"basegrids.txt", "worldgrids.txt", "usagrids.txt"})
    noLists += "Grid File:" + File("nolists/") + list + " does not exist\n";
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Row rows[] = {
      {{"--set=Datum=OSGB1936"}, 2, "zevi-convert: datum OSGB1936 not found in " + bin + "/datums.txt\n"},
      {{"--set=Datum= osgb 1936 "}, 0, ""},
      {{"--set=Datum=WGS 84", "--data-dir", File("nolists")}, 0, noLists + noDatums},
      {{"--set=Datum=OSGB 1936", "--data-dir", File("nolists")}, 2,
       noLists + noDatums +
       "zevi-convert: datum OSGB 1936 not found: there is no " + File("nolists") + "/datums.txt\n"},
      {{"--set=Grid=British Nat Grd"}, 2,
       "Unable to find grid:BRITISH NAT GRD\nzevi-convert: grid British Nat Grd not found in " + bin +
           "/basegrids.txt, " + bin + "/worldgrids.txt, " + bin + "/usagrids.txt\n"},
      {{"--set=Grid=lat/long"}, 0, "Unable to find grid:LAT/LONG\n"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args{kPointSettings, "-q", "-f"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    args.push_back(File("a.txt"));
    fs::remove(File("a.gps"));
    Outcome run = Convert(args);
    EXPECT_EQ(run.status, row.status) << row.args.front();
    EXPECT_EQ(run.err, row.err) << row.args.front();
    EXPECT_EQ(fs::exists(File("a.gps")), row.status == 0) << row.args.front();
  }
}

TEST_F(Cli, DashIsStandardOutput) {
  WriteBytes(File("a.txt"), kThreePoints);
  Outcome run = Convert({kPointSettings, "--set=Datum=", "-o", "-", File("a.txt")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kThreePointsOutput);
  EXPECT_EQ(run.err, "File written successfully\n") << "no target name for standard output";
  Outcome quiet = Convert({kPointSettings, "--set=Datum=", "--quiet", "-o", "-", File("a.txt")});
  EXPECT_EQ(quiet.out, kThreePointsOutput);
  EXPECT_EQ(quiet.err, "");
  // A device is written, never replaced by a file of its own name.
  Outcome device = Convert({kPointSettings, "-q", "-o", "/dev/null", File("a.txt")});
  EXPECT_EQ(device.status, 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
}

TEST_F(Cli, QuietKeepsOnlyWhatWentWrong) {
  WriteBytes(File("bad.txt"), "P1,54.1,-3.1,high\r\nP2,54.2,-3.2,10\r\n");
  const std::string columns = "--set=Columns=I_/60,KD/90,LD/90,HM/70";
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Row rows[] = {
      {{"--set=Records=RR 2 3"}, 0, ""},
      {{}, 1,
       "Error in record 1: 'high' is not a valid floating point value\n"
       "File written with 1 missing records\n"},
      {{"-o", File("none/bad.gps")}, 3,
       "Error writing file\n" + File("none/bad.gps") + ": No such file or directory\n"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args{columns, "-q", "-f"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    args.push_back(File("bad.txt"));
    Outcome run = Convert(args);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.err, row.err);
  }
}

// A cell's NUL or escape byte reaches the terminal written out, never cut or obeyed.
TEST_F(Cli, ControlBytesInMessagesAreShownWrittenOut) {
  using namespace std::string_literals;
  WriteBytes(File("ctl.txt"), "P1,1\0" "2,3,4\r\nP2,1,3,9\x1B[2J\r\nP3,1,3,7\x7F\r\n"s);
  Outcome run = Convert({"--set=Columns=I_/60,KD/90,LD/90,HM/70", File("ctl.txt")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Error in record 1: '1\\02' is not a valid floating point value\n"
            "Error in record 2: '9\\x1B[2J' is not a valid floating point value\n"
            "Error in record 3: '7\\x7F' is not a valid floating point value\n"
            "File written with 3 missing records\n" + File("ctl.gps") + "\n");
}

// A write that fails part-way (here the file size limit, as a full disk would)
// leaves the old target whole and no temporary file beside it.
TEST_F(Cli, FailedWriteKeepsTheOldTarget) {
  std::string many;
  for (int i = 0; i < 200; ++i) many += kThreePoints;
  WriteBytes(File("many.txt"), many);
  WriteBytes(File("many.gps"), "the old file");
  ::chmod(File("many.gps").c_str(), 0604);
  Outcome run = Convert({kPointSettings, "-f", File("many.txt")}, {.input = {}, .fileLimit = 4096});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.err, "Error writing file\n" + File("many.gps") + ": File too large\n");
  EXPECT_EQ(ReadBytes(File("many.gps")), "the old file");
  EXPECT_EQ(Names(), (std::vector<std::string>{"many.gps", "many.txt"}));

  Outcome written = Convert({kPointSettings, "-f", File("many.txt")});
  EXPECT_EQ(written.status, 0);
  EXPECT_EQ(fs::status(File("many.gps")).permissions(), fs::perms(0604)) << "the old bits stay";
}

// Enough records that the output reaches the disk before record `bad` fails.
std::string ManyPointsWithABadOne(int count, int bad, const std::string& name) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    text += name + std::to_string(i) + (i == bad ? ",x" : ",54.5") + ",-3.25\r\n";
  }
  return text;
}

const char* kAskPrompt = "(a)bort, (i)gnore, ignore a(l)l? ";

TEST_F(Cli, KilledConversionLeavesTheOldTarget) {
  WriteBytes(File("big.txt"), ManyPointsWithABadOne(60000, 59000, "P"));
  WriteBytes(File("out.gps"), "the old file");
  OnTerminal run = StartOnTerminal({"--set=Columns=I_/60,KD/90,LD/90", "--on-error=ask", "-f", "-o",
                                    File("out.gps"), File("big.txt")});
  ASSERT_TRUE(run.WaitFor(kAskPrompt)) << run.seen;
  EXPECT_EQ(ReadBytes(File("out.gps")), "the old file") << "while the conversion runs";
  ::kill(run.pid, SIGKILL);
  EXPECT_EQ(run.Wait(), -SIGKILL);
  EXPECT_EQ(ReadBytes(File("out.gps")), "the old file");
  EXPECT_EQ(Names(), (std::vector<std::string>{"big.txt", "out.gps"})) << "nothing left behind";
}

// Two runs into one target: each file is whole, the last one to finish stays.
TEST_F(Cli, ConcurrentRunsIntoOneTargetNeverMix) {
  WriteBytes(File("slow.txt"), ManyPointsWithABadOne(40000, 39000, "S"));
  WriteBytes(File("fast.txt"), ManyPointsWithABadOne(40000, 0, "F"));
  const std::string columns = "--set=Columns=I_/60,KD/90,LD/90";
  ASSERT_EQ(Convert({columns, "-o", File("slow-alone.gps"), File("slow.txt")}).status, 1);
  ASSERT_EQ(Convert({columns, "-o", File("fast-alone.gps"), File("fast.txt")}).status, 0);

  OnTerminal slow = StartOnTerminal({columns, "--on-error=ask", "-f", "-o", File("out.gps"), File("slow.txt")});
  ASSERT_TRUE(slow.WaitFor(kAskPrompt)) << slow.seen;
  Outcome fast = Convert({columns, "-f", "-o", File("out.gps"), File("fast.txt")});
  EXPECT_EQ(fast.status, 0);
  EXPECT_EQ(ReadBytes(File("out.gps")), ReadBytes(File("fast-alone.gps")));
  slow.Type("i\n");
  EXPECT_EQ(slow.Wait(), 1);
  EXPECT_EQ(ReadBytes(File("out.gps")), ReadBytes(File("slow-alone.gps")));
}

}  // namespace

TEST_F(Cli, Utf8AndUtf16SourcesAreWrittenInWindows1252) {
  const std::string columns = "Columns=I_/60,KD/90,LD/90,C1/90";
  auto utf16le = [](const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
  };
  const struct {
    std::string bytes;
    std::vector<std::string> extra;
    std::string lineEnd;  // the end of the record line in the output
    std::string message;  // before the summary on standard error
  } rows[] = {
      {"\xEF\xBB\xBFW1,46.5,6.6,Caf\xC3\xA9 \xE2\x82\xAC\r\n", {}, " Caf\xE9 \x80\r\n", ""},
      {"W1,46.5,6.6,Caf\xC3\xA9 \xE6\x9D\xB1\r\n", {}, " Caf\xE9 ?\r\n",
       "1 character has no Windows-1252 form and is written as '?' (record 1, column D)\n"},
      {utf16le(u"W1,46.5,6.6,Z\u00FCrich\r\n"), {}, " Z\xFCrich\r\n", ""},
      {"W1,46.5,6.6,Caf\xE9\r\n", {}, " Caf\xE9\r\n", ""},
      {"W1,46.5,6.6,Caf\xC3\xA9\r\n", {"--encoding", "windows-1252"}, " Caf\xC3\xA9\r\n", ""},
  };
  for (const auto& row : rows) {
    WriteBytes(File("in.txt"), row.bytes);
    std::vector<std::string> args = {"-f", "--set", columns};
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    args.push_back(File("in.txt"));
    Outcome run = Convert(args);
    EXPECT_EQ(run.status, 0) << row.lineEnd;
    EXPECT_EQ(run.err, row.message + "File written successfully\n" + File("in.gps") + "\n") << row.lineEnd;
    EXPECT_TRUE(ReadBytes(File("in.gps")).ends_with(row.lineEnd));
  }
}
