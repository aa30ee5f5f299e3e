#pragma once

#include <compare>
#include <string>

namespace mindrel {

// A day of the proleptic Gregorian calendar as the local clock shows it.
struct CivilDate {
  int year = 1;
  int month = 1;
  int day = 1;
  auto operator<=>(const CivilDate&) const = default;
};

struct LocalDateTime {
  CivilDate date;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  auto operator<=>(const LocalDateTime&) const = default;
};

// Source of "today" and "now". Everything that asks the time takes a Clock, so
// tests and tools can fix the day without touching any global state.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() const = 0;
  CivilDate today() const { return now().date; }
};

// The local time of the machine.
class SystemClock final : public Clock {
 public:
  LocalDateTime now() const override;
  static const SystemClock& instance();
};

// Always answers the moment it was given.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(LocalDateTime moment) : moment_(moment) {}
  explicit FixedClock(CivilDate day) : moment_{day} {}
  LocalDateTime now() const override { return moment_; }

 private:
  LocalDateTime moment_;
};

// Reads "YYYY-MM-DD"; false for any other text or an impossible day.
bool ParseIsoDate(const std::string& text, CivilDate& date);
// "YYYY-MM-DD".
std::string FormatIsoDate(const CivilDate& date);

}  // namespace mindrel
