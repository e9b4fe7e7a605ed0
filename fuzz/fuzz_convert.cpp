// The batch command as a user runs it: a settings file and a source, both
// arbitrary, converted into a target that may already exist. Whatever the
// outcome, the target is the old file untouched (or none) unless the run
// wrote or was aborted, no temporary is left beside it, and the exit status
// says which happened.
//
// Input: option bytes, then the settings text up to a line "====", then the source.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/cli_ui.h"
#include "cli/convert.h"
#include "cli/options.h"
#include "fuzz_support.h"

using namespace zevi;

namespace {

constexpr std::string_view kOldTarget = "old target\r\n";

// The shipped data without the base map, whose load and check, slow under the
// sanitizers, are then left out.
const std::string& DataWithoutMap() {
  static const std::string folder = [] {
    const std::string made = fuzz::ScratchPath("data/");
    std::filesystem::create_directories(made);
    for (const auto& entry : std::filesystem::directory_iterator(ZEVI_DATA_FOLDER)) {
      if (entry.path().filename() != "worldmap.bin") {
        std::filesystem::create_symlink(entry.path(), made + entry.path().filename().string());
      }
    }
    return made;
  }();
  return folder;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  cli::Options options;
  options.onError = static_cast<cli::OnError>(1 + in.Byte() % 3);  // never Ask: no terminal here
  options.defaultPosition = in.Flag();
  options.quiet = in.Flag();
  const bool targetExists = in.Flag();
  if (in.Flag()) options.zoneLetter = in.Pick({'U', 'C', 'X', 'N'});
  const std::string dataFolder = in.Byte() % 8 == 0 ? ZEVI_DATA_FOLDER : DataWithoutMap();

  const std::string_view rest = in.Rest();
  const std::size_t cut = rest.find("\n====\n");
  const std::string_view settingsText = cut == std::string_view::npos ? std::string_view{} : rest.substr(0, cut);
  const std::string_view sourceText = cut == std::string_view::npos ? rest : rest.substr(cut + 6);

  const std::string folder = fuzz::ScratchPath("");
  const std::string target = folder + "out.gps";
  std::filesystem::remove(target);
  if (targetExists) fuzz::WriteScratchFile("out.gps", kOldTarget);
  options.sources = {fuzz::WriteScratchFile("source.txt", sourceText)};
  options.settingsFile = fuzz::WriteScratchFile("source.ini", settingsText);
  options.output = target;
  options.force = true;

  std::FILE* sink = std::fopen("/dev/null", "w");
  if (sink == nullptr) std::abort();
  int status;
  {
    cli::CliUserInterface ui(options, sink, nullptr, false);
    status = cli::RunCommand(options, dataFolder, ui, sink);
  }
  std::fclose(sink);
  ZEVI_FUZZ_CHECK(status >= cli::kExitWritten && status <= cli::kExitUnreadable);

  // Nothing beside the target but what was put there.
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    ZEVI_FUZZ_CHECK(name == "out.gps" || name == "source.txt" || name == "source.ini" || name == "data");
  }
  const bool written = status == cli::kExitWritten || status == cli::kExitMissingRecords;
  if (!std::filesystem::exists(target)) {
    ZEVI_FUZZ_CHECK(!written && !targetExists);
    return 0;
  }
  const std::string output = ReadWhole(target);
  if (output == kOldTarget) {
    // A run that wrote put its header there at least.
    ZEVI_FUZZ_CHECK(!written);
    return 0;
  }
  ZEVI_FUZZ_CHECK(written || status == cli::kExitRefused);  // aborted: what was written so far
  // Every line of the format ends with CR LF, the header's first among them.
  ZEVI_FUZZ_CHECK(output.size() >= 2 && output.compare(output.size() - 2, 2, "\r\n") == 0);
  for (std::size_t at = output.find('\n'); at != std::string::npos; at = output.find('\n', at + 1)) {
    ZEVI_FUZZ_CHECK(at > 0 && output[at - 1] == '\r');
  }
  return 0;
}
