#pragma once

#include <cstdint>

// The clock flight time is measured on. It only moves forward and keeps counting while the
// machine is suspended, so changing the system time or daylight-saving time during a flight
// does not move the chronometer. Its origin is arbitrary: only differences mean anything.
class FlightClock
{
public:
    virtual ~FlightClock() = default;
    // Milliseconds. Thread-safe: the chronometer's worker reads it to know when to wake.
    virtual std::int64_t nowMs() const = 0;

    // The machine's boot-time clock (CLOCK_BOOTTIME on Linux).
    static const FlightClock &system();
};
