#pragma once
// The grid lists read from the grid files, and the current grid's name and
// layout numbers.
//
// A grid entry in a grid file is a name line ("U" and the name), an optional
// datum line ("M E" and the datum-line layout of datums.h) and a parameter
// line. The parameter line's first four characters are skipped and the rest
// is split at runs of blanks; fields 9, 10 and 11 are the zone width, the
// easting digits and the northing digits, the fields before them belong to
// the receiving program and are not read here.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zevi {

class UserInterface;
struct DatumState;

inline constexpr const char* kFirstGridEntry = "Lat/Long";
// Base file first, then the optional files in the order of the Gridfiles switches.
inline constexpr std::array<const char*, 4> kGridFileNames = {"basegrids.txt", "worldgrids.txt",
                                                              "usagrids.txt", "ostn02grids.txt"};

struct GridState {
  std::array<std::string, 4> files;  // full paths, in kGridFileNames order
  std::string name;                  // upper-cased; empty: Lat/Long
  int zoneWidth = 0;                 // 0: no zones
  int eastingDigits = 0;
  int northingDigits = 0;
  std::vector<std::string> entries{kFirstGridEntry};  // the grid box
  int selected = 0;
  bool defaultZoneVisible = false;
};

// The three layout numbers of a parameter line, each a whole number in
// -128..127 (read as they stand: a negative number is not refused).
struct GridLayout {
  int zoneWidth = 0;
  int eastingDigits = 0;
  int northingDigits = 0;
};

// "P   TM 49 -2 0.9996 400000 -100000 M 0 3 6 7" gives 3, 6, 7; extra fields
// are ignored. Leading blanks after the skipped four characters start no field.
// Throws EConvertError "'<field>' is not a valid integer value" for a field
// that is not a whole number ("6.5", "x"; a missing field reads as "") and
// ERangeError "Range check error" for one outside -128..127 ("128", "-129").
GridLayout ReadGridLayout(std::string_view parameterLine);

// Sets the four file paths from the folder holding them (ending with '/').
void SetGridFiles(GridState& grid, const std::string& folder);

// Switch 0 (world), 1 (USA) or 2 (OSTN02) of the Gridfiles setting: "-" is
// off, any other character on; a setting too short to hold the switch counts it on.
bool GridFileSwitchOn(const std::string& switches, int index);
// The grid-file menu: "-" becomes "X", anything else "-".
void ToggleGridFile(std::string& switches, int index);

// `switches` is the Gridfiles setting. Rebuilds the box: "Lat/Long", then the
// trimmed rest (characters 2-100) of every line that starts with "U" once
// trimmed, from the base file and each switched-on file in order, duplicates
// included; selects "Lat/Long". A missing file shows
// "Grid File:<path> does not exist" and adds nothing. The grid state stays.
void ReadGridList(GridState& grid, const std::string& switches, UserInterface& ui);

// Searches one file for the first name line (untrimmed: a blank before "U"
// hides it) whose trimmed rest equals `upperName` without regard to case.
// Found: the grid name becomes `upperName` and the layout numbers those of the
// entry; with `takeDatum` and a datum line naming another datum than the
// current one, that line becomes the datum line, its name the datum name, and
// ShowDatum selects it. All of that or nothing: a bad parameter line throws
// (see ReadGridLayout) before grid or datum change. The exception is for the
// caller to show: SelectGrid does; any other caller shows its message.
// A missing file shows "Grid File:<path> does not exist" and reports not found.
bool FindGridEntry(GridState& grid, DatumState& datum, const std::string& path,
                   const std::string& upperName, bool takeDatum, UserInterface& ui);

// Makes a grid current. An empty (or blank) name is Lat/Long: grid name empty,
// zone width 0, the digit counts kept. Otherwise the name, trimmed and
// upper-cased, is looked up in the base file and then in each switched-on
// file; the first file that has it wins, and the default zone shows when the
// zone width is not 0. Not found anywhere: "Unable to find grid:<NAME>". A bad
// parameter line shows its failure's text instead. In both cases the grid and
// the datum stay as they were, so start-up and settings files go on.
void SelectGrid(GridState& grid, DatumState& datum, const std::string& name, bool takeDatum,
                const std::string& switches, UserInterface& ui);

// Selects the first box entry equal to the name without regard to case and
// blanks at the ends; an empty name selects "Lat/Long"; no match leaves the
// box as it is. The grid state stays.
void ShowGrid(GridState& grid, const std::string& name);

}  // namespace zevi
