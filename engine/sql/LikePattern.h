#pragma once

#include <optional>
#include <string_view>

namespace keel {

// SQL LIKE: "%" matches any run of characters, "_" exactly one; the escape
// character makes the character after it literal. Case-sensitive.
bool LikeMatch(std::string_view subject, std::string_view pattern, std::optional<char> escape = std::nullopt);

}  // namespace keel
