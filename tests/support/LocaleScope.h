#pragma once
// Dates and times follow the user's locale; a test fixes it for its scope.

#include <QLocale>

struct LocaleScope {
    QLocale saved;
    explicit LocaleScope(const QLocale& l) { QLocale::setDefault(l); }
    ~LocaleScope() { QLocale::setDefault(saved); }
};
