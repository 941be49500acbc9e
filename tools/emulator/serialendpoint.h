#pragma once

#include <cstddef>
#include <memory>
#include <string>

// The emulator's end of the serial line: either the master of a new pseudo-terminal whose slave
// is published as a port, or an existing device (a USB-serial cable) set to 600 bit/s 8N1 raw.
// The descriptor is non-blocking. Closing it (destructor) also removes the published link.
class SerialEndpoint
{
public:
    // Throws std::runtime_error (with the reason) when no pseudo-terminal can be had or the
    // port cannot be published.
    static std::unique_ptr<SerialEndpoint> openPseudoTerminal(const std::string &folder,
                                                              const std::string &alias);
    // Throws std::runtime_error when the device cannot be opened or set up.
    static std::unique_ptr<SerialEndpoint> openDevice(const std::string &path);

    ~SerialEndpoint();
    SerialEndpoint(const SerialEndpoint &) = delete;
    SerialEndpoint &operator=(const SerialEndpoint &) = delete;

    int fd() const { return m_fd; }
    // What the ground station opens: the published link, or the device path.
    const std::string &portName() const { return m_portName; }
    bool isPseudoTerminal() const { return m_heldSlave >= 0; }

    // Bytes sent but not yet taken by the other side, as far as the system can tell.
    std::size_t unread() const;
    // Throws away what was sent but not yet read (the ground station is not reading: a real
    // receiver's bytes would have been lost on the floor).
    void discardUnread();

private:
    SerialEndpoint() = default;

    int m_fd = -1;
    // Our own descriptor of the slave: keeps the master from seeing a hang-up each time the
    // ground station closes the port, and holds the raw line settings.
    int m_heldSlave = -1;
    std::string m_device;
    std::string m_portName;
    bool m_published = false;
};
