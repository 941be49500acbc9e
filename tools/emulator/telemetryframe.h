#pragma once

#include <array>
#include <cstdint>
#include <string>

// One 11-byte frame as the Tuvo transmitter puts it on the air: the start byte 0xFF, channels 8
// down to 1, the battery byte and the check byte.
class TelemetryFrame
{
public:
    static constexpr std::size_t Size = 11;
    static constexpr std::uint8_t StartByte = 0xFF;

    // channels[0] is channel 1 ... channels[7] is channel 8 (the natural order for callers; the
    // wire order is reversed).
    TelemetryFrame(const std::array<std::uint8_t, 8> &channels, std::uint8_t battery);

    // (sum of the nine data bytes mod 256) div 2: always 0..127.
    static std::uint8_t checkByteFor(const std::uint8_t *nineDataBytes);

    // The wire bytes, check byte included.
    std::string bytes() const;
    std::uint8_t checkByte() const { return m_bytes[10]; }
    // Replaces the check byte by one that never matches.
    void corruptCheckByte(std::uint8_t flip);

private:
    std::array<std::uint8_t, Size> m_bytes {};
};
