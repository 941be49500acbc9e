#include "tchronothread.h"

#include "chronotext.h"

#include <QLabel>
#include <chrono>

TChronoThread::TChronoThread(QLabel *label, std::function<FlightMode()> mode,
                             const FlightClock &clock)
    : m_label(label)
    , m_mode(std::move(mode))
    , m_clock(clock)
{ }

TChronoThread *TChronoThread::Create(bool createSuspended, QLabel *label,
                                     std::function<FlightMode()> mode, const FlightClock &clock)
{
    Q_UNUSED(createSuspended);
    auto *chrono = new TChronoThread(label, std::move(mode), clock);
    // Free on terminate. finished is emitted on the worker thread; deleteLater only posts.
    connect(chrono, &QThread::finished, chrono, &QObject::deleteLater, Qt::DirectConnection);
    chrono->m_startTime = clock.nowMs();
    chrono->m_refreshMs = chrono->m_mode && chrono->m_mode() == FlightMode::FUSEE
        ? RocketRefreshMs
        : BalloonRefreshMs;
    chrono->start(QThread::NormalPriority);
    return chrono;
}

void TChronoThread::restart()
{
    m_startTime = m_clock.nowMs();
}

void TChronoThread::UpdateChrono()
{
    if (m_terminate.load() || !m_label || !m_mode)
        return;
    const FlightMode mode = m_mode();
    if (mode != FlightMode::BALLON && mode != FlightMode::FUSEE)
        return;
    m_label->setText(ChronoText::runningText(mode, m_clock.nowMs() - m_startTime));
}

void TChronoThread::requestTerminate()
{
    if (m_terminate.load())
        return;
    UpdateChrono();
    {
        const std::lock_guard lock(m_mutex);
        m_terminate.store(true);
    }
    m_wake.notify_all();
}

bool TChronoThread::isActive(const QPointer<TChronoThread> &chrono)
{
    return chrono && chrono->isActive();
}

void TChronoThread::refresh(const QPointer<TChronoThread> &chrono)
{
    if (chrono)
        chrono->UpdateChrono();
}

void TChronoThread::requestTerminate(const QPointer<TChronoThread> &chrono)
{
    if (chrono)
        chrono->requestTerminate();
}

void TChronoThread::destroy(QPointer<TChronoThread> &chrono)
{
    if (!chrono)
        return;
    chrono->requestTerminate();
    chrono->wait();
    // Also drops the self-deletion still queued, if any.
    delete chrono.data();
    chrono = nullptr;
}

void TChronoThread::run()
{
    Execute();
}

void TChronoThread::Execute()
{
    std::unique_lock lock(m_mutex);
    while (!m_terminate.load()) {
        // One request in flight at most: a GUI thread busy elsewhere finds a single update
        // waiting when it comes back, not a backlog.
        if (!m_updateQueued.exchange(true))
            QMetaObject::invokeMethod(this, &TChronoThread::displayUpdate, Qt::QueuedConnection);
        m_wake.wait_for(lock, std::chrono::milliseconds(m_refreshMs),
                        [this] { return m_terminate.load(); });
    }
}

void TChronoThread::displayUpdate()
{
    m_updateQueued.store(false);
    ++m_displayUpdates;
    UpdateChrono();
}
