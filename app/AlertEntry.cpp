#include "app/AlertEntry.h"

#include "formats/Utf8Text.h"

namespace mindrel {

namespace {
constexpr std::size_t kSearchStrDigits = 10;
constexpr std::size_t kMaxFirstNames = 255;
}  // namespace

std::string JDayToSearchStr(std::int32_t jday) {
  const bool negative = jday < 0;
  std::string digits = std::to_string(negative ? -static_cast<std::int64_t>(jday) : jday);
  if (digits.size() < kSearchStrDigits) digits.insert(0, kSearchStrDigits - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

TDateTime JDateToDateTime(const TJDate& date) {
  if (date.PhraseLength != 0 || date.DayUnknown || date.MonthUnknown || date.YearUnknown) return 0;
  TDayMonthYear dmy;
  if (!JDateToDMY(date, dmy)) return 0;
  return EncodeDate(dmy.Year, dmy.Month, dmy.Day);
}

std::string ReorderName(const std::string& stored) {
  const std::string name = Trim(stored);
  const std::size_t comma = name.find(',');
  if (comma == std::string::npos) return name;
  const std::string surname = Trim(name.substr(0, comma));
  const std::string firstNames = Trim(LeftChars(name.substr(comma + 1), kMaxFirstNames));
  if (comma == 0) return firstNames;
  if (comma == name.size() - 1) return surname;
  return Trim(firstNames + " " + surname);
}

std::string BuildEntryName(const std::string& kind, std::int32_t code, const TEntrySource& source,
                           const std::string& marriageIndicator) {
  if (kind == "P") {
    // Without first names or surname the name keeps no blank at its edge,
    // which would show before a possessive ("Hugo 's birthday").
    const std::string name = Trim(source.StringField("FirstNames") + " " + source.StringField("Surname"));
    return name.empty() ? "[P" + std::to_string(code) + "] no name" : name;
  }
  if (kind == "F") {
    const std::string father = ReorderName(source.StringField("Fathers name"));
    const std::string mother = ReorderName(source.StringField("Mothers name"));
    if (father.empty() && mother.empty()) return "[F" + std::to_string(code) + " no names]";
    // A couple with one partner on record is named by that partner alone,
    // without a marriage indicator pointing at nobody.
    if (father.empty() || mother.empty()) return father + mother;
    return father + " " + marriageIndicator + " " + mother;
  }
  return source.StringField("Description");
}

}  // namespace mindrel
