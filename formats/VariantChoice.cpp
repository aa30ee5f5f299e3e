#include "formats/VariantChoice.h"

#include "formats/EventFormats.h"

namespace mindrel {

namespace {

// What about an entry can call for a variant.
enum Trait : unsigned {
  kYearUnknown = 1u << 0,
  kDead = 1u << 1,
  kApproximate = 1u << 2,
  kPartial = 1u << 3,
  kOneYear = 1u << 4,
  kOwnDay = 1u << 5,
};

// The custom date columns: every event index from the first one on.
constexpr int kOtherDate = TEventFormats::kOtherDateEvent;

struct TCase {
  int Event;  // a fixed event index, or kOtherDate
  unsigned Traits;  // all of them must hold
  int Variant;
};

// First match wins.
constexpr TCase kCases[] = {
    {kBirth, kYearUnknown | kDead, TEventFormats::kBirthDeadYearUnknown},
    {kBirth, kYearUnknown, TEventFormats::kBirthYearUnknown},
    {kBirth, kDead | kApproximate, TEventFormats::kBirthDeadApproximate},
    {kBirth, kDead, TEventFormats::kBirthDead},
    {kBirth, kApproximate | kOneYear, TEventFormats::kBirthApproximateOneYear},
    {kBirth, kApproximate, TEventFormats::kBirthApproximate},
    {kBirth, kPartial, TEventFormats::kBirthPartial},
    {kBirth, kOneYear, TEventFormats::kBirthOneYear},
    {kMarriage, kYearUnknown | kDead, TEventFormats::kMarriageDeadYearUnknown},
    {kMarriage, kYearUnknown, TEventFormats::kMarriageYearUnknown},
    {kMarriage, kDead | kApproximate, TEventFormats::kMarriageDeadApproximate},
    {kMarriage, kDead, TEventFormats::kMarriageDead},
    {kMarriage, kApproximate, TEventFormats::kMarriageApproximate},
    {kDivorce, kYearUnknown, TEventFormats::kDivorceYearUnknown},
    {kDivorce, kApproximate, TEventFormats::kDivorceApproximate},
    {kDeath, kYearUnknown, TEventFormats::kDeathYearUnknown},
    {kDeath, kApproximate | kOneYear, TEventFormats::kDeathApproximateOneYear},
    {kDeath, kApproximate, TEventFormats::kDeathApproximate},
    {kDeath, kOneYear, TEventFormats::kDeathOneYear},
    {kAddedFixed, kOwnDay, TEventFormats::kAddedFixedOwnDay},
    {kOtherDate, kYearUnknown, TEventFormats::kOtherDateYearUnknown},
    {kOtherDate, kApproximate, TEventFormats::kOtherDateApproximate},
};

int EventOf(const TOPObj& entry) {
  return entry.EventIndex < TEventFormats::kFixedRows ? entry.EventIndex : kOtherDate;
}

unsigned TraitsOf(const TOPObj& entry) {
  unsigned traits = 0;
  if (entry.YearUnknown) traits |= kYearUnknown;
  if (entry.Dead) traits |= kDead;
  if (entry.Approximate) traits |= kApproximate;
  if (entry.Precision != TDatePrecision::Day) traits |= kPartial;
  if (entry.Years == 1) traits |= kOneYear;
  if (entry.Years == 0) traits |= kOwnDay;
  return traits;
}

}  // namespace

std::vector<int> TVariantChoice::VariantsFor(const TOPObj& entry) {
  const int event = EventOf(entry);
  const unsigned traits = TraitsOf(entry);
  std::vector<int> variants;
  for (const TCase& c : kCases) {
    if (c.Event == event && (c.Traits & ~traits) == 0) variants.push_back(c.Variant);
  }
  return variants;
}

void TVariantChoice::Shape(int variant, TOPObj& entry) {
  if (variant >= 0) {
    const int event = TEventFormats::VariantEvent(variant);
    entry.EventIndex = static_cast<std::uint8_t>(event == kOtherDate ? TEventFormats::kFixedRows : event);
  }
  unsigned traits = 0;
  for (const TCase& c : kCases) {
    if (c.Variant == variant) traits = c.Traits;
  }
  entry.YearUnknown = (traits & kYearUnknown) != 0;
  entry.Dead = (traits & kDead) != 0;
  entry.Approximate = (traits & kApproximate) != 0;
  entry.Precision = (traits & kPartial) != 0 ? TDatePrecision::Month : TDatePrecision::Day;
  if ((traits & kOneYear) != 0) {
    entry.Years = 1;
  } else if ((traits & kOwnDay) != 0) {
    entry.Years = 0;
  } else if (entry.Years < 2 && entry.EventIndex != kAddedAnnual) {
    entry.Years = 2;
  }
}

}  // namespace mindrel
