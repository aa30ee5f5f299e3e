#pragma once

#include <string>

namespace mindrel {

// The name a new folder in `parent` gets: `baseName` when no folder of that
// name exists there, else the first free `baseName` + "_" + n, n = 1, 2, ...
std::string FreeFolderName(const std::string& parent, const std::string& baseName);

}  // namespace mindrel
