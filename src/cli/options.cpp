#include "cli/options.h"

#include <algorithm>
#include <functional>

#include "source/encoding.h"

namespace zevi::cli {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameKey(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::optional<OnError> OnErrorOf(const std::string& text) {
  if (text == "ask") return OnError::Ask;
  if (text == "abort") return OnError::Abort;
  if (text == "ignore") return OnError::Ignore;
  if (text == "all") return OnError::All;
  return std::nullopt;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& arguments) : args_(arguments) {}

  ParseResult Run() {
    bool optionsEnded = false;
    for (i_ = 0; i_ < args_.size() && error_.empty(); ++i_) {
      const std::string& arg = args_[i_];
      if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
        options_.sources.push_back(arg);
      } else if (arg == "--") {
        optionsEnded = true;
      } else if (arg.rfind("--", 0) == 0) {
        LongOption(arg);
      } else {
        ShortOption(arg);
      }
    }
    if (error_.empty()) CheckCombination();
    return {std::move(options_), std::move(error_)};
  }

 private:
  using Handler = std::function<void(const std::string& value)>;

  struct Switch {
    const char* longName;
    char shortName;  // '\0': none
    bool takesValue;
    Handler handle;
  };

  std::vector<Switch> Switches() {
    return {
        {"settings", 's', true, [this](const std::string& v) { options_.settingsFile = v; }},
        {"set", 0, true, [this](const std::string& v) { AddSet(v); }},
        {"show-table", 0, false, [this](const std::string&) { options_.showTable = true; }},
        {"show-settings", 0, false, [this](const std::string&) { options_.showSettings = true; }},
        {"suggest-columns", 0, false,
         [this](const std::string&) { options_.suggestColumns = true; }},
        {"help", 'h', false, [this](const std::string&) { options_.help = true; }},
        {"version", 0, false, [this](const std::string&) { options_.version = true; }},
        {"output", 'o', true, [this](const std::string& v) { options_.output = v; }},
        {"data-dir", 0, true, [this](const std::string& v) { options_.dataDir = v; }},
        {"force", 'f', false, [this](const std::string&) { options_.force = true; }},
        {"default-position", 0, false,
         [this](const std::string&) { options_.defaultPosition = true; }},
        {"on-error", 0, true, [this](const std::string& v) { SetOnError(v); }},
        {"zone-letter", 0, true, [this](const std::string& v) { SetZoneLetter(v); }},
        {"encoding", 0, true, [this](const std::string& v) { SetEncoding(v); }},
    };
  }

  void LongOption(const std::string& arg) {
    std::size_t equals = arg.find('=');
    std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    for (const Switch& option : Switches()) {
      if (name != option.longName) continue;
      if (!option.takesValue) {
        if (equals != std::string::npos) Fail("option --" + name + " takes no value");
        else option.handle("");
      } else if (equals != std::string::npos) {
        option.handle(arg.substr(equals + 1));
      } else {
        TakeValue("--" + name, option.handle);
      }
      return;
    }
    Fail("unknown option " + arg);
  }

  void ShortOption(const std::string& arg) {
    for (const Switch& option : Switches()) {
      if (option.shortName == 0 || arg[1] != option.shortName) continue;
      if (!option.takesValue) {
        if (arg.size() > 2) break;
        option.handle("");
      } else if (arg.size() > 2) {
        option.handle(arg.substr(2));
      } else {
        TakeValue(arg, option.handle);
      }
      return;
    }
    Fail("unknown option " + arg);
  }

  void TakeValue(const std::string& name, const Handler& handle) {
    if (i_ + 1 >= args_.size()) {
      Fail("option " + name + " needs a value");
      return;
    }
    handle(args_[++i_]);
  }

  void AddSet(const std::string& value) {
    std::size_t equals = value.find('=');
    if (equals == std::string::npos) {
      Fail("--set needs KEY=VALUE, not " + value);
      return;
    }
    std::string key = value.substr(0, equals);
    const auto& keys = SettingsKeys();
    auto known = std::find_if(keys.begin(), keys.end(),
                              [&](const std::string& k) { return SameKey(k, key); });
    if (known == keys.end()) {
      Fail("unknown settings key " + key);
      return;
    }
    options_.sets.emplace_back(*known, value.substr(equals + 1));
  }

  void SetOnError(const std::string& value) {
    auto mode = OnErrorOf(value);
    if (!mode) Fail("--on-error takes ask, abort, ignore or all, not " + value);
    else options_.onError = *mode;
  }

  void SetZoneLetter(const std::string& value) {
    if (value.size() != 1 || !IsLetter(value[0])) Fail("--zone-letter takes one letter, not " + value);
    else options_.zoneLetter = value[0];
  }

  // The same as --set Encoding=..., but a name that is no encoding is refused
  // rather than read as Automatic.
  void SetEncoding(const std::string& value) {
    auto encoding = ParseEncodingName(value);
    if (!encoding) Fail("--encoding takes auto, utf-8, utf-16 or windows-1252, not " + value);
    else options_.sets.emplace_back("Encoding", std::string(EncodingName(*encoding)));
  }

  void CheckCombination() {
    if (options_.help || options_.version || options_.showSettings) return;
    if (options_.sources.empty()) Fail("no source file");
  }

  void Fail(const std::string& text) {
    if (error_.empty()) error_ = text;
  }

  const std::vector<std::string>& args_;
  std::size_t i_ = 0;
  Options options_;
  std::string error_;
};

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& arguments) {
  return Parser(arguments).Run();
}

const std::vector<std::string>& SettingsKeys() {
  static const std::vector<std::string> keys = {
      "IniVersion", "Mode",       "Dateformat", "Separators", "Signs",      "ScaleFactor",
      "Gridfiles",  "WptIDPrefix", "DefaultZone", "TextOption", "TrackStart", "Records",
      "Columns",    "AuxData",    "Datum",      "AutoDatum",  "Grid",       "Breaks",
      "Alignment",  "LeftAlign",  "SymbolType", "Encoding"};
  return keys;
}

std::string UsageText() {
  return R"(Usage: zevi-convert [OPTIONS] SOURCE...
Converts column-oriented text files of GPS positions into Vozirado's text
exchange format (waypoints, a route or a track).

Settings (read over the defaults; without -s the source's own settings file,
its path with the extension replaced by ".ini", when there is one):
  -s, --settings FILE    read the SETTINGS section of FILE
      --set KEY=VALUE    set one settings key after the file (repeatable),
                         e.g. --set Mode=T --set "Columns=I_/60,KD/90,LD/90"
      --encoding NAME    the source's encoding: auto (default: a byte-order
                         mark, else UTF-8 when the text is valid UTF-8 with
                         accents, else Windows-1252), utf-8, utf-16 or
                         windows-1252; the same as --set Encoding=NAME

Looking instead of converting:
      --show-table       print the loaded table: "#" and the column headings,
                         then per row its number, marker (0 empty line, 1 data)
                         and cells, all tab-separated
      --show-settings    print the SETTINGS section as a settings file holds it
      --suggest-columns  print the suggested column kinds of each SOURCE: a
                         Columns= line for --set or a settings file, then
                         one line per column with the reason

Converting (the default):
  -o, --output FILE      target file (one SOURCE only); an existing folder
                         takes each default target name
                         (default: the source's name with ".gps" for a ".txt"
                         source, ".txt" otherwise, beside the source)
      --data-dir DIR     folder of datums.txt and the grid lists
                         (default: the folder of this program)
  -f, --force            overwrite an existing target
      --default-position use a default coordinate when the position columns
                         are missing (otherwise nothing is written)
      --on-error MODE    a record that fails: ignore (default, each reported),
                         all (first reported, the rest counted), abort, or ask
                         (on the terminal; abort without one)
      --zone-letter C    latitude band letter for two-character UTM zones
                         (otherwise "T", with a warning)

  -h, --help             this text
      --version          the program's name and version

Exit status: 0 written; 1 written with missing records; 2 bad usage, aborted
or refused; 3 a source that cannot be read or a target that cannot be written.
)";
}

}  // namespace zevi::cli
