#pragma once
// A private folder of list files for one test, removed afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

namespace zevi::testing {

class ListFolder {
 public:
  ListFolder() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("zevi_geodesy_" + std::to_string(::getpid()) + "_" + info->name() + "_" +
               std::to_string(counter++));
    std::filesystem::create_directories(folder_);
  }
  ~ListFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  ListFolder(const ListFolder&) = delete;
  ListFolder& operator=(const ListFolder&) = delete;

  // The folder with its trailing '/', as the program folder is given.
  std::string Path() const { return folder_.string() + "/"; }
  std::string File(const std::string& name) const { return Path() + name; }

  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream out(File(name), std::ios::binary);
    out << text;
    return File(name);
  }

 private:
  std::filesystem::path folder_;
};

// A datum line: name in columns 5-25, parameters from column 27.
inline std::string DatumLine(const std::string& name, const std::string& parameters) {
  std::string line = "M E " + name;
  line.resize(25, ' ');
  return line + " " + parameters;
}

}  // namespace zevi::testing
