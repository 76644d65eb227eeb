#include <windows.h>

#include "platform/clock.hpp"

namespace tovalix::platform {

double ProcessCpuSeconds() {
  FILETIME created{}, ended{}, kernel{}, user{};
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  const auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           1e7;  // 100-nanosecond units
  };
  return seconds(kernel) + seconds(user);
}

}  // namespace tovalix::platform
