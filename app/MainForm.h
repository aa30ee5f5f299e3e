#pragma once

#include <QMainWindow>

namespace mindrel {

// Mindrel's main window.
class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
};

}  // namespace mindrel
