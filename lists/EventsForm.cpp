#include "lists/EventsForm.h"

#include <QLocale>
#include <QScreen>

#include "engine/components/DatabaseError.h"
#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"
#include "help/MessageDialog.h"
#include "ui_EventsForm.h"

namespace mindrel {

namespace {

constexpr int kInvalidDateHelp = 506;

std::vector<TDataGridWidget::Column> EventColumns() {
  return {{QStringLiteral("Description"), QStringLiteral("Description"), {381, 200}},
          {QStringLiteral("Event date D"), QStringLiteral("Date"), {151, 100}}};
}

std::string ShortMonthName(int month) { return QLocale().monthName(month, QLocale::ShortFormat).toStdString(); }

}  // namespace

TEventsForm::TEventsForm(keel::TKeelTable& table, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TEventsForm>()), events_(table, &ShortMonthName) {
  ui_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
  setFixedSize(size());

  TDataGridWidget& grid = *ui_->DBGrid1;
  grid.setDataSet(table, EventColumns());
  grid.setShowGrid(true);
  grid.setIndicatorColumn(true);
  grid.sectionHeader().setBoldSection([this] { return events_.BoldSection(); });
  grid.sectionHeader().setProperty("helpContext", 312);
  grid.sectionHeader().setAccessibleName(QStringLiteral("Added events order"));
  connect(&grid.sectionHeader(), &QHeaderView::sectionClicked, this, &TEventsForm::HeaderControl1SectionClick);
  connect(&grid, &TDataGridWidget::currentRecordChanged, this, &TEventsForm::ShowRecord);
  connect(&grid, &TDataGridWidget::dataSetChanged, this, &TEventsForm::DataSetChanged);
  connect(&grid, &TDataGridWidget::deleteRequested, this, &TEventsForm::DBGrid1DeleteRequested);

  // Every post, whoever asks for it, completes the record first; a date that
  // does not exist stops the post and leaves the record in edit.
  table.BeforePost = [this](keel::TKeelDataSet&) {
    if (!CompleteRecord()) throw keel::EAbort();
  };

  for (QSpinBox* spin : {ui_->DaySpin, ui_->MonthSpin, ui_->YearSpin}) {
    connect(spin, &QSpinBox::valueChanged, this, &TEventsForm::SpinChange);
  }
  // Whoever checks a radio button (a click, the keyboard, an assistive
  // tool's toggle) changes the event's type.
  for (QRadioButton* radio : {ui_->FixedRB, ui_->AnnualRB}) {
    connect(radio, &QRadioButton::toggled, this, [this](bool checked) {
      if (checked) RadioClick();
    });
  }
  connect(ui_->DescDBEdit, &QLineEdit::textEdited, this, &TEventsForm::DescriptionEdited);
  connect(ui_->AddBtn, &QPushButton::clicked, this, &TEventsForm::AddBtnClick);
  connect(ui_->UpdateBtn, &QPushButton::clicked, this, &TEventsForm::UpdateBtnClick);
  connect(ui_->UndoBtn, &QPushButton::clicked, this, &TEventsForm::UndoBtnClick);
  connect(ui_->DeleteBtn, &QPushButton::clicked, this, &TEventsForm::DeleteBtnClick);
  connect(ui_->CloseBtn, &QPushButton::clicked, this, &TEventsForm::reject);
}

TEventsForm::~TEventsForm() { events_.Table().BeforePost = nullptr; }

void TEventsForm::showEvent(QShowEvent* event) {
  if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
  QDialog::showEvent(event);
  ShowRecord();
  DataSetChanged();
}

TEventInputs TEventsForm::Inputs() const {
  return {ui_->AnnualRB->isChecked(), ui_->DaySpin->value(), ui_->MonthSpin->value(), ui_->YearSpin->value()};
}

bool TEventsForm::CompleteRecord() {
  if (events_.CompleteRecord(Inputs())) return true;
  TMessageDialog::show(this, TMessageDialog::Kind::Warning, {QStringLiteral("Invalid date")}, QMessageBox::Ok,
                       kInvalidDateHelp);
  return false;
}

void TEventsForm::ShowRecord() {
  loading_ = true;
  const TEventInputs shown = events_.HasRecords() || events_.Editing() ? events_.ShownInputs(Inputs()) : Inputs();
  (shown.Annual ? ui_->AnnualRB : ui_->FixedRB)->setChecked(true);
  ui_->YearLabel->setEnabled(!shown.Annual);
  ui_->YearSpin->setEnabled(!shown.Annual);
  ui_->YearSpin->setValue(shown.Year);
  ui_->DaySpin->setValue(shown.Day);
  ui_->MonthSpin->setValue(shown.Month);
  const keel::TKeelField* description = events_.Table().FindField("Description");
  const QString text = description == nullptr ? QString() : QString::fromStdString(description->AsString());
  if (ui_->DescDBEdit->text() != text) ui_->DescDBEdit->setText(text);
  ui_->DeleteBtn->setEnabled(events_.HasRecords());
  loading_ = false;
}

void TEventsForm::DataSetChanged() {
  const bool editing = events_.Editing();
  ui_->UpdateBtn->setEnabled(editing);
  ui_->UndoBtn->setEnabled(editing);
  if (!editing) ui_->DeleteBtn->setEnabled(events_.HasRecords());
}

void TEventsForm::SpinChange() {
  if (loading_) return;
  keel::TKeelTable& table = events_.Table();
  if (table.State() == keel::TDataSetState::dsBrowse) table.Edit();
  if (events_.Editing()) CompleteRecord();
}

void TEventsForm::RadioClick() {
  const bool fixed = ui_->FixedRB->isChecked();
  ui_->YearLabel->setEnabled(fixed);
  ui_->YearSpin->setEnabled(fixed);
  SpinChange();
}

void TEventsForm::DescriptionEdited(const QString& text) {
  keel::TKeelTable& table = events_.Table();
  if (table.State() == keel::TDataSetState::dsBrowse) table.Edit();
  table.FieldByName("Description").SetAsString(text.toStdString());
}

void TEventsForm::AddBtnClick() {
  events_.Table().Append();
  ui_->DescDBEdit->setFocus();
}

void TEventsForm::UpdateBtnClick() {
  try {
    events_.Table().Post();
  } catch (const keel::EAbort&) {
    // The warning has been shown; the record stays in edit.
  }
}

void TEventsForm::UndoBtnClick() {
  if (events_.Editing()) events_.Table().Cancel();
  ui_->UpdateBtn->setEnabled(false);
  ui_->UndoBtn->setEnabled(false);
  ui_->DeleteBtn->setEnabled(events_.HasRecords());
}

void TEventsForm::DeleteBtnClick() {
  if (events_.HasRecords()) events_.Table().Delete();
  ui_->DeleteBtn->setEnabled(events_.HasRecords());
  ui_->UpdateBtn->setEnabled(false);
  ui_->UndoBtn->setEnabled(false);
}

// A row deleted in the grid goes only when the user says so.
void TEventsForm::DBGrid1DeleteRequested() {
  if (!events_.HasRecords() || events_.Editing()) return;
  const QString description = QString::fromStdString(events_.Table().FieldByName("Description").AsString());
  const auto answer = TMessageDialog::show(this, TMessageDialog::Kind::Confirmation,
                                           {QStringLiteral("Delete the event \"%1\"?").arg(description)},
                                           QMessageBox::Yes | QMessageBox::No);
  if (answer == QMessageBox::Yes) DeleteBtnClick();
}

void TEventsForm::HeaderControl1SectionClick(int section) {
  events_.SelectOrder(section);
  ui_->DBGrid1->sectionHeader().viewport()->update();
}

void TEventsForm::reject() {
  if (events_.Editing()) {
    const auto answer = TMessageDialog::show(
        this, TMessageDialog::Kind::Confirmation,
        {QStringLiteral("The current event is being edited."), QStringLiteral("Do you want to save the changes to this event?")},
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return;
    if (answer == QMessageBox::Yes) {
      try {
        events_.Table().Post();
      } catch (const keel::EAbort&) {
        return;
      }
    } else {
      events_.Table().Cancel();
    }
  }
  QDialog::reject();
}

}  // namespace mindrel
