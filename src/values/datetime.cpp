#include "values/datetime.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "source/bytewords.h"
#include "source/loader.h"
#include "values/failures.h"
#include "values/numbers.h"

namespace zevi {

namespace {

using namespace std::chrono;

constexpr sys_days kEpoch{year{1899} / December / 30};
constexpr int kSecondsPerDay = 86400;
constexpr int kDay31Dec1989 = 32873;
// Day values outside the years 1..9999 have no date to show.
constexpr double kFirstDay = (sys_days{year{1} / January / 1} - kEpoch).count();
constexpr double kEndDay = (sys_days{year{10000} / January / 1} - kEpoch).count();
// A two-digit year is taken within the hundred years that begin this many years before today.
constexpr int kCenturyWindow = 50;

constexpr std::string_view kMonthNames = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
constexpr double kMostCarriedDays = 1e6;
constexpr const char* kDateOrderMessage = "Date Setting should be \"Y/M/D\" - see Settings menu";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// substr that gives an empty piece instead of failing past the end.
std::string_view Mid(std::string_view text, std::size_t from, std::size_t count = std::string_view::npos) {
  return from >= text.size() ? std::string_view{} : text.substr(from, count);
}

void AppendTwoDigits(std::string& out, long value) {
  out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
}

struct DateAndTime {
  sys_days date;
  long secondOfDay;
};

// The day value plus half a second, so that both parts round to the nearest second.
DateAndTime SplitDayValue(double day) {
  if (!(day >= kFirstDay && day < kEndDay)) throw ERangeError();
  auto total = static_cast<long long>(std::floor(day * kSecondsPerDay + 0.5));
  long long whole = total / kSecondsPerDay;
  long long second = total % kSecondsPerDay;
  if (second < 0) {
    second += kSecondsPerDay;
    --whole;
  }
  return {kEpoch + days{whole}, static_cast<long>(second)};
}

double DayValueOf(sys_days date) { return static_cast<double>((date - kEpoch).count()); }

// The last two digits of each number, joined by the separator: "01/03/24".
// Built in place, as the export writes one per record.
std::string JoinTwoDigits(long first, long second, long third, char separator) {
  const char text[8] = {static_cast<char>('0' + first / 10 % 10),  static_cast<char>('0' + first % 10),
                        separator,
                        static_cast<char>('0' + second / 10 % 10), static_cast<char>('0' + second % 10),
                        separator,
                        static_cast<char>('0' + third / 10 % 10),  static_cast<char>('0' + third % 10)};
  return std::string(text, sizeof text);
}

// "dd/mm/yy" with the given separator.
std::string FormatDate(const year_month_day& date, char separator) {
  return JoinTwoDigits(static_cast<unsigned>(date.day()), static_cast<unsigned>(date.month()),
                       static_cast<int>(date.year()) % 100, separator);
}

std::string FormatSecondOfDay(long second, char separator) {
  return JoinTwoDigits(second / 3600, second / 60 % 60, second % 60, separator);
}

// Today in the system's short date format: runs of d, m and y, the date
// separator between them.
std::string ShortDateText(const year_month_day& date, const LocaleValues& locale) {
  std::string text;
  const std::string& format = locale.shortDateFormat;
  for (std::size_t i = 0; i < format.size();) {
    char letter = static_cast<char>(format[i] | 0x20);
    std::size_t run = 1;
    while (i + run < format.size() && static_cast<char>(format[i + run] | 0x20) == letter) ++run;
    long value = -1;
    if (letter == 'd') value = static_cast<unsigned>(date.day());
    else if (letter == 'm') value = static_cast<unsigned>(date.month());
    else if (letter == 'y') value = static_cast<int>(date.year());
    if (letter == 'y') {
      if (run > 2) AppendTwoDigits(text, value / 100);
      AppendTwoDigits(text, value % 100);
    } else if (value >= 0) {
      if (run >= 2 || value >= 10) AppendTwoDigits(text, value);
      else text += static_cast<char>('0' + value);
    } else {
      text.append(run, locale.dateSeparator);
    }
    i += run;
  }
  return text;
}

std::optional<int> SmallNumber(std::string_view text, std::size_t maxDigits) {
  text = TrimText(text);
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A date read the way the system reads one: three numbers joined by the date
// separator, in the order of the short date format.
std::optional<sys_days> ReadSystemDate(std::string_view text, const LocaleValues& locale, year today) {
  std::string_view parts[3];
  std::string_view rest = TrimText(text);
  for (int i = 0; i < 3; ++i) {
    std::size_t separator = rest.find(locale.dateSeparator);
    if ((separator == std::string_view::npos) != (i == 2)) return std::nullopt;
    parts[i] = rest.substr(0, separator);
    rest = i == 2 ? std::string_view{} : rest.substr(separator + 1);
  }
  std::string order;
  for (char c : locale.shortDateFormat) {
    char letter = static_cast<char>(c | 0x20);
    if ((letter == 'd' || letter == 'm' || letter == 'y') && order.find(letter) == std::string::npos) {
      order += letter;
    }
  }
  if (order.size() != 3) order = "dmy";
  std::optional<int> d, m, y;
  bool twoDigitYear = false;
  for (int i = 0; i < 3; ++i) {
    if (order[i] == 'd') d = SmallNumber(parts[i], 2);
    if (order[i] == 'm') m = SmallNumber(parts[i], 2);
    if (order[i] == 'y') {
      y = SmallNumber(parts[i], 4);
      twoDigitYear = TrimText(parts[i]).size() <= 2;
    }
  }
  if (!d || !m || !y) return std::nullopt;
  int fullYear = *y;
  if (twoDigitYear) {
    int windowStart = static_cast<int>(today) - kCenturyWindow;
    fullYear += windowStart / 100 * 100;
    if (fullYear < windowStart) fullYear += 100;
  }
  year_month_day date{year{fullYear}, month{static_cast<unsigned>(*m)}, day{static_cast<unsigned>(*d)}};
  if (!date.ok()) return std::nullopt;
  return sys_days{date};
}

// "hh:nn:ss", the form nearly every file holds: the second of the day, or
// -1 when the text has another form or is no time of day. A plain number
// rather than an optional: it runs for every record.
long PlainSecondOfDay(std::string_view text, char separator) {
  if (text.size() != 8 || text[2] != separator || text[5] != separator || IsDigit(separator)) return -1;
  int fields[3];
  for (int i = 0; i < 3; ++i) {
    const char tens = text[3 * i];
    const char ones = text[3 * i + 1];
    if (!IsDigit(tens) || !IsDigit(ones)) return -1;
    fields[i] = (tens - '0') * 10 + (ones - '0');
  }
  if (fields[0] >= 24 || fields[1] >= 60 || fields[2] >= 60) return -1;
  return fields[0] * 3600L + fields[1] * 60L + fields[2];
}

// hh:nn or hh:nn:ss with the system's time separator, optionally AM or PM;
// the second of the day, or nothing.
std::optional<long> ReadSystemTime(std::string_view text, char separator) {
  if (const long second = PlainSecondOfDay(text, separator); second >= 0) return second;
  std::string_view rest = TrimText(text);
  std::optional<int> meridiem;  // 0 AM, 12 PM
  if (rest.size() >= 2) {
    char a = static_cast<char>(rest[rest.size() - 2] | 0x20);
    char m = static_cast<char>(rest.back() | 0x20);
    if ((a == 'a' || a == 'p') && m == 'm') {
      meridiem = a == 'a' ? 0 : 12;
      rest = TrimText(rest.substr(0, rest.size() - 2));
    }
  }
  int fields[3] = {0, 0, 0};
  int count = 0;
  while (count < 3) {
    std::size_t end = rest.find(separator);
    auto number = SmallNumber(rest.substr(0, end), 2);
    if (!number) return std::nullopt;
    fields[count++] = *number;
    if (end == std::string_view::npos) {
      rest = {};
      break;
    }
    rest = rest.substr(end + 1);
  }
  if (count < 2 || !rest.empty()) return std::nullopt;
  int hours = fields[0];
  if (meridiem) {
    if (hours < 1 || hours > 12) return std::nullopt;
    hours = hours % 12 + *meridiem;
  }
  if (hours >= 24 || fields[1] >= 60 || fields[2] >= 60) return std::nullopt;
  return hours * 3600L + fields[1] * 60L + fields[2];
}

double SecondsCountDay(std::string_view cell) {
  return kDay31Dec1989 + static_cast<double>(StrToInt(cell)) / kSecondsPerDay;
}

// The date part of a "Date Time" cell and what follows it. An ISO date and
// time joined by a "T" has no blank to cut at: without this, its time would
// be taken for missing and the current time written instead.
std::pair<std::string_view, std::string_view> SplitDateTime(const RowCells& row, const ValueContext& context) {
  auto parts = NextField(' ', CellOf(row, context.kinds[Slot::DateTime]));
  if (TrimText(parts.second).empty()) {
    if (auto iso = IsoDateAndTime(parts.first)) return *iso;
  }
  return parts;
}

std::string NormaliseDate(std::string_view text, const ValueContext& context, const DayCarry& carry) {
  const LocaleValues& locale = context.locale;
  if (text.empty()) return ShortDateText(context.clock.Now().date, locale);

  std::string date(text);
  if (date.size() >= 8 && date[4] == '-' && date[7] == '-') {
    if (context.settings.dateFormat != 'Y') throw EInvalidLine(kDateOrderMessage);
    for (char& c : date) {
      if (c == '-') c = locale.dateSeparator;
    }
    return date;
  }
  if (date.find('.') != std::string::npos) {
    for (char& c : date) {
      if (c == '.') c = '/';
    }
    return date;
  }
  if (date.find('/') != std::string::npos) return date;

  std::string compact(Mid(text, 0, 2));
  compact += locale.dateSeparator;
  compact += Mid(text, 2, 2);
  compact += locale.dateSeparator;
  compact += Mid(text, 4);
  if (carry.days <= 0) return compact;
  auto read = ReadSystemDate(compact, locale, context.clock.Now().date.year());
  if (!read) throw EConvertError("'" + compact + "' is not a valid date");
  return FormatDayDate(DayValueOf(*read + days{carry.days}), locale);
}

// Already the field's own form: passed through rather than read and written again.
bool IsTimeField(std::string_view text, const ValueContext& context) {
  const char separator = context.locale.timeSeparator;
  const bool markInTime = context.decimalMark == separator || IsDigit(context.decimalMark);
  return !markInTime && PlainSecondOfDay(text, separator) >= 0;
}

}  // namespace

std::optional<std::pair<std::string_view, std::string_view>> IsoDateAndTime(std::string_view text) {
  text = TrimText(text);
  auto digitsAt = [&](std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i) {
      if (!IsDigit(text[i])) return false;
    }
    return true;
  };
  if (text.size() < 12 || !digitsAt(0, 4) || text[4] != '-' || !digitsAt(5, 2) || text[7] != '-' ||
      !digitsAt(8, 2) || (text[10] != 'T' && text[10] != 't') || !IsDigit(text[11])) {
    return std::nullopt;
  }
  std::string_view time = text.substr(11);
  time = time.substr(0, time.find_first_of("Zz+-"));
  return std::pair{text.substr(0, 10), time};
}

std::string MonthNumber(std::string_view text) {
  if (text.size() < 3) return std::string(text);
  int number = 1;
  if (text.size() == 3) {
    char upper[3];
    for (int i = 0; i < 3; ++i) {
      char c = text[i];
      upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    std::size_t at = kMonthNames.find(std::string_view(upper, 3));
    if (at != std::string_view::npos && at % 3 == 0) number = static_cast<int>(at / 3) + 1;
  }
  return FormatInt(number, 2, 2);
}

std::string FormatDayDate(double day, const LocaleValues& locale) {
  return FormatDate(year_month_day{SplitDayValue(day).date}, locale.dateSeparator);
}

std::string FormatDayTime(double day, const LocaleValues& locale) {
  return FormatSecondOfDay(SplitDayValue(day).secondOfDay, locale.timeSeparator);
}

std::string TimeField(const RowCells& row, const ValueContext& context, DayCarry& carry) {
  carry.days = 0;
  const KindColumn& kinds = context.kinds;
  const LocaleValues& locale = context.locale;
  std::string_view text;
  if (kinds.Has(Slot::DateTime)) {
    text = SplitDateTime(row, context).second;
  } else if (kinds.Has(Slot::Time)) {
    text = CellOf(row, kinds[Slot::Time]);
  } else if (kinds.Has(Slot::DaysCount)) {
    return FormatDayTime(StrToFloat(CellOf(row, kinds[Slot::DaysCount]), context.decimalMark), locale);
  } else if (kinds.Has(Slot::SecondsCount)) {
    return FormatDayTime(SecondsCountDay(CellOf(row, kinds[Slot::SecondsCount])), locale);
  }
  text = TrimText(text);
  if (text.empty()) {
    return FormatSecondOfDay(static_cast<long>(context.clock.Now().timeOfDay.count() % kSecondsPerDay),
                             locale.timeSeparator);
  }

  if (IsTimeField(text, context)) return std::string(text);
  double value;
  const std::string_view cell = text;
  if (text.find(locale.timeSeparator) != std::string_view::npos) {
    double fraction = 0;
    std::size_t mark = text.find(context.decimalMark);
    if (mark != std::string_view::npos) {
      fraction = StrToFloat(text.substr(mark), context.decimalMark);
      text = text.substr(0, mark);
    }
    auto second = ReadSystemTime(text, locale.timeSeparator);
    if (!second) throw EConvertError("'" + std::string(text) + "' is not a valid time");
    // A whole second within the day is its own field; no day value to round.
    if (mark == std::string_view::npos) return FormatSecondOfDay(*second, locale.timeSeparator);
    value = (static_cast<double>(*second) + fraction) / kSecondsPerDay;
  } else {
    std::int64_t hours = StrToInt(Mid(text, 0, 2));
    std::int64_t minutes = StrToInt(Mid(text, 2, 2));
    std::int64_t seconds = StrToInt(Mid(text, 4, 2));
    value = static_cast<double>(hours * 3600 + minutes * 60 + seconds) / kSecondsPerDay;
  }
  // A fraction with an exponent ("10.5e30") could carry the date past any
  // calendar, and past what the day count holds.
  if (!(std::fabs(value) < kMostCarriedDays)) throw EConvertError("'" + std::string(cell) + "' is not a valid time");
  carry.days = static_cast<int>(std::floor(value));
  // Rounded to the second, the last half second of a day would read as
  // midnight beside the date of the day before: it stays the day's last second.
  const double lastSecond = std::floor(value) + (kSecondsPerDay - 1.0) / kSecondsPerDay;
  if (value > lastSecond) value = lastSecond;
  return FormatDayTime(value, locale);
}

std::string_view PlainTimeField(const RowCells& row, const ValueContext& context) {
  const KindColumn& kinds = context.kinds;
  if (kinds.Has(Slot::DateTime) || !kinds.Has(Slot::Time)) return {};
  const std::string_view text = TrimText(CellOf(row, kinds[Slot::Time]));
  return IsTimeField(text, context) ? text : std::string_view{};
}

bool DateIsItsCell(const KindColumn& kinds) {
  return kinds.Has(Slot::Date) && !kinds.Has(Slot::DateTime) && !kinds.Has(Slot::DaysCount) &&
         !kinds.Has(Slot::SecondsCount);
}

std::string DateField(const RowCells& row, const ValueContext& context, const DayCarry& carry) {
  const KindColumn& kinds = context.kinds;
  if (kinds.Has(Slot::DateTime)) return NormaliseDate(SplitDateTime(row, context).first, context, carry);
  if (kinds.Has(Slot::DaysCount)) {
    return FormatDayDate(StrToFloat(CellOf(row, kinds[Slot::DaysCount]), context.decimalMark), context.locale);
  }
  if (kinds.Has(Slot::SecondsCount)) {
    return FormatDayDate(SecondsCountDay(CellOf(row, kinds[Slot::SecondsCount])), context.locale);
  }
  if (kinds.Has(Slot::Date)) return NormaliseDate(CellOf(row, kinds[Slot::Date]), context, carry);

  std::string assembled(kinds.Has(Slot::Day) ? CellOf(row, kinds[Slot::Day]) : "01");
  assembled += context.locale.dateSeparator;
  assembled += kinds.Has(Slot::Month) ? MonthNumber(CellOf(row, kinds[Slot::Month])) : "01";
  assembled += context.locale.dateSeparator;
  assembled += kinds.Has(Slot::Year) ? CellOf(row, kinds[Slot::Year]) : "2000";
  return NormaliseDate(assembled, context, carry);
}

}  // namespace zevi
