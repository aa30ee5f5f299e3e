// Index definitions at table creation: what is stored, and each refusal with
// its engine error.

#include <gtest/gtest.h>

#include "IndexFixtures.h"
#include "engine/core/IndexDefinitions.h"

namespace keel {
namespace {

using index_testing::MakeFields;

IndexDescriptor Named(const std::string& name, std::vector<IndexKeyField> fields, bool unique = true) {
  IndexDescriptor d;
  d.name = name;
  d.fields = std::move(fields);
  d.unique = unique;
  return d;
}

class IndexDefinitionsTest : public ::testing::Test {
 protected:
  // Field 1 text of 335 characters (key 337), 2 integer, 3 BLOB, 4 text of 336.
  std::vector<FieldDescriptor> fields_ = MakeFields(
      {{FieldType::String, 335}, {FieldType::Integer}, {FieldType::Blob}, {FieldType::String, 336}});
  TIndexDefinitions definitions_{fields_, 1024, "Events"};
};

TEST_F(IndexDefinitionsTest, StoredFormsGetNamesUniquenessAndKeySizes) {
  const auto v =
      definitions_.validate(Named("Main", {{2, false}}, false),
                            {Named("  ByText ", {{1, true}}, false), Named("ById", {{0xFFFF, false}})});
  EXPECT_EQ(v.primary.name, "");
  EXPECT_TRUE(v.primary.unique);
  EXPECT_EQ(v.primary.keySize, 5);
  EXPECT_EQ(v.secondaries[0].name, "ByText");
  EXPECT_EQ(v.secondaries[0].keySize, 337 + 4);  // the page size 1024 allows 337 without the suffix
  EXPECT_EQ(v.secondaries[1].keySize, 5);
  EXPECT_EQ(definitions_.validate(Named("", {}), {}).primary, IndexDescriptor::DefaultPrimary());
}

TEST_F(IndexDefinitionsTest, EachBadDefinitionGetsItsError) {
  const std::string longName(61, 'x');
  std::vector<IndexKeyField> tooMany(129, IndexKeyField{2, false});
  const struct {
    const char* what;
    std::vector<IndexDescriptor> secondaries;
    ErrorCode expected;
  } cases[] = {
      {"empty name", {Named("  ", {{2, false}})}, ErrorCode::KEEL_INDEXNAMEREQUIRED},
      {"name of 61 characters", {Named(longName, {{2, false}})}, ErrorCode::KEEL_INVALIDINDEXNAME},
      {"name starting with a control character",
       {Named("\x01X", {{2, false}})},
       ErrorCode::KEEL_INVALIDINDEXNAME},
      {"same name in other case",
       {Named("ByNo", {{2, false}}), Named("BYNO", {{1, false}})},
       ErrorCode::KEEL_INDEXEXISTS},
      {"field that does not exist", {Named("X", {{9, false}})}, ErrorCode::KEEL_INVALIDIDXDESC},
      {"BLOB field", {Named("X", {{3, false}})}, ErrorCode::KEEL_SEARCHCOLREQD},
      {"key of 338 bytes on 1024-byte pages", {Named("X", {{4, false}})}, ErrorCode::KEEL_INVALIDKEY},
      {"no key fields", {Named("X", {})}, ErrorCode::KEEL_INVALIDKEY},
      {"129 key fields", {Named("X", tooMany)}, ErrorCode::KEEL_INDEXLIMIT},
      {"31 secondary indexes", std::vector<IndexDescriptor>(31, Named("X", {{2, false}})),
       ErrorCode::KEEL_INDEXLIMIT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_ENGINE_ERROR(definitions_.validate(IndexDescriptor{}, c.secondaries), c.expected);
  }
}

TEST_F(IndexDefinitionsTest, ErrorsNameTheFieldIndexAndTable) {
  try {
    definitions_.validate(IndexDescriptor{}, {Named("ByBlob", {{3, false}})});
    FAIL() << "no error";
  } catch (const EKeelEngineError& error) {
    EXPECT_STREQ(error.what(),
                 "Keel Engine Error # 12292 Invalid field 'F3' specified for the index 'ByBlob' in the table "
                 "'Events'");
  }
}

TEST_F(IndexDefinitionsTest, APrimaryIndexIsAddedOnlyOverTheDefaultOne) {
  EXPECT_NO_THROW(definitions_.checkPrimaryAddable(IndexDescriptor::DefaultPrimary()));
  EXPECT_ENGINE_ERROR(definitions_.checkPrimaryAddable(Named("", {{2, false}})),
                      ErrorCode::KEEL_PRIMARYKEYREDEFINE);
}

TEST_F(IndexDefinitionsTest, FieldListsResolveByNameWithoutRegardToCase) {
  EXPECT_EQ(definitions_.resolveFields("f2; recordid ;F1", "F1", "X"),
            (std::vector<IndexKeyField>{{2, false}, {0xFFFF, false}, {1, true}}));
  EXPECT_ENGINE_ERROR(definitions_.resolveFields("F2;Nope", "", "X"), ErrorCode::KEEL_INVALIDIDXDESC);
}

}  // namespace
}  // namespace keel
