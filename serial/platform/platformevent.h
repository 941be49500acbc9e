#pragma once

// A manual-reset event that one thread sets and another waits for (in poll() on POSIX, in
// WaitForMultipleObjects on Windows): once set it stays set until reset, so a stop request is
// never missed. Thread-safe.
class PlatformEvent
{
public:
    PlatformEvent(); // not set; throws std::system_error if the OS gives no event
    ~PlatformEvent();
    PlatformEvent(const PlatformEvent &) = delete;
    PlatformEvent &operator=(const PlatformEvent &) = delete;

    void set() noexcept;
    void reset() noexcept;
    bool isSet() const noexcept;
#ifdef _WIN32
    // The event's HANDLE, signalled exactly while the event is set.
    void *nativeHandle() const noexcept
    {
        return m_handle;
    }
#else
    // The descriptor to poll for POLLIN; readable exactly while the event is set.
    int pollDescriptor() const noexcept
    {
        return m_fd;
    }
#endif

private:
#ifdef _WIN32
    void *m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};
