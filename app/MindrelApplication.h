#pragma once

#include <QApplication>

namespace mindrel {

// The application object. An error that no handler caught ends up here and is
// shown in a message box, after which the program goes on, as the general
// error reporting of the program's design does.
class TMindrelApplication : public QApplication {
 public:
  TMindrelApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  // Shows an error's message in a message box with the error beep.
  static void ShowError(const QString& message);
};

}  // namespace mindrel
