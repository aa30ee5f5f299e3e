#include "tools/mktree/TreeDate.h"

namespace mindrel {

std::optional<TTreeDate> TTreeDate::FromText(const std::string& text) {
  TTreeDate date;
  std::string message;
  if (!StrToJDate(date.Record, text, message, TDateOptions{1, ' '}, true)) return std::nullopt;
  date.Display = date.Record.PhraseLength > 0 ? date.Record.Phrase() : text;
  return date;
}

TTreeDate TTreeDate::WithoutYear(int day, int month) {
  TTreeDate date;
  ClearJDate(date.Record);
  date.Record.JDay = DMYToJDay(day, month, 1, true);
  date.Record.DayUnknown = 0;
  date.Record.MonthUnknown = 0;
  date.Display = std::to_string(day) + " " + MonthAbbreviation(month);
  return date;
}

std::optional<TDayMonthYear> TTreeDate::Decoded() const {
  TDayMonthYear dmy;
  if (!JDateToDMY(Record, dmy)) return std::nullopt;
  return dmy;
}

bool TTreeDate::HasDayAndMonth() const {
  return Record.PhraseLength == 0 && Record.DayUnknown == 0 && Record.MonthUnknown == 0;
}

std::string WrittenYear(int astronomicalYear) {
  return astronomicalYear > 0 ? std::to_string(astronomicalYear)
                              : std::to_string(1 - astronomicalYear) + " BC";
}

std::string WrittenDate(int day, int month, int astronomicalYear) {
  return std::to_string(day) + " " + MonthAbbreviation(month) + " " + WrittenYear(astronomicalYear);
}

std::string MonthAbbreviation(int month) {
  return std::string(MonthTable[static_cast<size_t>(month - 1)].Name, 3);
}

}  // namespace mindrel
