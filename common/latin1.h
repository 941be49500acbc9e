#pragma once

#include <QByteArray>
#include <QString>

// Files the program writes and reads (settings, record files) are in the Latin-1 code page.
// Characters that Latin-1 cannot hold are written as '?'.
QByteArray toLatin1Bytes(const QString &text);
QString fromLatin1Bytes(const QByteArray &bytes);

// Line end of every file the program writes.
inline constexpr char crlf[] = "\r\n";
