#pragma once

// A manual-reset event that one thread sets and another waits for in poll(): once set it stays
// set until reset, so a stop request is never missed. Thread-safe.
class PlatformEvent
{
public:
    PlatformEvent(); // not set; throws std::system_error if the descriptor cannot be had
    ~PlatformEvent();
    PlatformEvent(const PlatformEvent &) = delete;
    PlatformEvent &operator=(const PlatformEvent &) = delete;

    void set() noexcept;
    void reset() noexcept;
    bool isSet() const noexcept;
    // The descriptor to poll for POLLIN; readable exactly while the event is set.
    int pollDescriptor() const noexcept { return m_fd; }

private:
    int m_fd = -1;
};
