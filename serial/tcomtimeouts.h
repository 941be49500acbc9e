#pragma once

#include <cstdint>

class TCustomComPort;

// Read and write time-outs of a port, in milliseconds. A change re-applies the port's time-outs
// at once if it is open. With the defaults a read returns at once with what is queued and a
// write of n bytes may take at most 100 * n + 1000 ms.
class TComTimeouts
{
public:
    explicit TComTimeouts(TCustomComPort *port = nullptr)
        : m_port(port)
    { }
    TComTimeouts(const TComTimeouts &) = delete;
    TComTimeouts &operator=(const TComTimeouts &) = delete;
    void Assign(const TComTimeouts &other);

    std::int32_t ReadInterval() const { return m_readInterval; } // -1: return at once
    void setReadInterval(std::int32_t value);
    std::int32_t ReadTotalMultiplier() const { return m_readTotalMultiplier; }
    void setReadTotalMultiplier(std::int32_t value);
    std::int32_t ReadTotalConstant() const { return m_readTotalConstant; }
    void setReadTotalConstant(std::int32_t value);
    std::int32_t WriteTotalMultiplier() const { return m_writeTotalMultiplier; }
    void setWriteTotalMultiplier(std::int32_t value);
    std::int32_t WriteTotalConstant() const { return m_writeTotalConstant; }
    void setWriteTotalConstant(std::int32_t value);

    TCustomComPort *ComPort() const { return m_port; }

private:
    void set(std::int32_t &field, std::int32_t value);

    TCustomComPort *m_port;
    std::int32_t m_readInterval = -1;
    std::int32_t m_readTotalMultiplier = 0;
    std::int32_t m_readTotalConstant = 0;
    std::int32_t m_writeTotalMultiplier = 100;
    std::int32_t m_writeTotalConstant = 1000;
};
