#include "app/AlertList.h"

#include <algorithm>

#include "app/AlertEntry.h"

namespace mindrel {

namespace {
constexpr std::uint32_t kWhite = 0xFFFFFF;
}

bool TAlertList::AddAlert(std::uint8_t eventIndex, std::int32_t eventYear, const TLAObj& alertDay,
                          std::int32_t code, const std::string& folder, const std::string& kind, bool bc,
                          const TEntrySource& source, const std::string& marriageIndicator,
                          const TEventFacts& facts) {
  // Counted in 64 bits: a hand-typed year of an added event may be anything.
  const std::int64_t years = bc ? std::int64_t{alertDay.Year} + eventYear - 1
                                : std::int64_t{alertDay.Year} - eventYear;
  if (years < 0) return false;
  return AddCountedAlert(eventIndex, static_cast<std::int32_t>(years), alertDay, code, folder, kind, source,
                         marriageIndicator, facts);
}

bool TAlertList::AddCountedAlert(std::uint8_t eventIndex, std::int32_t years, const TLAObj& alertDay,
                                 std::int32_t code, const std::string& folder, const std::string& kind,
                                 const TEntrySource& source, const std::string& marriageIndicator,
                                 const TEventFacts& facts) {
  auto entry = std::make_unique<TOPObj>();
  entry->EventIndex = eventIndex;
  entry->Years = years;
  entry->Date = JDateToDateTime(alertDay.DateRec);
  entry->Kind = kind;
  entry->Code = code;
  entry->DBFolder = folder;
  entry->Name = BuildEntryName(kind, code, source, marriageIndicator);
  entry->Shaded = false;
  entry->EventName = facts.EventName;
  entry->YearUnknown = facts.YearUnknown;
  entry->Dead = facts.Dead;
  entry->Relation = facts.Relation;
  entry->Approximate = facts.Approximate;
  entry->Precision = facts.Precision;
  entry->HebrewDate = facts.HebrewDate;
  entry->Missed = facts.Missed;
  items_.emplace_back(JDayToSearchStr(alertDay.DateRec.JDay) + "-" + std::to_string(Count()), std::move(entry));
  sorted_ = false;
  return true;
}

// Keys are unique (each ends in its own counter), so the order is the one
// inserting each entry in its place would give.
const std::vector<TAlertList::Item>& TAlertList::Sorted() const {
  if (!sorted_) {
    std::sort(items_.begin(), items_.end(), [](const Item& a, const Item& b) { return a.first < b.first; });
    sorted_ = true;
  }
  return items_;
}

void TAlertList::Remove(int index) {
  Sorted();
  items_.erase(items_.begin() + index);
}

void TAlertList::MarkJubilees(const TJubilees& jubilees) {
  for (auto& item : items_) item.second->Jubilee = jubilees.Holds(*item.second);
}

// Each key ends in the number of entries the list held before the entry came.
void TAlertList::DropAddedSince(int count) {
  std::erase_if(items_, [count](const Item& item) {
    return std::stoi(item.first.substr(item.first.rfind('-') + 1)) >= count;
  });
}

void TAlertList::ApplyBands(std::uint32_t firstColour, std::uint32_t secondColour) {
  std::uint32_t current = kWhite;
  TDateTime lastDate = EncodeDate(1, 1, 1);  // a date no entry has
  bool shaded = false;
  Sorted();
  for (auto& item : items_) {
    TOPObj& entry = *item.second;
    if (entry.Date != lastDate) {
      lastDate = entry.Date;
      shaded = firstColour == current;
      current = shaded ? secondColour : firstColour;
    }
    entry.Shaded = shaded;
  }
}

}  // namespace mindrel
