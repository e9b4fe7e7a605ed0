#pragma once
// Date and time cells to the export's date and time texts. Day numbers count
// from 30 December 1899 (day 0); the fraction is the time of day.
#include <string>
#include <string_view>

#include "source/table.h"
#include "values/context.h"

namespace zevi {

// Whole days carried from a record's time into its compact date.
struct DayCarry {
  int days = 0;
};

// "hh:nn:ss" with the system's time separator; sets the carry. Runs before
// DateField of the same record. A time with the separator is read as the
// system reads one: "13:45", "13:45:10", "1:45:10 PM", hours below 24; else
// "'...' is not a valid time". Compact "134510" allows hours of 24 or more.
std::string TimeField(const RowCells& row, const ValueContext& context, DayCarry& carry);
// The time cell itself when it is already the field TimeField would give
// ("13:45:10", no carry); empty for any other row.
std::string_view PlainTimeField(const RowCells& row, const ValueContext& context);

// The date text, passed through with its separators normalised, or computed.
// A compact date that takes a carry is re-read by the system's short date
// order; a two-digit year then falls in the hundred years that begin fifty
// years before the clock's year (in 2024: 1974..2073).
std::string DateField(const RowCells& row, const ValueContext& context, const DayCarry& carry);
// DateField's text for the usual row of a large file, whose date column holds
// a date with dashes, dots or slashes ("2024-03-15", "15.03.2024"), written at
// `out` as the ten characters of the field without a string in between; false,
// writing nothing, for any other row.
bool WriteDateCellField(char* out, const RowCells& row, const ValueContext& context);

// "7" -> "7", "Dec" -> "12", "December" -> "01".
std::string MonthNumber(std::string_view text);
// "dd/mm/yy" and "hh:nn:ss" of a day value, rounded to the nearest second,
// with the system's date and time separators. Day values outside the years
// 1 to 9999 throw ERangeError.
std::string FormatDayDate(double day, const LocaleValues& locale);
std::string FormatDayTime(double day, const LocaleValues& locale);

}  // namespace zevi
