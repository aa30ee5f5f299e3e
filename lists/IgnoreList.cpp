#include "lists/IgnoreList.h"

#include <array>
#include <type_traits>

#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"
#include "formats/Utf8Text.h"

namespace mindrel {

namespace {

constexpr std::array<const char*, TIgnoreList::kSectionCount> kSectionIndexes = {
    "", "SurnameIdx", "FirstnamesIdx", "BirthDateIdx", "BirthPlaceIdx"};

// A value of the person; NULL, or a column the tree lacks, gives none.
std::optional<std::int64_t> IntegerOf(const keel::TKeelDataSet& people, const std::string& name) {
  const keel::TKeelField* field = people.FindField(name);
  if (field == nullptr || field->IsNull()) return std::nullopt;
  return field->AsInteger();
}

std::optional<std::string> TextOf(const keel::TKeelDataSet& people, const std::string& name) {
  const keel::TKeelField* field = people.FindField(name);
  if (field == nullptr || field->IsNull()) return std::nullopt;
  return field->AsString();
}

template <typename T>
void SetOrClear(keel::TKeelField& field, const std::optional<T>& value) {
  if (!value) field.Clear();
  else if constexpr (std::is_same_v<T, std::string>) field.SetAsString(*value);
  else field.SetAsInteger(*value);
}

}  // namespace

std::string TIgnoreList::DBCode(const std::string& folder, std::int32_t code) {
  // Folders may come with either separator; a trailing one leaves the
  // component empty.
  const auto separator = folder.find_last_of("\\/");
  const std::string last = separator == std::string::npos ? folder : folder.substr(separator + 1);
  return last + " [P" + std::to_string(code) + "]";
}

TIgnoreList::TPerson TIgnoreList::PersonOf(const keel::TKeelDataSet& people) {
  TPerson person;
  person.Code = static_cast<std::int32_t>(people.FieldByName("Code").AsInteger());
  person.Firstnames = TextOf(people, "Firstnames");
  person.Surname = TextOf(people, "Surname");
  person.BirthDay = IntegerOf(people, "Search date~J");
  person.BirthText = TextOf(people, "Search date~D");
  person.BirthPlace = TextOf(people, "Search place");
  return person;
}

void TIgnoreList::IgnorePerson(const TPerson& person, const std::string& folder, const std::string& eventName,
                               bool all) {
  const std::int32_t code = person.Code;
  table_.EnterKeyMode();
  table_.FieldByName("DBFolder").SetAsString(folder);
  table_.FieldByName("Code").SetAsInteger(code);
  if (table_.SearchKey()) {
    table_.Edit();
  } else {
    table_.Insert();
    table_.FieldByName("Code").SetAsInteger(code);
    table_.FieldByName("DBFolder").SetAsString(folder);
    table_.FieldByName("DBCode").SetAsString(DBCode(folder, code));
    SetOrClear(table_.FieldByName("Firstnames"), person.Firstnames);
    SetOrClear(table_.FieldByName("Surname"), person.Surname);
    SetOrClear(table_.FieldByName("Birth date"), person.BirthDay);
    SetOrClear(table_.FieldByName("Birth dateD"), person.BirthText);
    SetOrClear(table_.FieldByName("Birth place"), person.BirthPlace);
    table_.FieldByName("AllEvents").SetAsBoolean(false);
  }
  keel::TKeelField& events = table_.FieldByName("Events");
  if (all) {
    table_.FieldByName("AllEvents").SetAsBoolean(true);
  } else if (!table_.FieldByName("AllEvents").AsBoolean()) {
    const std::string name = LowerCase(eventName);
    if (events.AsString().find(name) == std::string::npos) {
      events.SetAsString(events.IsNull() ? name : events.AsString() + ";" + name);
    }
  }
  table_.Post();
}

bool TIgnoreList::HasRecords() const { return table_.Active() && !table_.IsEmpty(); }

std::string TIgnoreList::EventsText() const {
  if (!HasRecords()) return {};
  if (table_.FieldByName("AllEvents").AsBoolean()) return "ALL EVENTS";
  return table_.FieldByName("Events").AsString();
}

bool TIgnoreList::CanIgnoreAll() const { return HasRecords() && !table_.FieldByName("AllEvents").AsBoolean(); }

void TIgnoreList::IgnoreAllEvents() {
  // On an empty table Edit would insert a blank record.
  if (!HasRecords()) return;
  if (table_.State() == keel::TDataSetState::dsBrowse) table_.Edit();
  table_.FieldByName("Events").Clear();
  table_.FieldByName("AllEvents").SetAsBoolean(true);
  table_.Post();
}

void TIgnoreList::Reinstate() { table_.Delete(); }

void TIgnoreList::ReinstateAll() {
  table_.DisableControls();
  try {
    while (!table_.IsEmpty()) table_.Delete();
  } catch (...) {
    table_.EnableControls();
    throw;
  }
  table_.EnableControls();
}

void TIgnoreList::SelectOrder(int section) {
  if (section < 0 || section >= kSectionCount) return;
  table_.SetIndexName(kSectionIndexes[static_cast<std::size_t>(section)]);
}

int TIgnoreList::BoldSection() const {
  for (int section = 1; section < kSectionCount; ++section) {
    if (SameText(table_.IndexName(), kSectionIndexes[static_cast<std::size_t>(section)])) return section;
  }
  return 0;
}

}  // namespace mindrel
