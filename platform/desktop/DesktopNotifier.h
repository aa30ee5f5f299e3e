#pragma once

#include <QObject>
#include <QString>

namespace mindrel {

// One desktop notification through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus), with one action.
class TDesktopNotifier : public QObject {
  Q_OBJECT

 public:
  explicit TDesktopNotifier(QObject* parent = nullptr);

  // Sends the notification. `iconName` is a name of the icon theme; the body
  // is plain text (escaped where the service reads markup). A persistent
  // notification stays until the user acts on it. False when no
  // notification service answers on the session bus; nothing else happens
  // then.
  bool Notify(const QString& appName, const QString& iconName, const QString& summary, const QString& body,
              const QString& actionLabel, bool persistent);

 signals:
  // The user chose the action, or clicked the notification.
  void ActionInvoked();
  // The notification is gone: dismissed, expired or closed by the service.
  void Closed();

 private slots:
  void OnActionInvoked(uint id, const QString& actionKey);
  void OnNotificationClosed(uint id, uint reason);

 private:
  bool ServiceReadsMarkup() const;

  uint id_ = 0;
};

}  // namespace mindrel
