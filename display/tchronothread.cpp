#include "tchronothread.h"

#include "chronotext.h"
#include "digitlabel.h"

#include <QLabel>
#include <algorithm>

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
    chrono->m_startTime = clock.nowMs();
    chrono->m_rocket = chrono->m_mode && chrono->m_mode() == FlightMode::FUSEE;
    // Normal priority, started only now that StartTime is set.
    chrono->m_worker = std::thread([chrono] { chrono->Execute(); });
    return chrono;
}

TChronoThread::~TChronoThread()
{
    {
        const std::lock_guard lock(m_mutex);
        m_terminate.store(true);
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void TChronoThread::restart()
{
    setStartTime(m_clock.nowMs());
}

void TChronoThread::setStartTime(std::int64_t ms)
{
    {
        const std::lock_guard lock(m_mutex);
        m_startTime.store(ms);
        m_rescheduled = true;
    }
    m_wake.notify_all();
}

int TChronoThread::msToNextRewrite(bool rocket, std::int64_t elapsedMs)
{
    if (rocket)
        return RocketRefreshMs;
    if (elapsedMs < 0) // the text reads zero until then
        return int(std::min<std::int64_t>(-elapsedMs, 1000)) + BalloonMarginMs;
    return int(1000 - elapsedMs % 1000) + BalloonMarginMs;
}

int TChronoThread::rocketWaitMs(std::int64_t sinceShownMs)
{
    // Early by the tolerance, so that a slow GUI thread still shows every tenth. A clock set
    // back since the last rewrite leaves the label behind: at once, then.
    const int due = RocketRefreshMs - RocketToleranceMs;
    if (sinceShownMs < 0 || sinceShownMs >= due)
        return 0;
    return int(due - sinceShownMs);
}

void TChronoThread::UpdateChrono()
{
    if (m_terminate.load() || !m_label || !m_mode)
        return;
    const FlightMode mode = m_mode();
    if (mode != FlightMode::BALLON && mode != FlightMode::FUSEE)
        return;
    const std::int64_t now = m_clock.nowMs();
    DigitLabel::rewrite(m_label, ChronoText::runningText(mode, now - m_startTime.load()));
    m_shownMs.store(now);
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

bool TChronoThread::waitEnded(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_wake.wait_for(lock, timeout, [this] { return m_ended.load(); });
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
    // The destructor joins the worker; deleting also drops a self-deletion still queued.
    delete chrono.data();
    chrono = nullptr;
}

void TChronoThread::Execute()
{
    std::unique_lock lock(m_mutex);
    while (!m_terminate.load()) {
        const std::int64_t now = m_clock.nowMs();
        const std::int64_t shown = m_shownMs.load();
        const bool never = shown == std::numeric_limits<std::int64_t>::min();
        const int waitMs = m_rocket && !never ? rocketWaitMs(now - shown) : 0;
        // One request in flight at most: a GUI thread busy elsewhere finds a single update
        // waiting when it comes back, not a backlog.
        if (waitMs == 0 && !m_updateQueued.exchange(true))
            QMetaObject::invokeMethod(this, &TChronoThread::displayUpdate, Qt::QueuedConnection);
        const int sleepMs
            = waitMs > 0 ? waitMs : msToNextRewrite(m_rocket, now - m_startTime.load());
        m_wake.wait_for(lock, std::chrono::milliseconds(sleepMs),
                        [this] { return m_terminate.load() || m_rescheduled; });
        m_rescheduled = false;
    }
    m_ended.store(true);
    m_wake.notify_all();
    // Free on terminate: posted to the GUI thread, where the destructor joins this thread.
    deleteLater();
}

void TChronoThread::displayUpdate()
{
    m_updateQueued.store(false);
    ++m_displayUpdates;
    UpdateChrono();
    emit displayUpdated();
}
