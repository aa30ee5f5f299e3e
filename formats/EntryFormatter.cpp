#include "formats/EntryFormatter.h"

#include <algorithm>
#include <cstdlib>

#include "formats/DateTime.h"
#include "formats/Utf8Text.h"
#include "formats/VariantChoice.h"

namespace mindrel {

namespace {

// Limits of the texts the expansion works on, in characters.
constexpr std::size_t kMaxPiece = 255;
constexpr std::size_t kMaxSentenceTail = 255;
constexpr int kMonthsInYear = 12;

bool Blank(const std::string& text) { return Trim(text).empty(); }

}  // namespace

std::string TEntryFormatter::FormatEntry(const TOPObj& entry, bool sample,
                                         const std::vector<std::string>& eventItems) const {
  const int row = FindRow(entry, sample, eventItems);
  TOPObj named = entry;
  if (named.EventName.empty()) named.EventName = EventNameOf(entry, row, eventItems);
  return Sentence(named, row, true);
}

std::string TEntryFormatter::FormatCalendarEntry(const TOPObj& entry,
                                                 const std::vector<std::string>& eventItems) const {
  const int row = FindRow(entry, false, eventItems);
  TOPObj named = entry;
  if (named.EventName.empty()) named.EventName = EventNameOf(entry, row, eventItems);
  return Sentence(named, row, false);
}

std::string TEntryFormatter::FormatWithRow(const TOPObj& entry, int row) const { return Sentence(entry, row, true); }

std::string TEntryFormatter::Sentence(const TOPObj& entry, int row, bool withWhen) const {
  int lastNumber = 0;
  TExpansion expansion{lastNumber, withWhen, false};
  const std::string sentence = Expand(TemplateFor(entry, row), entry, expansion);
  return UpperCaseFirst(LeftChars(SingleSpaced(sentence), 1 + kMaxSentenceTail));
}

int TEntryFormatter::FindRow(const TOPObj& entry, bool sample, const std::vector<std::string>& eventItems) const {
  const int index = entry.EventIndex;
  if (sample || index < TEventFormats::kFixedRows) return index < formats_.RowCount() ? index : -1;
  // A custom column's entry keeps its index until the next scan, while the
  // event list may have lost that item in the meantime.
  if (formats_.RowCount() <= TEventFormats::kFixedRows || index >= static_cast<int>(eventItems.size())) return -1;
  constexpr int kFirstSearchedRow = 4;
  return formats_.FindRow(eventItems[static_cast<std::size_t>(index)], kFirstSearchedRow);
}

std::string TEntryFormatter::EventNameOf(const TOPObj& entry, int row, const std::vector<std::string>& eventItems) const {
  if (entry.EventIndex < eventItems.size()) return eventItems[entry.EventIndex];
  return row >= 0 ? formats_.Row(row).Name : std::string();
}

// A variant the user emptied gives way to the next one that fits, and the
// last to the event's own template; a date column without one (or with an
// empty one) still deserves a sentence that says what it is.
const std::string& TEntryFormatter::TemplateFor(const TOPObj& entry, int row) const {
  if (ToldInThePast(entry)) return formats_.PastText(PastFor(entry));
  for (const int variant : TVariantChoice::VariantsFor(entry)) {
    if (!Blank(formats_.VariantText(variant))) return formats_.VariantText(variant);
  }
  const bool ownTemplate = row >= 0 && !Blank(formats_.Row(row).Template);
  if (!ownTemplate && entry.EventIndex >= TEventFormats::kFixedRows) {
    return formats_.VariantText(TEventFormats::kOtherDate);
  }
  static const std::string kNone;
  return row >= 0 ? formats_.Row(row).Template : kNone;
}

// What was missed on a known day is told in the past wording of its case. A
// date known only to its month or year fell on no day anybody recorded: it
// keeps its "this month" or "this year".
bool TEntryFormatter::ToldInThePast(const TOPObj& entry) {
  return entry.Missed && entry.Precision == TDatePrecision::Day;
}

// A user's own format speaks of the future; the past wordings stand in.
int TEntryFormatter::PastFor(const TOPObj& entry) {
  switch (entry.EventIndex) {
    case kBirth:
      if (entry.YearUnknown) {
        return entry.Dead ? TEventFormats::kPastBirthDeadYearUnknown : TEventFormats::kPastBirthYearUnknown;
      }
      return entry.Dead ? TEventFormats::kPastBirthDead : TEventFormats::kPastBirth;
    case kMarriage:
      return entry.YearUnknown ? TEventFormats::kPastMarriageYearUnknown : TEventFormats::kPastMarriage;
    case kDivorce:
      return entry.YearUnknown ? TEventFormats::kPastDivorceYearUnknown : TEventFormats::kPastDivorce;
    case kDeath:
      if (entry.YearUnknown) return TEventFormats::kPastDeathYearUnknown;
      return entry.Years == 1 ? TEventFormats::kPastDeathOneYear : TEventFormats::kPastDeath;
    case kAddedFixed:
      return entry.Years == 0 ? TEventFormats::kPastAddedFixedOwnDay : TEventFormats::kPastAddedFixed;
    case kAddedAnnual:
      return TEventFormats::kPastAddedAnnual;
    case kYahrzeit:
      return TEventFormats::kPastYahrzeit;
    default:
      return entry.YearUnknown ? TEventFormats::kPastOtherDateYearUnknown : TEventFormats::kPastOtherDate;
  }
}

// Yesterday, a day of the last week by its name, or a count of days.
int TEntryFormatter::PastWhenRow(int daysAgo) {
  if (daysAgo == 1) return TEventFormats::kPastYesterday;
  return daysAgo < 7 ? TEventFormats::kPastThisWeek : TEventFormats::kPastEarlier;
}

std::string TEntryFormatter::ExpandTemplate(const std::string& text, const TOPObj& entry, int& lastNumber) const {
  TExpansion expansion{lastNumber, true, false};
  return Expand(text, entry, expansion);
}

std::string TEntryFormatter::Expand(const std::string& text, const TOPObj& entry, TExpansion& expansion) const {
  std::string output;
  std::string rest = text;
  for (;;) {
    const std::size_t open = rest.find('<');
    // The ">" is looked for from the second character after the "<", so a
    // tag has at least one character: "<>" is no tag.
    const std::size_t searchFrom = open == std::string::npos ? rest.size() : std::min(open + 2, rest.size());
    const std::string window = LeftChars(rest.substr(searchFrom), kMaxPiece);
    const std::size_t closeInWindow = open == std::string::npos ? std::string::npos : window.find('>');
    if (closeInWindow == std::string::npos) return output + rest;
    const std::size_t close = searchFrom + closeInWindow;
    output += rest.substr(0, open);
    const std::string tag = rest.substr(open + 1, close - open - 1);
    rest = LeftChars(rest.substr(close + 1), kMaxPiece);
    // A calendar's sentence has no "when": "<relation>, <when>" must not
    // leave a comma hanging at its end.
    if ((tag == "relation" && entry.Relation.empty()) || (tag == "when" && !expansion.withWhen)) {
      DropEnclosingPunctuation(output, rest);
      continue;
    }
    output += ExpandTag(tag, entry, expansion);
  }
}

std::string TEntryFormatter::ExpandTag(const std::string& tag, const TOPObj& entry, TExpansion& expansion) const {
  int& lastNumber = expansion.lastNumber;
  if (tag == "dd") {
    lastNumber = DaysFromToday(entry);
    return std::to_string(lastNumber);
  }
  if (tag == "mm") {
    lastNumber = MonthsFromToday(entry);
    return std::to_string(lastNumber);
  }
  if (tag == "yy") {
    lastNumber = entry.Years;
    return std::to_string(lastNumber);
  }
  if (tag == "th") return OrdinalSuffix(lastNumber);
  if (tag == "name") {
    std::string code;
    if (formats_.IncludeCodes() && (entry.Kind == "P" || entry.Kind == "F")) {
      code = "[" + entry.Kind + std::to_string(entry.Code) + "] ";
    }
    return code + entry.Name;
  }
  if (tag == "material") return formats_.Material(entry.Years);
  if (tag == "event") return entry.EventName;
  if (tag == "relation") return entry.Relation;
  if (tag == "hebrew") return entry.HebrewDate;
  if (tag == "weekday") return EnglishDayName(DayOfWeek(entry.Date));
  if (tag == "ago") {
    expansion.lastNumber = -DaysFromToday(entry);
    return std::to_string(expansion.lastNumber);
  }
  if (tag == "when") {
    // A "when" text that names "<when>" itself would never end; inside one
    // the tag stands for nothing.
    if (!expansion.withWhen || expansion.insideWhen) return {};
    const std::string* when = WhenTextFor(entry);
    if (when == nullptr) return {};
    expansion.insideWhen = true;
    std::string expanded = Expand(*when, entry, expansion);
    expansion.insideWhen = false;
    return expanded;
  }
  return "<?" + tag + "?>";
}

// "<name>, <relation>, is" and "<name> (<relation>)" read "<name> is" and
// "<name>" when there is no relationship: the comma or bracket before the
// tag goes, and the matching one after it.
void TEntryFormatter::DropEnclosingPunctuation(std::string& output, std::string& rest) {
  const std::size_t last = output.find_last_not_of(' ');
  if (last == std::string::npos || (output[last] != ',' && output[last] != '(')) return;
  const char closing = output[last] == ',' ? ',' : ')';
  output.erase(last);
  if (!rest.empty() && rest[0] == closing) rest.erase(0, 1);
}

// Only what was missed is told in the past; an entry left in the list after
// its day has no "when" at all.
const std::string* TEntryFormatter::WhenTextFor(const TOPObj& entry) const {
  const int days = DaysFromToday(entry);
  if (days < 0 && ToldInThePast(entry)) return &formats_.PastText(PastWhenRow(-days));
  const int row = WhenRow(entry);
  return row < 0 ? nullptr : &formats_.WhenText(row);
}

int TEntryFormatter::WhenRow(const TOPObj& entry) const {
  switch (entry.Precision) {
    case TDatePrecision::Day: {
      const int days = DaysFromToday(entry);
      return days < 0 ? -1 : TEventFormats::kWhenToday + std::min(days, int{TEventFormats::kWhenOther});
    }
    case TDatePrecision::Month: {
      const int months = MonthsFromToday(entry);
      if (months < 0) return -1;
      return TEventFormats::kWhenThisMonth + std::min(months, 2);
    }
    case TDatePrecision::Year: {
      const int years = DecodeDate(entry.Date).year - clock_.today().year;
      if (years < 0) return -1;
      return years == 0 ? TEventFormats::kWhenThisYear : TEventFormats::kWhenNextYear;
    }
  }
  return -1;
}

int TEntryFormatter::DaysFromToday(const TOPObj& entry) const {
  return static_cast<int>(WholeDays(entry.Date) - WholeDays(DateTimeOf(clock_.now())));
}

int TEntryFormatter::MonthsFromToday(const TOPObj& entry) const {
  const CivilDate day = DecodeDate(entry.Date);
  const CivilDate today = clock_.today();
  return (day.year - today.year) * kMonthsInYear + (day.month - today.month);
}

std::string TEntryFormatter::OrdinalSuffix(int number) const {
  const std::string digits = std::to_string(std::llabs(static_cast<long long>(number)));
  const std::string& teen = formats_.Suffix(TEventFormats::kTeenSuffixRow);
  if (number > 10 && digits[digits.size() - 2] == '1' && !teen.empty()) return teen;
  return formats_.Suffix(digits.back() - '0');
}

}  // namespace mindrel
