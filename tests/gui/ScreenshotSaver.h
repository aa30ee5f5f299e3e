#pragma once

#include <QString>

class QPixmap;
class QWidget;

// Saves what a window shows as <screenshot dir>/<name>.png; false on failure.
bool SaveScreenshot(QWidget& window, const QString& name);
// Saves a picture composed by the test (a window with its pop-up) the same way.
bool SaveScreenshot(const QPixmap& picture, const QString& name);
