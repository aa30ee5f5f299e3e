#include "engine/sql/SelectParser.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "engine/core/TextCase.h"

namespace keel {

namespace {

// Words that end a table reference, so they are never taken as a bare
// correlation name. "ON", "FULL" and "JOINOPTIMIZECOSTS" belong here too:
// without them a table without alias would take them for its alias, and a
// join without aliases or a FULL join would fail with a misleading message.
constexpr std::string_view kTableReferenceEnds[] = {
    "EXCLUSIVE", "LEFT",      "RIGHT",  "INNER",          "JOIN",
    "WHERE",     "ORDER",     "GROUP",  "HAVING",         "TOP",
    "RANGE",     "ENCRYPTED", "LOCALE", "NOJOINOPTIMIZE", "UNION",
    "INTERSECT", "EXCEPT",    "ON",     "FULL",           "JOINOPTIMIZECOSTS",
};

std::string TrimBlanks(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

bool IsIntegerConstant(const TExpToken& node) {
  return node.Kind == TNodeKind::Constant && !node.IsParameter && !node.Null &&
         (node.Type == FieldType::Integer || node.Type == FieldType::LargeInt);
}

bool IsColumnReference(const TExpToken& node) {
  return node.Kind == TNodeKind::Column && !node.IsStar();
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return !suffix.empty() && text.size() > suffix.size() &&
         UpperCase(text.substr(text.size() - suffix.size()), 0) == UpperCase(suffix, 0);
}

}  // namespace

TSelectParser::TSelectParser(TExpressionParser& parser, std::string_view text, int firstLine, int firstColumn,
                             std::string dataExtension)
    : parser_(parser),
      text_(text.substr(0, text.find('\0'))),
      firstLine_(firstLine),
      firstColumn_(firstColumn),
      dataExtension_(std::move(dataExtension)) {
  lineStarts_.push_back(0);
  for (size_t i = 0; i < text_.size(); ++i) {
    if (text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') ++i;
    if (text_[i] == '\r' || text_[i] == '\n') lineStarts_.push_back(i + 1);
  }
  parser_.SetSubQueryParser(this);
}

TSelectParser::~TSelectParser() {
  parser_.SetSubQueryParser(nullptr);
}

// The tokenizer counts lines exactly as the constructor does, so the current
// token's line and column lead back to its offset.
size_t TSelectParser::TokenOffset() const {
  if (parser_.Kind() == tkEnd) return text_.size();
  size_t line = static_cast<size_t>(parser_.TokenLine() - firstLine_);
  int columnBase = line == 0 ? firstColumn_ : 1;
  size_t offset = lineStarts_.at(std::min(line, lineStarts_.size() - 1)) +
                  static_cast<size_t>(std::max(parser_.TokenColumn() - columnBase, 0));
  return std::min(offset, text_.size());
}

std::string TSelectParser::TextUpToToken(size_t start) const {
  size_t end = TokenOffset();
  while (end > start && static_cast<unsigned char>(text_[end - 1]) < 33) --end;
  return end > start ? text_.substr(start, end - start) : std::string();
}

std::string TSelectParser::RequireName(std::string_view what) {
  if (!parser_.IsName()) parser_.RaiseExpected(what);
  std::string name = TrimBlanks(parser_.Value());
  Skip();
  return name;
}

std::unique_ptr<TDataQuery> TSelectParser::ParseStatement(bool parenthesised) {
  auto query = std::make_unique<TDataQuery>();
  ParseQuery(*query, true, parenthesised);
  if (parser_.IsCharacter(';')) Skip();
  if (parser_.Kind() != tkEnd) parser_.RaiseExpected("end of statement");
  return query;
}

std::shared_ptr<TSubQuery> TSelectParser::ParseSubQuery(TExpressionParser& /*parser*/) {
  TDataQuery* outer = current_;
  auto query = std::make_shared<TDataQuery>();
  ParseQuery(*query, false, false);
  if (outer != nullptr) outer->SubQueries.push_back(query);
  return query;
}

void TSelectParser::ParseQuery(TDataQuery& query, bool top, bool parenthesised) {
  TDataQuery* outer = current_;
  current_ = &query;
  query.Parenthesised = parenthesised;
  size_t start = TokenOffset();
  parser_.RequireKeyword("SELECT");
  Skip();
  if (parser_.IsKeyword("ALL")) Skip();
  if (parser_.IsKeyword("DISTINCT")) {
    query.Distinct = true;
    Skip();
  }
  ParseSelectList(query);
  ParseInto(query, top);
  parser_.RequireKeyword("FROM");
  Skip();
  ParseFrom(query);
  if (parser_.IsKeyword("WHERE")) {
    Skip();
    query.Where = parser_.ParseExpression(WhereContext);
  }
  ParseGroupByAndHaving(query);
  ParseOrderBy(query);
  ParseTrailingOptions(query);
  query.StatementText = TextUpToToken(start);
  if (parenthesised) parser_.RequireAndSkip(')');
  ParseSetOperation(query);
  current_ = outer;
}

void TSelectParser::ParseSelectList(TDataQuery& query) {
  for (;;) {
    TResultField field;
    parser_.Mark();
    field.Expression = parser_.ParseExpression(SelectItemContext);
    field.Text = parser_.TextSinceMark();
    if (parser_.IsKeyword("AS")) {
      Skip();
      field.Alias = ParseAlias();
    } else if (parser_.IsName() && !parser_.IsKeyword("INTO") && !parser_.IsKeyword("FROM")) {
      field.Alias = ParseAlias();
    }
    query.ResultFields.push_back(std::move(field));
    if (!parser_.IsCharacter(',')) return;
    Skip();
  }
}

std::string TSelectParser::ParseAlias() {
  auto alias = parser_.ParsePrimary(NameContext);
  if (!IsColumnReference(*alias) || !alias->Qualifier.empty()) {
    parser_.Errors().Expected("column name", alias->Text, alias->Line, alias->Column);
  }
  return alias->ColumnName;
}

void TSelectParser::ParseInto(TDataQuery& query, bool top) {
  if (!parser_.IsKeyword("INTO")) return;
  if (!top) parser_.RaiseInvalid();
  Skip();
  query.Into = RequireName("table name");
}

void TSelectParser::ParseFrom(TDataQuery& query) {
  int openParentheses = 0;
  ParseTableReference(query, TJoinKind::None, openParentheses);
  for (;;) {
    TJoinKind join = TJoinKind::Comma;
    if (parser_.IsCharacter(',')) {
      Skip();
      ParseTableReference(query, join, openParentheses);
    } else if (ParseJoinKeywords(join)) {
      ParseTableReference(query, join, openParentheses);
      parser_.RequireKeyword("ON");
      Skip();
      query.SourceTables.back().JoinCondition = parser_.ParseExpression(JoinContext);
      CloseParentheses(openParentheses);
    } else {
      break;
    }
  }
  if (openParentheses > 0) parser_.RaiseExpected(")");
}

// "JOIN", "INNER JOIN", "LEFT [OUTER] JOIN", "RIGHT [OUTER] JOIN"; false
// when no join follows.
bool TSelectParser::ParseJoinKeywords(TJoinKind& join) {
  if (parser_.IsKeyword("FULL")) parser_.RaiseInvalid();
  if (parser_.IsKeyword("JOIN")) {
    join = TJoinKind::Inner;
  } else if (parser_.IsKeyword("INNER")) {
    join = TJoinKind::Inner;
    Skip();
    parser_.RequireKeyword("JOIN");
  } else if (parser_.IsKeyword("LEFT") || parser_.IsKeyword("RIGHT")) {
    join = parser_.IsKeyword("LEFT") ? TJoinKind::LeftOuter : TJoinKind::RightOuter;
    Skip();
    if (parser_.IsKeyword("OUTER")) Skip();
    parser_.RequireKeyword("JOIN");
  } else {
    return false;
  }
  Skip();
  return true;
}

void TSelectParser::ParseTableReference(TDataQuery& query, TJoinKind join, int& openParentheses) {
  while (parser_.IsCharacter('(')) {
    ++openParentheses;
    Skip();
  }
  TSourceTable table;
  table.Join = join;
  table.Line = parser_.TokenLine();
  table.Column = parser_.TokenColumn();
  ParseTableName(table);
  ParseCorrelationName(table);
  if (parser_.IsKeyword("EXCLUSIVE")) {
    table.Exclusive = true;
    Skip();
  }
  for (const TSourceTable& earlier : query.SourceTables) {
    if (UpperCase(earlier.CorrelationName, 0) == UpperCase(table.CorrelationName, 0)) {
      parser_.Errors().Plain("Duplicate table or table correlation name " + table.CorrelationName, table.Line,
                             table.Column);
    }
  }
  table.Number = static_cast<int>(query.SourceTables.size()) + 1;
  query.SourceTables.push_back(std::move(table));
  CloseParentheses(openParentheses);
}

// A name, "folder\name", or a bracketed or quoted name holding a whole path.
void TSelectParser::ParseTableName(TSourceTable& table) {
  std::string name = RequireName("table name");
  if (parser_.IsCharacter('\\')) {
    Skip();
    table.Folder = std::move(name);
    name = RequireName("table name");
  } else {
    size_t delimiter = name.find_last_of("\\/");
    if (delimiter != std::string::npos) {
      table.Folder = name.substr(0, delimiter == 0 ? 1 : delimiter);
      name.erase(0, delimiter + 1);
    }
  }
  if (EndsWithIgnoringCase(name, dataExtension_)) name.resize(name.size() - dataExtension_.size());
  table.TableName = name;
  table.CorrelationName = std::move(name);
}

void TSelectParser::ParseCorrelationName(TSourceTable& table) {
  if (parser_.IsKeyword("AS")) {
    Skip();
    table.CorrelationName = RequireName("table correlation name");
    return;
  }
  if (!parser_.IsName()) return;
  if (parser_.Kind() == tkIdentifier) {
    for (std::string_view end : kTableReferenceEnds) {
      if (parser_.IsKeyword(end)) return;
    }
  }
  table.CorrelationName = RequireName("table correlation name");
}

void TSelectParser::CloseParentheses(int& openParentheses) {
  while (openParentheses > 0 && parser_.IsCharacter(')')) {
    --openParentheses;
    Skip();
  }
}

void TSelectParser::ParseGroupByAndHaving(TDataQuery& query) {
  if (parser_.IsKeyword("GROUP")) {
    Skip();
    parser_.RequireKeyword("BY");
    Skip();
    query.GroupBy.push_back(parser_.ParseExpression(NameContext));
    while (parser_.IsCharacter(',')) {
      Skip();
      query.GroupBy.push_back(parser_.ParseExpression(NameContext));
    }
  }
  if (parser_.IsKeyword("HAVING")) {
    if (query.GroupBy.empty()) {
      parser_.Errors().Plain("A GROUP BY clause must exist in order to use the HAVING clause",
                             parser_.TokenLine(), parser_.TokenColumn());
    }
    Skip();
    query.Having = parser_.ParseExpression(HavingContext);
  }
}

void TSelectParser::ParseOrderBy(TDataQuery& query) {
  if (!parser_.IsKeyword("ORDER")) return;
  Skip();
  parser_.RequireKeyword("BY");
  Skip();
  for (;;) {
    TOrderByField item;
    parser_.Mark();
    item.Primary = parser_.ParsePrimary(NameContext);
    item.Text = parser_.TextSinceMark();
    if (!IsColumnReference(*item.Primary) && !IsIntegerConstant(*item.Primary)) {
      parser_.Errors().Expected(TExpressionErrors::JoinKinds({"column name", "constant value"}), item.Text,
                                item.Primary->Line, item.Primary->Column);
    }
    if (parser_.IsKeyword("DESC") || parser_.IsKeyword("DESCENDING")) {
      item.Descending = true;
      Skip();
    } else if (parser_.IsKeyword("ASC") || parser_.IsKeyword("ASCENDING")) {
      Skip();
    }
    query.OrderBy.push_back(std::move(item));
    if (!parser_.IsCharacter(',')) break;
    Skip();
  }
  if (parser_.IsKeyword("NOCASE")) {
    query.OrderByNoCase = true;
    Skip();
  }
}

void TSelectParser::ParseTrailingOptions(TDataQuery& query) {
  if (parser_.IsKeyword("TOP")) {
    Skip();
    std::string_view digits = parser_.TokenText();
    int count = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (parser_.Kind() != tkInteger || error != std::errc() || end != digits.data() + digits.size()) {
      parser_.RaiseExpected("Integer");
    }
    query.TopCount = count;
    Skip();
  }
  if (parser_.IsKeyword("LOCALE")) {
    Skip();
    if (parser_.IsKeyword("CODE")) Skip();
    if (parser_.Kind() != tkString && parser_.Kind() != tkInteger)
      parser_.RaiseExpected("locale name or code");
    query.Locale = parser_.Value();
    Skip();
  }
  if (parser_.IsKeyword("ENCRYPTED")) {
    Skip();
    parser_.RequireKeyword("WITH");
    Skip();
    if (parser_.Kind() != tkString) parser_.RaiseExpected("password");
    query.Encrypted = true;
    query.EncryptionPassword = parser_.Value();
    Skip();
  }
  if (parser_.IsKeyword("NOJOINOPTIMIZE")) {
    query.NoJoinOptimize = true;
    Skip();
  }
  if (parser_.IsKeyword("JOINOPTIMIZECOSTS")) {
    query.JoinOptimizeCosts = true;
    Skip();
  }
}

void TSelectParser::ParseSetOperation(TDataQuery& query) {
  if (parser_.IsKeyword("UNION")) {
    query.SetOperation = TSetOperation::Union;
  } else if (parser_.IsKeyword("INTERSECT")) {
    query.SetOperation = TSetOperation::Intersect;
  } else if (parser_.IsKeyword("EXCEPT")) {
    query.SetOperation = TSetOperation::Except;
  } else {
    return;
  }
  Skip();
  if (parser_.IsKeyword("ALL")) {
    query.SetOperationAll = true;
    Skip();
  } else if (parser_.IsKeyword("DISTINCT")) {
    Skip();
  }
  bool parenthesised = parser_.IsCharacter('(');
  if (parenthesised) Skip();
  query.NextMember = std::make_unique<TDataQuery>();
  ParseQuery(*query.NextMember, false, parenthesised);
}

}  // namespace keel
