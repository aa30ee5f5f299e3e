#pragma once

// The names of the built-in functions that a primary recognises.

#include <string_view>

#include "engine/sql/ExpToken.h"

namespace keel {

struct TBuiltinFunction {
  std::string_view Name;  // upper case
  TExpFunction Function;
  bool Aggregate;
};

// The function of that name, compared without regard to case; nullptr if none.
const TBuiltinFunction* FindBuiltinFunction(std::string_view name);

// ASCII-only case-insensitive equality, for keywords and names of the language.
bool SameKeyword(std::string_view a, std::string_view b);

}  // namespace keel
