#pragma once

#include <string>

namespace mindrel {

// Log-on start of the program: a desktop entry "Mindrel.desktop" in the
// user's autostart folder ($XDG_CONFIG_HOME/autostart, else
// ~/.config/autostart) that starts "Mindrel" in the program folder with "-s".
class TAutostart {
 public:
  // Uses the autostart folder of the environment.
  TAutostart();
  // Uses the given folder (tests).
  explicit TAutostart(std::string folder);

  // Path of the entry; empty when no folder can be found.
  std::string EntryPath() const;

  // Writes (or rewrites) the entry for the program in exeFolder, creating the
  // folder when missing. False when the entry cannot be written.
  bool Register(const std::string& exeFolder) const;
  // Removes the entry; an entry that is not there is no failure.
  bool Unregister() const;

  // The entry's text for the program in exeFolder.
  static std::string EntryText(const std::string& exeFolder);

  // Old versions left a shortcut in a machine-wide start-up folder. There is
  // no such folder here: the lookup finds nothing and nothing is removed.
  static void RemoveOldShortcut() {}

 private:
  std::string folder_;
};

}  // namespace mindrel
