#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Reading back what a reception wrote, for the tests and benches that check record files.
namespace RecordLines {

// The file's bytes; "<missing>" when it cannot be read.
QByteArray contents(const QString &path);
// Every line of a record file (CR LF ends), headers included.
QStringList all(const QString &path);
// The lines after the file's first (header) line.
QStringList data(const QString &path);

} // namespace RecordLines
