#pragma once

#include <QByteArray>
#include <QString>

// One record file opened for a few lines and closed at once: no handle is kept between two
// frames, so other programs can read the file during a flight and a swapped medium is noticed at
// the next line. Every failure throws RecordIoError.
class LineFile
{
public:
    enum class Mode {
        Create, // created empty; an existing file is truncated
        Append, // appended to; created when missing (a file deleted during a flight comes back)
    };

    LineFile(const QString &path, Mode mode);
    ~LineFile(); // closes a file still open without reporting
    LineFile(const LineFile &) = delete;
    LineFile &operator=(const LineFile &) = delete;

    // Writes the bytes followed by CR LF and waits until they are on the medium (a laptop whose
    // battery dies right after keeps the line). On failure the file is cut back to its length
    // before the call, so a full disk leaves no half line for the next line to be glued to.
    void writeLine(const QByteArray &bytes);
    // Closes the file; a failing close (data that could not be flushed) throws.
    void close();

private:
    int m_fd = -1;
};
