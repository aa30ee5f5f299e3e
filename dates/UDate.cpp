#include "dates/UDate.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <vector>

namespace mindrel {

static_assert(sizeof(TJDate::Bytes) == 72, "the stored date record is 72 bytes");

namespace {

constexpr std::size_t kPhraseOffset = 4;
constexpr std::size_t kQualifierOffset = 65;
constexpr std::size_t kDayUnknownOffset = 66;
constexpr std::size_t kMonthUnknownOffset = 67;
constexpr std::size_t kYearUnknownOffset = 68;
static_assert(kPhraseOffset + 1 + kMaxPhraseLength == kQualifierOffset);
static_assert(kYearUnknownOffset + 1 + 3 == TJDate::kSize, "three bytes of padding end the record");

// Internal years count the astronomical year plus 12000: 12001 is AD 1.
constexpr int kInternalYearOfAd1 = 12001;
constexpr std::size_t kMaxTextLength = 60;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Trim(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

char UpperAscii(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool SameTextPrefix(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char a, char b) { return UpperAscii(a) == UpperAscii(b); });
}

bool SameTextSuffix(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<long>(suffix.size()),
                    [](char a, char b) { return UpperAscii(a) == UpperAscii(b); });
}

bool AllQuestionMarks(const std::string& part) {
  return !part.empty() && std::all_of(part.begin(), part.end(), [](char c) { return c == '?'; });
}

// Whole decimal number with an optional sign; false when anything else is there.
bool ParseWholeNumber(const std::string& part, int& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < part.size() && (part[i] == '+' || part[i] == '-')) negative = part[i++] == '-';
  if (i == part.size()) return false;
  std::int64_t number = 0;
  for (; i < part.size(); ++i) {
    if (part[i] < '0' || part[i] > '9') return false;
    number = number * 10 + (part[i] - '0');
    if (number > std::numeric_limits<std::int32_t>::max()) return false;
  }
  value = static_cast<int>(negative ? -number : number);
  return true;
}

// 1..12 for a month name's first three letters, -1 for none.
int MonthFromName(const std::string& part) {
  const std::string head = part.substr(0, 3);
  for (int m = 0; m < 12; ++m) {
    const std::string abbreviation = std::string(MonthTable[m].Name).substr(0, 3);
    if (head.size() == abbreviation.size() && SameTextPrefix(head, abbreviation)) return m + 1;
  }
  return -1;
}

enum class PartKind { Day, MonthNumber, MonthName, Year };

// The parts a text with 0, 1 or 2 separators holds, in text order.
bool PartLayout(int dateOrder, std::size_t separators, std::vector<PartKind>& layout) {
  using K = PartKind;
  if (dateOrder < 0 || dateOrder > 5) return false;
  const bool named = dateOrder % 2 == 1;
  const K month = named ? K::MonthName : K::MonthNumber;
  if (separators == 0) {
    layout = {K::Year};
  } else if (separators == 1) {
    layout = dateOrder >= 4 ? std::vector<K>{K::Year, month} : std::vector<K>{month, K::Year};
  } else if (dateOrder <= 1) {
    layout = {K::Day, month, K::Year};
  } else if (dateOrder <= 3) {
    layout = {month, K::Day, K::Year};
  } else {
    layout = {K::Year, month, K::Day};
  }
  return true;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

int MonthLength(int month, std::int64_t internalYear) {
  const int days = MonthTable[month - 1].Days;
  return month == 2 && IsLeapInternalYear(internalYear) ? days + 1 : days;
}

void ApplyQualifierOffset(TJDate& date) {
  if (date.Qualifier == qAft) ++date.JDay;
  if (date.Qualifier == qBef) --date.JDay;
}

struct ParsedParts {
  int day = 1, month = 1, year = 1;
};

// Reads the parts; false with the message when one does not convert.
bool ReadParts(TJDate& date, const std::vector<std::string>& parts,
               const std::vector<PartKind>& layout, ParsedParts& out, std::string& message) {
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const std::string& part = parts[i];
    const PartKind kind = layout[i];
    if (kind != PartKind::Year && AllQuestionMarks(part)) continue;
    bool converted = true;
    switch (kind) {
      case PartKind::Day:
        converted = ParseWholeNumber(part, out.day);
        date.DayUnknown = 0;
        break;
      case PartKind::MonthNumber:
        converted = ParseWholeNumber(part, out.month);
        date.MonthUnknown = 0;
        break;
      case PartKind::MonthName:
        if (part.empty()) {
          converted = false;
        } else {
          out.month = MonthFromName(part);
          date.MonthUnknown = 0;
        }
        break;
      case PartKind::Year:
        converted = ParseWholeNumber(part, out.year);
        date.YearUnknown = 0;
        break;
    }
    if (!converted) {
      message = "Invalid date";
      return false;
    }
  }
  return true;
}

bool SeparatorsMisplaced(const std::string& text, char separator, std::size_t count) {
  if (text.front() == separator) return true;
  if (text.find(std::string(2, separator)) != std::string::npos) return true;
  return count == 2 && text.back() == separator;
}

// Removes a trailing era and reports it; AD when there is none.
bool TakeEra(std::string& text) {
  struct Era {
    const char* suffix;
    std::size_t longerThan;
    bool ad;
  };
  static constexpr Era kEras[] = {{"BC", 2, false}, {"B.C.", 4, false}, {"AD", 2, true}, {"A.D.", 4, true}};
  for (const Era& era : kEras) {
    if (text.size() > era.longerThan && SameTextSuffix(text, era.suffix)) {
      text = Trim(text.substr(0, text.size() - std::strlen(era.suffix)));
      return era.ad;
    }
  }
  return true;
}

}  // namespace

const std::array<TMonthEntry, 12> MonthTable = {{{31, "January"},
                                                 {28, "February"},
                                                 {31, "March"},
                                                 {30, "April"},
                                                 {31, "May"},
                                                 {30, "June"},
                                                 {31, "July"},
                                                 {31, "August"},
                                                 {30, "September"},
                                                 {31, "October"},
                                                 {30, "November"},
                                                 {31, "December"}}};

const std::array<const char*, 5> QualifierPrefixes = {"ABT", "AFT", "BEF", "EST", ""};

void TJDate::SetPhrase(const std::string& text) {
  PhraseChars.fill(0);
  PhraseLength = static_cast<std::uint8_t>(std::min<std::size_t>(text.size(), kMaxPhraseLength));
  std::memcpy(PhraseChars.data(), text.data(), PhraseLength);
}

TJDate::Bytes TJDate::ToBytes() const {
  Bytes bytes{};
  const auto day = static_cast<std::uint32_t>(JDay);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(day >> (8 * i));
  bytes[kPhraseOffset] = PhraseLength;
  std::memcpy(&bytes[kPhraseOffset + 1], PhraseChars.data(), kMaxPhraseLength);
  bytes[kQualifierOffset] = Qualifier;
  bytes[kDayUnknownOffset] = DayUnknown;
  bytes[kMonthUnknownOffset] = MonthUnknown;
  bytes[kYearUnknownOffset] = YearUnknown;
  return bytes;
}

TJDate TJDate::FromBytes(const std::uint8_t* bytes) {
  TJDate date;
  std::uint32_t day = 0;
  for (int i = 0; i < 4; ++i) day |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  date.JDay = static_cast<std::int32_t>(day);
  // A length byte beyond the field's width cannot come from a sound writer;
  // clamping keeps the record's characters inside its own bytes.
  date.PhraseLength = std::min<std::uint8_t>(bytes[kPhraseOffset], kMaxPhraseLength);
  std::memcpy(date.PhraseChars.data(), &bytes[kPhraseOffset + 1], kMaxPhraseLength);
  date.Qualifier = bytes[kQualifierOffset];
  date.DayUnknown = bytes[kDayUnknownOffset];
  date.MonthUnknown = bytes[kMonthUnknownOffset];
  date.YearUnknown = bytes[kYearUnknownOffset];
  return date;
}

int DaysInMonth(int month, int year, bool ad) {
  return MonthLength(month, ad ? std::int64_t{12000} + year : std::int64_t{kInternalYearOfAd1} - year);
}

bool IsLeapInternalYear(std::int64_t internalYear) {
  return (internalYear % 4 == 0 && internalYear % 100 != 0) || internalYear % 400 == 0;
}

void ClearJDate(TJDate& date) {
  date.Qualifier = qNone;
  date.PhraseLength = 0;
  date.DayUnknown = 1;
  date.MonthUnknown = 1;
  date.YearUnknown = 1;
}

std::int32_t DMYToJDay(int day, int month, int year, bool ad) {
  const int m = ((month + 9) % 12) + 1;  // March is 1, February 12
  const int carry = m / 11;              // January and February count to the year before
  const int y = ad ? 12000 + year - carry : 12001 - year - carry;
  const int j = (y * 1461) / 4 + (m * 153 + 144) / 5 + day - 365;
  return j + (y / 400 - y / 100) + 92;
}

void TodayJDate(TJDate& date, const Clock& clock) {
  const CivilDate today = clock.today();
  const std::string text = std::to_string(today.day) + " " +
                           std::string(MonthTable[today.month - 1].Name).substr(0, 3) + " " +
                           std::to_string(today.year);
  std::string message;
  date = TJDate{};
  StrToJDate(date, text, message, TDateOptions{1, ' '}, false);
}

bool StrToJDate(TJDate& date, const std::string& input, std::string& message,
                const TDateOptions& options, bool required) {
  std::string text = Trim(input.substr(0, kMaxTextLength));
  ParsedParts parts;
  bool ad = true;
  date.DayUnknown = date.MonthUnknown = date.YearUnknown = 1;

  if (text.empty()) {
    date.PhraseLength = 0;
    if (required) {
      message = "Date entry required";
      return false;
    }
    date.JDay = DMYToJDay(parts.day, parts.month, parts.year, ad);
    ApplyQualifierOffset(date);
    return true;
  }

  if (text.front() == '\'') {
    if (text.size() == 1) {
      message = "Date phrase empty";
      return false;
    }
    date.SetPhrase(text.substr(1));
    date.JDay = kPhraseJDay;
    return true;
  }

  date.Qualifier = qNone;
  for (std::uint8_t q = qAbt; q <= qEst; ++q) {
    if (SameTextPrefix(text, QualifierPrefixes[q])) {
      date.Qualifier = q;
      text = Trim(text.substr(std::strlen(QualifierPrefixes[q])));
      break;
    }
  }

  ad = TakeEra(text);
  if (text.empty()) {
    message = "Invalid date";
    return false;
  }

  const auto separatorCount = static_cast<std::size_t>(std::count(text.begin(), text.end(), options.Separator));
  if (separatorCount > 2) {
    message = std::string("Too many \"") + options.Separator + "\" separators";
    return false;
  }
  if (separatorCount > 0 && SeparatorsMisplaced(text, options.Separator, separatorCount)) {
    message = "Nothing between separators";
    return false;
  }

  std::vector<PartKind> layout;
  if (!PartLayout(options.DateOrder, separatorCount, layout)) {
    message = "Date format invalid";
    return false;
  }
  if (!ReadParts(date, SplitAt(text, options.Separator), layout, parts, message)) return false;

  if (parts.year < 1 || parts.year > 9999) {
    message = "Year invalid";
    return false;
  }
  if (parts.month < 1 || parts.month > 12) {
    message = "Month invalid";
    return false;
  }
  if (parts.day < 1 || parts.day > 31) {
    message = "Day invalid";
    return false;
  }
  date.PhraseLength = 0;
  message.clear();

  date.JDay = DMYToJDay(parts.day, parts.month, parts.year, ad);
  const int internalYear = ad ? 12000 + parts.year : kInternalYearOfAd1 - parts.year;
  if (parts.day > MonthLength(parts.month, internalYear)) {
    message = "Day invalid";
    return false;
  }
  ApplyQualifierOffset(date);
  return true;
}

bool JDateToDMY(const TJDate& date, TDayMonthYear& result) {
  if (date.PhraseLength != 0) return false;
  // 64-bit so that any stored day number, sound or not, decodes without overflow.
  std::int64_t n = date.JDay;
  if (date.Qualifier == qAft) --n;
  if (date.Qualifier == qBef) ++n;

  std::int64_t r = n - 93;
  const std::int64_t q = r / 146097;
  r -= q * 146097;
  const std::int64_t c = std::min<std::int64_t>((r + 305) / 36524, 3);
  const std::int64_t t = (r + 306) / 1461;
  const std::int64_t e = c + r - t;
  const std::int64_t y = e / 365;
  const std::int64_t dayOfYear = r + 1 - ((y * 1461) / 4 - y / 100 + y / 400);
  const std::int64_t internalYear = y + 400 * q + 1;
  const bool leap = IsLeapInternalYear(internalYear);

  const std::int64_t k = dayOfYear <= (leap ? 60 : 59) ? dayOfYear + 428 : dayOfYear + (leap ? 62 : 63);
  const std::int64_t mm = (k * 100) / 3061;

  result.Ad = internalYear > 12000;
  result.Year = static_cast<int>(result.Ad ? internalYear - 12000 : kInternalYearOfAd1 - internalYear);
  result.Month = static_cast<int>(((mm - 2) % 12) + 1);
  result.Day = static_cast<int>(k - (mm * 153) / 5);
  return true;
}

}  // namespace mindrel
