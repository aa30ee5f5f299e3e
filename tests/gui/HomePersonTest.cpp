// A home person set through the folder list's menu and its window, used as
// a user would: found by typing part of the name, named in the folder list,
// told in every sentence of a relative, and the list limited to the family.

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <optional>

#include "PrivateHome.h"
#include "ScreenshotSaver.h"
#include "SpokenAlerts.h"
#include "app/MainForm.h"
#include "engine/components/KeelEngine.h"
#include "help/MessageDialog.h"
#include "ui_MainForm.h"

using mindrel::TMainForm;
using mindrel::TMessageDialog;

namespace {

const std::string kProgramFolder = MINDREL_BIN_DIR "/";
const mindrel::FixedClock kToday(mindrel::CivilDate{2026, 12, 10});

// Ann and Bert with their daughter Cora and son Dan; Dan married Eve, whose
// father is Fred; Gus is nobody's relative. Every birthday and the wedding
// fall within the 30 days after 10 December 2026.
constexpr const char* kFamily =
    "0 HEAD\n1 CHAR UTF-8\n1 GEDC\n2 VERS 5.5.1\n"
    "0 @I1@ INDI\n1 NAME Ann /Quillfeather/\n1 SEX F\n1 BIRT\n2 DATE 12 DEC 1950\n"
    "0 @I2@ INDI\n1 NAME Bert /Quillfeather/\n1 SEX M\n1 BIRT\n2 DATE 15 DEC 1948\n"
    "0 @I3@ INDI\n1 NAME Cora /Quillfeather/\n1 SEX F\n1 BIRT\n2 DATE 14 DEC 1980\n"
    "0 @I4@ INDI\n1 NAME Dan /Quillfeather/\n1 SEX M\n1 BIRT\n2 DATE 16 DEC 1982\n"
    "0 @I5@ INDI\n1 NAME Eve /Marsh/\n1 SEX F\n1 BIRT\n2 DATE 20 DEC 1984\n"
    "0 @I6@ INDI\n1 NAME Fred /Marsh/\n1 SEX M\n1 BIRT\n2 DATE 22 DEC 1950\n"
    "0 @I7@ INDI\n1 NAME Gus /Ostler/\n1 SEX M\n1 BIRT\n2 DATE 24 DEC 1960\n"
    "0 @F1@ FAM\n1 HUSB @I2@\n1 WIFE @I1@\n1 CHIL @I3@\n1 CHIL @I4@\n1 MARR\n2 DATE 18 DEC 1975\n"
    "0 @F2@ FAM\n1 HUSB @I4@\n1 WIFE @I5@\n"
    "0 @F3@ FAM\n1 HUSB @I6@\n1 CHIL @I5@\n"
    "0 TRLR\n";

}  // namespace

class HomePersonTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    UsePrivateHome(home_.path());
    gedcom_ = home_.path() + "/family.ged";
    std::ofstream(gedcom_.toStdString(), std::ios::binary) << kFamily;
    keel::TKeelEngine::Acquire();
  }
  void cleanupTestCase() { keel::TKeelEngine::Release(); }

  void init() {
    QVERIFY(data_.emplace().isValid());
    qputenv("MINDREL_DATA_DIR", data_->path().toUtf8());
  }
  void cleanup() { QVERIFY(!TMessageDialog::takeBackNextAnswer()); }

  void aHomePersonSetInTheWindowIsToldInTheSentences() {
    WriteSettings("");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel"});
    QVERIFY(form.FinishStart());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY_WITH_TIMEOUT(!form.animating(), 5000);
    form.Button1Click();
    QVERIFY(AnySpoken(form, QStringLiteral("Cora Quillfeather is 46 years old in 4 days")));

    QListWidget& folders = *form.ui().TallowynList;
    folders.setCurrentRow(0);
    folders.item(0)->setSelected(true);
    bool windowSeen = false;
    QTimer::singleShot(0, this, [&] {
      mindrel::THomePersonForm& window = form.HomePersonForm();
      QVERIFY(window.isVisible());
      QCOMPARE(window.windowTitle(), QStringLiteral("Set home person"));
      QCOMPARE(window.PeopleList().count(), 7);
      QCOMPARE(window.PeopleList().item(0)->text(), QStringLiteral("Marsh, Eve (1984)"));
      QTest::keyClicks(&window.FindEdit(), QStringLiteral("quill a"));
      QCOMPARE(window.PeopleList().count(), 1);
      QCOMPARE(window.PeopleList().currentItem()->text(), QStringLiteral("Quillfeather, Ann (1950)"));
      QVERIFY(window.OkButton().isEnabled());
      QVERIFY(SaveScreenshot(window, QStringLiteral("home-person-window")));
      windowSeen = true;
      QTest::keyClick(&window.FindEdit(), Qt::Key_Return);
    });
    form.SetHomePersonClick();
    QVERIFY(windowSeen);
    QCOMPARE(folders.item(0)->text(), gedcom_ + QStringLiteral("  (home person: Quillfeather, Ann (1950))"));

    form.Button1Click();
    for (const char* sentence :
         {"Sat 12 Dec Ann Quillfeather, you, is 76 years old in 2 days",
          "Mon 14 Dec Cora Quillfeather, your daughter, is 46 years old in 4 days",
          "Tue 15 Dec Bert Quillfeather, your husband, is 78 years old in 5 days",
          "Fri 18 Dec It's the 51st wedding anniversary of Bert Quillfeather = Ann Quillfeather, your husband and you, "
          "in 8 days",
          "Sun 20 Dec Eve Marsh, your daughter-in-law, is 42 years old in 10 days",
          "Thu 24 Dec Gus Ostler is 66 years old in 14 days"}) {
      QVERIFY2(Spoken(form).contains(QString::fromUtf8(sentence)), sentence);
    }

    // Relatives only: the son's father-in-law and the stranger go.
    QComboBox& limit = *form.ui().FamilyCombo;
    QVERIFY(!form.ui().DegreesSpin->isEnabled());
    limit.setCurrentIndex(1);
    form.Button1Click();
    QVERIFY(!AnySpoken(form, QStringLiteral("Gus Ostler")));
    QVERIFY(!AnySpoken(form, QStringLiteral("Fred Marsh")));
    QVERIFY(AnySpoken(form, QStringLiteral("Eve Marsh, your daughter-in-law")));
    QVERIFY(SaveScreenshot(form, QStringLiteral("main-window-relationships")));
    // Blood relatives within one degree: the husband and the daughter-in-law
    // go, the couple stays for Ann's sake.
    limit.setCurrentIndex(2);
    QVERIFY(form.ui().DegreesSpin->isEnabled());
    form.ui().DegreesSpin->setValue(1);
    form.Button1Click();
    QVERIFY(!AnySpoken(form, QStringLiteral("Bert Quillfeather, your husband, is")));
    QVERIFY(!AnySpoken(form, QStringLiteral("Eve Marsh")));
    QVERIFY(AnySpoken(form, QStringLiteral("Cora Quillfeather, your daughter")));
    QVERIFY(AnySpoken(form, QStringLiteral("wedding anniversary of Bert Quillfeather = Ann Quillfeather")));

    const mindrel::TSettings settings = form.CollectSettings();
    QCOMPARE(settings.HomePeople.at(gedcom_.toStdString()), 1);
    QCOMPARE(settings.Limit, mindrel::TFamilyLimit::BloodRelatives);
    QCOMPARE(settings.Degrees, 1);
  }

  void everyNewControlHasANameAndAKeyboardPath() {
    WriteSettings("");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel"});
    QCOMPARE(form.ui().FamilyCombo->accessibleName(), QStringLiteral("Limit the list to my family"));
    QCOMPARE(form.ui().FamilyLabel->buddy(), form.ui().FamilyCombo);
    QCOMPARE(form.ui().DegreesSpin->accessibleName(), QStringLiteral("Degrees of kinship"));
    QCOMPARE(form.ui().DegreesLabel->buddy(), form.ui().DegreesSpin);
    QVERIFY(form.ui().FamilyLabel->text().contains(QLatin1Char('&')));
    QVERIFY(form.ui().DegreesLabel->text().contains(QLatin1Char('&')));
    mindrel::THomePersonForm& window = form.HomePersonForm();
    for (QWidget* control : std::initializer_list<QWidget*>{&window.FindEdit(), &window.PeopleList(),
                                                           &window.OkButton(), &window.NoHomeButton()}) {
      QVERIFY(!control->accessibleName().isEmpty());
    }
    QVERIFY(window.NoHomeButton().text().contains(QLatin1Char('&')));
  }

  // A home person the tree has lost is dropped with a message at the scan,
  // and the "No home person" button takes a setting away.
  void aLostHomePersonIsDroppedAndNoHomePersonClears() {
    WriteSettings("Home0=99\n");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel"});
    QListWidget& folders = *form.ui().TallowynList;
    QVERIFY(folders.item(0)->text().contains(QStringLiteral("[P99] not in the tree")));
    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    form.Button1Click();
    QVERIFY(TMessageDialog::lastText().contains(QStringLiteral("[P99]")));
    QCOMPARE(folders.item(0)->text(), gedcom_);
    QVERIFY(form.CollectSettings().HomePeople.empty());
    QVERIFY(AnySpoken(form, QStringLiteral("Ann Quillfeather is 76 years old in 2 days")));

    folders.setCurrentRow(0);
    folders.item(0)->setSelected(true);
    QTimer::singleShot(0, this, [&] {
      QTest::keyClicks(&form.HomePersonForm().FindEdit(), QStringLiteral("gus"));
      form.HomePersonForm().OkButton().click();
    });
    form.SetHomePersonClick();
    QCOMPARE(form.CollectSettings().HomePeople.at(gedcom_.toStdString()), 7);
    QTimer::singleShot(0, this, [&] { form.HomePersonForm().NoHomeButton().click(); });
    form.SetHomePersonClick();
    QVERIFY(form.CollectSettings().HomePeople.empty());
    QCOMPARE(folders.item(0)->text(), gedcom_);
  }

 private:
  void WriteSettings(const std::string& extra) {
    std::ofstream((data_->path() + "/Mindrel.INI").toStdString(), std::ios::binary)
        << "[Prefs]\nNDBs=1\nDB0=\"" << gedcom_.toStdString() << "\"\n" << extra << "Days=30\nAudio=no\n";
  }

  static QStringList Spoken(TMainForm& form) { return SpokenAlerts(*form.ui().OutputList); }

  static bool AnySpoken(TMainForm& form, const QString& part) {
    return SpokenAlertIndex(*form.ui().OutputList, part) >= 0;
  }

  QTemporaryDir home_;
  std::optional<QTemporaryDir> data_;
  QString gedcom_;
};

QTEST_MAIN(HomePersonTest)
#include "HomePersonTest.moc"
