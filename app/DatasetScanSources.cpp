#include "app/DatasetScanSources.h"

#include <algorithm>
#include <array>

#include "engine/components/DatabaseError.h"
#include "engine/components/KeelField.h"
#include "engine/components/KeelTableWalk.h"
#include "formats/Utf8Text.h"

namespace mindrel {

namespace {

constexpr const char* kPartnerLink = "P";
constexpr char kChildLink = 'C';


// A fault of the table layer while a whole table is read for the
// relationships: what was read stays, and the fault is told.
template <typename Read>
std::string ReadWhole(const char* table, Read read) {
  try {
    read();
    return "";
  } catch (const keel::EKeelEngineError& error) {
    return std::string(table) + ": " + error.what();
  } catch (const keel::EDatabaseError& error) {
    return std::string(table) + ": " + error.what();
  }
}

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
  links_.SetIndexName("CFMIdx");
  links_.Open();
  factsByCode_.clear();
  peopleByCode_ = PeopleIndexedByCode();
  if (!peopleByCode_) ReadFactsByCode();
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

void TFamilyTreeDatasets::ReadFactsByCode() {
  const keel::TKeelField* sex = people_.FindField("Sex");
  for (people_.First(); !people_.Eof(); people_.Next()) {
    factsByCode_[static_cast<std::int32_t>(people_.FieldByName("Code").AsInteger())] = {
        people_.FieldByName("Dead").AsBoolean(), sex == nullptr ? TSex::Unknown : SexOfLetter(sex->AsString())};
  }
}

// A null "Dead" reads as not dead.
bool TFamilyTreeDatasets::PersonLiving(std::int32_t code) {
  if (!peopleByCode_) {
    const auto found = factsByCode_.find(code);
    return found != factsByCode_.end() && !found->second.Dead;
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

std::string TFamilyTreeDatasets::ReadKinship(TKinGraphBuilder& builder) {
  std::string people;
  if (people_.FindField("Father") != nullptr || people_.FindField("Mother") != nullptr) {
    people = ReadWhole("People.dat", [&] { ReadPeopleKinship(builder); });
  } else {
    builder.TakePeopleFromLinks();
  }
  const std::string links = ReadWhole("Links.dat", [&] { ReadLinksKinship(builder); });
  return people.empty() || links.empty() ? people + links : people + "; " + links;
}

std::optional<TSex> TFamilyTreeDatasets::PersonSex(std::int32_t code) {
  if (!peopleByCode_) {
    const auto found = factsByCode_.find(code);
    return found == factsByCode_.end() ? std::nullopt : std::optional<TSex>(found->second.Sex);
  }
  people_.EnterKeyMode();
  people_.FieldByName("Code").SetAsInteger(code);
  if (!people_.SearchKey()) return std::nullopt;
  const keel::TKeelField* sex = people_.FindField("Sex");
  return sex == nullptr ? TSex::Unknown : SexOfLetter(sex->AsString());
}

// Whole tables are read in the order their rows lie on disk: an index walk
// would read the rows where the index sends it, several times slower.
void TFamilyTreeDatasets::ReadPeopleKinship(TKinGraphBuilder& builder) {
  keel::TKeelTableWalk people(people_);
  const keel::FieldDescriptor* code = people.Field("Code");
  if (code == nullptr) return;
  const keel::FieldDescriptor* sex = people.Field("Sex");
  const keel::FieldDescriptor* father = people.Field("Father");
  const keel::FieldDescriptor* mother = people.Field("Mother");
  while (people.Next()) {
    const std::optional<std::int64_t> person = people.Integer(*code);
    if (!person) continue;
    const auto personCode = static_cast<std::int32_t>(*person);
    builder.AddPerson(personCode, sex == nullptr ? TSex::Unknown : SexOfLetter(people.Text(*sex)));
    for (const keel::FieldDescriptor* parent : {father, mother}) {
      if (parent == nullptr) continue;
      const std::optional<std::int64_t> parentCode = people.Integer(*parent);
      if (parentCode && *parentCode != 0) builder.AddParent(personCode, static_cast<std::int32_t>(*parentCode));
    }
  }
}

void TFamilyTreeDatasets::ReadLinksKinship(TKinGraphBuilder& builder) {
  keel::TKeelTableWalk links(links_);
  const keel::FieldDescriptor* type = links.Field("RecType");
  const keel::FieldDescriptor* family = links.Field("ChildMarr");
  const keel::FieldDescriptor* person = links.Field("PersFam");
  if (type == nullptr || family == nullptr || person == nullptr) return;
  while (links.Next()) {
    const std::optional<std::int64_t> familyCode = links.Integer(*family);
    const std::optional<std::int64_t> personCode = links.Integer(*person);
    if (!familyCode || !personCode) continue;
    const std::string kind = links.Text(*type);
    if (kind == kPartnerLink) {
      builder.AddPartner(static_cast<std::int32_t>(*familyCode), static_cast<std::int32_t>(*personCode));
    } else if (kind.size() == 1 && kind[0] == kChildLink) {
      builder.AddChild(static_cast<std::int32_t>(*familyCode), static_cast<std::int32_t>(*personCode));
    }
  }
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
