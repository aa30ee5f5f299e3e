#include "app/MindrelApplication.h"

#include <QIcon>
#include <exception>

#include "help/MessageDialog.h"
#include "engine/components/DatabaseError.h"

namespace mindrel {

TMindrelApplication::TMindrelApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Mindrel"));
  setApplicationDisplayName(QStringLiteral("Mindrel"));
  // The desktop entry and the icon theme's "mindrel" give the window its icon
  // and tie it to the entry in the application menu.
  setDesktopFileName(QStringLiteral("Mindrel"));
  setWindowIcon(QIcon::fromTheme(QStringLiteral("mindrel")));
}

bool TMindrelApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const keel::EAbort&) {
    // A silent abort: whoever raised it has already told the user.
  } catch (const std::exception& error) {
    ShowError(QString::fromStdString(error.what()));
  }
  return false;
}

void TMindrelApplication::ShowError(const QString& message) {
  QApplication::beep();
  TMessageDialog::show(nullptr, TMessageDialog::Kind::Error, {message}, QMessageBox::Ok);
}

}  // namespace mindrel
