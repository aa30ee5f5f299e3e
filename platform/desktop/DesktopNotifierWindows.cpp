#include "platform/desktop/DesktopNotifier.h"

#include <QGuiApplication>
#include <QIcon>
#include <QSystemTrayIcon>

// Windows shows a notification icon's message as a toast notification, and
// the icon stays in the notification area as the way back to the program.

namespace mindrel {

namespace {

const QString kDefaultAction = QStringLiteral("default");
// Windows decides how long a toast stays; this is only asked for.
constexpr int kShownMs = 10000;
constexpr int kNeverExpires = 0;
constexpr uint kTheNotification = 1;

}  // namespace

TDesktopNotifier::TDesktopNotifier(QObject* parent) : QObject(parent) {}

// Toasts show plain text only.
bool TDesktopNotifier::ServiceReadsMarkup() const { return false; }

bool TDesktopNotifier::Notify(const QString& appName, const QString& iconName, const QString& summary,
                              const QString& body, const QString& actionLabel, bool persistent) {
  if (!QSystemTrayIcon::isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages()) return false;
  auto* icon = new QSystemTrayIcon(QIcon::fromTheme(iconName, QGuiApplication::windowIcon()), this);
  icon->setToolTip(appName + QStringLiteral(" - ") + actionLabel);
  const auto invoke = [this] { OnActionInvoked(kTheNotification, kDefaultAction); };
  connect(icon, &QSystemTrayIcon::messageClicked, this, invoke);
  connect(icon, &QSystemTrayIcon::activated, this, invoke);
  icon->show();
  icon->showMessage(summary, ServiceReadsMarkup() ? body.toHtmlEscaped() : body, QSystemTrayIcon::Information,
                    persistent ? kNeverExpires : kShownMs);
  id_ = kTheNotification;
  return true;
}

void TDesktopNotifier::OnActionInvoked(uint id, const QString& actionKey) {
  if (id_ != 0 && id == id_ && actionKey == kDefaultAction) emit ActionInvoked();
}

// The icon stays until the program ends, so the notification is never gone
// before the user acts on it.
void TDesktopNotifier::OnNotificationClosed(uint id, uint /*reason*/) {
  if (id_ != 0 && id == id_) emit Closed();
}

}  // namespace mindrel
