#include "app/MainForm.h"

#include <QColorDialog>
#include <QEvent>
#include <QFontDialog>
#include <QIcon>
#include <QWhatsThis>

#include "ui_MainForm.h"

namespace mindrel {

namespace {

constexpr int kAnimationIntervalMs = 10;
constexpr int kAnimationStep = 20;
constexpr int kAnimationLead = 15;
// The options panel ends this far short of the window's right edge.
constexpr int kPanelRightMargin = 9;

QColor BackgroundOf(const QWidget* panel) { return panel->palette().color(QPalette::Window); }

void SetBackground(QWidget* panel, const QColor& colour) {
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, colour);
  panel->setPalette(palette);
}

}  // namespace

TMainForm::TMainForm(std::string exeFolder, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TMainForm>()), ExeFolder(std::move(exeFolder)) {
  ui_->setupUi(this);
  QFont formFont(QStringLiteral("MS Sans Serif"));
  formFont.setPixelSize(11);
  setFont(formFont);
  setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
  LoadButtonPictures();

  OptionsTimer.setInterval(kAnimationIntervalMs);
  connect(&OptionsTimer, &QTimer::timeout, this, &TMainForm::OptionsTimerTimer);
  connect(ui_->OptionsBtn, &QToolButton::toggled, this, &TMainForm::Options1Click);
  connect(ui_->CtxHelpBtn, &QToolButton::clicked, this, [] { QWhatsThis::enterWhatsThisMode(); });
  connect(ui_->CloseBtn, &QToolButton::clicked, this, &QWidget::close);
  connect(ui_->LookAheadSpin, &QSpinBox::valueChanged, this, &TMainForm::LookAheadSpinChange);
  for (QWidget* panel : {static_cast<QWidget*>(ui_->Color1Panel), static_cast<QWidget*>(ui_->Color2Panel),
                         static_cast<QWidget*>(ui_->FontPanel)}) {
    panel->installEventFilter(this);
  }

  resize(width(), toolBarHeight() + alertListHeight());
  ui_->Panel1->hide();
}

TMainForm::~TMainForm() = default;

QString TMainForm::CaptionFor(int lookAhead) {
  if (lookAhead == 0) return QStringLiteral("Mindrel for today");
  if (lookAhead == 1) return QStringLiteral("Mindrel for today and tomorrow");
  return QStringLiteral("Mindrel for next %1 days").arg(lookAhead);
}

int TMainForm::toolBarHeight() const { return ui_->Panel2->height(); }
int TMainForm::alertListHeight() const { return ui_->OutputList->height(); }
int TMainForm::panelHeight() const { return ui_->Panel1->height(); }

void TMainForm::LoadButtonPictures() {
  const QString folder = QString::fromStdString(ExeFolder);
  const std::pair<QAbstractButton*, const char*> pictures[] = {
      {ui_->OptionsBtn, "Options"},         {ui_->RefreshBtn, "Refresh"},         {ui_->CtxHelpBtn, "ContextHelp"},
      {ui_->HelpBtn, "Help"},               {ui_->CloseBtn, "Close"},             {ui_->TextTreeBtn, "EventFormats"},
      {ui_->EventsBtn, "AddedEvents"},      {ui_->IgnoreBtn, "IgnoreList"},       {ui_->TallowynBtn, "AddFolder"},
      {ui_->TallowynDelBtn, "RemoveFolder"}};
  for (const auto& [button, name] : pictures) {
    button->setIcon(QIcon(folder + QStringLiteral("Button ") + QLatin1String(name) + QStringLiteral(".png")));
  }
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

void TMainForm::LookAheadSpinChange() {
  ui_->DaysLabel->setText(ui_->LookAheadSpin->value() == 1 ? QStringLiteral("day") : QStringLiteral("days"));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
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
  if (!ok) return;
  ui_->FontPanel->setFont(chosen);
  ui_->OutputList->viewport()->update();
}

}  // namespace mindrel
