#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "PrivateHome.h"
#include "ScreenshotSaver.h"
#include "app/MainForm.h"
#include "help/MessageDialog.h"
#include "engine/components/KeelEngine.h"
#include "platform/ProfileFile.h"
#include "ui_MainForm.h"

using mindrel::TMainForm;
using mindrel::TMessageDialog;
using mindrel::TEventFormats;
using mindrel::TOPObj;
using mindrel::TSettings;

namespace {

const std::string kProgramFolder = MINDREL_BIN_DIR "/";
const mindrel::FixedClock kToday(mindrel::CivilDate{2026, 12, 10});

}  // namespace

// The start of the program after the first scan, on a demo family tree made
// by mktree with anniversaries in the days after 10 December 2026.
class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    // Keep the log-on entry, the data folder and the registry lookup of
    // the tests away from the user's own.
    UsePrivateHome(home_.path());
    tree_ = home_.path() + "/tree";
    QVERIFY(MakeDemoTree(tree_, 200, 3));
    keel::TKeelEngine::Acquire();
  }
  void cleanupTestCase() { keel::TKeelEngine::Release(); }

  void init() {
    QVERIFY(data_.emplace().isValid());
    qputenv("MINDREL_DATA_DIR", data_->path().toUtf8());
  }

  void silentStartWithAlertsShowsTheWindowWithThePanelClosed() {
    WriteSettings("[Prefs]\nNDBs=1\nDB0=\"" + tree_ + "\"\nAudio=no\n");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel", "-s"});
    form.Button1Click();
    QVERIFY(form.Alerts().Count() > 0);
    QVERIFY(form.FinishStart());
    QVERIFY(!form.ui().OptionsBtn->isChecked());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("Mindrel for next 30 days"));
    QVERIFY(SaveScreenshot(form, QStringLiteral("start-silent-with-alerts")));
  }

  void silentStartWithNothingDueEndsUnseen() {
    WriteSettings("[Prefs]\nNDBs=1\nDB0=\"" + tree_ + "\"\n[Fields]\nCount=0\n");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel", "-s"});
    form.Button1Click();
    QCOMPARE(form.Alerts().Count(), 0);
    QVERIFY(!form.FinishStart());
    QVERIFY(!form.isVisible());
  }

  void normalStartOpensTheOptionsPanel() {
    WriteSettings("[Prefs]\nNDBs=1\nDB0=\"" + tree_ + "\"\n");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel", "/s"});
    QVERIFY(!form.SilentStart());
    form.Button1Click();
    QVERIFY(form.FinishStart());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY_WITH_TIMEOUT(!form.animating(), 5000);
    QVERIFY(form.ui().Panel1->isVisible());
    QVERIFY2(form.ui().FieldsList->count() > TSettings::kFixedEventItems, "the tree's custom date columns are offered");
    QVERIFY(SaveScreenshot(form, QStringLiteral("start-normal-options-open")));
  }

  void silentStartWithoutFoldersComplainsAndOpensThePanel() {
    WriteSettings("[Prefs]\nNDBs=0\n");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel", "-s"});
    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    form.Button1Click();
    QCOMPARE(TMessageDialog::lastText(), QStringLiteral("Mindrel\nNo valid databases selected."));
    QVERIFY(form.FinishStart());
    QVERIFY(form.ui().OptionsBtn->isChecked());
  }

  void addingAndRemovingFoldersRefreshesTheCustomColumns() {
    WriteSettings("[Prefs]\nNDBs=0\n");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel"});
    QCOMPARE(form.ui().FieldsList->count(), TSettings::kFixedEventItems);

    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    QVERIFY(!form.AddFolder((home_.path() + "/nothing-here").toStdString()));
    QVERIFY(TMessageDialog::lastText().contains(QStringLiteral("does not contain a valid Tallowyn V3 database")));

    QVERIFY(form.AddFolder(tree_.toStdString()));
    QCOMPARE(form.ui().TallowynList->count(), 1);
    const int withCustom = form.ui().FieldsList->count();
    QVERIFY(withCustom > TSettings::kFixedEventItems);
    QCOMPARE(form.AddStartFolder(), tree_.toStdString());

    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    QVERIFY(!form.AddFolder(tree_.toStdString()));
    QCOMPARE(TMessageDialog::lastText(),
             QStringLiteral("The database folder\n\"%1\"\nis already in the database list.").arg(tree_));

    // Ticking a custom column without a format asks once; Yes adds a format
    // and opens the editor on it.
    QListWidgetItem* custom = form.ui().FieldsList->item(TSettings::kFixedEventItems);
    TMessageDialog::setNextAnswer(QMessageBox::Yes);
    int editorRow = -1;
    QTimer::singleShot(0, &form, [&form, &editorRow] {
      editorRow = form.EventEditor().isVisible() ? form.EventEditor().TextGridWidget().currentRow() : -2;
      form.EventEditor().reject();
    });
    custom->setCheckState(Qt::Checked);
    QVERIFY(TMessageDialog::lastText().startsWith(QStringLiteral("The field \"") + custom->text()));
    const int row = form.Formats().FindRow(custom->text().toStdString(), TEventFormats::kFixedRows);
    QVERIFY(row >= TEventFormats::kFixedRows);
    QCOMPARE(form.Formats().Row(row).Template, std::string("<name>"));
    QCOMPARE(editorRow, form.EventEditor().GridRowOfFormat(row));
    custom->setCheckState(Qt::Unchecked);
    TMessageDialog::setNextAnswer(QMessageBox::No);
    form.ui().FieldsList->item(3)->setCheckState(Qt::Checked);
    form.ui().FieldsList->item(mindrel::kYahrzeit)->setCheckState(Qt::Checked);
    custom->setCheckState(Qt::Checked);
    QVERIFY2(TMessageDialog::takeBackNextAnswer(), "neither a fixed event nor a column with a format asks");
    QCOMPARE(form.Formats().RowCount(), row + 1);

    form.ui().TallowynList->item(0)->setSelected(true);
    form.ui().TallowynList->setCurrentRow(0);
    QVERIFY(form.ui().TallowynDelBtn->isEnabled());
    form.ui().TallowynDelBtn->click();
    QCOMPARE(form.ui().TallowynList->count(), 0);
    QCOMPARE(form.ui().FieldsList->count(), TSettings::kFixedEventItems);
    QVERIFY(!form.ui().TallowynDelBtn->isEnabled());
  }

  // Keys the program only passes through come back as they were read.
  void settingsFileRoundTripKeepsScriptAndCustomColours() {
    WriteSettings("[Prefs]\nNDBs=1\nDB0=\"" + tree_ + "\"\nStart=no\n[CustColors]\nColorA=0000FF\nColorQ=12AB34\n"
                  "[OPFont]\nName=Arial\nSize=11\nColour=128\nStyle=Bold\nScript=0\n");
    {
      TMainForm form(kProgramFolder, kToday);
      form.InitializeForm({"Mindrel"});
      form.close();
    }
    const mindrel::TProfileFile file(data_->path().toStdString() + "/Mindrel.INI");
    QCOMPARE(file.ReadSectionValues("CustColors"), (std::vector<std::string>{"ColorA=0000FF", "ColorQ=12AB34"}));
    QCOMPARE(file.ReadSectionValues("OPFont"),
             (std::vector<std::string>{"Name=Arial", "Size=11", "Colour=128", "Style=Bold", "Script=0"}));
  }

  void registryErrorOffersOkAndHelp() {
    // An autostart folder below a plain file cannot be made.
    std::ofstream((home_.path() + "/plain-file").toStdString()) << "x";
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", (home_.path() + "/plain-file/config").toUtf8());
    WriteSettings("[Prefs]\nNDBs=0\nStart=no\n");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel"});
    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    form.ui().StartCB->click();
    qputenv("XDG_CONFIG_HOME", saved);
    QCOMPARE(TMessageDialog::lastText(), QStringLiteral("Unable to update system registry"));
    QCOMPARE(TMessageDialog::lastButtons(), QMessageBox::Ok | QMessageBox::Help);
    QVERIFY2(!form.ui().StartCB->isChecked(), "the tick shows what the system really has");
  }

  void aBirthFormatFromTheEditorReachesTheListAndTheSettingsFile() {
    WriteSettings("[Prefs]\nNDBs=1\nDB0=\"" + tree_ + "\"\nDays=30\n");
    {
      TMainForm form(kProgramFolder, kToday);
      form.InitializeForm({"Mindrel"});
      form.Button1Click();
      const int birth = FirstEntryOfEvent(form, 0);
      QVERIFY2(birth >= 0, "the demo tree has a birthday within 30 days");
      QString sample;
      QTimer::singleShot(0, &form, [&form, &sample] {
        QLineEdit* cell = form.EventEditor().CellEditor();
        if (cell == nullptr) return form.EventEditor().reject();
        cell->selectAll();
        QTest::keyClicks(cell, QStringLiteral("<name> has a birthday"));
        sample = form.EventEditor().SampleText();
        form.EventEditor().reject();
      });
      form.ui().TextTreeBtn->click();
      QCOMPARE(sample, QStringLiteral("John SMITH has a birthday"));
      form.Button1Click();
      const TOPObj& entry = form.Alerts().Entry(FirstEntryOfEvent(form, 0));
      QCOMPARE(mindrel::TEntryFormatter(form.Formats(), kToday).FormatEntry(entry, false, {}),
               entry.Name + " has a birthday");
      form.close();
    }
    std::ifstream file(data_->path().toStdString() + "/Mindrel.INI");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    QVERIFY(text.find("T0=\"<name> has a birthday\"") != std::string::npos);
  }

  void closingWritesTheSettingsFile() {
    WriteSettings("[Prefs]\nNDBs=1\nDB0=\"" + tree_ + "\"\nDays=12\n");
    {
      TMainForm form(kProgramFolder, kToday);
      form.InitializeForm({"Mindrel"});
      form.ui().LookAheadSpin->setValue(9);
      form.close();
    }
    std::ifstream file(data_->path().toStdString() + "/Mindrel.INI");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    QVERIFY(text.find("Days=9") != std::string::npos);
    QVERIFY(text.find("DB0=\"" + tree_.toStdString() + "\"") != std::string::npos);
  }

  // Today is 10 December 2026; the list was last shown on 3 December. A
  // GEDCOM file holds one birthday in the days missed and none ahead.
  void whatWasMissedIsListedAndALogOnStartTreatsItAsDue() {
    const QString file = data_->path() + "/away.ged";
    std::ofstream(file.toStdString()) << "0 HEAD\n1 CHAR UTF-8\n0 @I1@ INDI\n1 NAME Anna /Weber/\n1 BIRT\n2 DATE 5 DEC 1986\n"
                                         "0 TRLR\n";
    const QString settings = "[Prefs]\nNDBs=1\nDB0=\"" + file + "\"\nDays=7\nAudio=no\nLastShown=2026-12-03\n";
    WriteSettings(settings);
    {
      TMainForm form(kProgramFolder, kToday);
      form.InitializeForm({"Mindrel", "-s"});
      form.Button1Click();
      QCOMPARE(form.Alerts().Count(), 1);
      QVERIFY(form.Alerts().Entry(0).Missed);
      QVERIFY2(form.FinishStart(), "the missed birthday is due");
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      QCOMPARE(form.ui().OutputList->item(0)->data(Qt::AccessibleTextRole).toString(),
               QStringLiteral("While you were away, Sat 5 Dec jubilee: Anna Weber turned 40 on Saturday"));
      // Its band is its own.
      const QImage shot = form.ui().OutputList->viewport()->grab().toImage();
      QCOMPARE(shot.pixelColor(2, 2), QColor(228, 228, 228));
      QVERIFY(SaveScreenshot(form, QStringLiteral("main-window-while-away")));
      // A refresh keeps what the start caught up.
      form.Button1Click();
      QCOMPARE(form.Alerts().Count(), 1);
      form.close();
    }
    QVERIFY(ReadSettings().find("LastShown=2026-12-10") != std::string::npos);

    // The next start that day has caught up already: nothing is due.
    TMainForm again(kProgramFolder, kToday);
    again.InitializeForm({"Mindrel", "-s"});
    again.Button1Click();
    QCOMPARE(again.Alerts().Count(), 0);
    QVERIFY(!again.FinishStart());
  }

  void aClockSetBackMissesNothing() {
    const QString file = data_->path() + "/away.ged";
    std::ofstream(file.toStdString()) << "0 HEAD\n1 CHAR UTF-8\n0 @I1@ INDI\n1 NAME Anna /Weber/\n1 BIRT\n2 DATE 5 DEC 1986\n"
                                         "0 TRLR\n";
    WriteSettings("[Prefs]\nNDBs=1\nDB0=\"" + file + "\"\nDays=30\nLastShown=2027-01-20\n");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel", "-s"});
    form.Button1Click();
    QCOMPARE(form.Alerts().Count(), 0);
    QVERIFY(!form.FinishStart());
  }

 private:
  std::string ReadSettings() const {
    std::ifstream file(data_->path().toStdString() + "/Mindrel.INI");
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  }

  static int FirstEntryOfEvent(TMainForm& form, int eventIndex) {
    for (int i = 0; i < form.Alerts().Count(); ++i) {
      if (form.Alerts().Entry(i).EventIndex == eventIndex) return i;
    }
    return -1;
  }

  void WriteSettings(const QString& text) {
    std::ofstream(data_->path().toStdString() + "/Mindrel.INI") << text.toStdString();
  }

  QTemporaryDir home_;
  std::optional<QTemporaryDir> data_;
  QString tree_;
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
