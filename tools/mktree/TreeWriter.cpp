#include "tools/mktree/TreeWriter.h"

#include "engine/core/DataCursor.h"
#include "tools/mktree/RowBuilder.h"
#include "tools/mktree/TreeSchema.h"

namespace mindrel {

namespace {

// Exclusive cursors write their pages back once, at close.
keel::CursorOpenFlags ForWriting() {
  keel::CursorOpenFlags flags;
  flags.exclusive = true;
  return flags;
}

void Create(keel::TDataDirectory& directory, keel::TableCreateRequest request, bool replace) {
  request.replaceExisting = replace;
  directory.createTable(request);
}

}  // namespace

TTreeWriter::TTreeWriter(std::string folder, const Clock& clock)
    : folder_(std::move(folder)), engine_(clock), session_(engine_) {}

std::vector<std::string> TTreeWriter::ExistingTables() {
  keel::TDataDirectory directory(session_, folder_);
  std::vector<std::string> existing;
  for (const char* table : {tree_schema::kPeople, tree_schema::kFamilies, tree_schema::kLinks})
    if (directory.tableExists(table)) existing.push_back(std::string(table) + ".dat");
  return existing;
}

void TTreeWriter::Write(const TFamilyTree& tree, bool replace) {
  keel::TDataDirectory directory(session_, folder_);
  Create(directory, tree_schema::People(), replace);
  Create(directory, tree_schema::Families(), replace);
  Create(directory, tree_schema::Links(), replace);
  WritePeople(directory, tree);
  WriteFamilies(directory, tree);
  WriteLinks(directory, tree);
}

void TTreeWriter::WritePeople(keel::TDataDirectory& directory, const TFamilyTree& tree) {
  keel::TDataCursor cursor(directory, tree_schema::kPeople, ForWriting());
  TRowBuilder row(cursor);
  for (const TTreePerson& person : tree.People) {
    row.Integer("Code", person.Code)
        .Text("Surname", person.Surname)
        .Text("FirstNames", person.FirstNames)
        .Text("Sex", std::string(1, person.Sex))
        .Boolean("Dead", person.Dead)
        .DateTriple("Search date", person.Birth)
        .Text("Search place", person.BirthPlace)
        .DateTriple("Death date", person.Death)
        .Text("Death place", person.DeathPlace)
        .DateTriple("Burial date", person.Burial)
        .Text("Burial place", person.Burial ? person.DeathPlace : "")
        .Text("Baptism place", person.BaptismPlace)
        .Text("Occupation", person.Occupation)
        .Text("Notes", person.Notes)
        .Boolean("Private", false)
        .CalendarDate("Last changed", person.LastChanged)
        .Integer("Record status", 0)
        .DateTriple("Baptism", person.Baptism)
        .CustomCalendarDate("Baptism", person.Baptism)
        .DateTriple("Emigration", person.Emigration)
        .CustomCalendarDate("Emigration", person.Emigration);
    if (person.ParentFamily != 0) row.Integer("Parent family", person.ParentFamily);
    row.Append();
  }
}

void TTreeWriter::WriteFamilies(keel::TDataDirectory& directory, const TFamilyTree& tree) {
  keel::TDataCursor cursor(directory, tree_schema::kFamilies, ForWriting());
  TRowBuilder row(cursor);
  for (const TTreeFamily& family : tree.Families) {
    row.Integer("Code", family.Code)
        .Text("Fathers name", family.FathersName)
        .Text("Mothers name", family.MothersName)
        .DateTriple("Marriage date", family.Marriage)
        .Text("Marriage place", family.MarriagePlace)
        .DateTriple("Divorce date", family.Divorce)
        .Integer("Children", static_cast<std::int32_t>(family.Children.size()))
        .Boolean("Private", false)
        .Text("Status", family.Status)
        .CalendarDate("Last changed", family.LastChanged)
        .Integer("Record status", 0)
        .DateTriple("Engagement", family.Engagement)
        .CustomCalendarDate("Engagement", family.Engagement)
        .DateTriple("Emigration", family.Emigration)
        .CustomCalendarDate("Emigration", family.Emigration)
        .Append();
  }
}

void TTreeWriter::WriteLinks(keel::TDataDirectory& directory, const TFamilyTree& tree) {
  keel::TDataCursor cursor(directory, tree_schema::kLinks, ForWriting());
  TRowBuilder row(cursor);
  for (const TTreeLink& link : tree.Links) {
    row.Text("RecType", std::string(1, link.RecType))
        .Integer("ChildMarr", link.ChildMarr)
        .Integer("PersFam", link.PersFam)
        .Integer("Sequence", link.Sequence)
        .Append();
  }
}

}  // namespace mindrel
