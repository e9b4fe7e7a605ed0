// GridValueField under any digit count, shift and alignment a settings file
// or grid file can hold, and ZoneField on the UTM rules.
#include "fuzz_support.h"
#include "values/gridvalues.h"

using namespace zevi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const int digits = static_cast<std::int8_t>(in.Byte());
  const int shift = static_cast<std::int8_t>(in.Byte());
  const int alignment = in.Flag() ? in.Byte() : in.Pick({0, 1, 2, 3, 9});

  ConversionSettings settings;
  settings.columns.entries[1].code = in.Flag() ? "Z_" : "__";
  KindColumn kinds;
  RebuildKindColumns(settings.columns, kMaxColumnCount, kinds);
  GridState grid;
  grid.name = in.Flag() ? "UTM" : "OSGB";
  grid.zoneWidth = static_cast<std::int8_t>(in.Byte());
  std::string defaultZone(in.Piece().substr(0, 5));
  RowCells row{std::string_view{}, in.Piece()};
  const std::string_view value = in.Rest();

  if (auto field = fuzz::Attempt([&] { return GridValueField(value, digits, shift, alignment); })) {
    // Right-aligned values carry at least the grid's digits (zeros come ten at
    // most at a time, so only up to ten digits are sure).
    if (alignment <= 3 && digits > 0 && digits <= 10) ZEVI_FUZZ_CHECK(field->size() >= static_cast<std::size_t>(digits));
  }

  LocaleValues locale;
  FixedClock clock({std::chrono::year{2024} / 3 / 15, std::chrono::seconds{0}});
  ValueContext context{settings, kinds, grid, locale, clock, '.'};
  testing::ScriptedUi ui;
  if (auto zone = fuzz::Attempt([&] { return ZoneField(row, context, defaultZone, ui); })) {
    if (grid.zoneWidth >= 0) ZEVI_FUZZ_CHECK(zone->size() == static_cast<std::size_t>(grid.zoneWidth));
  }
  ZEVI_FUZZ_CHECK(defaultZone.size() <= 5);
  return 0;
}
