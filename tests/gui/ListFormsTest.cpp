// The ignore list and added events windows, and the alert list's menu that
// fills the ignore list, driven as a user would through their controls.

#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <optional>

#include "PrivateHome.h"
#include "ScreenshotSaver.h"
#include "app/AlertEntry.h"
#include "app/MainForm.h"
#include "app/AlertSession.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"
#include "lists/EventsForm.h"
#include "lists/IgnoreForm.h"
#include "help/MessageDialog.h"
#include "ui_EventsForm.h"
#include "ui_IgnoreForm.h"
#include "ui_MainForm.h"

using mindrel::TMessageDialog;


namespace {

const std::string kProgramFolder = MINDREL_BIN_DIR "/";
const mindrel::FixedClock kToday(mindrel::CivilDate{2026, 12, 10});

QStringList GridRow(const QTableView& grid, int row) {
  QStringList texts;
  for (int column = 0; column < grid.model()->columnCount(); ++column) {
    texts << grid.model()->index(row, column).data().toString();
  }
  return texts;
}

QStringList GridColumn(const QTableView& grid, int column) {
  QStringList texts;
  for (int row = 0; row < grid.model()->rowCount(); ++row) texts << grid.model()->index(row, column).data().toString();
  return texts;
}

}  // namespace

class ListFormsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { keel::TKeelEngine::Acquire(); }
  void cleanupTestCase() { keel::TKeelEngine::Release(); }

  void init() {
    QVERIFY(data_.emplace().isValid());
    session_.emplace().Initialize(data_->path().toStdString() + "/");
  }
  void cleanup() {
    QVERIFY(!TMessageDialog::takeBackNextAnswer());
    session_.reset();
  }

  void anEmptyIgnoreListOffersNothing() {
    mindrel::TIgnoreForm form(IgnoreTable());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("Ignore List"));
    QVERIFY(!form.ui().AllBtn->isEnabled());
    QVERIFY(!form.ui().ReinstateBtn->isEnabled());
    for (QAction* action : form.PopupMenu1().actions()) QVERIFY(action->isSeparator() || !action->isEnabled());
    QVERIFY(form.ui().EventsEdit->text().isEmpty());
    QCOMPARE(form.ui().DBGrid1->model()->rowCount(), 0);
  }

  void ignoreListSortsByTheClickedSection() {
    AddThreeIgnored();
    mindrel::TIgnoreForm form(IgnoreTable());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    mindrel::TDataGridWidget& grid = *form.ui().DBGrid1;
    QCOMPARE(grid.model()->rowCount(), 3);
    QCOMPARE(GridRow(grid, 0), (QStringList{"tree [P1]", "SMITH", "John", "9 Jan 1950", "York"}));

    auto& header = grid.sectionHeader();
    QCOMPARE(header.model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Birth date"));
    QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                      QPoint(header.sectionViewportPosition(3) + 10, header.height() / 2));
    QCOMPARE(IgnoreTable().IndexName(), std::string("BirthDateIdx"));
    // By day number, not by the shown text.
    QCOMPARE(GridColumn(grid, 1), (QStringList{"ADAMS", "SMITH", "JONES"}));
    // The last section fills the header.
    QCOMPARE(header.sectionPosition(4) + header.sectionSize(4), header.viewport()->width());
    QVERIFY(SaveScreenshot(form, QStringLiteral("ignore-list-by-birth-date")));
  }

  void ignoreListWidensAndReinstatesTheCurrentPerson() {
    AddThreeIgnored();
    mindrel::TIgnoreForm form(IgnoreTable());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    mindrel::TDataGridWidget& grid = *form.ui().DBGrid1;
    QCOMPARE(form.ui().EventsEdit->text(), QStringLiteral("birth"));

    ClickRow(grid, 1);
    QCOMPARE(form.ui().EventsEdit->text(), QStringLiteral("ALL EVENTS"));
    QVERIFY(!form.ui().AllBtn->isEnabled());
    ClickRow(grid, 2);
    QCOMPARE(form.ui().EventsEdit->text(), QStringLiteral("death;birth"));
    QTest::mouseClick(form.ui().AllBtn, Qt::LeftButton);
    QCOMPARE(form.ui().EventsEdit->text(), QStringLiteral("ALL EVENTS"));
    QVERIFY(!form.ui().AllBtn->isEnabled());

    QTest::mouseClick(form.ui().ReinstateBtn, Qt::LeftButton);
    QCOMPARE(GridColumn(grid, 1), (QStringList{"SMITH", "ADAMS"}));

    TMessageDialog::setNextAnswer(QMessageBox::No);
    form.Reinstateall1Click();
    QCOMPARE(TMessageDialog::lastText(), QStringLiteral("Are you sure you want to reinstate everybody?"));
    QCOMPARE(IgnoreTable().RecordCount(), 2);
    TMessageDialog::setNextAnswer(QMessageBox::Yes);
    form.Reinstateall1Click();
    QCOMPARE(IgnoreTable().RecordCount(), 0);
    QCOMPARE(grid.model()->rowCount(), 0);
    QVERIFY(!form.ui().ReinstateBtn->isEnabled());
    QVERIFY(form.ui().EventsEdit->text().isEmpty());
  }

  void addedEventsAreTypedInAsFixedAndAnnual() {
    mindrel::TEventsForm form(EventsTable());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto& ui = form.ui();
    QCOMPARE(form.windowTitle(), QStringLiteral("Added events"));
    QVERIFY(!ui.UpdateBtn->isEnabled() && !ui.UndoBtn->isEnabled() && !ui.DeleteBtn->isEnabled());

    TypeEvent(form, "End of the war", false, 8, 5, 1945);
    TypeEvent(form, "Christmas", true, 25, 12, 0);
    QCOMPARE(EventsTable().RecordCount(), 2);
    QVERIFY(!ui.UpdateBtn->isEnabled() && !ui.UndoBtn->isEnabled() && ui.DeleteBtn->isEnabled());
    // In date order: May before December.
    QCOMPARE(GridRow(*ui.DBGrid1, 0), (QStringList{"End of the war", "8 May 1945"}));
    QCOMPARE(GridRow(*ui.DBGrid1, 1), (QStringList{"Christmas", "25 Dec"}));
    EventsTable().Last();
    QCOMPARE(EventsTable().FieldByName("EventType").AsInteger(), 5);
    QCOMPARE(EventsTable().FieldByName("Event date YY").AsInteger(), 0);
    QVERIFY(ui.AnnualRB->isChecked());
    QVERIFY(!ui.YearSpin->isEnabled());
    QVERIFY(SaveScreenshot(form, QStringLiteral("added-events")));

    EventsTable().First();
    QVERIFY(ui.FixedRB->isChecked());
    QCOMPARE(ui.YearSpin->value(), 1945);
    QCOMPARE(ui.DescDBEdit->text(), QStringLiteral("End of the war"));
    QTest::mouseClick(ui.DeleteBtn, Qt::LeftButton);
    QCOMPARE(EventsTable().RecordCount(), 1);
    QTest::mouseClick(ui.DeleteBtn, Qt::LeftButton);
    QVERIFY(!ui.DeleteBtn->isEnabled());
  }

  // The grid's indicator column marks the current event and its state, and
  // Ctrl+Delete deletes a row only once the user says yes.
  void theGridMarksTheCurrentEventAndAsksBeforeDeletingIt() {
    AddEvent("Wedding", 4, 12, 6, 1990, "12 Jun 1990");
    AddEvent("Christmas", 5, 25, 12, 0, "25 Dec");
    mindrel::TEventsForm form(EventsTable());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto& ui = form.ui();
    mindrel::TDataGridWidget& grid = *ui.DBGrid1;
    QVERIFY(grid.verticalHeader()->isVisible());
    ClickRow(grid, 1);
    QCOMPARE(grid.indicatorText(1), QString(QChar(0x25B6)));
    QCOMPARE(grid.indicatorText(0), QString());
    QCOMPARE(grid.model()->headerData(1, Qt::Vertical, Qt::AccessibleTextRole).toString(), QStringLiteral("2, current"));
    ui.DaySpin->setValue(24);
    QCOMPARE(grid.indicatorText(1), QStringLiteral("I"));
    QTest::mouseClick(ui.UndoBtn, Qt::LeftButton);
    QVERIFY(SaveScreenshot(form, QStringLiteral("added-events-indicator")));

    grid.setFocus();
    TMessageDialog::setNextAnswer(QMessageBox::No);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(TMessageDialog::lastText(), QStringLiteral("Delete the event \"Christmas\"?"));
    QCOMPARE(EventsTable().RecordCount(), 2);
    TMessageDialog::setNextAnswer(QMessageBox::Yes);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(EventsTable().RecordCount(), 1);
    QCOMPARE(GridRow(grid, 0), (QStringList{"Wedding", "12 Jun 1990"}));
    QVERIFY(ui.DeleteBtn->isEnabled());

    QTest::mouseClick(ui.AddBtn, Qt::LeftButton);
    QCOMPARE(grid.indicatorText(1), QStringLiteral("*"));
    QTest::mouseClick(ui.UndoBtn, Qt::LeftButton);
  }

  void changingASpinEditOfABrowsedEventEditsWithoutPosting() {
    AddEvent("Wedding", 4, 12, 6, 1990, "12 Jun 1990");
    mindrel::TEventsForm form(EventsTable());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto& ui = form.ui();
    EventsTable().First();
    QCOMPARE(ui.DaySpin->value(), 12);
    ui.DaySpin->setValue(13);
    QCOMPARE(EventsTable().State(), keel::TDataSetState::dsEdit);
    QVERIFY(ui.UpdateBtn->isEnabled() && ui.UndoBtn->isEnabled());
    QCOMPARE(EventsTable().FieldByName("Event date D").AsString(), std::string("13 Jun 1990"));
    QTest::mouseClick(ui.UndoBtn, Qt::LeftButton);
    QCOMPARE(EventsTable().State(), keel::TDataSetState::dsBrowse);
    QCOMPARE(EventsTable().FieldByName("Event date DD").AsInteger(), 12);
    QCOMPARE(ui.DaySpin->value(), 12);
    QVERIFY(!ui.UpdateBtn->isEnabled() && !ui.UndoBtn->isEnabled() && ui.DeleteBtn->isEnabled());
  }

  void aDayThatDoesNotExistIsRefusedAtOnceAndAtPost() {
    AddEvent("Wedding", 4, 12, 5, 1990, "12 May 1990");
    mindrel::TEventsForm form(EventsTable());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto& ui = form.ui();
    EventsTable().First();
    ui.DaySpin->setValue(31);
    QCOMPARE(EventsTable().FieldByName("Event date D").AsString(), std::string("31 May 1990"));
    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    ui.MonthSpin->setValue(4);
    QVERIFY(!TMessageDialog::takeBackNextAnswer());
    QCOMPARE(TMessageDialog::lastText(), QStringLiteral("Invalid date"));
    // Nothing of the refused date is written.
    QCOMPARE(EventsTable().FieldByName("Event date MM").AsInteger(), 5);
    QCOMPARE(EventsTable().State(), keel::TDataSetState::dsEdit);

    // The post refuses it too; the real message box, as the user sees it,
    // for the picture.
    QString seen;
    QTimer::singleShot(0, this, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      seen = box->text();
      QVERIFY(box->button(QMessageBox::Help) != nullptr);
      QVERIFY(SaveScreenshot(*box, QStringLiteral("invalid-date-message")));
      box->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(ui.UpdateBtn, Qt::LeftButton);
    QCOMPARE(seen, QStringLiteral("Invalid date"));
    QCOMPARE(EventsTable().State(), keel::TDataSetState::dsEdit);
    ui.MonthSpin->setValue(7);
    QTest::mouseClick(ui.UpdateBtn, Qt::LeftButton);
    QCOMPARE(EventsTable().State(), keel::TDataSetState::dsBrowse);
    QCOMPARE(EventsTable().FieldByName("Event date D").AsString(), std::string("31 Jul 1990"));
  }

  void closingWhileEditingAsksFirst_data() {
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("staysOpen");
    QTest::addColumn<QString>("stored");
    QTest::newRow("yes posts") << QMessageBox::Yes << false << "Silver wedding";
    QTest::newRow("no cancels") << QMessageBox::No << false << "Wedding";
    QTest::newRow("cancel keeps the edit") << QMessageBox::Cancel << true << "Wedding";
  }

  void closingWhileEditingAsksFirst() {
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, staysOpen);
    QFETCH(QString, stored);
    AddEvent("Wedding", 4, 12, 6, 1990, "12 Jun 1990");
    mindrel::TEventsForm form(EventsTable());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    EventsTable().First();
    form.ui().DescDBEdit->selectAll();
    QTest::keyClicks(form.ui().DescDBEdit, QStringLiteral("Silver wedding"));
    TMessageDialog::setNextAnswer(answer);
    QTest::mouseClick(form.ui().CloseBtn, Qt::LeftButton);
    QCOMPARE(TMessageDialog::lastText(),
             QStringLiteral("The current event is being edited.\nDo you want to save the changes to this event?"));
    QCOMPARE(form.isVisible(), staysOpen);
    QCOMPARE(EventsTable().State() == keel::TDataSetState::dsEdit, staysOpen);
    if (staysOpen) QCOMPARE(form.ui().DescDBEdit->text(), QStringLiteral("Silver wedding"));
    EventsTable().Cancel();
    QCOMPARE(QString::fromStdString(EventsTable().FieldByName("Description").AsString()), stored);
  }

  void alertMenuCaptionsCountTheSelection() {
    mindrel::TMainForm form(kProgramFolder, kToday);
    form.resize(520, 360);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto& alerts = form.Alerts();
    mindrel::TLAObj day;
    mindrel::TodayJDate(day.DateRec, kToday);
    day.Year = 2026;
    for (int code : {1, 2, 3}) alerts.AddAlert(0, 1980 + code, day, code, "/trees/smith", "P", false, Person(), "&");
    alerts.AddAlert(4, 2000, day, 0, "", "AF", false, Person(), "&");
    form.RebuildIconsAndMetrics();
    form.ShowAlerts();
    QListWidget& list = *form.ui().OutputList;
    QVERIFY(list.item(0)->data(Qt::AccessibleTextRole).toString().startsWith(QStringLiteral("Thu 10 Dec ")));
    QVERIFY(list.item(0)->data(Qt::AccessibleTextRole).toString().contains(QStringLiteral("SMITH")));

    const auto captions = [&] {
      QStringList texts;
      for (QAction* action : form.PopupMenu1().actions()) texts << action->text() + (action->isEnabled() ? "" : " -");
      return texts;
    };
    form.PopupMenu1Popup();
    QCOMPARE(captions(), (QStringList{"&Ignore event -", "Ignore &all -", "Export to calendar..."}));
    for (int i = 0; i < 4; ++i) list.item(i)->setSelected(true);
    form.PopupMenu1Popup();
    QCOMPARE(captions(), (QStringList{"&Ignore event (4)", "Ignore &all (4)", "Export to calendar..."}));

    form.PopupMenu1().popup(list.viewport()->mapToGlobal(list.visualItemRect(list.item(1)).center()));
    QVERIFY(QTest::qWaitForWindowExposed(&form.PopupMenu1()));
    QVERIFY(SaveScreenshotWithMenu(form, form.PopupMenu1(), QStringLiteral("main-window-context-menu")));
    form.PopupMenu1().close();
  }

  void ignoringFromTheAlertListAndReinstating() {
    QTemporaryDir home;
    const QString tree = home.path() + "/tree";
    QVERIFY(MakeDemoTree(tree, 120, 5));
    session_.reset();
    qputenv("MINDREL_DATA_DIR", data_->path().toUtf8());
    UsePrivateHome(home.path());
    std::ofstream(data_->path().toStdString() + "/Mindrel.INI")
        << "[Prefs]\nNDBs=1\nDB0=\"" << tree.toStdString() << "\"\nExclude=yes\n";

    mindrel::TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel"});
    form.Button1Click();
    QListWidget& list = *form.ui().OutputList;
    const int before = list.count();
    int birthday = -1;
    for (int i = 0; i < form.Alerts().Count() && birthday < 0; ++i) {
      if (form.Alerts().Entry(i).Kind == "P" && form.Alerts().Entry(i).EventIndex == 0) birthday = i;
    }
    QVERIFY(birthday >= 0);
    const std::int32_t code = form.Alerts().Entry(birthday).Code;
    list.item(birthday)->setSelected(true);
    form.Ignore1Click(false);
    QCOMPARE(list.count(), before - 1);
    QCOMPARE(form.Alerts().Count(), before - 1);
    form.Button1Click();
    QCOMPARE(list.count(), before - 1);

    mindrel::TIgnoreForm& ignoreForm = form.IgnoreForm();
    ignoreForm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ignoreForm));
    QCOMPARE(ignoreForm.ui().DBGrid1->model()->rowCount(), 1);
    QVERIFY(GridRow(*ignoreForm.ui().DBGrid1, 0).at(0).endsWith(QStringLiteral("tree [P%1]").arg(code)));
    QCOMPARE(ignoreForm.ui().EventsEdit->text(), QStringLiteral("birth"));
    QTest::mouseClick(ignoreForm.ui().ReinstateBtn, Qt::LeftButton);
    QCOMPARE(ignoreForm.ui().DBGrid1->model()->rowCount(), 0);
    ignoreForm.close();

    form.Button1Click();
    QCOMPARE(list.count(), before);
  }

 private:
  class TPerson final : public mindrel::TEntrySource {
   public:
    std::string StringField(const std::string& name) const override { return name == "Surname" ? "SMITH" : "John"; }
  };
  static const TPerson& Person() {
    static const TPerson person;
    return person;
  }

  // Day numbers and shown dates disagree in order on purpose.
  void AddThreeIgnored() {
    AddIgnored(1, "SMITH", "John", 2400000, "9 Jan 1950", "York", false, "birth");
    AddIgnored(2, "ADAMS", "Mary", 2300000, "10 Mar 1700", "Bath", true, "");
    AddIgnored(3, "JONES", "Ann", 2450000, "1 Feb 2000", "Aachen", false, "death;birth");
  }

  void AddIgnored(int code, const char* surname, const char* first, int day, const char* shown, const char* place,
                  bool all, const char* events) {
    IgnoreTable().Append();
    IgnoreTable().FieldByName("DBFolder").SetAsString("/trees/tree");
    IgnoreTable().FieldByName("Code").SetAsInteger(code);
    IgnoreTable().FieldByName("DBCode").SetAsString("tree [P" + std::to_string(code) + "]");
    IgnoreTable().FieldByName("Surname").SetAsString(surname);
    IgnoreTable().FieldByName("Firstnames").SetAsString(first);
    IgnoreTable().FieldByName("Birth date").SetAsInteger(day);
    IgnoreTable().FieldByName("Birth dateD").SetAsString(shown);
    IgnoreTable().FieldByName("Birth place").SetAsString(place);
    IgnoreTable().FieldByName("AllEvents").SetAsBoolean(all);
    if (*events != '\0') IgnoreTable().FieldByName("Events").SetAsString(events);
    IgnoreTable().Post();
  }

  void AddEvent(const char* description, int type, int day, int month, int year, const char* shown) {
    EventsTable().Append();
    EventsTable().FieldByName("Description").SetAsString(description);
    EventsTable().FieldByName("EventType").SetAsInteger(type);
    EventsTable().FieldByName("Event date DD").SetAsInteger(day);
    EventsTable().FieldByName("Event date MM").SetAsInteger(month);
    EventsTable().FieldByName("Event date YY").SetAsInteger(year);
    EventsTable().FieldByName("Event date D").SetAsString(shown);
    EventsTable().Post();
  }

  static void ClickRow(QTableView& grid, int row) {
    const QRect cell = grid.visualRect(grid.model()->index(row, 1));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
  }

  static void TypeEvent(mindrel::TEventsForm& form, const QString& description, bool annual, int day, int month,
                        int year) {
    auto& ui = form.ui();
    QTest::mouseClick(ui.AddBtn, Qt::LeftButton);
    QVERIFY(ui.UpdateBtn->isEnabled() && ui.UndoBtn->isEnabled());
    QVERIFY(ui.DescDBEdit->hasFocus() || !QApplication::focusWidget());
    QTest::keyClicks(ui.DescDBEdit, description);
    QTest::mouseClick(annual ? ui.AnnualRB : ui.FixedRB, Qt::LeftButton);
    QCOMPARE(ui.YearSpin->isEnabled(), !annual);
    ui.DaySpin->setValue(day);
    ui.MonthSpin->setValue(month);
    if (!annual) ui.YearSpin->setValue(year);
    QTest::mouseClick(ui.UpdateBtn, Qt::LeftButton);
    QCOMPARE(form.ui().DescDBEdit->text(), description);
  }

  keel::TKeelTable& IgnoreTable() { return session_->IgnoreTable(); }
  keel::TKeelTable& EventsTable() { return session_->EventsTable(); }

  std::optional<QTemporaryDir> data_;
  std::optional<mindrel::TAlertSession> session_;
};

QTEST_MAIN(ListFormsTest)
#include "ListFormsTest.moc"
