#include "tools/mktree/GedcomWriter.h"

#include <cctype>
#include <unordered_map>
#include <vector>

namespace mindrel {

namespace {

std::string UpperMonth(int month) {
  std::string name = MonthAbbreviation(month);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

void Event(std::ostream& out, const char* tag, const std::optional<TTreeDate>& date, const std::string& place) {
  if (!date) return;
  out << "1 " << tag << "\n2 DATE " << TGedcomWriter::DateValue(*date) << '\n';
  if (!place.empty()) out << "2 PLAC " << place << '\n';
}

void CustomEvent(std::ostream& out, const char* type, const std::optional<TTreeDate>& date) {
  if (!date) return;
  out << "1 EVEN\n2 TYPE " << type << "\n2 DATE " << TGedcomWriter::DateValue(*date) << '\n';
}

using TFamiliesOfPeople = std::unordered_map<std::int32_t, std::vector<std::int32_t>>;

void WritePerson(std::ostream& out, const TTreePerson& person, const TFamiliesOfPeople& partnerIn) {
  out << "0 @I" << person.Code << "@ INDI\n1 NAME " << person.FirstNames << " /" << person.Surname << "/\n";
  out << "1 SEX " << person.Sex << '\n';
  Event(out, "BIRT", person.Birth, person.BirthPlace);
  if (person.Death) {
    Event(out, "DEAT", person.Death, person.DeathPlace);
  } else if (person.Dead.value_or(false)) {
    out << "1 DEAT Y\n";
  }
  Event(out, "BURI", person.Burial, "");
  Event(out, "BAPM", person.Baptism, person.BaptismPlace);
  Event(out, "EMIG", person.Emigration, "");
  if (!person.Occupation.empty()) out << "1 OCCU " << person.Occupation << '\n';
  if (person.ParentFamily != 0) out << "1 FAMC @F" << person.ParentFamily << "@\n";
  if (const auto found = partnerIn.find(person.Code); found != partnerIn.end()) {
    for (const std::int32_t family : found->second) out << "1 FAMS @F" << family << "@\n";
  }
}

void WriteFamily(std::ostream& out, const TTreeFamily& family) {
  out << "0 @F" << family.Code << "@ FAM\n";
  if (family.Father != 0) out << "1 HUSB @I" << family.Father << "@\n";
  if (family.Mother != 0) out << "1 WIFE @I" << family.Mother << "@\n";
  for (const std::int32_t child : family.Children) out << "1 CHIL @I" << child << "@\n";
  Event(out, "ENGA", family.Engagement, "");
  Event(out, "MARR", family.Marriage, family.MarriagePlace);
  Event(out, "DIV", family.Divorce, "");
  // GEDCOM has no emigration of a couple: a typed event stands for it.
  CustomEvent(out, "Emigration", family.Emigration);
}

}  // namespace

std::string TGedcomWriter::DateValue(const TTreeDate& date) {
  const TJDate& record = date.Record;
  const std::optional<TDayMonthYear> dmy = date.Decoded();
  if (!dmy || record.YearUnknown) return "(" + date.Display + ")";
  std::string value;
  if (record.Qualifier < qNone) value = std::string(QualifierPrefixes[record.Qualifier]) + " ";
  if (!record.DayUnknown && !record.MonthUnknown) value += std::to_string(dmy->Day) + " ";
  if (!record.MonthUnknown) value += UpperMonth(dmy->Month) + " ";
  value += std::to_string(dmy->Year);
  if (!dmy->Ad) value += " B.C.";
  return value;
}

void TGedcomWriter::Write(const TFamilyTree& tree, std::ostream& out) {
  out << "0 HEAD\n1 SOUR MKTREE\n1 GEDC\n2 VERS 5.5.1\n2 FORM LINEAGE-LINKED\n1 CHAR UTF-8\n";
  TFamiliesOfPeople partnerIn;
  for (const TTreeLink& link : tree.Links) {
    if (link.RecType == 'P') partnerIn[link.PersFam].push_back(link.ChildMarr);
  }
  for (const TTreePerson& person : tree.People) WritePerson(out, person, partnerIn);
  for (const TTreeFamily& family : tree.Families) WriteFamily(out, family);
  out << "0 TRLR\n";
}

}  // namespace mindrel
