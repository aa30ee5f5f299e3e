#pragma once

// The message forms shared by the expression parser and verifier, raised as
// the engine error the owner chose: SQL parse errors or filter errors.

#include <string>
#include <string_view>
#include <vector>

#include "engine/core/ErrorCodes.h"

namespace keel {

class TExpressionErrors {
 public:
  // SQL statements: code 11949, label "SQL statement" until the kind is known.
  TExpressionErrors();

  // Filters: code 10051, label "filter expression", the table named first.
  static TExpressionErrors ForFilter(std::string tableName);

  ErrorCode Code() const { return code_; }
  const std::string& Label() const { return label_; }
  void SetLabel(std::string label) { label_ = std::move(label); }

  // "Expected X but instead found T in L"
  [[noreturn]] void Expected(std::string_view expected, std::string_view found, int line, int column) const;
  // "Missing X in L": the text ended where X was required.
  [[noreturn]] void Missing(std::string_view expected, int line, int column) const;
  // "Invalid expression T found in L"
  [[noreturn]] void Invalid(std::string_view found, int line, int column) const;
  // "M in L"
  [[noreturn]] void Plain(std::string_view message, int line, int column) const;
  // Raises `message` as it is, without the label.
  [[noreturn]] void Raw(std::string message, int line, int column) const;

  // "a, b or c"
  static std::string JoinKinds(const std::vector<std::string>& kinds);

 private:
  ErrorCode code_ = ErrorCode::KEEL_SQLPARSE;
  std::string label_ = "SQL statement";
  std::string tableName_;
};

}  // namespace keel
