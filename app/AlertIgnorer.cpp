#include "app/AlertIgnorer.h"

#include <initializer_list>

#include "app/DatasetScanSources.h"
#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"
#include "gedcom/GedcomFile.h"

namespace mindrel {

namespace {

// A person of the file as the ignore list records it.
TIgnoreList::TPerson GedcomPerson(const TGedcomTree& tree, std::uint32_t row) {
  const TGedcomPerson& person = tree.People[row];
  TIgnoreList::TPerson ignored;
  ignored.Code = person.Code;
  ignored.Firstnames = person.GivenNames;
  ignored.Surname = person.Surname;
  if (const TGedcomColumn* births = tree.FindColumn(TGedcomTree::kBirth)) {
    for (const TDatedRow& birth : births->People) {
      if (birth.Row != row) continue;
      ignored.BirthDay = birth.Date.JDay;
      break;
    }
  }
  if (!person.BirthText.empty()) ignored.BirthText = person.BirthText;
  if (!person.BirthPlace.empty()) ignored.BirthPlace = person.BirthPlace;
  return ignored;
}

// Closes the family-tree tables of one alert however its handling ends.
class TFolderTables {
 public:
  TFolderTables(const std::string& folder, std::initializer_list<keel::TKeelTable*> tables) : tables_(tables) {
    for (keel::TKeelTable* table : tables_) {
      table->Close();
      table->SetDatabaseName(folder);
    }
  }
  ~TFolderTables() {
    for (keel::TKeelTable* table : tables_) table->Close();
  }
  TFolderTables(const TFolderTables&) = delete;
  TFolderTables& operator=(const TFolderTables&) = delete;

 private:
  std::vector<keel::TKeelTable*> tables_;
};

}  // namespace

void TAlertIgnorer::Ignore(TAlertList& alerts, std::vector<bool>& selected, bool all,
                           const std::vector<std::string>& eventItems, const std::function<void(int)>& removed) {
  keel::TKeelTable& ignore = ignoreList_.Table();
  const std::string order = ignore.IndexName();
  ignore.SetIndexName("");
  try {
    int i = 0;
    while (i < alerts.Count()) {
      const auto index = static_cast<std::size_t>(i);
      const TOPObj& entry = alerts.Entry(i);
      const bool named = entry.EventIndex < eventItems.size();
      if (index >= selected.size() || !selected[index] || (!all && !named) ||
          !IgnoreEntry(entry, named ? eventItems[entry.EventIndex] : std::string(), all)) {
        ++i;
        continue;
      }
      alerts.Remove(i);
      selected.erase(selected.begin() + i);
      removed(i);
    }
  } catch (...) {
    ignore.SetIndexName(order);
    throw;
  }
  ignore.SetIndexName(order);
}

bool TAlertIgnorer::FindPerson(std::int32_t code) {
  people_.EnterKeyMode();
  people_.FieldByName("Code").SetAsInteger(code);
  return people_.SearchKey();
}

// True when the alert is handled and leaves the list.
bool TAlertIgnorer::IgnoreEntry(const TOPObj& entry, const std::string& eventName, bool all) {
  if ((entry.Kind == "P" || entry.Kind == "F") && TGedcomFile(entry.DBFolder).IsFile()) {
    return IgnoreGedcomEntry(entry, eventName, all);
  }
  if (entry.Kind == "F") return IgnoreFamily(entry, eventName, all);
  if (entry.Kind != "P") return false;
  TFolderTables tables(entry.DBFolder, {&people_});
  people_.SetIndexName("");
  people_.Open();
  if (!FindPerson(entry.Code)) return false;
  ignoreList_.IgnorePerson(TIgnoreList::PersonOf(people_), entry.DBFolder, eventName, all);
  return true;
}

// A family alert leaves the list even when no partner is found.
bool TAlertIgnorer::IgnoreFamily(const TOPObj& entry, const std::string& eventName, bool all) {
  TFolderTables tables(entry.DBFolder, {&people_, &links_});
  people_.SetIndexName("");
  people_.Open();
  links_.SetIndexName(TFamilyTreeDatasets::kPartnerIndex);
  links_.Open();
  if (!TFamilyTreeDatasets::FirstPartnerLink(links_, entry.Code)) return true;
  for (; TFamilyTreeDatasets::OnPartnerLink(links_, entry.Code); links_.Next()) {
    if (FindPerson(static_cast<std::int32_t>(links_.FieldByName("PersFam").AsInteger()))) {
      ignoreList_.IgnorePerson(TIgnoreList::PersonOf(people_), entry.DBFolder, eventName, all);
    }
  }
  return true;
}

// As for a folder: a person gone from the file stays in the list, a couple
// leaves it even without partners.
bool TAlertIgnorer::IgnoreGedcomEntry(const TOPObj& entry, const std::string& eventName, bool all) {
  const TGedcomTree& tree = gedcom_.Load(entry.DBFolder);
  std::vector<std::uint32_t> people;
  if (entry.Kind == "F") {
    if (const TGedcomFamily* family = gedcom_.FamilyByCode(entry.Code)) {
      for (const std::uint32_t partner : {family->Husband, family->Wife}) {
        if (partner != TGedcomFamily::kNoPartner) people.push_back(partner);
      }
    }
  } else {
    for (std::uint32_t row = 0; row < tree.People.size(); ++row) {
      if (tree.People[row].Code == entry.Code) people.push_back(row);
    }
    if (people.empty()) return false;
  }
  for (const std::uint32_t row : people) {
    ignoreList_.IgnorePerson(GedcomPerson(tree, row), entry.DBFolder, eventName, all);
  }
  return true;
}

}  // namespace mindrel
