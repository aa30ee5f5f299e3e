#pragma once

#include <QDialog>
#include <memory>

#include "lists/AddedEventList.h"

namespace Ui {
class TEventsForm;
}

namespace keel {
class TKeelTable;
}

namespace mindrel {

// The added events window: the user's own events in a grid, the current
// one's description, type and date in the controls below, and the buttons
// that add, post, undo and delete. Shown modally from the main window.
class TEventsForm : public QDialog {
  Q_OBJECT

 public:
  // `table` is the open "Events.dat"; it must outlive the window, which
  // completes every record the table posts.
  explicit TEventsForm(keel::TKeelTable& table, QWidget* parent = nullptr);
  ~TEventsForm() override;

  Ui::TEventsForm& ui() { return *ui_; }

  void AddBtnClick();
  void UpdateBtnClick();
  void UndoBtnClick();
  void DeleteBtnClick();
  // Ctrl+Delete in the grid: asks, then deletes the current event.
  void DBGrid1DeleteRequested();

 public slots:
  // The close question; the window stays open on Cancel or a refused date.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TEventInputs Inputs() const;
  // Completes the record being edited; false (after the warning) when the
  // date does not exist.
  bool CompleteRecord();
  void ShowRecord();
  void SpinChange();
  void RadioClick();
  void DescriptionEdited(const QString& text);
  void DataSetChanged();
  void HeaderControl1SectionClick(int section);

  std::unique_ptr<Ui::TEventsForm> ui_;
  TAddedEventList events_;
  bool loading_ = false;
};

}  // namespace mindrel
