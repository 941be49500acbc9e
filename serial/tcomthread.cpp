#include "tcomthread.h"

#include "serialdevice.h"
#include "tcustomcomport.h"

#include <QMetaObject>
#include <QSocketNotifier>

TComThread::TComThread(TCustomComPort *port, SerialDevice &device, TComEvents events,
                       TSyncMethod syncMethod)
    : m_port(port)
    , m_device(device)
    , m_syncMethod(syncMethod)
{
    m_device.setEventMask(EventsToMask(events));
    // One hand-off per event (window sync) needs a wait between the events of one batch.
    m_deviceHolds
        = m_device.holdAfterReport(syncMethod == smThreadSync) && syncMethod == smThreadSync;
#ifndef _WIN32
    if (m_deviceHolds && m_device.readinessDescriptor() >= 0) {
        WatchOnPortThread();
        return;
    }
#endif
    m_thread = std::thread([this] { EventLoop(); });
}

void TComThread::WatchOnPortThread()
{
#ifndef _WIN32
    m_notifier = new QSocketNotifier(m_device.readinessDescriptor(), QSocketNotifier::Read);
    // Through the port, which knows whether this object still exists after the batch.
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_port,
                     &TCustomComPort::RunThreadDelivery);
#endif
}

std::optional<TComEvents> TComThread::TakeFromDevice()
{
#ifndef _WIN32
    const SerialPlatform::WaitResult result = m_device.takeEvents();
    if (result.deviceLost || result.error) {
        bool first = false;
        {
            std::lock_guard lock(m_mutex);
            first = !m_deviceLost;
            m_deviceLost = true;
        }
        // A hung-up device stays readable: watching it any longer would spin.
        m_notifier->setEnabled(false);
        if (first)
            QMetaObject::invokeMethod(m_port, "HandleDeviceLost", Qt::QueuedConnection);
    }
    if (result.events) {
        std::lock_guard lock(m_mutex);
        m_running = true;
        return MaskToEvents(result.events);
    }
#endif
    return std::nullopt;
}

TComThread::~TComThread()
{
    bool insideBatch = false;
    {
        std::lock_guard lock(m_mutex);
        insideBatch = m_running;
    }
    SignalStop();
    if (m_thread.joinable())
        m_thread.join();
    // Quiet before the last delivery: a handler there that runs an event loop must not have
    // the notifier call a port that no longer has this object.
    if (m_notifier)
        m_notifier->setEnabled(false);
    // The event thread waited for a delivery that the port's thread had not started yet; or,
    // without one, something arrived that the event loop has not come round to.
    if (const std::optional<TComEvents> batch = TakePendingBatch())
        m_port->DeliverBatch(*batch);
    if (m_notifier) {
        // A handler that closes the port runs inside the notifier's own signal.
        if (insideBatch)
            m_notifier->deleteLater();
        else
            delete m_notifier;
    }
    m_device.holdAfterReport(false);
    m_device.setEventMask(0);
    m_device.purge(true, true);
}

void TComThread::SignalStop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_handOffDone.notify_all();
    m_stopEvent.set();
}

bool TComThread::DeviceLost()
{
    std::lock_guard lock(m_mutex);
    return m_deviceLost;
}

bool TComThread::HasPendingBatch()
{
#ifndef _WIN32
    if (m_notifier) {
        {
            std::lock_guard lock(m_mutex);
            if (m_deviceLost || m_running)
                return false;
        }
        return m_device.hasReadyEvents();
    }
#endif
    std::lock_guard lock(m_mutex);
    return m_pending.has_value();
}

std::optional<TComEvents> TComThread::TakePendingBatch()
{
    if (m_notifier)
        return TakeFromDevice();
    std::lock_guard lock(m_mutex);
    std::optional<TComEvents> batch;
    batch.swap(m_pending);
    m_running = batch.has_value();
    return batch;
}

void TComThread::BatchDone()
{
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
    }
    if (m_deviceHolds)
        m_device.resumeEvents();
    else
        m_handOffDone.notify_all();
}

void TComThread::EventLoop()
{
    for (;;) {
        const SerialPlatform::WaitResult result = m_device.waitEvent(m_stopEvent);
        if (result.stopped)
            return;
        if (result.events)
            DispatchEvents(MaskToEvents(result.events));
        {
            std::lock_guard lock(m_mutex);
            if (m_stopRequested)
                return;
        }
        if (result.deviceLost || result.error) {
            // Nothing more will come from this device; the port closes itself on its thread.
            {
                std::lock_guard lock(m_mutex);
                m_deviceLost = true;
            }
            // Invoked by name, so that nothing but the port's own guarded state crosses threads.
            QMetaObject::invokeMethod(m_port, "HandleDeviceLost", Qt::QueuedConnection);
            return;
        }
    }
}

void TComThread::DispatchEvents(TComEvents batch)
{
    switch (m_syncMethod) {
    case smThreadSync:
        HandOff(batch);
        break;
    case smWindowSync:
        // One hand-off per event, in the order of delivery.
        for (TComEvent e : { evError, evRxChar, evTxEmpty, evBreak, evRing, evCTS, evDSR, evRxFlag,
                             evRLSD, evRx80Full }) {
            if (batch.contains(e))
                HandOff(TComEvents { e });
        }
        break;
    case smNone:
        m_port->DeliverBatchOnThread(batch);
        break;
    }
}

void TComThread::HandOff(TComEvents batch)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopRequested)
            return;
        m_pending = batch;
    }
    QMetaObject::invokeMethod(m_port, &TCustomComPort::RunThreadDelivery, Qt::QueuedConnection);
    if (m_deviceHolds)
        return; // the device reports nothing more until BatchDone
    std::unique_lock lock(m_mutex);
    m_handOffDone.wait(lock, [this] { return m_stopRequested || (!m_pending && !m_running); });
}
