#include "formats/EventEditorForm.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QStyledItemDelegate>
#include <algorithm>
#include <functional>
#include <random>

#include "help/InputDialog.h"
#include "help/MessageDialog.h"

namespace mindrel {

namespace {

constexpr int kClientWidth = 733;
constexpr int kClientHeight = 540;
constexpr int kRowHeight = 20;
constexpr int kMarkerColumn = 0;
constexpr int kNameColumn = 1;
constexpr int kTemplateColumn = 2;
constexpr int kTextColumn = 1;  // the editable column of the three small grids
const QString kMarker = QStringLiteral(">");

const char* const kSuffixLabels[TEventFormats::kSuffixRows] = {"0th", "1st", "2nd", "3rd", "4th", "5th",
                                                               "6th", "7th", "8th", "9th", "11th-19th"};

// Cell editors hand every keystroke to the grid at once, so the sample line
// follows the typing; the editor keeps its cursor and undo while it does.
// With every keystroke already stored there is no edit to revert: Escape in
// a cell closes the window, as it does anywhere else in it.
class TLiveCellDelegate : public QStyledItemDelegate {
 public:
  TLiveCellDelegate(QDialog* window, std::function<void(QLineEdit*)> opened)
      : QStyledItemDelegate(window), window_(window), opened_(std::move(opened)) {}

  bool eventFilter(QObject* editor, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      window_->reject();
      return true;
    }
    return QStyledItemDelegate::eventFilter(editor, event);
  }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      auto* self = const_cast<TLiveCellDelegate*>(this);
      connect(line, &QLineEdit::textEdited, self, [self, line] { emit self->commitData(line); });
      if (opened_) opened_(line);
    }
    return editor;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line != nullptr && line->text() == index.data(Qt::EditRole).toString()) return;
    QStyledItemDelegate::setEditorData(editor, index);
  }

 private:
  QDialog* window_;
  std::function<void(QLineEdit*)> opened_;
};

QTableWidgetItem* FixedItem(const QString& text, const QColor& face) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled);
  item->setBackground(face);
  return item;
}

QTableWidgetItem* EditableItem(const std::string& text) {
  auto* item = new QTableWidgetItem(QString::fromStdString(text));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
  return item;
}

QTableWidget* MakeGrid(QWidget* parent, const QString& name, const QString& spoken, int helpContext,
                       std::initializer_list<int> widths, QRect place) {
  auto* grid = new QTableWidget(parent);
  grid->setObjectName(name);
  grid->setAccessibleName(spoken);
  grid->setProperty("helpContext", helpContext);
  grid->setColumnCount(static_cast<int>(widths.size()));
  int column = 0;
  for (const int width : widths) grid->setColumnWidth(column++, width);
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
  grid->horizontalHeader()->setStretchLastSection(true);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
  grid->setTabKeyNavigation(true);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setGeometry(place);
  return grid;
}

// A variant's row names its case under its event's name.
QString VariantRowName(int variant) {
  const std::string& label = TEventFormats::VariantCase(variant);
  return QStringLiteral("  ") + QString::fromStdString(label.empty() ? TEventFormats::VariantLabel(variant) : label);
}

// The variants of one event (a fixed row, or the "Other date" ones), in the
// order of their cases' names.
std::vector<int> VariantsOf(int event) {
  std::vector<int> variants;
  for (int variant = 0; variant < TEventFormats::kVariantRows; ++variant) {
    if (TEventFormats::VariantEvent(variant) == event) variants.push_back(variant);
  }
  std::sort(variants.begin(), variants.end(),
            [](int a, int b) { return TEventFormats::VariantCase(a) < TEventFormats::VariantCase(b); });
  return variants;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, QPoint at, QWidget* buddy = nullptr) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->move(at);
  label->adjustSize();
  if (buddy != nullptr) label->setBuddy(buddy);
  return label;
}

}  // namespace

TEventEditorForm::TEventEditorForm(TEventFormats& formats, const Clock& clock, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowContextHelpButtonHint),
      formats_(formats),
      formatter_(formats, clock),
      sample_(clock, std::random_device{}()) {
  setObjectName(QStringLiteral("EventEditorForm"));
  setWindowTitle(QStringLiteral("Event Format Editor"));
  setFixedSize(kClientWidth, kClientHeight);
  BuildControls();
  LoadGrids();
}

TEventEditorForm::~TEventEditorForm() = default;

void TEventEditorForm::BuildControls() {
  TextGrid = MakeGrid(this, QStringLiteral("TextGrid"), QStringLiteral("Events"), 201, {10, 160, 282},
                      QRect(8, 24, 470, 290));
  TextGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  TextGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  TextGrid->setItemDelegate(new TLiveCellDelegate(this, [this](QLineEdit* editor) { CellEditorOpened(editor); }));
  MakeLabel(this, QStringLiteral("&Events"), {8, 6}, TextGrid);

  ThGrid = MakeGrid(this, QStringLiteral("ThGrid"), QStringLiteral("<th>"), 202, {55, 39},
                    QRect(490, 24, 100, (kRowHeight + 1) * TEventFormats::kSuffixRows + 4));
  ThGrid->setItemDelegate(new TLiveCellDelegate(this, {}));
  MakeLabel(this, QStringLiteral("<&th>"), {490, 6}, ThGrid);
  MatsGrid = MakeGrid(this, QStringLiteral("MatsGrid"), QStringLiteral("<material>"), 203, {30, 59},
                      QRect(600, 24, 125, (kRowHeight + 1) * TEventFormats::kSuffixRows + 4));
  MatsGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MatsGrid->setItemDelegate(new TLiveCellDelegate(this, {}));
  MakeLabel(this, QStringLiteral("<m&aterial>"), {600, 6}, MatsGrid);
  WhenGrid = MakeGrid(this, QStringLiteral("WhenGrid"), QStringLiteral("<when>"), 204, {95, 91},
                      QRect(490, 286, 235, (kRowHeight + 1) * TEventFormats::kWhenRows + 4));
  WhenGrid->setItemDelegate(new TLiveCellDelegate(this, {}));
  MakeLabel(this, QStringLiteral("<&when>"), {490, 268}, WhenGrid);

  MakeLabel(this, QStringLiteral("<dd> = number of days to anniversary"), {8, 322});
  MakeLabel(this, QStringLiteral("<mm> = number of months to anniversary"), {8, 340});
  MakeLabel(this, QStringLiteral("<yy> = number of years since event"), {8, 358});
  MakeLabel(this, QStringLiteral("<name> = name of person or added event"), {8, 376});
  MakeLabel(this, QStringLiteral("<event> = name of the event's date column"), {8, 394});
  MakeLabel(this, QStringLiteral("<relation> = relationship to the\n                   home person"), {270, 358});

  MarrEdit = new QLineEdit(this);
  MarrEdit->setObjectName(QStringLiteral("MarrEdit"));
  MarrEdit->setAccessibleName(QStringLiteral("Marriage indicator"));
  MarrEdit->setProperty("helpContext", 205);
  MarrEdit->setGeometry(130, 418, 50, 22);
  MakeLabel(this, QStringLiteral("&Marriage indicator"), {8, 422}, MarrEdit);
  CodesCB = new QCheckBox(QStringLiteral("Include c&odes"), this);
  CodesCB->setObjectName(QStringLiteral("CodesCB"));
  CodesCB->setProperty("helpContext", 206);
  CodesCB->move(200, 420);

  SampleEdit = new QLineEdit(this);
  SampleEdit->setObjectName(QStringLiteral("SampleEdit"));
  SampleEdit->setAccessibleName(QStringLiteral("Sample"));
  SampleEdit->setProperty("helpContext", 207);
  SampleEdit->setReadOnly(true);
  QPalette buttonFace = SampleEdit->palette();
  buttonFace.setColor(QPalette::Base, buttonFace.color(QPalette::Button));
  SampleEdit->setPalette(buttonFace);
  SampleEdit->setGeometry(8, 470, 470, 22);
  MakeLabel(this, QStringLiteral("Sample"), {8, 452}, SampleEdit);

  DefaultBtn = new QPushButton(QStringLiteral("&Defaults"), this);
  DefaultBtn->setObjectName(QStringLiteral("DefaultBtn"));
  DefaultBtn->setProperty("helpContext", 208);
  DefaultBtn->setGeometry(8, 505, 90, 27);
  BitBtn1 = new QPushButton(QStringLiteral("&Close"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(635, 505, 90, 27);
  // Enter in a cell ends the edit; it must not press a button as well.
  DefaultBtn->setAutoDefault(false);
  BitBtn1->setAutoDefault(false);

  connect(TextGrid, &QTableWidget::currentCellChanged, this,
          [this](int row, int column, int previousRow, int) { TextGridSelectCell(row, column, previousRow); });
  connect(TextGrid, &QTableWidget::cellClicked, this, &TEventEditorForm::RefreshSample);
  connect(TextGrid, &QTableWidget::itemChanged, this, &TEventEditorForm::TextGridCellChanged);
  connect(TextGrid, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1Popup(TextGrid->viewport()->mapToGlobal(at)); });
  connect(ThGrid, &QTableWidget::itemChanged, this, &TEventEditorForm::ThGridCellChanged);
  connect(MatsGrid, &QTableWidget::itemChanged, this, &TEventEditorForm::MatsGridCellChanged);
  connect(WhenGrid, &QTableWidget::itemChanged, this, &TEventEditorForm::WhenGridCellChanged);
  connect(MarrEdit, &QLineEdit::textEdited, this, &TEventEditorForm::MarrEditChange);
  connect(CodesCB, &QCheckBox::clicked, this, &TEventEditorForm::CodesCBClick);
  connect(DefaultBtn, &QPushButton::clicked, this, &TEventEditorForm::DefaultBtnClick);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
}

void TEventEditorForm::LoadGrids() {
  loading_ = true;
  const QColor face = palette().color(QPalette::Button);
  ThGrid->setRowCount(TEventFormats::kSuffixRows);
  for (int row = 0; row < TEventFormats::kSuffixRows; ++row) {
    ThGrid->setItem(row, 0, FixedItem(QString::fromLatin1(kSuffixLabels[row]), face));
    ThGrid->setItem(row, kTextColumn, EditableItem(formats_.Suffix(row)));
  }
  MatsGrid->setRowCount(TEventFormats::kMaterialRows);
  for (int row = 0; row < TEventFormats::kMaterialRows; ++row) {
    MatsGrid->setItem(row, 0, FixedItem(QString::number(TEventFormats::MaterialNumber(row)), face));
    MatsGrid->setItem(row, kTextColumn, EditableItem(formats_.MaterialText(row)));
  }
  WhenGrid->setRowCount(TEventFormats::kWhenRows);
  for (int row = 0; row < TEventFormats::kWhenRows; ++row) {
    WhenGrid->setItem(row, 0, FixedItem(QString::fromStdString(TEventFormats::WhenLabel(row)), face));
    WhenGrid->setItem(row, kTextColumn, EditableItem(formats_.WhenText(row)));
  }
  MarrEdit->setText(QString::fromStdString(formats_.MarriageIndicator()));
  CodesCB->setChecked(formats_.IncludeCodes());
  loading_ = false;
  LoadTextGrid();
}

void TEventEditorForm::LoadTextGrid() {
  loading_ = true;
  gridRows_.clear();
  for (int row = 0; row < TEventFormats::kFixedRows; ++row) {
    gridRows_.push_back({row, -1});
    for (const int variant : VariantsOf(row)) gridRows_.push_back({-1, variant});
  }
  for (const int variant : VariantsOf(TEventFormats::kOtherDateEvent)) gridRows_.push_back({-1, variant});
  for (int row = TEventFormats::kFixedRows; row < formats_.RowCount(); ++row) gridRows_.push_back({row, -1});

  const QColor face = palette().color(QPalette::Button);
  const int rows = static_cast<int>(gridRows_.size());
  const int current = std::max(0, TextGrid->currentRow());
  const QSignalBlocker blocker(TextGrid);
  TextGrid->setRowCount(rows);
  for (int row = 0; row < rows; ++row) {
    const TGridRow& shown = gridRows_[static_cast<std::size_t>(row)];
    const bool variant = shown.Variant >= 0;
    auto* name = FixedItem(variant ? VariantRowName(shown.Variant) : QString::fromStdString(formats_.Row(shown.FormatRow).Name), face);
    if (variant) name->setData(Qt::AccessibleTextRole, QString::fromStdString(TEventFormats::VariantLabel(shown.Variant)));
    TextGrid->setItem(row, kMarkerColumn, FixedItem(QString(), face));
    TextGrid->setItem(row, kNameColumn, name);
    TextGrid->setItem(row, kTemplateColumn, EditableItem(variant ? formats_.VariantText(shown.Variant)
                                                                 : formats_.Row(shown.FormatRow).Template));
  }
  const int marked = std::min(current, rows - 1);
  TextGrid->setCurrentCell(marked, kTemplateColumn);
  TextGrid->item(marked, kMarkerColumn)->setText(kMarker);
  loading_ = false;
}

int TEventEditorForm::GridRowOfFormat(int row) const {
  for (std::size_t i = 0; i < gridRows_.size(); ++i) {
    if (gridRows_[i].FormatRow == row) return static_cast<int>(i);
  }
  return -1;
}

int TEventEditorForm::GridRowOfVariant(int variant) const {
  for (std::size_t i = 0; i < gridRows_.size(); ++i) {
    if (gridRows_[i].Variant == variant) return static_cast<int>(i);
  }
  return -1;
}

int TEventEditorForm::CurrentFormatRow() const {
  const int row = TextGrid->currentRow();
  return row < 0 || row >= static_cast<int>(gridRows_.size()) ? -1 : gridRows_[static_cast<std::size_t>(row)].FormatRow;
}

int TEventEditorForm::Execute(int row) {
  Prepare(row);
  return exec();
}

void TEventEditorForm::Prepare(int row) {
  LoadGrids();
  MakeCurrent(row >= 0 && row < formats_.RowCount() ? row : 0);
}

// The grid opens a cell editor on a change of the current cell only while it
// is visible, so the current template is opened here for typing.
void TEventEditorForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  TextGrid->setFocus();
  TextGrid->edit(TextGrid->currentIndex());
  RefreshSample();
}

void TEventEditorForm::MakeCurrent(int row) {
  const int gridRow = std::max(0, GridRowOfFormat(row));
  TextGrid->setCurrentCell(gridRow, kTemplateColumn);
  TextGrid->scrollToItem(TextGrid->item(gridRow, kTemplateColumn));
}

// A variant's sample is an entry of its case on its event's row (no row for
// the "Other date" ones): what the list would say for such an entry,
// whatever stands in where the variant is empty.
void TEventEditorForm::RefreshSample() {
  const int gridRow = std::max(0, TextGrid->currentRow());
  if (gridRow >= static_cast<int>(gridRows_.size())) return;
  const TGridRow& current = gridRows_[static_cast<std::size_t>(gridRow)];
  std::string sentence;
  if (current.Variant < 0) {
    sample_.PrepareFor(current.FormatRow, formats_.MarriageIndicator());
    sample_.ShapeFor(-1);
    sentence = formatter_.FormatEntry(sample_.Entry(), true, {});
  } else {
    const int event = TEventFormats::VariantEvent(current.Variant);
    const int row = event == TEventFormats::kOtherDateEvent ? -1 : event;
    sample_.PrepareFor(row < 0 ? TEventFormats::kFixedRows : row, formats_.MarriageIndicator());
    sample_.ShapeFor(current.Variant);
    sentence = formatter_.FormatWithRow(sample_.Entry(), row);
  }
  SampleEdit->setText(QString::fromStdString(sentence));
  SampleEdit->setCursorPosition(0);
}

void TEventEditorForm::TextGridSelectCell(int row, int, int previousRow) {
  if (loading_ || row == previousRow) return;
  const QSignalBlocker blocker(TextGrid);
  if (QTableWidgetItem* left = TextGrid->item(previousRow, kMarkerColumn)) left->setText(QString());
  if (QTableWidgetItem* entered = TextGrid->item(row, kMarkerColumn)) entered->setText(kMarker);
  sample_.Shuffle();
  RefreshSample();
}

void TEventEditorForm::TextGridCellChanged(QTableWidgetItem* item) {
  if (loading_ || item->column() != kTemplateColumn || item->row() >= static_cast<int>(gridRows_.size())) return;
  const TGridRow& edited = gridRows_[static_cast<std::size_t>(item->row())];
  if (edited.Variant >= 0) {
    formats_.SetVariantText(edited.Variant, item->text().toStdString());
  } else {
    formats_.SetTemplate(edited.FormatRow, item->text().toStdString());
  }
  RefreshSample();
}

void TEventEditorForm::ThGridCellChanged(QTableWidgetItem* item) {
  if (loading_ || item->column() != kTextColumn) return;
  formats_.SetSuffix(item->row(), item->text().toStdString());
  RefreshSample();
}

void TEventEditorForm::MatsGridCellChanged(QTableWidgetItem* item) {
  if (loading_ || item->column() != kTextColumn) return;
  formats_.SetMaterialText(item->row(), item->text().toStdString());
  RefreshSample();
}

void TEventEditorForm::WhenGridCellChanged(QTableWidgetItem* item) {
  if (loading_ || item->column() != kTextColumn) return;
  formats_.SetWhenText(item->row(), item->text().toStdString());
  RefreshSample();
}

void TEventEditorForm::MarrEditChange(const QString& text) {
  formats_.SetMarriageIndicator(text.toStdString());
  RefreshSample();
}

void TEventEditorForm::CodesCBClick(bool ticked) {
  formats_.SetIncludeCodes(ticked);
  RefreshSample();
}

void TEventEditorForm::AddEventClick() {
  QString proposed;
  for (;;) {
    QString answer;
    if (!TInputDialog::ask(this, QStringLiteral("Add event"), QStringLiteral("Enter the field name of the new event"),
                           proposed, answer)) {
      return;
    }
    const QString name = answer.trimmed();
    if (name.isEmpty()) {
      TMessageDialog::show(this, TMessageDialog::Kind::Warning, {QStringLiteral("New event must have a name")},
                           QMessageBox::Ok);
      proposed.clear();
      continue;
    }
    if (formats_.FindRow(name.toStdString()) >= 0) {
      TMessageDialog::show(this, TMessageDialog::Kind::Warning,
                           {QStringLiteral("The event \"%1\" already exists").arg(name)}, QMessageBox::Ok);
      proposed = answer;
      continue;
    }
    const int row = formats_.AddRow(name.toStdString());
    LoadTextGrid();
    MakeCurrent(row);
    return;
  }
}

void TEventEditorForm::DeleteEventClick() {
  const int row = CurrentFormatRow();
  if (row < TEventFormats::kFixedRows) return;
  const int gridRow = TextGrid->currentRow();
  formats_.DeleteRow(row);
  LoadTextGrid();
  TextGrid->setCurrentCell(gridRow - 1, kTemplateColumn);
}

void TEventEditorForm::DefaultBtnClick() {
  const auto answer = TMessageDialog::show(
      this, TMessageDialog::Kind::Confirmation,
      {QStringLiteral("Are you sure you want to reset all the event formats and tag descriptions?")},
      QMessageBox::Yes | QMessageBox::No);
  if (answer != QMessageBox::Yes) return;
  formats_.RestoreDefaults();
  LoadGrids();
  RefreshSample();
}

void TEventEditorForm::CellEditorOpened(QLineEdit* editor) {
  cellEditor_ = editor;
  editor->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(editor, &QWidget::customContextMenuRequested, this,
          [this, editor](const QPoint& at) { PopupMenu1Popup(editor->mapToGlobal(at)); });
}

std::unique_ptr<QMenu> TEventEditorForm::MakePopupMenu() {
  auto menu = std::make_unique<QMenu>(this);
  menu->setObjectName(QStringLiteral("PopupMenu1"));
  const QPointer<QLineEdit> editor = cellEditor_;
  const bool selected = editor != nullptr && editor->hasSelectedText();
  const auto onEditor = [editor](auto action) {
    return [editor, action] {
      if (editor != nullptr) std::invoke(action, editor.data());
    };
  };
  menu->addAction(QStringLiteral("&Undo"), this, onEditor(&QLineEdit::undo))
      ->setEnabled(editor != nullptr && editor->isUndoAvailable());
  menu->addSeparator();
  menu->addAction(QStringLiteral("Cu&t"), this, onEditor(&QLineEdit::cut))->setEnabled(selected);
  menu->addAction(QStringLiteral("&Copy"), this, onEditor(&QLineEdit::copy))->setEnabled(selected);
  menu->addAction(QStringLiteral("&Paste"), this, onEditor(&QLineEdit::paste))
      ->setEnabled(editor != nullptr && !QApplication::clipboard()->text().isEmpty());
  menu->addAction(QStringLiteral("&Delete text"), this, onEditor(&QLineEdit::del))->setEnabled(selected);
  menu->addAction(QStringLiteral("Select &All"), this, onEditor(&QLineEdit::selectAll))->setEnabled(editor != nullptr);
  menu->addSeparator();
  menu->addAction(QStringLiteral("&Add event"), this, &TEventEditorForm::AddEventClick);
  const int row = CurrentFormatRow();
  const bool deletable = row >= TEventFormats::kFixedRows;
  const QString caption = deletable ? QStringLiteral("&Delete ") + QString::fromStdString(formats_.Row(row).Name)
                                    : QStringLiteral("&Delete event");
  menu->addAction(caption, this, &TEventEditorForm::DeleteEventClick)->setEnabled(deletable);
  return menu;
}

void TEventEditorForm::PopupMenu1Popup(const QPoint& globalPos) { MakePopupMenu()->exec(globalPos); }

}  // namespace mindrel
