#pragma once
// The system's number and date conventions, as the converter reads them.
#include <string>

namespace zevi {

struct LocaleValues {
  char decimalSeparator = '.';
  char dateSeparator = '/';
  char timeSeparator = ':';
  // Order and widths of a short date: "d", "m", "y" runs, e.g. "dd/mm/yyyy";
  // the separator shown is always dateSeparator.
  std::string shortDateFormat = "dd/mm/yyyy";
};

// From the C library's locale where it gives the values, else the defaults.
LocaleValues SystemLocaleValues();

// The user's locale (LC_ALL, LC_CTYPE, LANG) writes text as UTF-8.
bool UserCharsetIsUtf8();

}  // namespace zevi
