#pragma once

// Tokeniser and recursive-descent parser of the expression language shared by
// SQL statements and table filters. Every failure is raised through the
// parser's TExpressionErrors with the line and column of the token (or node)
// it is about, counted in the whole text the user wrote.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/FieldTypes.h"
#include "engine/sql/BuiltinFunctions.h"
#include "engine/sql/ExpToken.h"
#include "engine/sql/ExpressionContext.h"
#include "engine/sql/ExpressionErrors.h"

namespace keel {

class TSubQueryParser;

// Token kinds; any other value is a single character and equals its code.
enum TTokenKind : int {
  tkEnd = 0,
  tkIdentifier = 1,  // also every keyword
  tkBracketName = 2,
  tkString = 3,
  tkQuotedName = 4,
  tkCharConstant = 5,
  tkInteger = 6,
  tkReal = 7,
};

// A data type named in SQL text (CAST, table definitions).
struct TSqlType {
  std::string Name;  // as written
  FieldType Type = FieldType::None;
  FieldSubtype Subtype = FieldSubtype::None;
  uint16_t Size = 0;  // strings, bytes, variable bytes
  uint8_t Decimals = 0;
};

class TExpressionParser {
 public:
  explicit TExpressionParser(TExpressionErrors errors = TExpressionErrors());

  TExpressionErrors& Errors() { return errors_; }
  const TExpressionErrors& Errors() const { return errors_; }

  // "?" markers append their placeholder nodes here (owned by the tree).
  void SetParameterList(std::vector<TExpToken*>* parameters) { parameters_ = parameters; }
  // Parses the statement of "IN (SELECT ...)"; without one a sub-query is refused.
  void SetSubQueryParser(TSubQueryParser* subQueries) { subQueries_ = subQueries; }
  // Names of functions registered with the engine, compared without regard to case.
  void SetRegisteredFunctions(std::function<bool(std::string_view)> isRegistered) {
    isRegistered_ = std::move(isRegistered);
  }

  // Copies the text (it ends at the first zero character) and positions before
  // its first token; `firstLine` and `firstColumn` are where it starts in the
  // user's text. Call NextToken to read the first token.
  void Load(std::string_view text, int firstLine = 1, int firstColumn = 1);

  void NextToken();
  int Kind() const { return kind_; }
  bool IsKeyword(std::string_view keyword) const;
  bool IsCharacter(char c) const { return kind_ == static_cast<unsigned char>(c); }
  bool IsName() const;
  // Kinds 2, 3, 4 without delimiters and with doubled quotes reduced; other
  // kinds as written.
  std::string Value() const;
  std::string_view TokenText() const;
  int TokenLine() const { return tokenLine_; }
  int TokenColumn() const { return tokenColumn_; }

  // Raise the Expected (or, at the end of the text, Missing) message unless
  // the current token is the wanted one; RequireAndSkip then reads past it.
  void RequireKeyword(std::string_view keyword);
  void RequireCharacter(char c);
  void RequireAndSkip(char c);

  // Expected/Missing for `expected` at the current token.
  [[noreturn]] void RaiseExpected(std::string_view expected) const;
  // Invalid expression at the current token.
  [[noreturn]] void RaiseInvalid() const;

  void Mark();
  int MarkedLine() const { return markLine_; }
  int MarkedColumn() const { return markColumn_; }
  // The text from the marked token to the end of the last token read past.
  std::string TextSinceMark() const;

  // The OR level. In NameContext a single primary.
  std::unique_ptr<TExpToken> ParseExpression(TExpContext context);
  std::unique_ptr<TExpToken> ParsePrimary(TExpContext context);
  TSqlType ParseType();

  // Reads the first token, parses one expression and requires the end of the
  // text after it: how a filter text is taken in.
  std::unique_ptr<TExpToken> ParseWholeText(TExpContext context);

 private:
  char At(size_t position) const { return position < text_.size() ? text_[position] : '\0'; }
  unsigned char ByteAt(size_t position) const { return static_cast<unsigned char>(At(position)); }
  void SkipBlanksAndComments();
  bool SkipLineBreak();
  void ReadQuoted(char closing, bool doubledEscapes);
  void ReadNumber();
  void ReadIdentifier();

  std::unique_ptr<TExpToken> ParseAnd(TExpContext context);
  std::unique_ptr<TExpToken> ParseNot(TExpContext context);
  std::unique_ptr<TExpToken> ParseComparison(TExpContext context);
  std::unique_ptr<TExpToken> ParsePredicate(std::unique_ptr<TExpToken> subject, TExpContext context);
  std::unique_ptr<TExpToken> ParseIsNull(std::unique_ptr<TExpToken> subject);
  std::unique_ptr<TExpToken> ParseAdditive(TExpContext context);
  std::unique_ptr<TExpToken> ParseMultiplicative(TExpContext context);
  std::unique_ptr<TExpToken> ParseUnary(TExpContext context);
  std::unique_ptr<TExpToken> ParseConstant();
  std::unique_ptr<TExpToken> ParseColumnReference(TExpContext context);
  std::unique_ptr<TExpToken> ParseFunction(const TBuiltinFunction* builtin, TExpContext context);
  void ParseFunctionArguments(TExpToken& call, TExpContext context);
  void ParseCase(TExpToken& call, TExpContext context);
  void ParseTrim(TExpToken& call, TExpContext context);
  void ParseExtract(TExpToken& call, TExpContext context);
  void ParseCast(TExpToken& call, TExpContext context);
  void ParseArgumentList(TExpToken& call, TExpContext context, size_t minimum, size_t maximum);
  void AddArgument(TExpToken& call, TExpContext context);
  void AddOperandBeforeIn(TExpToken& call, TExpContext context);
  // Reads "," or one of the keywords; else the Expected message.
  void SkipSeparator(std::string_view keyword);
  bool SkipOptionalSeparator(std::string_view keyword);

  // A node positioned at the current token, with its text.
  std::unique_ptr<TExpToken> NewNode(TNodeKind kind) const;
  std::unique_ptr<TExpToken> Binary(TExpOperator op, std::string text, int line, int column,
                                    std::unique_ptr<TExpToken> left, std::unique_ptr<TExpToken> right) const;
  void RefuseStarOperand(const TExpToken& operand) const;
  // Trees and nesting are bounded so that evaluating and freeing a tree
  // cannot exhaust the stack, whatever the text.
  void SetHeight(TExpToken& node) const;
  void EnterNesting();
  void RequirePermission(TExpContext context, TExpPermission permission) const;
  std::string SourceSince(size_t start) const;

  TExpressionErrors errors_;
  std::vector<TExpToken*>* parameters_ = nullptr;
  TSubQueryParser* subQueries_ = nullptr;
  std::function<bool(std::string_view)> isRegistered_;

  std::string text_;
  size_t position_ = 0;  // first character not yet read
  size_t tokenStart_ = 0;
  size_t tokenEnd_ = 0;
  size_t previousEnd_ = 0;  // end of the token read before the current one
  int kind_ = tkEnd;
  int nesting_ = 0;
  int line_ = 1;
  size_t lineStart_ = 0;
  int columnBase_ = 1;  // column of the first character of the current line
  int tokenLine_ = 1;
  int tokenColumn_ = 1;
  size_t markPosition_ = 0;
  int markLine_ = 1;
  int markColumn_ = 1;
};

}  // namespace keel
