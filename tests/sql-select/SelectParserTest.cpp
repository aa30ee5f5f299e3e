#include "engine/sql/SelectParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/sql/QueryStatement.h"
#include "tests/sql-select/SelectFixtures.h"

namespace keel {
namespace {

using testing::ResultNames;
using testing::TFakeTables;

struct TOrderItem {
  int ResultColumn;
  bool Descending;
};

struct TShapeCase {
  const char* Name;
  std::string Text;
  std::string Table;
  std::string Correlation;
  std::vector<std::string> Columns;  // empty: every column of Table
  std::vector<TOrderItem> OrderBy;
};

std::string Lines(std::initializer_list<const char*> lines, const char* lineBreak = "\r\n") {
  std::string text;
  for (const char* line : lines) text += (text.empty() ? "" : lineBreak) + std::string(line);
  return text;
}

// The statements the alert scan issues, as their lines are joined.
TEST(SelectParserTest, ApplicationStatementsParseToTheirShape) {
  TFakeTables tables;
  int searchDateJ = tables.FieldOf("People", "Search date~J");
  int marriageJ = tables.FieldOf("Families", "Marriage date~J");
  int customJ = tables.FieldOf("Families", "My Custom date~J");
  const TShapeCase cases[] = {
      {"birthdays of the living",
       Lines({"SELECT *", "FROM People P", "WHERE P.[Dead] <> True AND P.[Search date~J] IS NOT NULL",
              "ORDER BY P.[Search date~J]"}),
       "People",
       "P",
       {},
       {{searchDateJ, false}}},
      {"birthdays of everyone, LF line breaks",
       Lines(
           {"SELECT *", "FROM People P", "WHERE P.[Search date~J] IS NOT NULL", "ORDER BY P.[Search date~J]"},
           "\n"),
       "People",
       "P",
       {},
       {{searchDateJ, false}}},
      {"marriages",
       Lines({"SELECT *", "FROM Families F", "WHERE F.[Marriage date~J] IS NOT NULL",
              "ORDER BY F.[Marriage date~J]"}),
       "Families",
       "F",
       {},
       {{marriageJ, false}}},
      {"custom column with blanks",
       Lines({"SELECT *", "FROM Families F", "WHERE F.[My Custom date~J] IS NOT NULL",
              "ORDER BY F.[My Custom date~J]"}),
       "Families",
       "F",
       {},
       {{customJ, false}}},
      {"the stored example",
       Lines({"SELECT P.[Description], P.[Birth date~J],  P.[Birth date~D]", "FROM People P",
              "WHERE P.[Dead] <> True AND P.[Birth date~J] IS NOT NULL", "ORDER BY P.[Birth date~J]"}),
       "People",
       "P",
       {"Description", "Birth date~J", "Birth date~D"},
       {{2, false}}},
      {"qualifier and name in another case",
       "SELECT * FROM People P ORDER BY p.[search date~j] DESC",
       "People",
       "P",
       {},
       {{searchDateJ, true}}},
  };
  for (const TShapeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TQueryStatement statement(tables);
    statement.PrepareStatement(c.Text, 1, 1);
    const TDataQuery& query = *statement.Query();
    ASSERT_EQ(query.SourceTables.size(), 1u);
    EXPECT_EQ(query.SourceTables[0].TableName, c.Table);
    EXPECT_EQ(query.SourceTables[0].CorrelationName, c.Correlation);
    EXPECT_EQ(ResultNames(query), c.Columns.empty() ? tables.NamesOf(c.Table) : c.Columns);
    ASSERT_EQ(query.OrderBy.size(), c.OrderBy.size());
    for (size_t i = 0; i < c.OrderBy.size(); ++i) {
      EXPECT_EQ(query.OrderBy[i].ResultColumn, c.OrderBy[i].ResultColumn);
      EXPECT_EQ(query.OrderBy[i].Descending, c.OrderBy[i].Descending);
    }
    EXPECT_FALSE(query.OrderByNoCase);
    EXPECT_EQ(query.TopCount, -1);
    EXPECT_EQ(query.OutsideSubset(), "");
  }
}

// The WHERE of the living-people statement: AND over "<> True" and IS NOT
// NULL, both column references resolved into People.
TEST(SelectParserTest, LivingClauseBuildsTheConditionTree) {
  TFakeTables tables;
  TQueryStatement statement(tables);
  statement.PrepareStatement(
      Lines({"SELECT *", "FROM People P", "WHERE P.[Dead] <> True AND P.[Search date~J] IS NOT NULL"}), 1, 1);
  const TExpToken& where = *statement.Query()->Where;
  ASSERT_EQ(where.Operator, TExpOperator::And);
  const TExpToken& dead = *where.Left;
  EXPECT_EQ(dead.Operator, TExpOperator::NotEqual);
  EXPECT_EQ(dead.Left->ColumnName, "Dead");
  EXPECT_EQ(dead.Left->FieldNumber, tables.FieldOf("People", "Dead"));
  EXPECT_EQ(dead.Left->SourceNumber, 1);
  EXPECT_EQ(dead.Right->Type, FieldType::Boolean);
  EXPECT_EQ(dead.Right->Int, 1);
  const TExpToken& dated = *where.Right;
  EXPECT_EQ(dated.Operator, TExpOperator::NotEqual);
  EXPECT_EQ(dated.Left->FieldNumber, tables.FieldOf("People", "Search date~J"));
  EXPECT_TRUE(dated.Right->IsNullConstant());
}

TEST(SelectParserTest, OrderByOptionsTopAndTableReferenceForms) {
  TFakeTables tables;
  TQueryStatement statement(tables);
  statement.PrepareStatement(
      "SELECT ALL P.Code, P.Surname Name FROM [C:\\Data\\People.DAT] AS P EXCLUSIVE "
      "ORDER BY 2 DESCENDING, Code ASC NOCASE TOP 10",
      1, 1);
  const TDataQuery& query = *statement.Query();
  const TSourceTable& table = query.SourceTables[0];
  EXPECT_EQ(table.Folder, "C:\\Data");
  EXPECT_EQ(table.TableName, "People");
  EXPECT_EQ(table.CorrelationName, "P");
  EXPECT_TRUE(table.Exclusive);
  EXPECT_EQ(ResultNames(query), (std::vector<std::string>{"Code", "Name"}));
  ASSERT_EQ(query.OrderBy.size(), 2u);
  EXPECT_EQ(query.OrderBy[0].ResultColumn, 2);
  EXPECT_TRUE(query.OrderBy[0].Descending);
  EXPECT_EQ(query.OrderBy[1].ResultColumn, 1);
  EXPECT_FALSE(query.OrderBy[1].Descending);
  EXPECT_EQ(query.OrderBy[1].Text, "Code");
  EXPECT_TRUE(query.OrderByNoCase);
  EXPECT_EQ(query.TopCount, 10);
  EXPECT_EQ(query.OutsideSubset(), "");

  statement.PrepareStatement("(SELECT * FROM Memory\\People)", 1, 1);
  EXPECT_TRUE(statement.Query()->Parenthesised);
  EXPECT_EQ(statement.Query()->SourceTables[0].Folder, "Memory");
  EXPECT_EQ(statement.Query()->SourceTables[0].CorrelationName, "People");
  EXPECT_EQ(statement.Query()->StatementText, "SELECT * FROM Memory\\People");
}

struct TOutsideCase {
  std::string Text;
  std::string Construct;
};

// Clauses outside the executable subset parse, are recorded, and keep their
// keywords reserved (none of them is taken for a correlation name).
TEST(SelectParserTest, ClausesOutsideTheSubsetAreRecorded) {
  const TOutsideCase cases[] = {
      {"SELECT DISTINCT * FROM People", "DISTINCT"},
      {"SELECT * INTO Copy FROM People", "INTO"},
      {"SELECT * FROM People P, Families F", "JOIN"},
      {"SELECT * FROM People P INNER JOIN Families F ON P.Code = F.Code", "JOIN"},
      {"SELECT * FROM People LEFT OUTER JOIN Families ON People.Code = Families.Code", "JOIN"},
      {"SELECT * FROM (People P RIGHT JOIN Families F ON P.Code = F.Code)", "JOIN"},
      {"SELECT COUNT(*) AS N FROM People", "aggregate functions"},
      {"SELECT Code FROM People GROUP BY Code HAVING MAX(Code) > 1", "GROUP BY"},
      {"SELECT Code FROM People GROUP BY Code", "GROUP BY"},
      {"SELECT * FROM People WHERE Code IN (SELECT Code FROM Families)", "sub-queries"},
      {"SELECT Code FROM People UNION ALL SELECT Code FROM Families", "UNION"},
      {"SELECT Code FROM People INTERSECT (SELECT Code FROM Families)", "INTERSECT"},
      {"SELECT Code FROM People EXCEPT DISTINCT SELECT Code FROM Families", "EXCEPT"},
      {"SELECT * FROM People LOCALE 'ANSI Standard'", "LOCALE"},
      {"SELECT * FROM People ENCRYPTED WITH 'secret'", "ENCRYPTED"},
      {"SELECT * FROM People NOJOINOPTIMIZE", "NOJOINOPTIMIZE"},
      {"SELECT * FROM People JOINOPTIMIZECOSTS", "JOINOPTIMIZECOSTS"},
  };
  TFakeTables tables;
  for (const TOutsideCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TQueryStatement statement(tables);
    statement.PrepareStatement(c.Text, 1, 1);
    EXPECT_EQ(statement.Query()->OutsideSubset(), c.Construct);
  }
}

TEST(SelectParserTest, SubQueryIsRefusedWhenRun) {
  TFakeTables tables;
  TQueryStatement statement(tables);
  statement.PrepareStatement("SELECT * FROM People WHERE Code IN (SELECT Code FROM Families)", 1, 1);
  ASSERT_EQ(statement.Query()->SubQueries.size(), 1u);
  TExpToken subject;
  try {
    statement.Query()->SubQueries[0]->ReturnsRowFor(subject);
    ADD_FAILURE() << "a sub-query answered";
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_SQLEXEC);
  }
}

}  // namespace
}  // namespace keel
