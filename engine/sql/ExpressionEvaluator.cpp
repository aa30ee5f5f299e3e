#include "engine/sql/ExpressionEvaluator.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "engine/core/ErrorCodes.h"
#include "engine/core/FieldCodec.h"
#include "engine/sql/ExpTypes.h"
#include "engine/sql/LikePattern.h"
#include "engine/sql/SubQuery.h"
#include "engine/sql/TemporalText.h"
#include "engine/sql/ValueConverter.h"

namespace keel {

namespace {

using FT = FieldType;
using Op = TExpOperator;

bool IsWhole(FT type) { return IsIntegerType(type) || type == FT::LargeInt; }
bool IsTemporal(FT type) { return type == FT::Date || type == FT::Time || type == FT::Timestamp; }

// AND, OR and NOT read values only; a null operand has its value zeroed.
bool Truth(const TExpToken& node) { return HoldsReal(node.Type) ? node.Real != 0 : node.Int != 0; }

template <typename T>
int Sign(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareBytes(const std::string& a, const std::string& b) {
  // Unsigned bytes; a string that is a prefix of the other is smaller, which
  // is the order of zero-terminated texts.
  int result = a.compare(b);
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

[[noreturn]] void RaiseOverflow() { TValueConverter::RaiseExecution("Arithmetic overflow"); }
[[noreturn]] void RaiseDivisionByZero() { TValueConverter::RaiseExecution("Division by zero"); }

// Whole results are computed in 64 bits; `overflowed` tells that they did not
// fit there, and results typed Integer must also fit 32 bits.
int64_t CheckedWhole(FT type, int64_t value, bool overflowed = false) {
  bool fits32 = value >= INT32_MIN && value <= INT32_MAX;
  if (overflowed || (type != FT::LargeInt && !fits32)) RaiseOverflow();
  return value;
}

int64_t Negated(int64_t value) {
  int64_t result = 0;
  bool overflowed = __builtin_sub_overflow(int64_t{0}, value, &result);
  if (overflowed) RaiseOverflow();
  return result;
}

std::string TrimText(const std::string& text, TTrimMode mode, char blank) {
  size_t first = 0;
  size_t last = text.size();
  if (mode != TTrimMode::Trailing) {
    while (first < last && text[first] == blank) ++first;
  }
  if (mode != TTrimMode::Leading) {
    while (last > first && text[last - 1] == blank) --last;
  }
  return text.substr(first, last - first);
}

// Rounds half away from zero (or cuts) to `digits` decimals; negative digits
// round to tens, hundreds, ... Dividing by a whole power of ten keeps whole
// values exact.
double RoundTo(double value, int64_t digits, bool truncate) {
  auto cut = [truncate](double x) { return truncate ? std::trunc(x) : std::round(x); };
  if (digits >= 0) {
    double scale = std::pow(10.0, static_cast<double>(digits));
    return cut(value * scale) / scale;
  }
  double factor = std::pow(10.0, static_cast<double>(-digits));
  return cut(value / factor) * factor;
}

}  // namespace

TExpressionEvaluator::TExpressionEvaluator(std::shared_ptr<const TCollation> collation, const mindrel::Clock& clock)
    : collation_(std::move(collation)), clock_(clock) {}

bool TExpressionEvaluator::Passes(TExpToken& root) const {
  Evaluate(root);
  return !root.Null && Truth(root);
}

void TExpressionEvaluator::Evaluate(TExpToken& node) const {
  switch (node.Kind) {
    case TNodeKind::Constant: return;
    case TNodeKind::Column: EvaluateColumn(node); return;
    case TNodeKind::UnaryOperator: EvaluateUnary(node); return;
    case TNodeKind::BinaryOperator: EvaluateBinary(node); return;
    case TNodeKind::StringCompare: EvaluateStringCompare(node); return;
    case TNodeKind::Predicate: EvaluatePredicate(node); return;
    case TNodeKind::Function: EvaluateFunction(node); return;
    default: node.ClearValue(); return;
  }
}

void TExpressionEvaluator::EvaluateColumn(TExpToken& node) const {
  // "*" stands for columns that the statement layer expands; it has no value.
  if (rows_ == nullptr || node.IsStar()) {
    ErrorContext context;
    context.extra = "Internal error: Column \"" + node.ColumnName + "\" specified illegally";
    context.line = node.Line;
    context.column = node.Column;
    raise(ErrorCode::KEEL_SQLPARSE, std::move(context));
  }
  rows_->ReadColumn(node);
  if (node.Null) node.ClearValue();
}

void TExpressionEvaluator::EvaluateUnary(TExpToken& node) const {
  TExpToken& operand = *node.Left;
  Evaluate(operand);
  if (node.Operator == Op::Not) {
    node.SetBoolean(!Truth(operand));
    return;
  }
  node.CopyValueFrom(operand);
  if (node.Null || node.Operator != Op::Negate) return;
  if (HoldsReal(node.Type)) {
    node.Real = -node.Real;
  } else {
    node.Int = CheckedWhole(node.Type == FT::LargeInt ? FT::LargeInt : FT::Integer, Negated(node.Int));
  }
}

void TExpressionEvaluator::EvaluateBinary(TExpToken& node) const {
  TExpToken& left = *node.Left;
  TExpToken& right = *node.Right;
  switch (node.Operator) {
    case Op::And:
      Evaluate(left);
      if (!Truth(left)) {
        node.SetBoolean(false);
        return;
      }
      Evaluate(right);
      node.SetBoolean(Truth(right));
      return;
    case Op::Or:
      Evaluate(left);
      if (Truth(left)) {
        node.SetBoolean(true);
        return;
      }
      Evaluate(right);
      node.SetBoolean(Truth(right));
      return;
    case Op::Equal:
    case Op::NotEqual:
    case Op::Greater:
    case Op::Less:
    case Op::GreaterEqual:
    case Op::LessEqual:
      Evaluate(left);
      Evaluate(right);
      node.SetBoolean(Ordered(node.Operator, left, right));
      return;
    default: EvaluateArithmetic(node); return;
  }
}

bool TExpressionEvaluator::Equal(const TExpToken& left, const TExpToken& right) const {
  if (left.Null || right.Null) return left.Null && right.Null;
  return Compare(left, right) == 0;
}

bool TExpressionEvaluator::Ordered(TExpOperator op, const TExpToken& left, const TExpToken& right) const {
  if (op == Op::Equal) return Equal(left, right);
  if (op == Op::NotEqual) return !Equal(left, right);
  bool bothText = IsTextValue(left) && IsTextValue(right);
  if (!bothText && (left.Null || right.Null)) return false;
  int order = Compare(left, right);
  switch (op) {
    case Op::Greater: return order > 0;
    case Op::Less: return order < 0;
    case Op::GreaterEqual: return order >= 0;
    default: return order <= 0;
  }
}

int TExpressionEvaluator::CompareText(std::string_view left, std::string_view right, bool caseInsensitive) const {
  int order = 0;
  if (caseInsensitive) {
    std::string upperLeft(left);
    std::string upperRight(right);
    collation_->toUpper(upperLeft);
    collation_->toUpper(upperRight);
    order = collation_->compare(upperLeft, upperRight);
  } else {
    order = collation_->compare(left, right);
  }
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int TExpressionEvaluator::Compare(const TExpToken& left, const TExpToken& right, bool caseInsensitive) const {
  FT a = left.Type;
  FT b = right.Type;
  if (IsTextValue(left) && IsTextValue(right)) return CompareText(left.Str, right.Str, caseInsensitive);
  if (HoldsText(a) && HoldsText(b)) return CompareBytes(left.Str, right.Str);
  // A string met with another type is read as that type.
  if (a == FT::String && !HoldsText(b)) {
    TExpToken converted;
    converted.CopyValueFrom(left);
    TValueConverter::Convert(converted, b);
    return Compare(converted, right);
  }
  if (b == FT::String && !HoldsText(a)) return -Compare(right, left);
  if (a == FT::Boolean || b == FT::Boolean) {
    if ((a == FT::Boolean || IsNumericType(a)) && (b == FT::Boolean || IsNumericType(b))) {
      return Sign<int>(Truth(left) ? 1 : 0, Truth(right) ? 1 : 0);
    }
  } else if (IsWhole(a) && IsWhole(b)) {
    return Sign(left.Int, right.Int);
  } else if (IsNumericType(a) && IsNumericType(b)) {
    return Sign(TValueConverter::AsDouble(left), TValueConverter::AsDouble(right));
  } else if (IsTemporal(a) && IsTemporal(b)) {
    if ((a == FT::Time) != (b == FT::Time)) {
      // A time against a timestamp: the timestamp's time of day.
      TExpToken leftTime, rightTime;
      leftTime.CopyValueFrom(left);
      rightTime.CopyValueFrom(right);
      TValueConverter::Convert(leftTime, FT::Time);
      TValueConverter::Convert(rightTime, FT::Time);
      return Sign(leftTime.Int, rightTime.Int);
    }
    return Sign(TValueConverter::AsMsecs(left), TValueConverter::AsMsecs(right));
  }
  TValueConverter::RaiseExecution(TypeName(a) + " and " + TypeName(b) + " values cannot be compared");
}

void TExpressionEvaluator::EvaluateArithmetic(TExpToken& node) const {
  TExpToken& left = *node.Left;
  TExpToken& right = *node.Right;
  Evaluate(left);
  Evaluate(right);
  if (node.Type == FT::String) {
    std::string joined = left.Str + right.Str;
    node.SetText(FT::String, std::move(joined));
    node.Null = node.Str.empty();
    return;
  }
  if (left.Null || right.Null) {
    node.ClearValue();
    return;
  }
  Op op = node.Operator;
  FT type = node.Type;
  if (type == FT::Date || type == FT::Time || type == FT::Timestamp) {
    // A temporal value and a whole number, in either order for "+".
    const TExpToken& temporal = IsTemporal(left.Type) ? left : right;
    const TExpToken& count = IsTemporal(left.Type) ? right : left;
    int64_t delta = op == Op::Subtract ? -count.Int : count.Int;
    if (type == FT::Timestamp) {
      node.SetReal(type, temporal.Real + static_cast<double>(delta));
    } else if (type == FT::Time) {
      node.SetInteger(type, ((temporal.Int + delta) % kMsecsPerDay + kMsecsPerDay) % kMsecsPerDay);
    } else {
      node.SetInteger(type, CheckedWhole(FT::Integer, temporal.Int + delta));
    }
    return;
  }
  if (IsTemporal(left.Type)) {
    // Differences: days between dates, milliseconds between times and stamps.
    double difference = TValueConverter::AsMsecs(left) - TValueConverter::AsMsecs(right);
    if (left.Type == FT::Date) difference /= kMsecsPerDay;
    if (IsWhole(type)) {
      node.SetInteger(type, static_cast<int64_t>(difference));
    } else {
      node.SetReal(type, difference);
    }
    return;
  }
  if (IsWhole(type)) {
    int64_t a = left.Int;
    int64_t b = right.Int;
    int64_t result = 0;
    bool overflowed = false;
    switch (op) {
      case Op::Add: overflowed = __builtin_add_overflow(a, b, &result); break;
      case Op::Subtract: overflowed = __builtin_sub_overflow(a, b, &result); break;
      case Op::Multiply: overflowed = __builtin_mul_overflow(a, b, &result); break;
      default:
        if (b == 0) RaiseDivisionByZero();
        result = b == -1 ? Negated(a) : a % b;
        break;
    }
    node.SetInteger(type, CheckedWhole(type, result, overflowed));
    return;
  }
  double a = TValueConverter::AsDouble(left);
  double b = TValueConverter::AsDouble(right);
  double result = 0;
  switch (op) {
    case Op::Add: result = a + b; break;
    case Op::Subtract: result = a - b; break;
    case Op::Multiply: result = a * b; break;
    default:
      if (b == 0) RaiseDivisionByZero();
      result = a / b;
      break;
  }
  if (!std::isfinite(result)) RaiseOverflow();
  node.SetReal(type, result);
}

void TExpressionEvaluator::EvaluateStringCompare(TExpToken& node) const {
  TExpToken& subject = *node.Left;
  const TExpToken& constant = *node.Right;
  Evaluate(subject);
  bool equal = false;
  if (node.PartialLength >= 0) {
    std::string_view prefix = std::string_view(subject.Str).substr(0, static_cast<size_t>(node.PartialLength));
    equal = CompareText(prefix, constant.Str, node.CaseInsensitive) == 0;
  } else if (!subject.Null) {
    equal = CompareText(subject.Str, constant.Str, node.CaseInsensitive) == 0;
  }
  node.SetBoolean(node.Operator == Op::Equal ? equal : !equal);
}

void TExpressionEvaluator::EvaluatePredicate(TExpToken& node) const {
  auto& args = node.Arguments;
  Op op = node.Operator;
  TExpToken& subject = *args[0];
  Evaluate(subject);
  bool result = false;
  switch (op) {
    case Op::Like:
    case Op::NotLike: {
      TExpToken& pattern = *args[1];
      Evaluate(pattern);
      std::optional<char> escape;
      if (args.size() > 2) {
        Evaluate(*args[2]);
        if (!args[2]->Str.empty()) escape = args[2]->Str[0];
      }
      bool matched = !subject.Null && !pattern.Null && LikeMatch(subject.Str, pattern.Str, escape);
      result = op == Op::Like ? matched : !matched;
      break;
    }
    case Op::Between:
    case Op::NotBetween: {
      Evaluate(*args[1]);
      bool inside = Ordered(Op::GreaterEqual, subject, *args[1]);
      if (inside) {
        Evaluate(*args[2]);
        inside = Ordered(Op::LessEqual, subject, *args[2]);
      }
      result = op == Op::Between ? inside : !inside;
      break;
    }
    case Op::In:
    case Op::NotIn: {
      bool found = false;
      for (size_t i = 1; i < args.size() && !found; ++i) {
        Evaluate(*args[i]);
        found = Equal(subject, *args[i]);
      }
      result = op == Op::In ? found : !found;
      break;
    }
    default: {
      bool found = node.SubQuery && node.SubQuery->ReturnsRowFor(subject);
      result = op == Op::InSubQuery ? found : !found;
      break;
    }
  }
  node.SetBoolean(result);
}

void TExpressionEvaluator::TakeBranch(TExpToken& node, const TExpToken& branch) const {
  FT type = node.Type;
  FieldSubtype subtype = node.Subtype;
  uint32_t size = node.Size;
  node.CopyValueFrom(branch);
  if (type != FT::None) TValueConverter::Convert(node, type, subtype, size);
}

void TExpressionEvaluator::EvaluateCase(TExpToken& node) const {
  auto& args = node.Arguments;
  if (node.Left) Evaluate(*node.Left);
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    Evaluate(*args[i]);
    bool chosen = node.Left ? Equal(*node.Left, *args[i]) : Truth(*args[i]);
    if (chosen) {
      Evaluate(*args[i + 1]);
      TakeBranch(node, *args[i + 1]);
      return;
    }
  }
  if (node.Right) {
    Evaluate(*node.Right);
    TakeBranch(node, *node.Right);
  } else {
    node.ClearValue();
  }
}

void TExpressionEvaluator::EvaluateFunction(TExpToken& node) const {
  using F = TExpFunction;
  auto& args = node.Arguments;
  switch (node.Function) {
    case F::Case: EvaluateCase(node); return;
    case F::If: {
      Evaluate(*args[0]);
      TExpToken& branch = Truth(*args[0]) ? *args[1] : *args[2];
      Evaluate(branch);
      TakeBranch(node, branch);
      return;
    }
    case F::IfNull: {
      Evaluate(*args[0]);
      TExpToken* branch = args[0].get();
      if (args.size() == 2 && args[0]->Null) branch = args[1].get();
      if (args.size() == 3) branch = args[0]->Null ? args[1].get() : args[2].get();
      if (branch != args[0].get()) Evaluate(*branch);
      TakeBranch(node, *branch);
      return;
    }
    case F::Coalesce:
      for (auto& argument : args) {
        Evaluate(*argument);
        if (!argument->Null) {
          TakeBranch(node, *argument);
          return;
        }
      }
      node.ClearValue();
      return;
    case F::NullIf:
      Evaluate(*args[0]);
      Evaluate(*args[1]);
      if (!args[0]->Null && Equal(*args[0], *args[1])) {
        node.ClearValue();
      } else {
        TakeBranch(node, *args[0]);
      }
      return;
    case F::Cast:
      Evaluate(*args[0]);
      TakeBranch(node, *args[0]);
      return;
    case F::CurrentDate:
    case F::CurrentTime:
    case F::CurrentTimestamp: {
      mindrel::LocalDateTime now = clock_.now();
      int32_t day = DayNumberOf(now.date);
      int32_t time = ((now.hour * 60 + now.minute) * 60 + now.second) * 1000 + now.millisecond;
      if (node.Function == F::CurrentDate) {
        node.SetInteger(FT::Date, day);
      } else if (node.Function == F::CurrentTime) {
        node.SetInteger(FT::Time, time);
      } else {
        node.SetReal(FT::Timestamp, static_cast<double>(day) * kMsecsPerDay + time);
      }
      return;
    }
    case F::Lower:
    case F::Upper:
    case F::Length:
    case F::Substring:
    case F::Left:
    case F::Right:
    case F::Concat:
    case F::Pos:
    case F::Position:
    case F::Occurs:
    case F::Trim:
    case F::AllTrim:
    case F::LTrim:
    case F::RTrim: EvaluateTextFunction(node); return;
    case F::Abs:
    case F::Round:
    case F::Truncate: EvaluateNumberFunction(node); return;
    case F::Extract: EvaluateExtract(node); return;
    case F::CurrentGuid: node.SetText(FT::String, NewGuidText()); return;
    default: TValueConverter::RaiseExecution("The function " + node.FunctionName + " is not supported");
  }
}

void TExpressionEvaluator::EvaluateTextFunction(TExpToken& node) const {
  using F = TExpFunction;
  auto& args = node.Arguments;
  bool anyNull = false;
  for (auto& argument : args) {
    Evaluate(*argument);
    anyNull = anyNull || argument->Null;
  }
  bool concat = node.Function == F::Concat;
  if (anyNull && !concat) {
    node.ClearValue();
    return;
  }
  const std::string& text = args[0]->Str;
  auto whole = [&](size_t i) { return args[i]->Int; };
  std::string result;
  switch (node.Function) {
    case F::Lower:
      result = text;
      collation_->toLower(result);
      break;
    case F::Upper:
      result = text;
      collation_->toUpper(result);
      break;
    case F::Length: node.SetInteger(FT::Integer, static_cast<int64_t>(text.size())); return;
    case F::Pos:
    case F::Position: {
      size_t at = args[1]->Str.find(text);
      node.SetInteger(FT::Integer, at == std::string::npos ? 0 : static_cast<int64_t>(at) + 1);
      return;
    }
    case F::Occurs: {
      int64_t count = 0;
      const std::string& haystack = args[1]->Str;
      for (size_t at = text.empty() ? std::string::npos : haystack.find(text); at != std::string::npos;
           at = haystack.find(text, at + text.size())) {
        ++count;
      }
      node.SetInteger(FT::Integer, count);
      return;
    }
    case F::Substring: {
      int64_t start = whole(1) - 1;
      int64_t length = args.size() > 2 ? whole(2) : static_cast<int64_t>(text.size());
      if (start < 0) {
        length += start;
        start = 0;
      }
      if (length > 0 && start < static_cast<int64_t>(text.size())) {
        result = text.substr(static_cast<size_t>(start), static_cast<size_t>(length));
      }
      break;
    }
    case F::Left:
    case F::Right: {
      size_t count = static_cast<size_t>(std::clamp<int64_t>(whole(1), 0, static_cast<int64_t>(text.size())));
      result = node.Function == F::Left ? text.substr(0, count) : text.substr(text.size() - count);
      break;
    }
    case F::Concat: result = args[0]->Str + args[1]->Str; break;
    case F::Trim: {
      char blank = args.size() > 1 ? (args[1]->Str.empty() ? '\0' : args[1]->Str[0]) : ' ';
      result = blank == '\0' ? text : TrimText(text, static_cast<TTrimMode>(node.Modifier), blank);
      break;
    }
    case F::AllTrim: result = TrimText(text, TTrimMode::Both, ' '); break;
    case F::LTrim: result = TrimText(text, TTrimMode::Leading, ' '); break;
    default: result = TrimText(text, TTrimMode::Trailing, ' '); break;
  }
  node.SetText(FT::String, std::move(result));
  node.Null = node.Str.empty();
}

void TExpressionEvaluator::EvaluateExtract(TExpToken& node) const {
  TExpToken& value = *node.Arguments[0];
  Evaluate(value);
  if (value.Null) {
    node.ClearValue();
    return;
  }
  auto part = static_cast<TExtractPart>(node.Modifier);
  bool datePart = part <= TExtractPart::DayOfYear;
  if (datePart && value.Type == FT::Time) {
    TValueConverter::RaiseExecution("A date part cannot be extracted from a Time value");
  }
  double msecs = TValueConverter::AsMsecs(value);
  auto whole = static_cast<int64_t>(std::floor(msecs));
  int64_t day = value.Type == FT::Time ? 0 : whole / kMsecsPerDay;
  int64_t time = whole - day * kMsecsPerDay;
  mindrel::CivilDate date = datePart ? CivilDateOf(static_cast<int32_t>(day)) : mindrel::CivilDate{};
  auto dayOfYear = [&](int64_t dayNumber, int year) { return dayNumber - DayNumberOf({year, 1, 1}) + 1; };
  int64_t result = 0;
  switch (part) {
    case TExtractPart::Year: result = date.year; break;
    case TExtractPart::Month: result = date.month; break;
    case TExtractPart::Day: result = date.day; break;
    case TExtractPart::DayOfYear: result = dayOfYear(day, date.year); break;
    case TExtractPart::DayOfWeek: result = day % 7 + 1; break;  // day 1 (0001-01-01) is a Monday; Sunday is 1
    case TExtractPart::Week: {
      // ISO 8601: the week belongs to the year of its Thursday.
      int64_t isoWeekday = (day - 1) % 7 + 1;
      int64_t thursday = day + 4 - isoWeekday;
      int thursdayYear = CivilDateOf(static_cast<int32_t>(thursday)).year;
      result = (dayOfYear(thursday, thursdayYear) - 1) / 7 + 1;
      break;
    }
    case TExtractPart::Hour: result = time / 3600000; break;
    case TExtractPart::Minute: result = time / 60000 % 60; break;
    case TExtractPart::Second: result = time / 1000 % 60; break;
    default: result = time % 1000; break;
  }
  node.SetInteger(FT::Integer, result);
}

void TExpressionEvaluator::EvaluateNumberFunction(TExpToken& node) const {
  auto& args = node.Arguments;
  TExpToken& value = *args[0];
  Evaluate(value);
  int64_t digits = 0;
  if (args.size() > 1) {
    Evaluate(*args[1]);
    if (args[1]->Null) {
      node.ClearValue();
      return;
    }
    digits = std::clamp<int64_t>(args[1]->Int, -18, 18);
  }
  if (value.Null) {
    node.ClearValue();
    return;
  }
  FT type = node.Type;
  if (node.Function == TExpFunction::Abs) {
    if (IsWhole(type)) {
      node.SetInteger(type, CheckedWhole(type, value.Int < 0 ? Negated(value.Int) : value.Int));
    } else {
      node.SetReal(type, std::fabs(TValueConverter::AsDouble(value)));
    }
    return;
  }
  bool truncate = node.Function == TExpFunction::Truncate;
  if (IsWhole(type)) {
    int64_t rounded = value.Int;
    if (digits < 0) rounded = static_cast<int64_t>(RoundTo(static_cast<double>(value.Int), digits, truncate));
    node.SetInteger(type, CheckedWhole(type, rounded));
  } else {
    node.SetReal(type, RoundTo(TValueConverter::AsDouble(value), digits, truncate));
  }
}

}  // namespace keel
