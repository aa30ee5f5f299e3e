#include "ScreenshotSaver.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

bool SaveScreenshot(QWidget& window, const QString& name) {
  const QDir folder(QStringLiteral(MINDREL_SCREENSHOT_DIR));
  if (!folder.mkpath(QStringLiteral("."))) return false;
  return window.grab().save(folder.filePath(name + QStringLiteral(".png")), "PNG");
}
