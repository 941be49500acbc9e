#include "ptypair.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    struct termios raw;
    cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slaveKeep, name, &raw, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    m_slavePath = name;
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slaveKeep, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

void PtyPair::send(const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            throw std::runtime_error(std::string("pty write: ") + std::strerror(errno));
        }
        done += std::size_t(n);
    }
}

std::string PtyPair::receive(std::size_t count, std::chrono::milliseconds timeout)
{
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        struct pollfd p = { m_master, POLLIN, 0 };
        if (::poll(&p, 1, int(left.count())) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(m_master, buffer, std::min(sizeof buffer, count - out.size()));
        if (n <= 0)
            break;
        out.append(buffer, std::size_t(n));
    }
    return out;
}

std::string PtyPair::receiveFor(std::chrono::milliseconds timeout)
{
    return receive(std::string::npos / 2, timeout);
}

void PtyPair::closeMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}
