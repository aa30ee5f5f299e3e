#include <QFontDatabase>
#include <QtTest>

#include "ScreenshotSaver.h"
#include "app/MainForm.h"

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  // Without fonts Qt draws every text as empty boxes and says nothing.
  void fontsAreInstalled() { QVERIFY(!QFontDatabase::families().isEmpty()); }

  void opensCaptionedWindow() {
    mindrel::TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("Mindrel"));
    QVERIFY(SaveScreenshot(form, QStringLiteral("main-window")));
  }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
