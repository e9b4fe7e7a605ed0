#include "values/datetime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "value_rig.h"

namespace zevi {
namespace {

using testing::FailureOf;
using testing::ValueRig;

TEST(DateTime, MonthNumber) {
  const struct {
    const char* text;
    const char* expected;
    const char* reason;
  } cases[] = {
      {"7", "7", "short texts pass unchanged"},
      {"07", "07", "short texts pass unchanged"},
      {"", "", "empty passes unchanged"},
      {"Dec", "12", "name"},
      {"dec", "12", "any case"},
      {"JAN", "01", "first name"},
      {"December", "01", "a full name matches none"},
      {"012", "01", "three digits match none"},
      {"Sept", "01", "four letters match none"},
      {"ANF", "01", "a name only matches on its own boundary"},
  };
  for (const auto& c : cases) EXPECT_EQ(MonthNumber(c.text), c.expected) << c.reason;
}

TEST(DateTime, DayValuesFromTheEpoch) {
  LocaleValues locale;
  const struct {
    double day;
    const char* date;
    const char* time;
    const char* reason;
  } cases[] = {
      {0, "30/12/99", "00:00:00", "day 0 is 30 December 1899"},
      {2, "01/01/00", "00:00:00", "1 January 1900; the year has two digits"},
      {36526.5, "01/01/00", "12:00:00", "1 January 2000 at noon"},
      {32873, "31/12/89", "00:00:00", "31 December 1989"},
      {60, "28/02/00", "00:00:00", "1900 has no 29 February"},
      {36585, "29/02/00", "00:00:00", "2000 has one"},
      {36526 + 49510.4 / 86400, "01/01/00", "13:45:10", "a fraction of a second below a half rounds down"},
      {36526 + 49510.6 / 86400, "01/01/00", "13:45:11", "above a half rounds up"},
      {36526 + 86399.6 / 86400, "02/01/00", "00:00:00", "rounding into the next day moves the date too"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(FormatDayDate(c.day, locale), c.date);
    EXPECT_EQ(FormatDayTime(c.day, locale), c.time);
  }
  LocaleValues dotted{'.', '-', '.', "dd-mm-yyyy"};
  EXPECT_EQ(FormatDayDate(36526.5, dotted), "01-01-00");
  EXPECT_EQ(FormatDayTime(36526.5, dotted), "12.00.00");
  EXPECT_EQ(FailureOf([&] { FormatDayDate(3e6, locale); }), "ERangeError: Range check error");
}

// One record: the cells of its date and time columns, in data columns 1...
struct DateTimeCase {
  std::vector<std::pair<std::string, Slot>> codes;
  std::vector<std::string_view> cells;
  const char* date;  // or the failure of DateField
  const char* time;  // or the failure of TimeField
  const char* reason;
};

void Check(ValueRig& rig, const DateTimeCase& c) {
  SCOPED_TRACE(c.reason);
  rig.kinds = KindColumn{};
  RowCells row(1);
  for (std::size_t i = 0; i < c.codes.size(); ++i) {
    rig.Assign(static_cast<int>(i) + 1, c.codes[i].first, c.codes[i].second);
    row.push_back(c.cells[i]);
  }
  DayCarry carry;
  std::string time;
  std::string timeFailure = FailureOf([&] { time = TimeField(row, rig.Context(), carry); });
  EXPECT_EQ(timeFailure.empty() ? time : timeFailure, c.time);
  // The export's short road, where it is taken, gives the same field and no carry.
  if (const std::string_view plain = PlainTimeField(row, rig.Context()); !plain.empty()) {
    EXPECT_EQ(plain, c.time);
    EXPECT_EQ(carry.days, 0);
    ++rig.plainTimes;
  }
  std::string date;
  std::string dateFailure = FailureOf([&] { date = DateField(row, rig.Context(), carry); });
  EXPECT_EQ(dateFailure.empty() ? date : dateFailure, c.date);
}

constexpr Slot DB = Slot::DateTime, DD = Slot::Date, DT = Slot::Time, DA = Slot::Day, DM = Slot::Month,
               DY = Slot::Year, DX = Slot::DaysCount, DS = Slot::SecondsCount;

TEST(DateTime, RecordsWithADayMonthYearSystem) {
  const char* ymdMessage = "EInvalidLine: Date Setting should be \"Y/M/D\" - see Settings menu";
  const DateTimeCase cases[] = {
      {{{"DB", DB}}, {"31/12/2003 13:45:10"}, "31/12/2003", "13:45:10", "date and time in one cell"},
      {{{"DB", DB}}, {"31/12/2003   13:45:10"}, "31/12/2003", "13:45:10", "more blanks between"},
      {{{"DB", DB}}, {"31/12/2003"}, "31/12/2003", "13:45:10", "no time: the time of day now"},
      {{{"DD", DD}, {"DT", DT}}, {"31/12/2003", "13:45:10.4"}, "31/12/2003", "13:45:10", "fraction rounds down"},
      {{{"DD", DD}, {"DT", DT}}, {"31/12/2003", "13:45:10.6"}, "31/12/2003", "13:45:11", "fraction rounds up"},
      {{{"DT", DT}}, {"13:45"}, "01/01/2000", "13:45:00", "no seconds; no date column"},
      {{{"DT", DT}}, {"1:45:10 PM"}, "01/01/2000", "13:45:10", "afternoon"},
      {{{"DT", DT}}, {"25:00:00"}, "01/01/2000", "EConvertError: '25:00:00' is not a valid time",
       "hours past the day"},
      {{{"DT", DT}}, {"13:45:1x"}, "01/01/2000", "EConvertError: '13:45:1x' is not a valid time", "letter"},
      {{{"DT", DT}}, {" 23:59:59 "}, "01/01/2000", "23:59:59", "the last second, blanks around"},
      {{{"DD", DD}, {"DT", DT}}, {"31/12/2003", "09:05:00"}, "31/12/2003", "09:05:00", "a plain time passes"},
      {{{"DB", DB}, {"DT", DT}}, {"31/12/2003 09:05:00", "10:00:00"}, "31/12/2003", "09:05:00",
       "a date-time cell comes before a time column"},
      {{{"DT", DT}}, {"00:00:00"}, "01/01/2000", "00:00:00", "midnight"},
      {{{"DT", DT}}, {"24:00:00"}, "01/01/2000", "EConvertError: '24:00:00' is not a valid time",
       "midnight is 00:00:00"},
      {{{"DT", DT}}, {"13:60:00"}, "01/01/2000", "EConvertError: '13:60:00' is not a valid time",
       "minutes past the hour"},
      {{{"DT", DT}}, {"13:45:60"}, "01/01/2000", "EConvertError: '13:45:60' is not a valid time",
       "seconds past the minute"},
      {{{"DT", DT}}, {"1:45:100"}, "01/01/2000", "EConvertError: '1:45:100' is not a valid time",
       "eight characters in another form"},
      {{{"DT", DT}}, {"13:45:10.4x"}, "01/01/2000",
       "EConvertError: '.4x' is not a valid floating point value", "bad fraction"},
      {{{"DT", DT}}, {""}, "01/01/2000", "13:45:10", "empty time: now"},
      {{{"DT", DT}}, {"13:45:10.5e30"}, "01/01/2000", "EConvertError: '13:45:10.5e30' is not a valid time",
       "a fraction that would carry past every calendar"},
      {{{"DD", DD}, {"DT", DT}}, {"311203", "134510"}, "31/12/03", "13:45:10", "compact date and time"},
      {{{"DD", DD}, {"DT", DT}}, {"311203", "250000"}, "01/01/04", "01:00:00",
       "hours past the day carry into a compact date"},
      {{{"DD", DD}, {"DT", DT}}, {"31122003", "250000"}, "01/01/04", "01:00:00", "carry into an eight-digit date"},
      {{{"DD", DD}, {"DT", DT}}, {"280200", "240000"}, "29/02/00", "00:00:00",
       "a two-digit year 00 is 2000 while the clock says 2024"},
      {{{"DD", DD}, {"DT", DT}}, {"31/12/2003", "250000"}, "31/12/2003", "01:00:00",
       "only compact dates take the carry"},
      {{{"DD", DD}, {"DT", DT}}, {"991203", "250000"}, "EConvertError: '99/12/03' is not a valid date",
       "01:00:00", "a compact date re-read for the carry must be a date"},
      {{{"DD", DD}, {"DT", DT}}, {"311203", "1345"}, "31/12/03",
       "EConvertError: '' is not a valid integer value", "compact time without seconds"},
      {{{"DD", DD}, {"DT", DT}}, {"311203", "13451099"}, "31/12/03", "13:45:10",
       "a compact time ignores what follows six characters"},
      {{{"DD", DD}}, {"31.12.2003"}, "31/12/2003", "13:45:10", "points become slashes"},
      {{{"DD", DD}}, {"31/12/2003"}, "31/12/2003", "13:45:10", "a slashed date passes"},
      {{{"DD", DD}}, {"31-12-2003"}, "31/-1/2-2003", "13:45:10",
       "dashes in other places make a compact date, unchecked without a carry"},
      {{{"DD", DD}}, {"2003-12-31"}, ymdMessage, "13:45:10", "yyyy-mm-dd needs the order Y/M/D"},
      {{{"DD", DD}}, {""}, "15/03/2024", "13:45:10", "an empty date is today"},
      {{{"DA", DA}, {"DM", DM}, {"DY", DY}}, {"7", "Dec", "2003"}, "7/12/2003", "13:45:10", "assembled"},
      {{{"DA", DA}, {"DM", DM}, {"DY", DY}}, {"7", "December", "2003"}, "7/01/2003", "13:45:10",
       "a full month name gives January"},
      {{{"DA", DA}, {"DM", DM}}, {"7", "12"}, "7/12/2000", "13:45:10", "no year column"},
      {{{"DY", DY}}, {"2003"}, "01/01/2003", "13:45:10", "no day and month columns"},
      {{{"DX", DX}}, {"36526.5"}, "01/01/00", "12:00:00", "days from 1900"},
      {{{"DX", DX}}, {"2"}, "01/01/00", "00:00:00", "1 January 1900"},
      {{{"DX", DX}}, {"2,5"}, "EConvertError: '2,5' is not a valid floating point value",
       "EConvertError: '2,5' is not a valid floating point value", "day counts read with the mark in force"},
      {{{"DS", DS}}, {"86400"}, "01/01/90", "00:00:00", "seconds from 1989"},
      {{{"DS", DS}}, {"86399.5"}, "EConvertError: '86399.5' is not a valid integer value",
       "EConvertError: '86399.5' is not a valid integer value", "seconds are whole"},
      {{{"DD", DD}, {"DX", DX}}, {"31/12/2003", "2"}, "01/01/00", "00:00:00",
       "a day count comes before a date column"},
  };
  int plainTimes = 0;
  for (const auto& c : cases) {
    ValueRig rig;
    Check(rig, c);
    plainTimes += rig.plainTimes;
  }
  EXPECT_EQ(plainTimes, 3) << "times the short road takes";
}

TEST(DateTime, YearFirstOrder) {
  ValueRig rig;
  rig.settings.dateFormat = 'Y';
  Check(rig, {{{"DD", DD}}, {"2003-12-31"}, "2003/12/31", "13:45:10", "dashes become the date separator"});
  rig.locale.dateSeparator = '.';
  Check(rig, {{{"DD", DD}}, {"2003-12-31"}, "2003.12.31", "13:45:10", "the system's separator"});
}

TEST(DateTime, IsoDateAndTimeInOneCell) {
  const struct {
    const char* text;
    const char* date;  // nullptr: not the ISO form
    const char* time;
  } forms[] = {
      {"2024-03-15T13:00:02Z", "2024-03-15", "13:00:02"},
      {" 2024-03-15T13:00:02.123Z ", "2024-03-15", "13:00:02.123"},
      {"2024-03-15t13:00+02:00", "2024-03-15", "13:00"},
      {"2024-03-15 13:00:02", nullptr, nullptr},
      {"2024-03-15", nullptr, nullptr},
      {"2024-03-15TZ", nullptr, nullptr},
      {"15/03/2024T13:00", nullptr, nullptr},
      {"2024-03-15T1", "2024-03-15", "1"},
  };
  for (const auto& form : forms) {
    auto parts = IsoDateAndTime(form.text);
    ASSERT_EQ(parts.has_value(), form.date != nullptr) << form.text;
    if (!parts) continue;
    EXPECT_EQ(parts->first, form.date) << form.text;
    EXPECT_EQ(parts->second, form.time) << form.text;
  }

  // A cell cut short anywhere is read within its end: each lies alone on the
  // heap, where a sanitizer sees a byte read past it.
  const std::string_view whole = "2024-03-15T13:00:02Z";
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const auto cell = std::make_unique<char[]>(size);
    std::copy_n(whole.data(), size, cell.get());
    auto parts = IsoDateAndTime(std::string_view(cell.get(), size));
    EXPECT_EQ(parts.has_value(), size >= 12) << size;
    if (parts) {
      EXPECT_EQ(parts->second, whole.substr(11, size - 11)) << size;
    }
  }

  ValueRig rig;
  rig.settings.dateFormat = 'Y';
  const DateTimeCase cases[] = {
      {{{"DB", DB}}, {"2024-03-15T13:00:02Z"}, "2024/03/15", "13:00:02", "a phone's time is its own, not now"},
      {{{"DB", DB}}, {"2024-03-15T13:00:02.623Z"}, "2024/03/15", "13:00:03", "milliseconds round"},
      {{{"DB", DB}}, {"2024-03-15T07:05+01:00"}, "2024/03/15", "07:05:00", "the clock time as written"},
      {{{"DB", DB}}, {"2024-03-15"}, "2024/03/15", "13:45:10", "no time: the time of day now, as before"},
      {{{"DB", DB}}, {"2024-03-15T23:59:59.7Z"}, "2024/03/15", "23:59:59",
       "never midnight beside the day before"},
      {{{"DT", DT}}, {"23:59:59.5"}, "01/01/2000", "23:59:59", "in a time column too"},
  };
  for (const auto& c : cases) Check(rig, c);
  rig.settings.dateFormat = 'D';
  Check(rig, {{{"DB", DB}}, {"2024-03-15T13:00:02Z"},
              "EInvalidLine: Date Setting should be \"Y/M/D\" - see Settings menu", "13:00:02",
              "the date order still decides"});
}

TEST(DateTime, SystemRulesComeFromTheLocale) {
  ValueRig rig;
  rig.locale = LocaleValues{',', '.', '.', "dd.mm.yyyy"};
  rig.mark = ',';
  Check(rig, {{{"DD", DD}, {"DT", DT}}, {"", "13.45.10,6"}, "15.03.2024", "13.45.11",
              "time separator and decimal mark of the system"});
  Check(rig, {{{"DX", DX}}, {"36526,5"}, "01.01.00", "12.00.00", "day count with a decimal comma"});

  ValueRig american;
  american.locale = LocaleValues{'.', '/', ':', "m/d/yyyy"};
  Check(american, {{{"DD", DD}}, {""}, "3/15/2024", "13:45:10", "today, month first, no leading zeros"});
  // The compact split is fixed; the re-read follows the system's order.
  Check(american, {{{"DD", DD}, {"DT", DT}}, {"123103", "250000"}, "01/01/04", "01:00:00",
                   "month-first compact date with a carry"});
  Check(american, {{{"DD", DD}, {"DT", DT}}, {"311203", "250000"},
                   "EConvertError: '31/12/03' is not a valid date", "01:00:00", "day first is no date here"});
}

TEST(DateTime, TwoDigitYearsFollowTheClock) {
  // The hundred years that begin fifty years before today: in 1949, 00 is 1900.
  ValueRig rig;
  rig.clock.Set({std::chrono::year{1949} / 6 / 1, std::chrono::seconds{0}});
  Check(rig, {{{"DD", DD}, {"DT", DT}}, {"280200", "240000"}, "01/03/00", "00:00:00", "1900 is no leap year"});
}

}  // namespace
}  // namespace zevi
