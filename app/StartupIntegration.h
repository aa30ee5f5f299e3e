#pragma once

#include <functional>
#include <string>

#include "platform/Autostart.h"

namespace mindrel {

// The log-on start of the program and the alert sound.
class TStartupIntegration {
 public:
  // Beeps and shows an error with OK and Help buttons.
  using ErrorReporter = std::function<void(const std::string& message)>;
  // Starts playing a wave file without waiting; silent on any failure.
  using SoundPlayer = std::function<void(const std::string& path)>;

  static constexpr const char* kRegistryError = "Unable to update system registry";

  // `exeFolder` ends with a separator.
  TStartupIntegration(TAutostart autostart, std::string exeFolder, ErrorReporter reportError,
                      SoundPlayer playSound);

  // True while the settings file is applied: the start-up check box handler
  // does nothing and registration failures are silent.
  bool Loading() const { return loading_; }
  void SetLoading(bool loading) { loading_ = loading; }

  // Writes (on) or removes (off) the log-on start entry; false on failure,
  // which is reported unless loading.
  bool AddToStartupRegistry(bool on);
  // Removes an old version's start-up shortcut; only ever called with false.
  void AddToStartupMenu(bool on);
  // The start-up check box changed to `ticked`; returns the tick it must
  // show, which is the previous one when the change could not be made.
  bool StartCBClick(bool ticked);
  // Plays "Alert.wav" of the program files (ProgramFilesFolder) when the
  // sound option is ticked.
  void CheckPlayAlert(bool audioTicked) const;

 private:
  TAutostart autostart_;
  std::string exeFolder_;
  ErrorReporter reportError_;
  SoundPlayer playSound_;
  bool loading_ = false;
};

}  // namespace mindrel
