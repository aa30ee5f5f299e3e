// A GEDCOM file listed beside a family-tree folder, used through the main
// window as a user would: its alerts, ignoring and reinstating its people,
// and its own events ticked in the event list.

#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <optional>
#include <set>

#include "PrivateHome.h"
#include "ScreenshotSaver.h"
#include "SpokenAlerts.h"
#include "app/MainForm.h"
#include "engine/components/KeelEngine.h"
#include "help/MessageDialog.h"
#include "lists/DataGridWidget.h"
#include "ui_IgnoreForm.h"
#include "ui_MainForm.h"

using mindrel::TMainForm;
using mindrel::TMessageDialog;

namespace {

const std::string kProgramFolder = MINDREL_BIN_DIR "/";
const mindrel::FixedClock kToday(mindrel::CivilDate{2026, 12, 10});

// Everything within the 30 days after 10 December 2026.
constexpr const char* kFamily =
    "0 HEAD\n1 CHAR UTF-8\n1 GEDC\n2 VERS 5.5.1\n"
    "0 @I1@ INDI\n1 NAME Ann /Quillfeather/\n1 BIRT\n2 DATE 12 DEC 1950\n2 PLAC Leeds\n"
    "1 BAPM\n2 DATE 20 DEC 1950\n"
    "0 @I2@ INDI\n1 NAME Bert /Quillfeather/\n1 BIRT\n2 DATE 15 DEC 1948\n"
    "1 EVEN\n2 TYPE Naming day\n2 DATE 22 DEC 1948\n"
    "0 @F1@ FAM\n1 HUSB @I2@\n1 WIFE @I1@\n1 MARR\n2 DATE 18 DEC 1975\n"
    "0 TRLR\n";

// The same people after an edit elsewhere: records in another order, a new
// person first, Ann's name spelt out; the cross-references stay.
constexpr const char* kFamilyEdited =
    "0 HEAD\n1 CHAR UTF-8\n1 GEDC\n2 VERS 5.5.1\n"
    "0 @I7@ INDI\n1 NAME Cora /Quillfeather/\n1 BIRT\n2 DATE 14 DEC 1980\n"
    "0 @F1@ FAM\n1 HUSB @I2@\n1 WIFE @I1@\n1 MARR\n2 DATE 18 DEC 1975\n"
    "0 @I2@ INDI\n1 NAME Bert /Quillfeather/\n1 BIRT\n2 DATE 15 DEC 1948\n"
    "0 @I1@ INDI\n1 NAME Ann Mary /Quillfeather/\n1 BIRT\n2 DATE 12 DEC 1950\n2 PLAC Leeds\n"
    "0 TRLR\n";

const QString kAnnsBirthday = QStringLiteral("Ann Quillfeather is 76 years old in 2 days");

}  // namespace

class GedcomWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    UsePrivateHome(home_.path());
    tree_ = home_.path() + "/tree";
    gedcom_ = home_.path() + "/family.ged";
    QVERIFY(MakeDemoTree(tree_, 120, 5));
    keel::TKeelEngine::Acquire();
  }
  void cleanupTestCase() { keel::TKeelEngine::Release(); }

  void init() {
    QVERIFY(data_.emplace().isValid());
    qputenv("MINDREL_DATA_DIR", data_->path().toUtf8());
    WriteFile(gedcom_, kFamily);
    WriteFile(data_->path() + "/Mindrel.INI", "[Prefs]\nNDBs=2\nDB0=\"" + tree_ + "\"\nDB1=\"" + gedcom_ +
                                                  "\"\nDays=30\nAudio=no\nExclude=yes\n");
  }
  void cleanup() { QVERIFY(!TMessageDialog::takeBackNextAnswer()); }

  void alertsOfTheFileAndTheFolderAreListedSideBySide() {
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel"});
    form.Button1Click();
    QCOMPARE(ListTexts(*form.ui().TallowynList), (QStringList{tree_, gedcom_}));
    const std::multiset<std::string> sources = SourceOfEachAlert(form);
    QVERIFY(sources.count(tree_.toStdString()) > 0);
    QCOMPARE(sources.count(gedcom_.toStdString()), 3u);  // two birthdays, one wedding
    const QStringList spoken = Spoken(form);
    QVERIFY2(spoken.contains(QStringLiteral("Sat 12 Dec ") + kAnnsBirthday), qPrintable(spoken.join('\n')));
    QVERIFY(spoken.contains(QStringLiteral("Tue 15 Dec Bert Quillfeather is 78 years old in 5 days")));
    QVERIFY(spoken.contains(
        QStringLiteral("Fri 18 Dec It's the 51st wedding anniversary of Bert Quillfeather = Ann Quillfeather in 8 days")));

    // The options panel shows both sources in the folder list.
    QVERIFY(form.FinishStart());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY_WITH_TIMEOUT(!form.animating(), 5000);
    QVERIFY(form.ui().TallowynList->isVisible());
    QVERIFY(SaveScreenshot(form, QStringLiteral("main-window-gedcom-beside-folder")));
  }

  void ignoringAGedcomPersonSurvivesRereadsAndEditsUntilReinstated() {
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel"});
    form.Button1Click();
    QListWidget& list = *form.ui().OutputList;
    const int before = list.count();
    const int ann = SpokenIndex(form, kAnnsBirthday);
    QVERIFY(ann >= 0);
    list.item(ann)->setSelected(true);
    form.PopupMenu1Popup();
    form.PopupMenu1().actions().at(0)->trigger();
    QCOMPARE(list.count(), before - 1);
    QVERIFY(!AnySpoken(form, kAnnsBirthday));
    QVERIFY2(AnySpoken(form, QStringLiteral("wedding anniversary of Bert Quillfeather")),
             "only Ann's birthday is ignored");

    form.Button1Click();
    QCOMPARE(list.count(), before - 1);
    WriteFile(gedcom_, kFamilyEdited);
    form.Button1Click();
    QVERIFY2(!AnySpoken(form, QStringLiteral("Ann Mary Quillfeather is 76")), "the edit keeps her @I1@");
    QVERIFY(AnySpoken(form, QStringLiteral("Cora Quillfeather is 46")));

    mindrel::TIgnoreForm& ignoreForm = form.IgnoreForm();
    ignoreForm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ignoreForm));
    const QAbstractItemModel& grid = *ignoreForm.ui().DBGrid1->model();
    QCOMPARE(grid.rowCount(), 1);
    QCOMPARE(Row(grid, 0), (QStringList{"family.ged [P1]", "Quillfeather", "Ann", "12 DEC 1950", "Leeds"}));
    QCOMPARE(ignoreForm.ui().EventsEdit->text(), QStringLiteral("birth"));
    QVERIFY(SaveScreenshot(ignoreForm, QStringLiteral("ignore-list-gedcom-person")));
    QTest::mouseClick(ignoreForm.ui().ReinstateBtn, Qt::LeftButton);
    QCOMPARE(grid.rowCount(), 0);
    ignoreForm.close();

    form.Button1Click();
    QVERIFY(AnySpoken(form, QStringLiteral("Ann Mary Quillfeather is 76 years old in 2 days")));
  }

  void customEventsOfTheFileCanBeTickedAndUnticked_data() {
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("BAPM") << "Baptism"
                          << "Sun 20 Dec It's the 76th anniversary of the Baptism of Ann Quillfeather in 10 days";
    QTest::newRow("EVEN with TYPE")
        << "Naming day" << "Tue 22 Dec It's the 78th anniversary of the Naming day of Bert Quillfeather in 12 days";
  }
  void customEventsOfTheFileCanBeTickedAndUnticked() {
    QFETCH(QString, event);
    QFETCH(QString, sentence);
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel"});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Button1Click();
    QVERIFY(!AnySpoken(form, sentence));
    QListWidget& events = *form.ui().FieldsList;
    const QList<QListWidgetItem*> found = events.findItems(event, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    QListWidgetItem& item = *found.first();
    QCOMPARE(item.checkState(), Qt::Unchecked);

    // Space ticks the current item as a click on its box would; a column
    // without a format of its own asks for one first.
    events.setFocus();
    events.setCurrentItem(&item);
    TMessageDialog::setNextAnswer(QMessageBox::No);
    QTest::keyClick(&events, Qt::Key_Space);
    QCOMPARE(item.checkState(), Qt::Checked);
    QVERIFY(TMessageDialog::lastText().startsWith(QStringLiteral("The field \"%1\"").arg(event)));
    form.Button1Click();
    QVERIFY2(Spoken(form).contains(sentence), qPrintable(Spoken(form).join('\n')));

    QTest::keyClick(&events, Qt::Key_Space);
    QCOMPARE(item.checkState(), Qt::Unchecked);
    form.Button1Click();
    QVERIFY(!AnySpoken(form, sentence));
  }

 private:
  static void WriteFile(const QString& path, const QString& text) {
    std::ofstream(path.toStdString(), std::ios::binary) << text.toStdString();
  }

  static QStringList ListTexts(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) texts << list.item(i)->text();
    return texts;
  }

  static std::multiset<std::string> SourceOfEachAlert(TMainForm& form) {
    std::multiset<std::string> sources;
    for (int i = 0; i < form.Alerts().Count(); ++i) sources.insert(form.Alerts().Entry(i).DBFolder);
    return sources;
  }

  // What a screen reader says for each alert of the list: date, sentence.
  static QStringList Spoken(TMainForm& form) { return SpokenAlerts(*form.ui().OutputList); }

  static int SpokenIndex(TMainForm& form, const QString& part) { return SpokenAlertIndex(*form.ui().OutputList, part); }

  static bool AnySpoken(TMainForm& form, const QString& part) { return SpokenIndex(form, part) >= 0; }

  static QStringList Row(const QAbstractItemModel& grid, int row) {
    QStringList texts;
    for (int column = 0; column < grid.columnCount(); ++column) texts << grid.index(row, column).data().toString();
    return texts;
  }

  QTemporaryDir home_;
  std::optional<QTemporaryDir> data_;
  QString tree_;
  QString gedcom_;
};

QTEST_MAIN(GedcomWindowTest)
#include "GedcomWindowTest.moc"
