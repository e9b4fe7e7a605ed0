// LatitudeField and LongitudeField over every notation, with or without the
// minutes, seconds and hemisphere columns, either decimal mark and either sign.
#include <cmath>

#include "fuzz_support.h"
#include "values/coordinates.h"
#include "values/numbers.h"

using namespace zevi;

namespace {

// Checks a field text: fixed width, and a number in range with the mark in force.
void CheckField(const std::string& text, std::size_t width, double limit, char mark) {
  ZEVI_FUZZ_CHECK(text.size() == width);
  double value = StrToFloat(text, mark);
  ZEVI_FUZZ_CHECK(std::isfinite(value) && std::fabs(value) <= limit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  ConversionSettings settings;
  settings.decimalSeparator = in.Pick({'.', ','});
  settings.latitudeSign = in.Flag() ? -1 : 1;
  settings.longitudeSign = in.Flag() ? -1 : 1;

  // Column 1 latitude, 2 longitude, then the companions that the input asks for.
  ColumnMap& map = settings.columns;
  map.entries[1].code = std::string("K") + in.Pick({'D', 'M', 'S', 'N', 'Q'});
  map.entries[2].code = std::string("L") + in.Pick({'D', 'M', 'S', 'N', 'Q'});
  std::uint8_t companions = in.Byte();
  const char* companionCodes[] = {"Km", "Ks", "Kh", "Lm", "Ls", "Lh"};
  for (int k = 0; k < 6; ++k) map.entries[3 + k].code = (companions >> k) & 1 ? companionCodes[k] : "__";
  KindColumn kinds;
  RebuildKindColumns(map, kMaxColumnCount, kinds);

  RowCells row(1);
  for (int column = 1; column <= 8; ++column) row.push_back(in.Piece());

  GridState grid;
  LocaleValues locale;
  FixedClock clock({std::chrono::year{2024} / 3 / 15, std::chrono::seconds{12 * 3600}});
  const char mark = settings.decimalSeparator;
  ValueContext context{settings, kinds, grid, locale, clock, mark};

  Hemisphere hemisphere = Hemisphere::Unknown;
  fuzz::Attempt([&] { return ReadCoordinate(map.entries[1].code[1], row[1], hemisphere, mark); });
  if (auto latitude = fuzz::Attempt([&] { return LatitudeField(row, context); }))
    CheckField(*latitude, 10, 90, mark);
  if (auto longitude = fuzz::Attempt([&] { return LongitudeField(row, context); }))
    CheckField(*longitude, 11, 180, mark);
  return 0;
}
