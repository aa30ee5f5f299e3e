#include "ScreenshotSaver.h"

#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

bool SaveScreenshot(const QPixmap& picture, const QString& name) {
  const QDir folder(QStringLiteral(MINDREL_SCREENSHOT_DIR));
  if (!folder.mkpath(QStringLiteral("."))) return false;
  return picture.save(folder.filePath(name + QStringLiteral(".png")), "PNG");
}

bool SaveScreenshot(QWidget& window, const QString& name) { return SaveScreenshot(window.grab(), name); }

bool SaveScreenshotWithMenu(QWidget& window, QMenu& menu, const QString& name) {
  QPixmap shot = window.grab();
  QPainter painter(&shot);
  painter.drawPixmap(window.mapFromGlobal(menu.pos()), menu.grab());
  painter.end();
  return SaveScreenshot(shot, name);
}
