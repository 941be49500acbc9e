#include "settingnames.h"

#include <array>
#include <iterator>

namespace {

constexpr std::array<const char *, 16> kBaudRates
    = { "Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
        "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000" };
constexpr std::array<const char *, 3> kStopBits = { "1", "1.5", "2" };
constexpr std::array<const char *, 4> kDataBits = { "5", "6", "7", "8" };
constexpr std::array<const char *, 5> kParity = { "None", "Odd", "Even", "Mark", "Space" };
constexpr std::array<const char *, 4> kFlowControl = { "Hardware", "Software", "None", "Custom" };
constexpr std::array<const char *, 3> kDtr = { "Disable", "Enable", "Handshake" };
constexpr std::array<const char *, 4> kRts = { "Disable", "Enable", "Handshake", "Toggle" };

// Only the ASCII letters change: the names are plain ASCII, and a Unicode folding would let
// texts such as "\u017F" match "S".
QString asciiUpper(const QString &s)
{
    QString out = s;
    for (QChar &c : out)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    return out;
}

template<typename Enum, std::size_t N>
QString nameOf(const std::array<const char *, N> &names, Enum value)
{
    const auto index = static_cast<std::size_t>(value);
    return index < N ? QString::fromLatin1(names[index]) : QString();
}

template<typename Enum, std::size_t N>
Enum valueOf(const std::array<const char *, N> &names, const QString &name, Enum fallback)
{
    const QString wanted = asciiUpper(name);
    for (std::size_t i = 0; i < N; ++i)
        if (asciiUpper(QString::fromLatin1(names[i])) == wanted)
            return static_cast<Enum>(i);
    return fallback;
}

} // namespace

QString BaudRateName(TBaudRate value)
{
    return nameOf(kBaudRates, value);
}
QString StopBitsName(TStopBits value)
{
    return nameOf(kStopBits, value);
}
QString DataBitsName(TDataBits value)
{
    return nameOf(kDataBits, value);
}
QString ParityName(TParityBits value)
{
    return nameOf(kParity, value);
}
QString FlowControlName(TFlowControl value)
{
    return nameOf(kFlowControl, value);
}
QString DTRName(TDTRFlowControl value)
{
    return nameOf(kDtr, value);
}
QString RTSName(TRTSFlowControl value)
{
    return nameOf(kRts, value);
}

TBaudRate BaudRateFromName(const QString &name)
{
    return valueOf(kBaudRates, name, br9600);
}
TStopBits StopBitsFromName(const QString &name)
{
    return valueOf(kStopBits, name, sbOneStopBit);
}
TDataBits DataBitsFromName(const QString &name)
{
    return valueOf(kDataBits, name, dbEight);
}
TParityBits ParityFromName(const QString &name)
{
    return valueOf(kParity, name, prNone);
}
TFlowControl FlowControlFromName(const QString &name)
{
    return valueOf(kFlowControl, name, fcCustom);
}
TDTRFlowControl DTRFromName(const QString &name)
{
    return valueOf(kDtr, name, dtrDisable);
}
TRTSFlowControl RTSFromName(const QString &name)
{
    return valueOf(kRts, name, rtsDisable);
}

QString BoolName(bool value)
{
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

bool BoolFromName(const QString &name)
{
    return asciiUpper(name) == QLatin1String("YES");
}

QString CharName(char value)
{
    const int code = static_cast<unsigned char>(value);
    if (code >= 33 && code <= 127)
        return QString(QChar(code));
    return QLatin1Char('#') + QString::number(code);
}

char CharFromName(const QString &name)
{
    if (name.isEmpty())
        return 0;
    if (name.startsWith(QLatin1Char('#')) && name.size() > 1) {
        bool ok = false;
        const int code = name.mid(1).toInt(&ok);
        // A number that is no byte would otherwise wrap round to an unrelated character.
        return (ok && code >= 0 && code <= 255) ? static_cast<char>(code) : char(0);
    }
    const char16_t first = name.at(0).unicode();
    return first <= 0xFF ? static_cast<char>(first) : '?';
}
