#include "formats/EntryFormatter.h"

#include <algorithm>
#include <cstdlib>

#include "formats/DateTime.h"
#include "formats/Utf8Text.h"

namespace mindrel {

namespace {

// Limits of the texts the expansion works on, in characters.
constexpr std::size_t kMaxPiece = 255;
constexpr std::size_t kMaxSentenceTail = 255;

}  // namespace

std::string TEntryFormatter::FormatEntry(const TOPObj& entry, bool sample,
                                         const std::vector<std::string>& eventItems) const {
  const int row = FindRow(entry, sample, eventItems);
  TOPObj named = entry;
  if (named.EventName.empty()) named.EventName = EventNameOf(entry, row, eventItems);
  int lastNumber = 0;
  const std::string sentence = ExpandTemplate(TemplateFor(named, row), named, lastNumber);
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

const std::string& TEntryFormatter::TemplateFor(const TOPObj& entry, int row) const {
  if (entry.Missed) return formats_.PastText(PastFor(entry));
  const int variant = VariantFor(entry);
  if (variant >= 0) return formats_.VariantText(variant);
  // A date column without a format of its own (or one left empty) still
  // deserves a sentence that says what it is.
  if (row < 0 || Trim(formats_.Row(row).Template).empty()) return formats_.VariantText(TEventFormats::kOtherDate);
  return formats_.Row(row).Template;
}

int TEntryFormatter::VariantFor(const TOPObj& entry) {
  switch (entry.EventIndex) {
    case kBirth:
      if (entry.YearUnknown) return entry.Dead ? TEventFormats::kBirthDeadYearUnknown : TEventFormats::kBirthYearUnknown;
      if (entry.Dead) return TEventFormats::kBirthDead;
      return entry.Years == 1 ? TEventFormats::kBirthOneYear : -1;
    case kMarriage:
      return entry.YearUnknown ? TEventFormats::kMarriageYearUnknown : -1;
    case kDivorce:
      return entry.YearUnknown ? TEventFormats::kDivorceYearUnknown : -1;
    case kDeath:
      if (entry.YearUnknown) return TEventFormats::kDeathYearUnknown;
      return entry.Years == 1 ? TEventFormats::kDeathOneYear : -1;
    case kAddedFixed:
      return entry.Years == 0 ? TEventFormats::kAddedFixedOwnDay : -1;
    case kAddedAnnual:
    case kYahrzeit:
      return -1;
    default:
      return entry.YearUnknown ? TEventFormats::kOtherDateYearUnknown : -1;
  }
}

// A user's own format speaks of the future; what was missed is told in the
// past wording of its case.
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
  return Expand(text, entry, lastNumber, false);
}

std::string TEntryFormatter::Expand(const std::string& text, const TOPObj& entry, int& lastNumber,
                                    bool insideWhen) const {
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
    output += ExpandTag(tag, entry, lastNumber, insideWhen);
  }
}

std::string TEntryFormatter::ExpandTag(const std::string& tag, const TOPObj& entry, int& lastNumber,
                                       bool insideWhen) const {
  if (tag == "dd") {
    lastNumber = DaysFromToday(entry);
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
  if (tag == "hebrew") return entry.HebrewDate;
  if (tag == "weekday") return EnglishDayName(DayOfWeek(entry.Date));
  if (tag == "ago") {
    lastNumber = -DaysFromToday(entry);
    return std::to_string(lastNumber);
  }
  if (tag == "when") {
    // A "when" text that names "<when>" itself would never end; inside one
    // the tag stands for nothing.
    const int days = DaysFromToday(entry);
    if (insideWhen) return {};
    // Only what was missed is told in the past; an entry left in the list
    // after its day has no "when" at all.
    if (days < 0 && entry.Missed) return Expand(formats_.PastText(PastWhenRow(-days)), entry, lastNumber, true);
    if (days < 0) return {};
    return Expand(formats_.WhenText(std::min(days, TEventFormats::kWhenRows - 1)), entry, lastNumber, true);
  }
  return "<?" + tag + "?>";
}

int TEntryFormatter::DaysFromToday(const TOPObj& entry) const {
  return static_cast<int>(WholeDays(entry.Date) - WholeDays(DateTimeOf(clock_.now())));
}

std::string TEntryFormatter::OrdinalSuffix(int number) const {
  const std::string digits = std::to_string(std::llabs(static_cast<long long>(number)));
  const std::string& teen = formats_.Suffix(TEventFormats::kTeenSuffixRow);
  if (number > 10 && digits[digits.size() - 2] == '1' && !teen.empty()) return teen;
  return formats_.Suffix(digits.back() - '0');
}

}  // namespace mindrel
