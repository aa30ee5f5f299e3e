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
  familyByCode_.clear();
  try {
    tree_ = TGedcomFile(path).Read();
  } catch (const EGedcomError& error) {
    messages_.push_back(error.what());
  }
  for (std::uint32_t i = 0; i < tree_.Families.size(); ++i) familyByCode_.emplace(tree_.Families[i].Code, i);
  return tree_;
}

const TGedcomFamily* TGedcomSource::FamilyByCode(std::int32_t code) const {
  const auto found = familyByCode_.find(code);
  return found == familyByCode_.end() ? nullptr : &tree_.Families[found->second];
}

std::string TGedcomRecord::PartnerName(std::uint32_t person) const {
  if (person == TGedcomFamily::kNoPartner) return "";
  const TGedcomPerson& partner = tree_.People[person];
  return partner.Surname + ", " + partner.GivenNames;
}

std::string TGedcomRecord::StringField(const std::string& name) const {
  if (query_.Families) {
    const TGedcomFamily& family = tree_.Families[row_.Row];
    if (SameText(name, "Fathers name")) return PartnerName(family.Husband);
    if (SameText(name, "Mothers name")) return PartnerName(family.Wife);
    return "";
  }
  const TGedcomPerson& person = tree_.People[row_.Row];
  if (SameText(name, "FirstNames")) return person.GivenNames;
  if (SameText(name, "Surname")) return person.Surname;
  if (SameText(name, "Search date~D")) return person.BirthText;
  if (SameText(name, "Search place")) return person.BirthPlace;
  return "";
}

bool TGedcomRecord::DateRecord(const std::string& column, TJDate& date) const {
  if (!SameText(column, query_.DateColumn + "~B")) return false;
  date = row_.Date;
  return true;
}

std::optional<THebrewDate> TGedcomRecord::HebrewDate(const std::string& column) const {
  if (!SameText(column, query_.DateColumn + "~B")) return std::nullopt;
  return row_.Hebrew;
}

bool TGedcomRecord::AfterSunset(const std::string& column) const {
  return SameText(column, query_.DateColumn + "~B") && row_.AfterSunset;
}

std::int32_t TGedcomRecord::IntegerField(const std::string& name) const {
  if (!SameText(name, "Code")) return 0;
  return query_.Families ? tree_.Families[row_.Row].Code : tree_.People[row_.Row].Code;
}

bool TGedcomRecord::BooleanField(const std::string& name) const {
  return !query_.Families && SameText(name, "Dead") && tree_.People[row_.Row].Dead;
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
  current_.emplace(*tree_, query_, *rows_[position_]);
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

std::vector<std::int32_t> TGedcomTables::PartnerCodes(std::int32_t familyCode) const {
  std::vector<std::int32_t> codes;
  const TGedcomFamily* family = source_.FamilyByCode(familyCode);
  if (family == nullptr) return codes;
  for (const std::uint32_t partner : {family->Husband, family->Wife}) {
    if (partner != TGedcomFamily::kNoPartner) codes.push_back(tree_->People[partner].Code);
  }
  return codes;
}

bool TGedcomTables::HasLivingPartner(std::int32_t familyCode) {
  const TGedcomFamily* family = source_.FamilyByCode(familyCode);
  if (family == nullptr) return false;
  for (const std::uint32_t partner : {family->Husband, family->Wife}) {
    if (partner != TGedcomFamily::kNoPartner && !tree_->People[partner].Dead) return true;
  }
  return false;
}

}  // namespace mindrel
