#pragma once

#include <string>

namespace mindrel {

// The current user's registry of a Wine prefix, where the family-tree program
// keeps its settings when it runs on this system.
class TWineRegistry {
 public:
  // Uses $WINEPREFIX, else ~/.wine.
  TWineRegistry();
  explicit TWineRegistry(std::string prefix) : prefix_(std::move(prefix)) {}

  // A string value under a key of the current user's hive ("Software\A\B");
  // empty when the file, the key or the value is missing or not a string.
  std::string ReadUserString(const std::string& key, const std::string& value) const;

  // A Windows path ("C:\Family\Tree") as a path of this system through the
  // prefix's drive folders; letters of folder names that differ only in case
  // are matched as Windows would. Empty when the path has no drive letter.
  std::string MapWindowsPath(const std::string& windowsPath) const;

 private:
  std::string prefix_;
};

}  // namespace mindrel
