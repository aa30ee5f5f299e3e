#include "app/DatasetScanSources.h"

#include <algorithm>
#include <array>

#include "engine/components/DatabaseError.h"
#include "engine/components/KeelConsistentRead.h"
#include "engine/components/KeelField.h"
#include "formats/Utf8Text.h"

namespace mindrel {

namespace {

constexpr const char* kPartnerLink = "P";

}  // namespace

std::string TDatasetRecord::StringField(const std::string& name) const {
  const keel::TKeelField* field = dataSet_.FindField(name);
  return field == nullptr || field->IsNull() ? std::string() : field->AsString();
}

bool TDatasetRecord::DateRecord(const std::string& column, TJDate& date) const {
  std::array<std::uint8_t, TJDate::kSize> bytes{};
  const keel::TKeelField& field = dataSet_.FieldByName(column);
  // A column narrower than a date record cannot hold one.
  if (field.DataSize() < bytes.size() || !field.GetData(bytes)) return false;
  date = TJDate::FromBytes(bytes.data());
  return true;
}

std::int32_t TDatasetRecord::IntegerField(const std::string& name) const {
  const keel::TKeelField& field = dataSet_.FieldByName(name);
  return field.IsNull() ? 0 : static_cast<std::int32_t>(field.AsInteger());
}

bool TDatasetRecord::BooleanField(const std::string& name) const {
  const keel::TKeelField& field = dataSet_.FieldByName(name);
  return !field.IsNull() && field.AsBoolean();
}

void TDatasetQuery::Open(const std::string& folder, const TEventQuery& query) {
  query_.Close();
  query_.SetDatabaseName(folder);
  query_.SetSQL(query.SqlLines);
  query_.Open();
}

void TFamilyTreeDatasets::Open(const std::string& folder) {
  for (keel::TKeelTable* table : {&people_, &families_, &links_}) {
    table->Close();
    table->SetDatabaseName(folder);
  }
  people_.Open();
  // Read through the queries, and kept open for the whole scan of the folder
  // so that its reading can be checked as one state. Without it only the
  // family queries fail.
  if (families_.Exists()) families_.Open();
  links_.SetIndexName(kPartnerIndex);
  links_.Open();
  deadByCode_.clear();
  peopleByCode_ = PeopleIndexedByCode();
  if (!peopleByCode_) ReadDeadByCode();
}

bool TFamilyTreeDatasets::PeopleIndexedByCode() {
  try {
    people_.EnterKeyMode();
    people_.FieldByName("Code").SetAsInteger(0);
    people_.Cancel();
    return true;
  } catch (const keel::EDatabaseError&) {
    people_.Cancel();
    return false;
  }
}

void TFamilyTreeDatasets::ReadDeadByCode() {
  for (people_.First(); !people_.Eof(); people_.Next()) {
    deadByCode_[static_cast<std::int32_t>(people_.FieldByName("Code").AsInteger())] =
        people_.FieldByName("Dead").AsBoolean();
  }
}

// A null "Dead" reads as not dead.
bool TFamilyTreeDatasets::PersonLiving(std::int32_t code) {
  if (!peopleByCode_) {
    const auto found = deadByCode_.find(code);
    return found != deadByCode_.end() && !found->second;
  }
  people_.EnterKeyMode();
  people_.FieldByName("Code").SetAsInteger(code);
  return people_.SearchKey() && !people_.FieldByName("Dead").AsBoolean();
}

bool TFamilyTreeDatasets::PeopleHasColumn(const std::string& name) { return people_.FindField(name) != nullptr; }

bool TFamilyTreeDatasets::FamiliesHasColumn(const std::string& name) {
  families_.RefreshDefs();
  const auto& defs = families_.FieldDefs();
  return std::any_of(defs.begin(), defs.end(), [&](const keel::TKeelFieldDef& def) { return SameText(def.Name, name); });
}

bool TFamilyTreeDatasets::FirstPartnerLink(keel::TKeelTable& links, std::int32_t familyCode) {
  links.EnterKeyMode();
  links.FieldByName("RecType").SetAsString(kPartnerLink);
  links.FieldByName("ChildMarr").SetAsInteger(familyCode);
  return links.SearchKey();
}

bool TFamilyTreeDatasets::OnPartnerLink(const keel::TKeelTable& links, std::int32_t familyCode) {
  return !links.Eof() && links.FieldByName("RecType").AsString() == kPartnerLink &&
         links.FieldByName("ChildMarr").AsInteger() == familyCode;
}

bool TFamilyTreeDatasets::HasLivingPartner(std::int32_t familyCode) {
  if (!FirstPartnerLink(links_, familyCode)) return false;
  for (; OnPartnerLink(links_, familyCode); links_.Next()) {
    if (PersonLiving(static_cast<std::int32_t>(links_.FieldByName("PersFam").AsInteger()))) return true;
  }
  return false;
}

void TFamilyTreeDatasets::BeginLookups() {
  lookupReads_.clear();
  for (keel::TKeelTable* table : {&people_, &links_}) {
    lookupReads_.push_back(std::make_unique<keel::TKeelReadBatch>(*table));
  }
}

void TFamilyTreeDatasets::NextLookupRow() {
  for (const auto& reads : lookupReads_) reads->Step();
}

void TFamilyTreeDatasets::EndLookups() { lookupReads_.clear(); }

void TFamilyTreeDatasets::ReadAsOneState(const std::function<void()>& read) {
  std::vector<keel::TKeelDataSet*> open;
  for (keel::TKeelTable* table : {&people_, &families_, &links_}) {
    if (table->Active()) open.push_back(table);
  }
  keel::TKeelConsistentRead(std::move(open)).Run(read);
}

void TFamilyTreeDatasets::Close() {
  lookupReads_.clear();
  people_.Close();
  families_.Close();
  links_.Close();
}

std::string TIgnoreTable::SelectPrimaryIndex() {
  std::string previous = ignore_.IndexName();
  ignore_.SetIndexName("");
  return previous;
}

bool TIgnoreTable::PersonIgnored(std::int32_t code, const std::string& folder, const std::string& eventName) {
  ignore_.EnterKeyMode();
  ignore_.FieldByName("DBFolder").SetAsString(folder);
  ignore_.FieldByName("Code").SetAsInteger(code);
  if (!ignore_.SearchKey()) return false;
  if (ignore_.FieldByName("AllEvents").AsBoolean()) return true;
  return ignore_.FieldByName("Events").AsString().find(LowerCase(eventName)) != std::string::npos;
}

bool TIgnoreTable::IsIgnored(bool family, std::int32_t code, const std::string& folder,
                             const std::string& eventName) {
  // Most users ignore nobody: a family's partners need not be looked up then.
  if (ignore_.RecordCount() == 0) return false;
  if (!family) return PersonIgnored(code, folder, eventName);
  if (!TFamilyTreeDatasets::FirstPartnerLink(links_, code)) return false;
  for (; TFamilyTreeDatasets::OnPartnerLink(links_, code); links_.Next()) {
    if (PersonIgnored(static_cast<std::int32_t>(links_.FieldByName("PersFam").AsInteger()), folder, eventName)) {
      return true;
    }
  }
  return false;
}

}  // namespace mindrel
