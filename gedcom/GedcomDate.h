#pragma once

#include <optional>
#include <string_view>

#include "dates/HebrewCalendar.h"
#include "dates/UDate.h"

namespace mindrel {

// The value of a GEDCOM DATE line as the date record a family-tree table
// would hold for it.
//  - Gregorian dates, full or partial ("12 MAR 1890", "MAR 1890", "1890"),
//    with "B.C."; missing parts count as 1 and are flagged unknown.
//  - Dual years ("11 FEB 1731/32", also "1731/2" and "1731/1732") mark the
//    Old Style: a full date is a Julian date of the later year and becomes
//    the day it denotes (22 February 1732); a partial one ("JAN 1740/41",
//    "1589/90") stays partial, in the later year.
//  - ABT, CAL and EST give the qualifiers ABT, EST and EST; BEF and AFT their
//    own, with the day-number offset the records carry.
//  - @#DJULIAN@, @#DHEBREW@ and @#DFRENCH R@ full dates become the day they
//    denote; their partial dates cannot be placed on a Gregorian day. A
//    Hebrew date is kept as written too, so that its anniversaries can fall
//    on its Hebrew anniversary.
//  - Everything else is a phrase, which is never announced: periods (FROM,
//    TO), ranges (BET ... AND), interpreted dates (INT ... (...)), texts in
//    parentheses, other calendars, and any text that is no valid date.
struct TGedcomDate {
  TJDate Date;
  // A full date written on the Hebrew calendar, as written.
  std::optional<THebrewDate> Hebrew;

  // REQUIRES: `value` holds more than blanks.
  static TGedcomDate Read(std::string_view value);
  static TJDate ToJDate(std::string_view value) { return Read(value).Date; }
};

}  // namespace mindrel
