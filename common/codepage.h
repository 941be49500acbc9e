#pragma once

#include <QByteArray>
#include <QString>

// Files the program writes and reads (settings, record files) are in the Windows-1252 code page
// the operators' other tools use: Latin-1 plus the 27 printable characters Windows puts at
// 0x80-0x9F (€, œ, Œ, typographic quotes and dashes...). A character the code page cannot hold
// is written as one '?'. The five bytes Windows leaves undefined there (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) read as the control characters of the same number and are written back unchanged.
QByteArray toCodePage(const QString &text);
QString fromCodePage(const QByteArray &bytes);

// Line end of every file the program writes.
inline constexpr char crlf[] = "\r\n";
