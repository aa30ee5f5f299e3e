#include "app/LocaleNamesQt.h"

#include <QLocale>

namespace mindrel {

namespace {

// 1 = Sunday .. 7 = Saturday to Qt's 1 = Monday .. 7 = Sunday.
int QtDay(int day) { return day == 1 ? 7 : day - 1; }

}  // namespace

std::string TQtLocaleNames::ShortDayName(int day) const {
  return QLocale().dayName(QtDay(day), QLocale::ShortFormat).toStdString();
}

std::string TQtLocaleNames::LongDayName(int day) const {
  return QLocale().dayName(QtDay(day), QLocale::LongFormat).toStdString();
}

std::string TQtLocaleNames::ShortMonthName(int month) const {
  return QLocale().monthName(month, QLocale::ShortFormat).toStdString();
}

std::string TQtLocaleNames::LongMonthName(int month) const {
  return QLocale().monthName(month, QLocale::LongFormat).toStdString();
}

}  // namespace mindrel
