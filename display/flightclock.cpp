#include "flightclock.h"

#include <time.h>

namespace {

class BootTimeClock : public FlightClock
{
public:
    std::int64_t nowMs() const override
    {
        timespec ts {};
#ifdef CLOCK_BOOTTIME
        // Counts through suspend, unlike CLOCK_MONOTONIC.
        clock_gettime(CLOCK_BOOTTIME, &ts);
#else
        clock_gettime(CLOCK_MONOTONIC, &ts);
#endif
        return std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    }
};

} // namespace

const FlightClock &FlightClock::system()
{
    static const BootTimeClock clock;
    return clock;
}
