#include "platform/desktop/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QVariantMap>

namespace mindrel {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The key a service sends when the notification itself is clicked.
const QString kDefaultAction = QStringLiteral("default");
// A service started on demand at log-on may take a moment to answer.
constexpr int kCallTimeoutMs = 5000;
constexpr int kNeverExpires = 0;
constexpr int kServerDecidesExpiry = -1;

QDBusMessage Call(const QString& method) {
  return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

TDesktopNotifier::TDesktopNotifier(QObject* parent) : QObject(parent) {}

bool TDesktopNotifier::ServiceReadsMarkup() const {
  const QDBusReply<QStringList> capabilities = QDBusConnection::sessionBus().call(
      Call(QStringLiteral("GetCapabilities")), QDBus::Block, kCallTimeoutMs);
  return capabilities.isValid() && capabilities.value().contains(QStringLiteral("body-markup"));
}

bool TDesktopNotifier::Notify(const QString& appName, const QString& iconName, const QString& summary,
                              const QString& body, const QString& actionLabel, bool persistent) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  // Listen before asking, so no signal for the new notification is missed.
  bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
              SLOT(OnActionInvoked(uint, QString)));
  bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
              SLOT(OnNotificationClosed(uint, uint)));

  QDBusMessage notify = Call(QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), appName);
  notify << appName << uint(0) << iconName << summary << (ServiceReadsMarkup() ? body.toHtmlEscaped() : body)
         << QStringList{kDefaultAction, actionLabel} << hints
         << (persistent ? kNeverExpires : kServerDecidesExpiry);
  const QDBusReply<uint> reply = bus.call(notify, QDBus::Block, kCallTimeoutMs);
  if (!reply.isValid()) return false;
  id_ = reply.value();
  return true;
}

void TDesktopNotifier::OnActionInvoked(uint id, const QString& actionKey) {
  if (id_ != 0 && id == id_ && actionKey == kDefaultAction) emit ActionInvoked();
}

void TDesktopNotifier::OnNotificationClosed(uint id, uint /*reason*/) {
  if (id_ != 0 && id == id_) emit Closed();
}

}  // namespace mindrel
