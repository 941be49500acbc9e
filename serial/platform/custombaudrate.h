#pragma once

namespace SerialPlatform {

// Sets a line speed that has no Bnnn constant (14400, 56000, ...) on an open terminal, through
// the kernel's arbitrary-rate interface. Returns 0 or an errno value.
int setCustomBaudRate(int fd, int bitsPerSecond);

} // namespace SerialPlatform
