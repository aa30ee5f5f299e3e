#include "engine/sql/NameResolver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/sql/QueryStatement.h"
#include "tests/sql-select/SelectFixtures.h"

namespace keel {
namespace {

using testing::FailureOf;
using testing::ResultNames;
using testing::TFailure;
using testing::TFakeTables;

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(NameResolverTest, StarsExpandToTheColumnsOfTheirTables) {
  TFakeTables tables;
  TQueryStatement statement(tables);
  statement.PrepareStatement("SELECT * FROM People P, Families F", 1, 1);
  EXPECT_EQ(ResultNames(*statement.Query()), Concat(tables.NamesOf("People"), tables.NamesOf("Families")));

  statement.PrepareStatement("SELECT f.*, P.[Code] FROM People P, Families F", 1, 1);
  const TDataQuery& query = *statement.Query();
  EXPECT_EQ(ResultNames(query), Concat(tables.NamesOf("Families"), {"Code"}));
  const TResultField& last = query.ResultFields.back();
  EXPECT_EQ(last.SourceNumber, 1);
  EXPECT_EQ(last.ResultFieldNumber, static_cast<int>(query.ResultFields.size()));
  const TResultField& first = query.ResultFields.front();
  EXPECT_EQ(first.SourceNumber, 2);
  EXPECT_EQ(first.CorrelationName, "F");
  EXPECT_FALSE(first.IsExpression);
}

struct TReferenceCase {
  std::string Item;
  std::string Name;
  int Source;
  int Field;
};

// Against "FROM People P, Families F": qualifiers and names ignore case, an
// unqualified name belongs to the first table that has it, and every table
// has the hidden RecordID and RecordHash.
TEST(NameResolverTest, ColumnReferencesFindTheirTableAndField) {
  TFakeTables tables;
  const TReferenceCase cases[] = {
      {"p.[code]", "Code", 1, tables.FieldOf("People", "Code")},
      {"Code", "Code", 1, tables.FieldOf("People", "Code")},
      {"F.Code", "Code", 2, tables.FieldOf("Families", "Code")},
      {"[Fathers name]", "Fathers name", 2, tables.FieldOf("Families", "Fathers name")},
      {"\"  Mothers NAME \"", "Mothers name", 2, tables.FieldOf("Families", "Mothers name")},
      {"P.[ Search date~J ]", "Search date~J", 1, tables.FieldOf("People", "Search date~J")},
      {"RecordID", "RecordID", 1, kRecordIdField},
      {"f.recordhash", "RecordHash", 2, kRecordHashField},
      {"F.Code AS Nr", "Nr", 2, tables.FieldOf("Families", "Code")},
  };
  for (const TReferenceCase& c : cases) {
    SCOPED_TRACE(c.Item);
    TQueryStatement statement(tables);
    statement.PrepareStatement("SELECT " + c.Item + " FROM People P, Families F WHERE " +
                                   c.Item.substr(0, c.Item.find(" AS ")) + " IS NULL",
                               1, 1);
    const TDataQuery& query = *statement.Query();
    ASSERT_EQ(query.ResultFields.size(), 1u);
    const TResultField& field = query.ResultFields[0];
    EXPECT_EQ(field.Name, c.Name);
    EXPECT_EQ(field.SourceNumber, c.Source);
    EXPECT_EQ(field.FieldNumber, c.Field);
    EXPECT_EQ(query.Where->Left->SourceNumber, c.Source);
    EXPECT_EQ(query.Where->Left->FieldNumber, c.Field);
  }
}

TEST(NameResolverTest, ExpressionItemsAreNamedByAliasOrText) {
  TFakeTables tables;
  TQueryStatement statement(tables);
  statement.PrepareStatement("SELECT P.Code + 1, UPPER(P.Surname) AS Big FROM People P ORDER BY Big, 1 DESC",
                             1, 1);
  const TDataQuery& query = *statement.Query();
  EXPECT_EQ(ResultNames(query), (std::vector<std::string>{"P.Code + 1", "Big"}));
  EXPECT_TRUE(query.ResultFields[0].IsExpression);
  const TExpToken& surname = *query.ResultFields[1].Expression->Arguments[0];
  EXPECT_EQ(surname.FieldNumber, tables.FieldOf("People", "Surname"));
  EXPECT_EQ(query.OrderBy[0].ResultColumn, 2);
  EXPECT_EQ(query.OrderBy[1].ResultColumn, 1);

  TFailure failure =
      FailureOf([&] { statement.PrepareStatement("SELECT UPPER(P.Nope) FROM People P", 1, 1); });
  EXPECT_EQ(failure.Message, "Expected column name but instead found P.Nope in SELECT SQL statement");
  EXPECT_EQ(failure.Column, 14);
}

// An ORDER BY name matches a plain result column of that table and source
// column, or (unqualified) a result column's alias; an expression's text
// never matches.
TEST(NameResolverTest, OrderByNamesMatchSourceColumnsAndAliases) {
  TFakeTables tables;
  TQueryStatement statement(tables);
  statement.PrepareStatement(
      "SELECT F.Code AS FamilyCode, P.Code FROM People P, Families F ORDER BY P.Code, Code, familycode", 1,
      1);
  const auto& orderBy = statement.Query()->OrderBy;
  EXPECT_EQ(orderBy[0].ResultColumn, 2);
  EXPECT_EQ(orderBy[1].ResultColumn, 1);
  EXPECT_EQ(orderBy[2].ResultColumn, 1);

  TFailure failure =
      FailureOf([&] { statement.PrepareStatement("SELECT P.Code + 1 FROM People P ORDER BY P.Code", 1, 1); });
  EXPECT_EQ(failure.Message, "Expected column name but instead found P.Code in SELECT SQL statement");
}

TEST(NameResolverTest, SubQueriesAndSetMembersResolveAgainstTheirOwnTables) {
  TFakeTables tables;
  TQueryStatement statement(tables);
  statement.PrepareStatement(
      "SELECT P.Code FROM People P WHERE P.Code IN (SELECT F.[Mothers name] FROM Families F) "
      "UNION SELECT [Fathers name] FROM Families",
      1, 1);
  const TDataQuery& query = *statement.Query();
  EXPECT_EQ(query.SubQueries[0]->ResultFields[0].FieldNumber, tables.FieldOf("Families", "Mothers name"));
  EXPECT_EQ(query.NextMember->ResultFields[0].FieldNumber, tables.FieldOf("Families", "Fathers name"));

  TFailure failure = FailureOf([&] {
    statement.PrepareStatement("SELECT P.Code FROM People P WHERE P.Code IN (SELECT P.Code FROM Families F)",
                               1, 1);
  });
  EXPECT_EQ(failure.Message, "Expected column name but instead found P.Code in SELECT SQL statement");
  EXPECT_EQ(failure.Column, 53);
}

TEST(NameResolverTest, ColumnLimitsAreChecked) {
  TFakeTables tables;
  tables.Add("Wide", std::vector<std::string>(1025, "C"));
  TQueryStatement statement(tables);
  TFailure failure = FailureOf([&] { statement.PrepareStatement("SELECT * FROM Wide", 1, 1); });
  EXPECT_EQ(failure.Message, "Maximum number of columns (1024) exceeded in SELECT SQL statement");
  EXPECT_EQ(failure.Column, 8);

  std::string orderBy;
  for (int i = 0; i < 1025; ++i) orderBy += (i == 0 ? "" : ", ") + std::string("1");
  failure = FailureOf([&] { statement.PrepareStatement("SELECT * FROM People ORDER BY " + orderBy, 1, 1); });
  EXPECT_EQ(failure.Message, "Maximum number of ORDER BY columns (1024) exceeded in SELECT SQL statement");
  EXPECT_EQ(failure.Column, 31 + 3 * 1024);
}

}  // namespace
}  // namespace keel
