#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <memory>
#include <vector>

#include "formats/EntryFormatter.h"
#include "formats/EventFormats.h"
#include "formats/SampleEntry.h"
#include "platform/Clock.h"

namespace mindrel {

// The event format editor: the formats with their variants, "<when>" texts,
// ordinal suffixes, wedding materials, marriage indicator and include-codes
// flag. Each fixed event's variants follow it in the event grid, the "Other
// date" ones come after the fixed events, and the user's date columns last.
// Its grids show the shared formats and every edit goes into them at once, so
// there is nothing to cancel; the sample line shows the current row's
// template (or, where a variant is empty, what stands in for it) applied to
// an invented entry of the row's case.
class TEventEditorForm : public QDialog {
  Q_OBJECT

 public:
  // Formats and clock must outlive the window.
  TEventEditorForm(TEventFormats& formats, const Clock& clock, QWidget* parent = nullptr);
  ~TEventEditorForm() override;

  // Shows the window modally with format row `row` current (the first row
  // when it does not exist).
  int Execute(int row = 0);
  // What Execute does before showing: the grids read the formats again and
  // format row `row` becomes current.
  void Prepare(int row);
  // The event grid's row of a format row, or of a variant; -1 when none.
  int GridRowOfFormat(int row) const;
  int GridRowOfVariant(int variant) const;

  QTableWidget& TextGridWidget() { return *TextGrid; }
  QTableWidget& ThGridWidget() { return *ThGrid; }
  QTableWidget& MatsGridWidget() { return *MatsGrid; }
  QTableWidget& WhenGridWidget() { return *WhenGrid; }
  QLineEdit& MarrEditWidget() { return *MarrEdit; }
  QCheckBox& CodesCBWidget() { return *CodesCB; }
  QString SampleText() const { return SampleEdit->text(); }
  const TOPObj& Sample() const { return sample_.Entry(); }

  void AddEventClick();
  void DeleteEventClick();
  void DefaultBtnClick();
  // Builds the context menu of the event grid as it opens at this moment.
  std::unique_ptr<QMenu> MakePopupMenu();
  // The cell editor open on the event grid, if any.
  QLineEdit* CellEditor() const { return cellEditor_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void LoadGrids();
  void LoadTextGrid();
  void RefreshSample();
  void TextGridSelectCell(int row, int column, int previousRow);
  void TextGridCellChanged(QTableWidgetItem* item);
  void ThGridCellChanged(QTableWidgetItem* item);
  void MatsGridCellChanged(QTableWidgetItem* item);
  void WhenGridCellChanged(QTableWidgetItem* item);
  void MarrEditChange(const QString& text);
  void CodesCBClick(bool ticked);
  void PopupMenu1Popup(const QPoint& globalPos);
  // Makes format row `row` current.
  void MakeCurrent(int row);
  void CellEditorOpened(QLineEdit* editor);
  // The format row of the event grid's current row; -1 on a variant's row.
  int CurrentFormatRow() const;

  // What one row of the event grid edits: a format row, or a variant.
  struct TGridRow {
    int FormatRow = -1;
    int Variant = -1;
  };

  TEventFormats& formats_;
  TEntryFormatter formatter_;
  TSampleEntry sample_;
  QTableWidget* TextGrid = nullptr;
  QTableWidget* ThGrid = nullptr;
  QTableWidget* MatsGrid = nullptr;
  QTableWidget* WhenGrid = nullptr;
  QLineEdit* MarrEdit = nullptr;
  QCheckBox* CodesCB = nullptr;
  QLineEdit* SampleEdit = nullptr;
  QPushButton* DefaultBtn = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPointer<QLineEdit> cellEditor_;
  std::vector<TGridRow> gridRows_;
  // Filling the grids from the formats is no user's edit.
  bool loading_ = false;
};

}  // namespace mindrel
