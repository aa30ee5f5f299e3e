#include "help/SelectFolderForm.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMetaObject>
#include <QStyle>

#include "help/NewFolder.h"
#include "platform/Folders.h"

namespace mindrel {

namespace {

constexpr int kWidth = 441;
constexpr int kHeight = 339;
constexpr int kMinWidth = 340;
constexpr int kMinHeight = 170;
constexpr int kTreeIndent = 19;
constexpr int kRefreshDelayMs = 10;

int Scaled(int pixels, const QWidget* widget) { return (pixels * widget->logicalDpiX() + 48) / 96; }

}  // namespace

TSelectFolderForm::TSelectFolderForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("SelectFolderForm"));
  setWindowTitle(QStringLiteral("Select folder"));
  QFont tahoma(QStringLiteral("Tahoma"));
  tahoma.setPointSize(8);
  setFont(tahoma);

  FolderEdit = new QLineEdit(this);
  FolderEdit->setObjectName(QStringLiteral("FolderEdit"));
  FolderEdit->setAccessibleName(QStringLiteral("Selected folder"));
  FolderEdit->setReadOnly(true);
  FolderEdit->setBackgroundRole(QPalette::Button);
  QPalette face = FolderEdit->palette();
  face.setColor(QPalette::Base, face.color(QPalette::Button));
  FolderEdit->setPalette(face);

  SpeedButton1 = new QToolButton(this);
  SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
  SpeedButton1->setToolTip(QStringLiteral("New folder"));
  SpeedButton1->setAccessibleName(QStringLiteral("New folder"));
  SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));

  Model.setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  Model.setReadOnly(false);
  Model.setRootPath(QDir::rootPath());
  TreeView = new QTreeView(this);
  TreeView->setObjectName(QStringLiteral("TreeView"));
  TreeView->setAccessibleName(QStringLiteral("Folders"));
  TreeView->setModel(&Model);
  for (int column = 1; column < Model.columnCount(); ++column) TreeView->hideColumn(column);
  TreeView->header()->hide();
  TreeView->setIndentation(kTreeIndent);
  TreeView->setExpandsOnDoubleClick(false);
  TreeView->setEditTriggers(QAbstractItemView::EditKeyPressed);
  TreeView->setContextMenuPolicy(Qt::PreventContextMenu);

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("Cancel"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  // A click on OK must not take the focus from a caption being edited: the
  // edit would end before OK could tell that it was going on.
  Button1->setFocusPolicy(Qt::TabFocus);
  Button2->setFocusPolicy(Qt::TabFocus);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(8, 8, 12, 15);
  layout->addWidget(FolderEdit, 0, 0, 1, 3);
  layout->addWidget(SpeedButton1, 0, 3);
  layout->addWidget(TreeView, 1, 0, 1, 4);
  layout->addWidget(Button1, 2, 0);
  layout->addWidget(Button2, 2, 1);
  layout->setColumnStretch(2, 1);
  resize(kWidth, kHeight);
  setMinimumSize(Scaled(kMinWidth, this), Scaled(kMinHeight, this));

  RefreshTimer.setInterval(kRefreshDelayMs);
  RefreshTimer.setSingleShot(true);
  connect(&RefreshTimer, &QTimer::timeout, this, &TSelectFolderForm::RefreshTimerTimer);
  connect(&Model, &QFileSystemModel::fileRenamed, this, &TSelectFolderForm::FileRenamed);
  connect(TreeView->selectionModel(), &QItemSelectionModel::currentChanged, this, &TSelectFolderForm::ShowSelectedPath);
  connect(TreeView, &QTreeView::doubleClicked, this, &TSelectFolderForm::Button1Click);
  connect(SpeedButton1, &QToolButton::clicked, this, &TSelectFolderForm::SpeedButton1Click);
  connect(Button1, &QPushButton::clicked, this, &TSelectFolderForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

int TSelectFolderForm::Execute(const std::string& root, const std::string& start) {
  requestedRoot_ = QString::fromStdString(root);
  requestedStart_ = QString::fromStdString(start);
  pending_ = true;
  return exec();
}

void TSelectFolderForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (pending_) ShowPending();
}

void TSelectFolderForm::ShowPending() {
  pending_ = false;
  if (requestedRoot_.isEmpty()) {
    TreeView->setRootIndex(QModelIndex());
  } else {
    ForceDirectories(requestedRoot_.toStdString());
    TreeView->setRootIndex(Model.index(requestedRoot_));
  }
  TreeView->collapseAll();
  if (!requestedStart_.isEmpty() && DirectoryExists(requestedStart_.toStdString())) {
    SelectPath(requestedStart_);
  } else {
    TreeView->setCurrentIndex(Model.index(0, 0, TreeView->rootIndex()));
  }
  ShowSelectedPath();
}

void TSelectFolderForm::SelectPath(const QString& path) {
  const QModelIndex target = Model.index(path);
  if (!target.isValid()) return;
  for (QModelIndex above = target.parent(); above.isValid(); above = above.parent()) TreeView->expand(above);
  TreeView->expand(target);
  TreeView->setCurrentIndex(target);
  TreeView->scrollTo(target);
}

void TSelectFolderForm::ShowSelectedPath() {
  FolderEdit->setText(QDir::toNativeSeparators(Model.filePath(TreeView->currentIndex())));
}

void TSelectFolderForm::SpeedButton1Click() {
  const std::string parent = FolderEdit->text().toStdString();
  const std::string name = FreeFolderName(parent, SpeedButton1->toolTip().toStdString());
  const std::string path = WithTrailingSeparator(parent) + name;
  ForceDirectories(path);
  if (!DirectoryExists(path)) return;
  SelectPath(QString::fromStdString(path));
  ShowSelectedPath();
  TreeView->setFocus();
  TreeView->edit(TreeView->currentIndex());
}

// OK while a caption is edited ends the edit, keeping the typed name, and the
// window stays; the next OK closes it.
void TSelectFolderForm::Button1Click() {
  if (!Renaming()) {
    accept();
    return;
  }
  QWidget* editor = CaptionEditor();
  QMetaObject::invokeMethod(TreeView, "commitData", Q_ARG(QWidget*, editor));
  QMetaObject::invokeMethod(TreeView, "closeEditor", Q_ARG(QWidget*, editor),
                            Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
}

// The tree's caption editor lives on its viewport and is hidden the moment
// the edit ends, before it is deleted.
QWidget* TSelectFolderForm::CaptionEditor() const {
  for (QLineEdit* editor : TreeView->viewport()->findChildren<QLineEdit*>()) {
    if (editor->isVisible()) return editor;
  }
  return nullptr;
}

void TSelectFolderForm::FileRenamed(const QString& folder, const QString&, const QString& newName) {
  renamedPath_ = QDir(folder).filePath(newName);
  RefreshTimer.start();
}

void TSelectFolderForm::RefreshTimerTimer() {
  if (!renamedPath_.isEmpty()) SelectPath(renamedPath_);
  renamedPath_.clear();
  ShowSelectedPath();
}

}  // namespace mindrel
