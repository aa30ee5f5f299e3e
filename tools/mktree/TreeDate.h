#pragma once

// One date of the family tree as the family-tree program keeps it: the raw
// record of its "~B" column and the text of its "~D" column. The "~J" column
// is the record's JDay.

#include <optional>
#include <string>

#include "dates/UDate.h"

namespace mindrel {

struct TTreeDate {
  TJDate Record;
  std::string Display;  // UTF-8

  // A written date such as "12 Mar 1890", "ABT 1890", "Mar 44 BC", or an
  // apostrophe phrase, read the way the program reads typed dates (day, month
  // name, year; blank separators). Nothing for a text that is no date.
  static std::optional<TTreeDate> FromText(const std::string& text);

  // Day and month with the year left unknown. The written-date reader has no
  // form for this (a year of question marks fails), so the record is made the
  // way it fills unknown parts: the missing year counts as 1 (AD 1), and only
  // YearUnknown is set. REQUIRES: a day that exists in a common year.
  static TTreeDate WithoutYear(int day, int month);

  // Day, month and year of a record that holds a real date (no phrase);
  // nothing for a phrase.
  std::optional<TDayMonthYear> Decoded() const;
  // Day and month are both known (the year may be missing).
  bool HasDayAndMonth() const;
  // Day, month and year are known (a qualifier may stand before them).
  bool IsFullDate() const { return HasDayAndMonth() && Record.YearUnknown == 0; }
};

// "12 Mar 1890" / "12 Mar 44 BC" for an astronomical year (0 is 1 BC).
std::string WrittenDate(int day, int month, int astronomicalYear);
// "1890" / "44 BC".
std::string WrittenYear(int astronomicalYear);
// Three-letter English month name, 1..12.
std::string MonthAbbreviation(int month);

}  // namespace mindrel
