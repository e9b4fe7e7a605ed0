#pragma once
// Date and time cells to the export's date and time texts. Day numbers count
// from 30 December 1899 (day 0); the fraction is the time of day.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "source/bytewords.h"
#include "source/columns.h"
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
// The date field is the Date column's cell as DateField normalises it: no
// date-and-time, day count or second count column takes its place.
bool DateIsItsCell(const KindColumn& kinds);
// DateField's text for such a cell in the usual row of a large file, a date
// with dashes, dots or slashes ("2024-03-15", "15.03.2024"), written at `out`
// as the ten characters of the field without a string in between; false,
// writing nothing, for any other cell. Inline: the export writes one per record.
inline bool WriteDateCell(char* out, std::string_view cell, char dateOrder, char dateSeparator) {
  // NormaliseDate's forms in its order: an ISO date has its dashes made the
  // separator, a date with dots has them made slashes, one with slashes stays.
  char from = '.', to = '/';
  if (cell.size() >= 8 && cell[4] == '-' && cell[7] == '-') {
    if (dateOrder != 'Y') return false;  // fails: DateField says why
    from = '-';
    to = dateSeparator;
  } else if (cell.size() < 8) {
    if (cell.find_first_of("./") == std::string_view::npos) return false;
  } else {
    const std::uint64_t word = LoadWord(cell.data());
    if ((EqualBytes(word, '.') | EqualBytes(word, '/')) == 0 &&
        cell.substr(8).find_first_of("./") == std::string_view::npos) {
      return false;
    }
  }
  constexpr std::size_t kWidth = 10;
  if (cell.size() >= kWidth) {
    // The usual "2024-03-15" or "15/03/2024": its first eight bytes in one word.
    const std::uint64_t word = LoadWord(cell.data());
    // Each marked byte's high bit spread over the byte: those bytes become `to`.
    const std::uint64_t mask = (EqualBytes(word, static_cast<unsigned char>(from)) >> 7) * 0xFF;
    const std::uint64_t field = (word & ~mask) | (kByteOnes * static_cast<unsigned char>(to) & mask);
    std::memcpy(out, &field, sizeof field);
    out[8] = cell[8] == from ? to : cell[8];
    out[9] = cell[9] == from ? to : cell[9];
    return true;
  }
  for (std::size_t i = 0; i < kWidth; ++i) {
    const char c = i < cell.size() ? cell[i] : ' ';
    out[i] = c == from ? to : c;
  }
  return true;
}

// An ISO 8601 date and time in one cell, as phones, loggers and GPX exports
// write it: the date and the time of day, the zone designator dropped, so
// the time is the clock time written. Nothing for any other text.
//   "2024-03-15T13:00:02.123Z" -> "2024-03-15", "13:00:02.123"
//   "2024-03-15t13:00+02:00"   -> "2024-03-15", "13:00"
//   "2024-03-15 13:00:02", "2024-03-15", "15/03/2024T13:00" -> nothing
std::optional<std::pair<std::string_view, std::string_view>> IsoDateAndTime(std::string_view text);

// "7" -> "7", "Dec" -> "12", "December" -> "01".
std::string MonthNumber(std::string_view text);
// "dd/mm/yy" and "hh:nn:ss" of a day value, rounded to the nearest second,
// with the system's date and time separators. Day values outside the years
// 1 to 9999 throw ERangeError.
std::string FormatDayDate(double day, const LocaleValues& locale);
std::string FormatDayTime(double day, const LocaleValues& locale);

}  // namespace zevi
