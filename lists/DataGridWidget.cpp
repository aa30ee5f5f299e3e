#include "lists/DataGridWidget.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStringList>

#include "engine/components/DatabaseError.h"
#include "engine/components/KeelDataSet.h"
#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"

namespace mindrel {

namespace {

constexpr int kIndicatorWidth = 14;

}  // namespace

// Rows are read from the dataset when the view asks for them, a run at a
// time, and kept until the dataset says its records changed. Reading moves
// the dataset and puts it back; the grid ignores its own moves.
class TDataGridWidget::Model : public QAbstractTableModel {
 public:
  Model(TDataGridWidget& grid, keel::TKeelDataSet& dataSet, const std::vector<Column>& columns)
      : QAbstractTableModel(&grid), grid_(grid), dataSet_(dataSet), columns_(columns) {
    link_ = dataSet_.AddDataLink([this](keel::TKeelDataSet&, keel::TDataEvent event) { DataEvent(event); });
    order_ = OrderName();
  }
  ~Model() override { dataSet_.RemoveDataLink(link_); }

  int rowCount(const QModelIndex& parent = {}) const override {
    if (parent.isValid() || !dataSet_.Active()) return 0;
    const auto stored = static_cast<int>(dataSet_.RecordCount());
    return stored + (dataSet_.State() == keel::TDataSetState::dsInsert ? 1 : 0);
  }

  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
  }

  // The row headers are the indicator column: the current row's mark, and
  // for a screen reader every row's number with what the mark says.
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Vertical) {
      if (role == Qt::DisplayRole) return Indicator(section);
      if (role == Qt::AccessibleTextRole) return RowSpeech(section);
      if (role == Qt::TextAlignmentRole) return Qt::AlignCenter;
      return {};
    }
    if (section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return columns_[static_cast<std::size_t>(section)].Title;
    return {};
  }

  QString Indicator(int row) const {
    if (row != CurrentRow()) return {};
    switch (dataSet_.State()) {
      case keel::TDataSetState::dsEdit:
        return QStringLiteral("I");
      case keel::TDataSetState::dsInsert:
        return QStringLiteral("*");
      default:
        return QString(QChar(0x25B6));
    }
  }

  QString RowSpeech(int row) const {
    QString speech = QString::number(row + 1);
    if (row != CurrentRow()) return speech;
    switch (dataSet_.State()) {
      case keel::TDataSetState::dsEdit:
        return speech + QStringLiteral(", being edited");
      case keel::TDataSetState::dsInsert:
        return speech + QStringLiteral(", new");
      default:
        return speech + QStringLiteral(", current");
    }
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) return {};
    if (index.row() == EditingRow()) return FieldText(index.column());
    auto cached = rows_.constFind(index.row());
    if (cached == rows_.constEnd() && dataSet_.State() == keel::TDataSetState::dsBrowse) {
      ReadRows(index.row());
      cached = rows_.constFind(index.row());
    }
    return cached == rows_.constEnd() ? QVariant() : QVariant(cached->value(index.column()));
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
  }

  bool Reading() const { return reading_; }

  // 0-based row of the current record, -1 without one.
  int CurrentRow() const {
    if (!dataSet_.Active() || (dataSet_.IsEmpty() && dataSet_.State() != keel::TDataSetState::dsInsert)) return -1;
    if (dataSet_.State() == keel::TDataSetState::dsInsert) return rowCount() - 1;
    return static_cast<int>(dataSet_.RecNo()) - 1;
  }

 private:
  static constexpr int kRowsPerRead = 32;

  int EditingRow() const {
    const auto state = dataSet_.State();
    return state == keel::TDataSetState::dsEdit || state == keel::TDataSetState::dsInsert ? CurrentRow() : -2;
  }

  QString FieldText(int column) const {
    const keel::TKeelField* field = dataSet_.FindField(columns_[static_cast<std::size_t>(column)].Field.toStdString());
    return field == nullptr ? QString() : QString::fromStdString(field->AsString());
  }

  void ReadRows(int first) const {
    reading_ = true;
    const int64_t back = dataSet_.RecNo();
    try {
      if (dataSet_.SetRecNo(first + 1)) {
        for (int row = first; row < first + kRowsPerRead && !dataSet_.Eof(); ++row) {
          QStringList texts;
          for (int column = 0; column < columnCount(); ++column) texts << FieldText(column);
          rows_.insert(row, texts);
          dataSet_.Next();
        }
      }
      if (back > 0) dataSet_.SetRecNo(back);
    } catch (...) {
      reading_ = false;
      throw;
    }
    reading_ = false;
  }

  // A table's index decides the order; another index is another row order.
  std::string OrderName() const {
    const auto* table = dynamic_cast<const keel::TKeelTable*>(&dataSet_);
    return table == nullptr ? std::string() : table->IndexName() + "|" + table->IndexFieldNames();
  }

  void DataEvent(keel::TDataEvent event) {
    if (reading_) return;
    switch (event) {
      case keel::TDataEvent::deRecordChange:
        if (EditingRow() >= 0) emit dataChanged(index(EditingRow(), 0), index(EditingRow(), columnCount() - 1));
        return;
      case keel::TDataEvent::deDataSetScroll:
        if (OrderName() != order_) break;
        // A hidden grid lets others walk the dataset undisturbed (the scan
        // does); it catches up when it shows.
        if (!grid_.isVisible()) return;
        grid_.followDataSet();
        emit grid_.currentRecordChanged();
        return;
      case keel::TDataEvent::deLayoutChange:
      case keel::TDataEvent::deDataSetChange:
        break;
    }
    order_ = OrderName();
    beginResetModel();
    rows_.clear();
    endResetModel();
    if (!grid_.isVisible()) return;
    grid_.followDataSet();
    emit grid_.dataSetChanged();
    // A record that goes into edit stays the one shown; every other change
    // (a post, a cancel, a deletion, a new record) may show another.
    if (dataSet_.State() != keel::TDataSetState::dsEdit) emit grid_.currentRecordChanged();
  }

  TDataGridWidget& grid_;
  keel::TKeelDataSet& dataSet_;
  std::vector<Column> columns_;
  int link_ = 0;
  std::string order_;
  mutable QHash<int, QStringList> rows_;
  mutable bool reading_ = false;
};

TDataGridWidget::TDataGridWidget(QWidget* parent) : QTableView(parent), header_(new TSectionHeaderWidget(this)) {
  setHorizontalHeader(header_);
  verticalHeader()->hide();
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

TDataGridWidget::~TDataGridWidget() {
  // The model leaves the dataset before the view goes.
  delete model_;
}

void TDataGridWidget::setDataSet(keel::TKeelDataSet& dataSet, const std::vector<Column>& columns) {
  delete model_;
  dataSet_ = &dataSet;
  model_ = new Model(*this, dataSet, columns);
  setModel(model_);
  std::vector<THeaderSection> sections;
  for (const Column& column : columns) sections.push_back(column.Section);
  header_->setSections(sections);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { rowPicked(current); });
  followDataSet();
}

void TDataGridWidget::setIndicatorColumn(bool shown) {
  verticalHeader()->setVisible(shown);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setFixedWidth(kIndicatorWidth);
}

QString TDataGridWidget::indicatorText(int row) const { return model_ == nullptr ? QString() : model_->Indicator(row); }

void TDataGridWidget::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
    if (model_ != nullptr && model_->CurrentRow() >= 0) emit deleteRequested();
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void TDataGridWidget::showEvent(QShowEvent* event) {
  QTableView::showEvent(event);
  followDataSet();
}

void TDataGridWidget::followDataSet() {
  if (model_ == nullptr || !isVisible()) return;
  // The indicator moves with the current record and shows its state.
  verticalHeader()->viewport()->update();
  following_ = true;
  const int row = model_->CurrentRow();
  if (row < 0) {
    selectionModel()->clear();
  } else {
    const QModelIndex current = model_->index(row, 0);
    selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(current);
  }
  following_ = false;
}

void TDataGridWidget::rowPicked(const QModelIndex& current) {
  if (following_ || model_ == nullptr || model_->Reading() || !current.isValid()) return;
  if (current.row() == model_->CurrentRow()) return;
  try {
    // Leaving a record being edited posts it first, as any move does.
    dataSet_->SetRecNo(current.row() + 1);
  } catch (const keel::EAbort&) {
    // The record stays in edit; so does the grid's row.
    followDataSet();
  }
}

}  // namespace mindrel
