#pragma once

#include <string>

namespace SerialPlatform {

// The device that opens for a port name. POSIX: a bare name is a device under /dev ("ttyUSB0"
// opens "/dev/ttyUSB0"); an absolute path (a pseudo-terminal, a published-port link) is used as
// it stands. Windows: the name in the device namespace ("COM16" opens "\\.\COM16"). The only
// place where port names become device paths.
std::string devicePathForPort(const std::string &portName);

} // namespace SerialPlatform
