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
  auto entry = std::make_unique<TOPObj>();
  entry->EventIndex = eventIndex;
  entry->Years = static_cast<std::int32_t>(years);
  entry->Date = JDateToDateTime(alertDay.DateRec);
  entry->Kind = kind;
  entry->Code = code;
  entry->DBFolder = folder;
  entry->Name = BuildEntryName(kind, code, source, marriageIndicator);
  entry->Shaded = false;
  entry->EventName = facts.EventName;
  entry->YearUnknown = facts.YearUnknown;
  entry->Dead = facts.Dead;
  Insert(JDayToSearchStr(alertDay.DateRec.JDay) + "-" + std::to_string(Count()), std::move(entry));
  return true;
}

void TAlertList::Insert(std::string key, std::unique_ptr<TOPObj> entry) {
  const auto at = std::upper_bound(items_.begin(), items_.end(), key,
                                   [](const std::string& k, const auto& item) { return k < item.first; });
  items_.emplace(at, std::move(key), std::move(entry));
}

void TAlertList::Remove(int index) { items_.erase(items_.begin() + index); }

void TAlertList::ApplyBands(std::uint32_t firstColour, std::uint32_t secondColour) {
  std::uint32_t current = kWhite;
  TDateTime lastDate = EncodeDate(1, 1, 1);  // a date no entry has
  bool shaded = false;
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
