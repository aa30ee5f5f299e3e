// What the application does with an exception that escapes an event handler:
// the user gets the error's message, except for a silent abort.

#include <QEvent>
#include <QtTest>

#include <stdexcept>

#include "help/MessageDialog.h"
#include "app/MindrelApplication.h"
#include "engine/components/DatabaseError.h"

using mindrel::TMessageDialog;
using mindrel::TMindrelApplication;

namespace {

// Raises whatever it was given when it receives its first event.
class Thrower : public QObject {
 public:
  explicit Thrower(std::function<void()> raise) : raise_(std::move(raise)) {}
  bool event(QEvent*) override {
    raise_();
    return true;
  }

 private:
  std::function<void()> raise_;
};

}  // namespace

class ApplicationTest : public QObject {
  Q_OBJECT

 private slots:
  void anEscapingErrorIsShownToTheUser() {
    Thrower thrower([] { throw std::runtime_error("Table is busy"); });
    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    QEvent event(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&thrower, &event));
    QVERIFY(!TMessageDialog::takeBackNextAnswer());
    QCOMPARE(TMessageDialog::lastText(), QStringLiteral("Table is busy"));
  }

  void aSilentAbortShowsNothing() {
    Thrower thrower([] { throw keel::EAbort(); });
    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    QEvent event(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&thrower, &event));
    QVERIFY2(TMessageDialog::takeBackNextAnswer(), "no dialog took the prepared answer");
  }
};

int main(int argc, char** argv) {
  TMindrelApplication application(argc, argv);
  ApplicationTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ApplicationTest.moc"
