#pragma once
// The datum list read from "datums.txt" and the current datum line, which an
// export copies into its header unchanged.
#include <string>
#include <vector>

namespace zevi {

class UserInterface;

inline constexpr const char* kBuiltinWgs84Line =
    "M E               WGS 84 100  0.0000000E+00  0.0000000E+00 0 0 0";
inline constexpr const char* kFirstDatumEntry = "WGS84";
inline constexpr const char* kDatumFileName = "datums.txt";

struct DatumState {
  std::string name;                         // upper-cased; empty: the built-in WGS 84 line
  std::string line = kBuiltinWgs84Line;     // what the export writes
  std::vector<std::string> entries{kFirstDatumEntry};  // the datum box
  int selected = 0;                         // box entry shown
};

void ReadDatumList(DatumState& datum, const std::string& path, UserInterface& ui);
void SelectDatum(DatumState& datum, const std::string& name, const std::string& path,
                 UserInterface& ui);
void ShowDatum(DatumState& datum, const std::string& name);

}  // namespace zevi
