#include "app/JubileesForm.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "help/MessageDialog.h"

namespace mindrel {

namespace {

// The help topic of the "&Jubilees..." button, which the window explains.
constexpr int kJubileesHelpContext = 125;

const char* const kListLabels[TJubilees::kKinds] = {"&Birthdays", "&Wedding anniversaries", "&Other events"};

}  // namespace

TJubileesForm::TJubileesForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("JubileesForm"));
  setWindowTitle(QStringLiteral("Jubilees"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(QStringLiteral("The anniversaries that stand out in the list. Numbers separated by commas; "
                                          "*25 stands for every 25th."),
                           this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* lists = new QFormLayout;
  for (int kind = 0; kind < TJubilees::kKinds; ++kind) {
    auto* edit = new QLineEdit(this);
    const QString label = QString::fromLatin1(kListLabels[kind]);
    edit->setAccessibleName(QString(label).remove(QLatin1Char('&')));
    edit->setProperty("helpContext", kJubileesHelpContext);
    edit->setMinimumWidth(320);
    lists->addRow(label, edit);
    listEdits_[static_cast<std::size_t>(kind)] = edit;
  }
  layout->addLayout(lists);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* defaults = buttons->addButton(QStringLiteral("&Defaults"), QDialogButtonBox::ResetRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &TJubileesForm::OkBtnClick);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(defaults, &QPushButton::clicked, this, &TJubileesForm::DefaultBtnClick);
  layout->addWidget(buttons);
}

bool TJubileesForm::Execute(TJubilees& jubilees) {
  edited_ = jubilees;
  for (int kind = 0; kind < TJubilees::kKinds; ++kind) {
    listEdits_[static_cast<std::size_t>(kind)]->setText(
        QString::fromStdString(jubilees.Text(static_cast<TJubilees::Kind>(kind))));
  }
  listEdits_[0]->setFocus();
  if (exec() != QDialog::Accepted) return false;
  jubilees = edited_;
  return true;
}

void TJubileesForm::OkBtnClick() {
  TJubilees edited = edited_;
  for (int kind = 0; kind < TJubilees::kKinds; ++kind) {
    QLineEdit* edit = listEdits_[static_cast<std::size_t>(kind)];
    if (edited.SetText(static_cast<TJubilees::Kind>(kind), edit->text().toStdString())) continue;
    TMessageDialog::show(this, TMessageDialog::Kind::Warning,
                         {QStringLiteral("\"%1\" is no list of numbers.").arg(edit->text()),
                          QStringLiteral("Write numbers from 1 to 9999, separated by commas; *25 stands for every 25th.")},
                         QMessageBox::Ok, kJubileesHelpContext);
    edit->setFocus();
    return;
  }
  edited_ = edited;
  accept();
}

void TJubileesForm::DefaultBtnClick() {
  for (int kind = 0; kind < TJubilees::kKinds; ++kind) {
    listEdits_[static_cast<std::size_t>(kind)]->setText(
        QString::fromStdString(TJubilees::DefaultText(static_cast<TJubilees::Kind>(kind))));
  }
}

}  // namespace mindrel
