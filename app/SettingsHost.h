#pragma once

#include <string>
#include <vector>

namespace mindrel {

// What applying the settings file needs from the window and table layers.
// Every call is made while the settings are being loaded, so none of them
// shows a message.
class TSettingsHost {
 public:
  virtual ~TSettingsHost() = default;

  // The family-tree program's default database folder; empty when unknown.
  virtual std::string GetDatabasePath() = 0;
  // True when the folder holds a valid family-tree database.
  virtual bool ValidDatabase(const std::string& folder) = 0;
  // The date columns the folders offer as custom event types, in the order
  // found: per folder, those of the people table, then those of the families
  // table. Duplicates are allowed; the event list drops them.
  virtual std::vector<std::string> CustomDateColumns(const std::vector<std::string>& folders) = 0;
  // The screen's size in pixels, to bring an off-screen window back.
  virtual int ScreenWidth() = 0;
  virtual int ScreenHeight() = 0;
};

}  // namespace mindrel
