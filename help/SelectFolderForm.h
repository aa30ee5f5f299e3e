#pragma once

#include <QDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <string>

namespace mindrel {

// Chooses a folder of the file system, and makes and names new folders on
// the way. Created once and reused: every Execute starts from its own root
// and start folder.
class TSelectFolderForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSelectFolderForm(QWidget* parent = nullptr);

  // Shows the window modally. An empty root shows the whole file system;
  // otherwise the root is created when missing and becomes the tree's top.
  // The start folder, when it exists, is selected. Returns the dialog result;
  // after Accepted the chosen folder is FolderText().
  int Execute(const std::string& root, const std::string& start);
  QString FolderText() const { return FolderEdit->text(); }

  QTreeView& Tree() { return *TreeView; }
  // True while a folder's caption is being edited in place.
  bool Renaming() const { return CaptionEditor() != nullptr; }
  void SpeedButton1Click();
  void Button1Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* CaptionEditor() const;
  void ShowPending();
  void SelectPath(const QString& path);
  void ShowSelectedPath();
  void RefreshTimerTimer();
  void FileRenamed(const QString& folder, const QString& oldName, const QString& newName);

  QFileSystemModel Model;
  QLineEdit* FolderEdit = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QTreeView* TreeView = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QTimer RefreshTimer;
  QString requestedRoot_;
  QString requestedStart_;
  QString renamedPath_;
  bool pending_ = false;
};

}  // namespace mindrel
