#pragma once

// Turns SIGINT, SIGTERM and SIGHUP into a readable file descriptor (a self-pipe), so that the
// event loop notices them in its poll and ends cleanly (removing the published port). SIGPIPE is
// ignored: a vanished peer shows up as a write error instead. One instance per process.
class ShutdownSignals
{
public:
    ShutdownSignals(); // throws std::runtime_error when the pipe cannot be made
    ~ShutdownSignals(); // restores the default actions
    ShutdownSignals(const ShutdownSignals &) = delete;
    ShutdownSignals &operator=(const ShutdownSignals &) = delete;

    int fd() const; // becomes readable when a signal came
    // The first signal received, or 0.
    int received() const;
};
