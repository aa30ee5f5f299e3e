#include "app/FolderSettingsHost.h"

#include "app/SourceEntry.h"
#include "platform/WineRegistry.h"

namespace mindrel {

std::string TFolderSettingsHost::GetDatabasePath() {
  const TWineRegistry registry;
  const std::string stored = registry.ReadUserString("Software\\Quorvin\\Tallowyn V3", "DB_Path");
  return stored.empty() ? std::string() : registry.MapWindowsPath(stored);
}

bool TFolderSettingsHost::ValidDatabase(const std::string& folder) {
  if (folder.empty()) return false;
  std::string problem = TSourceEntry(folder).Problem();
  if (problem.empty()) return true;
  problems_.push_back(std::move(problem));
  return false;
}

std::vector<std::string> TFolderSettingsHost::CustomDateColumns(const std::vector<std::string>& folders) {
  std::vector<std::string> columns;
  for (const std::string& folder : folders) {
    const std::vector<std::string> found = TSourceEntry(folder).CustomDateColumns();
    columns.insert(columns.end(), found.begin(), found.end());
  }
  return columns;
}

}  // namespace mindrel
