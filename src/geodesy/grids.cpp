#include "geodesy/grids.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "geodesy/datums.h"
#include "geodesy/listfile.h"
#include "settings/userinterface.h"
#include "source/loader.h"
#include "values/failures.h"
#include "values/numbers.h"

namespace zevi {

namespace {

constexpr std::size_t kSkippedParameterColumns = 4;
constexpr int kZoneWidthField = 9;       // then the easting and the northing digits
constexpr std::size_t kNameLength = 99;  // characters 2-100 of a name line

// The name of a name line: characters 2-100, trimmed.
std::string_view GridName(std::string_view line) {
  return TrimText(listfile::Columns(line, 2, kNameLength));
}

bool IsNameLine(std::string_view line) { return !line.empty() && line.front() == 'U'; }

int ReadShortInt(std::string_view field) {
  const std::int64_t value = StrToInt(field);
  if (value < -128 || value > 127) throw ERangeError();
  return static_cast<int>(value);
}

// The file's text, or nothing after telling the user why not.
bool ReadGridFile(const std::string& path, std::string& text, UserInterface& ui) {
  switch (listfile::Read(path, text)) {
    case listfile::Status::Read:
      return true;
    case listfile::Status::Missing:
      ui.ShowMessage("Grid File:" + path + " does not exist");
      return false;
    case listfile::Status::Unreadable:
      ui.ShowMessage("Grid File:" + path + " cannot be read");
      return false;
  }
  return false;
}

// Visits the base file and each switched-on file, in order, until `visit` says done.
template <typename Visit>
bool ForEachGridFile(const std::string& switches, Visit visit) {
  for (std::size_t i = 0; i < kGridFileNames.size(); ++i) {
    if (i > 0 && !GridFileSwitchOn(switches, static_cast<int>(i) - 1)) continue;
    if (visit(i)) return true;
  }
  return false;
}

}  // namespace

GridLayout ReadGridLayout(std::string_view parameterLine) {
  std::string_view rest = parameterLine.size() > kSkippedParameterColumns
                              ? parameterLine.substr(kSkippedParameterColumns)
                              : std::string_view();
  std::array<std::string_view, 3> numbers{};
  int field = 0;
  while (field < kZoneWidthField + 2) {
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    const std::size_t end = std::min(rest.find(' '), rest.size());
    ++field;
    if (field >= kZoneWidthField) numbers[field - kZoneWidthField] = rest.substr(0, end);
    rest.remove_prefix(end);
  }
  return {ReadShortInt(numbers[0]), ReadShortInt(numbers[1]), ReadShortInt(numbers[2])};
}

void SetGridFiles(GridState& grid, const std::string& folder) {
  for (std::size_t i = 0; i < kGridFileNames.size(); ++i)
    grid.files[i] = folder + kGridFileNames[i];
}

bool GridFileSwitchOn(const std::string& switches, int index) {
  return index < 0 || static_cast<std::size_t>(index) >= switches.size() || switches[index] != '-';
}

void ToggleGridFile(std::string& switches, int index) {
  if (index < 0) return;
  if (switches.size() <= static_cast<std::size_t>(index)) switches.resize(index + 1, 'X');
  switches[index] = switches[index] == '-' ? 'X' : '-';
}

void ReadGridList(GridState& grid, const std::string& switches, UserInterface& ui) {
  grid.entries.assign(1, kFirstGridEntry);
  grid.selected = 0;
  ForEachGridFile(switches, [&](std::size_t file) {
    std::string text;
    if (!ReadGridFile(grid.files[file], text, ui)) return false;
    listfile::Lines lines(text);
    std::string_view line;
    while (lines.Next(line)) {
      line = TrimText(line);
      if (IsNameLine(line)) grid.entries.emplace_back(GridName(line));
    }
    return false;
  });
}

bool FindGridEntry(GridState& grid, DatumState& datum, const std::string& path,
                   const std::string& upperName, bool takeDatum, UserInterface& ui) {
  std::string text;
  if (!ReadGridFile(path, text, ui)) return false;
  listfile::Lines lines(text);
  std::string_view line;
  while (lines.Next(line)) {
    if (!IsNameLine(line) || listfile::UpperCase(GridName(line)) != upperName) continue;
    std::string_view parameters = lines.NextOrEmpty();
    std::optional<std::string_view> datumLine;
    if (parameters.starts_with("M E")) {
      datumLine = parameters;
      parameters = lines.NextOrEmpty();
    }
    const GridLayout layout = ReadGridLayout(parameters);
    if (takeDatum && datumLine) {
      const std::string datumName = listfile::UpperCase(listfile::DatumLineName(*datumLine));
      if (datumName != listfile::UpperCase(datum.name)) {
        datum.line = *datumLine;
        // The name goes with the line even when the box does not list it, so
        // that saved settings name the datum the export writes.
        datum.name = datumName;
        ShowDatum(datum, datumName);
      }
    }
    grid.name = upperName;
    grid.zoneWidth = layout.zoneWidth;
    grid.eastingDigits = layout.eastingDigits;
    grid.northingDigits = layout.northingDigits;
    return true;
  }
  return false;
}

void SelectGrid(GridState& grid, DatumState& datum, const std::string& name, bool takeDatum,
                const std::string& switches, UserInterface& ui) {
  const std::string upper = listfile::UpperCase(TrimText(name));
  if (upper.empty()) {
    grid.name.clear();
    grid.zoneWidth = 0;
    grid.defaultZoneVisible = false;
    return;
  }
  try {
    const bool found = ForEachGridFile(switches, [&](std::size_t file) {
      return FindGridEntry(grid, datum, grid.files[file], upper, takeDatum, ui);
    });
    if (!found) {
      ui.ShowMessage("Unable to find grid:" + upper);
      return;
    }
  } catch (const EConvertError& failure) {
    ui.ShowMessage(failure.what());
    return;
  } catch (const ERangeError& failure) {
    ui.ShowMessage(failure.what());
    return;
  }
  grid.defaultZoneVisible = grid.zoneWidth != 0;
}

void ShowGrid(GridState& grid, const std::string& name) {
  const std::string upper = listfile::UpperCase(TrimText(name));
  if (upper.empty()) {
    grid.selected = 0;
    return;
  }
  for (std::size_t i = 0; i < grid.entries.size(); ++i) {
    if (listfile::UpperCase(grid.entries[i]) == upper) {
      grid.selected = static_cast<int>(i);
      return;
    }
  }
}

}  // namespace zevi
