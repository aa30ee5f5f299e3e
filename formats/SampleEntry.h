#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "formats/OPObj.h"
#include "platform/Clock.h"

namespace mindrel {

// The invented alert entry behind the event format editor's sample line: a
// person, a couple or one of two well-known added events, with random years,
// day and code so that the user sees the format with changing numbers.
class TSampleEntry {
 public:
  static constexpr int kMaxYears = 90;
  static constexpr int kMaxDaysAhead = 2;
  static constexpr int kMaxCode = 100;

  // The clock must outlive the sample.
  TSampleEntry(const Clock& clock, std::uint32_t seed);

  const TOPObj& Entry() const { return entry_; }
  // New random years (1..90), date (now plus 0..2 days) and code (1..100).
  void Shuffle();
  // Makes the entry fit format row `row`: its event index, its kind (couple
  // for rows 1 and 2, added fixed for 4, added annual for 5, a person
  // otherwise), name and, for people and couples, a relationship to a home
  // person; the added events also get their own date, and the fixed one its
  // years; a yahrzeit gets the Hebrew date of its day.
  void PrepareFor(int row, const std::string& marriageIndicator);
  // Then makes it an entry that takes `variant` (TVariantChoice::Shape), or,
  // for -1, one that its row's own template fits. An "Other date" variant's
  // entry is a baptism.
  void ShapeFor(int variant);

 private:
  void NameHebrewDate();

  const Clock& clock_;
  std::mt19937 random_;
  TOPObj entry_;
};

}  // namespace mindrel
