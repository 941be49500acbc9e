#include "codepage.h"

#include <QList>
#include <QStringView>
#include <array>

namespace {

// Bytes 0x80 to 0x9F; 0 where the code page defines no character.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char encode(uint c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < HighControls.size(); ++i)
        if (HighControls[i] == c || (HighControls[i] == 0 && c == 0x80 + i))
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

QByteArray toCodePage(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    // By code point, so a character outside the basic plane (a surrogate pair) is one '?'.
    for (const uint c : QStringView(text).toUcs4())
        bytes += encode(c);
    return bytes;
}

QString fromCodePage(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        const char16_t mapped = u >= 0x80 && u < 0xA0 ? HighControls[u - 0x80] : 0;
        text += QChar(mapped ? mapped : char16_t(u));
    }
    return text;
}
