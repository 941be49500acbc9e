#pragma once

#include "capturereader.h"
#include "capturewriter.h"
#include "emulatoroptions.h"
#include "faultplan.h"
#include "flightprofile.h"
#include "receivercommandparser.h"
#include "sweepgenerator.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

class EventLog;
class SerialEndpoint;
class ShutdownSignals;

// The receiver and the transmitter behind it, on one serial endpoint. Single-threaded: one poll
// loop paces the bytes, runs the frame schedule and answers commands.
//
// Times are flight time in microseconds: real time since the start times the speed factor.
class Emulator
{
public:
    static constexpr std::int64_t ByteMicroseconds = 16667; // 10 bits at 600 bit/s
    static constexpr std::int64_t BalloonPeriod = 1770000;
    static constexpr std::int64_t RocketPeriod = 460000;

    // `replay` holds the bytes to send instead of the transmitter (replay mode), or nothing.
    // The endpoint is the emulator's: it closes it while the receiver is unplugged and opens a
    // new one, published under the same name, when it is plugged back in.
    Emulator(const EmulatorOptions &options, std::unique_ptr<SerialEndpoint> endpoint,
             EventLog &log, ShutdownSignals &signals, std::optional<CaptureReader> replay);
    ~Emulator();

    // Runs until the duration or the replay is over (0), a signal came (0), or the line fails
    // (throws std::runtime_error).
    int run();

private:
    struct Pending
    {
        std::int64_t due; // flight time at which the byte goes on the line
        std::uint8_t byte;
        std::uint64_t burst; // frame, noise burst or sweep answer it belongs to
    };

    std::int64_t now() const;
    std::int64_t endTime() const;
    std::uint64_t enqueue(const std::string &bytes, std::int64_t at);
    void dropUnstarted(std::int64_t now);
    void transmitterSlot(std::int64_t slot);
    void writeDue(std::int64_t now);
    void readCommands(std::int64_t now);
    void handle(const ReceiverCommand &command, std::int64_t now);
    void checkStale();
    void drainAtEnd();
    // Unplugs or plugs the receiver back in as the --unplug windows say at flight time t.
    void followCable(std::int64_t t);
    bool unpluggedAt(std::int64_t t) const;
    bool finished(std::int64_t now) const;
    static std::string frequency(int channel);

    const EmulatorOptions &m_options;
    std::unique_ptr<SerialEndpoint> m_endpoint; // none while the receiver is unplugged
    EventLog &m_log;
    ShutdownSignals &m_signals;
    std::optional<CaptureReader> m_replay;
    std::unique_ptr<CaptureWriter> m_capture;
    FlightProfile m_profile;
    FaultPlan m_faults;
    SweepGenerator m_sweep;
    ReceiverCommandParser m_parser;

    std::chrono::steady_clock::time_point m_start;
    std::deque<Pending> m_queue;
    std::int64_t m_lineFree = 0; // first time the line is free after everything queued
    std::int64_t m_nextSlot = 0; // flight time of the transmitter's next measurement
    std::int64_t m_sweepEnd = -1; // frames are not heard before this time
    std::uint64_t m_nextBurst = 1;
    std::uint64_t m_writingBurst = 0; // burst of the last byte written
    std::int64_t m_lastWrittenDue = 0;
    std::uint64_t m_framesSent = 0;
    std::uint64_t m_bytesSent = 0;
    int m_receiverChannel;
    bool m_loudspeaker = false;
    bool m_blocked = false; // the line took no more bytes: wait until it is writable
    std::chrono::steady_clock::time_point m_lastStaleCheck;
    std::size_t m_lastUnread = 0;
};
