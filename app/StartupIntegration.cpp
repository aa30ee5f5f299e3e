#include "app/StartupIntegration.h"

#include "platform/Folders.h"

namespace mindrel {

TStartupIntegration::TStartupIntegration(TAutostart autostart, std::string exeFolder, ErrorReporter reportError,
                                         SoundPlayer playSound)
    : autostart_(std::move(autostart)),
      exeFolder_(std::move(exeFolder)),
      reportError_(std::move(reportError)),
      playSound_(std::move(playSound)) {}

bool TStartupIntegration::AddToStartupRegistry(bool on) {
  const bool done = on ? autostart_.Register(exeFolder_) : autostart_.Unregister();
  if (!done && !loading_) reportError_(kRegistryError);
  return done;
}

void TStartupIntegration::AddToStartupMenu(bool on) {
  if (!on) TAutostart::RemoveOldShortcut();
}

bool TStartupIntegration::StartCBClick(bool ticked) {
  if (loading_) return ticked;
  return AddToStartupRegistry(ticked) ? ticked : !ticked;
}

void TStartupIntegration::CheckPlayAlert(bool audioTicked) const {
  if (audioTicked) playSound_(ProgramFilesFolder(exeFolder_) + "Alert.wav");
}

}  // namespace mindrel
