// Runs the built mktree into temporary folders and reads what it wrote back
// through the table engine, the way Mindrel opens a family-tree folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "dates/UDate.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/DataCursor.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "tests/support/ToolRun.h"

namespace mindrel {
namespace {

namespace fs = std::filesystem;
using testing::RunTool;
using testing::ToolRun;

std::string MakeTempFolder() {
  char pattern[] = "/tmp/mktree-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

// One table read whole through a read-only cursor.
struct TableCopy {
  int16_t userMajor = 0;
  std::vector<keel::FieldDescriptor> fields;
  std::vector<keel::IndexDescriptor> indexes;  // slot 0 first
  std::vector<std::vector<uint8_t>> rows;      // in primary-index order

  int column(const std::string& name) const {
    for (size_t i = 0; i < fields.size(); ++i)
      if (fields[i].name == name) return static_cast<int>(i);
    return -1;
  }
  keel::FieldRead get(const std::vector<uint8_t>& row, const std::string& name) const {
    const int at = column(name);
    if (at < 0) throw std::runtime_error("no column " + name);
    return keel::GetField(row, fields[static_cast<size_t>(at)]);
  }
  bool isNull(const std::vector<uint8_t>& row, const std::string& name) const {
    return get(row, name).isNull;
  }
  int32_t integer(const std::vector<uint8_t>& row, const std::string& name) const {
    return keel::LoadI32(get(row, name).bytes.data());
  }
  std::string text(const std::vector<uint8_t>& row, const std::string& name) const {
    const keel::FieldRead read = get(row, name);
    if (read.isNull) return "";
    const auto* chars = reinterpret_cast<const char*>(read.bytes.data());
    return std::string(chars, strnlen(chars, read.bytes.size()));
  }
  std::optional<TJDate> date(const std::vector<uint8_t>& row, const std::string& date) const {
    const keel::FieldRead read = get(row, date + "~B");
    if (read.isNull) return std::nullopt;
    return TJDate::FromBytes(read.bytes.data());
  }
  // Row contents without the row header, whose hash may differ between runs.
  std::vector<std::vector<uint8_t>> contents() const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& row : rows) out.emplace_back(row.begin() + keel::kRowHeaderSize, row.end());
    return out;
  }
};

TableCopy ReadTable(const std::string& folder, const std::string& name) {
  keel::TDataEngine engine;
  keel::TDataSession session(engine);
  keel::TDataDirectory directory(session, folder);
  keel::CursorOpenFlags flags;
  flags.readOnly = true;
  keel::TDataCursor cursor(directory, name, flags);
  TableCopy copy;
  copy.userMajor = cursor.table().data().header().userMajor;
  copy.fields = cursor.fields();
  for (int slot = 0; slot < cursor.table().indexCount(); ++slot)
    copy.indexes.push_back(cursor.table().index().descriptor(slot));
  std::vector<uint8_t> row(cursor.rowSize());
  for (keel::Nav at = cursor.first(); at == keel::Nav::Ok; at = cursor.next()) {
    cursor.currentRow(row);
    copy.rows.push_back(row);
  }
  return copy;
}

struct Tree {
  TableCopy people, families, links;
};

Tree ReadTree(const std::string& folder) {
  return {ReadTable(folder, "People"), ReadTable(folder, "Families"), ReadTable(folder, "Links")};
}

int DayKey(const TDayMonthYear& dmy) {
  return dmy.Month * 100 + dmy.Day;
}

// One tree shared by the tests that only read it: February 2024, so that the
// 30 days ahead hold a 29 February.
class MkTreeTest : public ::testing::Test {
 protected:
  static constexpr const char* kToday = "2024-02-15";

  static void SetUpTestSuite() {
    folder_ = new std::string(MakeTempFolder());
    run_ = new ToolRun(RunTool(
        "mktree", {*folder_ + "/tree", "--people", "400", "--seed", "11", "--today", kToday}, *folder_));
    if (run_->code == 0) tree_ = new Tree(ReadTree(*folder_ + "/tree"));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*folder_);
    delete tree_;
    delete run_;
    delete folder_;
  }
  void SetUp() override {
    ASSERT_EQ(run_->code, 0) << run_->err;
    ASSERT_NE(tree_, nullptr);
  }
  void TearDown() override {
    for (const std::string& scratch : scratch_) fs::remove_all(scratch);
  }
  std::string scratch() { return scratch_.emplace_back(MakeTempFolder()); }

  static const Tree& tree() { return *tree_; }
  static std::string* folder_;
  static ToolRun* run_;
  static Tree* tree_;
  std::vector<std::string> scratch_;
};

std::string* MkTreeTest::folder_ = nullptr;
ToolRun* MkTreeTest::run_ = nullptr;
Tree* MkTreeTest::tree_ = nullptr;

TEST_F(MkTreeTest, TablesHaveTheFamilyTreeProgramsLayout) {
  const Tree& t = tree();
  EXPECT_EQ(t.people.userMajor, 3);
  EXPECT_EQ(t.families.userMajor, 3);

  struct Expected {
    const TableCopy* table;
    const char* name;
    keel::FieldType type;
    uint16_t size;  // 0: any
    int before;     // the column lies among the program's own columns
  };
  using keel::FieldType;
  const Expected expected[] = {
      {&t.people, "Code", FieldType::Integer, 0, 37},
      {&t.people, "Surname", FieldType::String, 0, 37},
      {&t.people, "FirstNames", FieldType::String, 0, 37},
      {&t.people, "Sex", FieldType::String, 0, 37},
      {&t.people, "Dead", FieldType::Boolean, 0, 37},
      {&t.people, "Search date~B", FieldType::Bytes, 72, 37},
      {&t.people, "Search date~J", FieldType::Integer, 0, 37},
      {&t.people, "Search date~D", FieldType::String, 0, 37},
      {&t.people, "Search place", FieldType::String, 0, 37},
      {&t.people, "Death date~B", FieldType::Bytes, 72, 37},
      {&t.people, "Death date~J", FieldType::Integer, 0, 37},
      {&t.people, "Death date~D", FieldType::String, 0, 37},
      {&t.families, "Code", FieldType::Integer, 0, 23},
      {&t.families, "Fathers name", FieldType::String, 0, 23},
      {&t.families, "Mothers name", FieldType::String, 0, 23},
      {&t.families, "Marriage place", FieldType::String, 0, 23},
      {&t.families, "Marriage date~B", FieldType::Bytes, 72, 23},
      {&t.families, "Marriage date~J", FieldType::Integer, 0, 23},
      {&t.families, "Marriage date~D", FieldType::String, 0, 23},
      {&t.families, "Divorce date~B", FieldType::Bytes, 72, 23},
      {&t.families, "Divorce date~J", FieldType::Integer, 0, 23},
      {&t.families, "Divorce date~D", FieldType::String, 0, 23},
      {&t.links, "RecType", FieldType::String, 1, 99},
      {&t.links, "ChildMarr", FieldType::Integer, 0, 99},
      {&t.links, "PersFam", FieldType::Integer, 0, 99},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name);
    const int at = e.table->column(e.name);
    ASSERT_GE(at, 0);
    EXPECT_LT(at, e.before);
    const keel::FieldDescriptor& field = e.table->fields[static_cast<size_t>(at)];
    EXPECT_EQ(field.type, e.type);
    if (e.size != 0) {
      EXPECT_EQ(field.size, e.size);
    }
  }

  // The event types Mindrel offers: the date columns from the first custom
  // column on, each with its stored date triple.
  auto offered = [](const TableCopy& table, size_t first) {
    std::vector<std::string> names;
    for (size_t i = first; i < table.fields.size(); ++i) {
      if (table.fields[i].type != FieldType::Date) continue;
      names.push_back(table.fields[i].name);
      for (const char* suffix : {"~B", "~J", "~D"})
        EXPECT_GE(table.column(table.fields[i].name + suffix), static_cast<int>(first));
    }
    return names;
  };
  EXPECT_EQ(offered(t.people, 37), (std::vector<std::string>{"Baptism", "Emigration"}));
  EXPECT_EQ(offered(t.families, 23), (std::vector<std::string>{"Engagement", "Emigration"}));

  // Partners are looked up by "Code" on the primary index.
  for (const TableCopy* table : {&t.people, &t.families}) {
    ASSERT_FALSE(table->indexes.empty());
    EXPECT_TRUE(table->indexes[0].unique);
    EXPECT_EQ(table->indexes[0].fields, (std::vector<keel::IndexKeyField>{{1, false}}));
  }
}

TEST_F(MkTreeTest, CfmIdxWalksEachFamilysPartnerLinks) {
  const TableCopy& links = tree().links;
  const keel::IndexDescriptor* cfm = nullptr;
  for (const keel::IndexDescriptor& index : links.indexes)
    if (index.name == "CFMIdx") cfm = &index;
  ASSERT_NE(cfm, nullptr);
  EXPECT_FALSE(cfm->unique);
  const uint16_t recType = static_cast<uint16_t>(links.column("RecType") + 1);
  const uint16_t childMarr = static_cast<uint16_t>(links.column("ChildMarr") + 1);
  EXPECT_EQ(cfm->fields, (std::vector<keel::IndexKeyField>{{recType, false}, {childMarr, false}}));

  // Partner names as the families table holds them, and as the links give them.
  std::map<int32_t, std::string> registerName;
  for (const auto& row : tree().people.rows) {
    const std::string surname = tree().people.text(row, "Surname");
    const std::string first = tree().people.text(row, "FirstNames");
    registerName[tree().people.integer(row, "Code")] =
        surname.empty() && first.empty() ? "" : surname + ", " + first;
  }

  // The scan's partner walk: key search on ("P", family) with two key fields,
  // then onwards while the key still matches.
  keel::TDataEngine engine;
  keel::TDataSession session(engine);
  keel::TDataDirectory directory(session, *folder_ + "/tree");
  keel::CursorOpenFlags readOnly;
  readOnly.readOnly = true;
  keel::TDataCursor cursor(directory, "Links", readOnly);
  cursor.setIndex("CFMIdx");
  int familiesWithTwoPartners = 0;
  for (const auto& family : tree().families.rows) {
    const int32_t code = tree().families.integer(family, "Code");
    std::vector<uint8_t> key = cursor.newRow();
    keel::SetFieldValue(key, cursor.field("RecType"), std::vector<uint8_t>{'P'}, 0);
    std::vector<uint8_t> codeBytes(4);
    keel::StoreI32(codeBytes.data(), code);
    keel::SetFieldValue(key, cursor.field("ChildMarr"), codeBytes, 0);

    std::multiset<std::string> walked;
    std::vector<uint8_t> row(cursor.rowSize());
    if (cursor.findKey(key, 2)) {
      while (cursor.currentRow(row) == keel::Nav::Ok && links.text(row, "RecType") == "P" &&
             links.integer(row, "ChildMarr") == code) {
        ASSERT_TRUE(registerName.contains(links.integer(row, "PersFam")));
        walked.insert(registerName[links.integer(row, "PersFam")]);
        if (cursor.next() != keel::Nav::Ok) break;
      }
    }
    std::multiset<std::string> named;
    for (const char* column : {"Fathers name", "Mothers name"})
      if (!tree().families.isNull(family, column)) named.insert(tree().families.text(family, column));
    // A partner without a name leaves the name column empty but still has a link.
    std::multiset<std::string> walkedNamed;
    for (const std::string& name : walked)
      if (!name.empty()) walkedNamed.insert(name);
    EXPECT_EQ(walkedNamed, named) << "family " << code;
    EXPECT_GE(walked.size(), 1u) << "family " << code;
    if (walked.size() == 2) ++familiesWithTwoPartners;
  }
  EXPECT_GT(familiesWithTwoPartners, 0);
  for (const auto& row : links.rows) {
    const std::string type = links.text(row, "RecType");
    EXPECT_TRUE(type == "P" || type == "C");
    EXPECT_TRUE(registerName.contains(links.integer(row, "PersFam")));
  }
}

// Every stored date is a record the date reader would have made from its
// text: "~B" decodes, "~J" is its day number, and the three columns are NULL
// together.
TEST_F(MkTreeTest, EveryDateTripleIsASoundRecord) {
  int checked = 0;
  for (const TableCopy* table : {&tree().people, &tree().families, &tree().links}) {
    for (const keel::FieldDescriptor& field : table->fields) {
      if (!field.name.ends_with("~B")) continue;
      const std::string date = field.name.substr(0, field.name.size() - 2);
      SCOPED_TRACE(date);
      const bool hasCalendarColumn = table->column(date) >= 0;
      for (const auto& row : table->rows) {
        const std::optional<TJDate> record = table->date(row, date);
        EXPECT_EQ(table->isNull(row, date + "~J"), !record);
        EXPECT_EQ(table->isNull(row, date + "~D"), !record);
        if (!record) {
          if (hasCalendarColumn) {
            EXPECT_TRUE(table->isNull(row, date));
          }
          continue;
        }
        ++checked;
        EXPECT_EQ(table->integer(row, date + "~J"), record->JDay);
        const std::string display = table->text(row, date + "~D");
        TDayMonthYear dmy;
        if (record->PhraseLength > 0) {
          EXPECT_EQ(record->JDay, kPhraseJDay);
          EXPECT_FALSE(JDateToDMY(*record, dmy));
          EXPECT_EQ(record->Phrase(), display);
          continue;
        }
        ASSERT_TRUE(JDateToDMY(*record, dmy)) << display;
        if (record->YearUnknown != 0) {
          // No written form: the record holds the day and month in AD 1.
          EXPECT_EQ(record->JDay, DMYToJDay(dmy.Day, dmy.Month, 1, true)) << display;
          EXPECT_EQ(record->DayUnknown + record->MonthUnknown, 0) << display;
        } else {
          TJDate reread;
          std::string message;
          ASSERT_TRUE(StrToJDate(reread, display, message, TDateOptions{1, ' '}, true))
              << display << ": " << message;
          EXPECT_EQ(reread.ToBytes(), record->ToBytes()) << display;
        }
        if (hasCalendarColumn) {
          const bool full =
              record->DayUnknown == 0 && record->MonthUnknown == 0 && record->YearUnknown == 0 && dmy.Ad;
          ASSERT_EQ(table->isNull(row, date), !full) << display;
          if (full) {
            const keel::FieldRead calendar = table->get(row, date);
            char iso[16];
            std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", dmy.Year, dmy.Month, dmy.Day);
            EXPECT_EQ(keel::FormatFieldText(table->fields[static_cast<size_t>(table->column(date))],
                                            calendar.bytes),
                      iso);
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 500);
}

// The awkward cases Mindrel must handle are all present in one tree.
TEST_F(MkTreeTest, TreeHoldsEveryKindOfAwkwardRecord) {
  const Tree& t = tree();
  std::map<std::string, int> seen;
  auto countDate = [&](const TableCopy& table, const std::vector<uint8_t>& row, const std::string& date) {
    const std::optional<TJDate> record = table.date(row, date);
    if (!record) return;
    TDayMonthYear dmy;
    if (!JDateToDMY(*record, dmy)) {
      ++seen["phrase"];
      return;
    }
    if (record->YearUnknown) ++seen["day and month without year"];
    if (record->DayUnknown && !record->MonthUnknown) ++seen["month and year"];
    if (record->DayUnknown && record->MonthUnknown) ++seen["year only"];
    if (record->Qualifier < qNone) ++seen[std::string("qualifier ") + QualifierPrefixes[record->Qualifier]];
    if (!dmy.Ad) ++seen["before Christ"];
    if (dmy.Month == 2 && dmy.Day == 29 && !record->DayUnknown) ++seen["29 February"];
  };
  std::map<int32_t, std::optional<bool>> dead;
  for (const auto& row : t.people.rows) {
    for (const char* date : {"Search date", "Death date", "Baptism", "Emigration"})
      countDate(t.people, row, date);
    const std::optional<bool> isDead = t.people.isNull(row, "Dead")
                                           ? std::nullopt
                                           : std::optional<bool>(t.people.get(row, "Dead").bytes[0] != 0);
    dead[t.people.integer(row, "Code")] = isDead;
    // Dead people, and only they, have death dates.
    EXPECT_EQ(isDead.value_or(false), !t.people.isNull(row, "Death date~B")) << t.people.integer(row, "Code");
    if (isDead == false) ++seen["living"];
    if (!isDead) ++seen["dead flag never set"];
    if (isDead == true) ++seen["dead"];
    const std::string name = t.people.text(row, "FirstNames") + t.people.text(row, "Surname");
    if (name.empty()) ++seen["person without a name"];
    if (t.people.isNull(row, "Search date~B")) ++seen["person without a birth date"];
    for (unsigned char c : name)
      if (c >= 0xC0) ++seen["accented name (Windows-1252)"];
    if (name.find('?') != std::string::npos) ++seen["name with an unconvertible character"];
  }
  for (const auto& row : t.families.rows) {
    for (const char* date : {"Marriage date", "Divorce date", "Engagement", "Emigration"})
      countDate(t.families, row, date);
    if (!t.families.isNull(row, "Divorce date~B")) ++seen["divorce"];
    if (t.families.isNull(row, "Fathers name") && t.families.isNull(row, "Mothers name"))
      ++seen["family without names"];
  }
  std::map<int32_t, std::vector<int32_t>> partners;
  for (const auto& row : t.links.rows)
    if (t.links.text(row, "RecType") == "P")
      partners[t.links.integer(row, "ChildMarr")].push_back(t.links.integer(row, "PersFam"));
  for (const auto& [family, codes] : partners) {
    bool allDead = true;
    for (int32_t code : codes) allDead = allDead && dead[code] == true;
    if (allDead && codes.size() == 2) ++seen["couple both dead"];
    if (!allDead && codes.size() == 2) ++seen["couple with a living partner"];
  }

  for (const char* kind : {"phrase",
                           "day and month without year",
                           "month and year",
                           "year only",
                           "qualifier ABT",
                           "qualifier AFT",
                           "qualifier BEF",
                           "qualifier EST",
                           "before Christ",
                           "29 February",
                           "living",
                           "dead",
                           "dead flag never set",
                           "person without a name",
                           "person without a birth date",
                           "accented name (Windows-1252)",
                           "divorce",
                           "family without names",
                           "couple both dead",
                           "couple with a living partner"})
    EXPECT_GT(seen[kind], 0) << kind;
  EXPECT_EQ(seen["name with an unconvertible character"], 0);
}

// Parent links as real trees have them: the child links agree with each
// child's "Parent family"; some people marry twice and have children in
// both marriages (half-siblings), some marriages join two families' children
// each bringing children of their own, and some couples share grandparents.
TEST_F(MkTreeTest, ParentLinksHoldRemarriagesAndRepeatedAncestors) {
  const Tree& t = tree();
  std::map<int32_t, std::vector<int32_t>> partners, children, familiesOf;
  for (const auto& row : t.links.rows) {
    const int32_t family = t.links.integer(row, "ChildMarr");
    const int32_t person = t.links.integer(row, "PersFam");
    if (t.links.text(row, "RecType") == "P") {
      partners[family].push_back(person);
      familiesOf[person].push_back(family);
    } else {
      children[family].push_back(person);
    }
  }
  std::map<int32_t, int32_t> parentFamily;
  for (const auto& row : t.people.rows) {
    if (!t.people.isNull(row, "Parent family"))
      parentFamily[t.people.integer(row, "Code")] = t.people.integer(row, "Parent family");
  }
  int childLinks = 0;
  for (const auto& [family, kids] : children) {
    for (const int32_t child : kids) {
      EXPECT_EQ(parentFamily[child], family) << child;
      ++childLinks;
    }
  }
  EXPECT_EQ(childLinks, static_cast<int>(parentFamily.size()));

  int halfSiblingParents = 0;
  for (const auto& [person, families] : familiesOf) {
    int withChildren = 0;
    for (const int32_t family : families) withChildren += children[family].empty() ? 0 : 1;
    if (withChildren >= 2) ++halfSiblingParents;
  }
  int stepFamilies = 0;
  int cousinCouples = 0;
  auto grandparents = [&](int32_t person) {
    std::set<int32_t> found;
    for (const int32_t parent : partners[parentFamily[person]])
      for (const int32_t grandparent : partners[parentFamily[parent]]) found.insert(grandparent);
    return found;
  };
  for (const auto& [family, couple] : partners) {
    if (couple.size() != 2) continue;
    bool bothBringChildren = true;
    for (const int32_t partner : couple) {
      bool earlierChildren = false;
      for (const int32_t other : familiesOf[partner]) earlierChildren |= other < family && !children[other].empty();
      bothBringChildren &= earlierChildren;
    }
    if (bothBringChildren) ++stepFamilies;
    std::set<int32_t> shared;
    const std::set<int32_t> first = grandparents(couple[0]);
    for (const int32_t grandparent : grandparents(couple[1])) {
      if (first.contains(grandparent)) shared.insert(grandparent);
    }
    if (!shared.empty()) ++cousinCouples;
  }
  EXPECT_GT(halfSiblingParents, 0);
  EXPECT_GT(stepFamilies, 0);
  EXPECT_GT(cousinCouples, 0);
}

TEST_F(MkTreeTest, AFairShareOfAnniversariesFallsInTheNextThirtyDays) {
  std::set<int> window;
  TJDate day;
  ClearJDate(day);
  const int32_t today = DMYToJDay(15, 2, 2024, true);
  for (int offset = 0; offset <= 30; ++offset) {
    day.JDay = today + offset;
    TDayMonthYear dmy;
    JDateToDMY(day, dmy);
    window.insert(DayKey(dmy));
  }
  struct Share {
    const TableCopy* table;
    std::vector<std::string> dates;
    int dated = 0;
    int near = 0;
  };
  Share shares[] = {{&tree().people, {"Search date"}},
                    {&tree().families, {"Marriage date"}},
                    {&tree().people, {"Death date"}},
                    {&tree().people, {"Baptism", "Emigration"}},
                    {&tree().families, {"Engagement", "Emigration"}}};
  for (Share& share : shares) {
    for (const auto& row : share.table->rows) {
      for (const std::string& date : share.dates) {
        const std::optional<TJDate> record = share.table->date(row, date);
        TDayMonthYear dmy;
        if (!record || record->DayUnknown || record->MonthUnknown || !JDateToDMY(*record, dmy)) continue;
        ++share.dated;
        if (window.contains(DayKey(dmy))) ++share.near;
      }
    }
    // Days spread evenly over the year would put about 8% there.
    EXPECT_GE(share.dated, 20) << share.dates[0];
    EXPECT_GE(share.near * 100, share.dated * 15)
        << share.dates[0] << ": " << share.near << " of " << share.dated;
  }

  // The summary counts what was written.
  std::smatch match;
  ASSERT_TRUE(
      std::regex_match(run_->out, match,
                       std::regex("mktree: .*/tree: 400 people, (\\d+) families, (\\d+) links; (\\d+) of "
                                  "(\\d+) day-and-month dates fall within 30 days of 2024-02-15\n")))
      << run_->out;
  EXPECT_EQ(tree().people.rows.size(), 400u);
  EXPECT_EQ(std::stoul(match[1]), tree().families.rows.size());
  EXPECT_EQ(std::stoul(match[2]), tree().links.rows.size());
}

TEST_F(MkTreeTest, SameSeedGivesTheSameRowsAndAnotherSeedOthers) {
  const std::string again = scratch();
  ASSERT_EQ(
      RunTool("mktree", {again + "/a", "--people", "400", "--seed", "11", "--today", kToday}, again).code, 0);
  ASSERT_EQ(
      RunTool("mktree", {again + "/b", "--people", "400", "--seed", "12", "--today", kToday}, again).code, 0);
  const Tree same = ReadTree(again + "/a");
  EXPECT_EQ(same.people.contents(), tree().people.contents());
  EXPECT_EQ(same.families.contents(), tree().families.contents());
  EXPECT_EQ(same.links.contents(), tree().links.contents());
  EXPECT_NE(ReadTree(again + "/b").people.contents(), tree().people.contents());
}

// A seed names one tree on every build: benchmarks and reports quote trees by
// their seed. These people are those of seed 11 as every compiler's build
// must draw them; a build that worked out a call's random arguments in
// another order made other people.
TEST_F(MkTreeTest, ASeedNamesTheSamePeopleOnEveryBuild) {
  const auto& rows = tree().people.rows;
  ASSERT_EQ(rows.size(), 400u);
  const auto person = [&](std::size_t index) {
    return tree().people.text(rows[index], "FirstNames") + " " + tree().people.text(rows[index], "Surname") + ", " +
           tree().people.text(rows[index], "Search date~D");
  };
  EXPECT_EQ(person(0), "Aulus Varro, ABT 60 BC");
  EXPECT_EQ(person(1), "Calpurnia Drusa, 29 Feb 49 BC");
  EXPECT_EQ(person(2), "Gaius Varro, 10 Jun 28 BC");
  // The table holds its texts in a single-byte code page: "\xD6" is Ö.
  EXPECT_EQ(person(398), "Pieter Henry \xD6" "berg, 5 Oct 1887");
  EXPECT_EQ(person(399), "Hannah \xD6" "berg, AFT 11 Sep 1933");
}

TEST_F(MkTreeTest, KeelVerifyAcceptsEveryTable) {
  for (const char* table : {"People", "Families", "Links"}) {
    const ToolRun verify = RunTool("keel", {"verify", *folder_ + "/tree", table}, scratch());
    EXPECT_EQ(verify.code, 0) << table << ": " << verify.out << verify.err;
    EXPECT_EQ(verify.out, "ok\n") << table;
  }
}

TEST_F(MkTreeTest, TinyTreesStillComeOutWhole) {
  for (const char* people : {"1", "2", "3", "4", "5", "6"}) {
    SCOPED_TRACE(people);
    const std::string folder = scratch();
    const ToolRun run = RunTool("mktree", {folder + "/tree", "--people", people, "--today", kToday}, folder);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ReadTable(folder + "/tree", "People").rows.size(), std::stoul(people));
    EXPECT_EQ(RunTool("keel", {"verify", folder + "/tree", "Links"}, folder).code, 0);
  }
}

TEST_F(MkTreeTest, WithoutTodayGivenTheSystemClockDecides) {
  auto iso = [](const CivilDate& day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year, day.month, day.day);
    return std::string(text);
  };
  const std::string before = iso(SystemClock::instance().today());
  const std::string folder = scratch();
  const ToolRun run = RunTool("mktree", {folder + "/tree", "--people", "10"}, folder);
  const std::string after = iso(SystemClock::instance().today());
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string said = run.out.substr(run.out.rfind(' ') + 1);
  EXPECT_TRUE(said == before + "\n" || said == after + "\n") << run.out;
}

TEST_F(MkTreeTest, RefusesAFolderWithTablesUnlessForced) {
  const std::string folder = scratch();
  ASSERT_EQ(RunTool("mktree", {folder, "--people", "20", "--today", kToday}, folder).code, 0);

  const ToolRun refused = RunTool("mktree", {folder, "--people", "30", "--today", kToday}, folder);
  EXPECT_EQ(refused.code, 64);
  EXPECT_NE(refused.err.find("already holds People.dat, Families.dat, Links.dat"), std::string::npos)
      << refused.err;
  EXPECT_EQ(ReadTable(folder, "People").rows.size(), 20u);

  const ToolRun forced = RunTool("mktree", {folder, "--people", "30", "--today", kToday, "--force"}, folder);
  EXPECT_EQ(forced.code, 0) << forced.err;
  EXPECT_EQ(ReadTable(folder, "People").rows.size(), 30u);
}

TEST_F(MkTreeTest, BadCommandLinesAreRefused) {
  const std::string folder = scratch();
  std::ofstream(folder + "/plain-file") << "x";
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* says;
  };
  const Case cases[] = {
      {{}, 64, "no folder given"},
      {{folder + "/t", "--people", "0"}, 64, "--people"},
      {{folder + "/t", "--people", "12x"}, 64, "--people"},
      {{folder + "/t", "--seed", "-1"}, 64, "--seed"},
      {{folder + "/t", "--today", "2025-02-29"}, 64, "--today"},
      {{folder + "/t", "--today", "0999-12-31"}, 64, "--today"},
      {{folder + "/t", "--today"}, 64, "--today needs a value"},
      {{folder + "/t", "--colour", "red"}, 64, "unknown option --colour"},
      {{folder + "/t", folder + "/u"}, 64, "more than one folder"},
      {{folder + "/plain-file/t"}, 73, "cannot create the folder"},
  };
  for (const Case& c : cases) {
    const ToolRun run = RunTool("mktree", c.args, folder);
    EXPECT_EQ(run.code, c.code) << c.says;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(fs::exists(folder + "/t"));
}

}  // namespace
}  // namespace mindrel
