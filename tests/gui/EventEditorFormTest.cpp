#include <QtTest>

#include "ScreenshotSaver.h"
#include "formats/EventEditorForm.h"
#include "help/InputDialog.h"
#include "help/MessageDialog.h"

using mindrel::TEventEditorForm;
using mindrel::TEventFormats;
using mindrel::TInputDialog;
using mindrel::TMessageDialog;

// The editor on its own formats, "now" being 10 June 2025, 14:30.
class EventEditorFormTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    formats_.emplace();
    editor_.emplace(*formats_, clock_);
    editor_->Prepare(0);
    editor_->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*editor_));
  }
  void cleanup() {
    QVERIFY2(!TMessageDialog::takeBackNextAnswer(), "a prepared message box answer was not used");
    QVERIFY2(!TInputDialog::takeBackNextAnswers(), "a prepared input box answer was not used");
    editor_.reset();
    formats_.reset();
  }

  void typingATemplateChangesTheSampleWithEveryKeystroke() {
    QCOMPARE(editor_->windowTitle(), QStringLiteral("Event Format Editor"));
    QTableWidget& grid = editor_->TextGridWidget();
    QCOMPARE(grid.rowCount(), 7 + TEventFormats::kVariantRows);
    QCOMPARE(grid.item(0, 0)->text(), QStringLiteral(">"));
    QCOMPARE(grid.item(editor_->GridRowOfFormat(4), 1)->text(), QStringLiteral("Added fixed"));
    QCOMPARE(grid.item(editor_->GridRowOfFormat(6), 1)->text(), QStringLiteral("Yahrzeit"));
    const int years = editor_->Sample().Years;
    QVERIFY(editor_->SampleText().startsWith(
        QStringLiteral("John SMITH, your great-grandson, is %1 years old ").arg(years)));

    QLineEdit* cell = editor_->CellEditor();
    QVERIFY2(cell != nullptr, "the template cell of the current row is open for typing");
    cell->selectAll();
    QTest::keyClicks(cell, QStringLiteral("<name> turns <yy>"));
    QCOMPARE(editor_->SampleText(), QStringLiteral("John SMITH turns %1").arg(years));
    QTest::keyClick(cell, Qt::Key_Backspace);
    QTest::keyClick(cell, Qt::Key_Backspace);
    QCOMPARE(editor_->SampleText(), QStringLiteral("John SMITH turns <y"));
    QTest::keyClicks(cell, QStringLiteral("y>!"));
    QCOMPARE(formats_->Row(0).Template, std::string("<name> turns <yy>!"));
    QVERIFY(SaveScreenshot(*editor_, QStringLiteral("event-format-editor")));

    // Escape in the cell closes the window and keeps what was typed.
    QTest::keyClick(cell, Qt::Key_Escape);
    QVERIFY(!editor_->isVisible());
    QCOMPARE(formats_->Row(0).Template, std::string("<name> turns <yy>!"));
  }

  void choosingARowMovesTheMarkerAndFitsTheSample() {
    QTableWidget& grid = editor_->TextGridWidget();
    const int addedFixed = editor_->GridRowOfFormat(4);
    grid.setCurrentCell(addedFixed, 2);
    QCOMPARE(grid.item(0, 0)->text(), QString());
    QCOMPARE(grid.item(addedFixed, 0)->text(), QStringLiteral(">"));
    // The next 7 May after 10 June 2025 is 331 days ahead, in 2026.
    QCOMPARE(editor_->SampleText(), QStringLiteral("It's the 81st anniversary of VE day in 331 days"));

    grid.setCurrentCell(editor_->GridRowOfFormat(1), 2);
    QVERIFY(editor_->SampleText().contains(QStringLiteral("of John SMITH = Jane BROWN")));
    editor_->MarrEditWidget().clear();
    QTest::keyClicks(&editor_->MarrEditWidget(), QStringLiteral("&"));
    QVERIFY(editor_->SampleText().contains(QStringLiteral("of John SMITH & Jane BROWN")));
    QCOMPARE(formats_->MarriageIndicator(), std::string("&"));

    editor_->CodesCBWidget().click();
    QVERIFY(formats_->IncludeCodes());
    QVERIFY(editor_->SampleText().contains(QStringLiteral("of [F%1] John SMITH").arg(editor_->Sample().Code)));
  }

  void smallGridsEditTheirTexts() {
    QTableWidget& when = editor_->WhenGridWidget();
    QCOMPARE(when.item(2, 0)->text(), QStringLiteral("Other"));
    when.item(0, 1)->setText(QStringLiteral("this very day"));
    when.item(1, 1)->setText(QStringLiteral("this very day"));
    when.item(2, 1)->setText(QStringLiteral("this very day"));
    QVERIFY(editor_->SampleText().endsWith(QStringLiteral("years old this very day")));
    QCOMPARE(formats_->WhenText(2), std::string("this very day"));

    QTableWidget& materials = editor_->MatsGridWidget();
    QCOMPARE(materials.item(26, 0)->text(), QStringLiteral("75"));
    materials.item(24, 1)->setText(QStringLiteral(" (oak)"));
    QCOMPARE(formats_->Material(65), std::string(" (oak)"));
    QTableWidget& suffixes = editor_->ThGridWidget();
    QCOMPARE(suffixes.item(10, 0)->text(), QStringLiteral("11th-19th"));
    suffixes.item(1, 1)->setText(QStringLiteral("ST"));
    QCOMPARE(formats_->Suffix(1), std::string("ST"));
  }

  // Every variant stands under its event with its own sample; one left empty
  // gives way to the event's own template, as the list does.
  void variantsAreShownAndEditedBesideTheirEvent() {
    QTableWidget& grid = editor_->TextGridWidget();
    for (int variant = 0; variant < TEventFormats::kVariantRows; ++variant) {
      const int row = editor_->GridRowOfVariant(variant);
      QVERIFY2(row > 0, TEventFormats::VariantLabel(variant).c_str());
      const int event = TEventFormats::VariantEvent(variant);
      if (event != TEventFormats::kOtherDateEvent) {
        QVERIFY(row > editor_->GridRowOfFormat(event));
        QVERIFY(event == 5 || row < editor_->GridRowOfFormat(event + 1));
      }
      QCOMPARE(grid.item(row, 1)->data(Qt::AccessibleTextRole).toString(),
               QString::fromStdString(TEventFormats::VariantLabel(variant)));
      QCOMPARE(grid.item(row, 2)->text(), QString::fromStdString(formats_->VariantText(variant)));
    }

    const int dead = editor_->GridRowOfVariant(TEventFormats::kMarriageDead);
    QCOMPARE(grid.item(dead, 1)->text().trimmed(), QStringLiteral("dead"));
    grid.setCurrentCell(dead, 2);
    const int years = editor_->Sample().Years;
    QVERIFY2(editor_->SampleText().startsWith(QStringLiteral("It would have been the %1").arg(years)),
             qPrintable(editor_->SampleText()));
    QVERIFY(editor_->SampleText().contains(QStringLiteral("wedding anniversary of John SMITH = Jane BROWN")));
    QVERIFY(SaveScreenshot(*editor_, QStringLiteral("event-format-editor-variant")));

    QLineEdit* cell = editor_->CellEditor();
    QVERIFY(cell != nullptr);
    cell->selectAll();
    QTest::keyClicks(cell, QStringLiteral("<name>: <yy> Jahre"));
    QCOMPARE(formats_->VariantText(TEventFormats::kMarriageDead), std::string("<name>: <yy> Jahre"));
    QCOMPARE(editor_->SampleText(), QStringLiteral("John SMITH = Jane BROWN: %1 Jahre").arg(years));
    cell->selectAll();
    QTest::keyClick(cell, Qt::Key_Delete);
    QCOMPARE(formats_->VariantText(TEventFormats::kMarriageDead), std::string());
    QVERIFY2(editor_->SampleText().startsWith(QStringLiteral("It's the %1").arg(years)), qPrintable(editor_->SampleText()));

    grid.setCurrentCell(editor_->GridRowOfVariant(TEventFormats::kOtherDateYearUnknown), 2);
    QVERIFY2(editor_->SampleText().startsWith(QStringLiteral("It's the anniversary of the Baptism of John SMITH")),
             qPrintable(editor_->SampleText()));

    QTableWidget& when = editor_->WhenGridWidget();
    QCOMPARE(when.rowCount(), TEventFormats::kWhenRows);
    QCOMPARE(when.item(TEventFormats::kWhenThisYear, 0)->text(), QStringLiteral("This year"));
  }

  void addEventRefusesEmptyAndKnownNames() {
    TInputDialog::setNextAnswer(QStringLiteral("   "));
    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    TInputDialog::setNextCancel();
    editor_->AddEventClick();
    QCOMPARE(TMessageDialog::lastText(), QStringLiteral("New event must have a name"));
    QCOMPARE(TInputDialog::lastProposed(), QString());

    TInputDialog::setNextAnswer(QStringLiteral("birth"));
    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    TInputDialog::setNextCancel();
    editor_->AddEventClick();
    QCOMPARE(TMessageDialog::lastText(), QStringLiteral("The event \"birth\" already exists"));
    QCOMPARE(TInputDialog::lastProposed(), QStringLiteral("birth"));
    QCOMPARE(formats_->RowCount(), 7);
  }

  void addedEventsCanBeDeletedFixedOnesNot() {
    std::unique_ptr<QMenu> menu;
    const auto deleteAction = [this, &menu] {
      menu = editor_->MakePopupMenu();
      return menu->actions().constLast();
    };
    QVERIFY(!deleteAction()->isEnabled());
    QCOMPARE(deleteAction()->text(), QStringLiteral("&Delete event"));

    for (const QString& name : {QStringLiteral(" Baptism "), QStringLiteral("Burial")}) {
      TInputDialog::setNextAnswer(name);
      editor_->AddEventClick();
    }
    QTableWidget& grid = editor_->TextGridWidget();
    const int baptism = editor_->GridRowOfFormat(7);
    QCOMPARE(grid.rowCount(), 9 + TEventFormats::kVariantRows);
    QCOMPARE(baptism, grid.rowCount() - 2);  // the user's rows come last
    QCOMPARE(grid.item(baptism, 1)->text(), QStringLiteral("Baptism"));
    QCOMPARE(grid.currentRow(), baptism + 1);
    QCOMPARE(grid.item(baptism + 1, 0)->text(), QStringLiteral(">"));
    QCOMPARE(grid.item(baptism, 0)->text(), QString());

    grid.setCurrentCell(editor_->GridRowOfFormat(TEventFormats::kYahrzeitRow), 2);
    QVERIFY2(!deleteAction()->isEnabled(), "the yahrzeit is a fixed event type");
    grid.setCurrentCell(baptism, 2);
    formats_->SetTemplate(8, "<name> buried");
    QCOMPARE(deleteAction()->text(), QStringLiteral("&Delete Baptism"));
    deleteAction()->trigger();
    QCOMPARE(formats_->RowCount(), 8);
    QCOMPARE(formats_->Row(7).Name, std::string("Burial"));
    QCOMPARE(formats_->Row(7).Template, std::string("<name> buried"));
    QCOMPARE(grid.currentRow(), baptism - 1);

    // Deleting the last row leaves the row above it current; a variant's row
    // is no event to delete.
    grid.setCurrentCell(baptism, 2);
    deleteAction()->trigger();
    QCOMPARE(formats_->RowCount(), 7);
    QCOMPARE(grid.currentRow(), baptism - 1);
    QCOMPARE(grid.item(baptism - 1, 0)->text(), QStringLiteral(">"));
    QVERIFY(!deleteAction()->isEnabled());
  }

  void cellEditingItemsFollowTheCellEditor() {
    QLineEdit* cell = editor_->CellEditor();
    QVERIFY(cell != nullptr);
    const auto item = [this](const QString& text) {
      const std::unique_ptr<QMenu> menu = editor_->MakePopupMenu();
      for (QAction* action : menu->actions()) {
        if (action->text() == text) return std::make_pair(action->isEnabled(), text);
      }
      return std::make_pair(false, QStringLiteral("missing ") + text);
    };
    cell->deselect();
    QCOMPARE(item(QStringLiteral("Cu&t")), std::make_pair(false, QStringLiteral("Cu&t")));
    QCOMPARE(item(QStringLiteral("&Undo")), std::make_pair(false, QStringLiteral("&Undo")));
    cell->setSelection(0, 19);  // "<name>, <relation>,"
    QCOMPARE(item(QStringLiteral("&Copy")), std::make_pair(true, QStringLiteral("&Copy")));
    const std::unique_ptr<QMenu> menu = editor_->MakePopupMenu();
    for (QAction* action : menu->actions()) {
      if (action->text() == QStringLiteral("&Delete text")) action->trigger();
    }
    QCOMPARE(formats_->Row(0).Template, std::string(" is <yy> years old <when>"));
    // A sentence keeps no blank at its edge and begins with a capital.
    QVERIFY2(editor_->SampleText().startsWith(QStringLiteral("Is ")), qPrintable(editor_->SampleText()));
    QCOMPARE(item(QStringLiteral("&Undo")), std::make_pair(true, QStringLiteral("&Undo")));
  }

  void defaultsAskAndKeepTheUsersRows() {
    TInputDialog::setNextAnswer(QStringLiteral("Baptism"));
    editor_->AddEventClick();
    formats_->SetTemplate(7, "<name> baptised");
    for (int row : {0, 5, 6}) editor_->TextGridWidget().item(editor_->GridRowOfFormat(row), 2)->setText(QStringLiteral("changed"));
    editor_->TextGridWidget().item(editor_->GridRowOfVariant(TEventFormats::kBirthDead), 2)->setText(QString());
    editor_->WhenGridWidget().item(0, 1)->setText(QStringLiteral("now"));
    editor_->MarrEditWidget().clear();
    QTest::keyClicks(&editor_->MarrEditWidget(), QStringLiteral("+"));
    editor_->CodesCBWidget().click();

    TMessageDialog::setNextAnswer(QMessageBox::No);
    editor_->DefaultBtnClick();
    QCOMPARE(TMessageDialog::lastText(),
             QStringLiteral("Are you sure you want to reset all the event formats and tag descriptions?"));
    QCOMPARE(formats_->Row(0).Template, std::string("changed"));

    TMessageDialog::setNextAnswer(QMessageBox::Yes);
    editor_->DefaultBtnClick();
    QCOMPARE(formats_->Row(0).Template, TEventFormats::DefaultTemplate(0));
    QCOMPARE(editor_->TextGridWidget().item(editor_->GridRowOfFormat(5), 2)->text(),
             QString::fromStdString(TEventFormats::DefaultTemplate(5)));
    QCOMPARE(formats_->Row(6).Template, TEventFormats::DefaultTemplate(6));
    QCOMPARE(formats_->VariantText(TEventFormats::kBirthDead), TEventFormats::DefaultVariant(TEventFormats::kBirthDead));
    QCOMPARE(editor_->TextGridWidget().item(editor_->GridRowOfVariant(TEventFormats::kBirthDead), 2)->text(),
             QString::fromStdString(TEventFormats::DefaultVariant(TEventFormats::kBirthDead)));
    QCOMPARE(formats_->Row(7).Template, std::string("<name> baptised"));
    QCOMPARE(formats_->WhenText(0), std::string("today"));
    QCOMPARE(editor_->MarrEditWidget().text(), QStringLiteral("="));
    QVERIFY2(formats_->IncludeCodes(), "the include-codes flag is no default");
    QVERIFY(editor_->CodesCBWidget().isChecked());
  }

 private:
  const mindrel::FixedClock clock_{mindrel::LocalDateTime{{2025, 6, 10}, 14, 30}};
  std::optional<TEventFormats> formats_;
  std::optional<TEventEditorForm> editor_;
};

QTEST_MAIN(EventEditorFormTest)
#include "EventEditorFormTest.moc"
