// TimeField then DateField, as the record writer calls them, for every way a
// row can hold its date and time, under each date order and locale.
#include "fuzz_support.h"
#include "values/datetime.h"

using namespace zevi;

namespace {

// The column sets a row can carry; cells follow in this order.
const std::vector<std::vector<const char*>> kLayouts = {
    {"DB"}, {"DD", "DT"}, {"DA", "DM", "DY"}, {"DX"}, {"DS"}, {"DD"}, {"DT"},
    {"DA", "DM", "DY", "DT"}, {"DB", "DX"}, {"DS", "DD"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  ConversionSettings settings;
  settings.dateFormat = in.Pick({'D', 'M', 'Y'});
  const char mark = in.Pick({'.', ','});
  LocaleValues locale;
  locale.dateSeparator = in.Pick({'/', '.', '-'});
  locale.timeSeparator = in.Pick({':', '.'});
  locale.shortDateFormat = in.Flag() ? "dd/mm/yyyy" : in.Flag() ? "m/d/yy" : "yyyy/mm/dd";

  const auto& layout = kLayouts[in.Byte() % kLayouts.size()];
  for (std::size_t k = 0; k < layout.size(); ++k) settings.columns.entries[k + 1].code = layout[k];
  KindColumn kinds;
  RebuildKindColumns(settings.columns, kMaxColumnCount, kinds);
  RowCells row(1);
  for (std::size_t k = 0; k < layout.size(); ++k) row.push_back(in.Piece());

  GridState grid;
  FixedClock clock({std::chrono::year{2024} / 2 / 29, std::chrono::seconds{23 * 3600 + 59 * 60 + 59}});
  ValueContext context{settings, kinds, grid, locale, clock, mark};

  DayCarry carry;
  if (auto time = fuzz::Attempt([&] { return TimeField(row, context, carry); })) {
    ZEVI_FUZZ_CHECK(time->size() == 8);
    fuzz::Attempt([&] { return DateField(row, context, carry); });
  }
  MonthNumber(row[1]);
  return 0;
}
