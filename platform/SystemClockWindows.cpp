#include "platform/Clock.h"

#include <windows.h>

namespace mindrel {

LocalDateTime SystemClock::now() const {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return LocalDateTime{{local.wYear, local.wMonth, local.wDay}, local.wHour, local.wMinute, local.wSecond,
                       local.wMilliseconds};
}

}  // namespace mindrel
