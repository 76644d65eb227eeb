#include "platform/clock.hpp"

#include <cmath>
#include <limits>
#include <thread>

namespace tovalix::platform {
namespace {

int ToMilliseconds(double real_seconds) {
  if (!(real_seconds > 0)) return 0;
  const double ms = std::ceil(real_seconds * 1000.0);
  return ms >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                               : static_cast<int>(ms);
}

class SteadyClock final : public Clock {
 public:
  double Now() const override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SleepFor(double seconds) const override {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }
  int RealMilliseconds(double seconds) const override { return ToMilliseconds(seconds); }
};

}  // namespace

const Clock& SystemClock() {
  static const SteadyClock clock;
  return clock;
}

FastClock::FastClock(double speedup)
    : speedup_(speedup > 0 ? speedup : 1.0), origin_(std::chrono::steady_clock::now()) {}

double FastClock::Now() const {
  const auto real = std::chrono::steady_clock::now() - origin_;
  return std::chrono::duration<double>(real).count() * speedup_;
}

void FastClock::SleepFor(double seconds) const {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds / speedup_));
}

int FastClock::RealMilliseconds(double seconds) const {
  return ToMilliseconds(seconds / speedup_);
}

}  // namespace tovalix::platform
