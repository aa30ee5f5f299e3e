#include "SpokenAlerts.h"

QStringList SpokenAlerts(const QListWidget& list) {
  QStringList texts;
  for (int i = 0; i < list.count(); ++i) texts << list.item(i)->data(Qt::AccessibleTextRole).toString();
  return texts;
}

int SpokenAlertIndex(const QListWidget& list, const QString& part) {
  const QStringList spoken = SpokenAlerts(list);
  for (int i = 0; i < spoken.size(); ++i) {
    if (spoken[i].contains(part)) return i;
  }
  return -1;
}
