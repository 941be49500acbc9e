#include "chronotext.h"

#include <algorithm>

namespace ChronoText {

namespace {

QString twoDigits(std::int64_t v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

} // namespace

QString clockText(const QTime &time)
{
    return twoDigits(time.hour()) + u':' + twoDigits(time.minute()) + u':'
        + twoDigits(time.second());
}

QString balloonText(std::int64_t elapsedMs)
{
    const std::int64_t s = std::max<std::int64_t>(elapsedMs, 0) / 1000 % 86400;
    return twoDigits(s / 3600) + u':' + twoDigits(s / 60 % 60) + u':' + twoDigits(s % 60);
}

QString rocketText(std::int64_t elapsedMs)
{
    const std::int64_t ms = std::max<std::int64_t>(elapsedMs, 0) % 3600000;
    return twoDigits(ms / 60000) + u':' + twoDigits(ms / 1000 % 60) + u'.'
        + QStringLiteral("%1").arg(ms % 1000, 3, 10, QLatin1Char('0'));
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
