#include "numberformat.h"

#include <QLocale>
#include <cstdio>

QChar decimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar('.') : point.at(0);
}

QString formatFixed(long double value, int precision, int width)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%*.*Lf", width, precision, value);
    QString text = QString::fromLatin1(buffer);
    const QChar separator = decimalSeparator();
    if (separator != QChar('.'))
        text.replace(QChar('.'), separator);
    return text;
}
