#include "platform/clock.h"

#include <ctime>

namespace zevi {

LocalDateTime SystemClock::Now() const {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  using namespace std::chrono;
  return {year_month_day{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                         day{static_cast<unsigned>(local.tm_mday)}},
          seconds{local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec}};
}

}  // namespace zevi
