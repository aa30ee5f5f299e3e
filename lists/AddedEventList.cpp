#include "lists/AddedEventList.h"

#include <algorithm>
#include <array>

#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"
#include "formats/Utf8Text.h"

namespace mindrel {

namespace {

constexpr std::array<const char*, TAddedEventList::kSectionCount> kSectionIndexes = {"DescIdx", "DateIdx"};
// The years an annual event is checked in: a leap year for 29 February, a
// common one for every other day.
constexpr int kAnnualLeapYear = 2004;
constexpr int kAnnualCommonYear = 2005;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

int CheckYear(const TEventInputs& inputs) {
  if (!inputs.Annual) return inputs.Year;
  return inputs.Month == 2 && inputs.Day == 29 ? kAnnualLeapYear : kAnnualCommonYear;
}

}  // namespace

bool TAddedEventList::DateExists(const TEventInputs& inputs) {
  const int year = CheckYear(inputs);
  if (year < 1 || year > 9999 || inputs.Month < 1 || inputs.Month > 12) return false;
  return inputs.Day >= 1 && inputs.Day <= DaysInMonth(year, inputs.Month);
}

bool TAddedEventList::CompleteRecord(const TEventInputs& inputs) {
  if (!DateExists(inputs)) return false;
  table_.FieldByName("Event date DD").SetAsInteger(inputs.Day);
  table_.FieldByName("Event date MM").SetAsInteger(inputs.Month);
  std::string shown = std::to_string(inputs.Day) + " " + monthNames_(inputs.Month);
  if (!inputs.Annual) shown += " " + std::to_string(CheckYear(inputs));
  table_.FieldByName("EventType").SetAsInteger(inputs.Annual ? kAnnualType : kFixedType);
  table_.FieldByName("Event date YY").SetAsInteger(inputs.Annual ? 0 : inputs.Year);
  table_.FieldByName("Event date D").SetAsString(shown);
  return true;
}

TEventInputs TAddedEventList::ShownInputs(const TEventInputs& current) const {
  TEventInputs shown = current;
  const auto type = table_.FieldByName("EventType").AsInteger();
  shown.Annual = type == kAnnualType;
  if (!shown.Annual) {
    shown.Year = static_cast<int>(std::clamp<std::int64_t>(table_.FieldByName("Event date YY").AsInteger(), 1, 9999));
  }
  shown.Day = static_cast<int>(std::clamp<std::int64_t>(table_.FieldByName("Event date DD").AsInteger(), 1, 31));
  shown.Month = static_cast<int>(std::clamp<std::int64_t>(table_.FieldByName("Event date MM").AsInteger(), 1, 12));
  return shown;
}

bool TAddedEventList::HasRecords() const { return table_.Active() && !table_.IsEmpty(); }

bool TAddedEventList::Editing() const {
  return table_.State() == keel::TDataSetState::dsEdit || table_.State() == keel::TDataSetState::dsInsert;
}

void TAddedEventList::SelectOrder(int section) {
  if (section < 0 || section >= kSectionCount || table_.State() != keel::TDataSetState::dsBrowse) return;
  table_.SetIndexName(kSectionIndexes[static_cast<std::size_t>(section)]);
}

int TAddedEventList::BoldSection() const {
  for (int section = 0; section < kSectionCount; ++section) {
    if (SameText(table_.IndexName(), kSectionIndexes[static_cast<std::size_t>(section)])) return section;
  }
  return -1;
}

}  // namespace mindrel
