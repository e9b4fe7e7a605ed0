#pragma once
// The state a value reader looks at, pinned: defaults "/", ":", day/month/year,
// decimal point, and a clock stopped at 15 March 2024, 13:45:10.
#include <chrono>
#include <string>

#include "values/context.h"
#include "values/failures.h"

namespace zevi::testing {

struct ValueRig {
  ConversionSettings settings;
  KindColumn kinds;
  GridState grid;
  LocaleValues locale;
  FixedClock clock{LocalDateTime{std::chrono::year{2024} / 3 / 15,
                                 std::chrono::seconds{13 * 3600 + 45 * 60 + 10}}};
  char mark = '.';
  int plainTimes = 0;  // fields the export's short road for times took

  // Gives data column `column` the code and puts it into the slot, as the
  // rebuild of the kind index would.
  void Assign(int column, const std::string& code, Slot slot) {
    settings.columns.entries[column].code = code;
    kinds[slot] = column;
  }

  ValueContext Context() const { return {settings, kinds, grid, locale, clock, mark}; }
};

// "<kind>: <text>" of the value failure a call raised, or "" when it did not fail.
template <typename Call>
std::string FailureOf(Call call) {
  try {
    call();
  } catch (const EInvalidLine& e) {
    return std::string("EInvalidLine: ") + e.what();
  } catch (const EConvertError& e) {
    return std::string("EConvertError: ") + e.what();
  } catch (const ERangeError& e) {
    return std::string("ERangeError: ") + e.what();
  }
  return "";
}

}  // namespace zevi::testing
