// The cheapest a reader of the line can be on this machine: bytes come one by one at the
// line's pace (16.7 ms a byte at 600 bit/s) from a pseudo-terminal, and the reader only waits
// for each and reads it.
//
//   wake_floor [SECONDS] [--qt | --tick]
//
// Plain: a thread polls the slave and reads each byte as it comes. With --qt the same is done
// by a socket notifier in a bare Qt event loop (no window), as the program's GUI thread does
// it. The CPU printed is the whole process's less the thread that plays the receiver, as
// bench_reception counts it, so the two can be set side by side: what bench_reception
// measures above this floor is the program's own work; the floor itself is the price of one
// wake-up per byte on this host, which no program that hands every byte on at once can go under.
//
// With --tick, no line: the floor under a BALLON chronometer instead. A thread sleeps until
// each whole second and hands an empty call to a bare Qt event loop, as the chronometer hands
// its rewrite to the GUI thread, and nothing is painted. The whole process's CPU is printed,
// as chrono_cpu counts it, with the two threads' shares.

#include "cpuclock.h"
#include "ptypair.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int openRaw(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        std::perror("open");
        std::exit(1);
    }
    termios t {};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B600);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

int tickFloor(int seconds, int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QObject target;
    long calls = 0;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::atomic<clockid_t> tickerClock {};
    std::atomic<bool> started { false };
    std::thread ticker([&] {
        clockid_t own {};
        pthread_getcpuclockid(pthread_self(), &own);
        tickerClock = own;
        started = true;
        std::unique_lock lock(mutex);
        auto due = Clock::now();
        while (!stop) {
            due += std::chrono::seconds(1);
            if (wake.wait_until(lock, due, [&] { return stop; }))
                break;
            QMetaObject::invokeMethod(
                &target, [&] { ++calls; }, Qt::QueuedConnection);
        }
    });
    while (!started)
        std::this_thread::yield();
    clockid_t guiClock {};
    pthread_getcpuclockid(pthread_self(), &guiClock);
    double cpu0 = 0;
    double gui0 = 0;
    double ticker0 = 0;
    long calls0 = 0;
    auto wall0 = Clock::now();
    // The first two seconds are left out, as chrono_cpu leaves out the window's first paint.
    QTimer::singleShot(2000, [&] {
        wall0 = Clock::now();
        cpu0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        gui0 = cpuSeconds(guiClock);
        ticker0 = cpuSeconds(tickerClock);
        calls0 = calls;
        QTimer::singleShot(seconds * 1000, [] { QCoreApplication::exit(0); });
    });
    QCoreApplication::exec();
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    const double gui = cpuSeconds(guiClock) - gui0;
    const double tick = cpuSeconds(tickerClock) - ticker0;
    {
        const std::lock_guard lock(mutex);
        stop = true;
    }
    wake.notify_all();
    ticker.join();
    const long n = std::max(1L, calls - calls0);
    std::printf("A thread's call to a Qt event loop once a second, nothing painted: %.3f %% of "
                "one core over %.1f s (waking thread %.3f %%, event loop %.3f %%; %ld calls, "
                "%.0f us of CPU a call)\n",
                100.0 * cpu / wall, wall, 100.0 * tick / wall, 100.0 * gui / wall, calls - calls0,
                1e6 * cpu / double(n));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = 25;
    bool qt = false;
    bool tick = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--qt") == 0)
            qt = true;
        else if (std::strcmp(argv[i], "--tick") == 0)
            tick = true;
        else if (std::atoi(argv[i]) > 0)
            seconds = std::atoi(argv[i]);
        else {
            std::fprintf(stderr, "usage: %s [SECONDS] [--qt | --tick]\n", argv[0]);
            return 2;
        }
    }
    if (tick)
        return tickFloor(seconds, argc, argv);
    PtyPair pty;
    const int fd = openRaw(pty.slavePath());
    std::atomic<bool> stop { false };
    std::atomic<bool> started { false };
    std::atomic<clockid_t> receiverClock {};
    std::thread receiver([&] {
        clockid_t own {};
        pthread_getcpuclockid(pthread_self(), &own);
        receiverClock = own;
        started = true;
        auto due = Clock::now();
        unsigned char b = 0;
        while (!stop) {
            std::this_thread::sleep_until(due);
            pty.send(std::string(1, char(b++)));
            due += std::chrono::microseconds(16667);
        }
    });
    while (!started)
        std::this_thread::yield();
    long bytes = 0;
    const auto readOne = [&] {
        char buffer[64];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            bytes += n;
    };
    // The first two seconds are left out, as bench_reception leaves out its first paint.
    const auto warmUp = Clock::now() + std::chrono::seconds(2);
    const auto end = warmUp + std::chrono::seconds(seconds);
    double cpu0 = 0;
    double receiver0 = 0;
    long bytes0 = 0;
    auto wall0 = Clock::now();
    const auto mark = [&] {
        wall0 = Clock::now();
        cpu0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        receiver0 = cpuSeconds(receiverClock);
        bytes0 = bytes;
    };
    if (qt) {
        QCoreApplication app(argc, argv);
        QSocketNotifier notifier(fd, QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, readOne);
        QTimer::singleShot(2000, [&] {
            mark();
            QTimer::singleShot(seconds * 1000, [] { QCoreApplication::exit(0); });
        });
        QCoreApplication::exec();
    } else {
        bool marked = false;
        while (Clock::now() < end) {
            if (!marked && Clock::now() >= warmUp) {
                mark();
                marked = true;
            }
            pollfd p { fd, POLLIN, 0 };
            if (::poll(&p, 1, 100) > 0)
                readOne();
        }
    }
    const double cpu
        = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0 - (cpuSeconds(receiverClock) - receiver0);
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    stop = true;
    receiver.join();
    std::printf("Reading bytes one by one at the line's pace, %s: %.3f %% of one core over %.1f s "
                "(%ld bytes, %.1f us of CPU a byte)\n",
                qt ? "Qt event loop" : "plain poll and read", 100.0 * cpu / wall, wall,
                bytes - bytes0, 1e6 * cpu / double(std::max(1L, bytes - bytes0)));
    ::close(fd);
    return 0;
}
