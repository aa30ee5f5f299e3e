#pragma once

// Fills one new row of a cursor's table by column name, converting the tree
// maker's UTF-8 texts and dates to their stored forms, then appends it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/DataCursor.h"
#include "tools/mktree/TreeDate.h"

namespace mindrel {

class TRowBuilder {
 public:
  explicit TRowBuilder(keel::TDataCursor& cursor) : cursor_(cursor), row_(cursor.newRow()) {}

  // An empty text is stored as NULL, as the engine stores blank strings.
  TRowBuilder& Text(const std::string& column, const std::string& utf8);
  TRowBuilder& Integer(const std::string& column, std::int32_t value);
  // Nothing: NULL.
  TRowBuilder& Boolean(const std::string& column, std::optional<bool> value);
  // "YYYY-MM-DD".
  TRowBuilder& CalendarDate(const std::string& column, const std::string& isoDate);
  // The columns D~B, D~J and D~D of date D; all NULL without a date.
  TRowBuilder& DateTriple(const std::string& date, const std::optional<TTreeDate>& value);
  // The calendar-date column of a custom date: set for a full date after
  // Christ, NULL otherwise (the column's type has no other form).
  TRowBuilder& CustomCalendarDate(const std::string& date, const std::optional<TTreeDate>& value);

  void Append();

 private:
  const keel::FieldDescriptor& Field(const std::string& column) const { return cursor_.field(column); }
  // `storedText`: the value in the field's text form, strings already in Windows-1252.
  void SetText(const std::string& column, const std::string& storedText);

  keel::TDataCursor& cursor_;
  std::vector<std::uint8_t> row_;
};

}  // namespace mindrel
