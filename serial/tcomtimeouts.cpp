#include "tcomtimeouts.h"

#include "tcustomcomport.h"

void TComTimeouts::set(std::int32_t &field, std::int32_t value)
{
    if (field == value)
        return;
    field = value;
    if (m_port)
        m_port->ApplyTimeoutSettings();
}

void TComTimeouts::Assign(const TComTimeouts &other)
{
    m_readInterval = other.m_readInterval;
    m_readTotalMultiplier = other.m_readTotalMultiplier;
    m_readTotalConstant = other.m_readTotalConstant;
    m_writeTotalMultiplier = other.m_writeTotalMultiplier;
    m_writeTotalConstant = other.m_writeTotalConstant;
    if (m_port)
        m_port->ApplyTimeoutSettings();
}

void TComTimeouts::setReadInterval(std::int32_t value)
{
    set(m_readInterval, value);
}

void TComTimeouts::setReadTotalMultiplier(std::int32_t value)
{
    set(m_readTotalMultiplier, value);
}

void TComTimeouts::setReadTotalConstant(std::int32_t value)
{
    set(m_readTotalConstant, value);
}

void TComTimeouts::setWriteTotalMultiplier(std::int32_t value)
{
    set(m_writeTotalMultiplier, value);
}

void TComTimeouts::setWriteTotalConstant(std::int32_t value)
{
    set(m_writeTotalConstant, value);
}
