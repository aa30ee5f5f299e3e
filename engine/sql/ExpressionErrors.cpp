#include "engine/sql/ExpressionErrors.h"

#include <utility>

namespace keel {

TExpressionErrors::TExpressionErrors() = default;

TExpressionErrors TExpressionErrors::ForFilter(std::string tableName) {
  TExpressionErrors errors;
  errors.code_ = ErrorCode::KEEL_INVALIDFILTER;
  errors.label_ = "filter expression";
  errors.tableName_ = std::move(tableName);
  return errors;
}

void TExpressionErrors::Expected(std::string_view expected, std::string_view found, int line, int column) const {
  Raw("Expected " + std::string(expected) + " but instead found " + std::string(found) + " in " + label_, line,
      column);
}

void TExpressionErrors::Missing(std::string_view expected, int line, int column) const {
  Raw("Missing " + std::string(expected) + " in " + label_, line, column);
}

void TExpressionErrors::Invalid(std::string_view found, int line, int column) const {
  Raw("Invalid expression " + std::string(found) + " found in " + label_, line, column);
}

void TExpressionErrors::Plain(std::string_view message, int line, int column) const {
  Raw(std::string(message) + " in " + label_, line, column);
}

void TExpressionErrors::Raw(std::string message, int line, int column) const {
  ErrorContext context;
  context.table = tableName_;
  context.extra = std::move(message);
  context.line = line;
  context.column = column;
  raise(code_, std::move(context));
}

std::string TExpressionErrors::JoinKinds(const std::vector<std::string>& kinds) {
  std::string joined;
  for (size_t i = 0; i < kinds.size(); ++i) {
    if (i > 0) joined += (i + 1 == kinds.size()) ? " or " : ", ";
    joined += kinds[i];
  }
  return joined;
}

}  // namespace keel
