#include "engine/components/EngineErrorText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ComponentFixture.h"
#include "engine/components/KeelQuery.h"
#include "engine/components/KeelTable.h"

namespace keel::testing {
namespace {

class EngineErrorTextTest : public ComponentTest {
 protected:
  // "Übung" with the required field "Größe" and the unique index "Größenfolge".
  void SetUp() override {
    ComponentTest::SetUp();
    TKeelTable t;
    point(t, "Übung");
    t.FieldDefs().Add("Größe", TFieldType::ftInteger, 0, true);
    t.FieldDefs().Add("Name", TFieldType::ftString, 20);
    t.IndexDefs().Add("Größenfolge", "Größe", ixUnique);
    t.CreateTableFromDefs();
  }
};

// Runs `action` and answers the message of the engine error it raised.
std::string EngineMessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EKeelEngineError& error) {
    return error.what();
  }
  return "(no engine error)";
}

TEST_F(EngineErrorTextTest, ErrorsReachingTheApplicationNameThingsInUtf8) {
  TKeelTable t;
  point(t, "Übung");
  t.Open();
  t.Append();
  EXPECT_EQ(EngineMessageOf([&] { t.Post(); }),
            "Keel Engine Error # 9732 A value must be provided for the field 'Größe' in the table 'Übung'");
  t.FieldByName("Größe").SetAsInteger(1);
  t.Post();
  t.Append();
  t.FieldByName("größe").SetAsInteger(1);
  EXPECT_EQ(EngineMessageOf([&] { t.Post(); }),
            "Keel Engine Error # 9729 Duplicate key found in the index 'Größenfolge' of the table 'Übung'");
  t.Cancel();

  EXPECT_EQ(EngineMessageOf([&] { t.SetIndexName("Größenordnung"); }),
            "Keel Engine Error # 10022 Invalid secondary index name 'Größenordnung' specified for the table 'Übung'");
  t.SetFilter("Weiß = 1");
  const std::string message = EngineMessageOf([&] { t.SetFiltered(true); });
  EXPECT_EQ(message.rfind("Keel Engine Error # 10051 Filter error for the table 'Übung' - ", 0), 0u) << message;
  EXPECT_NE(message.find("Weiß"), std::string::npos) << message;
}

TEST_F(EngineErrorTextTest, ANonAsciiTableNameIsItsUtf8FileNameForTablesAndQueries) {
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder()) / std::filesystem::path(u8"Übung.dat")));
  TKeelTable t;
  point(t, "Übung");
  t.Open();
  t.Append();
  t.FieldByName("Größe").SetAsInteger(7);
  t.Post();
  t.Close();

  engine().DefaultSession().SetPrivateDir(folder());
  TKeelQuery query;
  query.SetDatabaseName(folder());
  query.SetSQL({"SELECT Größe FROM Übung"});
  query.Open();
  ASSERT_FALSE(query.Eof());
  EXPECT_EQ(query.FieldByName("Größe").AsInteger(), 7);
}

TEST_F(EngineErrorTextTest, QueryErrorsQuoteTheStatementInUtf8) {
  createEventsTable();
  TKeelQuery query;
  query.SetDatabaseName(folder());
  query.SetSQL({"SELECT Description, Weiß FROM Events"});
  const std::string message = EngineMessageOf([&] { query.Open(); });
  EXPECT_EQ(message.rfind("Keel Engine Error # 11949 ", 0), 0u) << message;
  EXPECT_NE(message.find("Weiß"), std::string::npos) << message;
}

TEST(EngineErrorTextUnit, ConvertsWindows1252NamesOnceAndKeepsUtf8) {
  struct Case {
    std::string text;
    bool utf8;
  };
  for (const Case& c : {Case{"", true}, Case{"Plain", true}, Case{"Übung", true}, Case{"\xDC" "bung", false},
                        Case{"Gr\xF6\xDF" "e", false}, Case{"\xC3", false}, Case{"\xE0\x80\x80", false},
                        Case{"\xED\xA0\x80", false}, Case{"\xF0\x9F\x98\x80", true}}) {
    EXPECT_EQ(IsUtf8(c.text), c.utf8) << c.text;
  }
  const EKeelEngineError raw(ErrorCode::KEEL_REQDERR, {.table = "Übung", .field = "Gr\xF6\xDF" "e"});
  const EKeelEngineError once = Utf8EngineError(raw);
  EXPECT_STREQ(once.what(), "Keel Engine Error # 9732 A value must be provided for the field 'Größe' in the table 'Übung'");
  EXPECT_EQ(once.context().field, "Größe");
  EXPECT_STREQ(Utf8EngineError(once).what(), once.what());
}

}  // namespace
}  // namespace keel::testing
