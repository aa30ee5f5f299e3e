#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ExpressionFixture.h"
#include "engine/sql/SubQuery.h"
#include "engine/sql/SubQueryParser.h"

namespace keel {
namespace {

using testing::ErrorOf;
using testing::RaisedError;
using testing::Shape;

std::unique_ptr<TExpToken> Parse(const std::string& text, TExpContext context = WhereContext) {
  TExpressionParser parser;
  parser.Load(text);
  return parser.ParseWholeText(context);
}

struct TokenCase {
  std::string text;
  std::vector<int> kinds;
  std::vector<std::string> values;
};

TEST(ExpressionTokens, KindsAndValues) {
  const TokenCase cases[] = {
      {"abc_1$@! x", {tkIdentifier, tkIdentifier}, {"abc_1$@!", "x"}},
      {"[Search date~J]", {tkBracketName}, {"Search date~J"}},
      {"[a]]", {tkBracketName, ']'}, {"a", "]"}},
      {"'it''s'", {tkString}, {"it's"}},
      {"\"x\"\"y\"", {tkQuotedName}, {"x\"y"}},
      {"#65", {tkCharConstant}, {"#65"}},
      {"123 1.5E+3 .5 1e-3", {tkInteger, tkReal, tkReal, tkReal}, {"123", "1.5E+3", ".5", "1e-3"}},
      {"5-3", {tkInteger, '-', tkInteger}, {"5", "-", "3"}},
      {"1.2.3", {tkReal}, {"1.2.3"}},
      {"<>=||", {'<', '>', '=', '|', '|'}, {"<", ">", "=", "|", "|"}},
      {"a--b\nc", {tkIdentifier, tkIdentifier}, {"a", "c"}},
      {"a/* x\n y */b", {tkIdentifier, tkIdentifier}, {"a", "b"}},
      {"\xC4pfel \xFF", {tkIdentifier, 255}, {"\xC4pfel", "\xFF"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TExpressionParser parser;
    parser.Load(c.text);
    for (size_t i = 0; i < c.kinds.size(); ++i) {
      parser.NextToken();
      EXPECT_EQ(parser.Kind(), c.kinds[i]) << "token " << i;
      EXPECT_EQ(parser.Value(), c.values[i]) << "token " << i;
    }
    parser.NextToken();
    EXPECT_EQ(parser.Kind(), tkEnd);
  }
}

TEST(ExpressionTokens, LineAndColumnCountBreaksCommentsAndTheStartOffset) {
  TExpressionParser parser;
  parser.Load("a\r\n  -- note\n/* x\r\ny */ b\rc", 3, 10);
  std::vector<std::pair<int, int>> positions;
  for (parser.NextToken(); parser.Kind() != tkEnd; parser.NextToken()) {
    positions.emplace_back(parser.TokenLine(), parser.TokenColumn());
  }
  // The offset applies to the first line only.
  EXPECT_EQ(positions, (std::vector<std::pair<int, int>>{{3, 10}, {6, 6}, {7, 1}}));
}

TEST(ExpressionParser, OperatorsAndPrecedence) {
  const std::pair<std::string, std::string> cases[] = {
      {"a OR b AND NOT c = 1 + 2 * 3", "(OR a (AND b (NOT (= c (+ 1 (* 2 3))))))"},
      {"a - b - c", "(- (- a b) c)"},
      {"(a OR b) AND c", "(AND (OR a b) c)"},
      {"a || b MOD 2 / c", "(|| a (/ (MOD b 2) c))"},
      {"a <> 1", "(<> a 1)"},
      {"a >< 1", "(>< a 1)"},
      {"a < > 1", "(<> a 1)"},
      {"a < = 1", "(<= a 1)"},
      {"a > = 1", "(>= a 1)"},
      {"a IS NULL", "(IS NULL a NULL)"},
      {"a is not null", "(IS NOT NULL a NULL)"},
      {"a = NULL", "(= a NULL)"},
      {"a = ''", "(= a NULL)"},
      {"a NOT BETWEEN 1 AND 2", "(NOT BETWEEN a 1 2)"},
      {"a LIKE 'x%' ESCAPE '\\'", "(LIKE a 'x%' '\\')"},
      {"a NOT IN (1, 2, 3)", "(NOT IN a 1 2 3)"},
      {"P.[Dead] <> True AND P.[Search date~J] IS NOT NULL",
       "(AND (<> P.[Dead] True) (IS NOT NULL P.[Search date~J] NULL))"},
      {"-a + -2", "(+ (- a) -2)"},
      {"SUBSTRING(a FROM 2 FOR 3) = 'x'", "(= (SUBSTRING a 2 3) 'x')"},
      {"TRIM(LEADING '0' FROM a) = UPPER(b)", "(= (TRIM a '0') (UPPER b))"},
      {"CASE a WHEN 1 THEN 'x' ELSE 'y' END = 'x'", "(= (CASE a 'y' 1 'x') 'x')"},
      {"IF(a > 1 THEN 2 ELSE 3) = COALESCE(b, c, 4)", "(= (IF (> a 1) 2 3) (COALESCE b c 4))"},
      {"CURRENT_DATE > CURRENT_DATE()", "(> (CURRENT_DATE) (CURRENT_DATE))"},
  };
  for (const auto& [text, shape] : cases) {
    EXPECT_EQ(Shape(*Parse(text)), shape) << text;
  }
}

TEST(ExpressionParser, ConstantsGetTheirTypesAndValues) {
  auto integer = Parse("2147483647");
  EXPECT_EQ(integer->Type, FieldType::Integer);
  auto large = Parse("2147483648");
  EXPECT_EQ(large->Type, FieldType::LargeInt);
  EXPECT_EQ(large->Int, 2147483648LL);
  auto huge = Parse("99999999999999999999");
  EXPECT_EQ(huge->Type, FieldType::Float);
  auto negative = Parse("-2147483648");
  EXPECT_EQ(negative->Type, FieldType::Integer);
  EXPECT_EQ(negative->Int, -2147483648LL);
  auto real = Parse("1.5E+3");
  EXPECT_EQ(real->Type, FieldType::Float);
  EXPECT_DOUBLE_EQ(real->Real, 1500.0);
  auto character = Parse("#65");
  EXPECT_EQ(character->Type, FieldType::String);
  EXPECT_EQ(character->Str, "A");
  auto quoted = Parse("'it''s'");
  EXPECT_EQ(quoted->Str, "it's");
  EXPECT_EQ(quoted->Text, "'it''s'");
  EXPECT_TRUE(Parse("''")->IsNullConstant());
  EXPECT_TRUE(Parse("null")->IsNullConstant());
  auto truth = Parse("true");
  EXPECT_EQ(truth->Type, FieldType::Boolean);
  EXPECT_EQ(truth->Int, 1);
}

TEST(ExpressionParser, ColumnReferencesTrimNamesAndKeepTheirText) {
  auto column = Parse("p.[ Search date~J ]");
  EXPECT_EQ(column->Kind, TNodeKind::Column);
  EXPECT_EQ(column->Qualifier, "p");
  EXPECT_EQ(column->ColumnName, "Search date~J");
  EXPECT_EQ(column->Text, "p.[ Search date~J ]");
  auto quoted = Parse("\"Sum\"");
  EXPECT_EQ(quoted->Kind, TNodeKind::Column);
  EXPECT_EQ(quoted->ColumnName, "Sum");
  auto star = Parse("P.*", SelectItemContext);
  EXPECT_TRUE(star->IsStar());
  EXPECT_EQ(star->Qualifier, "P");
}

TEST(ExpressionParser, CastCountAndParameters) {
  auto cast = Parse("CAST(a AS VARCHAR(20))");
  EXPECT_EQ(cast->Type, FieldType::String);
  EXPECT_EQ(cast->Size, 21u);
  auto count = Parse("COUNT(*)", SelectItemContext);
  ASSERT_EQ(count->Arguments.size(), 1u);
  EXPECT_TRUE(count->Arguments[0]->IsStar());

  std::vector<TExpToken*> parameters;
  TExpressionParser parser;
  parser.SetParameterList(&parameters);
  parser.Load("a = ? AND b IN (?, 2)");
  auto tree = parser.ParseWholeText(WhereContext);
  ASSERT_EQ(parameters.size(), 2u);
  EXPECT_TRUE(parameters[0]->IsParameter);
  EXPECT_EQ(parameters[0], tree->Left->Right.get());
}

class FixedSubQuery : public TSubQuery {
 public:
  bool ReturnsRowFor(const TExpToken&) override { return true; }
};

class SkippingSubQueryParser : public TSubQueryParser {
 public:
  std::shared_ptr<TSubQuery> ParseSubQuery(TExpressionParser& parser) override {
    while (parser.Kind() != ')' && parser.Kind() != tkEnd) parser.NextToken();
    return std::make_shared<FixedSubQuery>();
  }
};

TEST(ExpressionParser, SubQueriesGoToTheStatementLayer) {
  SkippingSubQueryParser subQueries;
  TExpressionParser parser;
  parser.SetSubQueryParser(&subQueries);
  parser.Load("a NOT IN (SELECT b FROM t) AND c = 1");
  auto tree = parser.ParseWholeText(WhereContext);
  EXPECT_EQ(tree->Left->Operator, TExpOperator::NotInSubQuery);
  EXPECT_NE(tree->Left->SubQuery, nullptr);
}

struct ErrorCase {
  std::string text;
  TExpContext context;
  std::string message;
  int line;
  int column;
};

TEST(ExpressionParser, SqlMessagesNameTheTokenAndItsPosition) {
  const ErrorCase cases[] = {
      {"a = ", WhereContext, "Missing expression in SQL statement", 1, 5},
      {"a = )", WhereContext, "Expected expression but instead found ) in SQL statement", 1, 5},
      {"a = 'abc", WhereContext, "Missing ' in SQL statement", 1, 5},
      {"a = 'ab\nc'", WhereContext, "Expected ' but instead found 'ab in SQL statement", 1, 5},
      {"[Search date~J", WhereContext, "Missing ] in SQL statement", 1, 1},
      {"[Search\r\ndate]", WhereContext, "Expected ] but instead found [Search in SQL statement", 1, 1},
      {"a = \"b", WhereContext, "Missing \" in SQL statement", 1, 5},
      {"a /* never closed", WhereContext, "Missing / in SQL statement", 1, 3},
      {"a = #256", WhereContext, "Expected character constant but instead found #256 in SQL statement", 1, 5},
      {"a = #", WhereContext, "Expected character constant but instead found # in SQL statement", 1, 5},
      {"1.2.3 = a", WhereContext, "Expected numeric expression but instead found 1.2.3 in SQL statement", 1, 1},
      {"a = 1e999", WhereContext, "Expected numeric expression but instead found 1e999 in SQL statement", 1, 5},
      {"a BETWEEN 1 OR 2", WhereContext, "Expected AND but instead found OR in SQL statement", 1, 13},
      {"a BETWEEN 1", WhereContext, "Missing AND in SQL statement", 1, 12},
      {"a IS 5", WhereContext, "Expected NULL or NOT but instead found 5 in SQL statement", 1, 6},
      {"a IS NOT 5", WhereContext, "Expected NULL but instead found 5 in SQL statement", 1, 10},
      {"a NOT 5", WhereContext, "Expected expression but instead found 5 in SQL statement", 1, 7},
      {"a IN 1", WhereContext, "Expected ( but instead found 1 in SQL statement", 1, 6},
      {"(a = 1", WhereContext, "Missing ) in SQL statement", 1, 7},
      {"a | b", WhereContext, "Expected | but instead found b in SQL statement", 1, 5},
      {"P.", WhereContext, "Missing identifier in SQL statement", 1, 3},
      {"P.(", WhereContext, "Expected identifier but instead found ( in SQL statement", 1, 3},
      {"[a]]", WhereContext, "Expected end of expression but instead found ] in SQL statement", 1, 4},
      {"a = 1 = 2", WhereContext, "Expected end of expression but instead found = in SQL statement", 1, 7},
      {"SUM(a) > 1", WhereContext, "Invalid expression SUM found in SQL statement", 1, 1},
      {"a = ?", SelectItemContext, "Invalid expression ? found in SQL statement", 1, 5},
      {"a LIKE 'x'", NameContext, "Expected end of expression but instead found LIKE in SQL statement", 1, 3},
      {"P.a = 1", TExpContext{AllowPredicates, false}, "Invalid expression . found in SQL statement", 1, 2},
      {"a IN (SELECT b FROM t)", JoinContext, "Invalid expression SELECT found in SQL statement", 1, 7},
      {"a IN (SELECT b FROM t)", WhereContext, "Invalid expression SELECT found in SQL statement", 1, 7},
      {"* + 1", SelectItemContext, "Invalid expression * found in SQL statement", 1, 1},
      {"1 + P.*", SelectItemContext, "Invalid expression * found in SQL statement", 1, 5},
      {"COUNT(*) = *", SelectItemContext, "Invalid expression * found in SQL statement", 1, 12},
      {"(*)", SelectItemContext, "Invalid expression * found in SQL statement", 1, 2},
      {"a = LEFT", WhereContext, "Missing ( in SQL statement", 1, 9},
      {"CAST(a AS TEXT)", WhereContext, "Expected SQL data type but instead found TEXT in SQL statement", 1, 11},
      {"CAST(a AS CHAR)", WhereContext, "Expected ( but instead found ) in SQL statement", 1, 15},
      {"CAST(a VARCHAR(2))", WhereContext, "Expected AS but instead found VARCHAR in SQL statement", 1, 8},
      {"SUBSTRING(a 2)", WhereContext, "Expected FROM or , but instead found 2 in SQL statement", 1, 13},
      {"ABS(a, b)", WhereContext, "Expected ) but instead found , in SQL statement", 1, 6},
      {"EXTRACT(CENTURY FROM d)", WhereContext,
       "Expected YEAR, MONTH, WEEK, DAY, DAYOFWEEK, DAYOFYEAR, HOUR, MINUTE, SECOND, or MSECOND but instead found "
       "CENTURY in SQL statement",
       1, 9},
      {"CASE WHEN a THEN 1", WhereContext, "Missing END in SQL statement", 1, 19},
      {"a = 1 AND\n-- note\n/* x\ny */ b =", WhereContext, "Missing expression in SQL statement", 4, 9},
      {"a = 1\r\nAND b = ", WhereContext, "Missing expression in SQL statement", 2, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    RaisedError error = ErrorOf([&] { Parse(c.text, c.context); });
    EXPECT_EQ(error.Code, ErrorCode::KEEL_SQLPARSE);
    EXPECT_EQ(error.Extra, c.message);
    EXPECT_EQ(error.Line, c.line);
    EXPECT_EQ(error.Column, c.column);
  }
}

TEST(ExpressionParser, MessagesUseTheStatementLabelAndTheStartOffset) {
  TExpressionParser parser;
  parser.Errors().SetLabel("SELECT SQL statement");
  parser.Load("a = 1 AND\n  b IS 3", 3, 7);
  RaisedError error = ErrorOf([&] { parser.ParseWholeText(WhereContext); });
  EXPECT_EQ(error.What,
            "Keel Engine Error # 11949 SQL parsing error - Expected NULL or NOT but instead found 3 in SELECT SQL "
            "statement at line 4, column 8");
}

TEST(ExpressionParser, FilterMessagesCarryCode10051AndTheTable) {
  TExpressionParser parser(TExpressionErrors::ForFilter("People"));
  parser.Load("Name = ?");
  RaisedError error = ErrorOf([&] { parser.ParseWholeText(FilterContext); });
  EXPECT_EQ(error.Code, ErrorCode::KEEL_INVALIDFILTER);
  EXPECT_EQ(error.What,
            "Keel Engine Error # 10051 Filter error for the table 'People' - Invalid expression ? found in filter "
            "expression at line 1, column 8");
}

// Every built-in name with its own argument syntax (keyword separators).
TEST(ExpressionParser, BuiltinFunctionSyntax) {
  const std::pair<std::string, std::string> cases[] = {
      {"SUM(a)", "SUM"}, {"RUNSUM(a)", "RUNSUM"}, {"AVG(a)", "AVG"}, {"STDDEV(a)", "STDDEV"}, {"MIN(a)", "MIN"},
      {"MAX(a)", "MAX"}, {"COUNT(a)", "COUNT"}, {"LIST(a, ';')", "LIST"}, {"lcase(a)", "LCASE"},
      {"LEFT(a FOR 2)", "LEFT"}, {"RIGHT(a, 2)", "RIGHT"}, {"REPEAT(a FOR 3)", "REPEAT"},
      {"CONCAT(a WITH b)", "CONCAT"}, {"REPLACE(a WITH b IN c)", "REPLACE"}, {"REPLACE(a, b, c)", "REPLACE"},
      {"OCCURS(a IN b)", "OCCURS"}, {"ALLTRIM(a)", "ALLTRIM"}, {"TRIM(BOTH FROM a)", "TRIM"},
      {"TRIM(a)", "TRIM"}, {"EXTRACT(DAYOFYEAR FROM a)", "EXTRACT"}, {"YEARSFROMMSECS(a)", "YEARSFROMMSECS"},
      {"MSECSFROMMSECS(a)", "MSECSFROMMSECS"}, {"ROUND(a TO 2)", "ROUND"}, {"TRUNC(a, 1)", "TRUNC"},
      {"MOD(a, 2)", "MOD"}, {"ATAN2(a, b)", "ATAN2"}, {"CEIL(a)", "CEIL"}, {"LOG10(a)", "LOG10"}, {"PI()", "PI"},
      {"POWER(a TO 2)", "POWER"}, {"RAND()", "RAND"}, {"RAND(RANGE 10)", "RAND"}, {"SIGN(a)", "SIGN"},
      {"IF(a THEN b ELSE c)", "IF"}, {"IFNULL(a, b)", "IFNULL"}, {"IFNULL(a THEN b ELSE c)", "IFNULL"},
      {"NULLIF(a, b)", "NULLIF"}, {"COALESCE(a)", "COALESCE"}, {"TEXTSEARCH('x' IN a)", "TEXTSEARCH"},
      {"TEXTOCCURS('x', a)", "TEXTOCCURS"}, {"LASTAUTOINC('T')", "LASTAUTOINC"},
      {"IDENT_CURRENT('T')", "IDENT_CURRENT"}, {"CURRENT_GUID", "CURRENT_GUID"},
      {"CAST(a AS NUMERIC(10, 2))", "CAST"}, {"CASE WHEN a THEN 1 END", "CASE"},
  };
  for (const auto& [text, name] : cases) {
    SCOPED_TRACE(text);
    auto call = Parse(text, SelectItemContext);
    EXPECT_EQ(call->Kind, TNodeKind::Function);
    EXPECT_EQ(call->FunctionName, name);
  }
  TExpressionParser parser;
  parser.SetRegisteredFunctions([](std::string_view name) { return SameKeyword(name, "Age_In_Years"); });
  parser.Load("AGE_IN_YEARS(a, 2000)");
  auto registered = parser.ParseWholeText(WhereContext);
  EXPECT_EQ(registered->Function, TExpFunction::Registered);
  EXPECT_EQ(registered->Arguments.size(), 2u);
}

TEST(ExpressionParser, ParseTypeReadsLengthsAndIdentity) {
  const std::pair<std::string, std::pair<FieldType, uint16_t>> cases[] = {
      {"VARCHAR(30)", {FieldType::String, 30}},
      {"BYTES(72)", {FieldType::Bytes, 72}},
      {"GUID", {FieldType::String, 38}},
      {"CHARACTER(5)", {FieldType::String, 5}},
      {"WIDECHAR(256)", {FieldType::String, 256}},
      {"VARBINARY(9)", {FieldType::VarBytes, 9}},
      {"SMALLINT", {FieldType::SmallInt, 0}},
      {"WORD", {FieldType::Word, 0}},
      {"LARGEINT", {FieldType::LargeInt, 0}},
      {"MONEY", {FieldType::Float, 0}},
      {"DECIMAL(20, 4)", {FieldType::Bcd, 0}},
      {"DATE", {FieldType::Date, 0}},
      {"TIME", {FieldType::Time, 0}},
      {"BIT", {FieldType::Boolean, 0}},
      {"LONGVARCHAR", {FieldType::Blob, 0}},
      {"GRAPHIC", {FieldType::Blob, 0}},
      {"INTEGER", {FieldType::Integer, 0}},
      {"TIMESTAMP", {FieldType::Timestamp, 0}},
  };
  for (const auto& [text, expected] : cases) {
    TExpressionParser parser;
    parser.Load(text);
    parser.NextToken();
    TSqlType type = parser.ParseType();
    EXPECT_EQ(type.Type, expected.first) << text;
    EXPECT_EQ(type.Size, expected.second) << text;
  }
  TExpressionParser parser;
  parser.Load("INT IDENTITY");
  parser.NextToken();
  EXPECT_EQ(parser.ParseType().Subtype, FieldSubtype::AutoInc);
  parser.Load("VARCHAR(513)");
  parser.NextToken();
  EXPECT_EQ(ErrorOf([&] { parser.ParseType(); }).Extra, "Expected Integer but instead found 513 in SQL statement");
}

// Any text either parses, or fails with the parse error: never another
// exception, a crash or a hang. Texts are built from the language's own
// fragments and random bytes, with a fixed seed so that a failure repeats.
TEST(ExpressionParser, RandomTextsFailOnlyWithTheParseError) {
  const std::vector<std::string> fragments = {
      "a", "b", "P.", "[x y]", "[", "]", "'s'", "'", "\"q\"", "\"", "#65", "#", "1", "2.5", "1.2.3", "1E+", ".5",
      "(", ")", ",", "=", "<", ">", "|", "+", "-", "*", "/", "?", " ", "\n", "\r", "--", "/*", "*/", "AND", "OR",
      "NOT", "IS", "NULL", "IN", "LIKE", "ESCAPE", "BETWEEN", "TRUE", "CASE", "WHEN", "THEN", "ELSE", "END",
      "CAST", "AS", "VARCHAR", "TRIM", "FROM", "FOR", "SUBSTRING", "COUNT", "SUM", "EXTRACT", "YEAR", "SELECT",
      "UPPER", "IF", "MOD", "CURRENT_DATE", "\xFF", "\x01", std::string(1, '\0')};
  const TExpContext contexts[] = {SelectItemContext, WhereContext, JoinContext, HavingContext, NameContext,
                                  FilterContext};
  std::mt19937 random(20261210);
  testing::TestTable table({{"a", FieldType::Integer}, {"b", FieldType::String, FieldSubtype::None, 11}});
  TExpressionEvaluator evaluator(TCollation::ForLocale(0, "T"));
  evaluator.SetRowAccessor(&table);
  int parsed = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    int pieces = std::uniform_int_distribution<int>(1, 12)(random);
    for (int i = 0; i < pieces; ++i) {
      if (random() % 8 == 0) {
        text += static_cast<char>(random() % 256);
      } else {
        text += fragments[random() % fragments.size()];
        if (random() % 2 == 0) text += ' ';
      }
    }
    TExpContext context = contexts[random() % std::size(contexts)];
    try {
      TExpressionParser parser;
      parser.Load(text);
      auto tree = parser.ParseWholeText(context);
      ++parsed;
      TExpressionVerifier verifier(parser.Errors(), table);
      verifier.Verify(*tree, context);
      evaluator.Evaluate(*tree);
    } catch (const EKeelEngineError& error) {
      bool known = error.code() == ErrorCode::KEEL_SQLPARSE || error.code() == ErrorCode::KEEL_SQLEXEC;
      ASSERT_TRUE(known) << text << ": " << error.what();
      if (error.code() == ErrorCode::KEEL_SQLPARSE) {
        ASSERT_GE(error.line(), 1) << text;
        ASSERT_GE(error.column(), 1) << text;
      }
    }
  }
  EXPECT_GT(parsed, 100);  // the generator also reaches the paths behind a successful parse
}

}  // namespace
}  // namespace keel
