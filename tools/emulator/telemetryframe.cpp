#include "telemetryframe.h"

TelemetryFrame::TelemetryFrame(const std::array<std::uint8_t, 8> &channels, std::uint8_t battery)
{
    m_bytes[0] = StartByte;
    for (int n = 1; n <= 8; ++n)
        m_bytes[std::size_t(9 - n)] = channels[std::size_t(n - 1)];
    m_bytes[9] = battery;
    m_bytes[10] = checkByteFor(&m_bytes[1]);
}

std::uint8_t TelemetryFrame::checkByteFor(const std::uint8_t *nineDataBytes)
{
    unsigned sum = 0;
    for (int i = 0; i < 9; ++i)
        sum += nineDataBytes[i];
    return std::uint8_t((sum % 256) / 2);
}

std::string TelemetryFrame::bytes() const
{
    return std::string(reinterpret_cast<const char *>(m_bytes.data()), m_bytes.size());
}

void TelemetryFrame::corruptCheckByte(std::uint8_t flip)
{
    // A non-zero flip always changes the byte; any value is a plausible radio error, including
    // values of 128 and above that the ground station can never accept.
    m_bytes[10] ^= flip == 0 ? 0x01 : flip;
}
