// zevi-convert's word on positions that fall in the sea: a warning on
// standard error before the export, which goes on with its usual status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path kPositions = fs::path(ZEVI_DATA_DIR) / ".." / "tests" / "data" / "positions";

struct Outcome {
  int status = -1;
  std::string err;
};

// Converts a copy of the example (with its settings file) in a scratch folder.
Outcome Convert(const std::string& example) {
  std::string pattern = (fs::temp_directory_path() / "zevi-positions-XXXXXX").string();
  fs::path folder = ::mkdtemp(pattern.data());
  for (const char* extension : {".txt", ".ini"}) {
    fs::path source = kPositions / (example + extension);
    if (!fs::exists(source)) source = fs::path(ZEVI_DATA_DIR) / "examples" / (example + extension);
    fs::copy_file(source, folder / (example + extension));
  }
  fs::path err = folder / "stderr";
  std::string command = "cd '" + folder.string() + "' && LC_ALL=C '" + ZEVI_BIN_DIR +
                        "/zevi-convert' " + example + ".txt </dev/null >/dev/null 2>stderr";
  Outcome run;
  int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream in(err);
  run.err.assign(std::istreambuf_iterator<char>(in), {});
  fs::remove_all(folder);
  return run;
}

TEST(ConvertPositions, WarnsOfPositionsThatLandOnlyWhenSwappedOrFlipped) {
  struct Case {
    const char* example;
    std::string warning;  // the first line on standard error, or none
  } cases[] = {
      {"walk", ""},
      {"walk-unsigned",
       "100% of the positions are in the sea; with west longitudes they are all on land: set "
       "Settings > Sign to West, or check the longitude column\n"},
      {"walk-swapped",
       "100% of the positions are in the sea; with latitude and longitude swapped they are all on "
       "land: swap the Latitude and Longitude columns\n"},
      {"walk-utm-south",
       "100% of the positions are in the sea; with zone letters of the northern hemisphere (N to X) "
       "they are all on land: check the zone column\n"},
      {"channel-sail", ""},
  };
  for (const Case& c : cases) {
    Outcome run = Convert(c.example);
    EXPECT_EQ(run.status, 0) << c.example;
    EXPECT_EQ(run.err, c.warning + "File written successfully\n" + c.example + ".gps\n") << c.example;
  }
}

}  // namespace
