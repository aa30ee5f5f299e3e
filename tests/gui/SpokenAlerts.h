#pragma once

#include <QListWidget>
#include <QStringList>

// What a screen reader says for each item of the alert list: its date and sentence.
QStringList SpokenAlerts(const QListWidget& list);
// The first item whose spoken text holds `part`; -1 when none does.
int SpokenAlertIndex(const QListWidget& list, const QString& part);
