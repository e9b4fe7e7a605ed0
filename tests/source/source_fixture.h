#pragma once
// A state, a scripted user and a temporary folder of source files per test.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "settings/state.h"
#include "source/table.h"
#include "support/scripted_ui.h"

namespace zevi::testing {

class SourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    folder_ = std::filesystem::temp_directory_path() /
              ("zevi_source_" + std::to_string(::getpid()) + "_" + name);
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Writes the bytes as they are (no line-end translation).
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = (folder_ / name).string();
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return path;
  }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  AppState state;
  ScriptedUi ui;
  std::filesystem::path folder_;
};

// Bytes fed into a pipe by another thread; Path() names its reading end as
// a process substitution does.
class PipeSource {
 public:
  explicit PipeSource(std::string bytes) {
    std::signal(SIGPIPE, SIG_IGN);  // a reader that stops early ends the writer
    if (::pipe(fds_) != 0) ADD_FAILURE() << "no pipe";
    writer_ = std::thread([this, bytes = std::move(bytes)] {
      for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(fds_[1], bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) break;
        done += static_cast<std::size_t>(wrote);
      }
      ::close(fds_[1]);
    });
  }
  ~PipeSource() {
    ::close(fds_[0]);
    writer_.join();
  }
  std::string Path() const { return "/dev/fd/" + std::to_string(fds_[0]); }
  int ReadingEnd() const { return fds_[0]; }

 private:
  int fds_[2] = {-1, -1};
  std::thread writer_;
};

// Standard input reads from a pipe while this lives.
class StandardInputFrom {
 public:
  explicit StandardInputFrom(const PipeSource& pipe) : saved_(::dup(0)) { ::dup2(pipe.ReadingEnd(), 0); }
  ~StandardInputFrom() {
    ::dup2(saved_, 0);
    ::close(saved_);
    std::clearerr(stdin);
  }

 private:
  int saved_;
};

// Row texts joined: cells by "|", rows by "\n"; an empty row (marker 0) as "-".
inline std::string TableText(const SourceTable& table) {
  std::string text;
  for (int row = 1; row < table.RowCount(); ++row) {
    if (!table.Marker(row)) {
      text += "-\n";
      continue;
    }
    for (int column = 1; column < table.ColumnCount(); ++column) {
      if (column > 1) text += '|';
      text += table.Cell(column, row);
    }
    text += '\n';
  }
  return text;
}

}  // namespace zevi::testing
