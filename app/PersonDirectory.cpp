#include "app/PersonDirectory.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <tuple>

#include "app/SourceEntry.h"
#include "dates/UDate.h"
#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"
#include "engine/components/KeelTableWalk.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/TextCase.h"
#include "formats/Utf8Text.h"
#include "gedcom/GedcomError.h"
#include "gedcom/GedcomFile.h"

namespace mindrel {

namespace {

// The year of a stored date, when it has one.
std::optional<int> YearOf(const TJDate& date) {
  if (date.PhraseLength != 0 || date.YearUnknown) return std::nullopt;
  TDayMonthYear dmy;
  if (!JDateToDMY(date, dmy)) return std::nullopt;
  return dmy.Ad ? dmy.Year : -dmy.Year;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream stream(LowerCase(text));
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

}  // namespace

TPersonDirectory::TPersonDirectory(std::vector<TDirectoryPerson> people) : people_(std::move(people)) {
  std::sort(people_.begin(), people_.end(), [](const TDirectoryPerson& a, const TDirectoryPerson& b) {
    return std::make_tuple(LowerCase(a.Surname), LowerCase(a.FirstNames), a.BirthYear.value_or(0), a.Code) <
           std::make_tuple(LowerCase(b.Surname), LowerCase(b.FirstNames), b.BirthYear.value_or(0), b.Code);
  });
  searchText_.reserve(people_.size());
  for (const TDirectoryPerson& person : people_) {
    std::string text;
    for (const std::string& word : Words(person.Surname + " " + person.FirstNames)) text += " " + word;
    searchText_.push_back(std::move(text));
  }
}

TPersonDirectory TPersonDirectory::Load(const std::string& source) {
  return TSourceEntry(source).IsGedcomFile() ? LoadGedcom(source) : LoadFolder(source);
}

std::optional<TDirectoryPerson> TPersonDirectory::Lookup(const std::string& source, std::int32_t code) {
  if (TSourceEntry(source).IsGedcomFile()) {
    const TPersonDirectory people = LoadGedcom(source);
    const TDirectoryPerson* person = people.ByCode(code);
    return person == nullptr ? std::nullopt : std::optional<TDirectoryPerson>(*person);
  }
  keel::TKeelTable table;
  table.SetDatabaseName(source);
  table.SetTableName("People.dat");
  table.SetReadOnly(true);
  std::optional<TDirectoryPerson> found;
  try {
    table.Open();
    table.EnterKeyMode();
    table.FieldByName("Code").SetAsInteger(code);
    if (table.SearchKey()) {
      TDirectoryPerson person{code, Trim(table.FieldByName("Surname").AsString()),
                              Trim(table.FieldByName("FirstNames").AsString()), {}};
      std::array<std::uint8_t, TJDate::kSize> bytes{};
      const keel::TKeelField* birth = table.FindField("Search date~B");
      if (birth != nullptr && birth->DataSize() >= bytes.size() && birth->GetData(bytes)) {
        person.BirthYear = YearOf(TJDate::FromBytes(bytes.data()));
      }
      found = person;
    }
  } catch (const std::exception&) {
    // No index, a locked or damaged table: the person stays unnamed.
  }
  table.Close();
  return found;
}

TPersonDirectory TPersonDirectory::LoadFolder(const std::string& folder) {
  std::vector<TDirectoryPerson> people;
  keel::TKeelTable table;
  table.SetDatabaseName(folder);
  table.SetTableName("People.dat");
  table.SetReadOnly(true);
  std::string message;
  try {
    table.Open();
    keel::TKeelTableWalk walk(table);
    const keel::FieldDescriptor* code = walk.Field("Code");
    const keel::FieldDescriptor* surname = walk.Field("Surname");
    const keel::FieldDescriptor* firstNames = walk.Field("FirstNames");
    const keel::FieldDescriptor* birth = walk.Field("Search date~B");
    while (code != nullptr && walk.Next()) {
      const std::optional<std::int64_t> value = walk.Integer(*code);
      if (!value) continue;
      TDirectoryPerson person;
      person.Code = static_cast<std::int32_t>(*value);
      if (surname != nullptr) person.Surname = Trim(keel::AnsiToUtf8(walk.Text(*surname)));
      if (firstNames != nullptr) person.FirstNames = Trim(keel::AnsiToUtf8(walk.Text(*firstNames)));
      if (birth != nullptr && walk.Bytes(*birth).size() >= TJDate::kSize) {
        person.BirthYear = YearOf(TJDate::FromBytes(walk.Bytes(*birth).data()));
      }
      people.push_back(std::move(person));
    }
  } catch (const std::exception& error) {
    // A missing, locked or damaged table: the people read so far are listed.
    message = error.what();
  }
  table.Close();
  TPersonDirectory directory(std::move(people));
  directory.message_ = message;
  return directory;
}

TPersonDirectory TPersonDirectory::LoadGedcom(const std::string& path) {
  TGedcomTree tree;
  std::string message;
  try {
    tree = TGedcomFile(path).Read();
  } catch (const EGedcomError& error) {
    message = error.what();
  }
  std::vector<TDirectoryPerson> people;
  people.reserve(tree.People.size());
  for (const TGedcomPerson& person : tree.People) people.push_back({person.Code, person.Surname, person.GivenNames, {}});
  if (const TGedcomColumn* births = tree.FindColumn(TGedcomTree::kBirth)) {
    for (const TDatedRow& row : births->People) people[row.Row].BirthYear = YearOf(row.Date);
  }
  TPersonDirectory directory(std::move(people));
  directory.message_ = message;
  return directory;
}

const TDirectoryPerson* TPersonDirectory::ByCode(std::int32_t code) const {
  const auto found =
      std::find_if(people_.begin(), people_.end(), [&](const TDirectoryPerson& person) { return person.Code == code; });
  return found == people_.end() ? nullptr : &*found;
}

std::vector<const TDirectoryPerson*> TPersonDirectory::Find(const std::string& typed, std::size_t limit) const {
  std::vector<std::string> starts;
  for (const std::string& word : Words(typed)) starts.push_back(" " + word);
  std::vector<const TDirectoryPerson*> found;
  for (std::size_t i = 0; i < people_.size() && found.size() < limit; ++i) {
    const std::string& text = searchText_[i];
    if (std::all_of(starts.begin(), starts.end(),
                    [&](const std::string& start) { return text.find(start) != std::string::npos; })) {
      found.push_back(&people_[i]);
    }
  }
  return found;
}

std::string TPersonDirectory::Label(const TDirectoryPerson& person) {
  std::string name = person.Surname;
  if (!person.FirstNames.empty()) name += (name.empty() ? "" : ", ") + person.FirstNames;
  if (name.empty()) name = "[P" + std::to_string(person.Code) + "] no name";
  if (!person.BirthYear) return name;
  const int year = *person.BirthYear;
  return name + " (" + (year < 0 ? std::to_string(-year) + " BC" : std::to_string(year)) + ")";
}

}  // namespace mindrel
