#pragma once

// One node of a parsed expression tree, also used as a typed value holder.
// The parser builds the tree, the verifier gives every node its value type and
// the evaluator fills the value of each node for the current record.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/FieldTypes.h"

namespace keel {

enum class TNodeKind : uint8_t {
  None = 0,
  UnaryOperator = 1,
  BinaryOperator = 2,
  StringCompare = 3,  // made from "=" or "<>" when a filter is prepared
  Predicate = 4,      // LIKE, BETWEEN, IN with their operands in `Arguments`
  Column = 5,
  Constant = 6,
  Function = 8,
};

// Operator codes of unary, binary and predicate nodes.
enum class TExpOperator : uint8_t {
  None = 0,
  Equal = 3,  // also IS NULL
  NotEqual = 4,  // "<>", "><", also IS NOT NULL
  Greater = 5,
  Less = 6,
  GreaterEqual = 7,
  LessEqual = 8,
  Not = 9,
  And = 10,
  Or = 11,
  Negate = 15,
  UnaryPlus = 16,
  Add = 17,  // also "||"
  Subtract = 18,
  Multiply = 19,
  Divide = 20,
  Like = 28,
  In = 29,
  InSubQuery = 30,
  Between = 33,
  NotBetween = 34,
  NotLike = 35,
  NotIn = 36,
  NotInSubQuery = 37,
  Mod = 72,
};

// Built-in functions the primary recognises by name.
enum class TExpFunction : uint8_t {
  None,
  // aggregates
  Sum, RunSum, Avg, StdDev, Min, Max, Count, List,
  // strings
  Lower, Upper, Left, Right, Repeat, Concat, Length, Substring, Replace, Pos, Position, Occurs, Trim, AllTrim,
  LTrim, RTrim,
  // conversion and dates
  Cast, Extract, YearsFromMsecs, DaysFromMsecs, HoursFromMsecs, MinsFromMsecs, SecsFromMsecs, MsecsFromMsecs,
  // numbers
  Abs, Round, Mod, Acos, Asin, Atan, Atan2, Ceiling, Cos, Cot, Degrees, Exp, Floor, Log, Log10, Pi, Power,
  Radians, Rand, Sign, Sin, Sqrt, Tan, Truncate,
  // conditions
  If, IfNull, NullIf, Case, Coalesce,
  // engine
  TextSearch, TextOccurs, LastAutoInc, IdentCurrent, CurrentDate, CurrentTime, CurrentTimestamp, CurrentGuid,
  // a function registered with the engine under `FunctionName`
  Registered,
};

// Modifiers of TRIM and EXTRACT, kept in `Modifier`.
enum class TTrimMode : uint8_t { Both, Leading, Trailing };
enum class TExtractPart : uint8_t { Year, Month, Week, Day, DayOfWeek, DayOfYear, Hour, Minute, Second, MSecond };

class TSubQuery;

class TExpToken {
 public:
  TExpToken() = default;
  TExpToken(const TExpToken&) = delete;
  TExpToken& operator=(const TExpToken&) = delete;

  // A deep copy; a sub-query is shared with the original.
  std::unique_ptr<TExpToken> Clone() const;

  // Forgets the value: null, numbers zero, text empty.
  void ClearValue();
  void SetBoolean(bool value);
  void SetInteger(FieldType type, int64_t value);
  void SetReal(FieldType type, double value);
  void SetText(FieldType type, std::string value);
  // Type, subtype, size and decimals of another node; the value is left alone.
  void CopyTypeFrom(const TExpToken& other);
  // Type and value of another node.
  void CopyValueFrom(const TExpToken& other);

  bool IsStar() const { return Kind == TNodeKind::Column && ColumnName == "*"; }
  bool IsNullConstant() const { return Kind == TNodeKind::Constant && Type == FieldType::None; }

  std::string Text;  // the token or the operator as written; messages quote it
  TNodeKind Kind = TNodeKind::None;
  TExpOperator Operator = TExpOperator::None;
  TExpFunction Function = TExpFunction::None;
  std::string FunctionName;  // upper case, for messages and registered functions
  uint8_t Modifier = 0;      // TTrimMode or TExtractPart

  // Value type; FieldType::None is a bare NULL that has no type yet.
  FieldType Type = FieldType::None;
  FieldSubtype Subtype = FieldSubtype::None;
  uint32_t Size = 0;  // strings: the room for the longest value, terminator included
  uint8_t Decimals = 0;

  // The value. Strings, BLOB contents, bytes and variable bytes are in `Str`
  // (single-byte text without the terminator); booleans (0 or 1), the integer
  // types, dates (day numbers) and times (milliseconds of the day) in `Int`;
  // floats, money, BCD and timestamps (milliseconds, day number x 86,400,000 +
  // time) in `Real`. A null value has every part zeroed.
  bool Null = true;
  int64_t Int = 0;
  double Real = 0;
  std::string Str;

  std::unique_ptr<TExpToken> Left;
  std::unique_ptr<TExpToken> Right;
  std::vector<std::unique_ptr<TExpToken>> Arguments;

  // Column references: names as written, brackets or quotes removed and blanks
  // trimmed; the resolver sets the field number and the source.
  std::string ColumnName;
  std::string Qualifier;
  int FieldNumber = 0;
  int SourceNumber = 0;

  bool IsParameter = false;  // a "?" placeholder; its value is set before each run

  int Line = 0;
  int Column = 0;
  int Height = 1;  // levels of the subtree below and including this node

  // String comparisons of filters.
  bool CaseInsensitive = false;
  int PartialLength = -1;  // compare only this many leading characters; -1 = whole value

  std::shared_ptr<TSubQuery> SubQuery;
};

}  // namespace keel
