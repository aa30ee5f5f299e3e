#include "tools/mktree/RowBuilder.h"

#include <cstdio>
#include <stdexcept>

#include "engine/core/FieldCodec.h"
#include "engine/core/TextCase.h"

namespace mindrel {

void TRowBuilder::SetText(const std::string& column, const std::string& storedText) {
  const keel::FieldDescriptor& field = Field(column);
  const std::optional<std::vector<std::uint8_t>> stored = keel::ParseFieldText(field, storedText);
  if (!stored) throw std::logic_error(column + ": unfit value " + storedText);
  keel::SetFieldValue(row_, field, *stored, cursor_.table().locale());
}

TRowBuilder& TRowBuilder::Text(const std::string& column, const std::string& utf8) {
  if (utf8.empty())
    keel::SetFieldNull(row_, Field(column));
  else
    SetText(column, keel::Utf8ToAnsi(utf8));
  return *this;
}

TRowBuilder& TRowBuilder::Integer(const std::string& column, std::int32_t value) {
  SetText(column, std::to_string(value));
  return *this;
}

TRowBuilder& TRowBuilder::Boolean(const std::string& column, std::optional<bool> value) {
  if (value)
    SetText(column, *value ? "TRUE" : "FALSE");
  else
    keel::SetFieldNull(row_, Field(column));
  return *this;
}

TRowBuilder& TRowBuilder::CalendarDate(const std::string& column, const std::string& isoDate) {
  SetText(column, isoDate);
  return *this;
}

TRowBuilder& TRowBuilder::DateTriple(const std::string& date, const std::optional<TTreeDate>& value) {
  if (!value) {
    for (const char* suffix : {"~B", "~J", "~D"}) keel::SetFieldNull(row_, Field(date + suffix));
    return *this;
  }
  const TJDate::Bytes record = value->Record.ToBytes();
  keel::SetFieldValue(row_, Field(date + "~B"), record, cursor_.table().locale());
  Integer(date + "~J", value->Record.JDay);
  return Text(date + "~D", value->Display);
}

TRowBuilder& TRowBuilder::CustomCalendarDate(const std::string& date, const std::optional<TTreeDate>& value) {
  std::optional<TDayMonthYear> dmy;
  if (value && value->IsFullDate()) dmy = value->Decoded();
  if (!dmy || !dmy->Ad) {
    keel::SetFieldNull(row_, Field(date));
    return *this;
  }
  char iso[16];
  std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", dmy->Year, dmy->Month, dmy->Day);
  return CalendarDate(date, iso);
}

void TRowBuilder::Append() {
  cursor_.append(row_);
  row_ = cursor_.newRow();
}

}  // namespace mindrel
