#pragma once

#include <string>

namespace mindrel {

// Log-on start of the program, which starts "Mindrel" in the program folder
// with "-s". Here: a desktop entry "Mindrel.desktop" in the user's autostart
// folder ($XDG_CONFIG_HOME/autostart, else ~/.config/autostart). On Windows:
// the string value "Mindrel" under the current user's key
// "Software\Microsoft\Windows\CurrentVersion\Run", whose data is the quoted
// "Mindrel.exe" of the program folder followed by " -s".
class TAutostart {
 public:
  // Uses the autostart folder of the environment (the Run key on Windows).
  TAutostart();
  // Uses the given folder (on Windows: a key of the current user's hive);
  // empty for none (tests, tools).
  explicit TAutostart(std::string folder);

  // Path of the entry; empty when no folder can be found.
  std::string EntryPath() const;

  // Writes (or rewrites) the entry for the program in exeFolder, creating the
  // folder when missing (on Windows the key must exist). False when the
  // entry cannot be written.
  bool Register(const std::string& exeFolder) const;
  // Removes the entry; an entry that is not there is no failure.
  bool Unregister() const;

  // The entry's text for the program in exeFolder.
  static std::string EntryText(const std::string& exeFolder);

  // Old versions left a shortcut "Mindrel.lnk" in the machine-wide start-up
  // folder, which this removes quietly. There is no such folder here: the
  // lookup finds nothing and nothing is removed.
  static void RemoveOldShortcut();

 private:
  std::string folder_;
};

}  // namespace mindrel
