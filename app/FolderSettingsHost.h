#pragma once

#include "app/SettingsHost.h"

namespace mindrel {

// The settings file's view of the family-tree folders: the family-tree
// program's default folder from its registry settings, folder validation and
// the custom date columns, on the real folders of this system.
class TFolderSettingsHost final : public TSettingsHost {
 public:
  TFolderSettingsHost(int screenWidth, int screenHeight) : screenWidth_(screenWidth), screenHeight_(screenHeight) {}

  std::string GetDatabasePath() override;
  // A named source that cannot be read leaves a message naming it and the
  // cause in Problems().
  bool ValidDatabase(const std::string& folder) override;
  const std::vector<std::string>& Problems() const { return problems_; }
  std::vector<std::string> CustomDateColumns(const std::vector<std::string>& folders) override;
  int ScreenWidth() override { return screenWidth_; }
  int ScreenHeight() override { return screenHeight_; }

 private:
  int screenWidth_;
  int screenHeight_;
  std::vector<std::string> problems_;
};

}  // namespace mindrel
