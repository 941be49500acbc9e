#include "chronotext.h"

#include <algorithm>

namespace ChronoText {

namespace {

// Each text is rewritten up to ten times a second: built in place, with no formatting pass.
// Every value given is already in range, 0 to 99 or 0 to 999.
void put(QChar *&at, std::int64_t v, int digits)
{
    for (int i = digits - 1; i >= 0; --i, v /= 10)
        at[i] = QChar(u'0' + char16_t(v % 10));
    at += digits;
}

QString timeText(std::int64_t a, std::int64_t b, char16_t separator, std::int64_t c, int lastDigits)
{
    QString text(5 + 1 + lastDigits, Qt::Uninitialized);
    QChar *at = text.data();
    put(at, a, 2);
    *at++ = u':';
    put(at, b, 2);
    *at++ = separator;
    put(at, c, lastDigits);
    return text;
}

} // namespace

QString clockText(const QTime &time)
{
    return timeText(time.hour(), time.minute(), u':', time.second(), 2);
}

QString balloonText(std::int64_t elapsedMs)
{
    const std::int64_t s = std::max<std::int64_t>(elapsedMs, 0) / 1000 % 86400;
    return timeText(s / 3600, s / 60 % 60, u':', s % 60, 2);
}

QString rocketText(std::int64_t elapsedMs)
{
    const std::int64_t ms = std::max<std::int64_t>(elapsedMs, 0) % 3600000;
    return timeText(ms / 60000, ms / 1000 % 60, u'.', ms % 1000, 3);
}

QString runningText(FlightMode mode, std::int64_t elapsedMs)
{
    return mode == FlightMode::FUSEE ? rocketText(elapsedMs) : balloonText(elapsedMs);
}

QString zeroText(FlightMode mode)
{
    return mode == FlightMode::FUSEE ? QStringLiteral("00:00.000") : QStringLiteral("00:00:00");
}

QString startText(FlightMode mode)
{
    return mode == FlightMode::FUSEE ? QStringLiteral("00:00.000") : QStringLiteral("00:00:00 ");
}

} // namespace ChronoText
