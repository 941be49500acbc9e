// CPU cost of a running flight chronometer: the main window runs offscreen (or on the platform
// QT_QPA_PLATFORM names, xcb on a virtual display for instance) for 10 s (or the number of
// seconds given) with the chronometer counting, in both flight modes, and the program prints
// the CPU time used per second of wall time (goals: BALLON at most 0.1 %, FUSEE at most 0.8 %
// of one core). In BALLON it also prints how late after the true second the new seconds were
// painted (goal: within 50 ms).
//
// "chrono_cpu --design" also measures, for comparison, a chronometer that rewrites the label
// with no pause through a blocking hand-off, as the program was first designed.

#include "cpuclock.h"
#include "eventcount.h"
#include "flightclock.h"
#include "platformtuning.h"
#include "tzephulf.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>
#include <QTime>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

double wallSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Figures
{
    double cpuPerWall = 0;
    double guiCpuPerWall = 0; // the part of it spent on the GUI thread
    qint64 updates = 0;
    std::vector<qint64> lateMs; // BALLON: for each new second painted, how late it was
};

// Notes, at each paint of the label that shows a new text, how far past its whole second the
// flight time was.
class PaintWatch : public QObject
{
public:
    PaintWatch(QLabel *label, std::function<qint64()> elapsedMs, std::vector<qint64> &late)
        : m_label(label)
        , m_elapsedMs(std::move(elapsedMs))
        , m_late(late)
    {
        label->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint && m_label->text() != m_last) {
            m_last = m_label->text();
            m_late.push_back(m_elapsedMs() % 1000);
        }
        return false;
    }

private:
    QLabel *m_label;
    std::function<qint64()> m_elapsedMs;
    std::vector<qint64> &m_late;
    QString m_last;
};

// Runs the event loop for the given time and measures it. exit(), not quit(): quit() would
// close the window first, which stops the chronometer.
// The first two seconds (the window's first paint, the font caches) are not counted: the steady
// state is what a long flight costs.
EventCount *eventCount = nullptr; // with --events

Figures runLoopFor(int seconds, const std::function<qint64()> &updates)
{
    Figures f;
    double cpu0 = 0;
    double gui0 = 0;
    double wall0 = 0;
    qint64 updates0 = 0;
    // The timers run on the GUI thread, whose own clock is read there.
    QTimer::singleShot(2000, qApp, [&] {
        cpu0 = cpuSeconds();
        gui0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        wall0 = wallSeconds();
        updates0 = updates();
        if (eventCount)
            eventCount->setCounting(true);
        QTimer::singleShot(seconds * 1000, qApp, [&] {
            const double wall = wallSeconds() - wall0;
            f.cpuPerWall = (cpuSeconds() - cpu0) / wall;
            f.guiCpuPerWall = (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - gui0) / wall;
            f.updates = updates() - updates0;
            QCoreApplication::exit(0);
        });
    });
    QApplication::exec();
    return f;
}

Figures measureProgram(FlightMode mode, int seconds)
{
    QTemporaryDir dir;
    TZephulF window(dir.filePath("zephul.ini"));
    window.Timer_APropos->stop();
    window.flightMode = mode;
    window.FormResize();
    window.show();
    QCoreApplication::processEvents();
    window.startChronometer();
    std::vector<qint64> late;
    PaintWatch watch(
        window.Label_Chrono,
        [&window] {
            return FlightClock::system().nowMs()
                - (window.ActiveChrono ? window.ActiveChrono->StartTime() : 0);
        },
        late);
    Figures f = runLoopFor(seconds, [&window] {
        return window.ActiveChrono ? window.ActiveChrono->displayUpdates() : -1;
    });
    window.stopChronometer();
    if (mode == FlightMode::BALLON && late.size() > 1)
        f.lateMs.assign(late.begin() + 1, late.end()); // the first paint is the start's
    return f;
}

// The first design: a thread that asks the GUI thread to rewrite the label, waits until it
// has, and asks again at once.
class FloodingChrono : public QThread
{
public:
    explicit FloodingChrono(QLabel *label)
        : m_label(label)
    { }
    std::atomic<bool> stop { false };
    std::atomic<qint64> updates { 0 };

protected:
    void run() override
    {
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        while (!stop.load()) {
            QMetaObject::invokeMethod(
                m_label,
                [this, start] {
                    m_label->setText(QTime::fromMSecsSinceStartOfDay(
                                         int(QDateTime::currentMSecsSinceEpoch() - start))
                                         .toString("mm:ss.zzz"));
                    ++updates;
                },
                Qt::BlockingQueuedConnection);
        }
    }

private:
    QLabel *m_label;
};

Figures measureDesign(int seconds)
{
    QTemporaryDir dir;
    TZephulF window(dir.filePath("zephul.ini"));
    window.Timer_APropos->stop();
    window.flightMode = FlightMode::FUSEE;
    window.show();
    QCoreApplication::processEvents();
    FloodingChrono flood(window.Label_Chrono);
    flood.start();
    const Figures f = runLoopFor(seconds, [&flood] { return flood.updates.load(); });
    // Stopped while the event loop still serves it: the flooding thread waits for the GUI
    // thread.
    flood.stop = true;
    while (!flood.wait(10))
        QCoreApplication::processEvents();
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    PlatformTuning::applyBeforeApplication();
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool design = args.contains("--design");
    int seconds = 10;
    for (const QString &a : args) {
        bool ok = false;
        const int n = a.toInt(&ok);
        if (ok && n > 0)
            seconds = n;
    }

    std::printf("chrono_cpu: %d s of wall time per run, main window on %s\n", seconds,
                qPrintable(QGuiApplication::platformName()));
    for (const FlightMode mode : { FlightMode::BALLON, FlightMode::FUSEE }) {
        // "balloon" or "rocket" measures that mode only.
        if (args.contains(mode == FlightMode::FUSEE ? "balloon" : "rocket"))
            continue;
        EventCount events;
        if (args.contains("--events")) {
            qApp->installEventFilter(&events);
            eventCount = &events;
        }
        Figures f = measureProgram(mode, seconds);
        qApp->removeEventFilter(&events);
        std::printf("  %-6s  CPU %.3f %% of one core (GUI thread %.3f %%, other threads %.3f %%), "
                    "%lld label rewrites (%.1f per s)\n",
                    mode == FlightMode::FUSEE ? "FUSEE" : "BALLON", 100 * f.cpuPerWall,
                    100 * f.guiCpuPerWall, 100 * (f.cpuPerWall - f.guiCpuPerWall),
                    static_cast<long long>(f.updates), double(f.updates) / seconds);
        if (!f.lateMs.empty()) {
            std::sort(f.lateMs.begin(), f.lateMs.end());
            std::printf("          new seconds painted after the true second: median %lld ms, "
                        "max %lld ms over %zu seconds (goal: within 50 ms)\n",
                        static_cast<long long>(f.lateMs[f.lateMs.size() / 2]),
                        static_cast<long long>(f.lateMs.back()), f.lateMs.size());
        }
        if (args.contains("--events"))
            events.print(seconds);
    }
    if (design) {
        const Figures f = measureDesign(seconds);
        std::printf("  design (no pause, blocking hand-off)  CPU %.2f %% of one core, %lld label "
                    "rewrites (%.0f per s)\n",
                    100 * f.cpuPerWall, static_cast<long long>(f.updates),
                    double(f.updates) / seconds);
    }
    return 0;
}
