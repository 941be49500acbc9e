#include "emulator.h"

#include "eventlog.h"
#include "serialendpoint.h"
#include "shutdownsignals.h"
#include "telemetryframe.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::int64_t Never = std::numeric_limits<std::int64_t>::max();
// Bytes waiting in the system that tell us nobody is reading the port.
constexpr std::size_t StaleBytes = 1024;
// While the line takes nothing, keep at most this many bytes before giving up on them.
constexpr std::size_t MaxQueued = 65536;

std::string hex(const std::string &bytes)
{
    std::string out;
    char two[4];
    for (char c : bytes) {
        std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(c));
        if (!out.empty())
            out.push_back(' ');
        out += two;
    }
    return out;
}

// The device went away (a USB cable pulled out, the other end of the line closed).
std::runtime_error hungUp(const SerialEndpoint &endpoint)
{
    return std::runtime_error("the line to " + endpoint.portName() + " was hung up");
}

} // namespace

Emulator::Emulator(const EmulatorOptions &options, std::unique_ptr<SerialEndpoint> endpoint,
                   EventLog &log, ShutdownSignals &signals, std::optional<CaptureReader> replay)
    : m_options(options)
    , m_endpoint(std::move(endpoint))
    , m_log(log)
    , m_signals(signals)
    , m_replay(std::move(replay))
    , m_profile(options.mode, options.launchSeconds, options.seed)
    , m_faults(options.faults, options.seed)
    , m_sweep(options.transmitterChannel, options.seed)
    , m_receiverChannel(options.receiverChannel)
{
    for (int i = 0; i < 9; ++i) {
        if (options.overrides[std::size_t(i)])
            m_profile.setOverride(i, *options.overrides[std::size_t(i)]);
    }
    if (!options.capturePath.empty())
        m_capture = std::make_unique<CaptureWriter>(options.capturePath);
}

Emulator::~Emulator() = default;

std::string Emulator::frequency(int channel)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f MHz", 136.0 + 0.05 * channel);
    return text;
}

std::int64_t Emulator::now() const
{
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    const double nanoseconds = double(std::chrono::nanoseconds(elapsed).count());
    return std::int64_t(nanoseconds * m_options.speed / 1000.0);
}

std::int64_t Emulator::endTime() const
{
    if (m_options.durationSeconds <= 0)
        return Never;
    return std::llround(m_options.durationSeconds * 1e6);
}

std::uint64_t Emulator::enqueue(const std::string &bytes, std::int64_t at)
{
    const std::uint64_t burst = m_nextBurst++;
    std::int64_t due = std::max(at, m_lineFree);
    for (char byte : bytes) {
        m_queue.push_back({ due, static_cast<std::uint8_t>(byte), burst });
        due += ByteMicroseconds;
    }
    m_lineFree = due;
    return burst;
}

void Emulator::dropUnstarted(std::int64_t now)
{
    // The burst on the line is finished (the receiver's buffer still holds it); the rest goes.
    const auto firstUnstarted = std::find_if(m_queue.begin(), m_queue.end(), [&](const Pending &p) {
        return p.burst != m_writingBurst;
    });
    m_queue.erase(firstUnstarted, m_queue.end());
    m_lineFree = m_queue.empty() ? std::max(now, m_lastWrittenDue + ByteMicroseconds)
                                 : m_queue.back().due + ByteMicroseconds;
}

void Emulator::transmitterSlot(std::int64_t slot)
{
    const double t = double(slot) / 1e6;
    // Draw the profile for every slot, heard or not, so the flight does not depend on tuning.
    const std::array<std::uint8_t, 8> channels = m_profile.channels(t);
    const std::uint8_t battery = m_profile.battery(t);
    std::string unheard;
    if (!m_endpoint)
        unheard = "receiver unplugged";
    else if (m_faults.silentAt(t))
        unheard = "loss of signal";
    else if (m_receiverChannel != m_options.transmitterChannel)
        unheard = "receiver on channel " + std::to_string(m_receiverChannel);
    else if (slot < m_sweepEnd)
        unheard = "receiver sweeping";
    if (!unheard.empty()) {
        if (m_options.verbose)
            m_log.write(slot, "measurement not heard (" + unheard + ")");
        return;
    }
    const TelemetryFrame frame(channels, battery);
    const int copies = m_options.mode == EmulatedMode::Balloon ? m_options.copies : 1;
    for (int copy = 0; copy < copies; ++copy) {
        ++m_framesSent;
        FaultReport report;
        const std::string bytes = m_faults.transmit(frame, m_framesSent, report);
        enqueue(bytes, slot);
        if (m_options.verbose) {
            std::string note;
            if (report.noise)
                note += ", " + std::to_string(report.noise) + " noise bytes";
            if (report.badCheck)
                note += ", bad check byte";
            if (report.dropped)
                note += ", " + std::to_string(report.dropped) + " bytes dropped";
            m_log.write(slot, "frame " + std::to_string(m_framesSent) + ": " + hex(bytes) + note);
        }
    }
}

void Emulator::writeDue(std::int64_t now)
{
    if (m_blocked || !m_endpoint)
        return;
    char buffer[4096];
    std::size_t count = 0;
    while (count < sizeof buffer && count < m_queue.size() && m_queue[count].due <= now) {
        buffer[count] = static_cast<char>(m_queue[count].byte);
        ++count;
    }
    if (count == 0)
        return;
    const ssize_t written = ::write(m_endpoint->fd(), buffer, count);
    if (written < 0) {
        if (errno == EINTR)
            return;
        if (errno == EIO)
            throw hungUp(*m_endpoint);
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            throw std::runtime_error("cannot write to " + m_endpoint->portName() + ": "
                                     + std::strerror(errno));
        m_blocked = true;
    } else {
        for (ssize_t i = 0; i < written; ++i) {
            const Pending &sent = m_queue.front();
            if (m_capture)
                m_capture->append(sent.due, sent.byte);
            m_writingBurst = sent.burst;
            m_lastWrittenDue = sent.due;
            m_queue.pop_front();
        }
        m_bytesSent += std::uint64_t(written);
        if (m_capture)
            m_capture->flush();
        m_blocked = std::size_t(written) < count;
    }
    if (m_blocked && m_queue.size() > MaxQueued) {
        const std::size_t before = m_queue.size();
        dropUnstarted(now);
        m_log.write(now,
                    "the line takes no more bytes: " + std::to_string(before - m_queue.size())
                        + " bytes discarded");
    }
}

void Emulator::readCommands(std::int64_t now)
{
    char buffer[256];
    const ssize_t count = ::read(m_endpoint->fd(), buffer, sizeof buffer);
    if (count < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return;
        if (errno == EIO)
            throw hungUp(*m_endpoint);
        throw std::runtime_error("cannot read from " + m_endpoint->portName() + ": "
                                 + std::strerror(errno));
    }
    for (const ReceiverCommand &command : m_parser.feed(std::string(buffer, std::size_t(count))))
        handle(command, now);
}

void Emulator::handle(const ReceiverCommand &command, std::int64_t now)
{
    const std::string text = EventLog::escaped(command.text);
    switch (command.kind) {
    case ReceiverCommand::Kind::Tune: {
        m_receiverChannel = command.channel;
        const bool hearing = command.channel == m_options.transmitterChannel;
        std::string note = hearing ? "transmitter in hearing"
                                   : "transmitter (channel "
                + std::to_string(m_options.transmitterChannel) + ") out of hearing";
        if (m_replay)
            note = "replaying regardless";
        m_log.write(now,
                    text + ": tuned to channel " + std::to_string(command.channel) + " ("
                        + frequency(command.channel) + "), " + note);
        // Frames not yet on the line are no longer heard; sweep answers are the receiver's own.
        if (!hearing && !m_replay && now >= m_sweepEnd)
            dropUnstarted(now);
        break;
    }
    case ReceiverCommand::Kind::LoudspeakerOn:
    case ReceiverCommand::Kind::LoudspeakerOff:
        m_loudspeaker = command.kind == ReceiverCommand::Kind::LoudspeakerOn;
        m_log.write(now, text + ": loudspeaker " + (m_loudspeaker ? "on" : "off"));
        break;
    case ReceiverCommand::Kind::Sweep: {
        if (m_replay) {
            m_log.write(now, text + ": sweep not answered while replaying");
            break;
        }
        dropUnstarted(now);
        const auto readings = m_sweep.readings(!m_faults.inSilence(double(now) / 1e6));
        for (int reading : readings)
            enqueue(SweepGenerator::answer(reading), now);
        m_sweepEnd = m_lineFree;
        const auto peak = std::max_element(readings.begin(), readings.end());
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", double(m_sweepEnd) / 1e6);
        m_log.write(now,
                    text + ": sweep of " + std::to_string(readings.size()) + " readings, highest "
                        + std::to_string(*peak) + " at channel "
                        + std::to_string(peak - readings.begin())
                        + "; frames resume at t=" + seconds);
        break;
    }
    case ReceiverCommand::Kind::Malformed:
        m_log.write(now, "malformed command \"" + text + "\" (" + command.problem + "): ignored");
        break;
    }
}

void Emulator::checkStale()
{
    if (!m_endpoint || !m_endpoint->isPseudoTerminal())
        return;
    const auto real = std::chrono::steady_clock::now();
    if (real - m_lastStaleCheck < std::chrono::seconds(2))
        return;
    m_lastStaleCheck = real;
    const std::size_t unread = m_endpoint->unread();
    if (unread >= StaleBytes && m_lastUnread >= StaleBytes) {
        // Nobody has the port open (or nobody reads it): as on a real line, those bytes are lost
        // rather than handed, stale, to the next program that opens the port.
        m_endpoint->discardUnread();
        if (m_options.verbose)
            m_log.write(now(),
                        "nobody reads the port: " + std::to_string(unread)
                            + " waiting bytes discarded");
        m_lastUnread = 0;
        return;
    }
    m_lastUnread = unread;
}

void Emulator::drainAtEnd()
{
    // Give the reader up to two seconds to take the last bytes: closing a pseudo-terminal
    // throws away what its other side has not read yet.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (m_endpoint && m_endpoint->unread() > 0 && std::chrono::steady_clock::now() < deadline
           && m_signals.received() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool Emulator::unpluggedAt(std::int64_t t) const
{
    for (const auto &[start, seconds] : m_options.unplugs)
        if (double(t) >= start * 1e6 && double(t) < (start + seconds) * 1e6)
            return true;
    return false;
}

void Emulator::followCable(std::int64_t t)
{
    const bool unplugged = unpluggedAt(t);
    if (unplugged && m_endpoint) {
        const std::string port = m_endpoint->portName();
        // The device goes, and with it whatever was on its way.
        m_endpoint.reset();
        m_queue.clear();
        m_blocked = false;
        m_lineFree = t;
        m_parser = ReceiverCommandParser();
        m_log.write(t, "receiver unplugged: port " + port + " gone");
    } else if (!unplugged && !m_endpoint) {
        m_endpoint = SerialEndpoint::openPseudoTerminal(m_options.folder, m_options.alias);
        m_lineFree = std::max(m_lineFree, t);
        m_log.write(t,
                    "receiver plugged back in: port " + m_endpoint->portName()
                        + ", still on channel " + std::to_string(m_receiverChannel));
    }
}

bool Emulator::finished(std::int64_t now) const
{
    if (!m_queue.empty())
        return false;
    if (m_replay)
        return true;
    return now >= endTime();
}

int Emulator::run()
{
    const std::string mode = m_options.mode == EmulatedMode::Balloon ? "balloon" : "rocket";
    char speed[32];
    std::snprintf(speed, sizeof speed, "%g", m_options.speed);
    m_log.write(0,
                "port " + m_endpoint->portName() + " (" + mode + ", transmitter on channel "
                    + std::to_string(m_options.transmitterChannel) + " = "
                    + frequency(m_options.transmitterChannel) + ", receiver on channel "
                    + std::to_string(m_receiverChannel) + ", speed " + speed
                    + (m_replay ? ", replaying" : "") + ")");
    if (m_replay) {
        for (const CaptureReader::Record &record : m_replay->records()) {
            if (record.flightMicroseconds < endTime())
                enqueue(std::string(1, char(record.byte)), record.flightMicroseconds);
        }
    }
    const std::int64_t period
        = m_options.mode == EmulatedMode::Balloon ? BalloonPeriod : RocketPeriod;
    m_start = std::chrono::steady_clock::now();
    m_lastStaleCheck = m_start;

    while (true) {
        if (const int signal = m_signals.received()) {
            m_log.write(now(),
                        std::string("stopped by ") + ::strsignal(signal) + " after "
                            + std::to_string(m_framesSent) + " frames, "
                            + std::to_string(m_bytesSent) + " bytes");
            return 0;
        }
        const std::int64_t t = now();
        followCable(t);
        if (!m_replay) {
            while (m_nextSlot <= t && m_nextSlot < endTime()) {
                transmitterSlot(m_nextSlot);
                m_nextSlot += period;
            }
        }
        writeDue(t);
        if (finished(t)) {
            drainAtEnd();
            m_log.write(t,
                        "end after " + std::to_string(m_framesSent) + " frames, "
                            + std::to_string(m_bytesSent) + " bytes");
            return 0;
        }

        std::int64_t wake = endTime();
        if (!m_blocked && !m_queue.empty())
            wake = std::min(wake, m_queue.front().due);
        if (!m_replay && m_nextSlot < endTime())
            wake = std::min(wake, m_nextSlot);
        for (const auto &[start, seconds] : m_options.unplugs) {
            for (const double edge : { start, start + seconds }) {
                const auto at = std::int64_t(std::llround(edge * 1e6));
                if (at > t)
                    wake = std::min(wake, at);
            }
        }
        // Wake at least every 200 ms to look after a port nobody reads.
        double waitNs = 200e6;
        if (wake != Never)
            waitNs = std::clamp(double(wake - t) * 1000.0 / m_options.speed, 0.0, waitNs);
        struct timespec timeout;
        timeout.tv_sec = time_t(waitNs / 1e9);
        timeout.tv_nsec = long(waitNs - double(timeout.tv_sec) * 1e9);

        // While unplugged, only the signals are watched (the second entry).
        struct pollfd fds[2] = {
            { m_endpoint ? m_endpoint->fd() : -1, short(POLLIN | (m_blocked ? POLLOUT : 0)), 0 },
            { m_signals.fd(), POLLIN, 0 },
        };
        if (::ppoll(fds, 2, &timeout, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        }
        if (fds[0].revents & POLLIN)
            readCommands(now());
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            throw hungUp(*m_endpoint);
        if (fds[0].revents & POLLOUT)
            m_blocked = false;
        checkStale();
    }
}
