#pragma once

// Preparation of a verified filter expression: every "=" or "<>" between a
// string operand and a string constant becomes a string comparison that may
// ignore case and may look only at a leading part (constant ending in "*").

#include <memory>

#include "engine/sql/ExpToken.h"

namespace keel {

struct TFilterOptions {
  bool CaseInsensitive = false;
  bool WholeValue = false;  // a trailing "*" in a constant is not a wildcard
};

class TFilterPreparer {
 public:
  // A rewritten copy; the verified tree is left as it is.
  static std::unique_ptr<TExpToken> Prepare(const TExpToken& verified, TFilterOptions options);

 private:
  static void Rewrite(TExpToken& node, TFilterOptions options);
  static bool MakeStringCompare(TExpToken& node, TFilterOptions options);
};

}  // namespace keel
