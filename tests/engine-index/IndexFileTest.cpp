// Index files written byte by byte from the format tables: read in every
// packing mode and shape, changed and checked; files the engine writes
// compared with the same layout; damaged files refused with their error.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "IndexFileBuilder.h"
#include "IndexFixtures.h"
#include "engine/core/IndexAccess.h"
#include "engine/core/IndexTreeChecker.h"
#include "engine/core/TableCipher.h"

namespace keel {
namespace {

using index_testing::BuiltEntry;
using index_testing::BuiltIndex;
using index_testing::BuiltPage;
using index_testing::Bytes;
using index_testing::Hex;
using index_testing::IndexFileBuilder;
using index_testing::MakeFields;
using index_testing::MemoryFiles;

constexpr size_t kPage = 1024;

// Keys written out by hand: a text of 10 characters (case folded when asked)
// and, for non-unique indexes, the RecordID with its top bit flipped.
Bytes TextKey(const std::string& text, bool foldCase, int32_t recordId, bool unique) {
  Bytes key(12, 0);
  key[0] = text.empty() ? 0 : 1;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    key[1 + i] = static_cast<uint8_t>(foldCase && c >= 'a' && c <= 'z' ? c - 32 : c);
  }
  if (!unique) {
    const uint32_t id = static_cast<uint32_t>(recordId) ^ 0x80000000u;
    for (int i = 0; i < 4; ++i) key.push_back(static_cast<uint8_t>(id >> (24 - 8 * i)));
  }
  return key;
}

BuiltIndex Primary() {
  return {"", 5, true, false, false, 0, {{0xFFFF, false}}, false, 0};
}
BuiltIndex FullText() {
  return {"Sys Text", 68, false, false, false, 3, {}, true, 0};
}

struct ShapeCase {
  const char* what;
  uint8_t mode;
  bool unique;
  bool descending;
  bool caseInsensitive;
  bool noStatistics;
  size_t leafSize;  // entries per leaf
  size_t fanout;    // entries per interior page
  int rows;
};

class BuiltFile : public ::testing::TestWithParam<ShapeCase> {};

// Rows: names from a short list, half of them SMITH, so a non-unique index
// holds long runs of equal names.
TEST_P(BuiltFile, ReadsNavigatesAndAcceptsChanges) {
  const ShapeCase& c = GetParam();
  const auto fields = MakeFields({{FieldType::String, 10}});
  const char* names[] = {"smith", "Jones", "brown", "Adams", "Young", "smith", "Smith", "SMITH"};
  std::vector<std::pair<Bytes, int32_t>> entries;
  std::set<Bytes> seen;
  for (int row = 1; row <= c.rows; ++row) {
    std::string name = names[row % 8];
    if (c.unique) name += std::to_string(row);  // unique texts, shared prefixes
    Bytes key = TextKey(name, c.caseInsensitive, row, c.unique);
    if (seen.insert(key).second) entries.push_back({key, row});
  }
  // Index order: the text (descending when asked), then the RecordID.
  std::sort(entries.begin(), entries.end(), [&](const auto& a, const auto& b) {
    const Bytes ta(a.first.begin(), a.first.begin() + 12), tb(b.first.begin(), b.first.begin() + 12);
    if (ta != tb) return c.descending ? tb < ta : ta < tb;
    return a.first < b.first;
  });
  BuiltIndex index{"ByName",
                   static_cast<uint16_t>(c.unique ? 12 : 16),
                   c.unique,
                   c.caseInsensitive,
                   c.descending,
                   c.mode,
                   {{1, c.descending}},
                   c.noStatistics,
                   0};
  IndexFileBuilder builder(kPage);
  builder.index(0, Primary()).index(1, index).index(31, FullText()).secondaryCount(1);
  std::vector<size_t> leaves(entries.size() / c.leafSize, c.leafSize);
  if (entries.size() % c.leafSize != 0) leaves.push_back(entries.size() % c.leafSize);
  builder.tree(1, entries, leaves, c.fanout, 1);

  MemoryFiles files;
  files.put("/b.idx", builder.bytes());
  auto file = files.indexFile("/b.idx", kPage);
  file->openIndex();
  ASSERT_EQ(file->slotOf("BYNAME"), 1);
  TIndexAccess access(*file, 1, fields, TCollation::ForLocale(0, "T"));
  TIndexTree& tree = access.tree();

  ASSERT_EQ(tree.count(), static_cast<int64_t>(entries.size()));
  IndexEntryRef at = tree.first();
  for (const auto& [key, row] : entries) {
    ASSERT_TRUE(at.valid());
    ASSERT_EQ(tree.keyAt(at), key);
    ASSERT_EQ(tree.rowAt(at), row);
    at = tree.next(at);
  }
  EXPECT_FALSE(at.valid());

  // The first SMITH in index order, and how many there are.
  KeyBuffer smith = TextKey("SMITH", false, 0, c.unique);
  const size_t length = access.layout().compareLength(1, 0);
  access.keys().fillRangeStart(smith, length);
  const auto firstSmith = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
    return std::equal(smith.begin(), smith.begin() + 12, e.first.begin());
  });
  if (firstSmith != entries.end()) {
    EXPECT_EQ(tree.rowAt(tree.seek(smith, length)), firstSmith->second);
    KeyBuffer end = smith;
    access.keys().fillRangeEnd(end, length);
    const auto runEnd = std::find_if(firstSmith, entries.end(), [&](const auto& e) {
      return !std::equal(smith.begin(), smith.begin() + 12, e.first.begin());
    });
    EXPECT_EQ(tree.countRange(smith, length, end, length), runEnd - firstSmith);
  }

  // The engine's own changes keep the other writer's tree sound.
  std::mt19937 random(7);
  for (int i = 0; i < 60; ++i) {
    const auto& victim = entries[random() % entries.size()];
    tree.remove(victim.first, victim.second);
    const int32_t row = 1000 + i;
    tree.insert(TextKey("N" + std::to_string(i), c.caseInsensitive, row, c.unique), row);
  }
  file->writeBack();
  TIndexSlotStore store(*file, 1);
  TIndexTreeChecker checker(store, access.comparer());
  const auto problems = checker.check();
  EXPECT_TRUE(problems.empty()) << problems.front();
  EXPECT_TRUE(TIndexTreeChecker::checkFreeChain(store, file->freeHead(), &checker.pagesInUse()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, BuiltFile,
    ::testing::Values(ShapeCase{"fixed leaves, three levels", 0, true, false, false, false, 9, 3, 200},
                      ShapeCase{"duplicate bytes, descending", 1, true, true, false, false, 12, 4, 300},
                      ShapeCase{"trailing bytes, case-insensitive, non-unique, no statistics", 2, false,
                                false, true, true, 20, 5, 400},
                      ShapeCase{"full packing, non-unique, many duplicates, four levels", 3, false, false,
                                false, false, 6, 3, 500},
                      ShapeCase{"full packing, descending, case-insensitive, single leaf", 3, false, true,
                                true, false, 40, 4, 30}));

// Inserting ascending keys until the leaf splits gives the layout of the
// builder: the old page keeps the first half (rounded up), the new page the
// rest, a new root above both. Only the header's change counter and writer
// flag may differ.
TEST(OwnWrites, MatchTheBuilderByteForByte) {
  for (uint8_t mode = 0; mode <= 3; ++mode) {
    for (bool unique : {true, false}) {
      BuiltIndex index{
          "ByName", static_cast<uint16_t>(unique ? 12 : 16), unique, false, false, mode, {{1, false}}, false,
          0};
      // Keys in order until one leaf can no longer hold them.
      std::vector<std::pair<Bytes, int32_t>> keys;
      std::vector<BuiltEntry> onPage;
      for (int32_t row = 1;; ++row) {
        char text[12];
        std::snprintf(text, sizeof text, "K%05d", row * 7);
        keys.push_back({TextKey(text, false, row, unique), row});
        onPage.push_back({keys.back().first, row, 0});
        if (IndexFileBuilder::entriesSize(index, true, onPage) > kPage - 13) break;
      }
      const size_t left = (keys.size() + 1) / 2;
      std::vector<BuiltEntry> leftEntries(onPage.begin(), onPage.begin() + static_cast<ptrdiff_t>(left));
      std::vector<BuiltEntry> rightEntries(onPage.begin() + static_cast<ptrdiff_t>(left), onPage.end());
      ASSERT_LE(IndexFileBuilder::entriesSize(index, true, leftEntries), kPage - 13);
      ASSERT_LE(IndexFileBuilder::entriesSize(index, true, rightEntries), kPage - 13);

      IndexFileBuilder builder(kPage);
      builder.index(0, Primary()).index(1, index).index(31, FullText()).secondaryCount(1);
      builder.tree(1, keys, {left, keys.size() - left}, 2, 1);
      Bytes expected = builder.bytes();

      MemoryFiles files;
      auto file = files.indexFile("/own.idx", kPage);
      IndexDescriptor secondary;
      secondary.name = "ByName";
      secondary.keySize = index.keySize;
      secondary.unique = unique;
      secondary.compression = static_cast<IndexCompression>(mode);
      secondary.fields = {{1, false}};
      file->createIndex(IndexDescriptor::DefaultPrimary(), {secondary}, IndexDescriptor::FullText({}));
      {
        TIndexAccess access(*file, 1, MakeFields({{FieldType::String, 10}}), TCollation::ForLocale(0, "T"));
        for (const auto& [key, row] : keys) access.tree().insert(key, row);
      }
      file->writeBack();
      file->close();
      Bytes written = files.get("/own.idx");
      ASSERT_EQ(written.size(), expected.size()) << int(mode) << unique;
      for (size_t at : {0u, 1u, 2u, 3u, 290u}) written[at] = expected[at] = 0;
      EXPECT_TRUE(written == expected) << "mode " << int(mode) << " unique " << unique;
    }
  }
}

TEST(OwnWrites, TableWithoutSecondariesStillHasEveryDescriptorSlot) {
  MemoryFiles files;
  auto file = files.indexFile("/plain.idx", kPage);
  file->createIndex(IndexDescriptor::DefaultPrimary(), {}, IndexDescriptor{});
  file->close();
  const Bytes written = files.get("/plain.idx");
  IndexFileBuilder builder(kPage);
  builder.index(0, Primary()).index(31, FullText());
  const Bytes expected = builder.bytes();
  ASSERT_EQ(written.size(), 25088u);
  EXPECT_TRUE(std::equal(written.begin() + 4, written.end(), expected.begin() + 4));
  // Slot 31: length-prefixed "Sys Text", key size 68, full packing, no statistics.
  EXPECT_EQ(Bytes(written.begin() + 512 + 31 * 768, written.begin() + 512 + 31 * 768 + 9),
            Hex("08 53797320 54657874"));
  EXPECT_EQ(written[512 + 31 * 768 + 61], 68);
  EXPECT_EQ(written[512 + 31 * 768 + 129], 3);
  EXPECT_EQ(written[512 + 31 * 768 + 515], 1);
  auto reopened = files.indexFile("/plain.idx", kPage);
  reopened->openIndex();
  EXPECT_EQ(reopened->descriptor(31).name, "Sys Text");
  EXPECT_EQ(reopened->secondaryCount(), 0);
}

TEST(OwnWrites, SecondaryDescriptorsMoveDownWhenOneIsRemoved) {
  MemoryFiles files;
  auto file = files.indexFile("/s.idx", kPage);
  IndexDescriptor a = IndexDescriptor::DefaultPrimary(), b = a, c = a;
  a.name = "A";
  b.name = "B";
  c.name = "C";
  file->createIndex(IndexDescriptor::DefaultPrimary(), {a, b}, IndexDescriptor::FullText({}));
  file->addSecondary(c);
  file->setRoot(3, 0);
  file->removeSecondary(1);
  file->writeBack();
  file->close();
  auto reopened = files.indexFile("/s.idx", kPage);
  reopened->openIndex();
  EXPECT_EQ(reopened->secondaryCount(), 2);
  EXPECT_EQ(reopened->slotOf("b"), 1);
  EXPECT_EQ(reopened->slotOf("C"), 2);
  EXPECT_FALSE(reopened->slotOf("A").has_value());
  EXPECT_TRUE(reopened->descriptor(3).isEmpty());
}

TEST(OwnWrites, EncryptedFilesReadOnlyWithTheirCipher) {
  MemoryFiles files;
  const TTableCipher cipher(Md5("secret"));
  {
    auto file = files.indexFile("/e.idx", kPage);
    file->setCipher(&cipher);
    file->createIndex(IndexDescriptor::DefaultPrimary(), {}, IndexDescriptor::FullText({}));
    TIndexAccess access(*file, 0, MakeFields({{FieldType::Integer}}), TCollation::ForLocale(0, "T"));
    for (int32_t id = 1; id <= 300; ++id) {
      access.tree().insert(Bytes{1, 0x80, 0, static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id)}, id);
    }
    file->writeBack();
  }
  const Bytes raw = files.get("/e.idx");
  EXPECT_NE(raw[8], 6);  // the version byte is enciphered with the header
  auto file = files.indexFile("/e.idx", kPage);
  file->setCipher(&cipher);
  file->openIndex();
  TIndexAccess access(*file, 0, MakeFields({{FieldType::Integer}}), TCollation::ForLocale(0, "T"));
  EXPECT_EQ(access.tree().count(), 300);
  EXPECT_EQ(access.tree().rowAt(access.tree().last()), 300);
  auto withoutCipher = files.indexFile("/e.idx", kPage);
  EXPECT_THROW(withoutCipher->openIndex(), EKeelEngineError);
}

TEST(OwnWrites, EmptyingCutsBackToThePageAreaAndEmptiesEveryTree) {
  MemoryFiles files;
  auto file = files.indexFile("/empty.idx", kPage);
  file->createIndex(IndexDescriptor::DefaultPrimary(), {}, IndexDescriptor{});
  {
    TIndexAccess access(*file, 0, MakeFields({{FieldType::Integer}}), TCollation::ForLocale(0, "T"));
    for (uint8_t i = 1; i <= 200; ++i) access.tree().insert(Bytes{1, 0x80, 0, 0, i}, i);
  }
  file->writeBack();
  ASSERT_GT(file->size(), 25088u + kPage);
  file->emptyIndex();
  file->writeBack();
  EXPECT_EQ(file->size(), 25088u);
  EXPECT_EQ(file->root(0), 0);
  EXPECT_EQ(file->nextPageToUse(), 1);
  TIndexAccess access(*file, 0, MakeFields({{FieldType::Integer}}), TCollation::ForLocale(0, "T"));
  EXPECT_EQ(access.tree().count(), 0);
  access.tree().insert(Bytes{1, 0x80, 0, 0, 9}, 9);
  EXPECT_EQ(file->root(0), 1);
}

TEST(OwnWrites, FileAtItsSizeLimitRefusesAnotherPage) {
  MemoryFiles files;
  TIndexFile::Options options;
  options.tableName = "Full";
  options.pageSize = kPage;
  options.sizeLimit = 25088 + 2 * kPage;
  TIndexFile file(files.registry(), "/full.idx", EngineFileFlags{.inMemory = true}, options);
  file.createIndex(IndexDescriptor::DefaultPrimary(), {}, IndexDescriptor::FullText({}));
  TIndexAccess access(file, 0, MakeFields({{FieldType::Integer}}), TCollation::ForLocale(0, "Full"));
  // 112 keys fill page 1; the split takes page 2 and then needs a third for the root.
  EXPECT_ENGINE_ERROR(for (int32_t i = 1; i <= 113; ++i) access.tree().insert(
                          Bytes{1, 0x80, 0, 0, static_cast<uint8_t>(i)}, i),
                      ErrorCode::KEEL_TABLEFULL);
}

// Two opens of one file, as two tables of two programs would have them: the
// reader notices the writer's header change and drops its stale pages.
TEST(OwnWrites, ReaderSeesAnotherWritersChangesAfterRefresh) {
  MemoryFiles files;
  auto writer = files.indexFile("/shared.idx", kPage);
  writer->createIndex(IndexDescriptor::DefaultPrimary(), {}, IndexDescriptor::FullText({}));
  const auto fields = MakeFields({{FieldType::Integer}});
  TIndexAccess writing(*writer, 0, fields, TCollation::ForLocale(0, "T"));
  writing.tree().insert(Bytes{1, 0x80, 0, 0, 1}, 1);
  writer->writeBack();

  auto reader = files.indexFile("/shared.idx", kPage);
  reader->openIndex();
  TIndexAccess reading(*reader, 0, fields, TCollation::ForLocale(0, "T"));
  ASSERT_EQ(reading.tree().count(), 1);
  EXPECT_FALSE(reader->refreshHeader());

  for (uint8_t i = 2; i <= 150; ++i) writing.tree().insert(Bytes{1, 0x80, 0, 0, i}, i);
  writer->writeBack();
  EXPECT_TRUE(reader->refreshHeader());
  EXPECT_EQ(reading.tree().count(), 150);
  EXPECT_EQ(reading.tree().rowAt(reading.tree().last()), 150);
}

// ---- damaged files ----

// A sound two-leaf tree of integer keys 1..20 in slot 0: leaves 1 and 2, root 3.
IndexFileBuilder SoundFile() {
  IndexFileBuilder builder(kPage);
  builder.index(0, Primary()).index(31, FullText());
  std::vector<std::pair<Bytes, int32_t>> keys;
  for (int32_t i = 1; i <= 20; ++i) keys.push_back({Bytes{1, 0x80, 0, 0, static_cast<uint8_t>(i)}, i});
  builder.tree(0, keys, {10, 10}, 2, 1);
  return builder;
}

BuiltPage Leaf(uint8_t type, int32_t prev, int32_t next, int first, int count) {
  BuiltPage page;
  page.type = type;
  page.prev = prev;
  page.next = next;
  for (int i = first; i < first + count; ++i)
    page.entries.push_back({Bytes{1, 0x80, 0, 0, static_cast<uint8_t>(i)}, i, 0});
  return page;
}

BuiltPage Interior(uint8_t type, std::vector<std::pair<int, int32_t>> children) {
  BuiltPage page;
  page.type = type;
  for (auto [firstKey, child] : children)
    page.entries.push_back({Bytes{1, 0x80, 0, 0, static_cast<uint8_t>(firstKey)}, child, 10});
  return page;
}

struct DamageCase {
  const char* what;
  std::function<void(IndexFileBuilder&)> damage;
  std::function<void(Bytes&)> damageBytes;
  ErrorCode atOpen;  // KEEL_NONE: opens, and walking the tree raises `atWalk`
  ErrorCode atWalk;
};

std::vector<DamageCase> DamageCases() {
  using enum ErrorCode;
  auto none = [](IndexFileBuilder&) {};
  auto noBytes = [](Bytes&) {};
  return {
      {"version 5", [](IndexFileBuilder& b) { b.version(5); }, noBytes, KEEL_OLDVERSION, KEEL_NONE},
      {"version 9", [](IndexFileBuilder& b) { b.version(9); }, noBytes, KEEL_BADSIGNATURE, KEEL_NONE},
      {"foreign signature", none, [](Bytes& f) { f[9] ^= 0xFF; }, KEEL_BADSIGNATURE, KEEL_NONE},
      {"31 secondary indexes", [](IndexFileBuilder& b) { b.secondaryCount(31); }, noBytes, KEEL_HEADERCORRUPT,
       KEEL_NONE},
      {"root beyond the file", [](IndexFileBuilder& b) { b.root(0, 9); }, noBytes, KEEL_HEADERCORRUPT,
       KEEL_NONE},
      {"free head beyond the file", [](IndexFileBuilder& b) { b.freeHead(4); }, noBytes, KEEL_HEADERCORRUPT,
       KEEL_NONE},
      {"file shorter than its pages", none, [](Bytes& f) { f.resize(f.size() - 100); }, KEEL_HEADERCORRUPT,
       KEEL_NONE},
      {"descriptor with 200 key fields", none, [](Bytes& f) { f[512 + 130] = 200; }, KEEL_HEADERCORRUPT,
       KEEL_NONE},
      {"descriptor with compression 7", none, [](Bytes& f) { f[512 + 129] = 7; }, KEEL_HEADERCORRUPT,
       KEEL_NONE},
      {"descriptor with key size 0", none, [](Bytes& f) { f[512 + 61] = 0; }, KEEL_HEADERCORRUPT, KEEL_NONE},
      {"descriptor name of 200 characters", none, [](Bytes& f) { f[512] = 200; }, KEEL_HEADERCORRUPT,
       KEEL_NONE},
      {"child page outside the file",
       [](IndexFileBuilder& b) {
         b.page(3, 0, Interior(0, {{1, 1}, {11, 99}}));
       },
       noBytes, KEEL_NONE, KEEL_INDEXCORRUPT},
      {"leaves linked in a cycle",
       [](IndexFileBuilder& b) {
         b.page(1, 0, Leaf(2, 2, 2, 1, 10));
         b.page(2, 0, Leaf(2, 1, 1, 11, 10));
       },
       noBytes, KEEL_NONE, KEEL_INDEXCORRUPT},
      {"leaf linked to the root", [](IndexFileBuilder& b) { b.page(2, 0, Leaf(2, 1, 3, 11, 10)); }, noBytes,
       KEEL_NONE, KEEL_INDEXCORRUPT},
      {"root typed as an ordinary leaf",
       [](IndexFileBuilder& b) {
         b.page(3, 0, Interior(1, {{1, 1}, {11, 2}}));
       },
       noBytes, KEEL_NONE, KEEL_INDEXCORRUPT},
      {"root pointing at itself",
       [](IndexFileBuilder& b) {
         b.page(3, 0, Interior(0, {{1, 3}, {11, 2}}));
       },
       noBytes, KEEL_NONE, KEEL_INDEXCORRUPT},
      {"more entries than a page holds", none, [](Bytes& f) { f[25088 + 1] = 0xFF; }, KEEL_NONE,
       KEEL_INDEXCORRUPT},
      {"empty leaf in the tree", none, [](Bytes& f) { f[25088 + 1] = 0; }, KEEL_NONE, KEEL_INDEXCORRUPT},
      {"full-text page as a leaf", none, [](Bytes& f) { f[25088 + 1024] = 4; }, KEEL_NONE, KEEL_INDEXCORRUPT},
      {"interior pages 70 deep",
       [](IndexFileBuilder& b) {
         for (int32_t p = 4; p < 74; ++p) b.page(p, 0, Interior(p == 4 ? 0 : 1, {{1, p + 1}}));
         b.page(74, 0, Interior(1, {{1, 1}, {11, 2}}));
         b.root(0, 4);
       },
       noBytes, KEEL_NONE, KEEL_INDEXCORRUPT},
  };
}

class DamagedFile : public ::testing::TestWithParam<DamageCase> {};

// Walks everything a cursor would: first to last, last to first, and a search.
void Walk(TIndexTree& tree) {
  int steps = 0;
  for (IndexEntryRef at = tree.first(); at.valid(); at = tree.next(at)) {
    if (++steps > 1000) FAIL() << "forward walk does not end";
  }
  for (IndexEntryRef at = tree.last(); at.valid(); at = tree.prior(at)) {
    if (++steps > 2000) FAIL() << "backward walk does not end";
  }
  tree.count();
  tree.seek(Bytes{1, 0x80, 0, 0, 15});
}

TEST_P(DamagedFile, RaisesItsErrorAndNeverHangs) {
  const DamageCase& c = GetParam();
  IndexFileBuilder builder = SoundFile();
  c.damage(builder);
  Bytes bytes = builder.bytes();
  c.damageBytes(bytes);
  MemoryFiles files;
  files.put("/d.idx", bytes);
  auto file = files.indexFile("/d.idx", kPage);
  if (c.atOpen != ErrorCode::KEEL_NONE) {
    EXPECT_ENGINE_ERROR(file->openIndex(), c.atOpen);
    return;
  }
  file->openIndex();
  TIndexAccess access(*file, 0, MakeFields({{FieldType::Integer}}), TCollation::ForLocale(0, "T"));
  EXPECT_ENGINE_ERROR(Walk(access.tree()), c.atWalk);
  TIndexSlotStore store(*file, 0);
  EXPECT_FALSE(TIndexTreeChecker(store, access.comparer()).check().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedFile, ::testing::ValuesIn(DamageCases()),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(DamagedFile, FreeChainInACycleIsReportedAndNeverReusedTwice) {
  IndexFileBuilder builder = SoundFile();
  BuiltPage free5;
  free5.next = 6;
  BuiltPage free6;
  free6.next = 5;
  builder.page(5, 0, free5).page(6, 0, free6).page(4, 0, BuiltPage{}).freeHead(5);
  MemoryFiles files;
  files.put("/f.idx", builder.bytes());
  auto file = files.indexFile("/f.idx", kPage);
  file->openIndex();
  TIndexAccess access(*file, 0, MakeFields({{FieldType::Integer}}), TCollation::ForLocale(0, "T"));
  TIndexSlotStore store(*file, 0);
  const auto problems = TIndexTreeChecker::checkFreeChain(store, file->freeHead(), nullptr);
  ASSERT_FALSE(problems.empty());
  EXPECT_NE(problems.front().find("cycle"), std::string::npos);
  // Splits take pages 5, 6, then 5 again, which by then holds entries.
  EXPECT_ENGINE_ERROR(for (int32_t i = 21; i < 400; ++i) access.tree().insert(
                          Bytes{1, 0x80, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)}, i),
                      ErrorCode::KEEL_INDEXCORRUPT);
}

}  // namespace
}  // namespace keel
