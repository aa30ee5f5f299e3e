#include "help/NewFolder.h"

#include "platform/Folders.h"

namespace mindrel {

std::string FreeFolderName(const std::string& parent, const std::string& baseName) {
  const std::string folder = WithTrailingSeparator(parent);
  std::string name = baseName;
  for (int n = 1; DirectoryExists(folder + name); ++n) name = baseName + "_" + std::to_string(n);
  return name;
}

}  // namespace mindrel
