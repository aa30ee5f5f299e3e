#pragma once

#include <string>

namespace mindrel {

// Writes `text` to a temporary file beside `path` and renames it over `path`,
// so a reader (or a crash half-way) sees the old file or the new one, never a
// part of either. False, with `path` untouched, when either step fails.
bool ReplaceFile(const std::string& path, const std::string& text);

}  // namespace mindrel
