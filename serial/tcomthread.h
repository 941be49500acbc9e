#pragma once

#include "comtypes.h"
#include "platformevent.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class QSocketNotifier;
class SerialDevice;
class TCustomComPort;

// The event thread of an open port: sleeps until the device reports line events and hands each
// batch to the port's thread (the GUI thread) with a blocking hand-off: the next event is
// reported only after the batch has run there. It never spins: it sleeps in the device's wait
// (poll() on POSIX, WaitForMultipleObjects on Windows) on the device and its stop event.
// Where the device can hold its events (POSIX), the thread goes back to that wait at once and
// the port's thread releases the device when the batch is done; elsewhere the thread waits for
// the batch before it waits on the device again.
//
// Where the device offers a descriptor to wait on (POSIX) and delivery is on the port's thread
// anyway (smThreadSync), no thread is started: the port thread's event loop does the waiting
// on that descriptor and runs each batch as it comes, so a byte costs one wake-up of one
// thread instead of a wake-up of the event thread and a hand-off to the port's thread. The
// order, the one batch at a time and the held device until a batch is done are the same.
//
// When the device disappears the thread stops at once and asks the port (on its thread) to close.
//
// Created by TCustomComPort::OpenPort and destroyed by ClosePort, both on the port's thread.
class TComThread
{
public:
    // Sets the device's event mask and starts the thread.
    TComThread(TCustomComPort *port, SerialDevice &device, TComEvents events,
               TSyncMethod syncMethod);
    // Stops the thread and waits for its end. A batch that was handed off and not yet run is
    // run here, once, on the calling thread. Then clears the event mask and purges both queues.
    ~TComThread();
    TComThread(const TComThread &) = delete;
    TComThread &operator=(const TComThread &) = delete;

    void SignalStop();
    // Whether the thread ended because the device is gone.
    bool DeviceLost();

    bool HasPendingBatch();
    // On the port's thread: the batch the event thread waits on, if it has not been taken;
    // without an event thread, what the device has to report now.
    std::optional<TComEvents> TakePendingBatch();
    // On the port's thread: the taken batch has run; the event thread may wait again.
    void BatchDone();

private:
    void EventLoop();
    void DispatchEvents(TComEvents batch);
    // Hands the batch over and waits until it has run or a stop is requested.
    void HandOff(TComEvents batch);
    void WatchOnPortThread();
    std::optional<TComEvents> TakeFromDevice();

    TCustomComPort *const m_port;
    SerialDevice &m_device;
    const TSyncMethod m_syncMethod;
    bool m_deviceHolds = false; // the device holds its events until BatchDone resumes them
    // Without an event thread: watches the device in the port thread's event loop. Owned; the
    // descriptor belongs to the device.
    QSocketNotifier *m_notifier = nullptr;
    PlatformEvent m_stopEvent;

    std::mutex m_mutex; // guards the hand-off state below
    std::condition_variable m_handOffDone;
    std::optional<TComEvents> m_pending; // handed off, not yet taken
    bool m_running = false; // taken, running on the port's thread
    bool m_stopRequested = false;
    bool m_deviceLost = false;

    std::thread m_thread; // last: starts after everything above exists
};
