#pragma once
// Dates and times in the user's own formats: the locale's short date form and
// its long time form (hours, minutes and seconds, without a time-zone name).

#include <QDateTime>
#include <QString>

namespace platform {

QString shortDateText(const QDate& d);
QString longTimeText(const QTime& t);
// Date and time separated by one blank.
QString dateTimeText(const QDateTime& t);

} // namespace platform
