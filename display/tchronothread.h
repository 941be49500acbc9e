#pragma once

#include "flightclock.h"
#include "flightmode.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>

class QLabel;

// The flight chronometer of one reception. The label it keeps up to date is not only a display:
// the decoders, the statistics and the record lines read the flight time back from its text.
//
// The thread itself touches no program state. When the text is due to change on screen it asks
// the GUI thread to rewrite the label, without waiting for it and with at most one request
// queued, so a busy GUI thread is never flooded and the thread can always end promptly. In
// BALLON the text changes once a second: the thread sleeps until just after each whole second
// of flight time, so the seconds change on screen on time and nothing wakes in between. In FUSEE
// (milliseconds) it rewrites the label at a display rate. Everything that reads the
// label calls UpdateChrono() (through refresh()) once at the entry of its handler, so it sees
// the flight time of that moment to the millisecond; the periodic rewrite only serves the eye.
//
// Lifetime: the object lives on the GUI thread and owns its worker thread. Once Execute has
// returned it deletes itself (deleteLater; the destructor joins the worker, which by then has
// nothing left to do). Hold it in a QPointer, which turns null when that happens; isActive()
// tells whether it still counts. destroy() ends and frees it at once, for when the event loop
// will not run again.
class TChronoThread : public QObject
{
    Q_OBJECT

public:
    // FUSEE: label rewrite interval while nothing reads the label (its text changes every
    // millisecond). Just under a tenth of a second: every tenth shows, one after the other, and
    // as the interval is no divisor of a second the last digits keep changing too. Every
    // rewrite costs a repaint and a round trip to the display server, so a faster rate only
    // spends the battery. BALLON: how long after a whole second the rewrite is asked for, so
    // that the GUI thread, reading the clock a moment later, is past the second for sure.
    static constexpr int RocketRefreshMs = 96;
    static constexpr int BalloonMarginMs = 2;
    // Milliseconds the worker sleeps from elapsed flight time `elapsedMs` to its next rewrite.
    static int msToNextRewrite(bool rocket, std::int64_t elapsedMs);
    // FUSEE: a reader's refresh (at every frame) counts as a rewrite of the display rate, so
    // the worker's next one comes an interval after it and a frame costs no extra repaint of
    // the label. Milliseconds the worker waits, when it wakes `sinceShownMs` after the last
    // rewrite, before it asks for one; 0: now. The tolerance allows for the GUI thread taking
    // a moment to serve the request: the label must still change within a tenth.
    static constexpr int RocketToleranceMs = 16;
    static int rocketWaitMs(std::int64_t sinceShownMs);

    // GUI thread. StartTime := now, then the thread runs (whether created suspended or not, it
    // never runs before StartTime is set). mode is read by every update, as the flight mode
    // belongs to the main window. The label and the clock must outlive the chronometer or, for
    // the label, be a QObject child that may go first (the chronometer then writes nothing).
    static TChronoThread *Create(bool createSuspended, QLabel *label,
                                 std::function<FlightMode()> mode,
                                 const FlightClock &clock = FlightClock::system());

    // Flight-clock milliseconds from which the chronometer counts. GUI thread.
    std::int64_t StartTime() const { return m_startTime.load(); }
    void setStartTime(std::int64_t ms);
    // StartTime := now (the reset by double-click).
    void restart();

    // GUI thread: writes the elapsed time into the label, unless told to stop.
    void UpdateChrono();

    // GUI thread; never waits. The label is brought up to date one last time and then keeps
    // its text; the thread leaves Execute at its next wake-up and the object deletes itself.
    void requestTerminate();
    bool terminateRequested() const { return m_terminate.load(); }
    // Running and not told to stop.
    bool isActive() const { return !m_ended.load() && !terminateRequested(); }
    // Waits until Execute has returned, at most the given time; true if it has. The worker
    // never waits for the GUI thread, so this needs no event processing.
    bool waitEnded(std::chrono::milliseconds timeout);

    // Helpers for the owner's QPointer (null once the object has deleted itself).
    static bool isActive(const QPointer<TChronoThread> &chrono);
    static void refresh(const QPointer<TChronoThread> &chrono);
    static void requestTerminate(const QPointer<TChronoThread> &chrono);
    // Terminates, waits for Execute to return (the thread never waits on the GUI thread, so
    // this is quick and cannot deadlock) and frees the object; for window destruction and
    // "Quitter", when no event loop will run the self-deletion. Leaves chrono null.
    static void destroy(QPointer<TChronoThread> &chrono);

    // Label rewrites at the display rate so far; for the benchmark and the tests.
    std::int64_t displayUpdates() const { return m_displayUpdates.load(); }

    ~TChronoThread() override;

signals:
    // GUI thread, after each rewrite at the display rate (not after a refresh by a reader).
    void displayUpdated();

private:
    TChronoThread(QLabel *label, std::function<FlightMode()> mode, const FlightClock &clock);
    // The worker's body.
    void Execute();
    void displayUpdate();

    QPointer<QLabel> m_label;
    std::function<FlightMode()> m_mode;
    const FlightClock &m_clock; // read by both threads
    std::atomic<std::int64_t> m_startTime { 0 };
    bool m_rocket = false; // the mode at creation decides the worker's schedule

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_rescheduled = false; // guarded by m_mutex: the start time moved
    std::atomic<bool> m_terminate { false };
    std::atomic<bool> m_ended { false };
    std::atomic<bool> m_updateQueued { false };
    std::atomic<std::int64_t> m_displayUpdates { 0 };
    // Flight-clock time of the label's last rewrite, by the worker's request or a reader's.
    std::atomic<std::int64_t> m_shownMs { std::numeric_limits<std::int64_t>::min() };
    std::thread m_worker; // last: started once everything above exists
};
