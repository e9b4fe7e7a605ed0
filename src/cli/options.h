#pragma once
// The command line of zevi-convert.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zevi::cli {

inline constexpr const char* kVersionText = "ZEVI Import File Converter 1.36";

// How the per-record question ("Error in record ...") is answered.
enum class OnError { Ask, Abort, Ignore, All };

struct Options {
  std::vector<std::string> sources;
  std::optional<std::string> settingsFile;                 // -s, --settings
  std::vector<std::pair<std::string, std::string>> sets;   // --set KEY=VALUE, in order
  bool showTable = false;
  bool showSettings = false;
  bool suggestColumns = false;
  bool help = false;
  bool version = false;
  std::optional<std::string> output;                       // -o, --output: a file or a folder
  std::optional<std::string> dataDir;                      // --data-dir
  bool force = false;
  bool defaultPosition = false;
  OnError onError = OnError::Ignore;
  std::optional<char> zoneLetter;
};

struct ParseResult {
  Options options;
  std::string error;  // empty when the command line is sound
};

// Accepts "--name VALUE", "--name=VALUE", "-o VALUE", "-oVALUE", and "--"
// before sources that begin with "-". Rejects unknown options, a missing
// value, "--set" without "=" or with a key the settings do not have,
// "--on-error" other than ask/abort/ignore/all, a "--zone-letter" that is
// not one letter, an "--encoding" that names no encoding, and a conversion
// without a source. "--encoding" adds to the sets as the key "Encoding".
ParseResult ParseOptions(const std::vector<std::string>& arguments);

std::string UsageText();

// The keys the settings reader knows, as a settings file spells them.
const std::vector<std::string>& SettingsKeys();

}  // namespace zevi::cli
