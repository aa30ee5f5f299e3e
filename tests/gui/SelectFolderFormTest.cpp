#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "ScreenshotSaver.h"
#include "app/MainForm.h"
#include "help/SelectFolderForm.h"
#include "ui_MainForm.h"

using mindrel::TSelectFolderForm;

namespace {

// Runs `step` once the modal window is up, inside its own event loop.
void WhenShown(TSelectFolderForm& picker, std::function<void()> step) {
  QTimer::singleShot(0, &picker, [&picker, step = std::move(step)] {
    if (QTest::qWaitForWindowExposed(&picker)) step();
    if (picker.isVisible()) picker.reject();
  });
}

}  // namespace

class SelectFolderFormTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(folder_.emplace().isValid()); }

  void aNewFolderIsNamedInPlaceAndOkFirstEndsTheNaming() {
    QDir base(folder_->path());
    QVERIFY(base.mkpath(QStringLiteral("trees/New folder")));
    QVERIFY(base.mkpath(QStringLiteral("trees/New folder_1")));
    const QString trees = base.filePath(QStringLiteral("trees"));
    TSelectFolderForm picker;
    QString startPath, newPath, renamingPath, afterFirstOk;
    bool renaming = false, openAfterFirstOk = false;
    WhenShown(picker, [&] {
      startPath = picker.FolderText();
      picker.SpeedButton1Click();
      newPath = picker.FolderText();
      renaming = picker.Renaming();
      auto* editor = picker.Tree().viewport()->findChild<QLineEdit*>();
      if (editor == nullptr) return;
      QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(editor, QStringLiteral("Smith family"));
      SaveScreenshot(picker, QStringLiteral("select-folder-naming"));
      picker.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
      openAfterFirstOk = picker.isVisible() && !picker.Renaming();
      QTest::qWait(100);  // the refresh timer shows the renamed folder's path
      afterFirstOk = picker.FolderText();
      picker.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    QCOMPARE(picker.Execute({}, trees.toStdString()), int(QDialog::Accepted));
    QCOMPARE(picker.windowTitle(), QStringLiteral("Select folder"));
    QCOMPARE(startPath, trees);
    QCOMPARE(newPath, trees + QStringLiteral("/New folder_2"));
    QVERIFY2(renaming, "the new folder's caption is open for typing");
    QVERIFY2(openAfterFirstOk, "the first OK only ends the naming");
    QVERIFY(QFileInfo(trees + QStringLiteral("/Smith family")).isDir());
    QVERIFY(!QFileInfo::exists(trees + QStringLiteral("/New folder_2")));
    QCOMPARE(afterFirstOk, trees + QStringLiteral("/Smith family"));
    QCOMPARE(picker.FolderText(), trees + QStringLiteral("/Smith family"));
  }

  void aMissingStartFolderLeavesTheRootSelectedAndEscapeCancels() {
    TSelectFolderForm picker;
    QString shown;
    WhenShown(picker, [&] {
      shown = picker.FolderText();
      QTest::keyClick(&picker.Tree(), Qt::Key_Escape);
    });
    QCOMPARE(picker.Execute({}, (folder_->path() + "/not-there").toStdString()), int(QDialog::Rejected));
    QCOMPARE(shown, QDir::rootPath());
  }

  void aRootFolderIsCreatedAndBecomesTheTop() {
    const QString root = folder_->path() + QStringLiteral("/made/for/picker");
    TSelectFolderForm picker;
    QModelIndex top;
    WhenShown(picker, [&] { top = picker.Tree().rootIndex(); });
    picker.Execute(root.toStdString(), {});
    QVERIFY(QFileInfo(root).isDir());
    QCOMPARE(top.data(QFileSystemModel::FilePathRole).toString(), root);
  }

  void addInTheFolderListOpensThePickerOnTheStartFolder() {
    qputenv("WINEPREFIX", (folder_->path() + "/no-wine").toUtf8());
    static const mindrel::FixedClock today(mindrel::CivilDate{2026, 12, 10});
    mindrel::TMainForm form(MINDREL_BIN_DIR "/", today);
    form.ui().TallowynList->addItem(folder_->path());
    QString caption, shown;
    WhenShown(form.SelectFolder(), [&] {
      caption = form.SelectFolder().windowTitle();
      shown = form.SelectFolder().FolderText();
    });
    form.ui().TallowynBtn->click();
    QCOMPARE(caption, QStringLiteral("Select folder"));
    QCOMPARE(shown, folder_->path());
    QCOMPARE(form.ui().TallowynList->count(), 1);
  }

 private:
  std::optional<QTemporaryDir> folder_;
};

QTEST_MAIN(SelectFolderFormTest)
#include "SelectFolderFormTest.moc"
