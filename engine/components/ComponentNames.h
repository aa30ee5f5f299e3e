#pragma once

// Names of sessions, databases, fields and indexes as users type them: texts
// of the interface (UTF-8) compared without regard to case the way the engine
// compares its single-byte names.

#include <string>
#include <string_view>

namespace keel {

bool SameName(std::string_view a, std::string_view b);
std::string TrimBlanks(std::string_view text);

// Database names and folders in their stored form: "/" becomes "\".
std::string BackslashPath(std::string_view text);
// A name that points at a folder: it holds ":" or "\".
bool LooksLikePath(std::string_view normalisedName);
// The folder as the file layer wants it: "\" becomes "/".
std::string NativePath(std::string_view normalisedPath);

}  // namespace keel
