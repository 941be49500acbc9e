#include "recordfile.h"

#include "codepage.h"
#include "linefile.h"
#include "recordioerror.h"

#include <QDir>
#include <QFileInfo>
#include <optional>
#include <vector>

const QString RecordFile::BackupFileName = QStringLiteral("secours.zephul");

void RecordFile::BeginRecordRun(const QDate &launchDate, const QStringList &channelNames)
{
    // A run already prepared only gets another header.
    const bool create = !RunOpen && CreateOnStart;
    const LineFile::Mode mode = create ? LineFile::Mode::Create : LineFile::Mode::Append;
    RunOpen = true;
    try {
        LineFile record(RecordPath, mode);
        std::optional<LineFile> backup;
        if (!backupIsRecord())
            backup.emplace(BackupPath, mode);
        if (create)
            CreateOnStart = false;
        DatePrefix = datePrefixFor(launchDate);
        const QByteArray header = toCodePage(headerLine(channelNames));
        record.writeLine(header);
        if (backup) {
            backup->writeLine(header);
            backup->close();
        }
        record.close();
        m_failing.clear();
    } catch (...) {
        RunOpen = false;
        throw;
    }
}

void RecordFile::AppendRecordLine(const QString &line)
{
    const QByteArray bytes = toCodePage(line);
    QStringList failing;
    std::vector<RecordIoError> errors;
    const auto append = [&](const QString &path) {
        try {
            LineFile file(path, LineFile::Mode::Append);
            file.writeLine(bytes);
            file.close();
        } catch (const RecordIoError &error) {
            failing.prepend(path);
            errors.insert(errors.begin(), error);
        }
    };
    if (!backupIsRecord())
        append(BackupPath);
    append(RecordPath);
    m_failing = failing;
    if (errors.size() == 1 || (errors.size() == 2 && errors[0].message() == errors[1].message()))
        throw errors.front();
    if (!errors.empty())
        throw ZephulError(errors[0].message() + QLatin1Char('\n') + errors[1].message());
}

QString RecordFile::failureText() const
{
    if (m_failing.isEmpty())
        return QString();
    return QStringLiteral("Enregistrement impossible : ") + m_failing.join(QStringLiteral(" et "));
}

bool RecordFile::backupIsRecord() const
{
    const auto absolute
        = [](const QString &path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); };
    return absolute(BackupPath) == absolute(RecordPath);
}

QString RecordFile::datePrefixFor(const QDate &date)
{
    return QStringLiteral("%1/%2/%3;").arg(date.day()).arg(date.month()).arg(date.year());
}

QString RecordFile::headerLine(const QStringList &channelNames)
{
    return QStringLiteral("Date;Heure;Chrono;") + channelNames.join(QLatin1Char(';'))
        + QStringLiteral(";Piles;");
}

QString RecordFile::dataLine(const QString &datePrefix, const QString &clockText,
                             const QString &chronoField, const std::array<QString, 8> &values,
                             const QString &batteryText)
{
    QString line = datePrefix + clockText + QLatin1Char(';') + chronoField + QLatin1Char(';');
    for (const QString &value : values)
        line += value + QLatin1Char(';');
    return line + batteryText;
}
