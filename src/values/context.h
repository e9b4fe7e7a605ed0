#pragma once
// What a value reader may look at besides the cells of its row.
#include "geodesy/grids.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "settings/settings.h"
#include "source/columns.h"

namespace zevi {

struct ValueContext {
  const ConversionSettings& settings;  // codes of the columns, signs, date order, shift...
  const KindColumn& kinds;
  const GridState& grid;
  const LocaleValues& locale;
  const Clock& clock;
  char decimalMark;                    // the mark in force: read and written with it
};

}  // namespace zevi
