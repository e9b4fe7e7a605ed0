#pragma once
// Column kinds: the vocabulary of codes, the column map the user edits, and
// the kind-to-column index the export reads.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zevi {

// At most two characters: family, then variant ("KD", "__", "_ ", "A" + aux letter).
using ColumnCode = std::string;

inline constexpr int kMaxColumnCount = 27;   // row-number column + 26 data columns
inline constexpr int kMaxDataColumns = 26;
inline constexpr int kNoColumn = 0;          // column 0 never holds a kind
inline constexpr int kDefaultColumnWidth = 80;

// The kind slots, in the order the index keeps them.
enum class Slot : int {
  ID, Grid, Zone, Easting, Northing,
  Latitude, LatitudeMinutes, LatitudeSeconds, LatitudeHemisphere,
  Longitude, LongitudeMinutes, LongitudeSeconds, LongitudeHemisphere,
  Altitude, DateTime, Date, Time, Day, Month, Year, DaysCount, SecondsCount,
  Aux, Symbol, Comment1, Comment2, Comment3, Comment4, Comment5, TrackStart,
};
inline constexpr int kSlotCount = 30;

struct ColumnEntry {
  ColumnCode code = "__";
  std::int32_t width = kDefaultColumnWidth;
};

// Entry 0 belongs to the row-number column and never holds a kind.
struct ColumnMap {
  std::array<ColumnEntry, kMaxColumnCount> entries{};
};

struct KindColumn {
  std::array<int, kSlotCount> columns{};  // kNoColumn or 1..26
  char altitudeUnit = 'M';                // 'F' while the altitude column is "HF"

  int operator[](Slot slot) const { return columns[static_cast<int>(slot)]; }
  int& operator[](Slot slot) { return columns[static_cast<int>(slot)]; }
  bool Has(Slot slot) const { return (*this)[slot] != kNoColumn; }
};

// What a heading depends on besides the code.
struct HeadingContext {
  char dateFormat = 'D';   // DateFormat setting
  int gridZoneWidth = 0;   // zone width of the selected grid
};

// The run-time part of a heading, placed between its fixed texts.
enum class HeadingPart {
  None,
  DateOrder,   // "DMY", "MDY" or "YMD" from the DateFormat setting
  GridZone,    // "Zn " when the selected grid has zones
  Letter,      // the column letter
};

// One row of the vocabulary: every menu, heading and slot comes from this
// table, so adding a kind is one row.
struct KindInfo {
  const char* code;           // "KD"; "A" alone for the aux item (letter added at run time)
  const char* menuGroup;      // "Latitude", or "" for a top-level item
  const char* menuCaption;    // "DD.dddddd"; "" for kinds only a settings file brings
  const char* popupCaption;   // caption in the column pop-up where it differs, else ""
  bool separatorAfter;        // a menu separator follows the item
  const char* headingBefore;  // heading = headingBefore + part + headingAfter
  HeadingPart headingPart;
  const char* headingAfter;
  std::optional<Slot> slot;   // none for Ignore
  bool familyDefault;         // the row for any unlisted variant of its first character
};
const std::vector<KindInfo>& KindVocabulary();

// The code a menu item assigns: the aux item takes the current aux letter.
ColumnCode CodeOfMenuItem(const KindInfo& item, char auxLetter);

// An empty code counts as "_ "; longer codes as their first two characters.
ColumnCode NormalizedCode(std::string_view code);

// The slot a code claims, or none ("_" and unknown families claim none).
std::optional<Slot> SlotOfCode(std::string_view code);

// Heading text of a code shown in data column `column` (1 = "A").
std::string ColumnHeading(std::string_view code, int column, const HeadingContext& context);

// Letter of a data column: 1 -> "A"; empty outside 1..26.
std::string ColumnLetter(int column);

// First data column 1..26 holding the kind, or kNoColumn. Main notations of
// latitude (and of longitude) count as one kind.
int FindKindColumn(const ColumnMap& map, std::string_view code);

// Recomputes the index from the map's columns 1..columnCount-1; a later
// column claiming a taken slot is turned into "_ ".
void RebuildKindColumns(ColumnMap& map, int columnCount, KindColumn& kinds);

}  // namespace zevi
