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

// "hh:nn:ss"; sets the carry. Runs before DateField of the same record.
std::string TimeField(const RowCells& row, const ValueContext& context, DayCarry& carry);
std::string DateField(const RowCells& row, const ValueContext& context, const DayCarry& carry);

std::string MonthNumber(std::string_view text);
// "dd/mm/yy" and "hh:nn:ss" of a day value, rounded to the nearest second.
std::string FormatDayDate(double day, const LocaleValues& locale);
std::string FormatDayTime(double day, const LocaleValues& locale);

}  // namespace zevi
