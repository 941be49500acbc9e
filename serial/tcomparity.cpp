#include "tcomparity.h"

#include "tcustomcomport.h"

void TComParity::changed()
{
    if (m_port)
        m_port->ApplyLineSettings();
}

void TComParity::Assign(const TComParity &other)
{
    m_bits = other.m_bits;
    m_check = other.m_check;
    m_replace = other.m_replace;
    m_replaceChar = other.m_replaceChar;
    changed();
}

void TComParity::setBits(TParityBits value)
{
    if (value == m_bits)
        return;
    m_bits = value;
    changed();
}

void TComParity::setCheck(bool value)
{
    if (value == m_check)
        return;
    m_check = value;
    changed();
}

void TComParity::setReplace(bool value)
{
    if (value == m_replace)
        return;
    m_replace = value;
    changed();
}

void TComParity::setReplaceChar(char value)
{
    if (value == m_replaceChar)
        return;
    m_replaceChar = value;
    changed();
}
