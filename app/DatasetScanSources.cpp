#include "app/DatasetScanSources.h"

#include <algorithm>
#include <array>

#include "engine/components/DatabaseError.h"
#include "engine/components/KeelConsistentRead.h"
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
  const keel::TKeelField* field = dataSet_.FindField(column);
  // A column narrower than a date record cannot hold one.
  if (field == nullptr || field->DataSize() < bytes.size() || !field->GetData(bytes)) return false;
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

TRowCopy::TRowCopy(keel::TKeelDataSet& dataSet) {
  code_ = static_cast<std::int32_t>(dataSet.FieldByName("Code").AsInteger());
  const keel::TKeelField* sex = dataSet.FindField("Sex");
  if (sex != nullptr) sex_ = sex->AsString();
  const keel::TKeelField* dead = dataSet.FindField("Dead");
  dead_ = dead != nullptr && !dead->IsNull() && dead->AsBoolean();
  const TDatasetRecord record(dataSet);
  for (int i = 0; i < dataSet.FieldCount(); ++i) {
    const std::string& name = dataSet.Fields(i).FieldName();
    TJDate date;
    if (name.ends_with("~B") && record.DateRecord(name, date)) dates_.emplace(LowerCase(name), date);
  }
}

bool TRowCopy::DateRecord(const std::string& column, TJDate& date) const {
  const auto found = dates_.find(LowerCase(column));
  if (found == dates_.end()) return false;
  date = found->second;
  return true;
}

std::string TRowCopy::StringField(const std::string& name) const { return SameText(name, "Sex") ? sex_ : ""; }

std::int32_t TRowCopy::IntegerField(const std::string& name) const { return SameText(name, "Code") ? code_ : 0; }

bool TRowCopy::BooleanField(const std::string& name) const { return SameText(name, "Dead") && dead_; }

void TRowsByCode::Reset() {
  indexed_.reset();
  copies_.reset();
}

bool TRowsByCode::IndexedByCode() {
  try {
    table_.EnterKeyMode();
    table_.FieldByName("Code").SetAsInteger(0);
    table_.Cancel();
    return true;
  } catch (const keel::EDatabaseError&) {
    table_.Cancel();
    return false;
  }
}

const TScanRecord* TRowsByCode::Find(std::int32_t code) {
  if (!indexed_) indexed_ = IndexedByCode();
  if (*indexed_) {
    table_.EnterKeyMode();
    table_.FieldByName("Code").SetAsInteger(code);
    return table_.SearchKey() ? &record_ : nullptr;
  }
  if (!copies_) {
    copies_.emplace();
    for (table_.First(); !table_.Eof(); table_.Next()) {
      TRowCopy copy(table_);
      copies_->emplace(copy.IntegerField("Code"), std::move(copy));
    }
  }
  const auto found = copies_->find(code);
  return found == copies_->end() ? nullptr : &found->second;
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
  peopleByCode_.Reset();
  familiesByCode_.Reset();
  familiesOfPeople_.reset();
  linksIndexedByPerson_.reset();
  linksByPerson_.Close();
  linksByPerson_.SetDatabaseName(folder);
}

bool TFamilyTreeDatasets::PeopleHasColumn(const std::string& name) { return people_.FindField(name) != nullptr; }

bool TFamilyTreeDatasets::FamiliesHasColumn(const std::string& name) {
  if (families_.Active()) return families_.FindField(name) != nullptr;
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

std::vector<std::int32_t> TFamilyTreeDatasets::PartnerCodes(std::int32_t familyCode) {
  std::vector<std::int32_t> codes;
  if (!FirstPartnerLink(links_, familyCode)) return codes;
  for (; OnPartnerLink(links_, familyCode); links_.Next()) {
    codes.push_back(static_cast<std::int32_t>(links_.FieldByName("PersFam").AsInteger()));
  }
  return codes;
}

// The partner links stand together at the start of "RecType" "P" in the
// links index, so one walk from there reads them all.
void TFamilyTreeDatasets::ReadFamiliesOfPeople() {
  familiesOfPeople_.emplace();
  links_.EnterKeyMode();
  links_.SetKeyFieldCount(1);
  links_.FieldByName("RecType").SetAsString(kPartnerLink);
  if (!links_.SearchKey()) return;
  // The read lock is kept from row to row, let go now and then for other
  // programs' writers.
  keel::TKeelReadBatch reads(links_);
  const keel::TKeelField& type = links_.FieldByName("RecType");
  const keel::TKeelField& person = links_.FieldByName("PersFam");
  const keel::TKeelField& family = links_.FieldByName("ChildMarr");
  for (; !links_.Eof() && type.AsString() == kPartnerLink; links_.Next()) {
    familiesOfPeople_->emplace(static_cast<std::int32_t>(person.AsInteger()), static_cast<std::int32_t>(family.AsInteger()));
    reads.Step();
  }
}

bool TFamilyTreeDatasets::OpenLinksByPerson() {
  linksByPerson_.SetTableName(links_.TableName());
  linksByPerson_.SetReadOnly(true);
  linksByPerson_.RefreshDefs();
  for (const keel::TKeelIndexDef& index : linksByPerson_.IndexDefs()) {
    if (!SameText(index.Fields.substr(0, index.Fields.find(';')), "PersFam")) continue;
    linksByPerson_.SetIndexName(index.Name);
    linksByPerson_.Open();
    return true;
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
  const TScanRecord* person = peopleByCode_.Find(code);
  if (person == nullptr) return std::nullopt;
  return SexOfLetter(person->StringField("Sex"));
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

std::vector<std::int32_t> TFamilyTreeDatasets::FamiliesOf(std::int32_t personCode) {
  std::vector<std::int32_t> families;
  if (!linksIndexedByPerson_) linksIndexedByPerson_ = OpenLinksByPerson();
  if (*linksIndexedByPerson_) {
    linksByPerson_.EnterKeyMode();
    linksByPerson_.SetKeyFieldCount(1);
    linksByPerson_.FieldByName("PersFam").SetAsInteger(personCode);
    if (!linksByPerson_.SearchKey()) return families;
    for (; !linksByPerson_.Eof() && linksByPerson_.FieldByName("PersFam").AsInteger() == personCode;
         linksByPerson_.Next()) {
      if (linksByPerson_.FieldByName("RecType").AsString() != kPartnerLink) continue;
      families.push_back(static_cast<std::int32_t>(linksByPerson_.FieldByName("ChildMarr").AsInteger()));
    }
    return families;
  }
  if (!familiesOfPeople_) ReadFamiliesOfPeople();
  const auto [first, last] = familiesOfPeople_->equal_range(personCode);
  for (auto link = first; link != last; ++link) families.push_back(link->second);
  return families;
}

std::vector<TJDate> TFamilyTreeDatasets::FamilyDates(std::int32_t personCode,
                                                     const std::vector<std::string>& familyDateColumns) {
  std::vector<TJDate> dates;
  for (const std::int32_t code : FamiliesOf(personCode)) {
    if (!families_.Active()) {
      families_.SetIndexName("");
      families_.Open();
    }
    const TScanRecord* family = familiesByCode_.Find(code);
    if (family == nullptr) continue;
    for (const std::string& column : familyDateColumns) {
      TJDate date;
      if (family->DateRecord(column + "~B", date)) dates.push_back(date);
    }
  }
  return dates;
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
  linksByPerson_.Close();
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
