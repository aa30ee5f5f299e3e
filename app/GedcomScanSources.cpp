#include "app/GedcomScanSources.h"

#include <algorithm>

#include "formats/Utf8Text.h"
#include "gedcom/GedcomError.h"
#include "gedcom/GedcomFile.h"

namespace mindrel {

namespace {

// The family-tree tables' own date columns and the GEDCOM events they hold.
struct TFixedColumn {
  const char* TableColumn;
  const char* Event;
};
constexpr TFixedColumn kFixedColumns[] = {{"Search date", TGedcomTree::kBirth},
                                          {"Death date", TGedcomTree::kDeath},
                                          {"Marriage date", TGedcomTree::kMarriage},
                                          {"Divorce date", TGedcomTree::kDivorce}};

TSex SexOf(const TGedcomPerson& person) { return SexOfLetter(std::string_view(&person.Sex, person.Sex == 0 ? 0 : 1)); }

bool IsFixedEvent(const std::string& name) {
  return std::any_of(std::begin(kFixedColumns), std::end(kFixedColumns),
                     [&](const TFixedColumn& fixed) { return name == fixed.Event; });
}

}  // namespace

const TGedcomTree& TGedcomSource::Load(const std::string& path) {
  if (loaded_ && path == path_) return tree_;
  path_ = path;
  loaded_ = true;
  tree_ = TGedcomTree();
  try {
    tree_ = TGedcomFile(path).Read();
  } catch (const EGedcomError& error) {
    messages_.push_back(error.what());
  }
  IndexTree();
  return tree_;
}

void TGedcomSource::IndexTree() {
  familyByCode_.clear();
  personByCode_.clear();
  for (std::uint32_t i = 0; i < tree_.Families.size(); ++i) familyByCode_.emplace(tree_.Families[i].Code, i);
  for (std::uint32_t i = 0; i < tree_.People.size(); ++i) personByCode_.emplace(tree_.People[i].Code, i);
  personDates_.assign(tree_.People.size(), {});
  familyDates_.assign(tree_.Families.size(), {});
  for (std::uint32_t column = 0; column < tree_.Columns.size(); ++column) {
    for (const TDatedRow& row : tree_.Columns[column].People) personDates_[row.Row].push_back({column, &row});
    for (const TDatedRow& row : tree_.Columns[column].Families) familyDates_[row.Row].push_back({column, &row});
  }
  familiesOfPerson_.assign(tree_.People.size(), {});
  for (std::uint32_t i = 0; i < tree_.Families.size(); ++i) {
    for (const std::uint32_t partner : {tree_.Families[i].Husband, tree_.Families[i].Wife}) {
      if (partner != TGedcomFamily::kNoPartner) familiesOfPerson_[partner].push_back(i);
    }
  }
}

const TGedcomFamily* TGedcomSource::FamilyByCode(std::int32_t code) const {
  const auto found = familyByCode_.find(code);
  return found == familyByCode_.end() ? nullptr : &tree_.Families[found->second];
}

std::optional<std::uint32_t> TGedcomSource::PersonByCode(std::int32_t code) const {
  const auto found = personByCode_.find(code);
  return found == personByCode_.end() ? std::nullopt : std::optional<std::uint32_t>(found->second);
}

const std::vector<std::uint32_t>& TGedcomSource::FamiliesOf(std::uint32_t person) const {
  return familiesOfPerson_[person];
}

const TDatedRow* TGedcomSource::DatedRowOf(bool family, std::uint32_t row, const std::string& dateColumn) const {
  const TGedcomColumn* column = TGedcomQuery::Column(tree_, dateColumn);
  if (column == nullptr) return nullptr;
  const auto index = static_cast<std::uint32_t>(column - tree_.Columns.data());
  for (const TRowDate& dated : (family ? familyDates_ : personDates_)[row]) {
    if (dated.Column == index) return dated.Row;
  }
  return nullptr;
}

bool TGedcomSource::DateOf(bool family, std::uint32_t row, const std::string& dateColumn, TJDate& date) const {
  const TDatedRow* dated = DatedRowOf(family, row, dateColumn);
  if (dated == nullptr) return false;
  date = dated->Date;
  return true;
}

std::string TGedcomRecord::PartnerName(std::uint32_t person) const {
  if (person == TGedcomFamily::kNoPartner) return "";
  const TGedcomPerson& partner = tree_.People[person];
  return partner.Surname + ", " + partner.GivenNames;
}

std::string TGedcomRecord::StringField(const std::string& name) const {
  if (family_) {
    const TGedcomFamily& family = tree_.Families[row_];
    if (SameText(name, "Fathers name")) return PartnerName(family.Husband);
    if (SameText(name, "Mothers name")) return PartnerName(family.Wife);
    return "";
  }
  const TGedcomPerson& person = tree_.People[row_];
  if (SameText(name, "FirstNames")) return person.GivenNames;
  if (SameText(name, "Surname")) return person.Surname;
  if (SameText(name, "Search date~D")) return person.BirthText;
  if (SameText(name, "Search place")) return person.BirthPlace;
  if (SameText(name, "Sex")) return person.Sex == 0 ? "" : std::string(1, person.Sex);
  return "";
}

bool TGedcomRecord::DateRecord(const std::string& column, TJDate& date) const {
  constexpr std::string_view kRecordEnding = "~B";
  if (column.size() < kRecordEnding.size() || !SameText(column.substr(column.size() - kRecordEnding.size()), "~B")) {
    return false;
  }
  return source_.DateOf(family_, row_, column.substr(0, column.size() - kRecordEnding.size()), date);
}

// The dated row of a "<column>~B" record name; null for another name or no date.
const TDatedRow* TGedcomRecord::DatedRow(const std::string& column) const {
  constexpr std::string_view kRecordEnding = "~B";
  if (column.size() < kRecordEnding.size() || !SameText(column.substr(column.size() - kRecordEnding.size()), "~B")) {
    return nullptr;
  }
  return source_.DatedRowOf(family_, row_, column.substr(0, column.size() - kRecordEnding.size()));
}

std::optional<THebrewDate> TGedcomRecord::HebrewDate(const std::string& column) const {
  const TDatedRow* dated = DatedRow(column);
  return dated == nullptr ? std::nullopt : dated->Hebrew;
}

bool TGedcomRecord::AfterSunset(const std::string& column) const {
  const TDatedRow* dated = DatedRow(column);
  return dated != nullptr && dated->AfterSunset;
}

std::int32_t TGedcomRecord::IntegerField(const std::string& name) const {
  if (!SameText(name, "Code")) return 0;
  return family_ ? tree_.Families[row_].Code : tree_.People[row_].Code;
}

bool TGedcomRecord::BooleanField(const std::string& name) const {
  return !family_ && SameText(name, "Dead") && tree_.People[row_].Dead;
}

const TGedcomColumn* TGedcomQuery::Column(const TGedcomTree& tree, const std::string& dateColumn) {
  for (const TFixedColumn& fixed : kFixedColumns) {
    if (dateColumn == fixed.TableColumn) return tree.FindColumn(fixed.Event);
  }
  for (const TGedcomColumn& column : tree.Columns) {
    if (!IsFixedEvent(column.Name) && SameText(column.Name, dateColumn)) return &column;
  }
  return nullptr;
}

void TGedcomQuery::Open(const std::string& folder, const TEventQuery& query) {
  tree_ = &source_.Load(folder);
  query_ = query;
  rows_.clear();
  position_ = 0;
  const TGedcomColumn* column = Column(*tree_, query.DateColumn);
  if (column == nullptr) return;
  for (const TDatedRow& row : query.Families ? column->Families : column->People) {
    if (query.LivingOnly && !query.Families && tree_->People[row.Row].Dead) continue;
    rows_.push_back(&row);
  }
  // As the SQL query orders by the "~J" column, the record's day number.
  std::stable_sort(rows_.begin(), rows_.end(),
                   [](const TDatedRow* a, const TDatedRow* b) { return a->Date.JDay < b->Date.JDay; });
}

const TScanRecord& TGedcomQuery::Current() const {
  current_.emplace(source_, query_.Families, rows_[position_]->Row);
  return *current_;
}

bool TGedcomTables::PeopleHasColumn(const std::string& name) {
  const TGedcomColumn* column = TGedcomQuery::Column(*tree_, name);
  return column != nullptr && !column->People.empty();
}

bool TGedcomTables::FamiliesHasColumn(const std::string& name) {
  const TGedcomColumn* column = TGedcomQuery::Column(*tree_, name);
  return column != nullptr && !column->Families.empty();
}

std::vector<std::int32_t> TGedcomTables::PartnerCodes(std::int32_t familyCode) {
  std::vector<std::int32_t> codes;
  const TGedcomFamily* family = source_.FamilyByCode(familyCode);
  if (family == nullptr) return codes;
  for (const std::uint32_t partner : {family->Husband, family->Wife}) {
    if (partner != TGedcomFamily::kNoPartner) codes.push_back(tree_->People[partner].Code);
  }
  return codes;
}

std::string TGedcomTables::ReadKinship(TKinGraphBuilder& builder) {
  const TGedcomTree& tree = *tree_;
  // The family's own HUSB and WIFE first, so its partners keep that order.
  for (const TGedcomFamily& family : tree.Families) {
    for (const std::uint32_t partner : {family.Husband, family.Wife}) {
      if (partner != TGedcomFamily::kNoPartner) builder.AddPartner(family.Code, tree.People[partner].Code);
    }
    for (const std::uint32_t child : family.Children) builder.AddChild(family.Code, tree.People[child].Code);
  }
  for (const TGedcomPerson& person : tree.People) {
    builder.AddPerson(person.Code, SexOf(person));
    for (const std::uint32_t family : person.ChildOf) builder.AddChild(tree.Families[family].Code, person.Code);
    for (const std::uint32_t family : person.PartnerIn) builder.AddPartner(tree.Families[family].Code, person.Code);
  }
  builder.NoteMissingLinks(tree.DanglingLinks);
  return "";
}

std::optional<TSex> TGedcomTables::PersonSex(std::int32_t code) {
  const std::optional<std::uint32_t> row = source_.PersonByCode(code);
  if (!row) return std::nullopt;
  return SexOf(tree_->People[*row]);
}

const TScanRecord* TGedcomTables::FindPerson(std::int32_t code) {
  const std::optional<std::uint32_t> row = source_.PersonByCode(code);
  if (!row) return nullptr;
  person_.emplace(source_, false, *row);
  return &*person_;
}

std::vector<TJDate> TGedcomTables::FamilyDates(std::int32_t personCode,
                                               const std::vector<std::string>& familyDateColumns) {
  std::vector<TJDate> dates;
  const std::optional<std::uint32_t> person = source_.PersonByCode(personCode);
  if (!person) return dates;
  for (const std::uint32_t family : source_.FamiliesOf(*person)) {
    for (const std::string& column : familyDateColumns) {
      TJDate date;
      if (source_.DateOf(true, family, column, date)) dates.push_back(date);
    }
  }
  return dates;
}

}  // namespace mindrel
