#include "source/columns.h"

#include <algorithm>

namespace zevi {

namespace {

using enum HeadingPart;

// Menu order is table order; rows without a menu caption only come from a
// settings file or stand for a variant the aux letter picks.
const std::vector<KindInfo> kVocabulary = {
    // code  group         menu caption          pop-up                  sep    heading
    {"__", "", "Ignore", "", false, "", Letter, ": Ignore", std::nullopt, true},
    {"I_", "", "ID", "", false, "ID", None, "", Slot::ID, true},
    {"I2", "", "", "", false, "ID-2", None, "", Slot::ID, false},
    {"Z_", "", "Zone", "", false, "Zone", None, "", Slot::Zone, true},
    {"E_", "", "Easting", "", false, "Easting", None, "", Slot::Easting, true},
    {"N_", "", "Northing", "", false, "Northing", None, "", Slot::Northing, true},
    {"KD", "Latitude", "DD.dddddd", "", false, "Lat (DD.dd)", None, "", Slot::Latitude, true},
    {"KM", "Latitude", "DD MM.mmmm", "", false, "Lat (D\xB0M.m)", None, "", Slot::Latitude, false},
    {"KS", "Latitude", "DD MM SS.ss", "", false, "Lat (D\xB0M'S.s)", None, "", Slot::Latitude, false},
    {"KN", "Latitude", "DDMM.mmmm", "", true, "Lat (DDMM.mm)", None, "", Slot::Latitude, false},
    {"Km", "Latitude", "minutes", "", false, "Lat (mins)", None, "", Slot::LatitudeMinutes, false},
    {"Ks", "Latitude", "seconds", "", false, "Lat (secs)", None, "", Slot::LatitudeSeconds, false},
    {"Kh", "Latitude", "hemisphere (N/S)", "", false, "N/S", None, "", Slot::LatitudeHemisphere, false},
    {"LD", "Longitude", "DDD.dddddd", "", false, "Long(DDD.dd)", None, "", Slot::Longitude, true},
    {"LM", "Longitude", "DDD MM.mmmm", "", false, "Long(D\xB0M.m)", None, "", Slot::Longitude, false},
    {"LS", "Longitude", "DDD MM SS.ss", "", false, "Long(D\xB0M'S.s)", None, "", Slot::Longitude, false},
    {"LN", "Longitude", "DDDMM.mmmm", "", true, "Long(DDDMM.mm)", None, "", Slot::Longitude, false},
    {"Lm", "Longitude", "minutes", "", false, "Long(mins)", None, "", Slot::LongitudeMinutes, false},
    {"Ls", "Longitude", "seconds", "", false, "Long(secs)", None, "", Slot::LongitudeSeconds, false},
    {"Lh", "Longitude", "hemisphere (E/W)", "", false, "E/W", None, "", Slot::LongitudeHemisphere, false},
    {"HM", "Altitude", "metres", "", false, "Alt(metres)", None, "", Slot::Altitude, true},
    {"HD", "Altitude", "decimetres", "", false, "Alt(dmtrs)", None, "", Slot::Altitude, false},
    {"HF", "Altitude", "feet", "", false, "Alt(feet)", None, "", Slot::Altitude, false},
    {"DB", "Date/Time", "Date Time", "", false, "Date(", DateOrder, ")  Time", Slot::DateTime, true},
    {"DD", "Date/Time", "Date", "", false, "Date(", DateOrder, ")", Slot::Date, false},
    {"DT", "Date/Time", "Time", "", false, "Time", None, "", Slot::Time, false},
    {"DA", "Date/Time", "Day", "", false, "Day", None, "", Slot::Day, false},
    {"DM", "Date/Time", "Month", "", false, "Month", None, "", Slot::Month, false},
    {"DY", "Date/Time", "Year", "", false, "Year", None, "", Slot::Year, false},
    {"DX", "Date/Time", "Days from 1/1/1900", "", false, "Days from 1/1/1900", None, "", Slot::DaysCount, false},
    {"DS", "Date/Time", "Secs from 31/12/89", "Secs from 31/12/1989", false, "Secs from 31/12/89", None, "", Slot::SecondsCount, false},
    {"S_", "", "Symbol", "Symbols", false, "Symbol", None, "", Slot::Symbol, true},
    {"S2", "", "", "", false, "Symbol-2", None, "", Slot::Symbol, false},
    {"A", "", "Aux Data", "AuxData", false, "Depth", None, "", Slot::Aux, true},
    {"AH", "", "", "", false, "Heartrate", None, "", Slot::Aux, false},
    {"AB", "", "", "", false, "Heading", None, "", Slot::Aux, false},
    {"AT", "", "", "", false, "Temperature", None, "", Slot::Aux, false},
    {"T_", "", "Track Start", "", false, "Track Start", None, "", Slot::TrackStart, true},
    {"C1", "Comment", "Comment-1", "", false, "Comment-1", None, "", Slot::Comment1, true},
    {"C2", "Comment", "Comment-2", "", false, "Comment-2", None, "", Slot::Comment2, false},
    {"C3", "Comment", "Comment-3", "", false, "Comment-3", None, "", Slot::Comment3, false},
    {"C4", "Comment", "Comment-4", "", false, "Comment-4", None, "", Slot::Comment4, false},
    {"C5", "Comment", "Comment-5", "", false, "Comment-5", None, "", Slot::Comment5, false},
    {"OG", "Other", "Grid", "", false, "Grid(", GridZone, "E/N)", Slot::Grid, true},
    {"OX", "Other", "Garmin(IQue Hex)", "", false, "GARMIN(IQue Hex)", None, "", Slot::Grid, false},
};

// The row that describes a code: its own row, else its family's default row;
// null for a first character that names no family.
const KindInfo* RowOfCode(std::string_view code) {
  const ColumnCode normalized = NormalizedCode(code);
  const KindInfo* familyRow = nullptr;
  for (const KindInfo& row : kVocabulary) {
    if (row.code[0] != normalized[0]) continue;
    if (row.code[1] == normalized[1]) return &row;
    if (row.familyDefault) familyRow = &row;
  }
  return familyRow;
}

// The four main notations of a coordinate count as one kind when looking for
// a holder; companions (minutes, seconds, hemisphere) stay apart.
ColumnCode HolderKey(std::string_view code) {
  ColumnCode key = NormalizedCode(code);
  if ((key[0] == 'K' || key[0] == 'L') &&
      (key[1] == 'D' || key[1] == 'M' || key[1] == 'N' || key[1] == 'S')) {
    key[1] = '*';
  }
  return key;
}

}  // namespace

const std::vector<KindInfo>& KindVocabulary() { return kVocabulary; }

ColumnCode CodeOfMenuItem(const KindInfo& item, char auxLetter) {
  ColumnCode code = item.code;
  if (code.size() == 1) code += auxLetter;
  return code;
}

ColumnCode NormalizedCode(std::string_view code) {
  if (code.empty()) return "_ ";
  ColumnCode result(code.substr(0, 2));
  if (result.size() == 1) result += ' ';
  return result;
}

std::optional<Slot> SlotOfCode(std::string_view code) {
  const KindInfo* row = RowOfCode(code);
  return row ? row->slot : std::nullopt;
}

std::string ColumnLetter(int column) {
  if (column < 1 || column > kMaxDataColumns) return {};
  return std::string(1, static_cast<char>('A' + column - 1));
}

std::string ColumnHeading(std::string_view code, int column, const HeadingContext& context) {
  const KindInfo* row = RowOfCode(code);
  if (row == nullptr) return "Ignore";
  std::string heading = row->headingBefore;
  switch (row->headingPart) {
    case None:
      break;
    case DateOrder:
      heading += context.dateFormat == 'M' ? "MDY" : context.dateFormat == 'Y' ? "YMD" : "DMY";
      break;
    case GridZone:
      if (context.gridZoneWidth != 0) heading += "Zn ";
      break;
    case Letter:
      heading += ColumnLetter(column);
      break;
  }
  heading += row->headingAfter;
  return heading;
}

int FindKindColumn(const ColumnMap& map, std::string_view code) {
  const ColumnCode key = HolderKey(code);
  for (int column = 1; column <= kMaxDataColumns; ++column) {
    if (HolderKey(map.entries[column].code) == key) return column;
  }
  return kNoColumn;
}

void RebuildKindColumns(ColumnMap& map, int columnCount, KindColumn& kinds) {
  kinds.columns.fill(kNoColumn);
  const int lastColumn = std::min(columnCount - 1, kMaxDataColumns);
  for (int column = 1; column <= lastColumn; ++column) {
    ColumnCode& code = map.entries[column].code;
    const std::optional<Slot> slot = SlotOfCode(code);
    if (!slot) continue;
    if (kinds.Has(*slot)) {
      code = "_ ";
    } else {
      kinds[*slot] = column;
    }
  }
  kinds.altitudeUnit =
      kinds.Has(Slot::Altitude) && map.entries[kinds[Slot::Altitude]].code == "HF" ? 'F' : 'M';
}

}  // namespace zevi
