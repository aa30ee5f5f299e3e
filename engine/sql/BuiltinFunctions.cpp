#include "engine/sql/BuiltinFunctions.h"

#include <array>

namespace keel {

namespace {

using F = TExpFunction;

constexpr std::array kFunctions = std::to_array<TBuiltinFunction>({
    {"SUM", F::Sum, true},
    {"RUNSUM", F::RunSum, true},
    {"AVG", F::Avg, true},
    {"STDDEV", F::StdDev, true},
    {"MIN", F::Min, true},
    {"MAX", F::Max, true},
    {"COUNT", F::Count, true},
    {"LIST", F::List, true},
    {"LOWER", F::Lower, false},
    {"LCASE", F::Lower, false},
    {"UPPER", F::Upper, false},
    {"UCASE", F::Upper, false},
    {"LEFT", F::Left, false},
    {"RIGHT", F::Right, false},
    {"REPEAT", F::Repeat, false},
    {"CONCAT", F::Concat, false},
    {"LENGTH", F::Length, false},
    {"SUBSTRING", F::Substring, false},
    {"REPLACE", F::Replace, false},
    {"POS", F::Pos, false},
    {"POSITION", F::Position, false},
    {"OCCURS", F::Occurs, false},
    {"CAST", F::Cast, false},
    {"TRIM", F::Trim, false},
    {"ALLTRIM", F::AllTrim, false},
    {"LTRIM", F::LTrim, false},
    {"RTRIM", F::RTrim, false},
    {"EXTRACT", F::Extract, false},
    {"YEARSFROMMSECS", F::YearsFromMsecs, false},
    {"DAYSFROMMSECS", F::DaysFromMsecs, false},
    {"HOURSFROMMSECS", F::HoursFromMsecs, false},
    {"MINSFROMMSECS", F::MinsFromMsecs, false},
    {"SECSFROMMSECS", F::SecsFromMsecs, false},
    {"MSECSFROMMSECS", F::MsecsFromMsecs, false},
    {"ABS", F::Abs, false},
    {"ROUND", F::Round, false},
    {"MOD", F::Mod, false},
    {"ACOS", F::Acos, false},
    {"ASIN", F::Asin, false},
    {"ATAN", F::Atan, false},
    {"ATAN2", F::Atan2, false},
    {"CEILING", F::Ceiling, false},
    {"CEIL", F::Ceiling, false},
    {"COS", F::Cos, false},
    {"COT", F::Cot, false},
    {"DEGREES", F::Degrees, false},
    {"EXP", F::Exp, false},
    {"FLOOR", F::Floor, false},
    {"LOG", F::Log, false},
    {"LOG10", F::Log10, false},
    {"PI", F::Pi, false},
    {"POWER", F::Power, false},
    {"RADIANS", F::Radians, false},
    {"RAND", F::Rand, false},
    {"SIGN", F::Sign, false},
    {"SIN", F::Sin, false},
    {"SQRT", F::Sqrt, false},
    {"TAN", F::Tan, false},
    {"TRUNCATE", F::Truncate, false},
    {"TRUNC", F::Truncate, false},
    {"IF", F::If, false},
    {"IFNULL", F::IfNull, false},
    {"NULLIF", F::NullIf, false},
    {"CASE", F::Case, false},
    {"COALESCE", F::Coalesce, false},
    {"TEXTSEARCH", F::TextSearch, false},
    {"TEXTOCCURS", F::TextOccurs, false},
    {"LASTAUTOINC", F::LastAutoInc, false},
    {"IDENT_CURRENT", F::IdentCurrent, false},
    {"CURRENT_DATE", F::CurrentDate, false},
    {"CURRENT_TIME", F::CurrentTime, false},
    {"CURRENT_TIMESTAMP", F::CurrentTimestamp, false},
    {"CURRENT_GUID", F::CurrentGuid, false},
});

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool SameKeyword(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

const TBuiltinFunction* FindBuiltinFunction(std::string_view name) {
  for (const auto& entry : kFunctions) {
    if (SameKeyword(entry.Name, name)) return &entry;
  }
  return nullptr;
}

}  // namespace keel
