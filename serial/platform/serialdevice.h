#pragma once

#include "serialsettings.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

class PlatformEvent;

// One serial device opened for exclusive use: the platform backend of the port component. The
// same interface has a POSIX backend (serialdevice_posix.cpp) and a Win32 one
// (serialdevice_win32.cpp); CMake picks one.
//
// POSIX: received bytes are moved from the driver into a receive queue of our own (capacity: the
// input queue size). This keeps the meaning of a Windows receive queue on top of level-triggered
// poll(): waitEvent reports Event::RxChar once per arrival, bytes nobody reads wait in the queue
// without waking anyone again, and a queue that overflows drops the newest bytes and reports
// LineError::RxOver. pendingInput, read and purge work on that queue.
//
// Windows: the driver's own queues, event mask and device control block, through overlapped
// I/O. Event::RxChar is still reported once per arrival, also where a driver reports it again
// for bytes that are only still queued; a device without modem lines waits without the modem
// events instead of failing.
//
// Every operation returns 0 or an OS error code (errno; GetLastError() on Windows).
// Thread-safety: waitEvent runs on one waiting thread while the other operations are called from
// another; open, close and setEventMask are only called while no thread waits.
class SerialDevice
{
public:
    SerialDevice();
    ~SerialDevice(); // closes
    SerialDevice(const SerialDevice &) = delete;
    SerialDevice &operator=(const SerialDevice &) = delete;

    // Opens exclusively: another open of the same device fails, with EBUSY on POSIX (by anyone)
    // and ERROR_ACCESS_DENIED on Windows. POSIX: raw mode, CLOCAL|CREAD, non-blocking; a path
    // that is not a terminal fails with ENOTTY. Windows: overlapped, not shared. On any failure
    // nothing stays open.
    int open(const std::string &path);
    // Discards queued output first, so that closing never waits for a slow line to drain.
    void close() noexcept;
#ifdef _WIN32
    bool isOpen() const noexcept
    {
        return m_handle != invalidHandle();
    }
    // The device's HANDLE, for checks of the driver's own state.
    void *nativeHandle() const noexcept
    {
        return m_handle;
    }
#else
    bool isOpen() const noexcept
    {
        return m_fd >= 0;
    }
    int nativeHandle() const noexcept
    {
        return m_fd;
    }
#endif

    int setQueueSizes(int inputSize, int outputSize);
    int applyLineSettings(const SerialPlatform::LineSettings &settings);
    int applyTimeouts(const SerialPlatform::Timeouts &timeouts);
    // Which Event bits waitEvent reports; 0 reports none.
    void setEventMask(std::uint32_t mask);

    // Sleeps until an event of the mask happens, the stop event is set or the device is lost.
    // Never spins. POSIX: bytes are drained into the receive queue at every wake-up; modem-line
    // changes, breaks and line errors raise no wake-up on Linux: they are read from the driver's
    // counters (where it has them) at each wake-up and reported then. Windows: where a driver
    // ends a wait without an event (or reports bytes already reported), the queue is watched
    // every 20 ms for a while before the driver is asked again.
    SerialPlatform::WaitResult waitEvent(const PlatformEvent &stop);

#ifndef _WIN32
    // For a waiter that sleeps in an event loop of its own instead of in waitEvent: the
    // descriptor to watch for readability (it becomes readable whenever there may be something
    // to report), and the non-blocking wait to run when it is. takeEvents reports exactly what
    // waitEvent would have, or nothing; with hold on it reports nothing while held, yet takes
    // what made the descriptor readable, so that a level-triggered loop does not spin.
    int readinessDescriptor() const noexcept
    {
        return m_epoll;
    }
    SerialPlatform::WaitResult takeEvents();
    // Whether takeEvents may have something to report now (the descriptor is readable).
    bool hasReadyEvents() const;
#endif

    // With hold on, every waitEvent that reports events leaves the device held: later waits
    // report nothing (they still end on the stop event) until resumeEvents() is called: bytes
    // that arrive meanwhile wake a waiter once as they come, are queued, and are reported at
    // the resume. A waiter that hands each batch to another thread can so wait again at once
    // instead of waiting for that thread to finish, and the batch's end costs no wake-up and
    // no system call unless something is already waiting to be reported.
    // Returns whether the backend holds (POSIX does; Windows does not, its waiter must wait for
    // the batch itself). Called while no thread waits.
    bool holdAfterReport(bool on);
    // From any thread: the batch reported last has been dealt with.
    void resumeEvents();

    // Takes up to `count` queued bytes; never blocks (it asks only for what is queued).
    int read(char *buffer, std::size_t count, std::size_t &done);
    // Writes all bytes and waits until the driver has sent them, bounded by the write time-outs.
    // On time-out `done` counts the bytes that went out and the rest is discarded; a time-out
    // is no error.
    int write(const char *data, std::size_t count, std::size_t &done);
    // Output is only purged when some is still queued: a purge would otherwise reach, on a
    // pseudo-terminal, into what the other end has not read yet.
    int purge(bool input, bool output);
    // Aborts output in progress (the queued output is discarded).
    int abortTransfers();
    int pendingInput(std::size_t &count);
    // The line errors since the last call (LineError bits), cleared by the call. Errors that
    // another operation read from the driver on the way are kept for it.
    int takeLineErrors(std::uint32_t &errors, std::size_t &inQueue);
    // Modem bits. A device without modem lines (a pseudo-terminal) reads as all off.
    int modemSignals(std::uint32_t &lines);

private:
#ifdef _WIN32
    static void *invalidHandle() noexcept
    {
        return reinterpret_cast<void *>(~std::uintptr_t(0));
    }
    int readComStatus(std::size_t &inQueue, std::size_t &outQueue);
    std::uint32_t reportableLocked(std::uint32_t events, std::size_t inQueue);
    int transfer(bool write, char *buffer, std::size_t count, std::size_t &done);
    void cancelWait();
    void noteLost(int error);

    void *m_handle = invalidHandle();
    void *m_guard = nullptr; // named mutex that marks the device as ours
    struct WaitBlock; // the overlapped block of waitEvent and what WaitCommEvent writes
    std::unique_ptr<WaitBlock> m_wait;

    std::mutex m_mutex; // guards everything below
    std::uint32_t m_eventMask = 0; // what waitEvent reports
    std::uint32_t m_driverMask = 0; // what the driver is asked for
    bool m_noModemEvents = false; // the driver refused to wait for modem-line events
    std::size_t m_reportedQueue = 0; // queued bytes already reported by Event::RxChar
    std::uint32_t m_errors = 0;
    bool m_lost = false;
    SerialPlatform::Timeouts m_timeouts;
#else
    bool drainLocked(bool fromWaiter); // whether any byte came
    // Drains, unless the driver is known to be empty: see the definition.
    void refreshLocked();
    // The result to report now, if any.
    bool reportLocked(SerialPlatform::WaitResult &result);
    // Takes what woke the epoll set: drains the device, reads the notification.
    void collectReady();
    void pollCountersLocked();
    void notifyWaiter() noexcept; // under m_mutex

    int m_fd = -1;
    int m_notify = -1; // eventfd: wakes the waiter for events found outside of it
    // epoll set of the device and of m_notify: readable while either is (bytes waiting, a
    // hang-up, a notification). The waiter polls it with the stop event.
    int m_epoll = -1;

    std::mutex m_mutex; // guards everything below
    std::deque<char> m_queue;
    std::size_t m_inputSize = 1024;
    std::uint32_t m_eventMask = 0;
    std::uint32_t m_pendingEvents = 0;
    std::uint32_t m_errors = 0;
    bool m_lost = false;
    bool m_above80 = false;
    bool m_notified = false; // m_notify was written and not read since
    int m_emptyWakeups = 0;
    // When a drain last left the driver empty (steady clock, ns); 0: not known to be empty.
    std::int64_t m_emptyAtNs = 0;
    bool m_hold = false;
    bool m_held = false; // events were reported and resumeEvents has not been called since
    bool m_discardNull = false;
    char m_eventChar = 0;
    int m_baudRate = 9600;
    int m_bitsPerChar = 10;
    SerialPlatform::Timeouts m_timeouts;

    bool m_hasCounters = false;
    struct Counters
    {
        int cts = 0, dsr = 0, rng = 0, dcd = 0;
        int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
    } m_counters;
#endif
};
