#include "help/HelpForm.h"

#include <QDesktopServices>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QUrl>

#include "help/AboutText.h"
#include "help/conHTMLHelp.h"

namespace mindrel {

namespace {

constexpr int kClientWidth = 220;
constexpr int kClientHeight = 237;

// The product picture: a calendar leaf with a ribbon, drawn once.
QPixmap ProductPicture() {
  QPixmap picture(124, 83);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(60, 60, 90), 2));
  painter.setBrush(QColor(250, 248, 240));
  painter.drawRoundedRect(QRectF(36, 6, 52, 52), 6, 6);
  painter.setBrush(QColor(180, 40, 50));
  painter.drawRect(QRectF(36, 6, 52, 14));
  painter.setPen(QColor(60, 60, 90));
  QFont digits(QStringLiteral("DejaVu Sans"));
  digits.setPixelSize(24);
  digits.setBold(true);
  painter.setFont(digits);
  painter.drawText(QRectF(36, 20, 52, 38), Qt::AlignCenter, QStringLiteral("25"));
  return picture;
}

QPushButton* MakeButton(QWidget* parent, const QString& text, const QString& name, int top) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(8, top, kClientWidth - 16, 25);
  return button;
}

}  // namespace

THelpForm::THelpForm(std::string exeFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ExeFolder(std::move(exeFolder)) {
  setObjectName(QStringLiteral("HelpForm"));
  setWindowTitle(QStringLiteral("Help"));
  setFixedSize(kClientWidth, kClientHeight);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(white);
  Panel1->setGeometry(8, 8, kClientWidth - 16, 128);
  Image1 = new QLabel(Panel1);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setAccessibleName(QStringLiteral("Mindrel"));
  Image1->setPixmap(ProductPicture());
  Image1->setScaledContents(true);
  Image1->setGeometry((Panel1->width() - 124) / 2, 4, 124, 83);
  Label1 = new QLabel(Panel1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
  Label1->setWordWrap(true);
  Label1->setAttribute(Qt::WA_TranslucentBackground);
  Label1->setGeometry((Panel1->width() - 182) / 2, Panel1->height() - 64, 182, 60);

  BitBtn1 = MakeButton(this, QStringLiteral("&Help file"), QStringLiteral("BitBtn1"), 144);
  UpdateBtn = MakeButton(this, QStringLiteral("Check for &updates"), QStringLiteral("UpdateBtn"), 175);
  BitBtn3 = MakeButton(this, QStringLiteral("Quorvin &Web site"), QStringLiteral("BitBtn3"), 206);
  connect(BitBtn1, &QPushButton::clicked, this, &THelpForm::BitBtn1Click);
  connect(UpdateBtn, &QPushButton::clicked, this, &THelpForm::UpdateBtnClick);
  connect(BitBtn3, &QPushButton::clicked, this, &THelpForm::BitBtn3Click);
  for (QWidget* closer : {static_cast<QWidget*>(Panel1), static_cast<QWidget*>(Image1), static_cast<QWidget*>(Label1)}) {
    closer->installEventFilter(this);
  }
}

void THelpForm::showEvent(QShowEvent* event) {
  Label1->setText(QString::fromStdString(ProductLine()) + QLatin1Char('\n') +
                  QString::fromStdString(VersionLine(kProgramVersion)));
  Label1->setAccessibleName(Label1->text());
  QDialog::showEvent(event);
}

void THelpForm::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) reject();
  QDialog::mousePressEvent(event);
}

bool THelpForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    reject();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void THelpForm::BitBtn1Click() {
  if (TconHTMLHelp* help = TconHTMLHelp::Application()) help->HelpCommand(TconHTMLHelp::kHelpContents, 0);
}

// Whether the updater is there is its own business: a failed start is not
// reported.
void THelpForm::UpdateBtnClick() {
  (void)QProcess::startDetached(QString::fromStdString(ExeFolder) + QStringLiteral("updater.exe"), {QStringLiteral("/checknow")},
                          QString::fromStdString(ExeFolder));
  reject();
}

void THelpForm::BitBtn3Click() {
  QFile shortcut(QString::fromStdString(ExeFolder) + QStringLiteral("Quorvin.url"));
  if (!shortcut.open(QIODevice::ReadOnly)) return;
  const std::string url = ShortcutUrl(shortcut.readAll().toStdString());
  if (!url.empty()) QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace mindrel
