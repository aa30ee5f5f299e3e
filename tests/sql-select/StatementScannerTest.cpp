#include "engine/sql/StatementScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace keel {
namespace {

struct TExpectedStatement {
  std::string Text;
  int Line;
  int Column;
  std::vector<std::string> Parameters = {};
};

std::vector<TScannedStatement> ScanAll(const std::string& text) {
  TStatementScanner scanner(text);
  std::vector<TScannedStatement> statements;
  do {
    statements.push_back(scanner.Next());
  } while (!scanner.AtEnd());
  return statements;
}

std::string Blanks(size_t count) {
  return std::string(count, ' ');
}

struct TSplitCase {
  const char* Name;
  std::string Text;
  std::vector<TExpectedStatement> Expected;
};

TEST(StatementScannerTest, CutsStatementsAtUnquotedSemicolons) {
  const TSplitCase cases[] = {
      {"one statement, no semicolon", "SELECT * FROM People", {{"SELECT * FROM People", 1, 1}}},
      {"trailing semicolon and blanks", "SELECT 1 ;  \r\n", {{"SELECT 1 ", 1, 1}}},
      {"second statement on a later line",
       "SELECT 1;\r\n\r\n  SELECT 2",
       {{"SELECT 1", 1, 1}, {"SELECT 2", 3, 3}}},
      {"second statement on the same line", "SELECT 1; SELECT 2", {{"SELECT 1", 1, 1}, {"SELECT 2", 1, 11}}},
      {"CR, LF and CR LF each count one line",
       "SELECT 1;\r\n\n\r  SELECT 2",
       {{"SELECT 1", 1, 1}, {"SELECT 2", 4, 3}}},
      {"comments after the semicolon are skipped",
       "SELECT 1; -- one\n/* two\n*/ SELECT 2",
       {{"SELECT 1", 1, 1}, {"SELECT 2", 3, 4}}},
      {"semicolons inside quotes, brackets and comments are text",
       "SELECT ';', \"a;b\", [c;d] -- e;f\nFROM T /* g;h */",
       {{"SELECT ';', \"a;b\", [c;d] -- e;f\nFROM T /* g;h */", 1, 1}}},
      {"doubled quotes stay inside the run",
       "SELECT 'it''s;' ; SELECT 2",
       {{"SELECT 'it''s;' ", 1, 1}, {"SELECT 2", 1, 19}}},
      {"leading blanks belong to the first statement", "\n  SELECT 1", {{"\n  SELECT 1", 1, 1}}},
  };
  for (const TSplitCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<TScannedStatement> statements = ScanAll(c.Text);
    ASSERT_EQ(statements.size(), c.Expected.size());
    for (size_t i = 0; i < statements.size(); ++i) {
      EXPECT_EQ(statements[i].Text, c.Expected[i].Text);
      EXPECT_EQ(statements[i].FirstLine, c.Expected[i].Line);
      EXPECT_EQ(statements[i].FirstColumn, c.Expected[i].Column);
    }
  }
}

// A parameter becomes "?" padded with blanks to its own width, so that the
// columns of the tokens after it are those of the user's text.
TEST(StatementScannerTest, ReplacesParametersInTheirThreeForms) {
  const TSplitCase cases[] = {
      {"plain name", "WHERE a=:Code1 AND b=1", {{"WHERE a=?" + Blanks(5) + " AND b=1", 1, 1, {"Code1"}}}},
      {"name characters", "x=:a_b!$@\xE9;", {{"x=?" + Blanks(7), 1, 1, {"a_b!$@\xE9"}}}},
      {"double-quoted name with a doubled quote",
       "x=:\"my \"\"p\"\" 1\"+1",
       {{"x=?" + Blanks(12) + "+1", 1, 1, {"my \"p\" 1"}}}},
      {"bracketed name", "x=:[my p] y", {{"x=?" + Blanks(6) + " y", 1, 1, {"my p"}}}},
      {"colon without a name", "x=:=1", {{"x=?=1", 1, 1}}},
      {"two parameters in text order",
       "a=:p2 OR b=:p1",
       {{"a=?" + Blanks(2) + " OR b=?" + Blanks(2), 1, 1, {"p2", "p1"}}}},
      {"colons inside quotes, brackets and comments stay",
       "x=':p' OR [a:b] -- :c\n/* :d */",
       {{"x=':p' OR [a:b] -- :c\n/* :d */", 1, 1}}},
      {"line break inside a quoted name keeps the line count",
       "x=:\"a\nb\";SELECT 2",
       {{"x=?  \n  ", 1, 1, {"a\nb"}}, {"SELECT 2", 2, 4}}},
  };
  for (const TSplitCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<TScannedStatement> statements = ScanAll(c.Text);
    ASSERT_EQ(statements.size(), c.Expected.size());
    for (size_t i = 0; i < statements.size(); ++i) {
      EXPECT_EQ(statements[i].Text, c.Expected[i].Text);
      EXPECT_EQ(statements[i].ParameterNames, c.Expected[i].Parameters);
      EXPECT_EQ(statements[i].FirstLine, c.Expected[i].Line);
      EXPECT_EQ(statements[i].FirstColumn, c.Expected[i].Column);
    }
  }
}

TEST(StatementScannerTest, UnterminatedRunsAreCopiedToTheEnd) {
  for (const std::string text : {"SELECT 'abc;", "SELECT [abc;", "SELECT 1 /* ;", "SELECT \"x;"}) {
    SCOPED_TRACE(text);
    TStatementScanner scanner(text);
    EXPECT_EQ(scanner.Next().Text, text);
    EXPECT_TRUE(scanner.AtEnd());
  }
}

TEST(StatementScannerTest, EmptyStatementsAreRefused) {
  for (const std::string text :
       {"", "  \r\n\t", "-- only a comment", "/* only */ -- comments", ";SELECT 1"}) {
    SCOPED_TRACE(text);
    TStatementScanner scanner(text);
    try {
      scanner.Next();
      ADD_FAILURE() << "an empty statement was returned";
    } catch (const ENoSqlStatement& error) {
      EXPECT_STREQ(error.what(), "No SQL statement available");
    }
  }
  TStatementScanner doubled("SELECT 1;;SELECT 2");
  EXPECT_EQ(doubled.Next().Text, "SELECT 1");
  EXPECT_FALSE(doubled.AtEnd());
  EXPECT_THROW(doubled.Next(), ENoSqlStatement);
}

TEST(StatementScannerTest, RewindRunsAStatementAgainAndNewTextStartsOver) {
  TStatementScanner scanner("SELECT 1;\nSELECT 2;\nSELECT 3");
  scanner.Next();
  TScannedStatement second = scanner.Next();
  scanner.RewindTo(second);
  TScannedStatement again = scanner.Next();
  EXPECT_EQ(again.Text, "SELECT 2");
  EXPECT_EQ(again.FirstLine, 2);
  EXPECT_EQ(scanner.Next().FirstLine, 3);
  EXPECT_TRUE(scanner.AtEnd());

  scanner.SetText("\n\nSELECT 4");
  TScannedStatement fresh = scanner.Next();
  EXPECT_EQ(fresh.FirstLine, 1);
  EXPECT_EQ(fresh.FirstColumn, 1);
  EXPECT_EQ(fresh.Start, 0u);
}

}  // namespace
}  // namespace keel
