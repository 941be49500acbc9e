#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The settings file: INI text in the Windows-1252 code page with CR LF line ends. Section and key
// names may hold accented letters and blanks ("Réception", "Port série") and are written as they
// stand; they are compared without regard to case. Writing changes only the line of the key (or
// adds the key at the end of its section, or the section at the end of the file) and keeps every
// other line. Nothing is held open: every write reads and rewrites the whole file. A write creates
// the file's folder when it is missing (and the folders above it), readable by the user alone.
class IniFile
{
public:
    explicit IniFile(const QString &path);

    const QString &path() const { return m_path; }

    QString readString(const QString &section, const QString &key, const QString &fallback) const;
    // A 32-bit integer: decimal (-2147483648 to 2147483647), or up to eight hexadecimal digits
    // after "$", "0x" or "0X" (the 32 bits as they stand: $FFFFFFFF is -1). Anything else,
    // a number too large for 32 bits included, gives the fallback.
    qint64 readInteger(const QString &section, const QString &key, qint64 fallback) const;

    // Throw ZephulError("Impossible d'écrire dans <path>") when the file cannot be written, or
    // when it exists but cannot be read: rewriting it from nothing would lose its other lines.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, qint64 value);

    static std::optional<qint64> parseInteger(const QString &text);

private:
    // The file's lines; empty for a missing file, nothing for one that cannot be read.
    std::optional<QList<QByteArray>> readLines() const;
    void createMissingFolders() const;
    // Index of the section's header line, or -1.
    static int findSection(const QList<QByteArray> &lines, const QString &section);
    // Index of the key's line inside the section that starts at `header`, or -1.
    static int findKey(const QList<QByteArray> &lines, int header, const QString &key);

    QString m_path;
};
