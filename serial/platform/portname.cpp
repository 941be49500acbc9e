#include "portname.h"

namespace SerialPlatform {

#ifdef _WIN32
std::string devicePathForPort(const std::string &portName)
{
    // The device namespace prefix is what makes COM10 and above openable at all.
    return "\\\\.\\" + portName;
}
#else
std::string devicePathForPort(const std::string &portName)
{
    if (!portName.empty() && portName.front() == '/')
        return portName;
    return "/dev/" + portName;
}
#endif

} // namespace SerialPlatform
