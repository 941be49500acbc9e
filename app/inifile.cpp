#include "inifile.h"

#include "codepage.h"
#include "zephulerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cctype>

namespace {

bool isSectionHeader(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    return t.startsWith('[') && t.endsWith(']');
}

QString sectionName(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    return fromCodePage(t.mid(1, t.size() - 2)).trimmed();
}

// Key name of a "key=value" line; empty for comments and other lines.
QString keyName(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('#'))
        return QString();
    const int eq = t.indexOf('=');
    return eq <= 0 ? QString() : fromCodePage(t.left(eq)).trimmed();
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

IniFile::IniFile(const QString &path)
    : m_path(path)
{ }

std::optional<QList<QByteArray>> IniFile::readLines() const
{
    QFile file(m_path);
    if (!file.exists())
        return QList<QByteArray>();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the file's last line end
    return lines;
}

int IniFile::findSection(const QList<QByteArray> &lines, const QString &section)
{
    for (int i = 0; i < lines.size(); ++i)
        if (isSectionHeader(lines[i]) && sameName(sectionName(lines[i]), section))
            return i;
    return -1;
}

int IniFile::findKey(const QList<QByteArray> &lines, int header, const QString &key)
{
    for (int i = header + 1; i < lines.size() && !isSectionHeader(lines[i]); ++i)
        if (sameName(keyName(lines[i]), key))
            return i;
    return -1;
}

QString IniFile::readString(const QString &section, const QString &key,
                            const QString &fallback) const
{
    const QList<QByteArray> lines = readLines().value_or(QList<QByteArray>());
    const int header = findSection(lines, section);
    if (header < 0)
        return fallback;
    const int at = findKey(lines, header, key);
    if (at < 0)
        return fallback;
    const QByteArray &line = lines[at];
    return fromCodePage(line.mid(line.indexOf('=') + 1));
}

std::optional<qint64> IniFile::parseInteger(const QString &text)
{
    QString digits = text;
    int base = 10;
    if (text.startsWith('$')) {
        digits = text.mid(1);
        base = 16;
    } else if (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X"))) {
        digits = text.mid(2);
        base = 16;
    }
    if (base == 16) {
        // A hexadecimal text is digits only: no sign, no blanks; the 32 bits as they stand.
        if (digits.isEmpty() || digits.size() > 8)
            return std::nullopt;
        for (const QChar c : digits)
            if (!isxdigit(c.toLatin1()))
                return std::nullopt;
        return qint64(qint32(digits.toUInt(nullptr, 16)));
    }
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok, base);
    if (!ok || value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return value;
}

qint64 IniFile::readInteger(const QString &section, const QString &key, qint64 fallback) const
{
    const std::optional<qint64> value = parseInteger(readString(section, key, QString()));
    return value ? *value : fallback;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    std::optional<QList<QByteArray>> existing = readLines();
    if (!existing)
        throw ZephulError(QStringLiteral("Impossible d'écrire dans %1").arg(m_path));
    QList<QByteArray> &lines = *existing;
    const QByteArray keyLine = toCodePage(key) + '=' + toCodePage(value);
    int header = findSection(lines, section);
    if (header < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QByteArray());
        lines.append('[' + toCodePage(section) + ']');
        lines.append(keyLine);
    } else if (const int at = findKey(lines, header, key); at >= 0) {
        // Only the value changes: the key keeps its spelling in the file.
        lines[at] = lines[at].left(lines[at].indexOf('=') + 1) + toCodePage(value);
    } else {
        // After the section's last non-blank line, so a blank line before the next section stays.
        int end = header + 1;
        while (end < lines.size() && !isSectionHeader(lines[end]))
            ++end;
        while (end > header + 1 && lines[end - 1].trimmed().isEmpty())
            --end;
        lines.insert(end, keyLine);
    }

    QByteArray bytes;
    for (const QByteArray &line : lines)
        bytes += line + crlf;
    createMissingFolders();
    QSaveFile file(m_path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw ZephulError(QStringLiteral("Impossible d'écrire dans %1").arg(m_path));
}

void IniFile::createMissingFolders() const
{
    QStringList missing;
    for (QString folder = QFileInfo(m_path).absolutePath(); !QFileInfo::exists(folder);) {
        missing.prepend(folder);
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            break;
        folder = parent;
    }
    // Should one fail, so does the write that follows, with the file's name in the message.
    for (const QString &folder : missing)
        if (!QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return;
}

void IniFile::writeInteger(const QString &section, const QString &key, qint64 value)
{
    writeString(section, key, QString::number(value));
}
