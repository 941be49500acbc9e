#include "framearithmetic.h"

#include "zephulerror.h"

#include <cmath>

namespace FrameArithmetic {

namespace {

int unsignedAt(const QByteArray &data, int index)
{
    return static_cast<unsigned char>(data.at(index));
}

// Characters first..first+length-1 (1-based) of text as a decimal integer.
std::int32_t field(const QString &text, int first, int length)
{
    const QString part = text.mid(first - 1, length);
    bool digitsOnly = !part.isEmpty();
    for (const QChar c : part)
        digitsOnly = digitsOnly && c >= QChar('0') && c <= QChar('9');
    if (!digitsOnly)
        throw ZephulError(
            QStringLiteral("Temps du chronomètre illisible : « %1 » n'est pas un nombre entier")
                .arg(part));
    return part.toInt();
}

} // namespace

int checkValue(const QByteArray &frameData)
{
    int sum = 0;
    for (int i = 0; i < DataBytes && i < frameData.size(); ++i)
        sum += unsignedAt(frameData, i);
    return (sum % 256) / 2;
}

bool checkByteMatches(const QByteArray &frameData)
{
    if (frameData.size() < FrameDataSize)
        return false;
    return unsignedAt(frameData, CheckIndex) == checkValue(frameData);
}

int channelByte(const QByteArray &frameData, int n)
{
    return unsignedAt(frameData, 8 - n);
}

int batteryByte(const QByteArray &frameData)
{
    return unsignedAt(frameData, BatteryIndex);
}

long double channelVolts(int byte)
{
    return static_cast<long double>(byte) * ChannelScale;
}

double batteryVolts(int byte)
{
    return (byte + 14) / 16.0;
}

int batteryGaugePercent(double volts, double maxVolts)
{
    return static_cast<int>(roundHalfEven(static_cast<long double>(volts) / maxVolts * 100.0L));
}

std::int64_t roundHalfEven(long double value)
{
    // Written out rather than left to the current rounding mode, which a library may change.
    const long double below = std::floor(value);
    const long double fraction = value - below;
    std::int64_t result = static_cast<std::int64_t>(below);
    if (fraction > 0.5L || (fraction == 0.5L && (result % 2) != 0))
        ++result;
    return result;
}

std::int64_t truncate(long double value)
{
    return static_cast<std::int64_t>(std::trunc(value));
}

std::int32_t balloonElapsedSeconds(const QString &chronoText)
{
    return field(chronoText, 1, 2) * 3600 + field(chronoText, 4, 2) * 60 + field(chronoText, 7, 2);
}

std::int32_t rocketElapsedMs(const QString &chronoText)
{
    return field(chronoText, 1, 2) * 60000 + field(chronoText, 4, 2) * 1000
        + field(chronoText, 7, 3);
}

} // namespace FrameArithmetic
