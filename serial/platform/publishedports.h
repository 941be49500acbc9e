#pragma once

#include <string>
#include <vector>

// Ports that programs without root (the receiver emulator) make visible to the ground station's
// port list: a folder of symbolic links, each named after the port and pointing at a serial
// device (a pseudo-terminal slave). The link's absolute path is the port name; opening it opens
// the device. A link whose device is gone is not listed.
namespace PublishedPorts {

// "/tmp/zephul-ports": the same for every user, so that no configuration is needed.
std::string defaultFolder();

// Creates the folder if needed (world-writable, sticky, like /tmp) and the link folder/alias ->
// devicePath, replacing a previous link of that alias. Returns the port name (the link's path).
// Throws std::system_error on failure.
std::string publish(const std::string &folder, const std::string &alias,
                    const std::string &devicePath);

// Removes the link if it is there. Never throws.
void unpublish(const std::string &portName) noexcept;

// The port names (absolute link paths) in the folder whose target is a character device.
// A missing folder gives an empty list. Unsorted.
std::vector<std::string> list(const std::string &folder);

} // namespace PublishedPorts
