#include "linefile.h"

#include "latin1.h"
#include "recordioerror.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

#ifdef _WIN32
// Binary: in text mode the C runtime would write every LF of a CR LF line end as CR LF again.
constexpr int kPlatformFlags = O_BINARY | O_NOINHERIT;
#else
constexpr int kPlatformFlags = O_CLOEXEC;
#endif

} // namespace

LineFile::LineFile(const QString &path, Mode mode)
{
    if (path.isEmpty())
        throw RecordIoError(RecordIoError::PathNotFound);
    const int flags
        = O_WRONLY | O_CREAT | kPlatformFlags | (mode == Mode::Create ? O_TRUNC : O_APPEND);
    const QByteArray name = QFile::encodeName(path);
    do {
        m_fd = ::open(name.constData(), flags, 0666);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        throw RecordIoError::fromErrno(errno, true);
}

LineFile::~LineFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void LineFile::writeLine(const QByteArray &bytes)
{
    const QByteArray line = bytes + crlf;
    // Appending: the end of the file is where this line starts. Devices report no length.
    const off_t before = ::lseek(m_fd, 0, SEEK_END);
    const char *data = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            if (before >= 0 && left < line.size() && ::ftruncate(m_fd, before) != 0) {
                // Nothing more to try: the write error below is what the operator must see.
            }
            throw RecordIoError::fromErrno(error, false);
        }
        data += written;
        left -= written;
    }
}

void LineFile::close()
{
    const int fd = m_fd;
    m_fd = -1;
    // Linux releases the descriptor even when close is interrupted: never close it twice.
    if (::close(fd) != 0 && errno != EINTR)
        throw RecordIoError::fromErrno(errno, false);
}
