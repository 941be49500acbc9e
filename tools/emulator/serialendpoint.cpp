#include "serialendpoint.h"

#include "publishedports.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::runtime_error systemFailure(const std::string &what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

// 600 bit/s, 8 data bits, no parity, 1 stop bit, no handshake, no line editing.
bool setRawLine(int fd)
{
    struct termios settings
    {
    };
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~tcflag_t(CSTOPB | CRTSCTS | PARENB);
    settings.c_cflag |= CLOCAL | CREAD | CS8;
    settings.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::cfsetispeed(&settings, B600);
    ::cfsetospeed(&settings, B600);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

std::unique_ptr<SerialEndpoint> SerialEndpoint::openPseudoTerminal(const std::string &folder,
                                                                   const std::string &alias)
{
    std::unique_ptr<SerialEndpoint> endpoint(new SerialEndpoint);
    endpoint->m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (endpoint->m_fd < 0)
        throw systemFailure("cannot create a pseudo-terminal");
    ::fcntl(endpoint->m_fd, F_SETFL, ::fcntl(endpoint->m_fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(endpoint->m_fd, F_SETFD, FD_CLOEXEC);
    if (::grantpt(endpoint->m_fd) != 0 || ::unlockpt(endpoint->m_fd) != 0)
        throw systemFailure("cannot unlock the pseudo-terminal");
    char name[PATH_MAX] = {};
    if (::ptsname_r(endpoint->m_fd, name, sizeof name) != 0)
        throw systemFailure("cannot name the pseudo-terminal");
    endpoint->m_device = name;
    endpoint->m_heldSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (endpoint->m_heldSlave < 0)
        throw systemFailure(std::string("cannot open ") + name);
    if (!setRawLine(endpoint->m_heldSlave))
        throw systemFailure(std::string("cannot set up ") + name);
    try {
        endpoint->m_portName = PublishedPorts::publish(folder, alias, endpoint->m_device);
    } catch (const std::exception &error) {
        throw std::runtime_error("cannot publish the port in " + folder + ": " + error.what());
    }
    endpoint->m_published = true;
    return endpoint;
}

std::unique_ptr<SerialEndpoint> SerialEndpoint::openDevice(const std::string &path)
{
    std::unique_ptr<SerialEndpoint> endpoint(new SerialEndpoint);
    endpoint->m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (endpoint->m_fd < 0)
        throw systemFailure("cannot open device " + path);
    if (!::isatty(endpoint->m_fd))
        throw std::runtime_error("cannot use " + path + ": not a serial device");
    if (!setRawLine(endpoint->m_fd))
        throw systemFailure("cannot set up device " + path);
    ::tcflush(endpoint->m_fd, TCIOFLUSH);
    endpoint->m_device = path;
    endpoint->m_portName = path;
    return endpoint;
}

SerialEndpoint::~SerialEndpoint()
{
    if (m_published) {
        // Only our own link: another emulator may have taken the alias over since.
        char target[PATH_MAX] = {};
        const ssize_t length = ::readlink(m_portName.c_str(), target, sizeof target - 1);
        if (length > 0 && m_device == std::string(target, std::size_t(length)))
            PublishedPorts::unpublish(m_portName);
    }
    if (m_heldSlave >= 0)
        ::close(m_heldSlave);
    if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t SerialEndpoint::unread() const
{
    int count = 0;
    if (m_heldSlave >= 0) {
        if (::ioctl(m_heldSlave, TIOCINQ, &count) != 0)
            return 0;
    } else if (::ioctl(m_fd, TIOCOUTQ, &count) != 0) {
        return 0;
    }
    return count > 0 ? std::size_t(count) : 0;
}

void SerialEndpoint::discardUnread()
{
    if (m_heldSlave >= 0)
        ::tcflush(m_heldSlave, TCIFLUSH);
}
