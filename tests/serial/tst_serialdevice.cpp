// The serial platform layer on its own, no Qt. The test plays the far end of the line: on POSIX
// the master of a pseudo-terminal pair; on Windows the second of two COM ports linked to each
// other (under wine each is mapped to one end of a linked pseudo-terminal pair; scripts/wine-tests
// sets this up and names the two ports in ZEPHUL_TEST_PORTS). Cases where both backends behave
// alike run on both.
#include "platformevent.h"
#include "portname.h"
#include "serialdevice.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <initializer_list>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include "ptypair.h"

#include <poll.h>
#include <termios.h>
#endif

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
using Clock = std::chrono::steady_clock;

#ifdef _WIN32
constexpr int NoSuchDevice = ERROR_FILE_NOT_FOUND;
constexpr int DeviceTaken = ERROR_ACCESS_DENIED;
const std::string MissingPort = devicePathForPort("ZEPHULNOSUCHPORT");
#else
constexpr int NoSuchDevice = ENOENT;
constexpr int DeviceTaken = EBUSY;
const std::string MissingPort = "/dev/zephul-no-such-port";
#endif

// Sets the stop event if a wait has not returned within 10 s, so that a wait that never ends
// fails the test instead of hanging it.
class WaitGuard
{
public:
    explicit WaitGuard(PlatformEvent &stop)
        : m_thread([this, &stop] {
            std::unique_lock lock(m_mutex);
            if (!m_done.wait_for(lock, 10s, [this] { return m_finished; }))
                stop.set();
        })
    { }
    ~WaitGuard()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

WaitResult waitWithGuard(SerialDevice &device, PlatformEvent &stop)
{
    WaitGuard guard(stop);
    return device.waitEvent(stop);
}

std::string takeAll(SerialDevice &device)
{
    char buffer[4096];
    std::size_t done = 0;
    CHECK(device.read(buffer, sizeof buffer, done) == 0);
    return std::string(buffer, done);
}

// Reads until `count` bytes came, waiting for events in between (generous bound).
std::string receiveByEvents(SerialDevice &device, std::size_t count)
{
    PlatformEvent stop;
    std::string received;
    const auto deadline = Clock::now() + 20s;
    while (received.size() < count && Clock::now() < deadline) {
        const std::string block = takeAll(device);
        received += block;
        if (!block.empty() || received.size() >= count)
            continue;
        const WaitResult result = waitWithGuard(device, stop);
        if (result.stopped || result.deviceLost || result.error)
            break;
    }
    return received;
}

void pollUntil(const std::function<bool()> &condition)
{
    const auto deadline = Clock::now() + 10s;
    while (!condition() && Clock::now() < deadline)
        std::this_thread::sleep_for(2ms);
}

std::string allByteValues()
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += char(i);
    return bytes;
}

#ifdef _WIN32
// The linked COM ports named in ZEPHUL_TEST_PORTS ("COM1 COM10"): the first is the port under
// test, the second the far end, opened with the same layer.
class FarEnd
{
public:
    FarEnd()
    {
        const char *ports = std::getenv("ZEPHUL_TEST_PORTS");
        std::istringstream names(ports ? ports : "");
        names >> m_near >> m_far;
        if (m_far.empty()) {
            std::fprintf(stderr,
                         "ZEPHUL_TEST_PORTS must name two linked COM ports "
                         "(run scripts/wine-tests)\n");
            std::exit(2);
        }
        // Both ports outlive a case: what an earlier one left on the line (a write cut short by
        // its time-out, bytes it did not read) is dropped first, from both ends.
        SerialDevice nearEnd;
        CHECK(nearEnd.open(portPath()) == 0);
        CHECK(nearEnd.applyTimeouts(Timeouts()) == 0);
        CHECK(m_device.open(devicePathForPort(m_far)) == 0);
        CHECK(m_device.applyTimeouts(Timeouts()) == 0);
        discardUntilQuiet({ &nearEnd, &m_device });
    }

    std::string portPath() const { return devicePathForPort(m_near); }

    void send(const std::string &bytes)
    {
        std::size_t done = 0;
        CHECK(m_device.write(bytes.data(), bytes.size(), done) == 0);
        CHECK(done == bytes.size());
    }

    std::string receive(std::size_t count, std::chrono::milliseconds timeout)
    {
        std::string out;
        const auto deadline = Clock::now() + timeout;
        while (out.size() < count && Clock::now() < deadline) {
            const std::string block = takeAll(m_device);
            if (block.empty())
                std::this_thread::sleep_for(2ms);
            out += block;
        }
        return out;
    }

private:
    static void discardUntilQuiet(std::initializer_list<SerialDevice *> ends)
    {
        const auto deadline = Clock::now() + 10s;
        auto quietSince = Clock::now();
        while (Clock::now() - quietSince < 150ms && Clock::now() < deadline) {
            for (SerialDevice *end : ends) {
                if (!takeAll(*end).empty())
                    quietSince = Clock::now();
            }
            std::this_thread::sleep_for(5ms);
        }
    }

    std::string m_near;
    std::string m_far;
    SerialDevice m_device;
};
#else
class FarEnd
{
public:
    std::string portPath() const { return m_pty.slavePath(); }
    void send(const std::string &bytes) { m_pty.send(bytes); }
    std::string receive(std::size_t count, std::chrono::milliseconds timeout)
    {
        return m_pty.receive(count, timeout);
    }
    PtyPair &pty() { return m_pty; }

private:
    PtyPair m_pty;
};
#endif

// Opens the port under test with the port component's default time-outs.
void openNear(SerialDevice &device, const FarEnd &line)
{
    CHECK(device.open(line.portPath()) == 0);
    CHECK(device.applyTimeouts(Timeouts()) == 0);
}

// --- both backends ---

void portNamesMapToDevices()
{
#ifdef _WIN32
    CHECK(devicePathForPort("COM1") == "\\\\.\\COM1");
    CHECK(devicePathForPort("COM16") == "\\\\.\\COM16");
#else
    CHECK(devicePathForPort("ttyUSB0") == "/dev/ttyUSB0");
    CHECK(devicePathForPort("ttyS1") == "/dev/ttyS1");
    CHECK(devicePathForPort("/dev/pts/3") == "/dev/pts/3");
    CHECK(devicePathForPort("/run/user/1000/zephul-ports/emu")
          == "/run/user/1000/zephul-ports/emu");
#endif
}

void openFailures()
{
    SerialDevice device;
    CHECK(device.open(MissingPort) == NoSuchDevice);
    CHECK(!device.isOpen());
#ifndef _WIN32
    CHECK(device.open("/dev/null") == ENOTTY);
    CHECK(!device.isOpen());
#endif
}

void openIsExclusive()
{
    FarEnd line;
    SerialDevice first;
    openNear(first, line);
    SerialDevice second;
    CHECK(second.open(line.portPath()) == DeviceTaken); // also as root
    CHECK(!second.isOpen());
    std::uint32_t signals = 99;
    CHECK(first.modemSignals(signals) == 0 && signals == 0); // a pty has no modem lines
    first.close();
    CHECK(second.open(line.portPath()) == 0);
}

void arrivalsAreReportedOnceAndQueued()
{
    FarEnd line;
    SerialDevice device;
    PlatformEvent stop;
    openNear(device, line);
    device.setEventMask(Event::RxChar | Event::RxFlag);
    line.send(std::string("ab\0c", 4));
    const WaitResult first = waitWithGuard(device, stop);
    CHECK(first.events & Event::RxChar);
#ifndef _WIN32
    CHECK(first.events & Event::RxFlag); // event character NUL (wine reports no EV_RXFLAG)
#endif
    std::size_t pending = 0;
    pollUntil([&] { return device.pendingInput(pending) == 0 && pending == 4; });
    // The bytes stay queued, unread: the next wait must sleep, not report them again.
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(200ms);
        stop.set();
    });
    const WaitResult second = waitWithGuard(device, stop);
    stopper.join();
    CHECK(second.stopped && second.events == 0);
    stop.reset();
    CHECK(device.pendingInput(pending) == 0 && pending == 4);
    CHECK(takeAll(device) == std::string("ab\0c", 4));
}

// The program's event mask (all ten events, modem lines included) on a device without modem
// lines: a wait is woken by bytes that come while it waits, and by the stop event, and nothing
// in between ends it.
void waitIsWokenByBytesAndByStop()
{
    FarEnd line;
    SerialDevice device;
    openNear(device, line);
    device.setEventMask(0x05FF);
    PlatformEvent stop;
    {
        WaitGuard guard(stop);
        auto waiting = std::async(std::launch::async, [&] { return device.waitEvent(stop); });
        CHECK(waiting.wait_for(300ms) == std::future_status::timeout); // asleep, not failing
        line.send("x");
        const WaitResult woken = waiting.get();
        CHECK(woken.events & Event::RxChar);
        CHECK(!woken.stopped && !woken.deviceLost && woken.error == 0);
    }
    CHECK(takeAll(device) == "x");
    {
        WaitGuard guard(stop);
        auto waiting = std::async(std::launch::async, [&] { return device.waitEvent(stop); });
        CHECK(waiting.wait_for(300ms) == std::future_status::timeout);
        stop.set();
        const WaitResult stopped = waiting.get();
        CHECK(stopped.stopped && stopped.events == 0 && stopped.error == 0);
    }
}

void everyByteValueBothWays()
{
    FarEnd line;
    SerialDevice device;
    openNear(device, line);
    LineSettings settings;
    settings.baudRate = 600;
    CHECK(device.applyLineSettings(settings) == 0);
    device.setEventMask(Event::RxChar);
    const std::string bytes = allByteValues();
    line.send(bytes);
    CHECK(receiveByEvents(device, bytes.size()) == bytes);
    std::size_t done = 0;
    CHECK(device.write(bytes.data(), bytes.size(), done) == 0);
    CHECK(done == bytes.size());
    CHECK(line.receive(bytes.size(), 10s) == bytes);
}

void pendingCountAndPurge()
{
    FarEnd line;
    SerialDevice device;
    openNear(device, line);
    device.setEventMask(Event::RxChar);
    line.send("0123456789");
    std::size_t pending = 0;
    pollUntil([&] { return device.pendingInput(pending) == 0 && pending == 10; });
    CHECK(pending == 10);
    char two[2];
    std::size_t done = 0;
    CHECK(device.read(two, sizeof two, done) == 0 && done == 2);
    CHECK(std::string(two, 2) == "01");
    CHECK(device.pendingInput(pending) == 0 && pending == 8);
    CHECK(device.purge(true, true) == 0);
    CHECK(device.pendingInput(pending) == 0 && pending == 0);
    CHECK(takeAll(device).empty());
    line.send("new");
    CHECK(receiveByEvents(device, 3) == "new");
}

// A read asks for no more than is queued, so no read time-out can make it wait (with
// ReadInterval MAXDWORD wine waits for the next byte; with a constant alone it ends with
// ERROR_TIMEOUT).
void readsReturnAtOnceWhateverTheTimeouts()
{
    struct Row
    {
        const char *name;
        Timeouts timeouts;
    };
    Timeouts constantOnly;
    constantOnly.readInterval = 0;
    constantOnly.readTotalConstant = 5000;
    Timeouts intervalOnly;
    intervalOnly.readInterval = 5000;
    const Row rows[] = {
        { "program's time-outs", Timeouts() },
        { "constant only", constantOnly },
        { "interval only", intervalOnly },
    };
    for (const Row &row : rows) {
        FarEnd line;
        SerialDevice device;
        openNear(device, line);
        CHECK(device.applyTimeouts(row.timeouts) == 0);
        const auto start = Clock::now();
        CHECK(takeAll(device).empty());
        line.send("abcde");
        std::size_t pending = 0;
        pollUntil([&] { return device.pendingInput(pending) == 0 && pending == 5; });
        CHECK(takeAll(device) == "abcde");
        CHECK(takeAll(device).empty());
        // Not a timing goal: a read that waited for its time-out would take 5 s each.
        if (Clock::now() - start > 4s) {
            std::fprintf(stderr, "reads waited with %s\n", row.name);
            ++failures;
        }
    }
}

void writeCompletesAndSurvivesPurge()
{
    FarEnd line;
    SerialDevice device;
    openNear(device, line);
    std::size_t done = 0;
    CHECK(device.write("$C21\r\n", 6, done) == 0);
    CHECK(done == 6);
    CHECK(device.purge(true, true) == 0);
    CHECK(line.receive(6, 5s) == "$C21\r\n");
    // Time-out with a far end that never reads: the write returns with what went out.
    Timeouts timeouts;
    timeouts.writeTotalMultiplier = 0;
    timeouts.writeTotalConstant = 50;
    CHECK(device.applyTimeouts(timeouts) == 0);
    const std::string big(1 << 20, 'z');
    CHECK(device.write(big.data(), big.size(), done) == 0);
    CHECK(done < big.size());
}

// --- the driver's own state ---

#ifdef _WIN32
void lineSettingsReachTheDriver()
{
    FarEnd line;
    SerialDevice device;
    openNear(device, line);
    LineSettings settings; // the program's line: 600 bit/s, 8N1, no handshake
    settings.baudRate = 600;
    settings.xonLimit = 256;
    settings.xoffLimit = 256;
    CHECK(device.applyLineSettings(settings) == 0);
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    CHECK(::GetCommState(HANDLE(device.nativeHandle()), &dcb));
    CHECK(dcb.BaudRate == 600);
    CHECK(dcb.ByteSize == 8);
    CHECK(dcb.Parity == NOPARITY);
    CHECK(dcb.StopBits == ONESTOPBIT);
    CHECK(dcb.fBinary);
    CHECK(!dcb.fOutxCtsFlow && !dcb.fOutX && !dcb.fInX);
    settings.baudRate = 19200;
    settings.stopBits = StopBits::Two;
    settings.xonXoffOut = true;
    CHECK(device.applyLineSettings(settings) == 0);
    CHECK(::GetCommState(HANDLE(device.nativeHandle()), &dcb));
    CHECK(dcb.BaudRate == 19200);
    CHECK(dcb.StopBits == TWOSTOPBITS);
    CHECK(dcb.fOutX && !dcb.fInX);
}
#else
void lineSettingsReachTheDriver()
{
    FarEnd line;
    SerialDevice device;
    openNear(device, line);
    LineSettings settings;
    settings.baudRate = 600;
    CHECK(device.applyLineSettings(settings) == 0);
    struct termios t;
    CHECK(::tcgetattr(line.pty().masterFd(), &t) == 0);
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
    CHECK(device.applyLineSettings(settings) == 0);
    CHECK(::tcgetattr(line.pty().masterFd(), &t) == 0);
    // A pty forces 8 bits without parity whatever is asked; the stop bits stay.
    CHECK(t.c_cflag & CSTOPB);
}

// --- POSIX only: the receive queue is ours, and a pty master can be closed ---

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

// Held after a report: bytes that come during the batch do not end the next wait; resuming
// reports them, once, and a read during the batch does not get them reported twice.
void heldDeviceReportsAgainOnlyWhenResumed()
{
    FarEnd line;
    SerialDevice device;
    PlatformEvent stop;
    openNear(device, line);
    device.setEventMask(Event::RxChar);
    CHECK(device.holdAfterReport(true));
    line.send("a");
    CHECK(waitWithGuard(device, stop).events == Event::RxChar);
    CHECK(takeAll(device) == "a");
    {
        WaitGuard guard(stop);
        auto waiting = std::async(std::launch::async, [&] { return device.waitEvent(stop); });
        line.send("b");
        CHECK(waiting.wait_for(300ms) == std::future_status::timeout); // held: still asleep
        std::size_t pending = 99;
        CHECK(device.pendingInput(pending) == 0 && pending == 1);
        device.resumeEvents();
        const WaitResult woken = waiting.get();
        CHECK(woken.events == Event::RxChar && !woken.stopped);
    }
    CHECK(takeAll(device) == "b");
    // Nothing came since: the next wait sleeps even after a resume.
    device.resumeEvents();
    {
        WaitGuard guard(stop);
        auto waiting = std::async(std::launch::async, [&] { return device.waitEvent(stop); });
        CHECK(waiting.wait_for(300ms) == std::future_status::timeout);
        stop.set();
        CHECK(waiting.get().stopped);
    }
    stop.reset();
    // Bytes the batch read itself while held are reported once the device is resumed (as a
    // read outside the wait always did), and then the device sleeps again.
    line.send("c");
    CHECK(waitWithGuard(device, stop).events == Event::RxChar);
    line.send("d");
    pollUntil([&] {
        std::size_t pending = 0;
        return device.pendingInput(pending) == 0 && pending == 2;
    });
    CHECK(takeAll(device) == "cd");
    device.resumeEvents();
    CHECK(waitWithGuard(device, stop).events == Event::RxChar);
    // Without hold, a report leaves nothing held: the next byte ends the next wait by itself.
    CHECK(device.holdAfterReport(false));
    line.send("e");
    CHECK(waitWithGuard(device, stop).events == Event::RxChar);
    line.send("f");
    CHECK(waitWithGuard(device, stop).events == Event::RxChar);
    CHECK(takeAll(device) == "ef");
}

// A device lost while held is reported when the batch ends, not missed.
void deviceLostWhileHeldIsReportedOnResume()
{
    PtyPair pty;
    SerialDevice device;
    PlatformEvent stop;
    CHECK(device.open(pty.slavePath()) == 0);
    device.setEventMask(Event::RxChar);
    device.holdAfterReport(true);
    pty.send("z");
    CHECK(waitWithGuard(device, stop).events == Event::RxChar);
    pty.closeMaster();
    {
        WaitGuard guard(stop);
        auto waiting = std::async(std::launch::async, [&] { return device.waitEvent(stop); });
        CHECK(waiting.wait_for(300ms) == std::future_status::timeout);
        device.resumeEvents();
        const WaitResult result = waiting.get();
        CHECK(result.deviceLost && !result.stopped);
    }
    CHECK(takeAll(device) == "z");
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
// Waiting in an event loop of one's own: the descriptor turns readable on an arrival, and
// takeEvents reports what waitEvent would have; while held, an arrival makes it readable once
// and takeEvents queues the bytes and reports nothing, so a level-triggered loop neither spins
// nor gets a second batch; resuming makes it readable again for what came meanwhile; a loss is
// reported too.
bool descriptorReadable(const SerialDevice &device, int timeoutMs)
{
    struct pollfd p = { device.readinessDescriptor(), POLLIN, 0 };
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
}

void takeEventsFromAnEventLoopOfOnesOwn()
{
    PtyPair pty;
    SerialDevice device;
    CHECK(device.open(pty.slavePath()) == 0);
    device.setEventMask(Event::RxChar);
    CHECK(device.holdAfterReport(true));
    CHECK(!descriptorReadable(device, 0) && !device.hasReadyEvents());
    CHECK(device.takeEvents().events == 0); // nothing yet, and it does not block
    pty.send("a");
    CHECK(descriptorReadable(device, 10000) && device.hasReadyEvents());
    CHECK(device.takeEvents().events == Event::RxChar);
    // Held: a byte that comes during the batch is taken and not reported, and then the
    // descriptor stays quiet.
    pty.send("b");
    CHECK(descriptorReadable(device, 10000));
    CHECK(device.takeEvents().events == 0);
    CHECK(!descriptorReadable(device, 300));
    CHECK(device.takeEvents().events == 0);
    CHECK(takeAll(device) == "ab");
    pty.send("c");
    pollUntil([&] {
        std::size_t pending = 0;
        return device.pendingInput(pending) == 0 && pending == 1;
    });
    device.resumeEvents();
    CHECK(descriptorReadable(device, 10000));
    CHECK(device.takeEvents().events == Event::RxChar);
    CHECK(takeAll(device) == "c");
    // Taken, nothing new: resuming leaves it quiet.
    device.resumeEvents();
    CHECK(!descriptorReadable(device, 300));
    CHECK(device.takeEvents().events == 0);
    pty.closeMaster();
    CHECK(descriptorReadable(device, 10000));
    const WaitResult lost = device.takeEvents();
    CHECK(lost.deviceLost);
}

// During a batch the port counts and reads several times in a row: new bytes still show within
// about a character's time, however often it asks, and bytes it did not take are reported once
// the batch ends, in order, none lost.
void batchSeesNewBytesAndLosesNone()
{
    PtyPair pty;
    SerialDevice device;
    CHECK(device.open(pty.slavePath()) == 0);
    LineSettings slow;
    slow.baudRate = 600; // 16.7 ms a character
    CHECK(device.applyLineSettings(slow) == 0);
    device.setEventMask(Event::RxChar);
    CHECK(device.holdAfterReport(true));
    pty.send("a");
    CHECK(descriptorReadable(device, 10000));
    CHECK(device.takeEvents().events == Event::RxChar);
    // A handler that waits for the next byte by asking again and again gets it.
    std::string got = takeAll(device);
    pty.send("b");
    pollUntil([&] {
        std::size_t pending = 0;
        return device.pendingInput(pending) == 0 && pending == 1;
    });
    got += takeAll(device);
    CHECK(got == "ab");
    // Bytes that come as the batch ends, left in the driver or not, are all reported after it.
    pty.send("cd");
    got = takeAll(device);
    device.resumeEvents();
    const auto deadline = Clock::now() + 10s;
    while (got.size() < 2 && Clock::now() < deadline) {
        if (!descriptorReadable(device, 100))
            continue;
        CHECK((device.takeEvents().events & Event::RxChar) != 0);
        got += takeAll(device);
        device.resumeEvents();
    }
    CHECK(got == "cd");
}
#endif

} // namespace

int main()
{
    const std::vector<std::pair<const char *, std::function<void()>>> tests = {
        { "portNamesMapToDevices", portNamesMapToDevices },
        { "openFailures", openFailures },
        { "openIsExclusive", openIsExclusive },
        { "lineSettingsReachTheDriver", lineSettingsReachTheDriver },
        { "arrivalsAreReportedOnceAndQueued", arrivalsAreReportedOnceAndQueued },
        { "waitIsWokenByBytesAndByStop", waitIsWokenByBytesAndByStop },
        { "everyByteValueBothWays", everyByteValueBothWays },
        { "pendingCountAndPurge", pendingCountAndPurge },
        { "readsReturnAtOnceWhateverTheTimeouts", readsReturnAtOnceWhateverTheTimeouts },
#ifndef _WIN32
        { "queueOverflowDropsNewestAndReportsIt", queueOverflowDropsNewestAndReportsIt },
        { "discardNullAndPurge", discardNullAndPurge },
        { "lostDeviceEndsEveryWait", lostDeviceEndsEveryWait },
        { "heldDeviceReportsAgainOnlyWhenResumed", heldDeviceReportsAgainOnlyWhenResumed },
        { "deviceLostWhileHeldIsReportedOnResume", deviceLostWhileHeldIsReportedOnResume },
        { "takeEventsFromAnEventLoopOfOnesOwn", takeEventsFromAnEventLoopOfOnesOwn },
        { "batchSeesNewBytesAndLosesNone", batchSeesNewBytesAndLosesNone },
#endif
        // Last: on Windows what it could not send is still on its way through the link.
        { "writeCompletesAndSurvivesPurge", writeCompletesAndSurvivesPurge },
    };
    for (const auto &[name, test] : tests) {
        const int before = failures;
        test();
        std::printf("%s %s\n", failures == before ? "PASS" : "FAIL", name);
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
