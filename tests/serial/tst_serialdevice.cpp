// The serial platform layer on its own, against pseudo-terminals: no Qt.
#include "platformevent.h"
#include "portname.h"
#include "ptypair.h"
#include "serialdevice.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <termios.h>
#include <thread>
#include <vector>

namespace {

int failures = 0;

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: CHECK(%s) failed\n", __FILE__, __LINE__, #cond);          \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

using namespace SerialPlatform;
using namespace std::chrono_literals;

// Waits for the next event; the stop event ends a wait that would otherwise never return.
WaitResult waitWithGuard(SerialDevice &device, PlatformEvent &stop)
{
    std::thread guard([&stop] {
        std::this_thread::sleep_for(10s);
        stop.set();
    });
    guard.detach();
    return device.waitEvent(stop);
}

std::string takeAll(SerialDevice &device)
{
    char buffer[4096];
    std::size_t done = 0;
    CHECK(device.read(buffer, sizeof buffer, done) == 0);
    return std::string(buffer, done);
}

void portNamesMapToDevices()
{
    CHECK(devicePathForPort("ttyUSB0") == "/dev/ttyUSB0");
    CHECK(devicePathForPort("ttyS1") == "/dev/ttyS1");
    CHECK(devicePathForPort("/dev/pts/3") == "/dev/pts/3");
    CHECK(devicePathForPort("/tmp/zephul-ports/emu") == "/tmp/zephul-ports/emu");
}

void openFailures()
{
    SerialDevice device;
    CHECK(device.open("/dev/zephul-no-such-port") == ENOENT);
    CHECK(!device.isOpen());
    CHECK(device.open("/dev/null") == ENOTTY);
    CHECK(!device.isOpen());
}

void openIsExclusiveAndRaw()
{
    PtyPair pty;
    SerialDevice first;
    CHECK(first.open(pty.slavePath()) == 0);
    SerialDevice second;
    CHECK(second.open(pty.slavePath()) == EBUSY); // also as root
    LineSettings settings;
    settings.baudRate = 600;
    CHECK(first.applyLineSettings(settings) == 0);
    struct termios t;
    CHECK(::tcgetattr(pty.masterFd(), &t) == 0);
    CHECK(::cfgetospeed(&t) == B600);
    CHECK((t.c_cflag & CSIZE) == CS8);
    CHECK(!(t.c_cflag & (PARENB | CSTOPB | CRTSCTS)));
    CHECK((t.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD));
    CHECK(!(t.c_lflag & (ICANON | ECHO | ISIG)));
    CHECK(!(t.c_iflag & (IXON | IXOFF | ICRNL)));
    CHECK(!(t.c_oflag & OPOST));
    settings.baudRate = 56000; // no Bnnn constant
    settings.parity = Parity::Even;
    settings.stopBits = StopBits::Two;
    CHECK(first.applyLineSettings(settings) == 0);
    CHECK(::tcgetattr(pty.masterFd(), &t) == 0);
    // A pty forces 8 bits without parity whatever is asked; the stop bits stay.
    CHECK(t.c_cflag & CSTOPB);
    std::uint32_t signals = 99;
    CHECK(first.modemSignals(signals) == 0 && signals == 0); // a pty has no modem lines
    first.close();
    CHECK(second.open(pty.slavePath()) == 0);
}

void arrivalsAreReportedOnceAndQueued()
{
    PtyPair pty;
    SerialDevice device;
    PlatformEvent stop;
    CHECK(device.open(pty.slavePath()) == 0);
    device.setEventMask(Event::RxChar | Event::RxFlag);
    pty.send(std::string("ab\0c", 4));
    const WaitResult first = waitWithGuard(device, stop);
    CHECK(first.events & Event::RxChar);
    CHECK(first.events & Event::RxFlag); // event character NUL
    // The bytes stay queued, unread: the next wait must sleep, not report them again.
    stop.set();
    const WaitResult second = device.waitEvent(stop);
    CHECK(second.stopped && second.events == 0);
    stop.reset();
    std::size_t pending = 0;
    CHECK(device.pendingInput(pending) == 0 && pending == 4);
    CHECK(takeAll(device) == std::string("ab\0c", 4));
}

void queueOverflowDropsNewestAndReportsIt()
{
    PtyPair pty;
    SerialDevice device;
    CHECK(device.open(pty.slavePath()) == 0);
    CHECK(device.setQueueSizes(16, 16) == 0);
    pty.send(std::string(40, 'x').replace(0, 3, "abc"));
    std::size_t pending = 0;
    for (int i = 0; i < 1000 && pending < 16; ++i) {
        CHECK(device.pendingInput(pending) == 0);
        std::this_thread::sleep_for(1ms);
    }
    std::uint32_t errors = 0;
    std::size_t queued = 0;
    // All 40 bytes have reached the driver once the queue is full only if the pty delivered
    // them in one go; read until the errors show, within a bound.
    for (int i = 0; i < 1000 && !(errors & LineError::RxOver); ++i) {
        std::uint32_t e = 0;
        CHECK(device.takeLineErrors(e, queued) == 0);
        errors |= e;
        std::this_thread::sleep_for(1ms);
    }
    CHECK(errors & LineError::RxOver);
    CHECK(queued == 16);
    CHECK(takeAll(device).substr(0, 3) == "abc");
    CHECK(device.takeLineErrors(errors, queued) == 0 && errors == 0);
}

void discardNullAndPurge()
{
    PtyPair pty;
    SerialDevice device;
    CHECK(device.open(pty.slavePath()) == 0);
    LineSettings settings;
    settings.discardNull = true;
    CHECK(device.applyLineSettings(settings) == 0);
    device.setEventMask(Event::RxChar);
    PlatformEvent stop;
    pty.send(std::string("\0a\0b", 4));
    CHECK(waitWithGuard(device, stop).events == Event::RxChar);
    CHECK(takeAll(device) == "ab");
    pty.send("old");
    CHECK(waitWithGuard(device, stop).events == Event::RxChar);
    CHECK(device.purge(true, true) == 0);
    std::size_t pending = 1;
    CHECK(device.pendingInput(pending) == 0 && pending == 0);
}

void writeCompletesAndSurvivesPurge()
{
    PtyPair pty;
    SerialDevice device;
    CHECK(device.open(pty.slavePath()) == 0);
    std::size_t done = 0;
    CHECK(device.write("$C21\r\n", 6, done) == 0);
    CHECK(done == 6);
    CHECK(device.purge(true, true) == 0);
    CHECK(pty.receive(6, 5s) == "$C21\r\n");
    // Time-out with a far end that never reads: the write returns with what went out.
    Timeouts timeouts;
    timeouts.writeTotalMultiplier = 0;
    timeouts.writeTotalConstant = 50;
    CHECK(device.applyTimeouts(timeouts) == 0);
    const std::string big(1 << 20, 'z');
    CHECK(device.write(big.data(), big.size(), done) == 0);
    CHECK(done < big.size());
}

void lostDeviceEndsEveryWait()
{
    PtyPair pty;
    SerialDevice device;
    PlatformEvent stop;
    CHECK(device.open(pty.slavePath()) == 0);
    device.setEventMask(Event::RxChar);
    pty.send("zz");
    CHECK(waitWithGuard(device, stop).events == Event::RxChar);
    // What was queued before the loss stays readable.
    pty.closeMaster();
    const WaitResult result = waitWithGuard(device, stop);
    CHECK(result.deviceLost && !result.stopped);
    CHECK(takeAll(device) == "zz");
    const WaitResult again = device.waitEvent(stop);
    CHECK(again.deviceLost && again.events == 0);
    device.close();
    CHECK(!device.isOpen());
}

} // namespace

int main()
{
    const std::vector<std::pair<const char *, std::function<void()>>> tests = {
        { "portNamesMapToDevices", portNamesMapToDevices },
        { "openFailures", openFailures },
        { "openIsExclusiveAndRaw", openIsExclusiveAndRaw },
        { "arrivalsAreReportedOnceAndQueued", arrivalsAreReportedOnceAndQueued },
        { "queueOverflowDropsNewestAndReportsIt", queueOverflowDropsNewestAndReportsIt },
        { "discardNullAndPurge", discardNullAndPurge },
        { "writeCompletesAndSurvivesPurge", writeCompletesAndSurvivesPurge },
        { "lostDeviceEndsEveryWait", lostDeviceEndsEveryWait },
    };
    for (const auto &[name, test] : tests) {
        const int before = failures;
        test();
        std::printf("%s %s\n", failures == before ? "PASS" : "FAIL", name);
    }
    return failures == 0 ? 0 : 1;
}
