#include "app/MainForm.h"

#include <array>
#include <cmath>
#include <numbers>

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDir>
#include <QEvent>
#include <QStandardPaths>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QMenu>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QWhatsThis>

#include "app/AlertIgnorer.h"
#include "app/AlertNotice.h"
#include "app/CalendarExport.h"
#include "app/FamilyTreeFolder.h"
#include "app/FolderSettingsHost.h"
#include "app/PersonDirectory.h"
#include "app/SourceEntry.h"
#include "help/MessageDialog.h"
#include "app/SettingsFile.h"
#include "formats/DateTime.h"
#include "platform/AlertSound.h"
#include "platform/Folders.h"
#include "platform/ReplaceFile.h"
#include "ui_MainForm.h"

namespace mindrel {

namespace {

constexpr int kAnimationIntervalMs = 10;
constexpr int kAnimationStep = 20;
constexpr int kAnimationLead = 15;
// The options panel ends this far short of the window's right edge.
constexpr int kPanelRightMargin = 9;
constexpr int kIconSize = 32;
constexpr int kMinItemHeight = 54;
constexpr int kDateFontPoints = 8;
constexpr int kCustomColourCount = 16;
// The help topic of "&Check at system startup", which the registry error is about.
constexpr int kStartCBHelpContext = 107;
constexpr const char* kWhileAway = "While you were away";
// The band of the anniversaries missed while the list was not shown.
const QColor kMissedBand(228, 228, 228);

QColor ToQColor(TColor colour) { return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

TColor FromQColor(const QColor& colour) {
  return static_cast<TColor>(colour.red()) | static_cast<TColor>(colour.green()) << 8 |
         static_cast<TColor>(colour.blue()) << 16;
}

QColor BackgroundOf(const QWidget* panel) { return panel->palette().color(QPalette::Window); }

void SetBackground(QWidget* panel, const QColor& colour) {
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, colour);
  panel->setPalette(palette);
}

// The font the list draws with. A face this machine lacks (the design's
// "Arial" on most desktops) becomes the desktop's normal font rather than
// whatever face the font matcher would pick; the settings keep the name read.
QFont ToQFont(const TFontSettings& settings) {
  const QString family = QString::fromStdString(settings.Name);
  QFont font(QFontDatabase::hasFamily(family) ? family : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
  font.setPointSize(std::max(1, settings.Size));
  font.setBold(settings.Bold);
  font.setItalic(settings.Italic);
  font.setUnderline(settings.Underline);
  font.setStrikeOut(settings.Strikeout);
  return font;
}

// The mark of a jubilee on the corner of its icon: a gold star with a dark
// rim, which stands out on light and dark bands and on the selection alike.
void DrawJubileeStar(QPainter& painter, const QRect& icon) {
  constexpr double kOuter = 8.0, kInner = 3.6;
  const QPointF centre(icon.right() - kOuter + 2, icon.bottom() - kOuter + 2);
  QPolygonF star;
  for (int point = 0; point < 10; ++point) {
    const double radius = point % 2 == 0 ? kOuter : kInner;
    const double angle = -std::numbers::pi / 2 + point * std::numbers::pi / 5;
    star << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
  }
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(70, 45, 0), 1.2));
  painter.setBrush(QColor(255, 196, 0));
  painter.drawPolygon(star);
  painter.restore();
}

bool SameFace(const QFont& a, const QFont& b) {
  return a.family() == b.family() && a.pointSize() == b.pointSize() && a.bold() == b.bold() &&
         a.italic() == b.italic() && a.underline() == b.underline() && a.strikeOut() == b.strikeOut();
}

// The colour dialog keeps its custom colours as "ColorA" .. "ColorP" with six
// hexadecimal digits, blue first.
QString CustomColourKey(int index) { return QStringLiteral("Color") + QChar('A' + index); }

void ApplyCustomColours(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const QString key = QString::fromStdString(line.substr(0, equals)).trimmed();
    bool ok = false;
    const uint value = QString::fromStdString(line.substr(equals + 1)).trimmed().toUInt(&ok, 16);
    for (int i = 0; ok && i < kCustomColourCount; ++i) {
      if (key.compare(CustomColourKey(i), Qt::CaseInsensitive) == 0) QColorDialog::setCustomColor(i, ToQColor(value));
    }
  }
}

std::array<QRgb, kCustomColourCount> CurrentCustomColours() {
  std::array<QRgb, kCustomColourCount> colours{};
  for (int i = 0; i < kCustomColourCount; ++i) colours[static_cast<std::size_t>(i)] = QColorDialog::customColor(i).rgb();
  return colours;
}

}  // namespace

TMainForm::TMainForm(std::string exeFolder, const Clock& clock, QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::TMainForm>()),
      ExeFolder(std::move(exeFolder)),
      ProgramFiles(ProgramFilesFolder(ExeFolder)),
      clock_(clock),
      startup_(TAutostart(), ExeFolder, [this](const std::string& message) { ShowRegistryError(message); },
               [](const std::string& path) { TAlertSound::PlayFile(path); }) {
  ui_->setupUi(this);
  QFont formFont(QStringLiteral("MS Sans Serif"));
  formFont.setPixelSize(11);
  setFont(formFont);
  setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
  LoadButtonPictures();
  LoadNoIcon();

  OptionsTimer.setInterval(kAnimationIntervalMs);
  connect(&OptionsTimer, &QTimer::timeout, this, &TMainForm::OptionsTimerTimer);
  connect(ui_->OptionsBtn, &QToolButton::toggled, this, &TMainForm::Options1Click);
  connect(ui_->CtxHelpBtn, &QToolButton::clicked, this, [] { QWhatsThis::enterWhatsThisMode(); });
  connect(ui_->CloseBtn, &QToolButton::clicked, this, &QWidget::close);
  connect(ui_->RefreshBtn, &QToolButton::clicked, this, &TMainForm::Button1Click);
  connect(ui_->LookAheadSpin, &QSpinBox::valueChanged, this, &TMainForm::LookAheadSpinChange);
  connect(ui_->StartCB, &QCheckBox::clicked, this, &TMainForm::StartCBClick);
  connect(ui_->TallowynBtn, &QPushButton::clicked, this, &TMainForm::TallowynBtnClick);
  connect(ui_->TallowynDelBtn, &QPushButton::clicked, this, &TMainForm::TallowynDelBtnClick);
  connect(ui_->TallowynList, &QListWidget::itemSelectionChanged, this, &TMainForm::TallowynListClick);
  connect(ui_->TallowynList, &QWidget::customContextMenuRequested, this, &TMainForm::TallowynPopupPopup);
  connect(ui_->FieldsList, &QListWidget::itemChanged, this, &TMainForm::FieldsListClickCheck);
  connect(ui_->FamilyCombo, &QComboBox::currentIndexChanged, this, &TMainForm::FamilyComboChange);
  // The combo box's drop-down list is a control of its own to a screen reader.
  ui_->FamilyCombo->view()->setAccessibleName(QStringLiteral("Family limits"));
  connect(ui_->FontColourBtn, &QToolButton::clicked, this, &TMainForm::FontColourBtnClick);
  // The list a combo box drops down is a control of its own to a screen reader.
  ui_->LeapDayCombo->view()->setAccessibleName(ui_->LeapDayCombo->accessibleName());
  for (QWidget* panel : {static_cast<QWidget*>(ui_->Color1Panel), static_cast<QWidget*>(ui_->Color2Panel),
                         static_cast<QWidget*>(ui_->FontPanel)}) {
    panel->installEventFilter(this);
  }
  qApp->installEventFilter(this);
  NameIconButtons();
  EventsForm_ = std::make_unique<TEventsForm>(tables_.EventsTable(), this);
  IgnoreForm_ = std::make_unique<TIgnoreForm>(tables_.IgnoreTable(), this);
  connect(ui_->EventsBtn, &QPushButton::clicked, EventsForm_.get(), &QDialog::exec);
  connect(ui_->IgnoreBtn, &QPushButton::clicked, IgnoreForm_.get(), &QDialog::exec);
  Ignore1 = PopupMenu1_.addAction(QStringLiteral("&Ignore event"), this, [this] { Ignore1Click(false); });
  Ignoreall1 = PopupMenu1_.addAction(QStringLiteral("Ignore &all"), this, [this] { Ignore1Click(true); });
  ExportCalendar1 = PopupMenu1_.addAction(QStringLiteral("Export to calendar..."), this, &TMainForm::ExportCalendar1Click);
  ui_->OutputList->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ui_->OutputList, &QWidget::customContextMenuRequested, this, &TMainForm::OutputListContextMenu);
  ui_->OutputList->setDrawItem(
      [this](QPainter& painter, int index, const QRect& rect, bool selected) {
        OutputListDrawItem(painter, index, rect, selected);
      });

  ApplySettings(TSettings{});
  resize(width(), toolBarHeight() + alertListHeight());
  ui_->Panel1->hide();

  helpRouter_.SetHelpFile(ProgramFiles + "Help/Mindrel.qhc");
  helpRouter_.Install();
  EventEditorForm = std::make_unique<TEventEditorForm>(formats_, clock_, this);
  HelpForm = std::make_unique<THelpForm>(ExeFolder, this);
  SelectFolderForm = std::make_unique<TSelectFolderForm>(this);
  HomePersonForm_ = std::make_unique<THomePersonForm>(this);
  JubileesForm_ = std::make_unique<TJubileesForm>(this);
  connect(ui_->JubileeBtn, &QPushButton::clicked, this, &TMainForm::JubileeBtnClick);
  // A tool button pressed through the accessibility interface clicks at
  // once and answers only when the click returns; a modal window run inside
  // the click would keep a screen reader waiting until it closes.
  connect(ui_->HelpBtn, &QToolButton::clicked, this, &TMainForm::HelpBtnClick, Qt::QueuedConnection);
  connect(ui_->TextTreeBtn, &QPushButton::clicked, this, &TMainForm::TextTreeBtnClick);
}

TMainForm::~TMainForm() = default;

void TMainForm::InitializeForm(const QStringList& arguments) {
  DataFolder = GetDataFolder();
  if (!ForceDirectories(DataFolder)) throw std::runtime_error("Unable to create directory");
  iniPath_ = DataFolder + "Mindrel.INI";
  silentStart_ = arguments.size() > 1 && arguments.at(1) == QStringLiteral("-s");

  tables_.Initialize(DataFolder);
  for (const std::string& message : tables_.OwnTableMessages())
    TMessageDialog::show(this, TMessageDialog::Kind::Warning, {QString::fromStdString(message)}, QMessageBox::Ok);

  TSettings settings = CollectSettings();
  const QRect area = screen()->geometry();
  TFolderSettingsHost host(area.width(), area.height());
  TSettingsFile settingsFile(iniPath_);
  settingsFile.ReadINIFile(settings, formats_, host, startup_);
  ApplySettings(settings);
  shownBeforeStart_ = settings.LastShown;
  // Folders left out and settings not used are named, each with its cause.
  std::vector<std::string> problems = settingsFile.Problems();
  problems.insert(problems.end(), host.Problems().begin(), host.Problems().end());
  ShowScanProblems(problems);
}

bool TMainForm::HasFolders() const { return ui_->TallowynList->count() > 0; }

void TMainForm::Button1Click() {
  if (!HasFolders()) {
    QApplication::beep();
    TMessageDialog::show(this, TMessageDialog::Kind::Error, {QStringLiteral("Mindrel"), QStringLiteral("No valid databases selected.")},
                         QMessageBox::Ok, 502);
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  RefreshOutputList();
  QApplication::restoreOverrideCursor();
}

void TMainForm::RefreshOutputList() {
  RebuildIconsAndMetrics();
  std::vector<std::string> problems;
  TSettings settings = CollectSettings();
  settings.LastShown = shownBeforeStart_;
  try {
    problems = tables_.RefreshOutputList(TScanOptions::From(settings, formats_), clock_, OPList);
  } catch (...) {
    // What was found stays in the list; bands and caption wait for a scan
    // that ends.
    ShowEntries();
    throw;
  }
  ShowAlerts();
  DropLostHomes();
  ShowScanProblems(problems);
}

void TMainForm::DropLostHomes() {
  for (const std::string& folder : tables_.LostHomes()) {
    homePeople_.erase(folder);
    homeLabels_.erase(folder);
    for (int i = 0; i < ui_->TallowynList->count(); ++i) {
      QListWidgetItem* item = ui_->TallowynList->item(i);
      if (FolderOf(*item) == folder) {
        item->setText(FolderItemText(folder));
        item->setToolTip(item->text());
      }
    }
  }
}

void TMainForm::ShowScanProblems(const std::vector<std::string>& problems) {
  if (problems.empty()) return;
  QStringList lines{QStringLiteral("Mindrel")};
  for (const std::string& problem : problems) lines << QString::fromStdString(problem);
  TMessageDialog::show(this, TMessageDialog::Kind::Warning, lines, QMessageBox::Ok);
}

void TMainForm::OpenOptions() { ui_->OptionsBtn->setChecked(true); }

bool TMainForm::ValidDatabase(const std::string& folder, bool showMessage) {
  const TSourceEntry entry(folder);
  const std::string problem = entry.Problem();
  const bool valid = !folder.empty() && problem.empty();
  // The cause follows the design's lines.
  const QString cause = QString::fromStdString(problem);
  if (!valid && showMessage && entry.IsGedcomFile()) {
    TMessageDialog::show(this, TMessageDialog::Kind::Warning,
                         {QStringLiteral("Mindrel"), QStringLiteral("The file \"%1\"").arg(QString::fromStdString(folder)),
                          QStringLiteral("is not a readable GEDCOM file"), QStringLiteral("and will be reset"), cause},
                         QMessageBox::Ok, 503);
  } else if (!valid && showMessage) {
    TMessageDialog::show(this, TMessageDialog::Kind::Warning,
                         {QStringLiteral("Mindrel"), QStringLiteral("The folder \"%1\"").arg(QString::fromStdString(folder)),
                          QStringLiteral("does not contain a valid Tallowyn V3 database"), QStringLiteral("and will be reset"),
                          cause},
                         QMessageBox::Ok, 503);
  }
  return valid;
}

std::string TMainForm::AddStartFolder() const {
  const QListWidget* list = ui_->TallowynList;
  if (list->currentItem() != nullptr && list->currentItem()->isSelected()) return FolderOf(*list->currentItem());
  if (list->count() > 0) return FolderOf(*list->item(0));
  return TFolderSettingsHost(0, 0).GetDatabasePath();
}

void TMainForm::TallowynBtnClick() {
  if (SelectFolderForm->Execute({}, AddStartFolder()) != QDialog::Accepted) return;
  AddFolder(SelectFolderForm->FolderText().toStdString());
}

void TMainForm::TextTreeBtnClick() { EventEditorForm->Execute(); }

// Like the other options, new numbers mark the list at the next scan.
void TMainForm::JubileeBtnClick() { JubileesForm_->Execute(jubilees_); }

void TMainForm::HelpBtnClick() {
  HelpForm->move(ui_->HelpBtn->mapToGlobal(QPoint(ui_->HelpBtn->width(), ui_->HelpBtn->height())));
  HelpForm->exec();
}

bool TMainForm::AddFolder(const std::string& folder) {
  if (!ValidDatabase(folder, true)) return false;
  const QString text = QString::fromStdString(folder);
  for (int i = 0; i < ui_->TallowynList->count(); ++i) {
    if (QString::fromStdString(FolderOf(*ui_->TallowynList->item(i))).compare(text, Qt::CaseInsensitive) == 0) {
      TMessageDialog::show(this, TMessageDialog::Kind::Warning,
                           {QStringLiteral("The database folder"), QStringLiteral("\"%1\"").arg(text),
                            QStringLiteral("is already in the database list.")},
                           QMessageBox::Ok);
      return false;
    }
  }
  AddFolderItem(folder);
  RefreshFieldsList();
  return true;
}

std::string TMainForm::FolderOf(const QListWidgetItem& item) {
  const QVariant folder = item.data(Qt::UserRole);
  return (folder.isValid() ? folder.toString() : item.text()).toStdString();
}

QString TMainForm::FolderItemText(const std::string& folder) const {
  const auto label = homeLabels_.find(folder);
  if (label == homeLabels_.end()) return QString::fromStdString(folder);
  return QStringLiteral("%1  (home person: %2)").arg(QString::fromStdString(folder), QString::fromStdString(label->second));
}

void TMainForm::AddFolderItem(const std::string& folder) {
  const auto home = homePeople_.find(folder);
  if (home != homePeople_.end() && !homeLabels_.contains(folder)) {
    const std::optional<TDirectoryPerson> person = TPersonDirectory::Lookup(folder, home->second);
    homeLabels_[folder] = person ? TPersonDirectory::Label(*person)
                                 : "[P" + std::to_string(home->second) + "] not in the tree";
  }
  auto* item = new QListWidgetItem(FolderItemText(folder), ui_->TallowynList);
  item->setData(Qt::UserRole, QString::fromStdString(folder));
  // The list is narrow: the whole text, home person included, on hovering.
  item->setToolTip(item->text());
}

void TMainForm::SetHomePersonClick() {
  QListWidgetItem* item = ui_->TallowynList->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  const std::string folder = FolderOf(*item);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const TPersonDirectory people = TPersonDirectory::Load(folder);
  QApplication::restoreOverrideCursor();
  const auto home = homePeople_.find(folder);
  const std::optional<std::int32_t> current =
      home == homePeople_.end() ? std::nullopt : std::optional<std::int32_t>(home->second);
  if (HomePersonForm_->Execute(QString::fromStdString(folder), people, current) != QDialog::Accepted) return;
  homeLabels_.erase(folder);
  if (const std::optional<std::int32_t> chosen = HomePersonForm_->Chosen()) {
    homePeople_[folder] = *chosen;
    if (const TDirectoryPerson* person = people.ByCode(*chosen)) homeLabels_[folder] = TPersonDirectory::Label(*person);
  } else {
    homePeople_.erase(folder);
  }
  item->setText(FolderItemText(folder));
  item->setToolTip(item->text());
}

void TMainForm::FamilyComboChange() {
  ui_->DegreesSpin->setEnabled(ui_->FamilyCombo->currentIndex() == static_cast<int>(TFamilyLimit::BloodRelatives));
}

void TMainForm::AddGedcomFileClick() {
  const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Select a GEDCOM file"),
                                                      QString::fromStdString(AddStartFolder()),
                                                      QStringLiteral("GEDCOM files (*.ged)"));
  if (!chosen.isEmpty()) AddFolder(chosen.toStdString());
}

void TMainForm::TallowynDelBtnClick() {
  QListWidgetItem* item = ui_->TallowynList->currentItem();
  if (item != nullptr && item->isSelected()) {
    homePeople_.erase(FolderOf(*item));
    homeLabels_.erase(FolderOf(*item));
    delete item;
    RefreshFieldsList();
  }
  TallowynListClick();
}

void TMainForm::TallowynListClick() {
  ui_->TallowynDelBtn->setEnabled(!ui_->TallowynList->selectedItems().isEmpty());
}

void TMainForm::TallowynPopupPopup(const QPoint& at) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("A&dd..."), this, &TMainForm::TallowynBtnClick);
  menu.addAction(QStringLiteral("Add GEDCOM file..."), this, &TMainForm::AddGedcomFileClick);
  QAction* remove = menu.addAction(QStringLiteral("R&emove"), this, &TMainForm::TallowynDelBtnClick);
  remove->setEnabled(!ui_->TallowynList->selectedItems().isEmpty());
  QAction* home = menu.addAction(QStringLiteral("Set &home person..."), this, &TMainForm::SetHomePersonClick);
  home->setEnabled(!ui_->TallowynList->selectedItems().isEmpty());
  menu.exec(ui_->TallowynList->viewport()->mapToGlobal(at));
}

void TMainForm::RefreshFieldsList() {
  TSettings settings = CollectSettings();
  settings.SetCustomColumns(TFolderSettingsHost(0, 0).CustomDateColumns(settings.Folders));
  const QSignalBlocker blocker(ui_->FieldsList);
  for (int i = ui_->FieldsList->count() - 1; i >= TSettings::kFixedEventItems; --i) delete ui_->FieldsList->item(i);
  for (std::size_t i = TSettings::kFixedEventItems; i < settings.EventItems.size(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(settings.EventItems[i].Text), ui_->FieldsList);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(settings.EventItems[i].Ticked ? Qt::Checked : Qt::Unchecked);
  }
}

void TMainForm::FieldsListClickCheck(QListWidgetItem* item) {
  const int index = ui_->FieldsList->row(item);
  if (index < TSettings::kFixedEventItems || item->checkState() != Qt::Checked) return;
  const std::string name = item->text().toStdString();
  if (formats_.FindRow(name, TEventFormats::kFixedRows) >= 0) return;
  const auto answer = TMessageDialog::show(
      this, TMessageDialog::Kind::Warning,
      {QStringLiteral("The field \"%1\" does not have an Event Format.").arg(item->text()),
       QStringLiteral("Do you want to add it to the events list?")},
      QMessageBox::Yes | QMessageBox::No, 504);
  if (answer != QMessageBox::Yes) return;
  const int row = formats_.AddRow(name);
  formats_.SetTemplate(row, "<name>");
  EventEditorForm->Execute(row);
}

bool TMainForm::FinishStart() {
  if (!silentStart_ || !HasFolders()) {
    OpenOptions();
    return true;
  }
  if (OPList.Count() == 0) return false;
  startup_.CheckPlayAlert(ui_->AudioCB->isChecked());
  hiddenAtStart_ = SendAlertNotification() && !ui_->ShowCB->isChecked();
  // The notification has shown the list; a window that waits for it may
  // never be closed to write the settings.
  if (hiddenAtStart_) TSettingsFile(iniPath_).WriteLastShown(lastShown_);
  return true;
}

bool TMainForm::SendAlertNotification() {
  const std::vector<std::string> items = EventItemTexts();
  const std::vector<std::string> sentences = TAlertNotice::Sentences(
      OPList, [this, &items](const TOPObj& entry) { return formatter_.FormatEntry(entry, false, items); });
  connect(&notifier_, &TDesktopNotifier::ActionInvoked, this, &TMainForm::ShowFromNotification);
  // A program waiting unseen has nothing left to do once its notification
  // is gone.
  connect(&notifier_, &TDesktopNotifier::Closed, this, [this] {
    if (!isVisible()) QApplication::quit();
  });
  return notifier_.Notify(QStringLiteral("Mindrel"), QStringLiteral("mindrel"), CaptionFor(ui_->LookAheadSpin->value()),
                          QString::fromStdString(TAlertNotice::Body(sentences)), QStringLiteral("Show Mindrel"),
                          !ui_->ShowCB->isChecked());
}

void TMainForm::ShowFromNotification() {
  show();
  raise();
  activateWindow();
}

void TMainForm::ExportCalendar1Click() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!QDir(folder).exists()) folder = QDir::homePath();
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export to calendar"),
                                                    folder + QStringLiteral("/Mindrel.ics"),
                                                    QStringLiteral("iCalendar files (*.ics);;All files (*)"));
  if (!path.isEmpty()) ExportCalendar(path);
}

bool TMainForm::ExportCalendar(const QString& path) {
  const std::string document =
      TCalendarExport::Document(OPList, formatter_, EventItemTexts(), std::chrono::system_clock::now());
  if (ReplaceFile(path.toStdString(), document)) return true;
  QApplication::beep();
  TMessageDialog::show(this, TMessageDialog::Kind::Error,
                       {QStringLiteral("Mindrel"), QStringLiteral("Unable to write \"%1\".").arg(path)}, QMessageBox::Ok);
  return false;
}

void TMainForm::StartCBClick(bool ticked) {
  const bool shown = startup_.StartCBClick(ticked);
  if (shown != ticked) {
    const QSignalBlocker blocker(ui_->StartCB);
    ui_->StartCB->setChecked(shown);
  }
}

void TMainForm::ShowRegistryError(const std::string& message) {
  QApplication::beep();
  TMessageDialog::show(this, TMessageDialog::Kind::Error, {QString::fromStdString(message)}, QMessageBox::Ok,
                       kStartCBHelpContext);
}

QString TMainForm::CaptionFor(int lookAhead) {
  if (lookAhead == 0) return QStringLiteral("Mindrel for today");
  if (lookAhead == 1) return QStringLiteral("Mindrel for today and tomorrow");
  return QStringLiteral("Mindrel for next %1 days").arg(lookAhead);
}

int TMainForm::toolBarHeight() const { return ui_->Panel2->height(); }
int TMainForm::alertListHeight() const { return ui_->OutputList->height(); }
int TMainForm::panelHeight() const { return ui_->Panel1->height(); }

void TMainForm::LoadButtonPictures() {
  const QString folder = QString::fromStdString(ProgramFiles);
  const std::pair<QAbstractButton*, const char*> pictures[] = {
      {ui_->OptionsBtn, "Options"},    {ui_->RefreshBtn, "Refresh"},   {ui_->CtxHelpBtn, "ContextHelp"},
      {ui_->HelpBtn, "Help"},          {ui_->CloseBtn, "Close"},       {ui_->TextTreeBtn, "EventFormats"},
      {ui_->EventsBtn, "AddedEvents"}, {ui_->IgnoreBtn, "IgnoreList"}, {ui_->TallowynBtn, "AddFolder"},
      {ui_->TallowynDelBtn, "RemoveFolder"}};
  for (const auto& [button, name] : pictures) {
    button->setIcon(QIcon(folder + QStringLiteral("Button ") + QLatin1String(name) + QStringLiteral(".png")));
  }
}

// An icon with the colour of its bottom-left pixel made transparent, so the
// band (or selection) colour shows through where that colour was.
std::optional<QImage> TMainForm::LoadIcon(const QString& path) const {
  QImage image(path);
  if (image.isNull() || image.width() < 1 || image.height() < 1) return std::nullopt;
  image = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = image.pixel(0, image.height() - 1);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (line[x] == key) line[x] = qRgba(0, 0, 0, 0);
    }
  }
  return image;
}

void TMainForm::LoadNoIcon() {
  const auto icon = LoadIcon(QString::fromStdString(ProgramFiles) + QStringLiteral("NoIcon.bmp"));
  if (icon) {
    NoIcon = *icon;
    return;
  }
  // Without the file the fallback is a plain white square that stays visible.
  NoIcon = QImage(kIconSize, kIconSize, QImage::Format_ARGB32);
  NoIcon.fill(Qt::white);
}

std::vector<std::string> TMainForm::EventItemTexts() const {
  std::vector<std::string> texts;
  for (int i = 0; i < ui_->FieldsList->count(); ++i) texts.push_back(ui_->FieldsList->item(i)->text().toStdString());
  return texts;
}

void TMainForm::ApplySettings(const TSettings& settings) {
  move(settings.Left, settings.Top);
  resize(settings.Width, settings.Height);
  ui_->LookAheadSpin->setValue(settings.Days);
  ui_->AliveCB->setChecked(settings.Alive);
  ui_->ExcludeCB->setChecked(settings.Exclude);
  ui_->AudioCB->setChecked(settings.Audio);
  ui_->PartialCB->setChecked(settings.Partial);
  ui_->StartCB->setChecked(settings.Start);
  ui_->ShowCB->setChecked(settings.ShowWindow);
  ui_->MaxAgeSpin->setValue(settings.MaxAge);
  ui_->DivorceCB->setChecked(settings.NoWeddingAfterDivorce);
  ui_->LeapDayCombo->setCurrentIndex(static_cast<int>(settings.LeapDay));
  ui_->MarkJubileesCB->setChecked(settings.MarkJubilees);
  jubilees_ = settings.Jubilees;
  ui_->WhileAwayCB->setChecked(settings.WhileAway);
  lastShown_ = settings.LastShown;
  DateFormat = settings.DateFormat;
  hints_ = settings.Hints;
  SetBackground(ui_->Color1Panel, ToQColor(settings.Color1));
  SetBackground(ui_->Color2Panel, ToQColor(settings.Color2));
  SetBackground(ui_->FontPanel, ToQColor(settings.Color1));
  CustColors = settings.CustColors;
  ApplyCustomColours(CustColors);
  appliedCustomColours_ = CurrentCustomColours();
  alertFont_ = settings.Font;
  ui_->FontPanel->setFont(ToQFont(alertFont_));
  ShowFontColour();

  // Ticks put back from the settings are no user's clicks: they ask nothing.
  const QSignalBlocker blocker(ui_->FieldsList);
  ui_->FieldsList->clear();
  for (const TEventItem& item : settings.EventItems) {
    auto* listItem = new QListWidgetItem(QString::fromStdString(item.Text), ui_->FieldsList);
    listItem->setFlags(listItem->flags() | Qt::ItemIsUserCheckable);
    listItem->setCheckState(item.Ticked ? Qt::Checked : Qt::Unchecked);
  }
  ui_->FamilyCombo->setCurrentIndex(static_cast<int>(settings.Limit));
  ui_->DegreesSpin->setValue(settings.Degrees);
  FamilyComboChange();
  homePeople_ = settings.HomePeople;
  homeLabels_.clear();
  ui_->TallowynList->clear();
  for (const std::string& folder : settings.Folders) AddFolderItem(folder);
}

TSettings TMainForm::CollectSettings() const {
  TSettings settings;
  settings.Left = x();
  settings.Top = y();
  settings.Width = width();
  settings.Height = height() - (ui_->OptionsBtn->isChecked() ? panelHeight() : 0);
  for (int i = 0; i < ui_->TallowynList->count(); ++i) {
    const std::string folder = FolderOf(*ui_->TallowynList->item(i));
    settings.Folders.push_back(folder);
    const auto home = homePeople_.find(folder);
    if (home != homePeople_.end()) settings.HomePeople[folder] = home->second;
  }
  settings.Limit = static_cast<TFamilyLimit>(ui_->FamilyCombo->currentIndex());
  settings.Degrees = ui_->DegreesSpin->value();
  settings.Alive = ui_->AliveCB->isChecked();
  settings.Days = ui_->LookAheadSpin->value();
  settings.Exclude = ui_->ExcludeCB->isChecked();
  settings.Audio = ui_->AudioCB->isChecked();
  settings.Partial = ui_->PartialCB->isChecked();
  settings.Start = ui_->StartCB->isChecked();
  settings.ShowWindow = ui_->ShowCB->isChecked();
  settings.MaxAge = ui_->MaxAgeSpin->value();
  settings.NoWeddingAfterDivorce = ui_->DivorceCB->isChecked();
  settings.LeapDay = static_cast<TLeapDay>(ui_->LeapDayCombo->currentIndex());
  settings.MarkJubilees = ui_->MarkJubileesCB->isChecked();
  settings.Jubilees = jubilees_;
  settings.WhileAway = ui_->WhileAwayCB->isChecked();
  settings.LastShown = lastShown_;
  settings.DateFormat = DateFormat;
  settings.Hints = hints_;
  settings.Color1 = FromQColor(BackgroundOf(ui_->Color1Panel));
  settings.Color2 = FromQColor(BackgroundOf(ui_->Color2Panel));
  settings.CustColors = CustColors;
  // Only the colours changed in the colour dialog are written over what was read.
  const auto current = CurrentCustomColours();
  for (int i = 0; i < kCustomColourCount; ++i) {
    const QRgb colour = current[static_cast<std::size_t>(i)];
    if (colour == appliedCustomColours_[static_cast<std::size_t>(i)]) continue;
    const QString value = QStringLiteral("%1").arg(FromQColor(QColor(colour)), 6, 16, QLatin1Char('0')).toUpper();
    settings.SetCustColor(CustomColourKey(i).toStdString(), value.toStdString());
  }
  settings.Font = alertFont_;
  settings.EventItems.clear();
  for (int i = 0; i < ui_->FieldsList->count(); ++i) {
    const QListWidgetItem* item = ui_->FieldsList->item(i);
    settings.EventItems.push_back({item->text().toStdString(), item->checkState() == Qt::Checked});
  }
  return settings;
}

QFont TMainForm::AlertFont() const { return ui_->FontPanel->font(); }

QColor TMainForm::AlertFontColour() const { return ui_->FontPanel->palette().color(QPalette::WindowText); }

void TMainForm::RebuildIconsAndMetrics() {
  IconList.clear();
  for (int i = 0; i < ui_->FieldsList->count(); ++i) {
    const QString path = QString::fromStdString(ProgramFiles) + ui_->FieldsList->item(i)->text() + QStringLiteral(".bmp");
    IconList.push_back(LoadIcon(path));
  }
  const QFont font = AlertFont();
  ui_->OutputList->setItemHeight(std::max(kMinItemHeight, 3 * QFontMetrics(font).height()));
  QFont dateFont = font;
  dateFont.setPointSize(kDateFontPoints);
  const std::string sample = dateFormatter_.FormatDateTime("ddd d mmm", EncodeDate(2005, 12, 28));
  DateColWidth = QFontMetrics(dateFont).horizontalAdvance(QString::fromStdString(sample)) + 20;
}

void TMainForm::ShowAlerts() {
  OPList.ApplyBands(FromQColor(BackgroundOf(ui_->Color1Panel)), FromQColor(BackgroundOf(ui_->Color2Panel)));
  ShowEntries();
  setWindowTitle(CaptionFor(ui_->LookAheadSpin->value()));
  // A start that ends unseen, the only scan shown to nobody, writes nothing.
  lastShown_ = FormatIsoDate(clock_.today());
}

void TMainForm::ShowEntries() {
  ui_->OutputList->clear();
  for (int i = 0; i < OPList.Count(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(OPList.Key(i)));
    item->setData(Qt::AccessibleTextRole, AlertSpeech(OPList.Entry(i)));
    ui_->OutputList->addItem(item);
  }
}

// What a screen reader says for an alert: what the item shows, not its key:
// that it was missed and that it is a jubilee where the item shows so.
QString TMainForm::AlertSpeech(const TOPObj& entry) const {
  return QString::fromStdString((entry.Missed ? std::string(kWhileAway) + ", " : std::string()) +
                                dateFormatter_.FormatDateTime(DateFormat, entry.Date) +
                                (entry.Jubilee ? " jubilee: " : " ") +
                                formatter_.FormatEntry(entry, false, EventItemTexts()));
}

// The band of what was missed says so at its lower right, below the
// sentence; answers the height it takes.
int TMainForm::DrawMissedCaption(QPainter& painter, const QRect& sentence) {
  QFont caption = AlertFont();
  caption.setPointSize(kDateFontPoints);
  caption.setItalic(true);
  caption.setBold(false);
  painter.save();
  painter.setFont(caption);
  painter.drawText(sentence, Qt::AlignRight | Qt::AlignBottom, QString::fromLatin1(kWhileAway));
  painter.restore();
  return QFontMetrics(caption).height();
}

// Picture-only buttons are named by their hints.
void TMainForm::NameIconButtons() {
  for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
    if (button->text().isEmpty() && button->accessibleName().isEmpty()) button->setAccessibleName(button->toolTip());
  }
}

void TMainForm::OutputListContextMenu(const QPoint& at) {
  PopupMenu1Popup();
  PopupMenu1_.exec(ui_->OutputList->viewport()->mapToGlobal(at));
}

void TMainForm::PopupMenu1Popup() {
  const auto n = ui_->OutputList->selectedItems().size();
  Ignore1->setEnabled(n > 0);
  Ignoreall1->setEnabled(n > 0);
  Ignore1->setText(n > 0 ? QStringLiteral("&Ignore event (%1)").arg(n) : QStringLiteral("&Ignore event"));
  Ignoreall1->setText(n > 0 ? QStringLiteral("Ignore &all (%1)").arg(n) : QStringLiteral("Ignore &all"));
  ExportCalendar1->setEnabled(OPList.Count() > 0);
}

void TMainForm::Ignore1Click(bool all) {
  std::vector<bool> selected;
  for (int i = 0; i < ui_->OutputList->count(); ++i) selected.push_back(ui_->OutputList->item(i)->isSelected());
  TIgnoreList ignoreList(tables_.IgnoreTable());
  TAlertIgnorer ignorer(tables_.PeopleTable(), tables_.LinksTable(), ignoreList);
  ignorer.Ignore(OPList, selected, all, EventItemTexts(), [this](int index) { delete ui_->OutputList->takeItem(index); });
}

void TMainForm::OutputListDrawItem(QPainter& painter, int index, const QRect& rect, bool selected) {
  if (Closing) return;
  const bool hasEntry = index >= 0 && index < OPList.Count();
  const QPalette& palette = ui_->OutputList->palette();
  QColor brush = palette.color(QPalette::Highlight);
  if (hasEntry && !selected && OPList.Entry(index).Missed) {
    brush = kMissedBand;
  } else if (hasEntry && !selected) {
    brush = BackgroundOf(OPList.Entry(index).Shaded ? ui_->Color2Panel : ui_->Color1Panel);
  } else if (!selected) {
    brush = palette.color(QPalette::Base);
  }
  painter.fillRect(rect, brush);
  if (!hasEntry) return;
  const TOPObj& entry = OPList.Entry(index);
  const int itemHeight = ui_->OutputList->itemHeight();

  QFont sentenceFont = AlertFont();
  sentenceFont.setBold(sentenceFont.bold() || entry.Jubilee);
  painter.setFont(sentenceFont);
  painter.setPen(selected ? palette.color(QPalette::HighlightedText) : AlertFontColour());
  QRect textRect(QPoint(rect.left() + DateColWidth, rect.top() + itemHeight / 6),
                 QPoint(rect.right() - 2, rect.bottom() - 2));
  if (entry.Missed) textRect.setBottom(textRect.bottom() - DrawMissedCaption(painter, textRect));
  const QString sentence = QString::fromStdString(formatter_.FormatEntry(entry, false, EventItemTexts()));
  painter.save();
  painter.setClipRect(textRect);
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, sentence);
  painter.restore();

  QFont dateFont = AlertFont();
  dateFont.setPointSize(kDateFontPoints);
  painter.setFont(dateFont);
  const QFontMetrics metrics(dateFont);
  const int v = (itemHeight - 36 - metrics.height()) / 2;
  const QRect iconRect(rect.left() + 15, rect.top() + v, kIconSize, kIconSize);
  const std::size_t slot = entry.EventIndex;
  const QImage& icon = slot < IconList.size() && IconList[slot] ? *IconList[slot] : NoIcon;
  painter.drawImage(iconRect, icon, QRect(0, 0, kIconSize, kIconSize));
  if (entry.Jubilee) DrawJubileeStar(painter, iconRect);

  const QString date = QString::fromStdString(dateFormatter_.FormatDateTime(DateFormat, entry.Date));
  const int dateWidth = metrics.horizontalAdvance(date);
  const int dateX = std::max(iconRect.left() + (kIconSize - dateWidth) / 2, rect.left() + 1);
  painter.drawText(QRect(dateX, rect.top() + v + 36, dateWidth + 1, metrics.height()), Qt::AlignLeft | Qt::AlignTop,
                   date);

  painter.setPen(QPen(palette.color(QPalette::Dark), 1));
  painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
}

void TMainForm::Options1Click(bool down) {
  Opening = down;
  OptionsTimer.start();
  if (Opening) {
    setMinimumWidth(ui_->TallowynBtn->x() + ui_->TallowynBtn->width() + 18);
    ui_->Panel1->move(0, toolBarHeight() + alertListHeight());
    TargetHeight = height() + kAnimationLead;
    ui_->Panel1->show();
  } else {
    TargetHeight = height() - kAnimationLead;
    panelFollowsBottom_ = false;
    const int toolButtons = ui_->Panel2->findChildren<QToolButton*>().size();
    setMinimumWidth(toolButtons * (ui_->CloseBtn->width() + 15) + 20);
  }
}

void TMainForm::OptionsTimerTimer() {
  resize(width(), TargetHeight);
  const int listBottom = toolBarHeight() + alertListHeight();
  if (Opening) {
    TargetHeight += kAnimationStep;
    if (panelHeight() + listBottom >= TargetHeight) return;
    OptionsTimer.stop();
    setMinimumHeight(toolBarHeight() + panelHeight() + 120);
    resize(width(), panelHeight() + listBottom);
    panelFollowsBottom_ = true;
    PlacePanel();
  } else {
    TargetHeight -= kAnimationStep;
    if (TargetHeight >= listBottom) return;
    OptionsTimer.stop();
    setMinimumHeight(toolBarHeight() + 120);
    resize(width(), listBottom);
    ui_->Panel1->hide();
  }
}

void TMainForm::PlacePanel() {
  QWidget* panel = ui_->Panel1;
  const int top = panelFollowsBottom_ ? height() - panel->height() : panel->y();
  panel->setGeometry(0, top, width() - kPanelRightMargin, panel->height());
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ui_->Panel2->resize(width(), ui_->Panel2->height());
  ui_->OutputList->resize(width(), ui_->OutputList->height());
  PlacePanel();
  FormResize();
}

void TMainForm::FormResize() {
  if (OptionsTimer.isActive()) return;
  int listHeight = height() - toolBarHeight();
  if (ui_->OptionsBtn->isChecked()) listHeight -= panelHeight();
  ui_->OutputList->resize(width(), std::max(0, listHeight));
  ui_->OutputList->viewport()->update();
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  LookAheadSpinChange();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!iniPath_.empty()) TSettingsFile(iniPath_).WriteINIFile(CollectSettings(), formats_);
  Closing = true;
  QWidget::closeEvent(event);
}

void TMainForm::LookAheadSpinChange() {
  ui_->DaysLabel->setText(ui_->LookAheadSpin->value() == 1 ? QStringLiteral("day") : QStringLiteral("days"));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  // With hints switched off no control of the program shows its tool tip.
  if (event->type() == QEvent::ToolTip && !hints_) return true;
  auto* panel = qobject_cast<QWidget*>(watched);
  const bool colourPanel = panel == ui_->Color1Panel || panel == ui_->Color2Panel;
  if (event->type() == QEvent::MouseButtonPress && colourPanel) {
    ColorPanelClick(panel);
  } else if (event->type() == QEvent::MouseButtonDblClick && colourPanel) {
    ColorPanelDblClick(panel);
    return true;
  } else if (event->type() == QEvent::MouseButtonDblClick && panel == ui_->FontPanel) {
    FontPanelDblClick();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TMainForm::ColorPanelClick(QWidget* panel) { SetBackground(ui_->FontPanel, BackgroundOf(panel)); }

void TMainForm::ColorPanelDblClick(QWidget* panel) {
  const QColor chosen = QColorDialog::getColor(BackgroundOf(panel), this);
  if (!chosen.isValid()) return;
  SetBackground(panel, chosen);
  SetBackground(ui_->FontPanel, chosen);
  ui_->OutputList->viewport()->update();
}

void TMainForm::FontPanelDblClick() {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, ui_->FontPanel->font(), this);
  if (ok) ApplyChosenFont(chosen);
}

void TMainForm::FontColourBtnClick() {
  const QColor chosen = QColorDialog::getColor(AlertFontColour(), this, QStringLiteral("Font colour"));
  if (chosen.isValid()) ApplyChosenFontColour(chosen);
}

void TMainForm::ApplyChosenFontColour(const QColor& chosen) {
  alertFont_.Colour = FromQColor(chosen);
  ShowFontColour();
  ui_->OutputList->viewport()->update();
}

// The font panel writes in the colour, and the colour button shows it.
void TMainForm::ShowFontColour() {
  const QColor colour = ToQColor(alertFont_.Colour);
  QPalette fontPalette = ui_->FontPanel->palette();
  fontPalette.setColor(QPalette::WindowText, colour);
  ui_->FontPanel->setPalette(fontPalette);
  QPixmap swatch(ui_->FontColourBtn->width() - 8, ui_->FontColourBtn->height() - 12);
  swatch.fill(colour);
  ui_->FontColourBtn->setIconSize(swatch.size());
  ui_->FontColourBtn->setIcon(QIcon(swatch));
}

void TMainForm::ApplyChosenFont(const QFont& chosen) {
  // OK without a change keeps the font as the settings name it, even where
  // this machine draws it with a stand-in face.
  if (SameFace(chosen, ui_->FontPanel->font())) return;
  alertFont_.Name = chosen.family().toStdString();
  alertFont_.Size = chosen.pointSize();
  alertFont_.Bold = chosen.bold();
  alertFont_.Italic = chosen.italic();
  alertFont_.Underline = chosen.underline();
  alertFont_.Strikeout = chosen.strikeOut();
  ui_->FontPanel->setFont(ToQFont(alertFont_));
  ui_->OutputList->viewport()->update();
}

}  // namespace mindrel
