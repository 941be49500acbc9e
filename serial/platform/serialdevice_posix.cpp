#include "serialdevice.h"

#include "custombaudrate.h"
#include "platformevent.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace SerialPlatform;

namespace {

// A POLLIN that yields no byte this many times in a row is a device that will never give any.
constexpr int MaxEmptyWakeups = 100;

speed_t standardSpeed(int rate)
{
    switch (rate) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return B0;
    }
}

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool lostErrno(int e)
{
    return e == EIO || e == ENXIO || e == ENODEV || e == EBADF;
}

// Errors that mean "this device has no such feature", not a failure.
bool unsupportedErrno(int e)
{
    return e == ENOTTY || e == EINVAL || e == ENOTSUP;
}

// Discards output that has not been sent. Only when some is queued: on a pseudo-terminal the
// flush would reach into the other side and drop what it has already received.
int discardOutput(int fd)
{
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued <= 0)
        return 0;
    return ::tcflush(fd, TCOFLUSH) == 0 ? 0 : errno;
}

// Whether the transmitter has sent its last bit; true where the driver cannot tell.
bool transmitterEmpty(int fd)
{
    unsigned int lsr = 0;
    if (::ioctl(fd, TIOCSERGETLSR, &lsr) != 0)
        return true;
    return (lsr & TIOCSER_TEMT) != 0;
}

int setModemLine(int fd, int line, bool on)
{
    if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && !unsupportedErrno(errno))
        return errno;
    return 0;
}

} // namespace

SerialDevice::SerialDevice() = default;

SerialDevice::~SerialDevice()
{
    close();
}

int SerialDevice::open(const std::string &path)
{
    if (m_fd >= 0)
        return EBUSY;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    auto fail = [fd](int error) {
        ::close(fd);
        return error;
    };
    // Root ignores TIOCEXCL; the lock is what refuses a second open then.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    struct termios t;
    if (::tcgetattr(fd, &t) != 0)
        return fail(errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(errno);
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        const int error = errno;
        ::ioctl(fd, TIOCNXCL);
        return fail(error);
    }
    const int notify = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (notify < 0) {
        const int error = errno;
        ::ioctl(fd, TIOCNXCL);
        return fail(error);
    }
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    struct epoll_event device = {}, wake = {};
    // Not one-shot: the end of a batch needs no call to arm the device again (that call asked
    // the driver once more, and there it often waited for the work that had just delivered the
    // byte to finish). Nobody takes events from the set itself: polling it asks the device
    // again, so it is readable while bytes wait in the driver or the notification is pending,
    // and every wake drains the driver.
    device.events = EPOLLIN | EPOLLET;
    device.data.fd = fd;
    wake.events = EPOLLIN;
    wake.data.fd = notify;
    if (epoll < 0 || ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &device) != 0
        || ::epoll_ctl(epoll, EPOLL_CTL_ADD, notify, &wake) != 0) {
        const int error = errno;
        if (epoll >= 0)
            ::close(epoll);
        ::close(notify);
        ::ioctl(fd, TIOCNXCL);
        return fail(error);
    }

    std::lock_guard lock(m_mutex);
    m_fd = fd;
    m_notify = notify;
    m_epoll = epoll;
    m_held = false;
    m_queue.clear();
    m_pendingEvents = 0;
    m_errors = 0;
    m_lost = false;
    m_above80 = false;
    m_notified = false;
    m_emptyWakeups = 0;
    struct serial_icounter_struct c = {};
    m_hasCounters = ::ioctl(fd, TIOCGICOUNT, &c) == 0;
    m_counters = { c.cts, c.dsr, c.rng, c.dcd, c.frame, c.overrun, c.parity, c.brk, c.buf_overrun };
    return 0;
}

void SerialDevice::close() noexcept
{
    if (m_fd < 0)
        return;
    discardOutput(m_fd);
    // The exclusive flag outlives our descriptor while anyone else holds the terminal open.
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    ::close(m_epoll);
    ::close(m_notify);
    std::lock_guard lock(m_mutex);
    m_fd = -1;
    m_notify = -1;
    m_epoll = -1;
    m_held = false;
    m_queue.clear();
    m_pendingEvents = 0;
    m_lost = false;
    m_notified = false;
}

int SerialDevice::setQueueSizes(int inputSize, int outputSize)
{
    if (m_fd < 0)
        return EBADF;
    if (inputSize <= 0 || outputSize <= 0)
        return EINVAL;
    std::lock_guard lock(m_mutex);
    // The driver's output queue has a size of its own; only ours can be set.
    m_inputSize = std::size_t(inputSize);
    while (m_queue.size() > m_inputSize)
        m_queue.pop_back();
    return 0;
}

int SerialDevice::applyLineSettings(const LineSettings &s)
{
    if (m_fd < 0)
        return EBADF;
    if (s.baudRate <= 0 || s.dataBits < 5 || s.dataBits > 8)
        return EINVAL;
    struct termios t;
    if (::tcgetattr(m_fd, &t) != 0)
        return errno;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    static constexpr tcflag_t sizes[] = { CS5, CS6, CS7, CS8 };
    t.c_cflag |= sizes[s.dataBits - 5];
    switch (s.parity) {
    case Parity::None:
        break;
    case Parity::Odd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case Parity::Even:
        t.c_cflag |= PARENB;
        break;
    case Parity::Mark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case Parity::Space:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    // 1.5 stop bits exist only with 5 data bits, where the UART gives them for CSTOPB.
    if (s.stopBits != StopBits::One)
        t.c_cflag |= CSTOPB;
    // A byte with a parity error reads as NUL when checked; replacing it by another character
    // and DSR handshaking have no POSIX equivalent and are left out.
    t.c_iflag &= ~tcflag_t(INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY);
    if (s.parityCheck)
        t.c_iflag |= INPCK;
    if (s.outCtsFlow || s.rts == RtsControl::Handshake)
        t.c_cflag |= CRTSCTS;
    if (s.xonXoffOut)
        t.c_iflag |= IXON;
    if (s.xonXoffIn)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = cc_t(s.xonChar);
    t.c_cc[VSTOP] = cc_t(s.xoffChar);

    const speed_t speed = standardSpeed(s.baudRate);
    if (speed != B0) {
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
    }
    if (::tcsetattr(m_fd, TCSANOW, &t) != 0)
        return errno;
    if (speed == B0) {
        if (const int error = setCustomBaudRate(m_fd, s.baudRate))
            return error;
    }
    // DTR handshaking is not available on POSIX: the line is raised as with dtrEnable.
    if (const int error = setModemLine(m_fd, TIOCM_DTR, s.dtr != DtrControl::Disable))
        return error;
    // Toggled RTS (raised while sending) has no generic POSIX form; it is left low.
    if (s.rts == RtsControl::Enable || s.rts == RtsControl::Disable
        || s.rts == RtsControl::Toggle) {
        if (const int error = setModemLine(m_fd, TIOCM_RTS, s.rts == RtsControl::Enable))
            return error;
    }

    std::lock_guard lock(m_mutex);
    m_discardNull = s.discardNull;
    m_eventChar = s.eventChar;
    m_baudRate = s.baudRate;
    m_bitsPerChar = 1 + s.dataBits + (s.parity != Parity::None ? 1 : 0)
        + (s.stopBits == StopBits::One ? 1 : 2);
    return 0;
}

int SerialDevice::applyTimeouts(const Timeouts &timeouts)
{
    if (m_fd < 0)
        return EBADF;
    std::lock_guard lock(m_mutex);
    m_timeouts = timeouts;
    return 0;
}

void SerialDevice::setEventMask(std::uint32_t mask)
{
    std::lock_guard lock(m_mutex);
    m_eventMask = mask;
    m_pendingEvents = 0;
}

bool SerialDevice::holdAfterReport(bool on)
{
    std::lock_guard lock(m_mutex);
    m_hold = on;
    if (!on)
        m_held = false;
    return true;
}

void SerialDevice::resumeEvents()
{
    std::lock_guard lock(m_mutex);
    if (!m_held || m_fd < 0)
        return;
    m_held = false;
    // Something found while held (bytes taken by a wake or a read meanwhile, a lost device) is
    // reported at once; bytes still to come wake the waiter as they arrive.
    if ((m_pendingEvents & m_eventMask) || m_lost)
        notifyWaiter();
}

void SerialDevice::notifyWaiter() noexcept
{
    const std::uint64_t one = 1;
    m_notified = true;
    [[maybe_unused]] const ssize_t n = ::write(m_notify, &one, sizeof one);
}

// Moves what the driver holds into the receive queue and notes the events that raises.
bool SerialDevice::drainLocked(bool fromWaiter)
{
    if (m_lost)
        return false;
    std::uint32_t events = 0;
    bool gotAny = false;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                m_emptyAtNs = nowNs();
            else if (lostErrno(errno))
                m_lost = true;
            break;
        }
        if (n == 0) {
            m_emptyAtNs = nowNs();
            break;
        }
        gotAny = true;
        for (ssize_t i = 0; i < n; ++i) {
            const char c = chunk[i];
            if (c == 0 && m_discardNull)
                continue;
            if (c == m_eventChar)
                events |= Event::RxFlag;
            if (m_queue.size() >= m_inputSize) {
                m_errors |= LineError::RxOver;
                events |= Event::Err;
                continue;
            }
            m_queue.push_back(c);
            events |= Event::RxChar;
        }
        if (std::size_t(n) < sizeof chunk) {
            m_emptyAtNs = nowNs();
            break;
        }
    }
    const bool above80 = m_queue.size() * 5 >= m_inputSize * 4;
    if (above80 && !m_above80)
        events |= Event::Rx80Full;
    m_above80 = above80;
    m_pendingEvents |= events;
    if (!fromWaiter && (events & m_eventMask) && !m_held)
        notifyWaiter();
    return gotAny;
}

// While reported events are being handled, the port counts, reads and checks what is left
// several times in a row, microseconds after the wake-up drained the driver. Asking the driver
// again each time cost a system call apiece and brought nothing: within a character's time of
// finding it empty, no more than the byte then on the wire can have arrived, and that byte is
// reported as soon as the events are resumed. Outside of that, every count and read drains.
void SerialDevice::refreshLocked()
{
    if (m_held && m_emptyAtNs != 0) {
        const std::int64_t characterNs
            = std::int64_t(m_bitsPerChar) * 1000000000 / std::max(1, m_baudRate);
        if (nowNs() - m_emptyAtNs < characterNs)
            return;
    }
    drainLocked(false);
}

void SerialDevice::pollCountersLocked()
{
    if (!m_hasCounters)
        return;
    struct serial_icounter_struct c = {};
    if (::ioctl(m_fd, TIOCGICOUNT, &c) != 0)
        return;
    std::uint32_t events = 0;
    std::uint32_t errors = 0;
    if (c.cts != m_counters.cts)
        events |= Event::Cts;
    if (c.dsr != m_counters.dsr)
        events |= Event::Dsr;
    if (c.dcd != m_counters.dcd)
        events |= Event::Rlsd;
    if (c.rng != m_counters.rng)
        events |= Event::Ring;
    if (c.brk != m_counters.brk) {
        events |= Event::Break;
        errors |= LineError::Break;
    }
    if (c.frame != m_counters.frame)
        errors |= LineError::Frame;
    if (c.overrun != m_counters.overrun)
        errors |= LineError::Overrun;
    if (c.parity != m_counters.parity)
        errors |= LineError::RxParity;
    if (c.buf_overrun != m_counters.bufOverrun)
        errors |= LineError::RxOver;
    m_counters = { c.cts, c.dsr, c.rng, c.dcd, c.frame, c.overrun, c.parity, c.brk, c.buf_overrun };
    if (errors)
        events |= Event::Err;
    m_errors |= errors;
    m_pendingEvents |= events;
}

bool SerialDevice::reportLocked(WaitResult &result)
{
    if (m_held)
        return false;
    result.events = m_pendingEvents & m_eventMask;
    m_pendingEvents = 0;
    result.deviceLost = m_lost;
    if (result.events || result.deviceLost) {
        m_held = m_hold && result.events;
        return true;
    }
    return false;
}

void SerialDevice::collectReady()
{
    std::lock_guard lock(m_mutex);
    // The set is readable for as long as one of its members is, so what woke it is known
    // without asking the set: the notification when it was written (under this lock), the
    // device otherwise. A byte then costs one read, not a wait on the set before it.
    bool fromDevice = true;
    if (m_notified) {
        m_notified = false;
        std::uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_notify, &value, sizeof value);
        // The notification alone may have woken the set; an empty driver is not read.
        struct pollfd device = { m_fd, POLLIN, 0 };
        fromDevice = ::poll(&device, 1, 0) > 0 && device.revents != 0;
    }
    if (fromDevice) {
        bool stillReadable = false;
        if (!drainLocked(true)) {
            struct pollfd again = { m_fd, POLLIN, 0 };
            const short revents = ::poll(&again, 1, 0) > 0 ? again.revents : 0;
            // A hung-up terminal (USB device pulled, pseudo-terminal master closed) stays
            // readable for ever and brings nothing; what it still held was queued before.
            if (revents & (POLLHUP | POLLERR))
                m_lost = true;
            stillReadable = (revents & POLLIN) != 0;
        }
        // Readable, yet nothing to read, again and again: a device that is gone without
        // saying so. (Once in a while another thread took the bytes first.)
        m_emptyWakeups = stillReadable ? m_emptyWakeups + 1 : 0;
        if (m_emptyWakeups >= MaxEmptyWakeups)
            m_lost = true;
    }
    if (!m_lost)
        pollCountersLocked();
}

WaitResult SerialDevice::waitEvent(const PlatformEvent &stop)
{
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            WaitResult result;
            if (reportLocked(result))
                return result;
        }
        struct pollfd fds[2] = { { stop.pollDescriptor(), POLLIN, 0 }, { m_epoll, POLLIN, 0 } };
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            WaitResult failed;
            failed.error = errno;
            return failed;
        }
        if (fds[0].revents) {
            WaitResult stopped;
            stopped.stopped = true;
            return stopped;
        }
        collectReady();
    }
}

WaitResult SerialDevice::takeEvents()
{
    WaitResult result;
    if (m_fd < 0)
        return result;
    collectReady();
    std::lock_guard lock(m_mutex);
    reportLocked(result);
    return result;
}

bool SerialDevice::hasReadyEvents() const
{
    struct pollfd p = { m_epoll, POLLIN, 0 };
    return m_epoll >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

int SerialDevice::read(char *buffer, std::size_t count, std::size_t &done)
{
    done = 0;
    if (m_fd < 0)
        return EBADF;
    std::lock_guard lock(m_mutex);
    refreshLocked();
    done = std::min(count, m_queue.size());
    std::copy_n(m_queue.begin(), done, buffer);
    m_queue.erase(m_queue.begin(), m_queue.begin() + std::ptrdiff_t(done));
    m_above80 = m_queue.size() * 5 >= m_inputSize * 4;
    return 0;
}

int SerialDevice::write(const char *data, std::size_t count, std::size_t &done)
{
    using Clock = std::chrono::steady_clock;
    done = 0;
    if (m_fd < 0)
        return EBADF;
    Timeouts timeouts;
    int baudRate = 0;
    int bitsPerChar = 0;
    {
        std::lock_guard lock(m_mutex);
        timeouts = m_timeouts;
        baudRate = m_baudRate;
        bitsPerChar = m_bitsPerChar;
    }
    const long long limitMs
        = std::max(0LL, (long long)timeouts.writeTotalMultiplier) * (long long)count
        + std::max(0, timeouts.writeTotalConstant);
    const bool limited = timeouts.writeTotalMultiplier > 0 || timeouts.writeTotalConstant > 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    auto msLeft = [&]() -> int {
        if (!limited)
            return -1;
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return int(std::clamp<long long>(left.count(), 0, 1 << 30));
    };

    std::size_t written = 0;
    bool timedOut = false;
    while (written < count) {
        const ssize_t n = ::write(m_fd, data + written, count - written);
        if (n >= 0) {
            written += std::size_t(n);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return errno;
        const int left = msLeft();
        if (left == 0) {
            timedOut = true;
            break;
        }
        struct pollfd p = { m_fd, POLLOUT, 0 };
        if (::poll(&p, 1, left) < 0 && errno != EINTR)
            return errno;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
            return EIO;
    }

    // Like the Windows driver, report completion when the bytes have left, not when they are
    // queued: a purge right after a command would otherwise cut the command short.
    int queued = 0;
    while (!timedOut) {
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0)
            queued = 0;
        if (queued <= 0 && transmitterEmpty(m_fd))
            break;
        const int left = msLeft();
        if (left == 0) {
            timedOut = true;
            break;
        }
        // Sleep about as long as the queued bytes take on the line, at least 1 ms.
        const long long lineMs = 1000LL * queued * bitsPerChar / std::max(1, baudRate);
        long long sleepMs = std::max(1LL, lineMs);
        if (left > 0)
            sleepMs = std::min<long long>(sleepMs, left);
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    }
    if (timedOut) {
        // A write that timed out ends there: what has not left is dropped.
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0)
            queued = 0;
        discardOutput(m_fd);
        written -= std::min<std::size_t>(written, std::size_t(std::max(0, queued)));
    }
    done = written;

    std::lock_guard lock(m_mutex);
    if (m_eventMask & Event::TxEmpty) {
        m_pendingEvents |= Event::TxEmpty;
        notifyWaiter();
    }
    return 0;
}

int SerialDevice::purge(bool input, bool output)
{
    if (m_fd < 0)
        return EBADF;
    std::lock_guard lock(m_mutex);
    if (input) {
        if (::tcflush(m_fd, TCIFLUSH) != 0)
            return errno;
        m_queue.clear();
        m_above80 = false;
        m_pendingEvents &= ~(Event::RxChar | Event::RxFlag | Event::Rx80Full);
    }
    if (output)
        return discardOutput(m_fd);
    return 0;
}

int SerialDevice::abortTransfers()
{
    if (m_fd < 0)
        return EBADF;
    {
        // Nothing can be sent to a device that is gone; closing it must not fail for that.
        std::lock_guard lock(m_mutex);
        if (m_lost)
            return 0;
    }
    // Writes complete before they return, so only the output still queued can be aborted.
    return discardOutput(m_fd);
}

int SerialDevice::pendingInput(std::size_t &count)
{
    count = 0;
    if (m_fd < 0)
        return EBADF;
    std::lock_guard lock(m_mutex);
    refreshLocked();
    count = m_queue.size();
    return 0;
}

int SerialDevice::takeLineErrors(std::uint32_t &errors, std::size_t &inQueue)
{
    errors = 0;
    inQueue = 0;
    if (m_fd < 0)
        return EBADF;
    std::lock_guard lock(m_mutex);
    drainLocked(false);
    pollCountersLocked();
    errors = m_errors;
    m_errors = 0;
    inQueue = m_queue.size();
    return 0;
}

int SerialDevice::modemSignals(std::uint32_t &lines)
{
    lines = 0;
    if (m_fd < 0)
        return EBADF;
    int bits = 0;
    if (::ioctl(m_fd, TIOCMGET, &bits) != 0)
        return unsupportedErrno(errno) ? 0 : errno;
    if (bits & TIOCM_CTS)
        lines |= Modem::Cts;
    if (bits & TIOCM_DSR)
        lines |= Modem::Dsr;
    if (bits & TIOCM_RI)
        lines |= Modem::Ring;
    if (bits & TIOCM_CD)
        lines |= Modem::Rlsd;
    return 0;
}
