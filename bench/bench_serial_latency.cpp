// Latency from a byte written by the receiver (the pty master) to its arrival in a link callback
// on the GUI thread, and the CPU the process uses while the port is open and idle, with and
// without bytes arriving and no framer attached.
#include "ptypair.h"
#include "tcomlink.h"
#include "tcomport.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double cpuMs(int who)
{
    struct rusage usage;
    ::getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

double processCpuMs()
{
    return cpuMs(RUSAGE_SELF);
}

// Runs the event loop for `ms` while `work` runs on another thread; the CPU share used by the
// process without that thread (which plays the receiver).
double cpuShare(QCoreApplication &app, int ms, const std::function<void()> &work = {})
{
    const double cpuBefore = processCpuMs();
    const auto wallBefore = Clock::now();
    double workerMs = 0;
    std::thread worker([&] {
        const double before = cpuMs(RUSAGE_THREAD);
        if (work)
            work();
        workerMs = cpuMs(RUSAGE_THREAD) - before;
    });
    QTimer::singleShot(ms, &app, &QCoreApplication::quit);
    app.exec();
    worker.join();
    const double wall
        = std::chrono::duration<double, std::milli>(Clock::now() - wallBefore).count();
    return (processCpuMs() - cpuBefore - workerMs) / wall;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    PtyPair pty;
    TComPort port;
    port.setPort(QString::fromStdString(pty.slavePath()));
    port.setBaudRate(br600);
    port.OpenPort();

    // Idle: open, nothing arriving.
    const double idle = cpuShare(app, 3000);

    // Bytes arriving at the line's pace (one per 16.7 ms) with no framer attached.
    const double idleArriving = cpuShare(app, 3000, [&] {
        const auto end = Clock::now() + 2900ms;
        while (Clock::now() < end) {
            pty.send("\xFF");
            std::this_thread::sleep_for(17ms);
        }
    });
    port.PurgeBuffers(true, true);

    // Latency over 1000 bytes.
    std::mutex mutex;
    std::condition_variable arrived;
    Clock::time_point arrival;
    bool got = false;
    TComLink link;
    link.OnLinkRxBlock = [&](TCustomComPort *, const char *, int) {
        std::lock_guard lock(mutex);
        arrival = Clock::now();
        got = true;
        arrived.notify_one();
    };
    port.AttachLink(&link);
    std::vector<double> latencies;
    std::thread sender([&] {
        for (int i = 0; i < 1000; ++i) {
            std::this_thread::sleep_for(2ms);
            std::unique_lock lock(mutex);
            got = false;
            const Clock::time_point sent = Clock::now();
            lock.unlock();
            pty.send(std::string(1, char(i)));
            lock.lock();
            if (!arrived.wait_for(lock, 5s, [&] { return got; })) {
                std::fprintf(stderr, "byte %d never arrived\n", i);
                break;
            }
            latencies.push_back(std::chrono::duration<double, std::milli>(arrival - sent).count());
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    sender.join();
    port.DetachLink(&link);
    port.ClosePort();

    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty())
        return 1;
    const double median = latencies[latencies.size() / 2];
    const double p99 = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
    std::printf("latency pty master -> link callback on the GUI thread, %zu bytes:\n",
                latencies.size());
    std::printf("  median %.3f ms, 99th percentile %.3f ms, max %.3f ms\n", median, p99,
                latencies.back());
    std::printf("CPU while open and idle: %.3f %% of one core\n", idle * 100);
    std::printf("CPU with a byte every 17 ms and no framer: %.3f %% of one core\n",
                idleArriving * 100);
    return 0;
}
