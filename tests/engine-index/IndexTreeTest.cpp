// The B+-tree over an index file: random insertions and deletions checked
// against an ordered model after every batch, searches with full, partial and
// missing keys, counts of ranges, and the life of the only key.

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "IndexFixtures.h"
#include "engine/core/IndexAccess.h"
#include "engine/core/IndexTreeChecker.h"

namespace keel {
namespace {

using index_testing::FieldShape;
using index_testing::MakeFields;
using index_testing::MemoryFiles;
using index_testing::Row;

// One table with one index in slot 1, in an in-memory index file.
class IndexedTable {
 public:
  IndexedTable(std::vector<FieldShape> shapes, IndexDescriptor index, size_t pageSize, uint32_t locale = 0)
      : fields_(MakeFields(shapes)), index_(std::move(index)), pageSize_(pageSize), locale_(locale) {
    file_ = files_.indexFile("/t.idx", pageSize_);
    file_->createIndex(IndexDescriptor::DefaultPrimary(), {index_}, IndexDescriptor::FullText({}));
    access_ = std::make_unique<TIndexAccess>(*file_, 1, fields_, TCollation::ForLocale(locale_, "T"));
  }

  const std::vector<FieldDescriptor>& fields() const { return fields_; }
  TIndexAccess& access() { return *access_; }
  TIndexTree& tree() { return access_->tree(); }
  TIndexFile& file() { return *file_; }
  KeyBuffer key(const Row& row) const { return access_->keys().build(row.bytes()); }

  // Problems of the tree and of the free chain (this file has one tree).
  std::vector<std::string> problems() {
    TIndexSlotStore store(*file_, 1);
    TIndexTreeChecker checker(store, access_->comparer());
    std::vector<std::string> found = checker.check();
    for (auto& p : TIndexTreeChecker::checkFreeChain(store, file_->freeHead(), &checker.pagesInUse())) {
      found.push_back(p);
    }
    return found;
  }

  // Writes everything and reads the file again from its bytes.
  void reopen() {
    file_->writeBack();
    access_.reset();
    file_->close();
    file_ = files_.indexFile("/t.idx", pageSize_);
    file_->openIndex();
    access_ = std::make_unique<TIndexAccess>(*file_, 1, fields_, TCollation::ForLocale(locale_, "T"));
  }

 private:
  MemoryFiles files_;
  std::vector<FieldDescriptor> fields_;
  IndexDescriptor index_;
  size_t pageSize_;
  uint32_t locale_;
  std::unique_ptr<TIndexFile> file_;
  std::unique_ptr<TIndexAccess> access_;
};

IndexDescriptor Index(std::vector<IndexKeyField> keyFields, uint16_t keySize, bool unique,
                      IndexCompression mode, bool noStatistics = false) {
  IndexDescriptor d;
  d.name = "Idx";
  d.fields = std::move(keyFields);
  d.keySize = keySize;
  d.unique = unique;
  d.compression = mode;
  d.noKeyStatistics = noStatistics;
  return d;
}

struct RandomCase {
  const char* what;
  std::vector<FieldShape> fields;
  IndexDescriptor index;
  size_t pageSize;
  int operations;
  // Fills the user fields of a new row from the generator.
  std::function<void(Row&, std::mt19937&)> values;
  uint32_t locale = 0;  // 0: bytewise order
};

const char* kNames[] = {"SMITH", "smith", "Smyth", "SMYTHE", "Jones", "JONES", "Brown", "", "Zeta"};

std::vector<RandomCase> RandomCases() {
  auto randomInt = [](Row& r, std::mt19937& g) { r.integer(1, static_cast<int32_t>(g() % 4001) - 2000); };
  auto nameAndNumber = [](Row& r, std::mt19937& g) {
    r.text(1, std::string(kNames[g() % 9]) + (g() % 3 == 0 ? std::to_string(g() % 50) : ""));
    if (g() % 10 == 0) {
      r.null(2);
    } else {
      r.integer(2, static_cast<int32_t>(g() % 30));
    }
  };
  auto longText = [](Row& r, std::mt19937& g) {
    r.text(1, std::string(200, 'K') + std::to_string(g() % 600));
  };
  auto midText = [](Row& r, std::mt19937& g) {
    r.text(1, std::string(100, 'M') + std::to_string(g() % 5000));
  };
  using enum IndexCompression;
  return {
      {"unique integer, fixed leaves",
       {{FieldType::Integer}},
       Index({{1, false}}, 5, true, icNone),
       1024,
       3000,
       randomInt},
      {"non-unique case-insensitive text and number, full packing",
       {{FieldType::String, 30}, {FieldType::Integer}},
       [] {
         auto d = Index({{1, false}, {2, true}}, 1 + 31 + 5 + 4, false, icFull);
         d.caseInsensitive = true;
         return d;
       }(),
       1024,
       3000,
       nameAndNumber},
      {"unique descending pair, duplicate bytes",
       {{FieldType::String, 30}, {FieldType::Integer}},
       Index({{1, true}, {2, false}}, 37, true, icDuplicateByte),
       1024,
       2500,
       nameAndNumber},
      {"non-unique, trailing bytes, no statistics",
       {{FieldType::String, 30}, {FieldType::Integer}},
       Index({{2, false}, {1, false}}, 41, false, icTrailingByte, true),
       2048,
       2500,
       nameAndNumber},
      {"long keys, two entries a page",
       {{FieldType::String, 335}},
       Index({{1, false}}, 337, true, icNone),
       1024,
       1200,
       longText},
      {"long keys packed",
       {{FieldType::String, 335}},
       Index({{1, false}}, 341, false, icFull),
       1024,
       1500,
       longText},
      // Six entries a page: deep trees whose interior pages merge and share.
      {"mid-size keys, six a page",
       {{FieldType::String, 148}},
       Index({{1, false}}, 150, true, icNone),
       1024,
       3000,
       midText},
      {"small pages, three levels, duplicate bytes",
       {{FieldType::String, 30}, {FieldType::Integer}},
       Index({{1, false}, {2, false}}, 41, false, icDuplicateByte),
       1024,
       5000,
       nameAndNumber},
      {"German collation, accents ignored, case kept",
       {{FieldType::String, 30}, {FieldType::Integer}},
       Index({{1, false}, {2, false}}, 37, true, icFull),
       1024,
       3000,
       [](Row& r, std::mt19937& g) {
         const char* words[] = {"M\xFCller",
                                "Muller",
                                "MULLER",
                                "m\xFCller",
                                "Stra\xDF\x65",
                                "Strasse",
                                "\xC9mile",
                                "Emile"};
         r.text(1, words[g() % 8]).integer(2, static_cast<int32_t>(g() % 40));
       },
       0x0407},
  };
}

class RandomTree : public ::testing::TestWithParam<RandomCase> {};

// After every batch: checker clean, entries in model order both ways, counts
// and positions right, and searches landing where the model says.
TEST_P(RandomTree, StaysSoundAndMatchesAnOrderedModel) {
  const RandomCase& c = GetParam();
  IndexedTable table(c.fields, c.index, c.pageSize, c.locale);
  // Through the table each time: reopening replaces the comparer and tree.
  auto less = [&](const KeyBuffer& a, const KeyBuffer& b) {
    return table.access().comparer().compare(a, b) < 0;
  };
  std::map<KeyBuffer, int32_t, decltype(less)> model(less);
  std::mt19937 random(20261210);
  int32_t nextRow = 1;

  auto verify = [&](const std::string& when) {
    TIndexTree& tree = table.tree();
    const auto problems = table.problems();
    ASSERT_TRUE(problems.empty()) << when << ": " << problems.front();
    ASSERT_EQ(tree.count(), static_cast<int64_t>(model.size())) << when;
    IndexEntryRef at = tree.first();
    for (const auto& [key, row] : model) {
      ASSERT_TRUE(at.valid()) << when;
      ASSERT_EQ(tree.keyAt(at), key) << when;
      ASSERT_EQ(tree.rowAt(at), row) << when;
      at = tree.next(at);
    }
    EXPECT_FALSE(at.valid()) << when;
    at = tree.last();
    for (auto it = model.rbegin(); it != model.rend(); ++it, at = tree.prior(at)) {
      ASSERT_TRUE(at.valid() && tree.rowAt(at) == it->second) << when;
    }
    EXPECT_FALSE(at.valid()) << when;
    for (int probe = 0; probe < 20 && !model.empty(); ++probe) {
      Row row(table.fields(), static_cast<int32_t>(random() % 100000));
      c.values(row, random);
      const KeyBuffer key = table.key(row);
      const auto expected = model.lower_bound(key);
      const int64_t rank = std::distance(model.begin(), expected);
      const IndexEntryRef found = tree.seek(key);
      ASSERT_EQ(found.valid(), expected != model.end()) << when;
      if (found.valid()) {
        ASSERT_EQ(tree.keyAt(found), expected->first) << when;
        ASSERT_EQ(tree.positionOf(found), rank + 1) << when;
        ASSERT_EQ(tree.entryAt(rank + 1), found) << when;
      }
      ASSERT_EQ(tree.countLess(key), rank) << when;
    }
  };

  for (int done = 0; done < c.operations;) {
    TIndexTree& tree = table.tree();
    for (int n = 0; n < 150; ++n, ++done) {
      if (model.empty() || random() % 100 < 65) {
        Row row(table.fields(), nextRow);
        c.values(row, random);
        const KeyBuffer key = table.key(row);
        if (model.count(key) != 0) {
          EXPECT_ENGINE_ERROR(tree.insert(key, nextRow), ErrorCode::KEEL_KEYVIOL);
        } else {
          tree.insert(key, nextRow);
          model.emplace(key, nextRow);
        }
        ++nextRow;
      } else {
        auto victim = model.begin();
        std::advance(victim, static_cast<long>(random() % model.size()));
        EXPECT_FALSE(tree.remove(victim->first, victim->second + 1));  // right key, wrong row
        ASSERT_TRUE(tree.remove(victim->first, victim->second));
        model.erase(victim);
      }
    }
    table.file().writeBack();
    verify("after " + std::to_string(done) + " operations");
    if (HasFatalFailure()) return;
  }
  table.reopen();
  {
    TIndexSlotStore store(table.file(), 1);
    EXPECT_FALSE(store.page(table.file().root(1)).isLeaf()) << "the case should grow beyond one page";
    store.operationDone();
  }
  TIndexTree& reopened = table.tree();
  EXPECT_EQ(reopened.count(), static_cast<int64_t>(model.size()));
  // Emptying from both ends in turn drives merges and redistribution of
  // interior pages on both sides.
  for (int n = 1; !model.empty(); ++n) {
    auto victim = n % 2 == 0 ? model.begin() : std::prev(model.end());
    ASSERT_TRUE(reopened.remove(victim->first, victim->second));
    model.erase(victim);
    if (n % 97 == 0) {
      table.file().writeBack();
      verify("emptying, " + std::to_string(model.size()) + " left");
      if (HasFatalFailure()) return;
    }
  }
  table.file().writeBack();
  EXPECT_EQ(table.file().root(1), 0);
  EXPECT_TRUE(table.problems().empty());  // every page back on the free chain
}

INSTANTIATE_TEST_SUITE_P(Configurations, RandomTree, ::testing::ValuesIn(RandomCases()),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(IndexTree, DeletingTheOnlyKeyFreesItsPageForTheNextInsertion) {
  IndexedTable table({{FieldType::Integer}}, Index({{1, false}}, 5, true, IndexCompression::icNone), 1024);
  Row row(table.fields(), 1);
  row.integer(1, 42);
  const KeyBuffer key = table.key(row);
  table.tree().insert(key, 1);
  table.file().writeBack();
  ASSERT_EQ(table.file().root(1), 1);

  ASSERT_TRUE(table.tree().remove(key, 1));
  table.file().writeBack();
  EXPECT_EQ(table.file().root(1), 0);
  EXPECT_EQ(table.file().freeHead(), 1);
  EXPECT_EQ(table.file().header().nextPage, 2);
  EXPECT_FALSE(table.tree().first().valid());
  EXPECT_EQ(table.tree().count(), 0);

  table.tree().insert(key, 1);
  table.file().writeBack();
  EXPECT_EQ(table.file().root(1), 1);
  EXPECT_EQ(table.file().freeHead(), 0);
  EXPECT_EQ(table.file().header().nextPage, 2);
}

TEST(IndexTree, DuplicateKeyNamesTheIndexAndTable) {
  IndexedTable table({{FieldType::Integer}}, Index({{1, false}}, 5, true, IndexCompression::icNone), 1024);
  Row row(table.fields(), 1);
  row.integer(1, 7);
  table.tree().insert(table.key(row), 1);
  try {
    table.tree().insert(table.key(row), 2);
    ADD_FAILURE() << "no error";
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_KEYVIOL);
    EXPECT_STREQ(error.what(),
                 "Keel Engine Error # 9729 Duplicate key found in the index 'Idx' of the table 'T'");
  }
}

// A unique index on (number, name) over five rows.
class Searches : public ::testing::Test {
 protected:
  Searches()
      : table_({{FieldType::Integer}, {FieldType::String, 10}},
               Index({{1, false}, {2, false}}, 17, true, IndexCompression::icFull), 1024) {
    const std::pair<int, const char*> rows[] = {
        {1, "ADAMS"}, {2, "BAKER"}, {2, "BROWN"}, {2, "CLARK"}, {4, "DAVIS"}};
    int32_t n = 1;
    for (auto [number, name] : rows) table_.tree().insert(searchKey(number, name, 2, 0).first, n++);
  }

  // The key of the given values, filled as a range start after the first
  // `fields` fields plus `partial` characters; and its compare length.
  std::pair<KeyBuffer, size_t> searchKey(int number, const std::string& name, size_t fields, size_t partial) {
    Row row(table_.fields(), 1);
    row.integer(1, number).text(2, name);
    KeyBuffer key = table_.key(row);
    const size_t length = table_.access().layout().compareLength(fields, partial);
    table_.access().keys().fillRangeStart(key, length);
    return {key, length};
  }

  IndexedTable table_;
};

TEST_F(Searches, PartialExactAndNearest) {
  const struct {
    const char* what;
    int number;
    const char* name;
    size_t fields, partial;
    int32_t expectedRow;  // 0: past the end
    bool found;
  } cases[] = {
      {"first field only lands on the first of equal ones", 2, "", 1, 0, 2, true},
      {"first field absent: next greater", 3, "", 1, 0, 5, false},
      {"partial text B", 2, "B", 1, 1, 2, true},
      {"partial text BR", 2, "BR", 1, 2, 3, true},
      {"partial text BZ: nearest", 2, "BZ", 1, 2, 4, false},
      {"exact key", 2, "BROWN", 2, 0, 3, true},
      {"exact key absent: nearest", 2, "BRYCE", 2, 0, 4, false},
      {"below every key", 0, "", 1, 0, 1, false},
      {"above every key", 9, "", 1, 0, 0, false},
  };
  TIndexTree& tree = table_.tree();
  for (const auto& c : cases) {
    const auto [key, length] = searchKey(c.number, c.name, c.fields, c.partial);
    const IndexEntryRef at = tree.seek(key, length);
    ASSERT_EQ(at.valid(), c.expectedRow != 0) << c.what;
    if (!at.valid()) continue;
    EXPECT_EQ(tree.rowAt(at), c.expectedRow) << c.what;
    EXPECT_EQ(table_.access().comparer().compare(tree.keyAt(at), key, length) == 0, c.found) << c.what;
    EXPECT_EQ(tree.find(key).valid(), c.found && c.fields == 2) << c.what;
  }
}

TEST_F(Searches, RangeCountsIncludeBothBounds) {
  const struct {
    int low, high;
    const char *lowName, *highName;
    size_t fields, partial;
    int64_t expected;
  } cases[] = {
      {2, 2, "", "", 1, 0, 3}, {1, 2, "", "", 1, 0, 4},   {3, 3, "", "", 1, 0, 0},
      {5, 1, "", "", 1, 0, 0}, {2, 2, "B", "B", 1, 1, 2}, {0, 9, "", "", 0, 0, 5},
  };
  for (const auto& c : cases) {
    auto [low, lowLength] = searchKey(c.low, c.lowName, c.fields, c.partial);
    auto [high, highLength] = searchKey(c.high, c.highName, c.fields, c.partial);
    table_.access().keys().fillRangeEnd(high, highLength);
    EXPECT_EQ(table_.tree().countRange(low, lowLength, high, highLength), c.expected)
        << c.low << ".." << c.high;
    const IndexEntryRef last = table_.tree().seekLast(high, highLength);
    if (c.expected > 0) {
      EXPECT_EQ(
          table_.tree().positionOf(last) - table_.tree().positionOf(table_.tree().seek(low, lowLength)) + 1,
          c.expected);
    }
  }
}

}  // namespace
}  // namespace keel
