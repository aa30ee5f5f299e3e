#include "engine/sql/ExpressionParser.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <utility>

#include "engine/sql/SubQueryParser.h"

namespace keel {

namespace {

constexpr char kCR = '\r';
constexpr int kMaxHeight = 400;
constexpr int kMaxNesting = 100;
constexpr char kLF = '\n';

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool IsIdentifierStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 128 && c <= 254);
}

bool IsIdentifierPart(unsigned char c) {
  return IsIdentifierStart(c) || IsDigit(c) || c == '!' || c == '$' || c == '@';
}

std::string TrimBlanks(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

bool IsNumericConstant(const TExpToken& node) {
  return node.Kind == TNodeKind::Constant && !node.Null &&
         (node.Type == FieldType::Integer || node.Type == FieldType::LargeInt || node.Type == FieldType::Float);
}

// Integer constants take the smallest of integer and large integer that holds them.
void SetIntegerConstant(TExpToken& node, int64_t value) {
  bool fits32 = value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
  node.SetInteger(fits32 ? FieldType::Integer : FieldType::LargeInt, value);
  node.Size = fits32 ? 4 : 8;
}

struct TExtractPartName {
  std::string_view Name;
  TExtractPart Part;
};

constexpr TExtractPartName kExtractParts[] = {
    {"YEAR", TExtractPart::Year},     {"MONTH", TExtractPart::Month},         {"WEEK", TExtractPart::Week},
    {"DAY", TExtractPart::Day},       {"DAYOFWEEK", TExtractPart::DayOfWeek}, {"DAYOFYEAR", TExtractPart::DayOfYear},
    {"HOUR", TExtractPart::Hour},     {"MINUTE", TExtractPart::Minute},       {"SECOND", TExtractPart::Second},
    {"MSECOND", TExtractPart::MSecond},
};

struct TSqlTypeName {
  std::string_view Name;
  FieldType Type;
  FieldSubtype Subtype;
  bool HasLength;
};

constexpr TSqlTypeName kSqlTypes[] = {
    {"SMALLINT", FieldType::SmallInt, FieldSubtype::None, false},
    {"WORD", FieldType::Word, FieldSubtype::None, false},
    {"INTEGER", FieldType::Integer, FieldSubtype::None, false},
    {"INT", FieldType::Integer, FieldSubtype::None, false},
    {"LARGEINT", FieldType::LargeInt, FieldSubtype::None, false},
    {"AUTOINC", FieldType::Integer, FieldSubtype::AutoInc, false},
    {"DECIMAL", FieldType::Bcd, FieldSubtype::None, false},
    {"NUMERIC", FieldType::Bcd, FieldSubtype::None, false},
    {"FLOAT", FieldType::Float, FieldSubtype::None, false},
    {"MONEY", FieldType::Float, FieldSubtype::Money, false},
    {"CHARACTER", FieldType::String, FieldSubtype::FixedChar, true},
    {"CHAR", FieldType::String, FieldSubtype::FixedChar, true},
    {"VARCHAR", FieldType::String, FieldSubtype::None, true},
    {"WIDECHAR", FieldType::String, FieldSubtype::WideString, true},
    {"GUID", FieldType::String, FieldSubtype::Guid, false},
    {"BYTES", FieldType::Bytes, FieldSubtype::None, true},
    {"BINARY", FieldType::Bytes, FieldSubtype::None, true},
    {"VARBYTES", FieldType::VarBytes, FieldSubtype::None, true},
    {"VARBINARY", FieldType::VarBytes, FieldSubtype::None, true},
    {"DATE", FieldType::Date, FieldSubtype::None, false},
    {"TIME", FieldType::Time, FieldSubtype::None, false},
    {"TIMESTAMP", FieldType::Timestamp, FieldSubtype::None, false},
    {"BOOLEAN", FieldType::Boolean, FieldSubtype::None, false},
    {"BOOL", FieldType::Boolean, FieldSubtype::None, false},
    {"BIT", FieldType::Boolean, FieldSubtype::None, false},
    {"BLOB", FieldType::Blob, FieldSubtype::None, false},
    {"LONGVARBINARY", FieldType::Blob, FieldSubtype::None, false},
    {"LONGVARCHAR", FieldType::Blob, FieldSubtype::Memo, false},
    {"MEMO", FieldType::Blob, FieldSubtype::Memo, false},
    {"GRAPHIC", FieldType::Blob, FieldSubtype::Graphic, false},
};

}  // namespace

TExpressionParser::TExpressionParser(TExpressionErrors errors) : errors_(std::move(errors)) {}

// ---------------------------------------------------------------------------
// Tokens

void TExpressionParser::Load(std::string_view text, int firstLine, int firstColumn) {
  size_t end = text.find('\0');
  text_.assign(text.substr(0, end));
  position_ = tokenStart_ = tokenEnd_ = previousEnd_ = 0;
  nesting_ = 0;
  kind_ = tkEnd;
  line_ = tokenLine_ = markLine_ = firstLine;
  lineStart_ = 0;
  columnBase_ = tokenColumn_ = markColumn_ = firstColumn;
  markPosition_ = 0;
}

bool TExpressionParser::SkipLineBreak() {
  char c = At(position_);
  if (c != kCR && c != kLF) return false;
  ++position_;
  if (c == kCR && At(position_) == kLF) ++position_;
  ++line_;
  lineStart_ = position_;
  columnBase_ = 1;
  return true;
}

void TExpressionParser::SkipBlanksAndComments() {
  for (;;) {
    if (SkipLineBreak()) continue;
    unsigned char c = ByteAt(position_);
    if (c >= 1 && c <= 32) {
      ++position_;
    } else if (c == '-' && At(position_ + 1) == '-') {
      while (position_ < text_.size() && At(position_) != kCR && At(position_) != kLF) ++position_;
    } else if (c == '/' && At(position_ + 1) == '*') {
      tokenStart_ = position_;
      tokenLine_ = line_;
      tokenColumn_ = static_cast<int>(position_ - lineStart_) + columnBase_;
      position_ += 2;
      for (;;) {
        if (position_ >= text_.size()) {
          kind_ = tkEnd;
          errors_.Missing("/", tokenLine_, tokenColumn_);
        }
        if (At(position_) == '*' && At(position_ + 1) == '/') {
          position_ += 2;
          break;
        }
        if (!SkipLineBreak()) ++position_;
      }
    } else {
      return;
    }
  }
}

void TExpressionParser::NextToken() {
  previousEnd_ = tokenEnd_;
  SkipBlanksAndComments();
  tokenStart_ = position_;
  tokenLine_ = line_;
  tokenColumn_ = static_cast<int>(position_ - lineStart_) + columnBase_;
  unsigned char c = ByteAt(position_);
  if (position_ >= text_.size()) {
    kind_ = tkEnd;
  } else if (IsIdentifierStart(c)) {
    ReadIdentifier();
  } else if (c == '#') {
    ++position_;
    while (IsDigit(ByteAt(position_))) ++position_;
    kind_ = tkCharConstant;
  } else if (c == '\'') {
    kind_ = tkString;
    ReadQuoted('\'', true);
  } else if (c == '"') {
    kind_ = tkQuotedName;
    ReadQuoted('"', true);
  } else if (c == '[') {
    kind_ = tkBracketName;
    ReadQuoted(']', false);
  } else if (IsDigit(c) || (c == '.' && IsDigit(ByteAt(position_ + 1)))) {
    ReadNumber();
  } else {
    ++position_;
    kind_ = c;
  }
  tokenEnd_ = position_;
}

void TExpressionParser::ReadIdentifier() {
  while (IsIdentifierPart(ByteAt(position_))) ++position_;
  kind_ = tkIdentifier;
}

void TExpressionParser::ReadQuoted(char closing, bool doubledEscapes) {
  ++position_;
  for (;;) {
    char c = At(position_);
    if (position_ >= text_.size()) {
      tokenEnd_ = position_;
      errors_.Missing(std::string(1, closing), tokenLine_, tokenColumn_);
    }
    if (c == kCR || c == kLF) {
      tokenEnd_ = position_;
      errors_.Expected(std::string(1, closing), TokenText(), tokenLine_, tokenColumn_);
    }
    ++position_;
    if (c == closing) {
      if (doubledEscapes && At(position_) == closing) {
        ++position_;
        continue;
      }
      return;
    }
  }
}

void TExpressionParser::ReadNumber() {
  bool onlyDigits = true;
  while (IsDigit(ByteAt(position_))) ++position_;
  for (;;) {
    char c = At(position_);
    char previous = At(position_ - 1);
    if (IsDigit(static_cast<unsigned char>(c))) {
      ++position_;
    } else if (c == '.' || c == 'E' || c == 'e' ||
               ((c == '+' || c == '-') && (previous == 'E' || previous == 'e'))) {
      onlyDigits = false;
      ++position_;
    } else {
      break;
    }
  }
  kind_ = onlyDigits ? tkInteger : tkReal;
}

bool TExpressionParser::IsKeyword(std::string_view keyword) const {
  return kind_ == tkIdentifier && SameKeyword(TokenText(), keyword);
}

bool TExpressionParser::IsName() const {
  return kind_ == tkIdentifier || kind_ == tkBracketName || kind_ == tkQuotedName;
}

std::string_view TExpressionParser::TokenText() const {
  return std::string_view(text_).substr(tokenStart_, tokenEnd_ - tokenStart_);
}

std::string TExpressionParser::Value() const {
  std::string_view raw = TokenText();
  if (kind_ != tkBracketName && kind_ != tkString && kind_ != tkQuotedName) return std::string(raw);
  std::string_view inner = raw.substr(1, raw.size() - 2);
  std::string value;
  for (size_t i = 0; i < inner.size(); ++i) {
    char c = inner[i];
    bool reducible = c == '\'' || (c == '"' && kind_ != tkString);
    if (reducible && i + 1 < inner.size() && inner[i + 1] == c) ++i;
    value += c;
  }
  return value;
}

void TExpressionParser::RaiseExpected(std::string_view expected) const {
  if (kind_ == tkEnd) errors_.Missing(expected, tokenLine_, tokenColumn_);
  errors_.Expected(expected, TokenText(), tokenLine_, tokenColumn_);
}

void TExpressionParser::RaiseInvalid() const { errors_.Invalid(TokenText(), tokenLine_, tokenColumn_); }

void TExpressionParser::RequireKeyword(std::string_view keyword) {
  if (!IsKeyword(keyword)) RaiseExpected(keyword);
}

void TExpressionParser::RequireCharacter(char c) {
  if (!IsCharacter(c)) RaiseExpected(std::string(1, c));
}

void TExpressionParser::RequireAndSkip(char c) {
  RequireCharacter(c);
  NextToken();
}

void TExpressionParser::Mark() {
  markPosition_ = tokenStart_;
  markLine_ = tokenLine_;
  markColumn_ = tokenColumn_;
}

std::string TExpressionParser::TextSinceMark() const { return SourceSince(markPosition_); }

std::string TExpressionParser::SourceSince(size_t start) const {
  if (previousEnd_ <= start) return {};
  return text_.substr(start, previousEnd_ - start);
}

// ---------------------------------------------------------------------------
// Grammar

std::unique_ptr<TExpToken> TExpressionParser::NewNode(TNodeKind kind) const {
  auto node = std::make_unique<TExpToken>();
  node->Kind = kind;
  node->Text = std::string(TokenText());
  node->Line = tokenLine_;
  node->Column = tokenColumn_;
  return node;
}

void TExpressionParser::RefuseStarOperand(const TExpToken& operand) const {
  if (operand.IsStar()) errors_.Invalid("*", operand.Line, operand.Column);
}

void TExpressionParser::SetHeight(TExpToken& node) const {
  int below = 0;
  if (node.Left) below = std::max(below, node.Left->Height);
  if (node.Right) below = std::max(below, node.Right->Height);
  for (const auto& argument : node.Arguments) below = std::max(below, argument->Height);
  node.Height = below + 1;
  if (node.Height > kMaxHeight) errors_.Plain("Expression too complex", node.Line, node.Column);
}

void TExpressionParser::EnterNesting() {
  if (++nesting_ > kMaxNesting) errors_.Plain("Expression too complex", tokenLine_, tokenColumn_);
}

void TExpressionParser::RequirePermission(TExpContext context, TExpPermission permission) const {
  if (!context.Allows(permission)) RaiseInvalid();
}

std::unique_ptr<TExpToken> TExpressionParser::Binary(TExpOperator op, std::string text, int line, int column,
                                                     std::unique_ptr<TExpToken> left,
                                                     std::unique_ptr<TExpToken> right) const {
  RefuseStarOperand(*left);
  RefuseStarOperand(*right);
  auto node = std::make_unique<TExpToken>();
  node->Kind = TNodeKind::BinaryOperator;
  node->Operator = op;
  node->Text = std::move(text);
  node->Line = line;
  node->Column = column;
  node->Left = std::move(left);
  node->Right = std::move(right);
  SetHeight(*node);
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseWholeText(TExpContext context) {
  NextToken();
  auto root = ParseExpression(context);
  if (kind_ != tkEnd) RaiseExpected("end of expression");
  return root;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseExpression(TExpContext context) {
  if (context.SinglePrimary) return ParsePrimary(context);
  auto left = ParseAnd(context);
  while (IsKeyword("OR")) {
    std::string text(TokenText());
    int line = tokenLine_, column = tokenColumn_;
    NextToken();
    left = Binary(TExpOperator::Or, std::move(text), line, column, std::move(left), ParseAnd(context));
  }
  return left;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseAnd(TExpContext context) {
  auto left = ParseNot(context);
  while (IsKeyword("AND")) {
    std::string text(TokenText());
    int line = tokenLine_, column = tokenColumn_;
    NextToken();
    left = Binary(TExpOperator::And, std::move(text), line, column, std::move(left), ParseNot(context));
  }
  return left;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseNot(TExpContext context) {
  if (!IsKeyword("NOT")) return ParseComparison(context);
  auto node = NewNode(TNodeKind::UnaryOperator);
  node->Operator = TExpOperator::Not;
  NextToken();
  node->Left = ParseComparison(context);
  RefuseStarOperand(*node->Left);
  SetHeight(*node);
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseComparison(TExpContext context) {
  auto left = ParseAdditive(context);
  std::string text(TokenText());
  int line = tokenLine_, column = tokenColumn_;
  TExpOperator op = TExpOperator::None;
  if (IsCharacter('=')) {
    op = TExpOperator::Equal;
    NextToken();
  } else if (IsCharacter('<')) {
    NextToken();
    op = TExpOperator::Less;
    if (IsCharacter('>')) op = TExpOperator::NotEqual;
    if (IsCharacter('=')) op = TExpOperator::LessEqual;
    if (op != TExpOperator::Less) {
      text += TokenText();
      NextToken();
    }
  } else if (IsCharacter('>')) {
    NextToken();
    op = TExpOperator::Greater;
    if (IsCharacter('<')) op = TExpOperator::NotEqual;
    if (IsCharacter('=')) op = TExpOperator::GreaterEqual;
    if (op != TExpOperator::Greater) {
      text += TokenText();
      NextToken();
    }
  } else if (IsKeyword("NOT") || IsKeyword("BETWEEN") || IsKeyword("LIKE") || IsKeyword("IN") || IsKeyword("IS")) {
    RequirePermission(context, AllowPredicates);
    RefuseStarOperand(*left);
    if (IsKeyword("IS")) return ParseIsNull(std::move(left));
    return ParsePredicate(std::move(left), context);
  } else {
    return left;
  }
  return Binary(op, std::move(text), line, column, std::move(left), ParseAdditive(context));
}

std::unique_ptr<TExpToken> TExpressionParser::ParseIsNull(std::unique_ptr<TExpToken> subject) {
  int line = tokenLine_, column = tokenColumn_;
  NextToken();
  TExpOperator op = TExpOperator::Equal;
  std::string text = "IS NULL";
  if (IsKeyword("NOT")) {
    op = TExpOperator::NotEqual;
    text = "IS NOT NULL";
    NextToken();
    RequireKeyword("NULL");
  } else if (!IsKeyword("NULL")) {
    RaiseExpected("NULL or NOT");
  }
  auto nullConstant = NewNode(TNodeKind::Constant);
  NextToken();
  return Binary(op, std::move(text), line, column, std::move(subject), std::move(nullConstant));
}

std::unique_ptr<TExpToken> TExpressionParser::ParsePredicate(std::unique_ptr<TExpToken> subject,
                                                             TExpContext context) {
  auto node = NewNode(TNodeKind::Predicate);
  bool negated = IsKeyword("NOT");
  if (negated) {
    NextToken();
    if (!IsKeyword("BETWEEN") && !IsKeyword("LIKE") && !IsKeyword("IN")) RaiseExpected("expression");
    node->Text += " " + std::string(TokenText());
  }
  node->Arguments.push_back(std::move(subject));
  if (IsKeyword("BETWEEN")) {
    node->Operator = negated ? TExpOperator::NotBetween : TExpOperator::Between;
    NextToken();
    node->Arguments.push_back(ParseAdditive(context));
    RequireKeyword("AND");
    NextToken();
    node->Arguments.push_back(ParseAdditive(context));
  } else if (IsKeyword("LIKE")) {
    node->Operator = negated ? TExpOperator::NotLike : TExpOperator::Like;
    NextToken();
    node->Arguments.push_back(ParseAdditive(context));
    if (IsKeyword("ESCAPE")) {
      NextToken();
      node->Arguments.push_back(ParsePrimary(context.WithoutStar()));
    }
  } else {
    NextToken();
    RequireAndSkip('(');
    if (IsKeyword("SELECT")) {
      RequirePermission(context, AllowSubqueries);
      if (subQueries_ == nullptr) RaiseInvalid();
      node->Operator = negated ? TExpOperator::NotInSubQuery : TExpOperator::InSubQuery;
      node->SubQuery = subQueries_->ParseSubQuery(*this);
    } else {
      node->Operator = negated ? TExpOperator::NotIn : TExpOperator::In;
      node->Arguments.push_back(ParseAdditive(context.WithoutStar()));
      while (IsCharacter(',')) {
        NextToken();
        node->Arguments.push_back(ParseAdditive(context.WithoutStar()));
      }
    }
    RequireAndSkip(')');
  }
  for (const auto& argument : node->Arguments) RefuseStarOperand(*argument);
  SetHeight(*node);
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseAdditive(TExpContext context) {
  auto left = ParseMultiplicative(context);
  for (;;) {
    std::string text(TokenText());
    int line = tokenLine_, column = tokenColumn_;
    TExpOperator op = TExpOperator::None;
    if (IsCharacter('+')) {
      op = TExpOperator::Add;
    } else if (IsCharacter('-')) {
      op = TExpOperator::Subtract;
    } else if (IsCharacter('|')) {
      NextToken();
      RequireCharacter('|');
      text = "||";
      op = TExpOperator::Add;
    } else {
      return left;
    }
    NextToken();
    left = Binary(op, std::move(text), line, column, std::move(left), ParseMultiplicative(context));
  }
}

std::unique_ptr<TExpToken> TExpressionParser::ParseMultiplicative(TExpContext context) {
  auto left = ParseUnary(context);
  for (;;) {
    TExpOperator op = TExpOperator::None;
    if (IsCharacter('*')) {
      op = TExpOperator::Multiply;
    } else if (IsCharacter('/')) {
      op = TExpOperator::Divide;
    } else if (IsKeyword("MOD")) {
      op = TExpOperator::Mod;
    } else {
      return left;
    }
    std::string text(TokenText());
    int line = tokenLine_, column = tokenColumn_;
    NextToken();
    left = Binary(op, std::move(text), line, column, std::move(left), ParseUnary(context));
  }
}

std::unique_ptr<TExpToken> TExpressionParser::ParseUnary(TExpContext context) {
  if (!IsCharacter('+') && !IsCharacter('-')) return ParsePrimary(context);
  auto node = NewNode(TNodeKind::UnaryOperator);
  bool negate = IsCharacter('-');
  node->Operator = negate ? TExpOperator::Negate : TExpOperator::UnaryPlus;
  NextToken();
  auto operand = ParsePrimary(context);
  RefuseStarOperand(*operand);
  // A signed number is one constant, so that comparisons with it stay
  // comparisons of a column with a constant.
  if (IsNumericConstant(*operand)) {
    if (negate && operand->Type == FieldType::Float) {
      operand->Real = -operand->Real;
    } else if (negate) {
      SetIntegerConstant(*operand, -operand->Int);
    }
    operand->Text = node->Text + operand->Text;
    operand->Line = node->Line;
    operand->Column = node->Column;
    return operand;
  }
  node->Left = std::move(operand);
  SetHeight(*node);
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParsePrimary(TExpContext context) {
  TExpContext inner = context.WithoutStar();
  if (IsCharacter('(')) {
    EnterNesting();
    NextToken();
    auto expression = ParseExpression(TExpContext{inner.Permissions, false});
    RequireAndSkip(')');
    --nesting_;
    return expression;
  }
  if (kind_ == tkString || kind_ == tkCharConstant || kind_ == tkInteger || kind_ == tkReal) return ParseConstant();
  if (IsKeyword("TRUE") || IsKeyword("FALSE")) {
    auto node = NewNode(TNodeKind::Constant);
    node->SetBoolean(IsKeyword("TRUE"));
    node->Size = 2;
    NextToken();
    return node;
  }
  if (IsKeyword("NULL")) {
    auto node = NewNode(TNodeKind::Constant);
    NextToken();
    return node;
  }
  if (IsCharacter('?')) {
    RequirePermission(context, AllowParams);
    auto node = NewNode(TNodeKind::Constant);
    node->IsParameter = true;
    if (parameters_ != nullptr) parameters_->push_back(node.get());
    NextToken();
    return node;
  }
  if (IsCharacter('*')) {
    RequirePermission(context, AllowStar);
    auto node = NewNode(TNodeKind::Column);
    node->ColumnName = "*";
    NextToken();
    return node;
  }
  if (kind_ == tkIdentifier) {
    if (const TBuiltinFunction* builtin = FindBuiltinFunction(TokenText())) return ParseFunction(builtin, inner);
    if (isRegistered_ && isRegistered_(TokenText())) return ParseFunction(nullptr, inner);
  }
  if (IsName()) return ParseColumnReference(context);
  RaiseExpected("expression");
}

std::unique_ptr<TExpToken> TExpressionParser::ParseConstant() {
  auto node = NewNode(TNodeKind::Constant);
  std::string_view raw = TokenText();
  if (kind_ == tkString) {
    std::string value = Value();
    if (!value.empty()) {
      node->Size = static_cast<uint32_t>(value.size() + 1);
      node->SetText(FieldType::String, std::move(value));
    }
  } else if (kind_ == tkCharConstant) {
    unsigned code = 0;
    std::string_view digits = raw.substr(1);
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
    if (digits.empty() || error != std::errc() || code > 255) RaiseExpected("character constant");
    node->Size = 2;
    node->SetText(FieldType::String, code == 0 ? std::string() : std::string(1, static_cast<char>(code)));
  } else {
    const char* first = raw.data();
    const char* last = raw.data() + raw.size();
    int64_t integer = 0;
    auto parsed = std::from_chars(first, last, integer);
    if (kind_ == tkInteger && parsed.ec == std::errc() && parsed.ptr == last) {
      SetIntegerConstant(*node, integer);
    } else {
      double real = 0;
      auto asReal = std::from_chars(first, last, real);
      if (asReal.ec != std::errc() || asReal.ptr != last) RaiseExpected("numeric expression");
      node->SetReal(FieldType::Float, real);
      node->Size = 8;
    }
  }
  NextToken();
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseColumnReference(TExpContext context) {
  auto node = NewNode(TNodeKind::Column);
  size_t start = tokenStart_;
  std::string first = TrimBlanks(Value());
  NextToken();
  if (IsCharacter('.')) {
    RequirePermission(context, AllowQualified);
    NextToken();
    if (IsCharacter('*')) {
      RequirePermission(context, AllowStar);
      node->ColumnName = "*";
    } else if (IsName()) {
      node->ColumnName = TrimBlanks(Value());
    } else {
      RaiseExpected("identifier");
    }
    node->Qualifier = std::move(first);
    NextToken();
  } else {
    node->ColumnName = std::move(first);
  }
  node->Text = SourceSince(start);
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseFunction(const TBuiltinFunction* builtin, TExpContext context) {
  auto call = NewNode(TNodeKind::Function);
  size_t start = tokenStart_;
  call->FunctionName = AsciiUpper(TokenText());
  call->Function = builtin != nullptr ? builtin->Function : TExpFunction::Registered;
  if (builtin != nullptr && builtin->Aggregate) RequirePermission(context, AllowAggregates);
  EnterNesting();
  NextToken();
  ParseFunctionArguments(*call, context);
  --nesting_;
  call->Text = SourceSince(start);
  SetHeight(*call);
  return call;
}

void TExpressionParser::ParseFunctionArguments(TExpToken& call, TExpContext context) {
  using F = TExpFunction;
  switch (call.Function) {
    case F::CurrentDate:
    case F::CurrentTime:
    case F::CurrentTimestamp:
    case F::CurrentGuid:
      if (IsCharacter('(')) {
        NextToken();
        RequireAndSkip(')');
      }
      return;
    case F::Case:
      ParseCase(call, context);
      return;
    default:
      break;
  }
  RequireAndSkip('(');
  switch (call.Function) {
    case F::Count:
      if (IsCharacter('*')) {
        call.Arguments.push_back(NewNode(TNodeKind::Column));
        call.Arguments.back()->ColumnName = "*";
        NextToken();
      } else {
        AddArgument(call, context);
      }
      break;
    case F::List:
      AddArgument(call, context);
      if (SkipOptionalSeparator("")) AddArgument(call, context);
      break;
    case F::Cast: ParseCast(call, context); break;
    case F::Extract: ParseExtract(call, context); break;
    case F::Trim: ParseTrim(call, context); break;
    case F::Substring:
      AddArgument(call, context);
      SkipSeparator("FROM");
      AddArgument(call, context);
      if (SkipOptionalSeparator("FOR")) AddArgument(call, context);
      break;
    case F::Left:
    case F::Right:
    case F::Repeat:
      AddArgument(call, context);
      SkipSeparator("FOR");
      AddArgument(call, context);
      break;
    case F::Concat:
      AddArgument(call, context);
      SkipSeparator("WITH");
      AddArgument(call, context);
      break;
    case F::Replace:
      AddArgument(call, context);
      SkipSeparator("WITH");
      AddOperandBeforeIn(call, context);
      SkipSeparator("IN");
      AddArgument(call, context);
      break;
    case F::Pos:
    case F::Position:
    case F::Occurs:
    case F::TextSearch:
    case F::TextOccurs:
      AddOperandBeforeIn(call, context);
      SkipSeparator("IN");
      AddArgument(call, context);
      break;
    case F::Round:
    case F::Truncate:
      AddArgument(call, context);
      if (SkipOptionalSeparator("TO")) AddArgument(call, context);
      break;
    case F::Power:
      AddArgument(call, context);
      SkipSeparator("TO");
      AddArgument(call, context);
      break;
    case F::Rand:
      if (IsKeyword("RANGE")) {
        NextToken();
        AddArgument(call, context);
      }
      break;
    case F::If:
      AddArgument(call, context);
      SkipSeparator("THEN");
      AddArgument(call, context);
      SkipSeparator("ELSE");
      AddArgument(call, context);
      break;
    case F::IfNull:
      AddArgument(call, context);
      SkipSeparator("THEN");
      AddArgument(call, context);
      if (SkipOptionalSeparator("ELSE")) AddArgument(call, context);
      break;
    case F::Pi: break;
    case F::Mod:
    case F::Atan2:
    case F::NullIf: ParseArgumentList(call, context, 2, 2); break;
    case F::Coalesce: ParseArgumentList(call, context, 1, SIZE_MAX); break;
    case F::Registered: ParseArgumentList(call, context, 0, SIZE_MAX); break;
    default: ParseArgumentList(call, context, 1, 1); break;
  }
  RequireAndSkip(')');
}

void TExpressionParser::AddArgument(TExpToken& call, TExpContext context) {
  call.Arguments.push_back(ParseExpression(TExpContext{context.Permissions, false}));
}

void TExpressionParser::AddOperandBeforeIn(TExpToken& call, TExpContext context) {
  // Below the comparison level, where "IN" would start a predicate.
  call.Arguments.push_back(ParseAdditive(TExpContext{context.Permissions, false}));
}

void TExpressionParser::ParseArgumentList(TExpToken& call, TExpContext context, size_t minimum, size_t maximum) {
  if (minimum == 0 && IsCharacter(')')) return;
  AddArgument(call, context);
  while (call.Arguments.size() < maximum && (call.Arguments.size() < minimum || IsCharacter(','))) {
    RequireAndSkip(',');
    AddArgument(call, context);
  }
}

bool TExpressionParser::SkipOptionalSeparator(std::string_view keyword) {
  if (!IsCharacter(',') && (keyword.empty() || !IsKeyword(keyword))) return false;
  NextToken();
  return true;
}

void TExpressionParser::SkipSeparator(std::string_view keyword) {
  if (!SkipOptionalSeparator(keyword)) RaiseExpected(std::string(keyword) + " or ,");
}

void TExpressionParser::ParseCase(TExpToken& call, TExpContext context) {
  TExpContext full{context.Permissions, false};
  if (!IsKeyword("WHEN")) call.Left = ParseExpression(full);
  RequireKeyword("WHEN");
  while (IsKeyword("WHEN")) {
    NextToken();
    call.Arguments.push_back(ParseExpression(full));
    RequireKeyword("THEN");
    NextToken();
    call.Arguments.push_back(ParseExpression(full));
  }
  if (IsKeyword("ELSE")) {
    NextToken();
    call.Right = ParseExpression(full);
  }
  RequireKeyword("END");
  NextToken();
}

void TExpressionParser::ParseTrim(TExpToken& call, TExpContext context) {
  TTrimMode mode = TTrimMode::Both;
  bool modeGiven = true;
  if (IsKeyword("LEADING")) {
    mode = TTrimMode::Leading;
  } else if (IsKeyword("TRAILING")) {
    mode = TTrimMode::Trailing;
  } else if (!IsKeyword("BOTH")) {
    modeGiven = false;
  }
  if (modeGiven) NextToken();
  call.Modifier = static_cast<uint8_t>(mode);
  if (modeGiven && IsKeyword("FROM")) {
    NextToken();
    AddArgument(call, context);
    return;
  }
  AddArgument(call, context);
  if (IsKeyword("FROM")) {
    // TRIM(mode character FROM source): the source comes first in the node.
    NextToken();
    AddArgument(call, context);
    std::swap(call.Arguments[0], call.Arguments[1]);
  }
}

void TExpressionParser::ParseExtract(TExpToken& call, TExpContext context) {
  const TExtractPartName* found = nullptr;
  for (const auto& part : kExtractParts) {
    if (IsKeyword(part.Name)) found = &part;
  }
  if (found == nullptr) {
    RaiseExpected("YEAR, MONTH, WEEK, DAY, DAYOFWEEK, DAYOFYEAR, HOUR, MINUTE, SECOND, or MSECOND");
  }
  call.Modifier = static_cast<uint8_t>(found->Part);
  NextToken();
  RequireKeyword("FROM");
  NextToken();
  AddArgument(call, context);
}

void TExpressionParser::ParseCast(TExpToken& call, TExpContext context) {
  AddArgument(call, context);
  RequireKeyword("AS");
  NextToken();
  TSqlType type = ParseType();
  call.Type = type.Type;
  call.Subtype = type.Subtype;
  call.Size = type.Type == FieldType::String ? type.Size + 1u : type.Size;
  call.Decimals = type.Decimals;
}

TSqlType TExpressionParser::ParseType() {
  const TSqlTypeName* found = nullptr;
  if (kind_ == tkIdentifier) {
    for (const auto& entry : kSqlTypes) {
      if (IsKeyword(entry.Name)) found = &entry;
    }
  }
  if (found == nullptr) RaiseExpected("SQL data type");
  TSqlType type{std::string(TokenText()), found->Type, found->Subtype, 0, 0};
  if (type.Subtype == FieldSubtype::Guid) type.Size = kGuidStringSize;
  NextToken();
  auto readCount = [this](unsigned maximum) {
    unsigned value = 0;
    std::string_view digits = TokenText();
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (kind_ != tkInteger || error != std::errc() || value > maximum) RaiseExpected("Integer");
    NextToken();
    return value;
  };
  if (found->HasLength) {
    RequireAndSkip('(');
    unsigned maximum = type.Subtype == FieldSubtype::WideString ? kMaxWideStringSize : kMaxStringSize;
    type.Size = static_cast<uint16_t>(readCount(maximum));
    if (type.Size == 0) RaiseExpected("Integer");
    RequireAndSkip(')');
  } else if (type.Type == FieldType::Bcd && IsCharacter('(')) {
    NextToken();
    readCount(kMaxBcdDecimals);
    if (IsCharacter(',')) {
      NextToken();
      type.Decimals = static_cast<uint8_t>(readCount(kMaxBcdDecimals));
    }
    RequireAndSkip(')');
  } else if (type.Type == FieldType::Integer && type.Subtype == FieldSubtype::None && IsKeyword("IDENTITY")) {
    type.Subtype = FieldSubtype::AutoInc;
    NextToken();
  }
  return type;
}

}  // namespace keel
