#pragma once
// A temporary home for tests of folders, key stores and start-up: HOME and
// the XDG variables point into a fresh folder while the fixture lives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zevi::testing {

class ScopedEnvironment {
 public:
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first.c_str());
      }
    }
  }
  void Set(const std::string& name, const std::optional<std::string>& value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class TemporaryHome : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "zevi-persist-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root = pattern;
    home = root + "/home";
    config = home + "/.config";
    machine = root + "/etc/xdg";
    std::filesystem::create_directories(home);
    env.Set("HOME", home);
    env.Set("XDG_CONFIG_HOME", config);
    env.Set("XDG_CONFIG_DIRS", machine);
    env.Set("XDG_DOCUMENTS_DIR", std::nullopt);
  }
  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(root, error);
  }

  static void WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // A program folder with small datum and grid lists.
  static void WriteProgramFolder(const std::string& folder) {
    WriteFile(folder + "/datums.txt",
              "M E WGS 84                WGS84         6378137.000  298.257223563\r\n"
              "M E OSGB 1936             Airy1830      6377563.396  299.324964600\r\n");
    WriteFile(folder + "/basegrids.txt",
              "U UTM\r\n"
              "P   UTM 0.0 0.0 0.9996 500000.0 0.0 M 0   3  6  7\r\n"
              "U British National Grid\r\n"
              "M E OSGB 1936             Airy1830      6377563.396  299.324964600\r\n"
              "P   TM 49.0 -2.0 0.9996012717 400000.0 -100000.0 M 0   0  6  7\r\n");
    WriteFile(folder + "/worldgrids.txt",
              "U Swiss Grid\r\nP   SOM 46.9 7.4 1.0 600000.0 200000.0 M 0   0  6  6\r\n");
    WriteFile(folder + "/usagrids.txt",
              "U State Plane\r\nP   TM 31.0 -110.2 0.9999 213360.0 0.0 M 0   0  6  7\r\n");
  }

  ScopedEnvironment env;
  std::string root;     // everything the test makes lies below
  std::string home;
  std::string config;   // $XDG_CONFIG_HOME
  std::string machine;  // first of $XDG_CONFIG_DIRS
};

}  // namespace zevi::testing
