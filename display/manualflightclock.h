#pragma once

#include "flightclock.h"

#include <atomic>

// A clock that moves only when told to; lets tests see an hour pass without waiting for it.
class ManualFlightClock : public FlightClock
{
public:
    explicit ManualFlightClock(std::int64_t startMs = 0)
        : m_now(startMs)
    { }
    std::int64_t nowMs() const override { return m_now.load(); }
    void set(std::int64_t ms) { m_now.store(ms); }
    void advance(std::int64_t ms) { m_now.fetch_add(ms); }

private:
    std::atomic<std::int64_t> m_now;
};
