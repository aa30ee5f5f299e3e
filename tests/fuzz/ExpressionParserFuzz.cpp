// Feeds arbitrary text to the expression parser under every context, then
// verifies and evaluates what parses against a one-row table. The only
// acceptable failure is the engine's own error; anything else (another
// exception, a crash, a sanitizer report) is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/core/Collation.h"
#include "engine/core/ErrorCodes.h"
#include "engine/sql/ColumnResolver.h"
#include "engine/sql/ExpressionEvaluator.h"
#include "engine/sql/ExpressionParser.h"
#include "engine/sql/ExpressionVerifier.h"
#include "engine/sql/FilterPreparer.h"
#include "engine/sql/RowAccessor.h"
#include "platform/Clock.h"

namespace {

using namespace keel;

// Columns a (integer), b (string), c (boolean NULL), d (date).
class OneRow : public TColumnResolver, public TRowAccessor {
 public:
  bool ResolveColumn(TExpToken& column) override {
    if (column.ColumnName.size() != 1) return false;
    switch (column.ColumnName[0] | 0x20) {
      case 'a': column.Type = FieldType::Integer; column.Size = 4; column.FieldNumber = 1; return true;
      case 'b': column.Type = FieldType::String; column.Size = 21; column.FieldNumber = 2; return true;
      case 'c': column.Type = FieldType::Boolean; column.Size = 2; column.FieldNumber = 3; return true;
      case 'd': column.Type = FieldType::Date; column.Size = 4; column.FieldNumber = 4; return true;
      default: return false;
    }
  }

  void ReadColumn(TExpToken& column) const override {
    column.ClearValue();
    switch (column.FieldNumber) {
      case 1: column.Null = false; column.Int = 42; break;
      case 2: column.Null = false; column.Str = "abc"; break;
      case 4: column.Null = false; column.Int = 730120; break;
      default: break;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const TExpContext kContexts[] = {SelectItemContext, WhereContext, JoinContext,
                                          HavingContext,     NameContext,  FilterContext};
  static const auto collation = TCollation::ForLocale(0, "Fuzz");
  static const mindrel::FixedClock clock(mindrel::LocalDateTime{{2026, 12, 10}, 12, 0, 0, 0});
  // The first byte picks the context, the rest is the text.
  TExpContext context = kContexts[data[0] % std::size(kContexts)];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  OneRow row;
  try {
    TExpressionParser parser;
    parser.Load(text, 1 + data[0] / 64, 1 + data[0] % 7);
    auto tree = parser.ParseWholeText(context);
    TExpressionVerifier verifier(parser.Errors(), row);
    verifier.Verify(*tree, context);
    TExpressionEvaluator evaluator(collation, clock);
    evaluator.SetRowAccessor(&row);
    evaluator.Evaluate(*tree);
    auto prepared = TFilterPreparer::Prepare(*tree, {data[0] % 2 == 0, data[0] % 3 == 0});
    evaluator.Evaluate(*prepared);
  } catch (const EKeelEngineError& error) {
    if (error.code() == ErrorCode::KEEL_SQLPARSE && (error.line() < 1 || error.column() < 1)) std::abort();
  }
  return 0;
}
