#include <QAccessible>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QSpinBox>
#include <QtTest>

#include "ScreenshotSaver.h"
#include "help/MessageDialog.h"
#include "app/AlertEntry.h"
#include "app/EntrySource.h"
#include "app/MainForm.h"
#include "ui_MainForm.h"

using mindrel::TMainForm;

namespace {

const std::string kProgramFolder = MINDREL_BIN_DIR "/";
const mindrel::FixedClock kToday(mindrel::CivilDate{2026, 12, 10});

// A record of the family-tree tables as the scan would have it positioned.
class TRecord : public mindrel::TEntrySource {
 public:
  TRecord(std::string first, std::string surname) : first_(std::move(first)), surname_(std::move(surname)) {}
  std::string StringField(const std::string& name) const override {
    if (name == "FirstNames") return first_;
    if (name == "Surname") return surname_;
    if (name == "Fathers name") return surname_ + ", " + first_;
    if (name == "Mothers name") return "BROWN, Mary";
    return {};
  }

 private:
  std::string first_, surname_;
};

mindrel::TLAObj DayFromToday(int offset) {
  mindrel::TLAObj day;
  mindrel::TodayJDate(day.DateRec, kToday);
  day.DateRec.JDay += offset;
  mindrel::TDayMonthYear dmy;
  mindrel::JDateToDMY(day.DateRec, dmy);
  day.Year = dmy.Year;
  return day;
}

// Fills the list the way a scan would: a few events on three days.
void AddSampleAlerts(TMainForm& form) {
  auto& alerts = form.Alerts();
  alerts.AddAlert(0, 1984, DayFromToday(0), 11, "/trees/smith", "P", false, TRecord("John", "SMITH"), "&");
  alerts.AddAlert(1, 1976, DayFromToday(0), 12, "/trees/smith", "F", false, TRecord("Peter", "JONES"), "&");
  alerts.AddAlert(3, 1911, DayFromToday(1), 13, "/trees/smith", "P", false, TRecord("Ada", "LOVELACE"), "&");
  alerts.AddAlert(7, 1850, DayFromToday(5), 14, "/trees/smith", "P", false, TRecord("Ann", "ORCHARD"), "&");
  form.RebuildIconsAndMetrics();
  form.ShowAlerts();
}

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  // Without fonts Qt draws every text as empty boxes and says nothing.
  void fontsAreInstalled() { QVERIFY(!QFontDatabase::families().isEmpty()); }

  void opensCaptionedWindowWithPanelHidden() {
    TMainForm form(kProgramFolder, kToday);
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
    TMainForm form(kProgramFolder, kToday);
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
    TMainForm form(kProgramFolder, kToday);
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
    TMainForm form(kProgramFolder, kToday);
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

  void listShowsSentencesIconsAndBands() {
    TMainForm form(kProgramFolder, kToday);
    form.ui().FieldsList->addItem(QStringLiteral("Baptism"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    AddSampleAlerts(form);
    QCOMPARE(form.ui().OutputList->count(), 4);
    QCOMPARE(form.windowTitle(), QStringLiteral("Mindrel for next 30 days"));
    QVERIFY(form.ui().OutputList->itemHeight() >= 54);
    QVERIFY(form.DateColWidthPixels() > 20);
    // Entries of one day share a band; the next day takes the other one.
    QCOMPARE(form.Alerts().Entry(0).Shaded, form.Alerts().Entry(1).Shaded);
    QVERIFY(form.Alerts().Entry(1).Shaded != form.Alerts().Entry(2).Shaded);
    form.ui().OutputList->item(2)->setSelected(true);
    QVERIFY(SaveScreenshot(form, QStringLiteral("main-window-alerts")));

    // The first item's band shows at its left edge, the icon's transparent
    // pixels take the band colour too.
    const QImage shot = form.ui().OutputList->viewport()->grab().toImage();
    const QColor band = form.ui().Color1Panel->palette().color(QPalette::Window);
    QCOMPARE(shot.pixelColor(2, 2), band);
    QCOMPARE(shot.pixelColor(15, form.ui().OutputList->itemHeight() / 2 - 14), band);
  }

  // The focused item shows the focus rectangle, so a keyboard user sees
  // where they are; without the keyboard's focus the list draws none.
  void focusedAlertShowsTheFocusRectangle() {
    TMainForm form(kProgramFolder, kToday);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    AddSampleAlerts(form);
    QListWidget* list = form.ui().OutputList;
    list->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    form.ui().RefreshBtn->setFocus();
    QTRY_VERIFY(!list->hasFocus());
    const QRect item = list->visualItemRect(list->item(1));
    const QImage unfocused = list->viewport()->grab(item).toImage();
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());
    const QImage focused = list->viewport()->grab(item).toImage();
    QVERIFY(focused != unfocused);
    // Only the frame changes: the middle of the item stays as it was.
    const QPoint middle(item.width() / 2, item.height() / 2);
    QCOMPARE(focused.pixelColor(middle), unfocused.pixelColor(middle));
    QVERIFY(SaveScreenshot(form, QStringLiteral("main-window-focused-alert")));
  }

  // The maximum age, the divorce rule, the leap day and the font's colour,
  // each reached from the keyboard and named for a screen reader, end up in
  // the settings.
  void scanRulesAndFontColourThroughTheKeyboard() {
    TMainForm form(kProgramFolder, kToday);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.OpenOptions();
    QTRY_VERIFY_WITH_TIMEOUT(!form.animating(), 5000);
    const auto& ui = form.ui();
    const auto spoken = [](QWidget* widget) {
      return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    // A combo box speaks its choice and is labelled by its buddy.
    const auto labelledBy = [](QWidget* widget) {
      QStringList labels;
      for (const auto& [other, relation] : QAccessible::queryAccessibleInterface(widget)->relations(QAccessible::Label)) {
        labels << other->text(QAccessible::Name);
      }
      return labels;
    };
    QCOMPARE(spoken(ui.MaxAgeSpin), QStringLiteral("Maximum age"));
    QCOMPARE(spoken(ui.DivorceCB), QStringLiteral("No wedding anniversaries after a divorce"));
    QCOMPARE(spoken(ui.LeapDayCombo), QStringLiteral("28 February"));
    QCOMPARE(labelledBy(ui.LeapDayCombo), QStringList{QStringLiteral("29 Feb in common years")});
    QCOMPARE(spoken(ui.FontColourBtn), QStringLiteral("Font colour"));
    const mindrel::TSettings defaults = form.CollectSettings();
    QCOMPARE(defaults.MaxAge, 110);
    QVERIFY(defaults.NoWeddingAfterDivorce);
    QCOMPARE(defaults.LeapDay, mindrel::TLeapDay::Feb28);

    QTest::keyClick(&form, Qt::Key_G, Qt::AltModifier);
    QTRY_VERIFY(ui.MaxAgeSpin->hasFocus());
    QTest::keyClick(ui.MaxAgeSpin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(ui.MaxAgeSpin, QStringLiteral("95"));
    QTest::keyClick(&form, Qt::Key_N, Qt::AltModifier);
    QTRY_VERIFY(!ui.DivorceCB->isChecked());
    QTest::keyClick(&form, Qt::Key_B, Qt::AltModifier);
    QTRY_VERIFY(ui.LeapDayCombo->hasFocus());
    QTest::keyClick(ui.LeapDayCombo, Qt::Key_Down);

    ui.FontColourBtn->setFocus();
    QTRY_VERIFY(ui.FontColourBtn->hasFocus());
    QTimer::singleShot(0, &form, [] {
      auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      dialog->setCurrentColor(QColor(0x10, 0x60, 0xC0));
      SaveScreenshot(*dialog, QStringLiteral("font-colour-dialog"));
      dialog->accept();
    });
    QTest::keyClick(ui.FontColourBtn, Qt::Key_Space);
    QVERIFY(SaveScreenshot(form, QStringLiteral("main-window-scan-rules")));

    const mindrel::TSettings chosen = form.CollectSettings();
    QCOMPARE(chosen.MaxAge, 95);
    QVERIFY(!chosen.NoWeddingAfterDivorce);
    QCOMPARE(chosen.LeapDay, mindrel::TLeapDay::Mar1);
    QCOMPARE(chosen.Font.Colour, mindrel::TColor{0xC06010});
    QCOMPARE(ui.FontPanel->palette().color(QPalette::WindowText), QColor(0x10, 0x60, 0xC0));

    mindrel::TSettings back = chosen;
    back.LeapDay = mindrel::TLeapDay::LeapYearsOnly;
    back.MaxAge = 120;
    back.NoWeddingAfterDivorce = true;
    form.ApplySettings(back);
    QCOMPARE(ui.LeapDayCombo->currentText(), QStringLiteral("Leap years only"));
    const mindrel::TSettings shown = form.CollectSettings();
    QCOMPARE(shown.LeapDay, back.LeapDay);
    QCOMPARE(shown.MaxAge, 120);
    QVERIFY(shown.NoWeddingAfterDivorce);
    QCOMPARE(shown.Font, back.Font);
  }

  // A jubilee (the golden wedding of the samples) is drawn in bold with a
  // star on its icon, and a screen reader says so.
  void jubileesStandOutAndAreSpokenAsSuch() {
    TMainForm form(kProgramFolder, kToday);
    form.ui().FieldsList->addItem(QStringLiteral("Baptism"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto& alerts = form.Alerts();
    alerts.AddAlert(0, 1984, DayFromToday(0), 11, "/trees/smith", "P", false, TRecord("John", "SMITH"), "&");
    alerts.AddAlert(1, 1976, DayFromToday(0), 12, "/trees/smith", "F", false, TRecord("Peter", "JONES"), "&");
    alerts.MarkJubilees(mindrel::TJubilees());
    form.RebuildIconsAndMetrics();
    form.ShowAlerts();
    QVERIFY(!alerts.Entry(0).Jubilee);
    QVERIFY(alerts.Entry(1).Jubilee);
    const QString spoken = form.ui().OutputList->item(1)->data(Qt::AccessibleTextRole).toString();
    QVERIFY2(spoken.contains(QStringLiteral(" jubilee: It's the 50th (gold) wedding anniversary")), qPrintable(spoken));
    QVERIFY(!form.ui().OutputList->item(0)->data(Qt::AccessibleTextRole).toString().contains(QStringLiteral("jubilee")));
    QVERIFY(SaveScreenshot(form, QStringLiteral("main-window-jubilee")));

    // The star sits on the lower right corner of the jubilee's icon only.
    const QImage shot = form.ui().OutputList->viewport()->grab().toImage();
    QFont dateFont = form.ui().FontPanel->font();
    dateFont.setPointSize(8);
    const int iconTop = (form.ui().OutputList->itemHeight() - 36 - QFontMetrics(dateFont).height()) / 2;
    const auto starCentre = [&form, iconTop](int row) {
      const QRect item = form.ui().OutputList->visualItemRect(form.ui().OutputList->item(row));
      return QPoint(item.left() + 15 + 32 - 6, item.top() + iconTop + 32 - 6);
    };
    QCOMPARE(shot.pixelColor(starCentre(1)), QColor(255, 196, 0));
    QVERIFY(shot.pixelColor(starCentre(0)) != QColor(255, 196, 0));
  }

  void jubileeNumbersAreEditedInTheirWindow() {
    TMainForm form(kProgramFolder, kToday);
    mindrel::TJubileesForm& window = form.JubileesForm();
    QTimer::singleShot(0, &window, [&window] {
      window.ListEdit(mindrel::TJubilees::kWeddings).setText(QStringLiteral("5, twenty"));
      mindrel::TMessageDialog::setNextAnswer(QMessageBox::Ok);
      window.OkBtnClick();
      QVERIFY(window.isVisible());
      QCOMPARE(mindrel::TMessageDialog::lastText(),
               QStringLiteral("\"5, twenty\" is no list of numbers.\n"
                              "Write numbers from 1 to 9999, separated by commas; *25 stands for every 25th."));
      QCOMPARE(window.focusWidget(), &window.ListEdit(mindrel::TJubilees::kWeddings));
      window.ListEdit(mindrel::TJubilees::kWeddings).setText(QStringLiteral("5, 20"));
      QVERIFY(SaveScreenshot(window, QStringLiteral("jubilees-window")));
      window.OkBtnClick();
    });
    form.ui().JubileeBtn->click();
    QCOMPARE(form.CollectSettings().Jubilees.Text(mindrel::TJubilees::kWeddings), std::string("5, 20"));

    QTimer::singleShot(0, &window, [&window] {
      window.DefaultBtnClick();
      window.reject();
    });
    form.ui().JubileeBtn->click();
    // Cancel keeps the numbers.
    QCOMPARE(form.CollectSettings().Jubilees.Text(mindrel::TJubilees::kWeddings), std::string("5, 20"));
  }

  void bigAlertFontMakesTallerItems() {
    TMainForm form(kProgramFolder, kToday);
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPixelSize(30);
    form.ui().FontPanel->setFont(big);
    form.RebuildIconsAndMetrics();
    QCOMPARE(form.ui().OutputList->itemHeight(), 3 * QFontMetrics(big).height());
    QVERIFY(form.ui().OutputList->itemHeight() > 54);
  }

  void settingsRoundTripThroughTheControls() {
    TMainForm form(kProgramFolder, kToday);
    mindrel::TSettings settings;
    settings.Days = 7;
    settings.Alive = false;
    settings.Partial = true;
    settings.Folders = {"/trees/a", "/trees/b"};
    settings.Color1 = 0x123456;
    settings.Font.Name = "DejaVu Serif";
    settings.Font.Size = 12;
    settings.Font.Bold = true;
    settings.Font.Colour = 0x0000FF;
    settings.Font.Script = 0;
    settings.CustColors = {"colorb=00FF00", "Swatch=123456"};
    settings.EventItems[2].Ticked = true;
    settings.EventItems.push_back({"Baptism", true});
    settings.MarkJubilees = false;
    QVERIFY(settings.Jubilees.SetText(mindrel::TJubilees::kBirthdays, "16"));
    form.ApplySettings(settings);
    QVERIFY(form.CollectSettings() == settings);

    // Only a colour changed in the dialog is written over what was read.
    QColorDialog::setCustomColor(2, QColor(0xAB, 0xCD, 0xEF));
    settings.CustColors.push_back("ColorC=EFCDAB");
    QVERIFY(form.CollectSettings() == settings);
  }

  // A face the machine lacks is drawn with the desktop's normal font, and OK
  // in the font dialog without a change keeps the face the settings name.
  void missingFontFaceFallsBackAndSurvivesAnUnchangedDialog() {
    const QString missing = QStringLiteral("No Such Face Anywhere");
    QVERIFY(!QFontDatabase::hasFamily(missing));
    TMainForm form(kProgramFolder, kToday);
    mindrel::TSettings settings;
    settings.Font.Name = missing.toStdString();
    form.ApplySettings(settings);
    QCOMPARE(form.ui().FontPanel->font().family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());

    form.ApplyChosenFont(form.ui().FontPanel->font());
    QCOMPARE(form.CollectSettings().Font, settings.Font);

    QFont other(QStringLiteral("DejaVu Serif"));
    other.setPointSize(14);
    other.setItalic(true);
    form.ApplyChosenFont(other);
    const mindrel::TFontSettings chosen = form.CollectSettings().Font;
    QCOMPARE(chosen.Name, std::string("DejaVu Serif"));
    QCOMPARE(chosen.Size, 14);
    QVERIFY(chosen.Italic);
    QCOMPARE(chosen.Colour, settings.Font.Colour);
    QCOMPARE(form.ui().FontPanel->font().family(), QStringLiteral("DejaVu Serif"));
  }

  void closingWithPanelOpenStoresHeightWithoutPanel() {
    TMainForm form(kProgramFolder, kToday);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int closedHeight = form.height();
    form.ui().OptionsBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.animating(), 5000);
    QCOMPARE(form.CollectSettings().Height, closedHeight);
  }

  void resizingDuringAnimationKeepsListHeight() {
    TMainForm form(kProgramFolder, kToday);
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
