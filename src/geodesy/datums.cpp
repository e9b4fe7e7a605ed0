#include "geodesy/datums.h"

#include <string_view>

#include "geodesy/listfile.h"
#include "settings/userinterface.h"
#include "source/loader.h"

namespace zevi {

namespace {

constexpr const char* kDatumFileMissing = "Datum File does not exist";

// The file's text, or nothing after telling the user why not.
bool ReadDatumFile(const std::string& path, std::string& text, UserInterface& ui) {
  switch (listfile::Read(path, text)) {
    case listfile::Status::Read:
      return true;
    case listfile::Status::Missing:
      ui.ShowMessage(std::string(kDatumFileMissing) + "\r\n" + path);
      return false;
    case listfile::Status::Unreadable:
      ui.ShowMessage("Datum File:" + path + " cannot be read");
      return false;
  }
  return false;
}

}  // namespace

void ReadDatumList(DatumState& datum, const std::string& path, UserInterface& ui) {
  datum.entries.assign(1, kFirstDatumEntry);
  datum.selected = 0;
  std::string text;
  if (!ReadDatumFile(path, text, ui)) return;
  listfile::Lines lines(text);
  std::string_view line;
  while (lines.Next(line)) {
    line = TrimText(line);
    if (!line.empty() && line.front() == 'M')
      datum.entries.emplace_back(listfile::DatumLineName(line));
  }
}

void SelectDatum(DatumState& datum, const std::string& name, const std::string& path,
                 UserInterface& ui) {
  if (name.empty() || name == kFirstDatumEntry) {
    datum.line = kBuiltinWgs84Line;
    datum.name.clear();
    return;
  }
  const std::string upper = listfile::UpperCase(name);
  std::string text;
  if (!ReadDatumFile(path, text, ui)) return;
  listfile::Lines lines(text);
  std::string_view line;
  while (lines.Next(line)) {
    if (!line.empty() && line.front() == 'M' &&
        listfile::UpperCase(listfile::DatumLineName(line)) == upper) {
      datum.line = line;
      datum.name = upper;
      return;
    }
  }
}

void ShowDatum(DatumState& datum, const std::string& name) {
  const std::string upper = listfile::UpperCase(name);
  // A datum line with a blank name lists an empty entry; an empty name must
  // not land on it.
  if (upper.empty()) return;
  for (std::size_t i = 0; i < datum.entries.size(); ++i) {
    if (listfile::UpperCase(datum.entries[i]) == upper) {
      datum.selected = static_cast<int>(i);
      datum.name = upper;
      return;
    }
  }
}

}  // namespace zevi
