#include "platform/locale.h"
#include "platform/localeformats.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace zevi {

namespace {

// A locale object of its own ("" the user's): the process-wide locale stays
// as it is, so no number conversion anywhere else changes.
class LocaleHandle {
 public:
  explicit LocaleHandle(const char* name, int categories = LC_NUMERIC_MASK | LC_TIME_MASK)
      : handle_(newlocale(categories, name, locale_t{})) {}
  ~LocaleHandle() {
    if (handle_) freelocale(handle_);
  }
  LocaleHandle(const LocaleHandle&) = delete;
  LocaleHandle& operator=(const LocaleHandle&) = delete;

  bool Valid() const { return handle_ != locale_t{}; }
  std::string Info(nl_item item) const {
    const char* text = nl_langinfo_l(item, handle_);
    return text ? text : "";
  }

 private:
  locale_t handle_;
};

bool IsSeparatorChar(char c) {
  return c > ' ' && c < 0x7F && !(c >= '0' && c <= '9') && !((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

// strftime shorthands that a date or time format may be written with.
std::string ExpandShorthands(std::string_view format) {
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      char directive = format[i + 1];
      const char* expansion = directive == 'D' ? "%m/%d/%y"
                              : directive == 'F' ? "%Y-%m-%d"
                              : directive == 'T' ? "%H:%M:%S"
                              : directive == 'R' ? "%H:%M"
                              : directive == 'r' ? "%I:%M:%S %p"
                                                 : nullptr;
      if (expansion) {
        out += expansion;
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

struct DateOrder {
  std::string shortFormat;  // "dd/mm/yyyy" with the separator in place
  char separator = 0;
};

// "%d.%m.%Y" -> "dd.mm.yyyy" and '.'; an empty format when the locale's date
// is no plain run of day, month and year numbers.
DateOrder ShortDateFormatOf(std::string_view strftimeFormat) {
  std::string format = ExpandShorthands(strftimeFormat);
  std::string runs[3];
  int count = 0;
  char separator = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      if (separator == 0 && count > 0 && IsSeparatorChar(c)) separator = c;
      if (static_cast<unsigned char>(c) >= 0x80) return {};
      continue;
    }
    // Flags and modifiers of glibc's strftime change nothing we show.
    while (i + 1 < format.size() && std::string_view("-_0^#EO").find(format[i + 1]) != std::string_view::npos) {
      ++i;
    }
    if (i + 1 >= format.size() || count == 3) return {};
    char directive = format[++i];
    const char* run = directive == 'd' ? "dd"
                      : directive == 'e' ? "d"
                      : directive == 'm' ? "mm"
                      : directive == 'y' ? "yy"
                      : directive == 'Y' ? "yyyy"
                                         : nullptr;
    if (!run) return {};
    runs[count++] = run;
  }
  if (count != 3 || separator == 0) return {};
  if ((runs[0][0] == runs[1][0]) || (runs[0][0] == runs[2][0]) || (runs[1][0] == runs[2][0])) return {};
  return {runs[0] + separator + runs[1] + separator + runs[2], separator};
}

char TimeSeparatorOf(std::string_view strftimeFormat) {
  std::string format = ExpandShorthands(strftimeFormat);
  bool afterDirective = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%') {
      ++i;
      afterDirective = true;
    } else if (afterDirective && IsSeparatorChar(format[i])) {
      return format[i];
    }
  }
  return 0;
}

}  // namespace

LocaleValues LocaleValuesFrom(std::string_view radix, std::string_view dateFormat,
                              std::string_view timeFormat) {
  LocaleValues values;
  if (radix.size() == 1) values.decimalSeparator = radix[0];
  DateOrder order = ShortDateFormatOf(dateFormat);
  if (!order.shortFormat.empty()) {
    values.shortDateFormat = order.shortFormat;
    values.dateSeparator = order.separator;
  }
  if (char separator = TimeSeparatorOf(timeFormat)) values.timeSeparator = separator;
  return values;
}

LocaleValues SystemLocaleValues() {
  LocaleHandle user("");
  if (!user.Valid()) return LocaleValues{};
  // The C locale's month-first date is no one's choice: keep day/month/year.
  std::string dateFormat = user.Info(D_FMT);
  if (dateFormat == LocaleHandle("C").Info(D_FMT)) dateFormat.clear();
  return LocaleValuesFrom(user.Info(RADIXCHAR), dateFormat, user.Info(T_FMT));
}

bool UserCharsetIsUtf8() {
  LocaleHandle user("", LC_CTYPE_MASK);
  if (user.Valid()) {
    const std::string codeset = user.Info(CODESET);
    return codeset == "UTF-8" || codeset == "utf8";
  }
  // A locale named but not installed: its name still says what the
  // terminal shows, as most programs take it.
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    std::string name(value);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos;
  }
  return false;
}

}  // namespace zevi
