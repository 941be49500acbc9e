// CPU cost of a running flight chronometer: the main window runs offscreen for 10 s (or the
// number of seconds given) with the chronometer counting, in both flight modes, and the program
// prints the CPU time used per second of wall time. Goal: at most 2 % of one core.
//
// "chrono_cpu --design" also measures, for comparison, a chronometer that rewrites the label
// with no pause through a blocking hand-off, as the program was first designed.

#include "tzephulf.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>
#include <QTime>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

double cpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double wallSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Figures
{
    double cpuPerWall = 0;
    qint64 updates = 0;
};

// Runs the event loop for the given time and measures it. exit(), not quit(): quit() would
// close the window first, which stops the chronometer.
Figures runLoopFor(int seconds, const std::function<qint64()> &updates)
{
    Figures f;
    const double cpu0 = cpuSeconds();
    const double wall0 = wallSeconds();
    QTimer::singleShot(seconds * 1000, qApp, [&] {
        f.cpuPerWall = (cpuSeconds() - cpu0) / (wallSeconds() - wall0);
        f.updates = updates();
        QCoreApplication::exit(0);
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
    const Figures f = runLoopFor(seconds, [&window] {
        return window.ActiveChrono ? window.ActiveChrono->displayUpdates() : -1;
    });
    window.stopChronometer();
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

    std::printf("chrono_cpu: %d s of wall time per run, main window offscreen\n", seconds);
    for (const FlightMode mode : { FlightMode::BALLON, FlightMode::FUSEE }) {
        const Figures f = measureProgram(mode, seconds);
        std::printf("  %-6s  CPU %.2f %% of one core, %lld label rewrites (%.1f per s)\n",
                    mode == FlightMode::FUSEE ? "FUSEE" : "BALLON", 100 * f.cpuPerWall,
                    static_cast<long long>(f.updates), double(f.updates) / seconds);
    }
    if (design) {
        const Figures f = measureDesign(seconds);
        std::printf("  design (no pause, blocking hand-off)  CPU %.2f %% of one core, %lld label "
                    "rewrites (%.0f per s)\n",
                    100 * f.cpuPerWall, static_cast<long long>(f.updates),
                    double(f.updates) / seconds);
    }
    std::printf("goal: at most 2 %% of one core\n");
    return 0;
}
