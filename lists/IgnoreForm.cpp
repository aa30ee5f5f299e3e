#include "lists/IgnoreForm.h"

#include <QMenu>
#include <QScreen>

#include "engine/components/KeelTable.h"
#include "help/MessageDialog.h"
#include "ui_IgnoreForm.h"

namespace mindrel {

namespace {

// Every section is at least this wide.
constexpr int kMinSectionWidth = 40;

std::vector<TDataGridWidget::Column> IgnoreColumns() {
  return {{QStringLiteral("DBCode"), QStringLiteral("Code"), {130, kMinSectionWidth}},
          {QStringLiteral("Surname"), QStringLiteral("Surname"), {110, kMinSectionWidth}},
          {QStringLiteral("Firstnames"), QStringLiteral("Firstnames"), {130, kMinSectionWidth}},
          {QStringLiteral("Birth dateD"), QStringLiteral("Birth date"), {90, kMinSectionWidth}},
          {QStringLiteral("Birth place"), QStringLiteral("Birth place"), {200, kMinSectionWidth}}};
}

}  // namespace

TIgnoreForm::TIgnoreForm(keel::TKeelTable& table, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TIgnoreForm>()), list_(table) {
  ui_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
  setFixedSize(size());
  ui_->EventsEdit->setBackgroundRole(QPalette::Button);
  ui_->EventsEdit->setStyleSheet(QStringLiteral("QLineEdit { background: palette(button); }"));

  TDataGridWidget& grid = *ui_->DBGrid1;
  grid.setDataSet(table, IgnoreColumns());
  grid.sectionHeader().setBoldSection([this] { return list_.BoldSection(); });
  grid.sectionHeader().setProperty("helpContext", 402);
  grid.sectionHeader().setAccessibleName(QStringLiteral("Ignore list order"));
  connect(&grid.sectionHeader(), &QHeaderView::sectionClicked, this, &TIgnoreForm::HeaderControl1SectionClick);
  connect(&grid, &TDataGridWidget::currentRecordChanged, this, &TIgnoreForm::RefreshControls);

  popup_ = new QMenu(this);
  ignoreAll_ = popup_->addAction(QStringLiteral("Ignore &all events"), this, &TIgnoreForm::AllBtnClick);
  popup_->addSeparator();
  reinstate_ = popup_->addAction(QStringLiteral("&Reinstate person"), this, &TIgnoreForm::ReinstateBtnClick);
  reinstateAll_ = popup_->addAction(QStringLiteral("R&einstate all..."), this, &TIgnoreForm::Reinstateall1Click);
  for (QWidget* owner : {static_cast<QWidget*>(this), static_cast<QWidget*>(&grid),
                         static_cast<QWidget*>(&grid.sectionHeader())}) {
    owner->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(owner, &QWidget::customContextMenuRequested, this,
            [this, owner](const QPoint& at) { popup_->exec(owner->mapToGlobal(at)); });
  }

  connect(ui_->AllBtn, &QPushButton::clicked, this, &TIgnoreForm::AllBtnClick);
  connect(ui_->ReinstateBtn, &QPushButton::clicked, this, &TIgnoreForm::ReinstateBtnClick);
  connect(ui_->BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  RefreshControls();
}

TIgnoreForm::~TIgnoreForm() = default;

void TIgnoreForm::showEvent(QShowEvent* event) {
  if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
  if (list_.Table().Active()) list_.Table().First();
  RefreshControls();
  QDialog::showEvent(event);
}

void TIgnoreForm::RefreshControls() {
  ui_->EventsEdit->setText(QString::fromStdString(list_.EventsText()));
  ui_->AllBtn->setEnabled(list_.CanIgnoreAll());
  ignoreAll_->setEnabled(ui_->AllBtn->isEnabled());
  ui_->ReinstateBtn->setEnabled(list_.HasRecords());
  reinstate_->setEnabled(ui_->ReinstateBtn->isEnabled());
  reinstateAll_->setEnabled(ui_->ReinstateBtn->isEnabled());
}

void TIgnoreForm::HeaderControl1SectionClick(int section) {
  list_.SelectOrder(section);
  ui_->DBGrid1->sectionHeader().viewport()->update();
}

void TIgnoreForm::AllBtnClick() {
  list_.IgnoreAllEvents();
  RefreshControls();
}

void TIgnoreForm::ReinstateBtnClick() {
  if (list_.HasRecords()) list_.Reinstate();
  RefreshControls();
}

void TIgnoreForm::Reinstateall1Click() {
  const auto answer = TMessageDialog::show(this, TMessageDialog::Kind::Confirmation,
                                           {QStringLiteral("Are you sure you want to reinstate everybody?")},
                                           QMessageBox::Yes | QMessageBox::No);
  if (answer != QMessageBox::Yes) return;
  list_.ReinstateAll();
  RefreshControls();
}

}  // namespace mindrel
