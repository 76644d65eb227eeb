// The one clock every wait of the component reads. It is monotonic (a wait across midnight or
// a change of the wall clock lasts its full time). Tests hand in a FastClock so that a
// 20-second deadline passes in a fraction of a second without changing what the code does.
#pragma once

#include <chrono>

namespace tovalix::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since an arbitrary origin; never goes backwards.
  virtual double Now() const = 0;
  // Sleeps `seconds` of this clock's time (nothing for zero or less).
  virtual void SleepFor(double seconds) const = 0;
  // `seconds` of this clock's time in real milliseconds, rounded up, at least 0: how long a
  // poll() may block for a wait of that length.
  virtual int RealMilliseconds(double seconds) const = 0;
};

// The steady clock of the system.
const Clock& SystemClock();

// A steady clock that runs `speedup` times faster than real time.
class FastClock final : public Clock {
 public:
  explicit FastClock(double speedup);
  double Now() const override;
  void SleepFor(double seconds) const override;
  int RealMilliseconds(double seconds) const override;

 private:
  double speedup_;
  std::chrono::steady_clock::time_point origin_;
};

// Today's calendar date on the local wall clock (for expiry checks and frame time stamps).
struct CalendarDate {
  int year;   // four digits
  int month;  // 1-12
  int day;    // 1-31
};
struct WallTime {
  CalendarDate date;
  int hour;  // 0-23
  int minute;
  int second;
};
WallTime LocalNow();

// The processor time this process has used so far, in seconds (user and system together), for
// the benchmarks that show how idle a wait is.
double ProcessCpuSeconds();

}  // namespace tovalix::platform
