#pragma once

#include <memory>

namespace keel {

class TExpressionParser;
class TSubQuery;

// Supplied by the statement layer to parse "IN (SELECT ...)". Called with the
// parser on the "SELECT" token; must return with the parser on the token that
// follows the nested statement's last clause (the closing ")").
class TSubQueryParser {
 public:
  virtual ~TSubQueryParser() = default;
  virtual std::shared_ptr<TSubQuery> ParseSubQuery(TExpressionParser& parser) = 0;
};

}  // namespace keel
