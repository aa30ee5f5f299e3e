#include "app/MainForm.h"

namespace mindrel {

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Mindrel"));
  resize(420, 360);
}

}  // namespace mindrel
