#include <windows.h>

#include "platform/clock.hpp"

namespace tovalix::platform {

WallTime LocalNow() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return WallTime{
      {local.wYear, local.wMonth, local.wDay}, local.wHour, local.wMinute, local.wSecond};
}

}  // namespace tovalix::platform
