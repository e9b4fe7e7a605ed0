#include "settings/settings.h"


#include <algorithm>
#include <cstdint>
#include <exception>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/folders.h"
#include "settings/files.h"
#include "settings/userinterface.h"
#include "source/range.h"
#include "values/numbers.h"

namespace zevi {

namespace {

constexpr const char* kSystemSeparators = "$$";
constexpr double kVersionKeepingGridCodes = 1.07;
constexpr int kAlignmentMissing = 99;
constexpr int kLeftAligned = 9;
constexpr std::size_t kListedBadValues = 5;

bool IsCommaTextBlank(char c) {
  return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}

// A comma list as the Columns key holds it: items split at commas and at
// blanks, an item may be quoted ("" inside quotes is one quote), a trailing
// comma adds an empty item.
std::vector<std::string> SplitCommaText(std::string_view text) {
  // A value ends at a NUL byte, as it would for the C string it came from.
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> items;
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto skipBlanks = [&] {
    while (i < n && IsCommaTextBlank(text[i])) ++i;
  };
  skipBlanks();
  while (i < n) {
    std::string item;
    if (text[i] == '"') {
      for (++i; i < n; ++i) {
        if (text[i] != '"') {
          item += text[i];
        } else if (i + 1 < n && text[i + 1] == '"') {
          item += '"';
          ++i;
        } else {
          ++i;
          break;
        }
      }
    } else {
      std::size_t start = i;
      while (i < n && static_cast<unsigned char>(text[i]) > ' ' && text[i] != ',') ++i;
      item.assign(text.substr(start, i - start));
    }
    items.push_back(std::move(item));
    skipBlanks();
    if (i < n && text[i] == ',') {
      if (i + 1 == n) items.emplace_back();
      ++i;
      skipBlanks();
    }
  }
  return items;
}

// The item as SplitCommaText reads it back.
std::string CommaTextItem(const std::string& item) {
  bool needsQuotes = std::any_of(item.begin(), item.end(), [](char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == ',';
  });
  if (!needsQuotes) return item;
  std::string quoted = "\"";
  for (char c : item) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

std::vector<std::string_view> SpaceTokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    std::size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) tokens.push_back(text.substr(start, i - start));
  }
  return tokens;
}

std::optional<std::int64_t> IntInRange(std::string_view text, std::int64_t low, std::int64_t high) {
  auto value = TryStrToInt(text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

std::optional<std::int32_t> Int32Of(std::string_view text) {
  auto value = IntInRange(text, std::numeric_limits<std::int32_t>::min(),
                          std::numeric_limits<std::int32_t>::max());
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

std::optional<int> SignedByteOf(std::string_view text) {
  auto value = IntInRange(text, -128, 127);
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

class SettingsReader {
 public:
  SettingsReader(const IniFile& file, ConversionSettings& settings, const LocaleValues& locale)
      : file_(file), s_(settings), locale_(locale) {}

  void ReadAll() {
    ReadVersion();
    s_.mode = OneOf(Get("Mode", "W"), {"T", "R"}, 'W');
    s_.dateFormat = OneOf(Get("DateFormat", "D"), {"Y", "M"}, 'D');
    ReadSeparators();
    std::string signs = Get("Signs", "NE") + "NE";
    s_.latitudeSign = signs[0] == 'S' ? -1 : 1;
    s_.longitudeSign = signs[1] == 'W' ? -1 : 1;
    s_.scaleFactor = SignedByteOf(Get("ScaleFactor", "0")).value_or(0);
    ReadGridFiles();
    s_.wptIdPrefix = Get("WptIDPrefix", "W");
    s_.defaultZone = Get("DefaultZone", "30U").substr(0, 5);
    s_.textOption = FirstCharacter(Get("TextOption", "I"), 'I');
    s_.trackStart = SignedByteOf(Get("TrackStart", "1")).value_or(1);
    ReadRecords();
    ReadColumns();
    s_.auxData = FirstCharacter(Get("Auxdata", "D"), 'D');
    s_.datum = Get("Datum", "");
    auto autoDatum = TryStrToInt(Get("AutoDatum", "1"));
    s_.autoDatum = autoDatum ? *autoDatum != 0 : true;
    s_.grid = Get("Grid", "");
    ReadBreaks();
    ReadAlignment();
    s_.symbolType = SignedByteOf(Get("SymbolType", "0")).value_or(0);
    s_.encoding = ParseEncodingName(Get("Encoding", "Automatic")).value_or(SourceEncoding::Automatic);
  }

  const std::vector<std::string>& BadValues() const { return badValues_; }

 private:
  std::string Get(const char* key, const char* fallback) const {
    return file_.Get(kSettingsSection, key, fallback);
  }

  static char OneOf(const std::string& value, std::initializer_list<const char*> accepted,
                    char otherwise) {
    for (const char* text : accepted)
      if (value == text) return text[0];
    return otherwise;
  }

  static char FirstCharacter(const std::string& value, char whenEmpty) {
    return value.empty() ? whenEmpty : value[0];
  }

  void ReadVersion() {
    try {
      s_.iniVersion = ReadNumber(Get("IniVersion", "1.00"), '.');
    } catch (const std::exception&) {
      s_.iniVersion = 1.0;
    }
  }

  void ReadSeparators() {
    std::string value = Get("Separators", "$$:");
    s_.userSeparator = value.size() >= 3 ? value[2] : ':';
    if (value.size() < 2 || value.compare(0, 2, kSystemSeparators) == 0) {
      bool commaDecimal = locale_.decimalSeparator == ',';
      s_.listSeparator = commaDecimal ? ';' : ',';
      s_.decimalSeparator = commaDecimal ? ',' : '.';
    } else {
      s_.listSeparator = value[0];
      s_.decimalSeparator = value[1];
    }
    if (s_.listSeparator == kStoredSpace) s_.listSeparator = ' ';
  }

  void ReadGridFiles() {
    std::string value = Get("Gridfiles", "XX-");
    if (s_.gridFiles.size() < 3) s_.gridFiles.resize(3, '-');
    for (std::size_t i = 0; i < 3 && i < value.size(); ++i) s_.gridFiles[i] = value[i];
  }

  void ReadRecords() {
    const std::string value = Get("Records", "BE 1 5");
    auto tokens = SpaceTokens(value);
    if (!tokens.empty()) {
      s_.firstRecordMode = tokens[0][0];
      if (tokens[0].size() >= 2) s_.lastRecordMode = tokens[0][1];
    }
    s_.firstRecord = tokens.size() >= 2 ? RecordNumberOf(tokens[1]).value_or(1) : 1;
    std::int64_t lastDefault = std::min<std::int64_t>(
        std::int64_t{s_.firstRecord} + 3, std::numeric_limits<std::int32_t>::max());
    auto last = tokens.size() >= 3 ? RecordNumberOf(tokens[2]) : std::nullopt;
    s_.lastRecord = last ? *last : static_cast<std::int32_t>(lastDefault);
  }

  void ReadColumns() {
    auto items = SplitCommaText(Get("Columns", "_/100"));
    for (int column = 1; column <= kMaxDataColumns; ++column) {
      std::string item = column <= static_cast<int>(items.size()) ? items[column - 1] : "__/80";
      std::size_t slash = item.find('/');
      std::string code;
      std::string widthText;
      if (slash == std::string::npos) {
        widthText = item;
      } else {
        code = item.substr(0, std::min<std::size_t>(slash, 2));
        widthText = item.substr(slash + 1);
      }
      if (s_.iniVersion < kVersionKeepingGridCodes && !code.empty() && code[0] == 'G') code[0] = 'O';
      if (code.size() == 1) code += ' ';
      ColumnEntry& entry = s_.columns.entries[column];
      entry.code = code;
      auto width = Int32Of(widthText);
      if (!width) badValues_.push_back("Column=" + widthText);
      entry.width = width.value_or(kDefaultColumnWidth);
    }
  }

  void ReadBreaks() {
    s_.breaks = BreakTable{};
    const std::string value = Get("Breaks", "");
    auto tokens = SpaceTokens(value);
    std::size_t count = std::min<std::size_t>(tokens.size(), kBreakCount);
    for (std::size_t i = 0; i < count; ++i) {
      std::string_view token = tokens[i];
      BreakEntry& entry = s_.breaks[i];
      entry.mark = '^';
      if (token.front() == '.') {
        entry.mark = s_.decimalSeparator;
        token.remove_prefix(1);
      } else if (token.front() == '^') {
        token.remove_prefix(1);
      }
      entry.position = static_cast<std::uint8_t>(IntInRange(token, 0, 255).value_or(0));
    }
  }

  void ReadAlignment() {
    int alignment = static_cast<int>(
        IntInRange(Get("Alignment", "99"), 0, 255).value_or(kAlignmentMissing));
    if (alignment == kAlignmentMissing) {
      auto leftAlign = TryStrToInt(Get("LeftAlign", "0"));
      alignment = leftAlign && *leftAlign != 0 ? kLeftAligned : 0;
    }
    s_.alignment = alignment;
  }

  const IniFile& file_;
  ConversionSettings& s_;
  const LocaleValues& locale_;
  std::vector<std::string> badValues_;  // "Column=wide"
};

}  // namespace

ColumnMap ConversionSettings::DefaultColumnMap() {
  ColumnMap map;
  map.entries[1] = ColumnEntry{"_ ", 100};
  return map;
}

void ReadSettings(const IniFile& file, ConversionSettings& settings, const LocaleValues& locale,
                  UserInterface& ui) {
  // Read into a copy, so a key that cannot be read never leaves the settings half replaced.
  ConversionSettings read = settings;
  SettingsReader reader(file, read, locale);
  reader.ReadAll();
  settings = std::move(read);
  // One box for a whole list of bad widths, not one per column.
  if (!reader.BadValues().empty()) {
    ui.ShowMessage(BadValuesMessage(file.Path(), kSettingsSection, reader.BadValues()));
  }
}

std::string BadValuesMessage(const std::string& path, const std::string& section,
                             const std::vector<std::string>& values) {
  std::string text = "Bad Settings file: ";
  const std::size_t listed = std::min(values.size(), kListedBadValues);
  for (std::size_t i = 0; i < listed; ++i) text += (i > 0 ? ", " : "") + values[i];
  if (values.size() > listed) text += " and " + std::to_string(values.size() - listed) + " more";
  if (!path.empty()) text += "\r\nSection " + section + " of " + path;
  return text;
}

void WriteSettings(IniFile& file, const ConversionSettings& settings) {
  auto set = [&](const char* key, const std::string& value) {
    file.Set(kSettingsSection, key, value);
  };
  set("Mode", std::string(1, settings.mode));
  set("Dateformat", std::string(1, settings.dateFormat));
  char list = settings.listSeparator == ' ' ? kStoredSpace : settings.listSeparator;
  set("Separators", std::string{list, settings.decimalSeparator, settings.userSeparator});
  set("Signs", std::string{settings.latitudeSign < 0 ? 'S' : 'N',
                           settings.longitudeSign < 0 ? 'W' : 'E'});
  set("ScaleFactor", std::to_string(settings.scaleFactor));
  set("Gridfiles", settings.gridFiles);
  set("WptIDPrefix", settings.wptIdPrefix);
  set("DefaultZone", settings.defaultZone);
  set("TextOption", std::string(1, settings.textOption));
  set("TrackStart", std::to_string(settings.trackStart));
  set("Records", std::string{settings.firstRecordMode, settings.lastRecordMode} + " " +
                     std::to_string(settings.firstRecord) + " " +
                     std::to_string(settings.lastRecord));
  std::string columns;
  for (int column = 1; column <= kMaxDataColumns; ++column) {
    const ColumnEntry& entry = settings.columns.entries[column];
    if (column > 1) columns += ',';
    columns += CommaTextItem(entry.code + "/" + std::to_string(entry.width));
  }
  set("Columns", columns);
  set("AuxData", std::string(1, settings.auxData));
  set("Datum", settings.datum.empty() ? "WGS 84" : settings.datum);
  set("AutoDatum", settings.autoDatum ? "1" : "0");
  set("Grid", settings.grid);
  std::string breaks;
  for (const BreakEntry& entry : settings.breaks) {
    if (entry.position == 0) break;
    breaks += ' ';
    if (entry.mark == '.' || entry.mark == ',') breaks += '.';
    breaks += std::to_string(entry.position);
  }
  set("Breaks", breaks);
  set("Alignment", std::to_string(settings.alignment));
  set("SymbolType", std::to_string(settings.symbolType));
  set("Encoding", std::string(EncodingName(settings.encoding)));
}

bool LoadSettingsFile(const std::string& path, ConversionSettings& settings,
                      const LocaleValues& locale, UserInterface& ui) {
  if (!FileExists(path)) {
    ui.ShowMessage("Settings file: " + path + " does not exist.");
    return false;
  }
  IniFile file(path);
  if (!file.Load()) {
    ui.ShowMessage(UnreadableFileMessage(path, file.LoadFailure()));
    return false;
  }
  ReadSettings(file, settings, locale, ui);
  return true;
}

bool SaveSettingsFile(const std::string& path, const ConversionSettings& settings,
                      UserInterface& ui) {
  IniFile file(path);
  // An unreadable file is not overwritten: its other sections would be lost.
  if (!file.Load()) {
    ui.ShowMessage(UnableToWriteMessage(path, file.LoadFailure()));
    return false;
  }
  WriteSettings(file, settings);
  bool ok = file.Save();
  if (!ok) ui.ShowMessage(UnableToWriteMessage(path));
  return ok;
}

}  // namespace zevi
