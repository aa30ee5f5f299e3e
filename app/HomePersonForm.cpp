#include "app/HomePersonForm.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace mindrel {

namespace {

constexpr int kHelpContext = 132;
constexpr int kCodeRole = Qt::UserRole;

}  // namespace

THomePersonForm::THomePersonForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowContextHelpButtonHint) {
  setObjectName(QStringLiteral("HomePersonForm"));
  setWindowTitle(QStringLiteral("Set home person"));
  setProperty("helpContext", kHelpContext);
  resize(380, 420);

  sourceLabel_ = new QLabel(this);
  sourceLabel_->setWordWrap(true);
  findEdit_ = new QLineEdit(this);
  findEdit_->setObjectName(QStringLiteral("FindEdit"));
  findEdit_->setAccessibleName(QStringLiteral("Find a person"));
  findEdit_->setPlaceholderText(QStringLiteral("Surname and first names"));
  findEdit_->setProperty("helpContext", kHelpContext);
  auto* findLabel = new QLabel(QStringLiteral("&Find:"), this);
  findLabel->setBuddy(findEdit_);
  peopleList_ = new QListWidget(this);
  peopleList_->setObjectName(QStringLiteral("PeopleList"));
  peopleList_->setAccessibleName(QStringLiteral("People"));
  peopleList_->setProperty("helpContext", kHelpContext);
  auto* peopleLabel = new QLabel(QStringLiteral("&People:"), this);
  peopleLabel->setBuddy(peopleList_);
  countLabel_ = new QLabel(this);

  auto* buttons = new QDialogButtonBox(this);
  okButton_ = buttons->addButton(QDialogButtonBox::Ok);
  okButton_->setAccessibleName(QStringLiteral("OK"));
  noHomeButton_ = buttons->addButton(QStringLiteral("&No home person"), QDialogButtonBox::ResetRole);
  noHomeButton_->setAccessibleName(QStringLiteral("No home person"));
  QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
  cancel->setAccessibleName(QStringLiteral("Cancel"));

  auto* findRow = new QHBoxLayout;
  findRow->addWidget(findLabel);
  findRow->addWidget(findEdit_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sourceLabel_);
  layout->addLayout(findRow);
  layout->addWidget(peopleLabel);
  layout->addWidget(peopleList_, 1);
  layout->addWidget(countLabel_);
  layout->addWidget(buttons);

  connect(findEdit_, &QLineEdit::textChanged, this, &THomePersonForm::ShowMatches);
  connect(peopleList_, &QListWidget::currentRowChanged, this,
          [this](int row) { okButton_->setEnabled(row >= 0); });
  connect(peopleList_, &QListWidget::itemActivated, this, &THomePersonForm::Choose);
  connect(okButton_, &QPushButton::clicked, this, &THomePersonForm::Choose);
  connect(noHomeButton_, &QPushButton::clicked, this, &THomePersonForm::ChooseNobody);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  // The arrow keys walk the list while the typing stays in the find box.
  findEdit_->installEventFilter(this);
}

bool THomePersonForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == findEdit_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
      QCoreApplication::sendEvent(peopleList_, event);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

int THomePersonForm::Execute(const QString& sourceName, const TPersonDirectory& directory,
                             std::optional<std::int32_t> current) {
  directory_ = &directory;
  current_ = current;
  chosen_.reset();
  QString text = QStringLiteral("The person of \"%1\" whose relatives the alerts name.").arg(sourceName);
  if (!directory.Message().empty()) text += QStringLiteral("\nNot every person could be read: %1").arg(QString::fromStdString(directory.Message()));
  sourceLabel_->setText(text);
  findEdit_->clear();
  ShowMatches();
  findEdit_->setFocus();
  const int result = exec();
  directory_ = nullptr;
  return result;
}

void THomePersonForm::ShowMatches() {
  peopleList_->clear();
  if (directory_ == nullptr) return;
  const auto matches = directory_->Find(findEdit_->text().toStdString(), kMaxShown + 1);
  const std::size_t shown = std::min(matches.size(), kMaxShown);
  int selected = shown > 0 ? 0 : -1;
  for (std::size_t i = 0; i < shown; ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(TPersonDirectory::Label(*matches[i])), peopleList_);
    item->setData(kCodeRole, matches[i]->Code);
    if (current_ && matches[i]->Code == *current_) selected = static_cast<int>(i);
  }
  peopleList_->setCurrentRow(selected);
  okButton_->setEnabled(selected >= 0);
  countLabel_->setText(matches.size() > kMaxShown
                           ? QStringLiteral("The first %1 people shown: type more of the name.").arg(kMaxShown)
                           : QStringLiteral("%1 of %2 people").arg(shown).arg(directory_->People().size()));
}

void THomePersonForm::Choose() {
  const QListWidgetItem* item = peopleList_->currentItem();
  if (item == nullptr) return;
  chosen_ = item->data(kCodeRole).toInt();
  accept();
}

void THomePersonForm::ChooseNobody() {
  chosen_.reset();
  accept();
}

}  // namespace mindrel
