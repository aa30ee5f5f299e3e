#include "engine/components/KeelTable.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "ComponentFixture.h"

namespace keel::testing {
namespace {

class KeelTableTest : public ComponentTest {
 protected:
  void addIgnored(TKeelTable& t, const std::string& dbFolder, int code, const std::string& surname,
                  const std::string& firstnames, int birth) {
    t.Append();
    t.FieldByName("DBFolder").SetAsString(dbFolder);
    t.FieldByName("Code").SetAsInteger(code);
    t.FieldByName("Surname").SetAsString(surname);
    t.FieldByName("Firstnames").SetAsString(firstnames);
    t.FieldByName("Birth date").SetAsInteger(birth);
    t.Post();
  }
  void addLink(TKeelTable& t, const std::string& type, int family, int person) {
    t.Append();
    t.FieldByName("RecType").SetAsString(type);
    t.FieldByName("ChildMarr").SetAsInteger(family);
    if (person != 0) t.FieldByName("PersFam").SetAsInteger(person);
    t.Post();
  }
  static std::vector<int64_t> column(TKeelTable& t, const std::string& name) {
    std::vector<int64_t> values;
    for (t.First(); !t.Eof(); t.Next()) values.push_back(t.FieldByName(name).AsInteger());
    return values;
  }
  // Ignore table open on its primary index with three people in folder "C:\Tree".
  void openIgnoreWithPeople(TKeelTable& t) {
    createIgnoreTable();
    point(t, "Ignore");
    t.Open();
    addIgnored(t, "C:\\Tree", 7, "Smith", "John", 2400000);
    addIgnored(t, "C:\\Tree", 3, "Brown", "anna", 2410000);
    addIgnored(t, "C:\\Other", 7, "Jones", "Carl", 2405000);
  }
};

TEST_F(KeelTableTest, CreatedTableReportsItsDefinitionsAndVersionWhileClosed) {
  createIgnoreTable();
  TKeelTable t;
  point(t, "Ignore.dat");
  EXPECT_EQ(t.UserMajorVersion(), 1);
  EXPECT_FALSE(t.Active());

  t.Open();
  ASSERT_EQ(t.FieldCount(), 10);
  EXPECT_EQ(t.Fields(0).FieldName(), "DBFolder");
  EXPECT_EQ(t.Fields(0).DataType(), TFieldType::ftString);
  EXPECT_EQ(t.Fields(0).Size(), 70);
  EXPECT_EQ(t.FieldByName("code").DataType(), TFieldType::ftInteger);
  EXPECT_EQ(t.FieldByName("AllEvents").DataType(), TFieldType::ftBoolean);
  ASSERT_EQ(t.IndexDefs().Count(), 5u);
  // The primary index is stored without the name it was created under.
  EXPECT_EQ(t.IndexDefs()[0].Name, "");
  EXPECT_EQ(t.IndexDefs()[0].Fields, "DBFolder;Code");
  EXPECT_EQ(t.IndexDefs()[0].Options, ixPrimary | ixUnique);
  EXPECT_EQ(t.IndexDefs()[3].Name, "FirstNamesIdx");
  EXPECT_EQ(t.IndexDefs()[3].Options, ixCaseInsensitive);
  EXPECT_EQ(t.UserMajorVersion(), 1);
}

TEST_F(KeelTableTest, TableNameWithAndWithoutExtensionOpensTheSameTable) {
  createEventsTable();
  TKeelTable a;
  TKeelTable b;
  point(a, "Events");
  point(b, "events.dat");
  a.Open();
  b.Open();
  a.Append();
  a.FieldByName("Description").SetAsString("Armistice");
  a.Post();
  b.First();
  EXPECT_EQ(b.FieldByName("Description").AsString(), "Armistice");
  EXPECT_EQ(b.RecordCount(), 1);
}

TEST_F(KeelTableTest, NavigationKeepsTheLastAndFirstRecordsAtTheEdges) {
  TKeelTable t;
  openIgnoreWithPeople(t);
  EXPECT_EQ(column(t, "Code"), (std::vector<int64_t>{7, 3, 7}));  // "C:\Other" sorts first
  EXPECT_EQ(t.RecordCount(), 3);

  t.Last();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.RecNo(), 3);
  t.Next();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.FieldByName("Surname").AsString(), "Smith");  // still on the last record
  t.Prior();
  EXPECT_FALSE(t.Eof());
  EXPECT_EQ(t.FieldByName("Surname").AsString(), "Brown");
  t.First();
  t.Prior();
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.FieldByName("Surname").AsString(), "Jones");
  EXPECT_TRUE(t.SetRecNo(2));
  EXPECT_EQ(t.FieldByName("Surname").AsString(), "Brown");
}

TEST_F(KeelTableTest, EmptyTableIsAtBothEndsAndRefusesDelete) {
  createEventsTable();
  TKeelTable t;
  point(t, "Events");
  t.Open();
  EXPECT_TRUE(t.Bof());
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.IsEmpty());
  EXPECT_EQ(t.RecNo(), 0);
  EXPECT_TRUE(t.FieldByName("Description").IsNull());
  EXPECT_EQ(DatabaseErrorOf([&] { t.Delete(); }), "Cannot perform this operation on an empty dataset");
}

TEST_F(KeelTableTest, InsertEditDeleteThroughTheDataset) {
  createEventsTable();
  TKeelTable t;
  point(t, "Events");
  t.SetIndexName("DescIdx");
  t.Open();
  for (const char* name : {"Wedding", "Armistice", "Moon landing"}) {
    t.Insert();
    t.FieldByName("Description").SetAsString(name);
    t.FieldByName("Event date DD").SetAsInteger(11);
    t.Post();
  }
  // Auto-increment codes in insertion order, records in description order.
  EXPECT_EQ(column(t, "Code"), (std::vector<int64_t>{2, 3, 1}));

  t.First();
  t.Edit();
  EXPECT_EQ(t.State(), TDataSetState::dsEdit);
  t.FieldByName("Description").SetAsString("Zeppelin");
  t.Post();
  EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(t.FieldByName("Description").AsString(), "Zeppelin");  // stays current at its new place
  EXPECT_EQ(t.RecNo(), 3);

  t.First();
  t.Edit();
  t.FieldByName("Description").SetAsString("Changed");
  t.Cancel();
  EXPECT_EQ(t.FieldByName("Description").AsString(), "Moon landing");

  t.Delete();
  EXPECT_EQ(t.FieldByName("Description").AsString(), "Wedding");
  t.Last();
  t.Delete();  // the last record: the dataset ends on the new last one
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.FieldByName("Description").AsString(), "Wedding");
  EXPECT_EQ(t.RecordCount(), 1);
}

TEST_F(KeelTableTest, FailedPostKeepsTheInsertAndItsValues) {
  TKeelTable t;
  openIgnoreWithPeople(t);
  t.Append();
  t.FieldByName("DBFolder").SetAsString("C:\\Tree");
  t.FieldByName("Code").SetAsInteger(3);
  t.FieldByName("Surname").SetAsString("Twin");
  EXPECT_EQ(EngineErrorOf([&] { t.Post(); }), ErrorCode::KEEL_KEYVIOL);
  EXPECT_EQ(t.State(), TDataSetState::dsInsert);
  EXPECT_EQ(t.FieldByName("Surname").AsString(), "Twin");
  t.FieldByName("Code").SetAsInteger(4);
  t.Post();
  EXPECT_EQ(t.RecordCount(), 4);
}

TEST_F(KeelTableTest, StateAndNameErrorsCarryTheirTexts) {
  TKeelTable t;
  openIgnoreWithPeople(t);
  TKeelField& surname = t.FieldByName("Surname");
  EXPECT_EQ(DatabaseErrorOf([&] { surname.SetAsString("x"); }), "Table is not in edit or insert mode");
  EXPECT_EQ(DatabaseErrorOf([&] { t.FieldByName("Nickname"); }), "Field 'Nickname' not found");
  EXPECT_EQ(t.FindField("Nickname"), nullptr);
  EXPECT_EQ(DatabaseErrorOf([&] { t.SetTableName("Other"); }), "Cannot perform this operation on an open dataset");
  EXPECT_EQ(DatabaseErrorOf([&] { t.CreateTableFromDefs(); }), "Cannot perform this operation on an open dataset");
  t.EnterKeyMode();
  EXPECT_EQ(DatabaseErrorOf([&] { surname.SetAsString("x"); }), "Field 'Surname' is not in the current index");
  t.Cancel();
  surname.ReadOnly = true;
  t.Edit();
  EXPECT_EQ(DatabaseErrorOf([&] { surname.SetAsString("x"); }), "Field 'Surname' cannot be modified");
  t.Cancel();

  TKeelTable unnamed;
  unnamed.SetDatabaseName(folder());
  EXPECT_EQ(DatabaseErrorOf([&] { unnamed.Open(); }), "Missing table name");
  EXPECT_FALSE(unnamed.Exists());
  TKeelTable missing;
  point(missing, "Nowhere");
  EXPECT_EQ(EngineErrorOf([&] { missing.Open(); }), ErrorCode::KEEL_OSENOENT);
  EXPECT_FALSE(missing.Active());
}

TEST_F(KeelTableTest, KeySearchOnThePrimaryIndexNeedsBothValues) {
  TKeelTable t;
  openIgnoreWithPeople(t);
  struct Case {
    const char* folder;
    int code;
    bool found;
  };
  for (const Case& c : {Case{"C:\\Tree", 3, true}, Case{"C:\\Tree", 7, true}, Case{"C:\\Other", 3, false},
                        Case{"C:\\Tre", 7, false}}) {
    t.First();  // "C:\Other" 7, Jones
    t.EnterKeyMode();
    t.FieldByName("Code").SetAsInteger(c.code);
    t.FieldByName("DBFolder").SetAsString(c.folder);
    EXPECT_EQ(t.SearchKey(), c.found) << c.folder << " " << c.code;
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    if (c.found) {
      EXPECT_EQ(t.FieldByName("DBFolder").AsString(), c.folder);
      EXPECT_EQ(t.FieldByName("Code").AsInteger(), c.code);
    } else {
      EXPECT_EQ(t.FieldByName("Surname").AsString(), "Jones");  // where it was
    }
  }
}

TEST_F(KeelTableTest, PartialKeysOnLinkIndexes) {
  createLinksTable();
  TKeelTable t;
  point(t, "Links");
  t.SetIndexName("cfmidx");
  t.Open();
  addLink(t, "C", 5, 11);
  addLink(t, "P", 5, 22);
  addLink(t, "P", 5, 21);
  addLink(t, "P", 6, 30);
  addLink(t, "P", 5, 0);  // no partner recorded

  // Both fields of the two-field index: the first link in index order.
  t.Last();
  t.EnterKeyMode();
  t.FieldByName("RecType").SetAsString("P");
  t.FieldByName("ChildMarr").SetAsInteger(5);
  ASSERT_TRUE(t.SearchKey());
  std::vector<int64_t> partners;
  while (!t.Eof() && t.FieldByName("RecType").AsString() == "P" && t.FieldByName("ChildMarr").AsInteger() == 5) {
    partners.push_back(t.FieldByName("PersFam").AsInteger());
    t.Next();
  }
  EXPECT_EQ(partners, (std::vector<int64_t>{22, 21, 0}));

  // Two of three fields: only a NULL third field matches the whole key; with
  // KeyFieldCount 2 the leading fields decide.
  t.SetIndexName("CFPIdx");
  struct Case {
    int keyFieldCount;
    int family;
    bool found;
    int64_t partner;
  };
  for (const Case& c : {Case{0, 5, true, 0}, Case{0, 6, false, -1}, Case{2, 6, true, 30}, Case{1, 9, true, 0}}) {
    t.EnterKeyMode();
    t.FieldByName("RecType").SetAsString("P");
    t.FieldByName("ChildMarr").SetAsInteger(c.family);
    t.SetKeyFieldCount(c.keyFieldCount);
    EXPECT_EQ(t.SearchKey(), c.found) << c.keyFieldCount << " " << c.family;
    if (c.found) {
      EXPECT_EQ(t.FieldByName("PersFam").IsNull(), c.partner == 0);
      EXPECT_EQ(t.FieldByName("PersFam").AsInteger(), c.partner);
    }
  }
}

TEST_F(KeelTableTest, IndexNamesAreMatchedWithoutRegardToCaseAndKeepTheRecord) {
  TKeelTable t;
  openIgnoreWithPeople(t);
  t.SetIndexName("FirstnamesIdx");  // created as "FirstNamesIdx"
  EXPECT_EQ(t.IndexName(), "FirstnamesIdx");
  t.First();
  EXPECT_EQ(t.FieldByName("Firstnames").AsString(), "anna");  // case-insensitive order
  t.Next();
  EXPECT_EQ(t.FieldByName("Firstnames").AsString(), "Carl");

  t.SetIndexName("");
  EXPECT_EQ(t.FieldByName("Firstnames").AsString(), "Carl");
  EXPECT_EQ(t.RecNo(), 1);  // "C:\Other" first in primary order

  t.SetIndexFieldNames("surname");  // a prefix of "Surname;Firstnames;Birth date"
  EXPECT_EQ(t.IndexName(), "");
  t.First();
  EXPECT_EQ(t.FieldByName("Surname").AsString(), "Brown");

  EXPECT_EQ(EngineErrorOf([&] { t.SetIndexName("NoSuchIdx"); }), ErrorCode::KEEL_INVALIDINDEXNAME);
  EXPECT_EQ(DatabaseErrorOf([&] { t.SetIndexFieldNames("Events"); }), "No index for fields 'Events'");
}

TEST_F(KeelTableTest, RawBytesAndNulls) {
  createLinksTable();
  TKeelTable t;
  point(t, "Links");
  t.Open();
  addLink(t, "P", 1, 2);
  std::array<uint8_t, 80> buffer;
  buffer.fill(0xAA);
  TKeelField& date = t.FieldByName("Search date~B");
  EXPECT_EQ(date.DataType(), TFieldType::ftBytes);
  EXPECT_EQ(date.Size(), 72);
  EXPECT_FALSE(date.GetData(buffer));
  EXPECT_EQ(buffer[0], 0xAA);

  std::vector<uint8_t> record(72);
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i + 1);
  t.Edit();
  date.SetData(record);
  t.Post();
  ASSERT_TRUE(date.GetData(buffer));
  EXPECT_TRUE(std::equal(record.begin(), record.end(), buffer.begin()));
  EXPECT_EQ(buffer[72], 0xAA);  // exactly 72 bytes

  // Texts of blanks store NULL; a NULL reads as the type's empty value.
  t.Edit();
  t.FieldByName("RecType").SetAsString("   ");
  t.FieldByName("ChildMarr").Clear();
  t.Post();
  EXPECT_TRUE(t.FieldByName("RecType").IsNull());
  EXPECT_EQ(t.FieldByName("RecType").AsString(), "");
  EXPECT_EQ(t.FieldByName("ChildMarr").AsInteger(), 0);
}

TEST_F(KeelTableTest, TypedValuesCrossTheTextEdge) {
  createIgnoreTable();
  createEventsTable();
  TKeelTable t;
  point(t, "Ignore");
  t.Open();
  t.Append();
  t.FieldByName("DBFolder").SetAsString("C:\\Stammbaum");
  t.FieldByName("Surname").SetAsString("Müller");
  t.FieldByName("AllEvents").SetAsBoolean(true);
  t.FieldByName("Code").SetAsString(" 42 ");
  t.Post();
  EXPECT_EQ(t.FieldByName("Surname").AsString(), "Müller");
  std::array<uint8_t, 61> stored{};
  ASSERT_TRUE(t.FieldByName("Surname").GetData(stored));
  EXPECT_EQ(stored[1], 0xFC);  // stored as Windows-1252
  EXPECT_TRUE(t.FieldByName("AllEvents").AsBoolean());
  EXPECT_EQ(t.FieldByName("AllEvents").AsString(), "True");
  EXPECT_EQ(t.FieldByName("Code").AsInteger(), 42);

  TKeelTable events;
  point(events, "Events");
  events.Open();
  events.Append();
  TKeelField& day = events.FieldByName("Event date DD");
  EXPECT_EQ(DatabaseErrorOf([&] { day.SetAsInteger(40000); }),
            "40000 is not a valid value for field 'Event date DD'. The allowed range is -32768 to 32767");
  EXPECT_EQ(DatabaseErrorOf([&] { day.SetAsString("tenth"); }), "'tenth' is not a valid value for field 'Event date DD'");
  day.SetAsFloat(24.6);
  EXPECT_EQ(day.AsInteger(), 25);
  events.FieldByName("Description").Assign(t.FieldByName("Surname"));
  events.Post();
  EXPECT_EQ(events.FieldByName("Description").AsString(), "Müller");
}

TEST_F(KeelTableTest, DefinitionsAreCheckedBeforeAnythingIsWritten) {
  using Defs = std::function<void(TKeelTable&)>;
  struct Case {
    const char* message;
    Defs defs;
  };
  const std::vector<Case> cases = {
      {"Only one primary index allowed per table",
       [](TKeelTable& t) {
         t.FieldDefs().Add("A", TFieldType::ftInteger);
         t.IndexDefs().Add("P1", "A", ixPrimary);
         t.IndexDefs().Add("P2", "A", ixPrimary);
       }},
      {"Field name missing", [](TKeelTable& t) { t.FieldDefs().Add(" ", TFieldType::ftInteger); }},
      {"Invalid field size", [](TKeelTable& t) { t.FieldDefs().Add("A", TFieldType::ftString, 0); }},
      {"Invalid field size", [](TKeelTable& t) { t.FieldDefs().Add("A", TFieldType::ftBytes, 513); }},
      {"Invalid field size", [](TKeelTable& t) { t.FieldDefs().Add("A", TFieldType::ftInteger, 4); }},
      {"Invalid field size", [](TKeelTable& t) { t.FieldDefs().Add("A", TFieldType::ftBCD, 33); }},
      {"Duplicate index name 'bya'",
       [](TKeelTable& t) {
         t.FieldDefs().Add("A", TFieldType::ftInteger);
         t.IndexDefs().Add("ByA", "A");
         t.IndexDefs().Add("bya", "A");
       }},
  };
  for (const Case& c : cases) {
    TKeelTable t;
    point(t, "Bad");
    c.defs(t);
    EXPECT_EQ(DatabaseErrorOf([&] { t.CreateTableFromDefs(); }), c.message);
    EXPECT_FALSE(std::filesystem::exists(folder() + "/Bad.dat")) << c.message;
  }
}

TEST_F(KeelTableTest, PrimaryDefinitionMovesToTheFrontAndExistingTablesAreRefused) {
  TKeelTable t;
  point(t, "Ordered");
  t.FieldDefs().Add("Name", TFieldType::ftString, 20);
  t.FieldDefs().Add("Id", TFieldType::ftInteger);
  t.IndexDefs().Add("ByName", "Name", ixCaseInsensitive);
  t.IndexDefs().Add("Primary", "Id", ixPrimary | ixUnique);
  t.CreateTableFromDefs();
  EXPECT_EQ(EngineErrorOf([&] { t.CreateTableFromDefs(); }), ErrorCode::KEEL_TABLEEXISTS);
  EXPECT_TRUE(t.Exists());
  t.RefreshDefs();
  ASSERT_EQ(t.IndexDefs().Count(), 2u);
  EXPECT_EQ(t.IndexDefs()[0].Fields, "Id");
  EXPECT_EQ(t.IndexDefs()[1].Name, "ByName");
}

TEST_F(KeelTableTest, MemoValuesGoThroughStreams) {
  TKeelTable t;
  point(t, "Notes");
  t.FieldDefs().Add("Id", TFieldType::ftInteger);
  t.FieldDefs().Add("Text", TFieldType::ftMemo);
  t.IndexDefs().Add("Primary", "Id", ixPrimary | ixUnique);
  t.CreateTableFromDefs();
  t.Open();
  TKeelField& text = t.FieldByName("Text");
  EXPECT_EQ(text.DataType(), TFieldType::ftMemo);
  EXPECT_EQ(DatabaseErrorOf([&] { t.CreateBlobStream(text, TBlobStreamMode::bmWrite); }),
            "Table is not in edit or insert mode");

  t.Append();
  t.FieldByName("Id").SetAsInteger(1);
  {
    auto stream = t.CreateBlobStream(text, TBlobStreamMode::bmWrite);
    const std::string words = "born in Zurich";
    stream->Write({reinterpret_cast<const uint8_t*>(words.data()), words.size()});
    stream->Seek(-6, TSeekOrigin::soEnd);
    const std::string fix = "Basel";
    stream->Write({reinterpret_cast<const uint8_t*>(fix.data()), fix.size()});
    stream->SetSize(13);
  }
  EXPECT_EQ(text.AsString(), "born in Basel");
  t.Post();
  EXPECT_EQ(text.AsString(), "born in Basel");

  t.Edit();
  text.SetAsString("changed");
  t.Cancel();
  EXPECT_EQ(text.AsString(), "born in Basel");
  t.Edit();
  text.SetAsString("Zürich");
  t.Post();
  EXPECT_EQ(text.AsString(), "Zürich");
  EXPECT_EQ(t.CreateBlobStream(text, TBlobStreamMode::bmRead)->Size(), 6u);  // stored single-byte
  t.Edit();
  text.Clear();
  t.Post();
  EXPECT_TRUE(text.IsNull());
  auto reading = t.CreateBlobStream(text, TBlobStreamMode::bmRead);
  EXPECT_EQ(reading->Size(), 0u);
  EXPECT_EQ(DatabaseErrorOf([&] { reading->SetSize(3); }), "Field 'Text' cannot be modified");
}

TEST_F(KeelTableTest, EventsRunInOrderAndAFailingBeforePostKeepsTheEdit) {
  createEventsTable();
  std::vector<std::string> seen;  // outlives the table, whose end runs its close events
  TKeelTable t;
  point(t, "Events");
  auto note = [&](const char* name) { return [&seen, name](TKeelDataSet&) { seen.push_back(name); }; };
  t.BeforeOpen = note("BeforeOpen");
  t.AfterOpen = note("AfterOpen");
  t.BeforeInsert = note("BeforeInsert");
  t.OnNewRecord = [&](TKeelDataSet& d) {
    seen.push_back("OnNewRecord");
    d.FieldByName("EventType").SetAsInteger(5);
  };
  t.AfterInsert = note("AfterInsert");
  t.BeforePost = [&](TKeelDataSet& d) {
    seen.push_back("BeforePost");
    if (d.FieldByName("Description").IsNull()) throw std::runtime_error("Description needed");
  };
  t.AfterPost = note("AfterPost");
  t.BeforeClose = note("BeforeClose");
  t.BeforeCancel = note("BeforeCancel");
  t.AfterClose = note("AfterClose");
  t.Open();
  t.Insert();
  EXPECT_THROW(t.Post(), std::runtime_error);
  EXPECT_EQ(t.State(), TDataSetState::dsInsert);
  t.FieldByName("Description").SetAsString("Day");
  t.Post();
  EXPECT_EQ(t.FieldByName("EventType").AsInteger(), 5);
  t.Append();
  t.Close();  // cancels the pending insert
  EXPECT_EQ(seen, (std::vector<std::string>{"BeforeOpen", "AfterOpen", "BeforeInsert", "OnNewRecord", "AfterInsert",
                                            "BeforePost", "BeforePost", "AfterPost", "BeforeInsert", "OnNewRecord",
                                            "AfterInsert", "BeforeClose", "BeforeCancel", "AfterClose"}));
  t.Open();
  EXPECT_EQ(t.RecordCount(), 1);
}

TEST_F(KeelTableTest, EditingARecordAnotherCursorDeletedIsRefused) {
  TKeelTable a;
  openIgnoreWithPeople(a);
  TKeelTable b;
  point(b, "Ignore");
  b.Open();
  a.First();
  a.Delete();
  EXPECT_EQ(b.FieldByName("Surname").AsString(), "Jones");  // still the record b read
  EXPECT_EQ(EngineErrorOf([&] { b.Edit(); }), ErrorCode::KEEL_KEYORRECDELETED);
  EXPECT_EQ(b.State(), TDataSetState::dsBrowse);
}

TEST_F(KeelTableTest, AttachedViewsAreToldOfChangesUnlessSuspended) {
  createEventsTable();
  TKeelTable t;
  point(t, "Events");
  std::vector<TDataEvent> told;
  const int link = t.AddDataLink([&](TKeelDataSet&, TDataEvent e) { told.push_back(e); });
  t.Open();
  t.Append();
  t.FieldByName("Description").SetAsString("Day");
  t.Post();
  t.First();
  using enum TDataEvent;
  EXPECT_EQ(told, (std::vector<TDataEvent>{deLayoutChange, deDataSetChange, deRecordChange, deDataSetChange,
                                           deDataSetScroll}));
  told.clear();
  t.DisableControls();
  t.DisableControls();
  t.Edit();
  t.Delete();
  t.EnableControls();
  EXPECT_TRUE(told.empty());
  t.EnableControls();
  EXPECT_EQ(told, (std::vector<TDataEvent>{deDataSetChange}));
  t.RemoveDataLink(link);
  t.Close();
  EXPECT_EQ(told.size(), 1u);
}

TEST_F(KeelTableTest, ReadOnlyTableRefusesChanges) {
  createEventsTable();
  TKeelTable t;
  point(t, "Events");
  t.SetReadOnly(true);
  t.Open();
  EXPECT_FALSE(t.CanModify());
  EXPECT_EQ(DatabaseErrorOf([&] { t.Insert(); }), "Cannot modify a read-only dataset");
}

}  // namespace
}  // namespace keel::testing
