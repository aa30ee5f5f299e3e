#pragma once

#include <cstdint>
#include <string>

#include "app/EntrySource.h"
#include "dates/UDate.h"
#include "formats/DateTime.h"

namespace mindrel {

// How an alert entry gets its ordering key, date and name text.

// The day number as ten decimal digits, filled with "0" on the left
// (5115310 gives "0005115310"). Negative numbers keep their sign ahead of
// the digits.
std::string JDayToSearchStr(std::int32_t jday);

// Midnight of a full date; the zero date-time (30 December 1899) for a
// phrase or a date with an unknown day, month or year. The era is not looked at.
TDateTime JDateToDateTime(const TJDate& date);

// A partner's name stored as "surname, first names" turned into
// "first names surname"; a name without a comma unchanged (outer blanks removed).
std::string ReorderName(const std::string& stored);

// The entry's name from its source record: "FirstNames Surname" for kind "P"
// (outer blanks removed), the partners joined by the marriage indicator for
// kind "F" (the one partner alone when the other has no name), the
// "Description" for added events. Records without any name get
// "[P<code>] no name" or "[F<code> no names]".
std::string BuildEntryName(const std::string& kind, std::int32_t code, const TEntrySource& source,
                           const std::string& marriageIndicator);

}  // namespace mindrel
