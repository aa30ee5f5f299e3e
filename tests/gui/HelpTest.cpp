#include <QDesktopServices>
#include <QPainter>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWhatsThis>
#include <QtTest>

#include "PrivateHome.h"
#include "ScreenshotSaver.h"
#include "app/MainForm.h"
#include "help/AboutText.h"
#include "help/ContextHelpQt.h"
#include "help/HelpForm.h"
#include "help/HelpViewerForm.h"
#include "help/MessageDialog.h"
#include "ui_MainForm.h"

using mindrel::THelpForm;
using mindrel::THelpViewerForm;
using mindrel::TMainForm;

namespace {

const std::string kProgramFolder = MINDREL_BIN_DIR "/";
const std::string kHelpFile = kProgramFolder + "Help/Mindrel.qhc";
const mindrel::FixedClock kToday(mindrel::CivilDate{2026, 12, 10});

// Every help context number the windows and messages use.
QList<int> AllContexts() {
  QList<int> contexts{5};
  for (int n = 101; n <= 118; ++n) contexts << n;
  for (int n = 120; n <= 126; ++n) contexts << n;
  for (int n = 130; n <= 132; ++n) contexts << n;
  for (int n = 201; n <= 208; ++n) contexts << n;
  for (int n = 301; n <= 312; ++n) contexts << n;
  for (int n = 401; n <= 405; ++n) contexts << n;
  for (int n = 502; n <= 506; ++n) contexts << n;
  return contexts;
}

QWidget* WhatsThisPopup() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && QByteArray(widget->metaObject()->className()) == "QWhatsThat") return widget;
  }
  return nullptr;
}

}  // namespace

// Receives what the program hands to the desktop's opener.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened << url; }
};

class HelpTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    UsePrivateHome(home_.path());
    qputenv("MINDREL_DATA_DIR", (home_.path() + "/data").toUtf8());
  }

  void everyContextNumberHasItsTopic() {
    THelpViewerForm viewer;
    for (const int context : AllContexts()) {
      viewer.DisplayContext(kHelpFile, context);
      QVERIFY2(viewer.CurrentPage().scheme() == QLatin1String("qthelp"), qPrintable(QString::number(context)));
      QVERIFY2(!viewer.ShortText(kHelpFile, context).isEmpty(), qPrintable(QString::number(context)));
    }
    viewer.DisplayContext(kHelpFile, 207);
    QCOMPARE(viewer.CurrentTitle(), QStringLiteral("Sample"));
    QVERIFY(viewer.isVisible());
    QVERIFY(SaveScreenshot(viewer, QStringLiteral("help-viewer-topic")));

    viewer.DisplayContext(kHelpFile, 999);
    QCOMPARE(viewer.CurrentPage().scheme(), QString());
    QVERIFY(viewer.ShortText(kHelpFile, 999).isEmpty());
  }

  void contentsIndexAndAMissingFile() {
    THelpViewerForm viewer;
    viewer.DisplayContents(kHelpFile);
    QCOMPARE(viewer.CurrentTitle(), QStringLiteral("Mindrel Help"));
    QVERIFY(!viewer.ShowsIndex());
    viewer.DisplayIndex(kHelpFile, "Marriage indicator");
    QVERIFY(viewer.ShowsIndex());
    QCOMPARE(viewer.CurrentTitle(), QStringLiteral("Marriage indicator"));
    viewer.CloseAll();
    QVERIFY(!viewer.isVisible());

    viewer.DisplayContents(home_.path().toStdString() + "/Help/HTMLHelp.qhc");
    QVERIFY(viewer.isVisible());
    QVERIFY(viewer.CurrentPage().isEmpty());
    QVERIFY(viewer.CurrentTitle().contains(QStringLiteral("cannot be opened")));
  }

  void f1OnTheLookAheadSpinOpensItsTopic() {
    TMainForm form(kProgramFolder, kToday);
    form.show();
    form.OpenOptions();
    QTRY_VERIFY(!form.animating());
    QSpinBox* spin = form.ui().LookAheadSpin;
    spin->setFocus();
    QTRY_VERIFY(spin->hasFocus());
    QTest::keyClick(spin, Qt::Key_F1);
    QVERIFY(form.HelpViewer().isVisible());
    QCOMPARE(form.HelpViewer().CurrentTitle(), QStringLiteral("Look ahead"));
    form.HelpViewer().hide();

    // A control without a number of its own takes its panel's.
    QTest::keyClick(form.ui().HelpBtn, Qt::Key_F1);
    QCOMPARE(form.HelpViewer().CurrentTitle(), QStringLiteral("Tool bar"));
    form.HelpViewer().hide();
  }

  void whatsThisShowsTheControlsShortText() {
    TMainForm form(kProgramFolder, kToday);
    form.show();
    form.OpenOptions();
    QTRY_VERIFY(!form.animating());
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QWidget* spin = form.ui().LookAheadSpin;
    const QString expected = form.HelpViewer().ShortText(kHelpFile, 102);
    QVERIFY(expected.startsWith(QStringLiteral("How many days ahead")));

    form.ui().CtxHelpBtn->click();
    QVERIFY(QWhatsThis::inWhatsThisMode());
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!QWhatsThis::inWhatsThisMode());
    QWidget* popup = nullptr;
    QTRY_VERIFY((popup = WhatsThisPopup()) != nullptr);
    QVERIFY2(!form.HelpViewer().isVisible(), "\"What's this?\" shows the short text, not the help viewer");

    QPixmap picture = form.grab();
    QPainter painter(&picture);
    // Below the control it was asked about, as the pop-up stands on screen.
    painter.drawPixmap(spin->mapTo(&form, QPoint(0, spin->height())), popup->grab());
    painter.end();
    QVERIFY(SaveScreenshot(picture, QStringLiteral("whats-this-look-ahead")));
    QWhatsThis::hideText();
  }

  void messageHelpButtonsOpenTheirTopics() {
    TMainForm form(kProgramFolder, kToday);
    // The Help button leaves the question open; the next answer closes it.
    QTimer answering;
    bool helped = false;
    QString seenTitle;
    connect(&answering, &QTimer::timeout, &form, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      if (!helped) {
        helped = true;
        box->button(QMessageBox::Help)->click();
        return;
      }
      seenTitle = form.HelpViewer().CurrentTitle();
      answering.stop();
      box->button(QMessageBox::Ok)->click();
    });
    answering.start(20);
    form.Button1Click();
    QCOMPARE(seenTitle, QStringLiteral("No valid databases selected"));
    form.HelpViewer().hide();
  }

  void helpWindowShowsTheVersionAndStartsTheUpdater() {
    QTemporaryDir exeFolder;
    const QString folder = exeFolder.path() + "/";
    QFile updater(folder + "updater.exe");
    QVERIFY(updater.open(QIODevice::WriteOnly));
    updater.write("#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/started\"\n");
    updater.close();
    updater.setPermissions(updater.permissions() | QFileDevice::ExeOwner);
    QFile shortcut(folder + "Quorvin.url");
    QVERIFY(shortcut.open(QIODevice::WriteOnly));
    shortcut.write("[InternetShortcut]\r\nURL=https://quorvin.example/mindrel\r\n");
    shortcut.close();

    THelpForm help(folder.toStdString());
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QCOMPARE(help.windowTitle(), QStringLiteral("Help"));
    QCOMPARE(help.LabelText(), QString::fromStdString(mindrel::ProductLine()) + QStringLiteral("\nVersion: 1.2.3"));
    QVERIFY(SaveScreenshot(help, QStringLiteral("help-window")));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    help.findChild<QPushButton*>(QStringLiteral("BitBtn3"))->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl(QStringLiteral("https://quorvin.example/mindrel"))});
    QVERIFY2(help.isVisible(), "the web-site button leaves the window open");

    help.findChild<QPushButton*>(QStringLiteral("UpdateBtn"))->click();
    QVERIFY(!help.isVisible());
    QCOMPARE(help.result(), int(QDialog::Rejected));
    QFile started(folder + "started");
    QTRY_VERIFY(started.exists());
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(started.readAll().trimmed(), QByteArray("/checknow"));
  }

  void helpWindowWithoutUpdaterOrShortcutStaysQuiet() {
    QTemporaryDir exeFolder;
    THelpForm help(exeFolder.path().toStdString() + "/");
    help.show();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    help.findChild<QPushButton*>(QStringLiteral("BitBtn3"))->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QVERIFY(catcher.opened.isEmpty());
    help.findChild<QPushButton*>(QStringLiteral("UpdateBtn"))->click();
    QVERIFY(!help.isVisible());

    // A click on the picture panel closes the window too.
    help.show();
    QTest::mouseClick(help.findChild<QFrame*>(QStringLiteral("Panel1")), Qt::LeftButton);
    QVERIFY(!help.isVisible());
  }

 private:
  QTemporaryDir home_;
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
