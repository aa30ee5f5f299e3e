#pragma once

// Text forms of dates, times, timestamps and booleans in expressions: the same
// forms as the engine's field texts (defaults, minimum and maximum values).
//
//   date       year-month-day            day numbers: 0001-01-01 is day 1
//   time       hours:minutes[:seconds[.milliseconds]] [AM|PM]
//   timestamp  date [blank time]         day number x 86,400,000 + milliseconds
//   boolean    TRUE or FALSE in any letter case

#include <cstdint>
#include <string>
#include <string_view>

namespace keel {

constexpr int64_t kMsecsPerDay = 86400000;

bool ParseDateText(std::string_view text, int32_t& dayNumber);
bool ParseTimeText(std::string_view text, int32_t& msecsOfDay);
bool ParseTimestampText(std::string_view text, double& msecs);
bool ParseBooleanText(std::string_view text, bool& value);

std::string FormatDateText(int32_t dayNumber);
std::string FormatTimeText(int32_t msecsOfDay);
std::string FormatTimestampText(double msecs);

}  // namespace keel
