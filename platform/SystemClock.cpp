#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace mindrel {

LocalDateTime SystemClock::now() const {
  const auto moment = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto sinceEpoch = moment.time_since_epoch();
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
  return LocalDateTime{{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
                       local.tm_hour,
                       local.tm_min,
                       local.tm_sec,
                       static_cast<int>(millis)};
}

}  // namespace mindrel
