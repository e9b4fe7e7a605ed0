#pragma once
// Everything that describes one source layout and how to convert it: the
// record a settings file stores in its SETTINGS section.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "platform/locale.h"
#include "source/columns.h"
#include "source/encoding.h"

namespace zevi {

class UserInterface;

inline constexpr char kNoListSeparator = '\xA5';   // split by column breaks only
inline constexpr char kStoredSpace = '\xB6';       // a space list separator in the file
inline constexpr int kBreakCount = 27;
inline constexpr const char* kSettingsSection = "SETTINGS";

struct BreakEntry {
  std::uint8_t position = 0;  // 1..255; 0 ends the table
  char mark = '^';            // '^' a column break, '.' or ',' a character to insert
};
using BreakTable = std::array<BreakEntry, kBreakCount>;

struct ConversionSettings {
  char mode = 'W';                 // ConvertMode: 'W', 'R', 'T'
  char dateFormat = 'D';           // 'D', 'M', 'Y'
  char listSeparator = ',';
  char decimalSeparator = '.';
  char userSeparator = ':';
  int latitudeSign = 1;            // +1 or -1
  int longitudeSign = 1;
  int scaleFactor = 0;             // -128..127
  std::string gridFiles = "XX-";
  std::string wptIdPrefix = "W";
  std::string defaultZone = "30U";
  char textOption = 'I';
  int trackStart = 1;              // -128..127; 0 or negative: none
  char firstRecordMode = 'B';      // 'B' or 'R'
  char lastRecordMode = 'E';       // 'E' or 'R'
  std::int32_t firstRecord = 1;
  std::int32_t lastRecord = 5;
  ColumnMap columns = DefaultColumnMap();
  char auxData = 'D';              // 'D', 'H', 'B', 'T'
  std::string datum;               // empty: WGS 84
  bool autoDatum = true;
  std::string grid;                // empty: latitude/longitude
  BreakTable breaks{};
  int alignment = 0;               // 0..3, 9 left aligned
  int symbolType = 0;              // -128..127
  SourceEncoding encoding = SourceEncoding::Automatic;
  double iniVersion = 1.0;

  // What an empty Columns key gives: column 1 "_ " width 100, the rest "__" width 80.
  static ColumnMap DefaultColumnMap();
};

// Reads the SETTINGS section over `settings`, key by key, with the defaults
// and fallbacks of each key. Bad column widths go to `ui` in one message.
// Values the fields cannot hold take the key's default, so no key is ever
// half read: TrackStart outside -128..127 reads 1, SymbolType outside it 0,
// ScaleFactor outside it 0; Alignment outside 0..255 counts as missing (then
// LeftAlign decides); break tokens after the 27th are ignored, and so are
// Columns items after the 26th; record numbers beyond 32 bits are clamped to
// them (RecordNumberOf). An Encoding value that names no encoding reads as
// Automatic. The settings change only once the whole section is read.
void ReadSettings(const IniFile& file, ConversionSettings& settings,
                  const LocaleValues& locale, UserInterface& ui);

// "Bad Settings file: " + the bad values (the first five, then how many
// more), and a second line naming the section and the file when it has a path:
//   {"Column=wide"}, no path -> "Bad Settings file: Column=wide"
//   {"Column=a", "Column=b"}  -> "Bad Settings file: Column=a, Column=b\r\n"
//                                "Section SETTINGS of /d/walk.ini"
std::string BadValuesMessage(const std::string& path, const std::string& section,
                             const std::vector<std::string>& values);

// Writes the keys of the SETTINGS section into `file` (in memory); other keys
// and sections stay.
void WriteSettings(IniFile& file, const ConversionSettings& settings);

// Loads a settings file. False (after "Settings file: <path> does not exist.",
// or UnreadableFileMessage) when there is none or it cannot be read; the
// settings then stay as they were.
bool LoadSettingsFile(const std::string& path, ConversionSettings& settings,
                      const LocaleValues& locale, UserInterface& ui);

// Saves to a settings file, keeping its other sections and keys. False
// (after "Unable to write to <path>", with a second line when the file exists
// but cannot be read) when it cannot be written.
bool SaveSettingsFile(const std::string& path, const ConversionSettings& settings,
                      UserInterface& ui);

}  // namespace zevi
