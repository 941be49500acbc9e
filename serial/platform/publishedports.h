#pragma once

#include <string>
#include <vector>

// Ports that programs without root (the receiver emulator) make visible to the ground station's
// port list: a folder of symbolic links, each named after the port and pointing at a serial
// device (a pseudo-terminal slave). The link's absolute path is the port name; opening it opens
// the device.
//
// The folder belongs to the user: another local user must not be able to slip a port into the
// list (the remembered port is opened at start-up and sent commands). So the folder is the
// user's own, created with mode 0700, and only links that the user owns and whose target is a
// character device are listed.
namespace PublishedPorts {

// "zephul-ports" in $XDG_RUNTIME_DIR when that is set (an absolute path), otherwise
// "/tmp/zephul-ports-<uid>". The same for the emulator and the ground station of one user.
std::string defaultFolder();

// Creates the folder if needed (mode 0700) and the link folder/alias -> devicePath, replacing a
// previous link of that alias. An existing folder must be a real folder of the user's: one that
// is a symbolic link or belongs to someone else is refused; one of the user's that others may
// write to is closed to them first. Returns the port name (the link's path). Throws
// std::system_error on failure.
std::string publish(const std::string &folder, const std::string &alias,
                    const std::string &devicePath);

// Removes the link if it is there. Never throws.
void unpublish(const std::string &portName) noexcept;

// The port names (absolute link paths) in the folder: the user's own symbolic links whose
// target is a character device. A missing folder, or one that is not the user's, gives an empty
// list. Unsorted.
std::vector<std::string> list(const std::string &folder);

} // namespace PublishedPorts
