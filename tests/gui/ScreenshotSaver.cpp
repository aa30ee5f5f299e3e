#include "ScreenshotSaver.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

bool SaveScreenshot(const QPixmap& picture, const QString& name) {
  const QDir folder(QStringLiteral(MINDREL_SCREENSHOT_DIR));
  if (!folder.mkpath(QStringLiteral("."))) return false;
  return picture.save(folder.filePath(name + QStringLiteral(".png")), "PNG");
}

bool SaveScreenshot(QWidget& window, const QString& name) { return SaveScreenshot(window.grab(), name); }
