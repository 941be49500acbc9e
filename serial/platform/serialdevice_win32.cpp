#include "serialdevice.h"

#include "platformevent.h"

#include <algorithm>
#include <cctype>
#include <windows.h>

using namespace SerialPlatform;

struct SerialDevice::WaitBlock
{
    OVERLAPPED overlapped {};
    DWORD events = 0; // written by WaitCommEvent, also when it completes later
};

namespace {

// When the driver ends a wait with nothing new, the queue is watched this often, this many times,
// on the stop event, before the driver is asked again. Wine on a pseudo-terminal ends every idle
// wait after about 15 ms with ERROR_OPERATION_ABORTED, at a cost of some milliseconds of CPU
// each, and completes every wait at once while bytes are queued: asking it again at once would
// be a busy loop, while looking at the queue costs next to nothing.
constexpr DWORD QueueCheckMs = 20;
constexpr int QueueChecks = 10;
// A read asks only for bytes already queued and completes at once; one that has not after this
// long is cancelled and ends with what it moved.
constexpr DWORD ReadBoundMs = 1000;
// A write is bounded by the write time-outs in the driver; one that the driver has not ended
// this much later is cancelled and ends with what went out.
constexpr DWORD WriteMarginMs = 2000;
// How long a cancelled wait may take to end before the event mask is set again to end it.
constexpr DWORD CancelBoundMs = 1000;

constexpr std::uint32_t ModemEvents = Event::Cts | Event::Dsr | Event::Rlsd | Event::Ring;
constexpr std::uint32_t KnownErrors = LineError::RxOver | LineError::Overrun | LineError::RxParity
    | LineError::Frame | LineError::Break | LineError::TxFull | LineError::IO | LineError::Mode;

// What a serial driver answers for a device that was unplugged while open.
bool goneError(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND
        || error == ERROR_DEVICE_REMOVED;
}

// Kernel object names may hold no backslash after the namespace; device names ignore case.
std::string guardName(const std::string &path)
{
    std::string name = "Local\\zephul-serial-device-";
    for (const char c : path)
        name += c == '\\' ? '/' : char(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

DWORD writeBoundMs(const Timeouts &timeouts, std::size_t count)
{
    if (timeouts.writeTotalMultiplier <= 0 && timeouts.writeTotalConstant <= 0)
        return INFINITE;
    const unsigned long long ms
        = (unsigned long long)std::max(0, timeouts.writeTotalMultiplier) * count
        + (unsigned long long)std::max(0, timeouts.writeTotalConstant) + WriteMarginMs;
    return DWORD(std::min<unsigned long long>(ms, INFINITE - 1));
}

} // namespace

SerialDevice::SerialDevice() = default;

SerialDevice::~SerialDevice()
{
    close();
}

int SerialDevice::open(const std::string &path)
{
    if (isOpen())
        return ERROR_BUSY;
    const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return int(::GetLastError());
    auto fail = [handle](DWORD error) {
        ::CloseHandle(handle);
        return int(error);
    };
    // Windows drivers refuse a second open of a port themselves; some do not (wine's), so every
    // user of this layer also marks the device as taken and refuses it as a driver would.
    const HANDLE guard = ::CreateMutexA(nullptr, FALSE, guardName(path).c_str());
    if (!guard)
        return fail(::GetLastError());
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(guard);
        return fail(ERROR_ACCESS_DENIED);
    }
    auto wait = std::make_unique<WaitBlock>();
    wait->overlapped.hEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!wait->overlapped.hEvent) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(guard);
        return fail(error);
    }

    std::lock_guard lock(m_mutex);
    m_handle = handle;
    m_guard = guard;
    m_wait = std::move(wait);
    m_noModemEvents = false;
    m_driverMask = m_eventMask;
    m_reportedQueue = 0;
    m_errors = 0;
    m_lost = false;
    ::SetCommMask(m_handle, m_driverMask);
    return 0;
}

void SerialDevice::close() noexcept
{
    if (!isOpen())
        return;
    // Output still queued is dropped, so that closing never waits for a slow line to drain.
    std::size_t inQueue = 0;
    std::size_t outQueue = 0;
    if (readComStatus(inQueue, outQueue) == 0 && outQueue > 0)
        ::PurgeComm(m_handle, PURGE_TXABORT | PURGE_TXCLEAR);
    ::CloseHandle(m_handle);
    ::CloseHandle(m_guard);
    ::CloseHandle(m_wait->overlapped.hEvent);
    std::lock_guard lock(m_mutex);
    m_handle = invalidHandle();
    m_guard = nullptr;
    m_wait.reset();
    m_reportedQueue = 0;
    m_lost = false;
}

void SerialDevice::noteLost(int error)
{
    if (goneError(DWORD(error))) {
        std::lock_guard lock(m_mutex);
        m_lost = true;
    }
}

// ClearCommError, keeping the error flags it clears for takeLineErrors.
int SerialDevice::readComStatus(std::size_t &inQueue, std::size_t &outQueue)
{
    inQueue = 0;
    outQueue = 0;
    DWORD errors = 0;
    COMSTAT status {};
    if (!::ClearCommError(m_handle, &errors, &status)) {
        const int error = int(::GetLastError());
        noteLost(error);
        return error;
    }
    inQueue = status.cbInQue;
    outQueue = status.cbOutQue;
    std::lock_guard lock(m_mutex);
    m_errors |= errors & KnownErrors;
    return 0;
}

int SerialDevice::setQueueSizes(int inputSize, int outputSize)
{
    if (!isOpen())
        return ERROR_INVALID_HANDLE;
    if (inputSize <= 0 || outputSize <= 0)
        return ERROR_INVALID_PARAMETER;
    if (!::SetupComm(m_handle, DWORD(inputSize), DWORD(outputSize)))
        return int(::GetLastError());
    return 0;
}

int SerialDevice::applyLineSettings(const LineSettings &s)
{
    if (!isOpen())
        return ERROR_INVALID_HANDLE;
    // Built from nothing: no field keeps a value from before.
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = DWORD(s.baudRate);
    dcb.fBinary = 1;
    dcb.fParity = s.parityCheck;
    dcb.fOutxCtsFlow = s.outCtsFlow;
    dcb.fOutxDsrFlow = s.outDsrFlow;
    dcb.fDtrControl = DWORD(s.dtr); // DTR_CONTROL_DISABLE, _ENABLE, _HANDSHAKE
    dcb.fDsrSensitivity = s.dsrSensitivity;
    dcb.fTXContinueOnXoff = s.txContinueOnXoff;
    dcb.fOutX = s.xonXoffOut;
    dcb.fInX = s.xonXoffIn;
    if (s.parityCheck && s.replaceErrors) {
        dcb.fErrorChar = 1;
        dcb.ErrorChar = s.errorChar;
    }
    dcb.fNull = s.discardNull;
    dcb.fRtsControl = DWORD(s.rts); // RTS_CONTROL_DISABLE, _ENABLE, _HANDSHAKE, _TOGGLE
    dcb.fAbortOnError = 0;
    dcb.XonLim = WORD(s.xonLimit);
    dcb.XoffLim = WORD(s.xoffLimit);
    dcb.ByteSize = BYTE(s.dataBits);
    dcb.Parity = BYTE(s.parity); // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
    dcb.StopBits = BYTE(s.stopBits); // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    dcb.XonChar = s.xonChar;
    dcb.XoffChar = s.xoffChar;
    dcb.EvtChar = s.eventChar;
    if (!::SetCommState(m_handle, &dcb))
        return int(::GetLastError());
    return 0;
}

int SerialDevice::applyTimeouts(const Timeouts &t)
{
    if (!isOpen())
        return ERROR_INVALID_HANDLE;
    COMMTIMEOUTS timeouts {};
    timeouts.ReadIntervalTimeout = DWORD(t.readInterval); // -1 is MAXDWORD
    timeouts.ReadTotalTimeoutMultiplier = DWORD(t.readTotalMultiplier);
    timeouts.ReadTotalTimeoutConstant = DWORD(t.readTotalConstant);
    timeouts.WriteTotalTimeoutMultiplier = DWORD(t.writeTotalMultiplier);
    timeouts.WriteTotalTimeoutConstant = DWORD(t.writeTotalConstant);
    if (!::SetCommTimeouts(m_handle, &timeouts))
        return int(::GetLastError());
    std::lock_guard lock(m_mutex);
    m_timeouts = t;
    return 0;
}

bool SerialDevice::holdAfterReport(bool)
{
    // The waiter waits for each batch itself; WaitCommEvent has no cheap way to be rearmed from
    // the thread that ran the batch.
    return false;
}

void SerialDevice::resumeEvents() { }

void SerialDevice::setEventMask(std::uint32_t mask)
{
    std::lock_guard lock(m_mutex);
    m_eventMask = mask;
    m_driverMask = m_noModemEvents ? mask & ~ModemEvents : mask;
    if (isOpen())
        ::SetCommMask(m_handle, m_driverMask);
}

// The events of one wake-up worth reporting. Event::RxChar stands for bytes that came since the
// last report, whatever the driver said: a driver that reports bytes again while they are only
// still queued wakes nobody, and bytes found after a wait that ended early are reported.
std::uint32_t SerialDevice::reportableLocked(std::uint32_t events, std::size_t inQueue)
{
    events &= m_eventMask & ~Event::RxChar;
    if (inQueue > m_reportedQueue && (m_eventMask & Event::RxChar))
        events |= Event::RxChar;
    m_reportedQueue = inQueue;
    // Errors that an operation cleared in the driver on the way are still reported.
    if (m_errors && (m_eventMask & Event::Err))
        events |= Event::Err;
    return events;
}

// Ends the pending WaitCommEvent; its block must not be reused or freed before it has ended.
void SerialDevice::cancelWait()
{
    OVERLAPPED &overlapped = m_wait->overlapped;
    ::CancelIoEx(m_handle, &overlapped);
    if (::WaitForSingleObject(overlapped.hEvent, CancelBoundMs) != WAIT_OBJECT_0) {
        std::uint32_t mask = 0;
        {
            std::lock_guard lock(m_mutex);
            mask = m_driverMask;
        }
        ::SetCommMask(m_handle, mask); // ends a pending wait with no event
    }
    DWORD count = 0;
    ::GetOverlappedResult(m_handle, &overlapped, &count, TRUE);
}

WaitResult SerialDevice::waitEvent(const PlatformEvent &stop)
{
    if (!isOpen()) {
        WaitResult closed;
        closed.error = ERROR_INVALID_HANDLE;
        return closed;
    }
    const HANDLE stopHandle = stop.nativeHandle();
    OVERLAPPED &overlapped = m_wait->overlapped;
    for (;;) {
        WaitResult result;
        if (stop.isSet()) {
            result.stopped = true;
            return result;
        }
        std::uint32_t driverMask = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_lost) {
                result.deviceLost = true;
                return result;
            }
            driverMask = m_driverMask;
        }

        m_wait->events = 0;
        ::ResetEvent(overlapped.hEvent);
        BOOL ended = ::WaitCommEvent(m_handle, &m_wait->events, &overlapped);
        DWORD error = ended ? 0 : ::GetLastError();
        if (!ended && error == ERROR_IO_PENDING) {
            const HANDLE handles[2] = { stopHandle, overlapped.hEvent };
            const DWORD woken = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
            if (woken != WAIT_OBJECT_0 + 1) {
                const DWORD waitError = ::GetLastError();
                cancelWait();
                if (woken == WAIT_OBJECT_0)
                    result.stopped = true;
                else
                    result.error = int(waitError);
                return result;
            }
            DWORD count = 0;
            ended = ::GetOverlappedResult(m_handle, &overlapped, &count, FALSE);
            error = ended ? 0 : ::GetLastError();
        }
        if (!ended) {
            if (goneError(error)) {
                noteLost(int(error));
                result.deviceLost = true;
                return result;
            }
            if (error == ERROR_NOT_SUPPORTED && (driverMask & ModemEvents)) {
                // A device without modem lines (a pseudo-terminal under wine) cannot wait for
                // their changes; it waits for the other events.
                std::lock_guard lock(m_mutex);
                m_noModemEvents = true;
                m_driverMask &= ~ModemEvents;
                ::SetCommMask(m_handle, m_driverMask);
                continue;
            }
            if (error != ERROR_OPERATION_ABORTED) {
                result.error = int(error);
                return result;
            }
            m_wait->events = 0; // ended early: only the queue tells what came
        }

        std::size_t inQueue = 0;
        std::size_t outQueue = 0;
        if (const int statusError = readComStatus(inQueue, outQueue)) {
            result.deviceLost = goneError(DWORD(statusError));
            result.error = result.deviceLost ? 0 : statusError;
            return result;
        }
        {
            std::lock_guard lock(m_mutex);
            result.events = reportableLocked(m_wait->events, inQueue);
        }
        if (result.events)
            return result;
        // Nothing new: a wait that the driver ended early, or bytes it reported again.
        for (int check = 0; check < QueueChecks; ++check) {
            if (::WaitForSingleObject(stopHandle, QueueCheckMs) == WAIT_OBJECT_0) {
                result.stopped = true;
                return result;
            }
            if (const int statusError = readComStatus(inQueue, outQueue)) {
                result.deviceLost = goneError(DWORD(statusError));
                result.error = result.deviceLost ? 0 : statusError;
                return result;
            }
            std::lock_guard lock(m_mutex);
            result.events = reportableLocked(0, inQueue);
            if (result.events)
                return result;
        }
    }
}

// One overlapped transfer with a transfer event of its own (manual reset, created signalled).
// Time-outs and a cancel end it with the count moved, which is no error.
int SerialDevice::transfer(bool write, char *buffer, std::size_t count, std::size_t &done)
{
    done = 0;
    OVERLAPPED overlapped {};
    overlapped.hEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!overlapped.hEvent)
        return int(::GetLastError());
    DWORD bound = ReadBoundMs;
    if (write) {
        std::lock_guard lock(m_mutex);
        bound = writeBoundMs(m_timeouts, count);
    }
    DWORD moved = 0;
    BOOL ok = write ? ::WriteFile(m_handle, buffer, DWORD(count), &moved, &overlapped)
                    : ::ReadFile(m_handle, buffer, DWORD(count), &moved, &overlapped);
    DWORD error = ok ? 0 : ::GetLastError();
    if (!ok && error != ERROR_IO_PENDING) {
        ::CloseHandle(overlapped.hEvent);
        noteLost(int(error));
        return int(error);
    }
    if (!ok && ::WaitForSingleObject(overlapped.hEvent, bound) != WAIT_OBJECT_0)
        ::CancelIoEx(m_handle, &overlapped);
    ok = ::GetOverlappedResult(m_handle, &overlapped, &moved, TRUE);
    error = ok ? 0 : ::GetLastError();
    ::CloseHandle(overlapped.hEvent);
    done = moved;
    if (!ok && error != ERROR_TIMEOUT && error != ERROR_OPERATION_ABORTED) {
        noteLost(int(error));
        return int(error);
    }
    return 0;
}

int SerialDevice::read(char *buffer, std::size_t count, std::size_t &done)
{
    done = 0;
    if (!isOpen())
        return ERROR_INVALID_HANDLE;
    // Asking for more than is queued may block until more comes, whatever the read time-outs
    // say (wine does so with ReadInterval MAXDWORD): ask for what is there.
    std::size_t inQueue = 0;
    std::size_t outQueue = 0;
    if (const int error = readComStatus(inQueue, outQueue))
        return error;
    const std::size_t wanted = std::min(count, inQueue);
    if (wanted == 0)
        return 0;
    const int error = transfer(false, buffer, wanted, done);
    std::lock_guard lock(m_mutex);
    m_reportedQueue -= std::min(m_reportedQueue, done);
    return error;
}

int SerialDevice::write(const char *data, std::size_t count, std::size_t &done)
{
    done = 0;
    if (!isOpen())
        return ERROR_INVALID_HANDLE;
    if (count == 0)
        return 0;
    return transfer(true, const_cast<char *>(data), count, done);
}

int SerialDevice::purge(bool input, bool output)
{
    if (!isOpen())
        return ERROR_INVALID_HANDLE;
    std::size_t inQueue = 0;
    std::size_t outQueue = 0;
    if (const int error = readComStatus(inQueue, outQueue))
        return error;
    DWORD flags = 0;
    if (input)
        flags |= PURGE_RXCLEAR;
    if (output && outQueue > 0)
        flags |= PURGE_TXCLEAR;
    if (flags && !::PurgeComm(m_handle, flags)) {
        const int error = int(::GetLastError());
        noteLost(error);
        return error;
    }
    if (input) {
        std::lock_guard lock(m_mutex);
        m_reportedQueue = 0;
    }
    return 0;
}

int SerialDevice::abortTransfers()
{
    if (!isOpen())
        return ERROR_INVALID_HANDLE;
    {
        // Nothing can be sent to a device that is gone; closing it must not fail for that.
        std::lock_guard lock(m_mutex);
        if (m_lost)
            return 0;
    }
    std::size_t inQueue = 0;
    std::size_t outQueue = 0;
    if (const int error = readComStatus(inQueue, outQueue))
        return goneError(DWORD(error)) ? 0 : error;
    const DWORD flags = PURGE_RXABORT | (outQueue > 0 ? PURGE_TXABORT : 0);
    if (!::PurgeComm(m_handle, flags)) {
        const int error = int(::GetLastError());
        return goneError(DWORD(error)) ? 0 : error;
    }
    return 0;
}

int SerialDevice::pendingInput(std::size_t &count)
{
    count = 0;
    if (!isOpen())
        return ERROR_INVALID_HANDLE;
    std::size_t outQueue = 0;
    return readComStatus(count, outQueue);
}

int SerialDevice::takeLineErrors(std::uint32_t &errors, std::size_t &inQueue)
{
    errors = 0;
    inQueue = 0;
    if (!isOpen())
        return ERROR_INVALID_HANDLE;
    std::size_t outQueue = 0;
    if (const int error = readComStatus(inQueue, outQueue))
        return error;
    std::lock_guard lock(m_mutex);
    errors = m_errors;
    m_errors = 0;
    return 0;
}

int SerialDevice::modemSignals(std::uint32_t &lines)
{
    lines = 0;
    if (!isOpen())
        return ERROR_INVALID_HANDLE;
    DWORD status = 0;
    if (!::GetCommModemStatus(m_handle, &status)) {
        const DWORD error = ::GetLastError();
        // A device without modem lines (a pseudo-terminal under wine) reads as all off.
        if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION)
            return 0;
        noteLost(int(error));
        return int(error);
    }
    // MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON have the values of the Modem bits.
    lines = status & (Modem::Cts | Modem::Dsr | Modem::Ring | Modem::Rlsd);
    return 0;
}
