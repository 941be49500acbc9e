#include "platformevent.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

PlatformEvent::PlatformEvent()
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

PlatformEvent::~PlatformEvent()
{
    ::close(m_fd);
}

void PlatformEvent::set() noexcept
{
    const std::uint64_t one = 1;
    // Only fails with EAGAIN when the counter is saturated, i.e. already set.
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}

void PlatformEvent::reset() noexcept
{
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &value, sizeof value);
}

bool PlatformEvent::isSet() const noexcept
{
    struct pollfd p = { m_fd, POLLIN, 0 };
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}
