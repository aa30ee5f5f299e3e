#pragma once

#include <QString>

class QWidget;

// Saves what a window shows as <screenshot dir>/<name>.png; false on failure.
bool SaveScreenshot(QWidget& window, const QString& name);
