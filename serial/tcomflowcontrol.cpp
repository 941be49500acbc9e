#include "tcomflowcontrol.h"

#include "tcustomcomport.h"

template<typename T> void TComFlowControl::set(T &field, T value)
{
    if (field == value)
        return;
    field = value;
    changed();
}

void TComFlowControl::changed()
{
    if (m_port)
        m_port->ApplyLineSettings();
}

void TComFlowControl::Assign(const TComFlowControl &other)
{
    m_outCTSFlow = other.m_outCTSFlow;
    m_outDSRFlow = other.m_outDSRFlow;
    m_controlDTR = other.m_controlDTR;
    m_controlRTS = other.m_controlRTS;
    m_xonXoffOut = other.m_xonXoffOut;
    m_xonXoffIn = other.m_xonXoffIn;
    m_dsrSensitivity = other.m_dsrSensitivity;
    m_txContinueOnXoff = other.m_txContinueOnXoff;
    m_xonChar = other.m_xonChar;
    m_xoffChar = other.m_xoffChar;
    changed();
}

void TComFlowControl::setOutCTSFlow(bool value)
{
    set(m_outCTSFlow, value);
}

void TComFlowControl::setOutDSRFlow(bool value)
{
    set(m_outDSRFlow, value);
}

void TComFlowControl::setControlDTR(TDTRFlowControl value)
{
    set(m_controlDTR, value);
}

void TComFlowControl::setControlRTS(TRTSFlowControl value)
{
    set(m_controlRTS, value);
}

void TComFlowControl::setXonXoffOut(bool value)
{
    set(m_xonXoffOut, value);
}

void TComFlowControl::setXonXoffIn(bool value)
{
    set(m_xonXoffIn, value);
}

void TComFlowControl::setDSRSensitivity(bool value)
{
    set(m_dsrSensitivity, value);
}

void TComFlowControl::setTxContinueOnXoff(bool value)
{
    set(m_txContinueOnXoff, value);
}

void TComFlowControl::setXonChar(char value)
{
    set(m_xonChar, value);
}

void TComFlowControl::setXoffChar(char value)
{
    set(m_xoffChar, value);
}

TFlowControl TComFlowControl::FlowControl() const
{
    if (m_controlRTS == rtsHandshake && m_outCTSFlow && !m_xonXoffIn && !m_xonXoffOut)
        return fcHardware;
    if (m_controlRTS == rtsDisable && !m_outCTSFlow && m_xonXoffIn && m_xonXoffOut)
        return fcSoftware;
    if (m_controlRTS == rtsDisable && !m_outCTSFlow && !m_xonXoffIn && !m_xonXoffOut)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::setFlowControl(TFlowControl value)
{
    if (value != fcCustom) {
        m_controlRTS = rtsDisable;
        m_outCTSFlow = false;
        m_xonXoffIn = false;
        m_xonXoffOut = false;
        if (value == fcHardware) {
            m_controlRTS = rtsHandshake;
            m_outCTSFlow = true;
        } else if (value == fcSoftware) {
            m_xonXoffIn = true;
            m_xonXoffOut = true;
        }
    }
    changed();
}
