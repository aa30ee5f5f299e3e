#pragma once

#include <cstdint>
#include <string>

#include "formats/DateTime.h"

namespace mindrel {

// The event indexes of the fixed event types; custom date columns follow.
enum FixedEvent : std::uint8_t { kBirth, kMarriage, kDivorce, kDeath, kAddedFixed, kAddedAnnual, kYahrzeit };

// How much of a stored date is known: the day, only the month and year, or
// only the year. An entry of a partial date falls on the first day of its
// month or year, a day nobody recorded.
enum class TDatePrecision : std::uint8_t { Day, Month, Year };

// One alert entry, owned by the alert list. The event formats read it to
// build the entry's sentence, the list drawing and the ignore command read
// the rest.
struct TOPObj {
  std::string Name;
  // Position of the event type in the main window's event list: 0 "Birth",
  // 1 "Marriage", 2 "Divorce", 3 "Death", 4 "Added fixed", 5 "Added annual",
  // 6 "Yahrzeit", 7 and on the custom date columns.
  std::uint8_t EventIndex = 0;
  std::int32_t Years = 0;  // completed years at the alert day
  TDateTime Date = 0;      // the alert day at midnight
  std::string Kind;        // "P" person, "F" family, "AF" added fixed, "AA" added annual
  std::int32_t Code = 0;   // the record's "Code"; 0 for added events
  std::string DBFolder;    // empty for added events
  bool Shaded = false;     // drawn in the second band colour
  // The event list item's text when the scan made the entry, so a sentence
  // can name the event even after the list has lost the item.
  std::string EventName;
  // The stored date gives day and month only; `Years` then counts from a
  // year nobody recorded and no sentence may show it.
  bool YearUnknown = false;
  // A person who counts as dead (marked so, a stored death date, or born
  // longer ago than anyone lives); for a couple, a partner who does.
  bool Dead = false;
  // How the person (or the couple's related partners) stand to the home
  // person of the source: "your great-grandson"; empty when no home person
  // is set or they are unrelated.
  std::string Relation;
  // The stored date carries a qualifier (about, after, before, estimated):
  // `Years` is only approximately right.
  bool Approximate = false;
  TDatePrecision Precision = TDatePrecision::Day;
  // The Hebrew date of the alert day ("16 Tevet") when the entry is a Hebrew
  // anniversary; empty otherwise.
  std::string HebrewDate;
  // A round anniversary that the user counts as a jubilee; drawn so that it
  // stands out.
  bool Jubilee = false;
  // The alert day lies before today: an anniversary that fell while the
  // program was not shown, told in the past.
  bool Missed = false;
};

}  // namespace mindrel
