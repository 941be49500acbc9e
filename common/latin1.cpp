#include "latin1.h"

QByteArray toLatin1Bytes(const QString &text)
{
    return text.toLatin1();
}

QString fromLatin1Bytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}
