#include "formats/SampleEntry.h"

#include "dates/HebrewCalendar.h"
#include "dates/UDate.h"
#include "formats/DateTime.h"
#include "formats/EventFormats.h"
#include "formats/VariantChoice.h"

namespace mindrel {

namespace {

const std::string kPersonName = "John SMITH";
const std::string kPartnerName = "Jane BROWN";
// The sample shows "<relation>" as a home person's relative would have it.
const std::string kPersonRelation = "your great-grandson";
const std::string kCoupleRelation = "your grandson and your granddaughter-in-law";
const std::string kFixedEventName = "VE day";
constexpr int kFixedEventYear = 1945;
constexpr int kFixedEventMonth = 5;
constexpr int kFixedEventDay = 7;
const std::string kAnnualEventName = "Christmas";
const std::string kOtherDateName = "Baptism";
constexpr int kAnnualEventMonth = 12;
constexpr int kAnnualEventDay = 25;

std::string KindOfRow(int row) {
  switch (row) {
    case 1:
    case 2:
      return "F";
    case 4:
      return "AF";
    case 5:
      return "AA";
    default:
      return "P";
  }
}

// The year in which (month, day) next comes, today counting as coming.
int NextYearOf(const CivilDate& today, int month, int day) {
  const bool passed = today.month > month || (today.month == month && today.day > day);
  return today.year + (passed ? 1 : 0);
}

}  // namespace

TSampleEntry::TSampleEntry(const Clock& clock, std::uint32_t seed) : clock_(clock), random_(seed) {
  PrepareFor(0, {});
  Shuffle();
}

void TSampleEntry::Shuffle() {
  entry_.Years = std::uniform_int_distribution<int>(1, kMaxYears)(random_);
  entry_.Date = DateTimeOf(clock_.now()) + std::uniform_int_distribution<int>(0, kMaxDaysAhead)(random_);
  entry_.Code = std::uniform_int_distribution<int>(1, kMaxCode)(random_);
  NameHebrewDate();
}

// A yahrzeit names the Hebrew date of its day; other entries have none.
void TSampleEntry::NameHebrewDate() {
  entry_.HebrewDate.clear();
  if (entry_.EventIndex != kYahrzeit) return;
  const CivilDate day = DecodeDate(entry_.Date);
  const std::optional<THebrewDate> hebrew = THebrewCalendar::FromJDay(DMYToJDay(day.day, day.month, day.year, true));
  if (hebrew) entry_.HebrewDate = THebrewCalendar::DayAndMonth(*hebrew);
}

void TSampleEntry::PrepareFor(int row, const std::string& marriageIndicator) {
  entry_.EventIndex = static_cast<std::uint8_t>(row < 0 ? 0 : row);
  entry_.Kind = KindOfRow(row);
  const CivilDate today = clock_.today();
  entry_.Relation.clear();
  if (entry_.Kind == "P") {
    entry_.Name = kPersonName;
    entry_.Relation = kPersonRelation;
  } else if (entry_.Kind == "F") {
    entry_.Name = kPersonName + " " + marriageIndicator + " " + kPartnerName;
    entry_.Relation = kCoupleRelation;
  } else if (entry_.Kind == "AF") {
    entry_.Name = kFixedEventName;
    const int year = NextYearOf(today, kFixedEventMonth, kFixedEventDay);
    entry_.Date = EncodeDate(year, kFixedEventMonth, kFixedEventDay);
    entry_.Years = year - kFixedEventYear;
  } else {
    entry_.Name = kAnnualEventName;
    entry_.Date = EncodeDate(NextYearOf(today, kAnnualEventMonth, kAnnualEventDay), kAnnualEventMonth, kAnnualEventDay);
  }
  NameHebrewDate();
}

void TSampleEntry::ShapeFor(int variant) {
  TVariantChoice::Shape(variant, entry_);
  const bool otherDate = variant >= 0 && TEventFormats::VariantEvent(variant) == TEventFormats::kOtherDateEvent;
  entry_.EventName = otherDate ? kOtherDateName : std::string();
}

}  // namespace mindrel
