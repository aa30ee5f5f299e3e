#include "gedcom/GedcomDate.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "dates/HebrewCalendar.h"
#include "gedcom/CalendarConversion.h"

namespace mindrel {

namespace {

enum class Calendar { Gregorian, Julian, Hebrew, French, Other };

constexpr int kMaxYear = 9999;

constexpr std::array<const char*, 12> kGregorianMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
// In the order TCalendarConversion counts them, from Nisan.
constexpr std::array<const char*, 13> kHebrewMonths = {"NSN", "IYR", "SVN", "TMZ", "AAV", "ELL", "TSH",
                                                       "CSH", "KSL", "TVT", "SHV", "ADR", "ADS"};
constexpr std::array<const char*, 13> kFrenchMonths = {"VEND", "BRUM", "FRIM", "NIVO", "PLUV", "VENT", "GERM",
                                                       "FLOR", "PRAI", "MESS", "THER", "FRUC", "COMP"};

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  return upper;
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    const std::size_t start = at;
    while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    if (at > start) words.emplace_back(text.substr(start, at - start));
  }
  return words;
}

// A run of at most `maxDigits` decimal digits.
std::optional<int> Number(const std::string& word, std::size_t maxDigits) {
  if (word.empty() || word.size() > maxDigits) return std::nullopt;
  int value = 0;
  for (const char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

template <std::size_t N>
std::optional<int> MonthNumber(const std::array<const char*, N>& names, const std::string& word) {
  for (std::size_t i = 0; i < N; ++i) {
    if (word == names[i]) return static_cast<int>(i) + 1;
  }
  return std::nullopt;
}

// A year of the written range, and whether it was written as a dual year.
struct TYear {
  int Year = 0;
  bool Dual = false;
};

// "1742/3", "1742/43" and "1742/1743" are the dual years of the Old Style,
// whose years began on 25 March: the days from 1 January to 24 March that
// were still 1742 by the old reckoning and already 1743 by the new. The year
// taken is the later one, the year in which the day falls when years begin in
// January. The later year must follow the first.
std::optional<TYear> ReadYear(const std::string& word) {
  const std::size_t slash = word.find('/');
  if (slash == std::string::npos) {
    const std::optional<int> year = Number(word, 4);
    if (!year) return std::nullopt;
    return TYear{*year, false};
  }
  const std::optional<int> first = Number(word.substr(0, slash), 4);
  const std::string tail = word.substr(slash + 1);
  const std::optional<int> later = Number(tail, 4);
  if (!first || !later) return std::nullopt;
  int scale = 1;
  for (std::size_t i = 0; i < tail.size(); ++i) scale *= 10;
  int year = *first - *first % scale + *later;
  if (year <= *first) year += scale;
  if (year != *first + 1) return std::nullopt;
  return TYear{year, true};
}

bool IsBcMark(const std::string& word) { return word == "B.C." || word == "BC" || word == "BCE" || word == "(B.C.)"; }

struct TPlainDate {
  std::int32_t JDay = 0;
  bool DayUnknown = false;
  bool MonthUnknown = false;
  std::optional<THebrewDate> Hebrew;  // the date as written, on that calendar
};

int GregorianMonthLength(int month, int year, bool ad) {
  const int astronomical = ad ? year : 1 - year;
  const bool leap = (astronomical % 4 == 0 && astronomical % 100 != 0) || astronomical % 400 == 0;
  return month == 2 && leap ? 29 : MonthTable[static_cast<std::size_t>(month - 1)].Days;
}

// A full date of the Julian calendar; `year` in its era.
std::optional<TPlainDate> JulianDay(const std::string& dayWord, const std::string& monthWord, int year, bool ad) {
  const std::optional<int> day = Number(dayWord, 2), month = MonthNumber(kGregorianMonths, monthWord);
  if (!day || !month || year < 1) return std::nullopt;
  const std::optional<std::int32_t> jday = TCalendarConversion::Julian(*day, *month, ad ? year : 1 - year);
  if (!jday) return std::nullopt;
  return TPlainDate{*jday, false, false, std::nullopt};
}

// The era mark at the end, if any, is taken off the words; false for BC.
bool TakeEra(std::vector<std::string>& words) {
  if (words.empty() || !IsBcMark(words.back())) return true;
  words.pop_back();
  return false;
}

// A dual year shows the Old Style, so its full dates are Julian dates of the
// later year, whatever calendar the value names. Its partial dates have no
// day to convert and keep their month and later year.
std::optional<TPlainDate> Gregorian(std::vector<std::string> words) {
  const bool ad = TakeEra(words);
  if (words.empty() || words.size() > 3) return std::nullopt;
  const std::optional<TYear> year = ReadYear(words.back());
  if (!year || (year->Dual && !ad) || year->Year < 1 || year->Year > kMaxYear) return std::nullopt;
  if (year->Dual && words.size() == 3) return JulianDay(words[0], words[1], year->Year, ad);
  TPlainDate date;
  int month = 1, day = 1;
  date.MonthUnknown = words.size() < 2;
  date.DayUnknown = words.size() < 3;
  if (words.size() >= 2) {
    const std::optional<int> number = MonthNumber(kGregorianMonths, words[words.size() - 2]);
    if (!number) return std::nullopt;
    month = *number;
  }
  if (words.size() == 3) {
    const std::optional<int> number = Number(words[0], 2);
    if (!number || *number < 1 || *number > GregorianMonthLength(month, year->Year, ad)) return std::nullopt;
    day = *number;
  }
  date.JDay = DMYToJDay(day, month, year->Year, ad);
  return date;
}

std::optional<TPlainDate> Julian(std::vector<std::string> words) {
  const bool ad = TakeEra(words);
  if (words.size() != 3) return std::nullopt;
  const std::optional<TYear> year = ReadYear(words[2]);
  if (!year || (year->Dual && !ad)) return std::nullopt;
  return JulianDay(words[0], words[1], year->Year, ad);
}

std::optional<TPlainDate> Hebrew(const std::vector<std::string>& words) {
  if (words.size() != 3) return std::nullopt;
  const std::optional<int> day = Number(words[0], 2), month = MonthNumber(kHebrewMonths, words[1]),
                           year = Number(words[2], 5);
  if (!day || !month || !year) return std::nullopt;
  const THebrewDate hebrew{*year, *month, *day};
  const std::optional<std::int32_t> jday = THebrewCalendar::ToJDay(hebrew);
  if (!jday) return std::nullopt;
  return TPlainDate{*jday, false, false, hebrew};
}

std::optional<TPlainDate> FrenchRepublican(const std::vector<std::string>& words) {
  if (words.size() != 3) return std::nullopt;
  const std::optional<int> day = Number(words[0], 2), month = MonthNumber(kFrenchMonths, words[1]),
                           year = Number(words[2], 5);
  if (!day || !month || !year) return std::nullopt;
  const std::optional<std::int32_t> jday = TCalendarConversion::FrenchRepublican(*day, *month, *year);
  if (!jday) return std::nullopt;
  return TPlainDate{*jday, false, false, std::nullopt};
}

// A calendar escape such as "@#DJULIAN@" at the start of `text`, removed.
Calendar TakeCalendar(std::string& text) {
  if (!text.starts_with("@#D")) return Calendar::Gregorian;
  const std::size_t close = text.find('@', 3);
  if (close == std::string::npos) return Calendar::Other;
  const std::string name = text.substr(3, close - 3);
  text.erase(0, close + 1);
  if (name == "GREGORIAN") return Calendar::Gregorian;
  if (name == "JULIAN") return Calendar::Julian;
  if (name == "HEBREW") return Calendar::Hebrew;
  if (name == "FRENCH R") return Calendar::French;
  return Calendar::Other;
}

std::optional<TPlainDate> CalendarDate(std::string text) {
  const Calendar calendar = TakeCalendar(text);
  const std::vector<std::string> words = Words(text);
  switch (calendar) {
    case Calendar::Gregorian:
      return Gregorian(words);
    case Calendar::Julian:
      return Julian(words);
    case Calendar::Hebrew:
      return Hebrew(words);
    case Calendar::French:
      return FrenchRepublican(words);
    case Calendar::Other:
      break;
  }
  return std::nullopt;
}

std::optional<TQualifier> Qualifier(const std::string& word) {
  if (word == "ABT") return qAbt;
  if (word == "CAL" || word == "EST") return qEst;
  if (word == "BEF") return qBef;
  if (word == "AFT") return qAft;
  return std::nullopt;
}

TJDate Phrase(std::string_view value) {
  TJDate date;
  ClearJDate(date);
  date.JDay = kPhraseJDay;
  const std::size_t first = value.find_first_not_of(" \t");
  // An empty phrase would read as a real date.
  date.SetPhrase(first == std::string_view::npos ? std::string("?") : std::string(value.substr(first)));
  return date;
}

}  // namespace

TGedcomDate TGedcomDate::Read(std::string_view value) {
  std::string text = Upper(value);
  const std::size_t first = text.find_first_not_of(" \t");
  text.erase(0, first);
  const std::size_t space = text.find(' ');
  const std::optional<TQualifier> qualifier = Qualifier(text.substr(0, space));
  if (qualifier) text.erase(0, space == std::string::npos ? text.size() : space + 1);
  const std::optional<TPlainDate> plain = CalendarDate(text);
  if (!plain) return {Phrase(value), std::nullopt};
  TJDate date;
  ClearJDate(date);
  date.Qualifier = qualifier.value_or(qNone);
  date.JDay = plain->JDay + (date.Qualifier == qAft ? 1 : date.Qualifier == qBef ? -1 : 0);
  date.DayUnknown = plain->DayUnknown;
  date.MonthUnknown = plain->MonthUnknown;
  date.YearUnknown = 0;
  return {date, plain->Hebrew};
}

}  // namespace mindrel
