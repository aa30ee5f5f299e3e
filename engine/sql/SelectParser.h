#pragma once

// The SELECT grammar on top of the expression parser: clauses in their fixed
// order (select list, INTO, FROM with joins, WHERE, GROUP BY, HAVING, ORDER
// BY, TOP and the other trailing options, set operators), each recorded in a
// TDataQuery. Names are kept as written; TNameResolver resolves them. Every
// message goes through the parser's errors, so it carries the statement label
// and the position in the user's whole text.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sql/DataQuery.h"
#include "engine/sql/ExpressionParser.h"
#include "engine/sql/SubQueryParser.h"

namespace keel {

class TSelectParser final : public TSubQueryParser {
 public:
  // `text`, `firstLine` and `firstColumn` are what `parser` was loaded with;
  // `dataExtension` is the engine's table data extension (".dat"), cut from
  // table names. Registers itself as the parser's sub-query parser.
  TSelectParser(TExpressionParser& parser, std::string_view text, int firstLine, int firstColumn,
                std::string dataExtension);
  ~TSelectParser() override;
  TSelectParser(const TSelectParser&) = delete;
  TSelectParser& operator=(const TSelectParser&) = delete;

  // From the current "SELECT" token (`parenthesised`: a "(" came before it)
  // to the end of the text, which may follow one ";".
  std::unique_ptr<TDataQuery> ParseStatement(bool parenthesised);

  // "IN (SELECT ...)": from "SELECT" up to the closing ")".
  std::shared_ptr<TSubQuery> ParseSubQuery(TExpressionParser& parser) override;

 private:
  void ParseQuery(TDataQuery& query, bool top, bool parenthesised);
  void ParseSelectList(TDataQuery& query);
  std::string ParseAlias();
  void ParseInto(TDataQuery& query, bool top);
  void ParseFrom(TDataQuery& query);
  bool ParseJoinKeywords(TJoinKind& join);
  void ParseTableReference(TDataQuery& query, TJoinKind join, int& openParentheses);
  void ParseTableName(TSourceTable& table);
  void ParseCorrelationName(TSourceTable& table);
  void CloseParentheses(int& openParentheses);
  void ParseGroupByAndHaving(TDataQuery& query);
  void ParseOrderBy(TDataQuery& query);
  void ParseTrailingOptions(TDataQuery& query);
  void ParseSetOperation(TDataQuery& query);

  // The name token's value with its outer blanks removed; Expected `what` when
  // the current token is no name.
  std::string RequireName(std::string_view what);
  void Skip() { parser_.NextToken(); }
  size_t TokenOffset() const;
  std::string TextUpToToken(size_t start) const;

  TExpressionParser& parser_;
  std::string text_;
  int firstLine_;
  int firstColumn_;
  std::vector<size_t> lineStarts_;  // offset of each line of `text_`
  std::string dataExtension_;
  TDataQuery* current_ = nullptr;  // receives the sub-queries of its expressions
};

}  // namespace keel
