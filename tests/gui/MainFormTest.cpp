#include <QFontDatabase>
#include <QSpinBox>
#include <QtTest>

#include "ScreenshotSaver.h"
#include "app/MainForm.h"
#include "ui_MainForm.h"

using mindrel::TMainForm;

namespace {
const std::string kProgramFolder = MINDREL_BIN_DIR "/";
}

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  // Without fonts Qt draws every text as empty boxes and says nothing.
  void fontsAreInstalled() { QVERIFY(!QFontDatabase::families().isEmpty()); }

  void opensCaptionedWindowWithPanelHidden() {
    TMainForm form(kProgramFolder);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("Mindrel"));
    QVERIFY(!form.ui().Panel1->isVisible());
    QCOMPARE(form.height(), form.toolBarHeight() + form.alertListHeight());
    QVERIFY(SaveScreenshot(form, QStringLiteral("main-window")));
  }

  void captionFollowsLookAhead_data() {
    QTest::addColumn<int>("lookAhead");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0") << 0 << "Mindrel for today";
    QTest::newRow("1") << 1 << "Mindrel for today and tomorrow";
    QTest::newRow("30") << 30 << "Mindrel for next 30 days";
    QTest::newRow("365") << 365 << "Mindrel for next 365 days";
  }
  void captionFollowsLookAhead() {
    QFETCH(int, lookAhead);
    QFETCH(QString, caption);
    QCOMPARE(TMainForm::CaptionFor(lookAhead), caption);
  }

  void daysLabelFollowsSpin() {
    TMainForm form(kProgramFolder);
    form.show();
    QSpinBox* spin = form.ui().LookAheadSpin;
    spin->setValue(1);
    QCOMPARE(form.ui().DaysLabel->text(), QStringLiteral("day"));
    spin->setValue(0);
    QCOMPARE(form.ui().DaysLabel->text(), QStringLiteral("days"));
    spin->setValue(400);
    QCOMPARE(spin->value(), 365);
  }

  void optionsPanelSlidesOpenAndClosed() {
    TMainForm form(kProgramFolder);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int listHeight = form.alertListHeight();
    const int closedHeight = form.height();

    form.ui().OptionsBtn->click();
    QVERIFY(form.animating());
    QTRY_VERIFY_WITH_TIMEOUT(!form.animating(), 5000);
    QCOMPARE(form.height(), closedHeight + form.panelHeight());
    QCOMPARE(form.alertListHeight(), listHeight);
    QCOMPARE(form.ui().Panel1->y(), form.height() - form.panelHeight());
    QCOMPARE(form.minimumWidth(), 548);
    QVERIFY(SaveScreenshot(form, QStringLiteral("main-window-options-open")));

    form.ui().OptionsBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.animating(), 5000);
    QCOMPARE(form.height(), closedHeight);
    QVERIFY(!form.ui().Panel1->isVisible());
    QCOMPARE(form.minimumWidth(), 215);
  }

  void togglingTwiceQuicklyReversesFromWhereItStands() {
    TMainForm form(kProgramFolder);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int closedHeight = form.height();
    form.ui().OptionsBtn->click();
    QTest::qWait(40);
    form.ui().OptionsBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.animating(), 5000);
    QCOMPARE(form.height(), closedHeight);
    QVERIFY(!form.ui().Panel1->isVisible());
  }

  void resizingDuringAnimationKeepsListHeight() {
    TMainForm form(kProgramFolder);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int listHeight = form.alertListHeight();
    form.ui().OptionsBtn->click();
    form.resize(form.width() + 50, form.height());
    QCOMPARE(form.alertListHeight(), listHeight);
    QTRY_VERIFY_WITH_TIMEOUT(!form.animating(), 5000);
    form.resize(form.width(), form.height() + 100);
    QCOMPARE(form.alertListHeight(), listHeight + 100);
    QCOMPARE(form.ui().Panel1->y(), form.height() - form.panelHeight());
  }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
