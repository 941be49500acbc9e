#pragma once

#include <ctime>

// Seconds of CPU on one of the system's clocks: the process's, a thread's, or a thread's clock
// taken with pthread_getcpuclockid.
inline double cpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID)
{
    timespec ts {};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
