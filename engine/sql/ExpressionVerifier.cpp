#include "engine/sql/ExpressionVerifier.h"

#include <algorithm>
#include <array>

#include "engine/sql/ExpTypes.h"
#include "engine/sql/TemporalText.h"

namespace keel {

namespace {

using FT = FieldType;

// In the order the names appear in messages.
constexpr std::array kStoredTypes = {FT::String,    FT::Date, FT::Boolean, FT::SmallInt, FT::Integer,
                                     FT::Float,     FT::Bcd,  FT::Bytes,   FT::Time,     FT::Timestamp,
                                     FT::Word,      FT::VarBytes, FT::LargeInt};

bool OneOf(FT type, std::initializer_list<FT> types) {
  return std::find(types.begin(), types.end(), type) != types.end();
}

bool IsWholeNumber(FT type) { return IsIntegerType(type) || type == FT::LargeInt; }

// Left operand types a comparison accepts against a right operand of `right`.
bool ComparableLeft(FT left, FT right) {
  switch (right) {
    case FT::Date: return OneOf(left, {FT::String, FT::Date, FT::Bytes, FT::Timestamp, FT::VarBytes});
    case FT::Time: return OneOf(left, {FT::String, FT::Bytes, FT::Time, FT::Timestamp, FT::VarBytes});
    case FT::Timestamp:
      return OneOf(left, {FT::String, FT::Date, FT::Bytes, FT::Time, FT::Timestamp, FT::VarBytes});
    case FT::Boolean:
    case FT::SmallInt:
    case FT::Integer:
    case FT::Float:
    case FT::Bcd:
    case FT::Word:
    case FT::LargeInt:
      return OneOf(left, {FT::String, FT::Boolean, FT::SmallInt, FT::Integer, FT::Float, FT::Bcd, FT::Bytes,
                          FT::Word, FT::VarBytes, FT::LargeInt});
    default: return true;
  }
}

std::optional<FT> OrderedArithmeticType(TExpOperator op, FT left, FT right) {
  using Op = TExpOperator;
  bool additive = op == Op::Add || op == Op::Subtract;
  if (IsNumericType(left) && IsNumericType(right)) {
    if (op == Op::Mod) {
      if (!IsWholeNumber(left) || !IsWholeNumber(right)) return std::nullopt;
      return left == FT::LargeInt || right == FT::LargeInt ? FT::LargeInt : FT::Integer;
    }
    if (op == Op::Divide && IsWholeNumber(left) && IsWholeNumber(right)) return FT::Float;
    if (left == FT::Float || right == FT::Float) return FT::Float;
    if (left == FT::Bcd || right == FT::Bcd) return FT::Bcd;
    if (left == FT::LargeInt || right == FT::LargeInt) return FT::LargeInt;
    return FT::Integer;
  }
  if (op == Op::Add && left == FT::String && right == FT::String) return FT::String;
  if (!additive) return std::nullopt;
  if (left == FT::Date && IsWholeNumber(right)) return FT::Date;
  if (left == FT::Time && IsWholeNumber(right)) return FT::Time;
  if (left == FT::Timestamp && IsWholeNumber(right)) return FT::Timestamp;
  if (op != Op::Subtract) return std::nullopt;
  if (left == FT::Date && right == FT::Date) return FT::Integer;
  if (left == FT::Time && right == FT::Time) return FT::Integer;
  if (left == FT::Timestamp && OneOf(right, {FT::Date, FT::Time, FT::Timestamp})) return FT::Float;
  return std::nullopt;
}

uint32_t SizeOf(FT type) {
  switch (type) {
    case FT::Boolean:
    case FT::SmallInt:
    case FT::Word: return 2;
    case FT::Date:
    case FT::Time:
    case FT::Integer: return 4;
    case FT::Bcd: return 34;
    default: return 8;
  }
}

void SetType(TExpToken& node, FT type, uint32_t size = 0) {
  node.Type = type;
  node.Subtype = FieldSubtype::None;
  node.Size = size != 0 ? size : SizeOf(type);
}

// Columns of text BLOBs count as strings in operators.
FT OperandType(const TExpToken& node) { return IsTextValue(node) ? FT::String : node.Type; }

}  // namespace

TExpressionVerifier::TExpressionVerifier(const TExpressionErrors& errors, TColumnResolver& resolver)
    : errors_(errors), resolver_(resolver) {}

void TExpressionVerifier::Verify(TExpToken& node, TExpContext context) {
  aggregatesAllowed_ = context.Allows(AllowAggregates);
  VerifyNode(node, false);
}

void TExpressionVerifier::VerifyFilter(TExpToken& root) {
  Verify(root, FilterContext);
  if (root.Type != FT::Boolean) {
    errors_.Raw("filter expression must be a boolean expression", root.Line, root.Column);
  }
}

std::optional<FieldType> TExpressionVerifier::ArithmeticType(TExpOperator op, FieldType left, FieldType right) {
  auto type = OrderedArithmeticType(op, left, right);
  bool commutative = op == TExpOperator::Add || op == TExpOperator::Multiply;
  if (!type && commutative) type = OrderedArithmeticType(op, right, left);
  return type;
}

void TExpressionVerifier::RaiseExpectedTypes(const std::vector<FieldType>& allowed, const TExpToken& found) const {
  std::vector<std::string> names;
  for (FT type : allowed) names.push_back(TypeName(type));
  errors_.Expected(TExpressionErrors::JoinKinds(names) + " expression", found.Text, found.Line, found.Column);
}

void TExpressionVerifier::RequireBoolean(const TExpToken& operand) const {
  if (operand.Type != FT::None && operand.Type != FT::Boolean) RaiseExpectedTypes({FT::Boolean}, operand);
}

void TExpressionVerifier::RequireText(const TExpToken& operand) const {
  if (operand.Type != FT::None && !IsTextValue(operand)) RaiseExpectedTypes({FT::String}, operand);
}

void TExpressionVerifier::RequireNumeric(const TExpToken& operand) const {
  if (operand.Type != FT::None && !IsNumericType(operand.Type)) {
    RaiseExpectedTypes({FT::SmallInt, FT::Integer, FT::Float, FT::Bcd, FT::Word, FT::LargeInt}, operand);
  }
}

void TExpressionVerifier::RequireIntegral(const TExpToken& operand) const {
  if (operand.Type != FT::None && !IsWholeNumber(operand.Type)) {
    RaiseExpectedTypes({FT::SmallInt, FT::Integer, FT::Word, FT::LargeInt}, operand);
  }
}

void TExpressionVerifier::RequireTemporal(const TExpToken& operand) const {
  if (operand.Type != FT::None && !OneOf(operand.Type, {FT::Date, FT::Time, FT::Timestamp})) {
    RaiseExpectedTypes({FT::Date, FT::Time, FT::Timestamp}, operand);
  }
}

void TExpressionVerifier::VerifyNode(TExpToken& node, bool insideAggregate) {
  bool aggregate = node.Kind == TNodeKind::Function &&
                   (node.Function == TExpFunction::Sum || node.Function == TExpFunction::RunSum ||
                    node.Function == TExpFunction::Avg || node.Function == TExpFunction::StdDev ||
                    node.Function == TExpFunction::Min || node.Function == TExpFunction::Max ||
                    node.Function == TExpFunction::Count || node.Function == TExpFunction::List);
  // Trees may also be built by the statement layer, not only by the parser,
  // so the context is checked here once more.
  if (aggregate && !aggregatesAllowed_) errors_.Invalid(node.FunctionName, node.Line, node.Column);
  if (aggregate && insideAggregate) errors_.Plain("Invalid nesting of aggregate functions", node.Line, node.Column);
  bool inside = insideAggregate || aggregate;
  if (node.Left) VerifyNode(*node.Left, inside);
  if (node.Right) VerifyNode(*node.Right, inside);
  for (auto& argument : node.Arguments) VerifyNode(*argument, inside);

  switch (node.Kind) {
    case TNodeKind::Column:
      if (!node.IsStar() && !resolver_.ResolveColumn(node)) {
        errors_.Expected("column name", node.Text, node.Line, node.Column);
      }
      break;
    case TNodeKind::UnaryOperator: VerifyUnary(node); break;
    case TNodeKind::BinaryOperator:
    case TNodeKind::StringCompare: VerifyBinary(node); break;
    case TNodeKind::Predicate: VerifyPredicate(node); break;
    case TNodeKind::Function: VerifyFunction(node); break;
    default: break;
  }
}

void TExpressionVerifier::VerifyUnary(TExpToken& node) {
  TExpToken& operand = *node.Left;
  if (node.Operator == TExpOperator::Not) {
    RequireBoolean(operand);
    SetType(node, FT::Boolean);
  } else {
    RequireNumeric(operand);
    node.CopyTypeFrom(operand);
  }
}

void TExpressionVerifier::VerifyBinary(TExpToken& node) {
  using Op = TExpOperator;
  switch (node.Operator) {
    case Op::And:
    case Op::Or:
      RequireBoolean(*node.Left);
      RequireBoolean(*node.Right);
      SetType(node, FT::Boolean);
      return;
    case Op::Equal:
    case Op::NotEqual:
    case Op::Greater:
    case Op::Less:
    case Op::GreaterEqual:
    case Op::LessEqual:
      CheckComparison(*node.Left, *node.Right);
      SetType(node, FT::Boolean);
      return;
    default: VerifyArithmetic(node);
  }
}

void TExpressionVerifier::VerifyArithmetic(TExpToken& node) {
  const TExpToken& left = *node.Left;
  const TExpToken& right = *node.Right;
  FT leftType = OperandType(left);
  FT rightType = OperandType(right);
  if (leftType == FT::None || rightType == FT::None) {
    // A bare NULL takes the other operand's type; the result is null anyway.
    const TExpToken& typed = leftType == FT::None ? right : left;
    FT other = OperandType(typed);
    if (other != FT::None && !ArithmeticType(node.Operator, other, other) &&
        !ArithmeticType(node.Operator, other, FT::Integer)) {
      std::vector<FT> allowed;
      for (FT candidate : kStoredTypes) {
        if (ArithmeticType(node.Operator, candidate, candidate)) allowed.push_back(candidate);
      }
      RaiseExpectedTypes(allowed, typed);
    }
    node.CopyTypeFrom(typed);
    if (other == FT::String) node.Subtype = FieldSubtype::None;
    return;
  }
  if (auto type = ArithmeticType(node.Operator, leftType, rightType)) {
    uint32_t size = *type == FT::String ? left.Size + right.Size - 1 : 0;
    SetType(node, *type, size);
    if (*type == FT::Bcd) node.Decimals = std::max(left.Decimals, right.Decimals);
    return;
  }
  std::vector<FT> allowedRight;
  for (FT candidate : kStoredTypes) {
    if (ArithmeticType(node.Operator, leftType, candidate)) allowedRight.push_back(candidate);
  }
  if (!allowedRight.empty()) RaiseExpectedTypes(allowedRight, right);
  std::vector<FT> allowedLeft;
  for (FT candidate : kStoredTypes) {
    bool usable = std::any_of(kStoredTypes.begin(), kStoredTypes.end(),
                              [&](FT other) { return ArithmeticType(node.Operator, candidate, other).has_value(); });
    if (usable) allowedLeft.push_back(candidate);
  }
  RaiseExpectedTypes(allowedLeft, left);
}

void TExpressionVerifier::ConvertConstant(TExpToken& constant, FieldType wanted) const {
  if (constant.Kind != TNodeKind::Constant || constant.IsParameter || constant.Type != FT::String) return;
  std::string text = constant.Str;
  auto fail = [&](const char* what) {
    errors_.Plain("'" + text + "' is not a valid " + what, constant.Line, constant.Column);
  };
  switch (wanted) {
    case FT::Date: {
      int32_t day = 0;
      if (!ParseDateText(text, day)) fail("date");
      constant.SetInteger(FT::Date, day);
      break;
    }
    case FT::Time: {
      int32_t time = 0;
      if (!ParseTimeText(text, time)) fail("time");
      constant.SetInteger(FT::Time, time);
      break;
    }
    case FT::Timestamp: {
      double stamp = 0;
      if (!ParseTimestampText(text, stamp)) fail("date and time");
      constant.SetReal(FT::Timestamp, stamp);
      break;
    }
    case FT::Boolean: {
      bool value = false;
      if (!ParseBooleanText(text, value)) fail("boolean");
      constant.SetBoolean(value);
      break;
    }
    default: return;
  }
  constant.Subtype = FieldSubtype::None;
  constant.Size = SizeOf(wanted);
}

void TExpressionVerifier::CheckComparison(TExpToken& left, TExpToken& right) const {
  if (left.Type == FT::None || right.Type == FT::None) return;
  ConvertConstant(left, right.Type);
  ConvertConstant(right, left.Type);
  if (ComparableLeft(left.Type, right.Type)) return;
  std::vector<FT> allowed;
  for (FT candidate : kStoredTypes) {
    if (ComparableLeft(candidate, right.Type)) allowed.push_back(candidate);
  }
  RaiseExpectedTypes(allowed, left);
}

void TExpressionVerifier::VerifyPredicate(TExpToken& node) {
  using Op = TExpOperator;
  auto& args = node.Arguments;
  switch (node.Operator) {
    case Op::Like:
    case Op::NotLike:
      for (auto& argument : args) RequireText(*argument);
      break;
    case Op::Between:
    case Op::NotBetween:
    case Op::In:
    case Op::NotIn:
      for (size_t i = 1; i < args.size(); ++i) CheckComparison(*args[0], *args[i]);
      break;
    default: break;
  }
  SetType(node, FT::Boolean);
}

void TExpressionVerifier::TypeFromBranches(TExpToken& node, const std::vector<TExpToken*>& branches) const {
  const TExpToken* first = nullptr;
  for (const TExpToken* branch : branches) {
    if (branch == nullptr || branch->Type == FT::None) continue;
    if (first == nullptr) {
      first = branch;
      node.CopyTypeFrom(*branch);
      continue;
    }
    FT current = node.Type;
    FT next = branch->Type;
    if (IsNumericType(current) && IsNumericType(next)) {
      SetType(node, *ArithmeticType(TExpOperator::Add, current, next));
    } else if (IsTextType(current, node.Subtype) && IsTextValue(*branch)) {
      node.Size = std::max(node.Size, branch->Size);
    } else if (current != next) {
      RaiseExpectedTypes({current}, *branch);
    }
  }
}

void TExpressionVerifier::VerifyCase(TExpToken& node) {
  std::vector<TExpToken*> branches;
  auto& args = node.Arguments;
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    if (node.Left) {
      CheckComparison(*node.Left, *args[i]);
    } else {
      RequireBoolean(*args[i]);
    }
    branches.push_back(args[i + 1].get());
  }
  branches.push_back(node.Right.get());
  TypeFromBranches(node, branches);
}

void TExpressionVerifier::VerifyFunction(TExpToken& node) {
  using F = TExpFunction;
  auto& args = node.Arguments;
  auto arg = [&](size_t i) -> TExpToken& { return *args[i]; };
  switch (node.Function) {
    case F::Lower:
    case F::Upper:
    case F::AllTrim:
    case F::LTrim:
    case F::RTrim:
    case F::Trim:
      for (auto& argument : args) RequireText(*argument);
      SetType(node, FT::String, std::max<uint32_t>(arg(0).Size, 1));
      break;
    case F::Substring:
    case F::Left:
    case F::Right:
      RequireText(arg(0));
      for (size_t i = 1; i < args.size(); ++i) RequireIntegral(arg(i));
      SetType(node, FT::String, std::max<uint32_t>(arg(0).Size, 1));
      break;
    case F::Repeat:
    case F::Concat:
    case F::Replace:
    case F::List:
    case F::Registered: SetType(node, FT::String, 513); break;
    case F::CurrentGuid: SetType(node, FT::String, 39); break;
    case F::Length:
      RequireText(arg(0));
      SetType(node, FT::Integer);
      break;
    case F::Pos:
    case F::Position:
    case F::Occurs:
      RequireText(arg(0));
      RequireText(arg(1));
      SetType(node, FT::Integer);
      break;
    case F::Cast: break;  // the parser set the target type
    case F::Extract:
      RequireTemporal(arg(0));
      SetType(node, FT::Integer);
      break;
    case F::Abs:
      RequireNumeric(arg(0));
      node.CopyTypeFrom(arg(0));
      if (node.Type == FT::None) SetType(node, FT::Integer);
      break;
    case F::Round:
    case F::Truncate:
      RequireNumeric(arg(0));
      if (args.size() > 1) RequireIntegral(arg(1));
      SetType(node, IsWholeNumber(arg(0).Type) ? arg(0).Type : (arg(0).Type == FT::Bcd ? FT::Bcd : FT::Float));
      node.Decimals = arg(0).Decimals;
      break;
    case F::Mod:
      RequireIntegral(arg(0));
      RequireIntegral(arg(1));
      SetType(node, arg(0).Type == FT::LargeInt || arg(1).Type == FT::LargeInt ? FT::LargeInt : FT::Integer);
      break;
    case F::If:
      RequireBoolean(arg(0));
      TypeFromBranches(node, {&arg(1), &arg(2)});
      break;
    case F::IfNull:
      if (args.size() == 2) {
        TypeFromBranches(node, {&arg(0), &arg(1)});
      } else {
        TypeFromBranches(node, {&arg(1), &arg(2)});
      }
      break;
    case F::NullIf:
      CheckComparison(arg(0), arg(1));
      node.CopyTypeFrom(arg(0));
      break;
    case F::Coalesce: {
      std::vector<TExpToken*> branches;
      for (auto& argument : args) branches.push_back(argument.get());
      TypeFromBranches(node, branches);
      break;
    }
    case F::Case: VerifyCase(node); break;
    case F::CurrentDate: SetType(node, FT::Date); break;
    case F::CurrentTime: SetType(node, FT::Time); break;
    case F::CurrentTimestamp: SetType(node, FT::Timestamp); break;
    case F::TextSearch: SetType(node, FT::Boolean); break;
    case F::Min:
    case F::Max: node.CopyTypeFrom(arg(0)); break;
    case F::Sum:
    case F::RunSum:
      RequireNumeric(arg(0));
      SetType(node, IsWholeNumber(arg(0).Type) ? FT::LargeInt : FT::Float);
      break;
    case F::Count:
    case F::TextOccurs:
    case F::LastAutoInc:
    case F::IdentCurrent:
    case F::Sign:
    case F::YearsFromMsecs:
    case F::DaysFromMsecs:
    case F::HoursFromMsecs:
    case F::MinsFromMsecs:
    case F::SecsFromMsecs:
    case F::MsecsFromMsecs: SetType(node, FT::Integer); break;
    default: SetType(node, FT::Float); break;
  }
}

}  // namespace keel
