#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/EntrySource.h"
#include "app/Jubilees.h"
#include "app/LAObj.h"
#include "formats/OPObj.h"

namespace mindrel {

// What the scan knows of an event beyond its day and year.
struct TEventFacts {
  std::string EventName;  // the event list item's text
  bool YearUnknown = false;
  bool Dead = false;  // a person who counts as dead; a couple with a dead partner
  std::string Relation;  // to the source's home person; empty for none
  bool Approximate = false;  // the date carries a qualifier
  TDatePrecision Precision = TDatePrecision::Day;
  std::string HebrewDate;  // "16 Tevet": the alert day of a Hebrew anniversary
  bool Missed = false;     // the alert day passed while the list was not shown
};

// The alert list: entries kept in ascending order of their item keys,
// compared as text. A key is the alert day's `JDayToSearchStr`, "-" and the
// number of entries the list held before the entry came, so entries run by
// day and, within a day, by the text of their counters ("10" before "2").
class TAlertList {
 public:
  // Makes an entry for the record `source` is positioned on and adds it.
  // `bc` says the event year counts before Christ (there is no year 0). An
  // event whose year lies after the alert day's has no anniversary yet and
  // is not added (false).
  bool AddAlert(std::uint8_t eventIndex, std::int32_t eventYear, const TLAObj& alertDay, std::int32_t code,
                const std::string& folder, const std::string& kind, bool bc, const TEntrySource& source,
                const std::string& marriageIndicator, const TEventFacts& facts = {});

  // The same for an anniversary of another calendar, whose count of years
  // since the event (`years`, at least 1) the caller knows.
  bool AddCountedAlert(std::uint8_t eventIndex, std::int32_t years, const TLAObj& alertDay, std::int32_t code,
                       const std::string& folder, const std::string& kind, const TEntrySource& source,
                       const std::string& marriageIndicator, const TEventFacts& facts = {});

  int Count() const { return static_cast<int>(items_.size()); }
  // REQUIRES: 0 <= index < Count()
  const TOPObj& Entry(int index) const { return *Sorted()[static_cast<std::size_t>(index)].second; }
  const std::string& Key(int index) const { return Sorted()[static_cast<std::size_t>(index)].first; }
  // Removes and frees one entry (ignoring it from the list).
  // REQUIRES: 0 <= index < Count()
  void Remove(int index);
  // Removes and frees the entries added after the list held `count` of them
  // (a source read again).
  void DropAddedSince(int count);
  // Frees every entry (before each scan and at the end).
  void FreeOPList() {
    items_.clear();
    sorted_ = true;
  }

  // Sets every entry's band flag: the entries of one day share a band, and
  // the bands alternate from day to day, starting as if the day before had
  // been drawn on white. Colours are 0x00BBGGRR values.
  void ApplyBands(std::uint32_t firstColour, std::uint32_t secondColour);
  // Marks every entry whose count is one of the jubilees.
  void MarkJubilees(const TJubilees& jubilees);

 private:
  using Item = std::pair<std::string, std::unique_ptr<TOPObj>>;
  // A scan adds thousands of entries in no order; they are sorted once, when
  // the list is next read.
  const std::vector<Item>& Sorted() const;

  mutable std::vector<Item> items_;
  mutable bool sorted_ = true;
};

}  // namespace mindrel
