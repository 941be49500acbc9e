#include "flightmodel.h"

namespace {

// value / divisor rounded to the nearest integer, ties to even (what printf does with an exact
// binary value).
std::int64_t roundedQuotient(std::int64_t value, std::int64_t divisor)
{
    std::int64_t q = value / divisor;
    const std::int64_t r2 = 2 * (value % divisor);
    if (r2 > divisor || (r2 == divisor && q % 2 == 1))
        ++q;
    return q;
}

QString hundredths(std::int64_t h)
{
    return QStringLiteral("%1,%2").arg(h / 100).arg(h % 100, 2, 10, QLatin1Char('0'));
}

QString twoDigits(std::int64_t v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

} // namespace

QString FlightModel::Line::tail() const
{
    QString text = chrono;
    for (const QString &v : values)
        text += u';' + v;
    return text + u';' + battery;
}

QString FlightModel::channelText(int byte)
{
    // byte x 0.01960784 V = byte x 1960784 hundred-millionths of a volt; no byte falls on a tie.
    return hundredths(roundedQuotient(std::int64_t(byte) * 1960784, 1000000));
}

QString FlightModel::batteryText(int byte)
{
    // (byte + 14) / 16 V = (byte + 14) x 25 / 4 hundredths.
    return hundredths(roundedQuotient(std::int64_t(byte + 14) * 25, 4));
}

QString FlightModel::chronoText(std::int64_t elapsedMs)
{
    const std::int64_t s = elapsedMs / 1000;
    return twoDigits(s / 3600 % 24) + u':' + twoDigits(s / 60 % 60) + u':' + twoDigits(s % 60);
}

QString FlightModel::rocketChronoField(std::int64_t elapsedMs)
{
    return QString::number(elapsedMs % 3'600'000);
}

int FlightModel::receive(std::int64_t flightMs, const QByteArray &bytes)
{
    m_pending += bytes;
    int count = 0;
    for (;;) {
        const qsizetype start = m_pending.indexOf('\xFF');
        if (start < 0) {
            m_pending.clear();
            break;
        }
        m_pending.remove(0, start);
        if (m_pending.size() < 11)
            break;
        packet(flightMs, m_pending.mid(1, 10));
        m_pending.remove(0, 11);
        ++count;
    }
    return count;
}

void FlightModel::packet(std::int64_t flightMs, const QByteArray &data)
{
    ++m_packets;
    int sum = 0;
    for (int i = 0; i < 9; ++i)
        sum += static_cast<unsigned char>(data[i]);
    if (static_cast<unsigned char>(data[9]) != (sum % 256) / 2) {
        ++m_bad;
        return;
    }
    if (m_mode == Mode::Balloon && m_lastAcceptMs >= 0 && flightMs - m_lastAcceptMs < 900) {
        ++m_ignored;
        return;
    }
    if (m_firstAcceptMs < 0) {
        m_firstAcceptMs = flightMs;
        for (QString &t : m_lastText)
            t = QStringLiteral("0,00");
    }
    m_lastAcceptMs = flightMs;
    Line line;
    line.flightMs = flightMs;
    line.elapsedMs = flightMs - m_firstAcceptMs;
    line.chrono
        = m_mode == Mode::Balloon ? chronoText(line.elapsedMs) : rocketChronoField(line.elapsedMs);
    for (int n = 1; n <= 8; ++n) {
        if (m_shown[n - 1])
            m_lastText[n - 1] = channelText(static_cast<unsigned char>(data[8 - n]));
        line.values[n - 1] = m_lastText[n - 1];
    }
    line.battery = batteryText(static_cast<unsigned char>(data[8]));
    m_lines << line;
}
