#include "linefile.h"

#include "codepage.h"
#include "recordioerror.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#endif
#include <unistd.h>

namespace {

#ifdef _WIN32
// Binary: in text mode the C runtime would write every LF of a CR LF line end as CR LF again.
constexpr int kPlatformFlags = O_BINARY | O_NOINHERIT;
#else
constexpr int kPlatformFlags = O_CLOEXEC;
#endif

// Waits until the file's data has reached the medium. Devices and file systems that cannot sync
// (a character device such as /dev/null answers EINVAL) have nothing to keep.
int syncData(int fd)
{
#ifdef _WIN32
    return ::_commit(fd) == 0 || errno == EBADF ? 0 : errno;
#else
    int result;
    do {
        result = ::fdatasync(fd);
    } while (result != 0 && errno == EINTR);
    if (result == 0 || errno == EINVAL || errno == EROFS)
        return 0;
    return errno;
#endif
}

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
    const auto fail = [&](int error, bool partial) {
        if (before >= 0 && partial && ::ftruncate(m_fd, before) != 0) {
            // Nothing more to try: the write error below is what the operator must see.
        }
        throw RecordIoError::fromErrno(error, false);
    };
    const char *data = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail(written < 0 ? errno : ENOSPC, left < line.size());
        data += written;
        left -= written;
    }
    if (const int error = syncData(m_fd))
        fail(error, true);
}

void LineFile::close()
{
    const int fd = m_fd;
    m_fd = -1;
    // Linux releases the descriptor even when close is interrupted: never close it twice.
    if (::close(fd) != 0 && errno != EINTR)
        throw RecordIoError::fromErrno(errno, false);
}
