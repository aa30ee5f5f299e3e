#pragma once

#include <QTableView>
#include <QString>
#include <vector>

#include "lists/HeaderSections.h"
#include "lists/SectionHeaderWidget.h"

namespace keel {
class TKeelDataSet;
}

namespace mindrel {

// A grid on a dataset: one row per record in the dataset's order, whole-row
// selection, no editing in the cells. The grid follows the dataset's current
// record and moves it when the user picks another row; the record being
// edited or inserted shows its values as they are typed. Its signals come
// only while it is visible; whoever listens refreshes when it shows.
class TDataGridWidget : public QTableView {
  Q_OBJECT

 public:
  struct Column {
    QString Field;
    QString Title;
    THeaderSection Section;
  };

  explicit TDataGridWidget(QWidget* parent = nullptr);
  ~TDataGridWidget() override;

  // `dataSet` must outlive the grid.
  void setDataSet(keel::TKeelDataSet& dataSet, const std::vector<Column>& columns);
  TSectionHeaderWidget& sectionHeader() { return *header_; }
  // A narrow column at the left marks the current record: an arrow while it
  // is browsed, "I" while it is edited, "*" for a new one.
  void setIndicatorColumn(bool shown);
  // The indicator's text for a row ("" for a row that is not current).
  QString indicatorText(int row) const;

 signals:
  // The dataset stands on another record, a new one or one whose edit ended
  // (not while the grid reads rows).
  void currentRecordChanged();
  // Records were added, changed or removed, or the editing state changed.
  void dataSetChanged();
  // Ctrl+Delete was pressed on the current row; whoever listens asks and
  // deletes.
  void deleteRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class Model;

  void followDataSet();
  void rowPicked(const QModelIndex& current);

  keel::TKeelDataSet* dataSet_ = nullptr;
  Model* model_ = nullptr;
  TSectionHeaderWidget* header_ = nullptr;
  bool following_ = false;
};

}  // namespace mindrel
