#pragma once
// The grid lists read from the grid files, and the current grid's name and
// layout numbers.
#include <array>
#include <string>
#include <vector>

namespace zevi {

class UserInterface;
struct DatumState;

inline constexpr const char* kFirstGridEntry = "Lat/Long";
// Base file first, then the optional files in the order of the Gridfiles switches.
inline constexpr std::array<const char*, 4> kGridFileNames = {
    "basegrids.txt", "worldgrids.txt", "usagrids.txt", "ostn02grids.txt"};

struct GridState {
  std::array<std::string, 4> files;          // full paths, in kGridFileNames order
  std::string name;                          // upper-cased; empty: Lat/Long
  int zoneWidth = 0;                         // 0: no zones
  int eastingDigits = 0;
  int northingDigits = 0;
  std::vector<std::string> entries{kFirstGridEntry};  // the grid box
  int selected = 0;
  bool defaultZoneVisible = false;
};

// Sets the four file paths from the folder holding them (ending with '/').
void SetGridFiles(GridState& grid, const std::string& folder);

// `switches` is the Gridfiles setting.
void ReadGridList(GridState& grid, const std::string& switches, UserInterface& ui);
// Throws the integer reader's failure or "Range check error" for bad layout fields.
bool FindGridEntry(GridState& grid, DatumState& datum, const std::string& path,
                   const std::string& upperName, bool takeDatum, UserInterface& ui);
void SelectGrid(GridState& grid, DatumState& datum, const std::string& name, bool takeDatum,
                const std::string& switches, UserInterface& ui);

}  // namespace zevi
