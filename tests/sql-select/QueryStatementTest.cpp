#include "engine/sql/QueryStatement.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/sql/StatementScanner.h"
#include "tests/sql-select/SelectFixtures.h"

namespace keel {
namespace {

using testing::FailureOf;
using testing::TFailure;
using testing::TFakeTables;

struct TKindCase {
  std::string Text;
  TStatementKind Kind;
  std::string Label;
};

TEST(QueryStatementTest, FirstKeywordsDecideKindAndLabel) {
  const TKindCase cases[] = {
      {"select * from People", TStatementKind::Select, "SELECT SQL statement"},
      {"(SELECT * FROM People)", TStatementKind::Select, "SELECT SQL statement"},
      {"insert into T values (1)", TStatementKind::Insert, "INSERT SQL statement"},
      {"UPDATE T SET a = 1", TStatementKind::Update, "UPDATE SQL statement"},
      {"DELETE FROM T", TStatementKind::Delete, "DELETE SQL statement"},
      {"create table T (a INTEGER)", TStatementKind::CreateTable, "CREATE TABLE SQL statement"},
      {"ALTER TABLE T", TStatementKind::AlterTable, "ALTER TABLE SQL statement"},
      {"EMPTY TABLE T", TStatementKind::EmptyTable, "EMPTY TABLE SQL statement"},
      {"OPTIMIZE TABLE T", TStatementKind::OptimizeTable, "OPTIMIZE TABLE SQL statement"},
      {"EXPORT TABLE T", TStatementKind::ExportTable, "EXPORT TABLE SQL statement"},
      {"IMPORT TABLE T", TStatementKind::ImportTable, "IMPORT TABLE SQL statement"},
      {"VERIFY TABLE T", TStatementKind::VerifyTable, "VERIFY TABLE SQL statement"},
      {"REPAIR TABLE T", TStatementKind::RepairTable, "REPAIR TABLE SQL statement"},
      {"UPGRADE TABLE T", TStatementKind::UpgradeTable, "UPGRADE TABLE SQL statement"},
      {"DROP TABLE T", TStatementKind::DropTable, "DROP TABLE SQL statement"},
      {"RENAME TABLE T TO U", TStatementKind::RenameTable, "RENAME TABLE SQL statement"},
      {"CREATE INDEX I ON T (a)", TStatementKind::CreateIndex, "CREATE INDEX SQL statement"},
      {"CREATE UNIQUE INDEX I ON T (a)", TStatementKind::CreateIndex, "CREATE UNIQUE SQL statement"},
      {"CREATE NOCASE INDEX I ON T (a)", TStatementKind::CreateIndex, "CREATE NOCASE SQL statement"},
      {"DROP INDEX T.I", TStatementKind::DropIndex, "DROP INDEX SQL statement"},
      {"START TRANSACTION", TStatementKind::StartTransaction, "START TRANSACTION SQL statement"},
      {"ROLLBACK", TStatementKind::Rollback, "ROLLBACK SQL statement"},
      {"commit", TStatementKind::Commit, "COMMIT SQL statement"},
      // The label is the keywords as written: line breaks go, other blanks stay.
      {"Create\r\n  Table T", TStatementKind::CreateTable, "CREATE  TABLE SQL statement"},
  };
  TFakeTables tables;
  for (const TKindCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TQueryStatement statement(tables);
    statement.PrepareStatement(c.Text, 1, 1);
    EXPECT_EQ(statement.Kind(), c.Kind);
    EXPECT_EQ(statement.Label(), c.Label);
    EXPECT_EQ(statement.Query() != nullptr, c.Kind == TStatementKind::Select);
  }
}

struct TMessageCase {
  const char* Name;
  std::string Text;
  std::string Message;
  int Line;
  int Column;
};

constexpr const char* kFirstWords =
    "SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, DROP, RENAME, EMPTY, OPTIMIZE, EXPORT, IMPORT, VERIFY, "
    "REPAIR, UPGRADE, START, ROLLBACK, or COMMIT";

TEST(QueryStatementTest, ParseMessagesNameTheTokenAndItsPosition) {
  const TMessageCase cases[] = {
      {"unknown column on line 3",
       "SELECT *\nFROM People P\nWHERE P.[Dead] <> True AND P.[Nope~J] IS NOT NULL\nORDER BY P.[Search "
       "date~J]",
       "Expected column name but instead found P.[Nope~J] in SELECT SQL statement", 3, 28},
      {"qualifier that names no table", "SELECT X.[Code] FROM People P",
       "Expected column name but instead found X.[Code] in SELECT SQL statement", 1, 8},
      {"all columns of an unknown table", "SELECT Q.* FROM People P",
       "Expected column name but instead found Q.* in SELECT SQL statement", 1, 8},
      {"ORDER BY 0", "SELECT P.[Description], P.[Birth date~J]\nFROM People P\nORDER BY 0",
       "Expected column number but instead found 0 in SELECT SQL statement", 3, 10},
      {"ORDER BY beyond the columns",
       "SELECT P.[Description], P.[Birth date~J]\nFROM People P\nORDER BY 1, 3",
       "Expected column number but instead found 3 in SELECT SQL statement", 3, 13},
      {"ORDER BY a column not selected", "SELECT P.[Code]\nFROM People P\nORDER BY P.[Dead]",
       "Expected column name but instead found P.[Dead] in SELECT SQL statement", 3, 10},
      {"ORDER BY neither name nor number", "SELECT * FROM People ORDER BY 'x'",
       "Expected column name or constant value but instead found 'x' in SELECT SQL statement", 1, 31},
      {"duplicate correlation name", "SELECT *\nFROM People P, Families p",
       "Duplicate table or table correlation name p in SELECT SQL statement", 2, 16},
      {"duplicate table name", "SELECT * FROM People, people",
       "Duplicate table or table correlation name people in SELECT SQL statement", 1, 23},
      {"unterminated bracket at the end", "SELECT *\nFROM People P\nWHERE P.[Dead",
       "Missing ] in SELECT SQL statement", 3, 9},
      {"unterminated bracket before a line break", "SELECT *\nFROM People P\nWHERE P.[Dead\nORDER BY 1",
       "Expected ] but instead found [Dead in SELECT SQL statement", 3, 9},
      {"bare column name with a blank", "SELECT *\nFROM People P\nWHERE P.Search date~J IS NOT NULL",
       "Expected end of statement but instead found date in SELECT SQL statement", 3, 16},
      {"bare column name with a blank in the select list", "SELECT P.Birth date~J\nFROM People P",
       "Expected FROM but instead found ~ in SELECT SQL statement", 1, 20},
      {"missing FROM at the end", "SELECT *", "Missing FROM in SELECT SQL statement", 1, 9},
      {"misspelt FROM", "SELECT *\nFRM People",
       "Expected FROM but instead found People in SELECT SQL statement", 2, 5},
      {"wrong first word", "SELEKT * FROM People",
       std::string("Expected ") + kFirstWords + " but instead found SELEKT in SQL statement", 1, 1},
      {"nothing but a comment", "-- nothing", std::string("Missing ") + kFirstWords + " in SQL statement", 1,
       11},
      {"CREATE followed by a wrong word", "CREATE VIEW V",
       "Expected TABLE, INDEX, UNIQUE, or NOCASE but instead found VIEW in SQL statement", 1, 8},
      {"DROP followed by a wrong word", "DROP VIEW V",
       "Expected TABLE or INDEX but instead found VIEW in SQL statement", 1, 6},
      {"ALTER followed by a wrong word", "ALTER INDEX I",
       "Expected TABLE but instead found INDEX in SQL statement", 1, 7},
      {"START alone", "START", "Missing TRANSACTION in SQL statement", 1, 6},
      {"parenthesis before another kind", "( UPDATE T",
       "Expected SELECT but instead found UPDATE in SQL statement", 1, 3},
      {"unclosed parenthesised SELECT", "(SELECT * FROM People", "Missing ) in SELECT SQL statement", 1, 22},
      {"trailing text", "SELECT * FROM People P ORDER BY P.[Code] DESC extra",
       "Expected end of statement but instead found extra in SELECT SQL statement", 1, 47},
      {"TOP without a number", "SELECT * FROM People TOP many",
       "Expected Integer but instead found many in SELECT SQL statement", 1, 26},
      {"missing table name", "SELECT * FROM 5",
       "Expected table name but instead found 5 in SELECT SQL statement", 1, 15},
      {"AS without a correlation name", "SELECT * FROM People AS",
       "Missing table correlation name in SELECT SQL statement", 1, 24},
      {"alias that is no plain name", "SELECT P.Code AS P.Code FROM People P",
       "Expected column name but instead found P.Code in SELECT SQL statement", 1, 18},
      {"INTO inside a sub-query", "SELECT * FROM People WHERE Code IN (SELECT Code INTO X FROM Families)",
       "Invalid expression INTO found in SELECT SQL statement", 1, 49},
      {"HAVING without GROUP BY", "SELECT Code FROM People HAVING Code > 1",
       "A GROUP BY clause must exist in order to use the HAVING clause in SELECT SQL statement", 1, 25},
      {"FULL join", "SELECT * FROM People FULL JOIN Families F ON People.Code = F.Code",
       "Invalid expression FULL found in SELECT SQL statement", 1, 22},
      {"unclosed parenthesis in FROM", "SELECT * FROM (People P WHERE P.Code = 1",
       "Expected ) but instead found WHERE in SELECT SQL statement", 1, 25},
      {"join without ON", "SELECT * FROM People P JOIN Families F WHERE P.Code = 1",
       "Expected ON but instead found WHERE in SELECT SQL statement", 1, 40},
  };
  TFakeTables tables;
  for (const TMessageCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TQueryStatement statement(tables);
    TFailure failure = FailureOf([&] { statement.PrepareStatement(c.Text, 1, 1); });
    EXPECT_EQ(failure.Code, ErrorCode::KEEL_SQLPARSE);
    EXPECT_EQ(failure.Message, c.Message);
    EXPECT_EQ(failure.Line, c.Line);
    EXPECT_EQ(failure.Column, c.Column);
    EXPECT_FALSE(statement.Prepared());
  }
}

TEST(QueryStatementTest, MessageIsFormattedAsTheEngineError) {
  TFakeTables tables;
  TQueryStatement statement(tables);
  TFailure failure = FailureOf([&] { statement.PrepareStatement("SELECT Nope FROM People", 1, 1); });
  EXPECT_EQ(failure.What,
            "Keel Engine Error # 11949 SQL parsing error - Expected column name but instead found Nope in "
            "SELECT SQL "
            "statement at line 1, column 8");
}

// Runs every statement of a text the way the query component does and
// returns the failure of the first statement that fails.
TFailure FailureOfRun(const std::string& text) {
  TFakeTables tables;
  TQueryStatement statement(tables);
  TStatementScanner scanner(text);
  return FailureOf([&] {
    do {
      TScannedStatement next = scanner.Next();
      statement.PrepareStatement(next.Text, next.FirstLine, next.FirstColumn);
    } while (!scanner.AtEnd());
  });
}

TEST(QueryStatementTest, MessagesOfLaterStatementsPointIntoTheWholeText) {
  const TMessageCase cases[] = {
      {"second statement on its own line", "SELECT * FROM People;\r\n\r\n  SELECT Nope FROM People",
       "Expected column name but instead found Nope in SELECT SQL statement", 3, 10},
      {"second statement on the same line", "SELECT * FROM People; SELECT Nope FROM People",
       "Expected column name but instead found Nope in SELECT SQL statement", 1, 30},
      {"after a parameter on the same line", "SELECT * FROM People P WHERE P.Code = :code AND P.Nope = 1",
       "Expected column name but instead found P.Nope in SELECT SQL statement", 1, 49},
      {"after a comment spanning lines", "SELECT 1 FROM People; /* a\nb */ SELECT * FROM People WHERE [x",
       "Missing ] in SELECT SQL statement", 2, 33},
  };
  for (const TMessageCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFailure failure = FailureOfRun(c.Text);
    EXPECT_EQ(failure.Message, c.Message);
    EXPECT_EQ(failure.Line, c.Line);
    EXPECT_EQ(failure.Column, c.Column);
  }
}

TEST(QueryStatementTest, ParametersAreCollectedAndATableThatCannotOpenFails) {
  TFakeTables tables;
  TQueryStatement statement(tables);
  statement.PrepareStatement("SELECT * FROM People P WHERE P.Code = ? OR P.Code BETWEEN ? AND 5", 1, 1);
  ASSERT_EQ(statement.Parameters().size(), 2u);
  EXPECT_TRUE(statement.Parameters()[0]->IsParameter);
  EXPECT_EQ(statement.Parameters()[1]->Column, 59);
  EXPECT_EQ(statement.TableName(), "People");

  TFailure failure = FailureOf([&] { statement.PrepareStatement("SELECT * FROM Missing", 1, 1); });
  EXPECT_EQ(failure.Code, ErrorCode::KEEL_OSENOENT);
  EXPECT_FALSE(statement.Prepared());
  EXPECT_TRUE(statement.Parameters().empty());
}

// Malformed and random statements end in an engine error or the component's
// empty-statement error, never in anything else.
TEST(QueryStatementTest, RandomTextsNeverCrash) {
  const std::vector<std::string> pieces = {
      "SELECT", "*",      "FROM",     "People",    "P",         "Families", "F",      "WHERE",
      "ORDER",  "BY",     "GROUP",    "HAVING",    "TOP",       "1",        "0",      "99999999999",
      "1.5E+3", ",",      ".",        "(",         ")",         ";",        "[Dead]", "[Search date~J]",
      "P.",     "'x'",    "''",       "\"q\"",     ":p",        "?",        "AND",    "OR",
      "NOT",    "IS",     "NULL",     "IN",        "LIKE",      "BETWEEN",  "=",      "<",
      ">",      "-",      "+",        "|",         "#65",       "AS",       "INTO",   "JOIN",
      "LEFT",   "ON",     "UNION",    "DISTINCT",  "COUNT",     "UPPER",    "CASE",   "WHEN",
      "END",    "DESC",   "NOCASE",   "LOCALE",    "ENCRYPTED", "WITH",     "CREATE", "TABLE",
      "DROP",   "--",     "/*",       "*/",        "\r\n",      "\n",       "[",      "]",
      "\\",     "Memory", "RecordID", "EXCLUSIVE", "CAST",      "EXTRACT",  "\x01",   "\xFF",
      "@",
  };
  std::mt19937 random(20261210);
  TFakeTables tables;
  for (int round = 0; round < 4000; ++round) {
    // Half the texts start like a valid statement, so that the later
    // clauses and name resolution are reached too.
    const char* starts[] = {"", "SELECT ", "SELECT * FROM People P ", "SELECT P.Code FROM People P WHERE "};
    std::string text = starts[round % 2 == 0 ? 0 : 1 + random() % 3];
    int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) {
      text += pieces[random() % pieces.size()];
      if (random() % 3 != 0) text += ' ';
    }
    if (round % 4 == 0 && !text.empty()) text[random() % text.size()] = static_cast<char>(random() % 256);
    TStatementScanner scanner(text);
    TQueryStatement statement(tables);
    try {
      do {
        TScannedStatement next = scanner.Next();
        statement.PrepareStatement(next.Text, next.FirstLine, next.FirstColumn);
      } while (!scanner.AtEnd());
    } catch (const EKeelEngineError& error) {
      bool expected = error.code() == ErrorCode::KEEL_SQLPARSE || error.code() == ErrorCode::KEEL_OSENOENT;
      EXPECT_TRUE(expected) << text << " -> " << error.what();
      if (error.code() == ErrorCode::KEEL_SQLPARSE) {
        EXPECT_GE(error.line(), 1) << text;
        EXPECT_GE(error.column(), 1) << text;
      }
    } catch (const ENoSqlStatement&) {
    } catch (const std::exception& error) {
      ADD_FAILURE() << text << " -> " << error.what();
    }
  }
}

}  // namespace
}  // namespace keel
