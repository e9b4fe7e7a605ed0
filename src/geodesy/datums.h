#pragma once
// The datum list read from "datums.txt" and the current datum line, which an
// export copies into its header unchanged.
//
// A datum line starts with "M"; columns 5-25 hold the name, blank-padded, and
// the rest is the datum's parameters, which only the receiving program reads.
#include <string>
#include <vector>

namespace zevi {

class UserInterface;

inline constexpr const char* kBuiltinWgs84Line =
    "M E               WGS 84 100  0.0000000E+00  0.0000000E+00 0 0 0";
inline constexpr const char* kFirstDatumEntry = "WGS84";
inline constexpr const char* kDatumFileName = "datums.txt";

// Starts on the built-in line, so an export before any choice still names WGS 84.
struct DatumState {
  std::string name;                      // upper-cased; empty: the built-in WGS 84 line
  std::string line = kBuiltinWgs84Line;  // what the export writes
  std::vector<std::string> entries{kFirstDatumEntry};  // the datum box
  int selected = 0;                                    // box entry shown
};

// Rebuilds the box: "WGS84", then the trimmed name of every line that starts
// with "M" once trimmed, duplicates included, and selects "WGS84". A missing
// file shows "Datum File does not exist" and its path and leaves only "WGS84". Name and
// line are not touched.
void ReadDatumList(DatumState& datum, const std::string& path, UserInterface& ui);

// "WGS84" (exactly) or an empty name: the built-in line and an empty name.
// Otherwise the first line of the file whose first character is "M" and whose
// columns 5-25, trimmed, equal the name without regard to case becomes the
// datum line, as read, and the upper-cased name the datum name. The lines are
// not trimmed here, so " M E  OSGB 1936" is listed but never taken. No match
// changes nothing, silently; a missing file shows "Datum File does not exist"
// and changes nothing. The box selection is ShowDatum's business.
void SelectDatum(DatumState& datum, const std::string& name, const std::string& path,
                 UserInterface& ui);

// Selects the first box entry equal to the name without regard to case and
// makes the upper-cased name the datum name; the line stays. No match, or an
// empty name, changes nothing.
void ShowDatum(DatumState& datum, const std::string& name);

}  // namespace zevi
