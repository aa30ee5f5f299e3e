#include "tools/mktree/TreeSchema.h"

#include <stdexcept>
#include <string_view>

namespace mindrel::tree_schema {

namespace {

using keel::FieldType;

constexpr int kDateRecordSize = 72;

class TSchemaBuilder {
 public:
  TSchemaBuilder(const char* table, short userMajor) {
    request_.name = table;
    request_.userMajor = userMajor;
    request_.userMinor = 0;
  }

  TSchemaBuilder& Column(const std::string& name, FieldType type, uint16_t size = 0) {
    keel::FieldDescriptor field;
    field.name = name;
    field.type = type;
    field.size = size;
    request_.fields.push_back(field);
    return *this;
  }
  // A date kept the program's way: the raw record, its day number and its text.
  TSchemaBuilder& DateTriple(const std::string& name) {
    return Column(name + "~B", FieldType::Bytes, kDateRecordSize)
        .Column(name + "~J", FieldType::Integer)
        .Column(name + "~D", FieldType::String, 60);
  }
  // A date column the user added: the triple plus the calendar-date column
  // under the plain name that makes it an event type.
  TSchemaBuilder& CustomDate(const std::string& name) {
    return DateTriple(name).Column(name, FieldType::Date);
  }

  // Fails loudly when the program's own columns do not end where custom ones
  // must begin; a shifted layout would hide or invent event types.
  TSchemaBuilder& OwnColumnsEndHere(size_t count) {
    if (request_.fields.size() != count) throw std::logic_error(request_.name + ": own columns misplaced");
    return *this;
  }

  TSchemaBuilder& Primary(std::string_view fields) {
    request_.primary = Index("", fields, true, false);
    return *this;
  }
  TSchemaBuilder& Secondary(const std::string& name, std::string_view fields, bool caseInsensitive) {
    request_.secondaries.push_back(Index(name, fields, false, caseInsensitive));
    return *this;
  }

  keel::TableCreateRequest Done() { return std::move(request_); }

 private:
  keel::IndexDescriptor Index(const std::string& name, std::string_view fields, bool unique,
                              bool caseInsensitive) {
    keel::IndexDescriptor index;
    index.name = name;
    index.unique = unique;
    index.caseInsensitive = caseInsensitive;
    while (!fields.empty()) {
      const size_t end = fields.find(';');
      index.fields.push_back({Number(fields.substr(0, end)), false});
      fields = end == std::string_view::npos ? std::string_view{} : fields.substr(end + 1);
    }
    return index;
  }
  uint16_t Number(std::string_view name) const {
    for (size_t i = 0; i < request_.fields.size(); ++i)
      if (request_.fields[i].name == name) return static_cast<uint16_t>(i + 1);
    throw std::logic_error("no column " + std::string(name));
  }

  keel::TableCreateRequest request_;
};

}  // namespace

std::vector<std::string> PeopleCustomDates() {
  return {"Baptism", "Emigration"};
}
std::vector<std::string> FamiliesCustomDates() {
  return {"Engagement", "Emigration"};
}

keel::TableCreateRequest People() {
  TSchemaBuilder people(kPeople, kUserMajorVersion);
  people.Column("Code", FieldType::Integer)
      .Column("Surname", FieldType::String, 60)
      .Column("FirstNames", FieldType::String, 60)
      .Column("Sex", FieldType::String, 1)
      .Column("Dead", FieldType::Boolean)
      .DateTriple("Search date")
      .Column("Search place", FieldType::String, 60)
      .DateTriple("Death date")
      .Column("Death place", FieldType::String, 60)
      .DateTriple("Burial date")
      .Column("Burial place", FieldType::String, 60)
      .Column("Baptism place", FieldType::String, 60)
      .Column("Occupation", FieldType::String, 60)
      .Column("Religion", FieldType::String, 30)
      .Column("Nationality", FieldType::String, 30)
      .Column("Title", FieldType::String, 30)
      .Column("Suffix", FieldType::String, 20)
      .Column("Nickname", FieldType::String, 30)
      .Column("Cause of death", FieldType::String, 60)
      .Column("Notes", FieldType::String, 255)
      .Column("Source", FieldType::String, 100)
      .Column("Reference", FieldType::String, 20)
      .Column("Parent family", FieldType::Integer)
      .Column("Private", FieldType::Boolean)
      .Column("Address", FieldType::String, 100)
      .Column("Email", FieldType::String, 60)
      .Column("Phone", FieldType::String, 30)
      // A calendar date among the program's own columns: never an event type.
      .Column("Last changed", FieldType::Date)
      .Column("Record status", FieldType::SmallInt)
      .Column("Colour", FieldType::Integer)
      .Column("Picture file", FieldType::String, 120)
      .OwnColumnsEndHere(kPeopleOwnColumns);
  for (const std::string& name : PeopleCustomDates()) people.CustomDate(name);
  return people.Primary("Code")
      .Secondary("SurnameIdx", "Surname;FirstNames", true)
      .Secondary("BirthIdx", "Search date~J", false)
      .Done();
}

keel::TableCreateRequest Families() {
  TSchemaBuilder families(kFamilies, kUserMajorVersion);
  families.Column("Code", FieldType::Integer)
      .Column("Fathers name", FieldType::String, 120)
      .Column("Mothers name", FieldType::String, 120)
      .DateTriple("Marriage date")
      .Column("Marriage place", FieldType::String, 60)
      .DateTriple("Divorce date")
      .Column("Divorce place", FieldType::String, 60)
      .Column("Marriage type", FieldType::String, 20)
      .Column("Officiant", FieldType::String, 60)
      .Column("Witnesses", FieldType::String, 120)
      .Column("Children", FieldType::SmallInt)
      .Column("Notes", FieldType::String, 255)
      .Column("Source", FieldType::String, 100)
      .Column("Reference", FieldType::String, 20)
      .Column("Private", FieldType::Boolean)
      .Column("Status", FieldType::String, 20)
      .Column("Last changed", FieldType::Date)
      .Column("Colour", FieldType::Integer)
      .Column("Record status", FieldType::SmallInt)
      .OwnColumnsEndHere(kFamiliesOwnColumns);
  for (const std::string& name : FamiliesCustomDates()) families.CustomDate(name);
  return families.Primary("Code")
      .Secondary("FatherIdx", "Fathers name", true)
      .Secondary("MotherIdx", "Mothers name", true)
      .Secondary("MarriageIdx", "Marriage date~J", false)
      .Done();
}

keel::TableCreateRequest Links() {
  return TSchemaBuilder(kLinks, kUserMajorVersion)
      .Column("RecType", FieldType::String, 1)
      .Column("ChildMarr", FieldType::Integer)
      .Column("PersFam", FieldType::Integer)
      .Column("Sequence", FieldType::SmallInt)
      .Primary("RecType;ChildMarr;PersFam")
      .Secondary("CFMIdx", "RecType;ChildMarr", false)
      .Secondary("PersonIdx", "PersFam;RecType", false)
      .Done();
}

}  // namespace mindrel::tree_schema
