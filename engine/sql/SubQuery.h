#pragma once

namespace keel {

class TExpToken;

// The nested statement of "IN (SELECT ...)", built and run by the statement
// layer; the evaluator only asks it about one subject value at a time.
class TSubQuery {
 public:
  virtual ~TSubQuery() = default;
  // Runs the sub-query with `subject` as its parameter; true when it yields a row.
  virtual bool ReturnsRowFor(const TExpToken& subject) = 0;
};

}  // namespace keel
