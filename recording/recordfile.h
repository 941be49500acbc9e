#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

// The record file and its backup copy. Each reception run writes a header line, then one data
// line per accepted frame to both files; fields are separated by ";" and never quoted, texts are
// Latin-1 and lines end in CR LF. No file is held open between two lines.
// GUI thread only. Failures throw RecordIoError.
class RecordFile
{
public:
    QString RecordPath; // empty until a file is chosen
    QString BackupPath; // "secours.zephul" in the folder where the record file was chosen
    bool CreateOnStart = false; // the next start creates both files empty
    bool RunOpen = false; // the current reception has prepared both files
    QString DatePrefix; // "d/m/yyyy;" of the launch date, rebuilt at each start

    // Name of the backup copy in the folder of the record file.
    static const QString BackupFileName;

    // Start of a reception run: prepares both files (created empty after "Nouveau", appended to
    // otherwise; a missing file is created), builds DatePrefix from the day the program was
    // started and writes the header line with the eight channel names to the record file, then
    // to the backup copy. On failure RunOpen is false again, and CreateOnStart stays true
    // unless both files were created.
    void BeginRecordRun(const QDate &launchDate, const QStringList &channelNames);

    // One accepted frame: the line goes to the backup copy, then to the record file, each on its
    // own: a backup copy on a full or vanished medium never costs the record file its line, nor
    // the reverse. Every line is on the medium when this returns. When either file failed, its
    // error is thrown after both were tried (both errors, one per line, when they differ).
    void AppendRecordLine(const QString &line);

    // The files whose last line could not be written (record file first), until a line is
    // written to them again or a reception run is prepared.
    const QStringList &failingFiles() const { return m_failing; }
    // What the window shows while failingFiles() is not empty: "Enregistrement impossible : "
    // and the paths; empty otherwise.
    QString failureText() const;

    // "d/m/yyyy;" without leading zeros.
    static QString datePrefixFor(const QDate &date);
    // "Date;Heure;Chrono;" + the eight names separated by ";" + ";Piles;".
    static QString headerLine(const QStringList &channelNames);
    // A data line of 12 fields: the date prefix (which ends in ";"), the clock text, the
    // chronometer field (BALLON "hh:mm:ss", FUSEE milliseconds), the eight value texts and the
    // battery text, separated by ";" with none at the end.
    static QString dataLine(const QString &datePrefix, const QString &clockText,
                            const QString &chronoField, const std::array<QString, 8> &values,
                            const QString &batteryText);

private:
    QStringList m_failing;

    // A record file named "secours.zephul" in its own folder is its own backup copy: it gets
    // each line once, not twice.
    bool backupIsRecord() const;
};
