#include "recordlines.h"

#include <QFile>

namespace RecordLines {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList all(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the last line's end
    return lines;
}

QStringList data(const QString &path)
{
    QStringList lines = all(path);
    if (!lines.isEmpty())
        lines.removeFirst();
    return lines;
}

} // namespace RecordLines
