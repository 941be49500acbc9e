#include "tcombuffer.h"

#include "tcustomcomport.h"

void TComBuffer::set(int &field, int value)
{
    value -= value % 2;
    if (field == value)
        return;
    field = value;
    if (m_port)
        m_port->ApplyQueueSizes();
}

void TComBuffer::Assign(const TComBuffer &other)
{
    m_inputSize = other.m_inputSize;
    m_outputSize = other.m_outputSize;
    if (m_port)
        m_port->ApplyQueueSizes();
}

void TComBuffer::setInputSize(int value)
{
    set(m_inputSize, value);
}

void TComBuffer::setOutputSize(int value)
{
    set(m_outputSize, value);
}
