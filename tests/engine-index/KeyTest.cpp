// Keys: the order-preserving bytes of each field type, key sizes, the order
// of ascending, descending and NULL values, case mapping, locale collation,
// partial compares and range fills.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "IndexFixtures.h"
#include "engine/core/Collation.h"
#include "engine/core/KeyBuilder.h"
#include "engine/core/KeyComparer.h"
#include "engine/core/KeyLayout.h"

namespace keel {
namespace {

using index_testing::Hex;
using index_testing::MakeFields;
using index_testing::Row;

IndexDescriptor IndexOn(std::vector<IndexKeyField> keyFields, uint16_t keySize, bool unique = true) {
  IndexDescriptor d;
  d.name = "ByValue";
  d.fields = std::move(keyFields);
  d.keySize = keySize;
  d.unique = unique;
  return d;
}

std::shared_ptr<const TCollation> Plain() {
  return TCollation::ForLocale(0, "T");
}

struct KeyBytesCase {
  const char* what;
  FieldType type;
  uint16_t size;
  std::vector<uint8_t> stored;  // empty: NULL
  const char* keyHex;
};

class KeyBytes : public ::testing::TestWithParam<KeyBytesCase> {};

TEST_P(KeyBytes, FieldValueGivesItsOrderPreservingForm) {
  const KeyBytesCase& c = GetParam();
  const auto fields = MakeFields({{c.type, c.size}});
  const uint16_t keySize = static_cast<uint16_t>(1 + TKeyLayout::KeyLength(c.type, fields[0].dataLength));
  const TKeyLayout layout(IndexOn({{1, false}}, keySize), fields, Plain(), "T");
  Row row(fields, 1);
  if (c.stored.empty()) {
    row.null(1);
  } else {
    row.raw(1, c.stored);
  }
  EXPECT_EQ(TKeyBuilder(layout).build(row.bytes()), Hex(c.keyHex)) << c.what;
}

std::vector<uint8_t> DoubleBytes(double v) {
  std::vector<uint8_t> b(8);
  StoreF64(b.data(), v);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    EveryFieldType, KeyBytes,
    ::testing::Values(
        KeyBytesCase{"integer 1", FieldType::Integer, 0, {1, 0, 0, 0}, "01 80000001"},
        KeyBytesCase{"integer -1", FieldType::Integer, 0, {0xFF, 0xFF, 0xFF, 0xFF}, "01 7FFFFFFF"},
        KeyBytesCase{"integer NULL", FieldType::Integer, 0, {}, "00 00000000"},
        KeyBytesCase{"date 730120", FieldType::Date, 0, {0x08, 0x23, 0x0B, 0x00}, "01 800B2308"},
        KeyBytesCase{"small integer -2", FieldType::SmallInt, 0, {0xFE, 0xFF}, "01 7FFE"},
        KeyBytesCase{"word 0x1234", FieldType::Word, 0, {0x34, 0x12}, "01 1234"},
        KeyBytesCase{"boolean true", FieldType::Boolean, 0, {1, 0}, "01 0001"},
        KeyBytesCase{"large integer -2",
                     FieldType::LargeInt,
                     0,
                     {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                     "01 7FFFFFFFFFFFFFFE"},
        KeyBytesCase{"float 1.5", FieldType::Float, 0, DoubleBytes(1.5), "01 BFF8000000000000"},
        KeyBytesCase{"float -1.5", FieldType::Float, 0, DoubleBytes(-1.5), "01 4007FFFFFFFFFFFF"},
        KeyBytesCase{"float -0.0 keys as 0.0", FieldType::Float, 0, DoubleBytes(-0.0), "01 8000000000000000"},
        // 32 digits in the first 16 of the 32 digit bytes; 12.50 is 125000
        // ten-thousandths (0x1E848), -0.5 is -5000. is 125000 ten-thousandths (0x1E848).
        KeyBytesCase{"BCD 12.50", FieldType::Bcd, 0,
                     Hex("20 02 " + std::string(28, '0') + "1250" + std::string(32, '0')),
                     "01 800000000001E848"},
        KeyBytesCase{"BCD -0.5", FieldType::Bcd, 0,
                     Hex("20 81 " + std::string(30, '0') + "05" + std::string(32, '0')),
                     "01 7FFFFFFFFFFFEC78"},
        KeyBytesCase{"string stops at its terminator", FieldType::String, 5, Hex("41 42 00 58 59 00"),
                     "01 414200000000"},
        KeyBytesCase{"bytes as stored", FieldType::Bytes, 3, Hex("00 FF 10"), "01 00FF10"}));

TEST(KeyLayout, KeySizeCountsNullBytesAndTheRecordIdSuffix) {
  const auto fields = MakeFields({{FieldType::String, 20}, {FieldType::Bcd}});
  EXPECT_EQ(TKeyLayout(IndexOn({{1, false}}, 26, false), fields, Plain(), "T").keySize(), 26u);
  EXPECT_EQ(TKeyLayout(IndexOn({{1, false}, {2, false}}, 31), fields, Plain(), "T").keySize(), 31u);
  EXPECT_EQ(TKeyLayout(IndexDescriptor::DefaultPrimary(), fields, Plain(), "T").keySize(), 5u);
}

TEST(KeyLayout, DescriptorsThatDoNotFitTheTableAreRefused) {
  const auto fields = MakeFields({{FieldType::Integer}, {FieldType::Blob}});
  const struct {
    IndexDescriptor index;
  } cases[] = {
      {IndexOn({{3, false}}, 5)}, {IndexOn({{2, false}}, 9)}, {IndexOn({{1, false}}, 6)}, {IndexOn({}, 0)}};
  for (const auto& c : cases) {
    EXPECT_ENGINE_ERROR(TKeyLayout(c.index, fields, Plain(), "T"), ErrorCode::KEEL_HEADERCORRUPT);
  }
}

TEST(KeyLayout, RecordIdKeyAndNonUniqueSuffixComeFromTheRowHeader) {
  const auto fields = MakeFields({{FieldType::Integer}});
  const TKeyLayout primary(IndexDescriptor::DefaultPrimary(), fields, Plain(), "T");
  const TKeyLayout nonUnique(IndexOn({{1, false}}, 9, false), fields, Plain(), "T");
  Row row(fields, 7);
  row.null(1);
  EXPECT_EQ(TKeyBuilder(primary).build(row.bytes()), Hex("01 80000007"));
  EXPECT_EQ(TKeyBuilder(nonUnique).build(row.bytes()), Hex("00 00000000 80000007"));
}

// Sorting rows by their keys must give the order the index promises.
std::vector<std::string> SortedBy(const TKeyLayout& layout, const std::vector<Row>& rows,
                                  const std::vector<std::string>& labels) {
  const TKeyBuilder builder(layout);
  const TKeyComparer comparer(layout);
  std::vector<std::pair<KeyBuffer, std::string>> keyed;
  for (size_t i = 0; i < rows.size(); ++i) keyed.push_back({builder.build(rows[i].bytes()), labels[i]});
  std::sort(keyed.begin(), keyed.end(),
            [&](const auto& a, const auto& b) { return comparer.compare(a.first, b.first) < 0; });
  std::vector<std::string> order;
  for (auto& k : keyed) order.push_back(k.second);
  return order;
}

TEST(KeyOrder, NullSortsFirstAscendingAndLastDescending) {
  const auto fields = MakeFields({{FieldType::Integer}});
  std::vector<Row> rows;
  const std::vector<std::string> labels = {"2", "NULL", "-1", "3", "1"};
  for (const auto& l : labels) {
    Row r(fields, 1);
    if (l == "NULL") {
      r.null(1);
    } else {
      r.integer(1, std::stoi(l));
    }
    rows.push_back(r);
  }
  const TKeyLayout ascending(IndexOn({{1, false}}, 5), fields, Plain(), "T");
  const TKeyLayout descending(IndexOn({{1, true}}, 5), fields, Plain(), "T");
  EXPECT_EQ(SortedBy(ascending, rows, labels), (std::vector<std::string>{"NULL", "-1", "1", "2", "3"}));
  EXPECT_EQ(SortedBy(descending, rows, labels), (std::vector<std::string>{"3", "2", "1", "-1", "NULL"}));
}

TEST(KeyOrder, DescendingFlagTurnsOnlyItsOwnField) {
  const auto fields = MakeFields({{FieldType::Integer}, {FieldType::Integer}});
  std::vector<Row> rows;
  const std::vector<std::string> labels = {"1/1", "2/1", "1/2", "2/2"};
  for (const auto& l : labels) {
    Row r(fields, 1);
    r.integer(1, l[0] - '0').integer(2, l[2] - '0');
    rows.push_back(r);
  }
  const TKeyLayout layout(IndexOn({{1, false}, {2, true}}, 10), fields, Plain(), "T");
  EXPECT_EQ(SortedBy(layout, rows, labels), (std::vector<std::string>{"1/2", "1/1", "2/2", "2/1"}));
}

TEST(KeyCase, CaseInsensitiveKeysUseTheWindows1252LetterPairsForLocaleZero) {
  const auto fields = MakeFields({{FieldType::String, 12}});
  IndexDescriptor index = IndexOn({{1, false}}, 14);
  index.caseInsensitive = true;
  const TKeyLayout layout(index, fields, Plain(), "T");
  Row row(fields, 1);
  // smith, e-acute, s-caron, oe, z-caron, y-diaeresis, division sign, sharp s
  row.raw(1, Hex("73 6D 69 74 68 E9 9A 9C 9E FF F7 DF 00"));
  EXPECT_EQ(TKeyBuilder(layout).build(row.bytes()), Hex("01 53 4D 49 54 48 C9 8A 8C 8E 9F F7 DF 00"));
}

TEST(KeyCollation, NonzeroLocaleIgnoresAccentsButNotCase) {
  const auto collation = TCollation::ForLocale(1033, "T");  // English (United States)
  EXPECT_EQ(collation->compare("resume", "r\xE9sum\xE9"), 0);
  EXPECT_NE(collation->compare("smith", "Smith"), 0);
  EXPECT_LT(collation->compare("apple", "Banana"), 0);  // bytewise 'B' < 'a'
  EXPECT_LT(collation->compare("co-op", "coop"), 0);    // hyphens count (string sort)
  EXPECT_EQ(collation->upper(0xE9), 0xC9);
  EXPECT_EQ(collation->lower(0x8A), 0x9A);
  EXPECT_EQ(Plain()->compare("apple", "Banana"), 1);
}

TEST(KeyCollation, LocaleWithoutSupportRaises15878) {
  EXPECT_ENGINE_ERROR(TCollation::ForLocale(0x7A7A, "People"), ErrorCode::KEEL_CANNOTLOADLDDRV);
}

TEST(KeyCollation, StringFieldsOfALocaleTableCompareByCollationOthersByBytes) {
  const auto fields = MakeFields({{FieldType::String, 10}, {FieldType::Integer}});
  const TKeyLayout layout(IndexOn({{1, false}, {2, false}}, 17), fields, TCollation::ForLocale(1033, "T"),
                          "T");
  const TKeyBuilder builder(layout);
  const TKeyComparer comparer(layout);
  const auto key = [&](const std::string& text, int32_t n) {
    Row r(fields, 1);
    r.text(1, text).integer(2, n);
    return builder.build(r.bytes());
  };
  EXPECT_LT(comparer.compare(key("apple", 9), key("Banana", 1)), 0);
  EXPECT_LT(comparer.compare(key("r\xE9sum\xE9", 1), key("resume", 2)), 0);  // texts equal, numbers decide
  EXPECT_GT(comparer.compare(key("b", 1), key("", 1)), 0);                   // NULL first
}

TEST(KeyCompare, PartialLengthComparesOnlyTheLeadingBytes) {
  const auto fields = MakeFields({{FieldType::Integer}, {FieldType::String, 8}});
  const TKeyLayout layout(IndexOn({{1, false}, {2, false}}, 15), fields, Plain(), "T");
  const TKeyBuilder builder(layout);
  const TKeyComparer comparer(layout);
  Row a(fields, 1), b(fields, 2);
  a.integer(1, 5).text(2, "SMITH");
  b.integer(1, 5).text(2, "SMYTH");
  const KeyBuffer ka = builder.build(a.bytes()), kb = builder.build(b.bytes());
  const struct {
    size_t fields, partial;
    int expected;
  } cases[] = {{1, 0, 0}, {1, 2, 0}, {1, 3, -1}, {2, 0, -1}};
  for (const auto& c : cases) {
    const size_t length = layout.compareLength(c.fields, c.partial);
    EXPECT_EQ(comparer.compare(ka, kb, length), c.expected) << c.fields << "/" << c.partial;
  }
  EXPECT_EQ(layout.compareLength(1, 3), 5u + 1 + 3);
}

TEST(KeyRange, FillsAreExchangedInDescendingFieldsAndTheSuffixIsFilledToo) {
  const auto fields = MakeFields({{FieldType::Integer}, {FieldType::SmallInt}});
  const TKeyLayout layout(IndexOn({{1, false}, {2, true}}, 12, false), fields, Plain(), "T");
  const TKeyBuilder builder(layout);
  Row row(fields, 1);
  row.integer(1, 1).integer(2, 0);
  KeyBuffer start = builder.build(row.bytes());
  KeyBuffer end = start;
  builder.fillRangeStart(start, 5);
  builder.fillRangeEnd(end, 5);
  EXPECT_EQ(start, Hex("01 80000001 FF FFFF 00000000"));
  EXPECT_EQ(end, Hex("01 80000001 00 0000 FFFFFFFF"));
}

TEST(KeyRange, EndFillOfALocaleStringIsItsHighestCharacter) {
  const auto fields = MakeFields({{FieldType::String, 3}});
  const auto collation = TCollation::ForLocale(1033, "T");
  const TKeyLayout layout(IndexOn({{1, false}}, 5), fields, collation, "T");
  KeyBuffer end(5, 0);
  TKeyBuilder(layout).fillRangeEnd(end, 0);
  const uint8_t high = collation->highestChar();
  EXPECT_EQ(end, (KeyBuffer{0xFF, high, high, high, high}));
  for (int c = 1; c < 256; ++c) {
    const char a = static_cast<char>(c), h = static_cast<char>(high);
    EXPECT_LE(collation->compare({&a, 1}, {&h, 1}), 0) << c;
  }
}

}  // namespace
}  // namespace keel
