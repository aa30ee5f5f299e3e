#pragma once

#include <QString>

class QMenu;
class QPixmap;
class QWidget;

// Saves what a window shows as <screenshot dir>/<name>.png; false on failure.
bool SaveScreenshot(QWidget& window, const QString& name);
// Saves a picture composed by the test (a window with its pop-up) the same way.
bool SaveScreenshot(const QPixmap& picture, const QString& name);
// Saves a window with its open pop-up menu drawn where the menu stands.
bool SaveScreenshotWithMenu(QWidget& window, QMenu& menu, const QString& name);
