#pragma once

// The text of a condition as plans show it, rebuilt from the tree: names,
// constants and function calls as written, operators between their operands,
// AND and OR groups inside other operators in parentheses.

#include <string>

#include "engine/sql/ExpToken.h"

namespace keel {

std::string FilterConditionText(const TExpToken& node);

}  // namespace keel
