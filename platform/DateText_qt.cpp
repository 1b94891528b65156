#include "platform/DateText_qt.h"

#include <QLocale>

namespace platform {

namespace {
// The long time format without its time-zone field ("t"), which a clock
// reading in a file or on paper does not need.
QString longTimeFormat(const QLocale& loc) {
    const QString f = loc.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : f) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        out += c;
    }
    return out.simplified();
}
} // namespace

QString shortDateText(const QDate& d) {
    return QLocale().toString(d, QLocale::ShortFormat);
}

QString longTimeText(const QTime& t) {
    const QLocale loc;
    return loc.toString(t, longTimeFormat(loc));
}

QString dateTimeText(const QDateTime& t) {
    return shortDateText(t.date()) + QLatin1Char(' ') + longTimeText(t.time());
}

} // namespace platform
