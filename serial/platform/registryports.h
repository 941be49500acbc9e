#pragma once

#include <string>
#include <vector>

namespace SerialPlatform {

// The key under HKEY_LOCAL_MACHINE whose values are the machine's serial ports: each value's
// name is a driver device path (ignored), its data the port name ("COM1").
constexpr const char *SerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// What listing a registry key of ports gave: status 0 and the port names, or the registry
// status that stopped the listing (and no names).
struct RegistryPortList
{
    long status = 0;
    std::vector<std::string> names; // sorted as text by the user's locale, ignoring case
};

#ifdef _WIN32
// The port names that are the data of the values of HKEY_LOCAL_MACHINE\keyPath (Windows-1252).
// A missing key (status 2) is a machine without serial ports: no names, status 0. A name or
// data longer than 255 characters stops the listing with ERROR_MORE_DATA. COM10 sorts before
// COM2: the order is that of text, not of port numbers.
RegistryPortList listRegistryPorts(const char *keyPath = SerialCommKey);
#endif

} // namespace SerialPlatform
