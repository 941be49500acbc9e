#include "portname.h"

namespace SerialPlatform {

std::string devicePathForPort(const std::string &portName)
{
    if (!portName.empty() && portName.front() == '/')
        return portName;
    return "/dev/" + portName;
}

} // namespace SerialPlatform
