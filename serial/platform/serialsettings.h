#pragma once

#include <cstdint>

// Plain data exchanged between the port component and a platform backend. The bit values follow
// the Windows serial interface (event mask, ClearCommError flags, modem status) so that a Win32
// backend passes them through unchanged and the POSIX backend produces the same meaning.
namespace SerialPlatform {

// Line events, as bits of an event mask.
namespace Event {
constexpr std::uint32_t RxChar = 0x0001;
constexpr std::uint32_t RxFlag = 0x0002;
constexpr std::uint32_t TxEmpty = 0x0004;
constexpr std::uint32_t Cts = 0x0008;
constexpr std::uint32_t Dsr = 0x0010;
constexpr std::uint32_t Rlsd = 0x0020;
constexpr std::uint32_t Break = 0x0040;
constexpr std::uint32_t Err = 0x0080;
constexpr std::uint32_t Ring = 0x0100;
constexpr std::uint32_t Rx80Full = 0x0400;
} // namespace Event

// Line errors, as reported and cleared by SerialDevice::takeLineErrors.
namespace LineError {
constexpr std::uint32_t RxOver = 0x0001;
constexpr std::uint32_t Overrun = 0x0002;
constexpr std::uint32_t RxParity = 0x0004;
constexpr std::uint32_t Frame = 0x0008;
constexpr std::uint32_t Break = 0x0010;
constexpr std::uint32_t TxFull = 0x0100;
constexpr std::uint32_t IO = 0x0400;
constexpr std::uint32_t Mode = 0x8000;
} // namespace LineError

// Modem input signals.
namespace Modem {
constexpr std::uint32_t Cts = 0x0010;
constexpr std::uint32_t Dsr = 0x0020;
constexpr std::uint32_t Ring = 0x0040;
constexpr std::uint32_t Rlsd = 0x0080;
} // namespace Modem

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };
enum class DtrControl { Disable, Enable, Handshake };
enum class RtsControl { Disable, Enable, Handshake, Toggle };

// Everything that fixes the line, built from scratch by the port at each change.
struct LineSettings
{
    int baudRate = 9600; // bit/s; any positive rate, standard or not
    int dataBits = 8; // 5 to 8
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    bool parityCheck = false; // report parity errors (otherwise the parity bit is not checked)
    bool replaceErrors = false; // with parityCheck: a byte with a parity error reads as errorChar
    char errorChar = 0;
    bool discardNull = false; // received NUL bytes are dropped
    bool outCtsFlow = false;
    bool outDsrFlow = false;
    DtrControl dtr = DtrControl::Disable;
    RtsControl rts = RtsControl::Disable;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    int xonLimit = 0; // bytes; the POSIX driver applies thresholds of its own
    int xoffLimit = 0; // bytes
    char xonChar = 17;
    char xoffChar = 19;
    char eventChar = 0; // receiving it raises Event::RxFlag
};

// Milliseconds. A write of n bytes may take writeTotalMultiplier * n + writeTotalConstant; both
// 0 means no limit. Reads always return at once with what is queued (readInterval -1, the
// totals 0): the only reader is the event service, which reads what it was told is there.
struct Timeouts
{
    std::int32_t readInterval = -1;
    std::int32_t readTotalMultiplier = 0;
    std::int32_t readTotalConstant = 0;
    std::int32_t writeTotalMultiplier = 100;
    std::int32_t writeTotalConstant = 1000;
};

// What one SerialDevice::waitEvent call ended with.
struct WaitResult
{
    std::uint32_t events = 0; // Event bits, within the event mask
    bool stopped = false; // the stop event was set
    bool deviceLost = false; // the device is gone; every later wait returns at once with this
    int error = 0; // errno of a failed wait
};

} // namespace SerialPlatform
