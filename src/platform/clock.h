#pragma once
// Today's date and the time of day come through here, so tests can fix them.
#include <chrono>

namespace zevi {

struct LocalDateTime {
  std::chrono::year_month_day date;
  std::chrono::seconds timeOfDay;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() const = 0;
};

class SystemClock : public Clock {
 public:
  LocalDateTime Now() const override;
};

class FixedClock : public Clock {
 public:
  explicit FixedClock(LocalDateTime now) : now_(now) {}
  LocalDateTime Now() const override { return now_; }
  void Set(LocalDateTime now) { now_ = now; }

 private:
  LocalDateTime now_;
};

}  // namespace zevi
