#pragma once

#include "comtypes.h"

class TCustomComPort;

// Handshake settings of a port. A change re-applies the port's line settings at once if it is
// open. FlowControl() is computed from the fields, not stored.
class TComFlowControl
{
public:
    explicit TComFlowControl(TCustomComPort *port = nullptr)
        : m_port(port)
    { }
    TComFlowControl(const TComFlowControl &) = delete;
    TComFlowControl &operator=(const TComFlowControl &) = delete;
    void Assign(const TComFlowControl &other);

    bool OutCTSFlow() const { return m_outCTSFlow; }
    void setOutCTSFlow(bool value);
    bool OutDSRFlow() const { return m_outDSRFlow; }
    void setOutDSRFlow(bool value);
    TDTRFlowControl ControlDTR() const { return m_controlDTR; }
    void setControlDTR(TDTRFlowControl value);
    TRTSFlowControl ControlRTS() const { return m_controlRTS; }
    void setControlRTS(TRTSFlowControl value);
    bool XonXoffOut() const { return m_xonXoffOut; }
    void setXonXoffOut(bool value);
    bool XonXoffIn() const { return m_xonXoffIn; }
    void setXonXoffIn(bool value);
    bool DSRSensitivity() const { return m_dsrSensitivity; }
    void setDSRSensitivity(bool value);
    bool TxContinueOnXoff() const { return m_txContinueOnXoff; }
    void setTxContinueOnXoff(bool value);
    char XonChar() const { return m_xonChar; }
    void setXonChar(char value);
    char XoffChar() const { return m_xoffChar; }
    void setXoffChar(char value);

    TFlowControl FlowControl() const;
    // fcHardware, fcSoftware or fcNone set the fields they stand for; fcCustom changes nothing.
    // Always re-applies the line settings.
    void setFlowControl(TFlowControl value);

    TCustomComPort *ComPort() const { return m_port; }

private:
    template<typename T> void set(T &field, T value);
    void changed();

    TCustomComPort *m_port;
    bool m_outCTSFlow = false;
    bool m_outDSRFlow = false;
    TDTRFlowControl m_controlDTR = dtrDisable;
    TRTSFlowControl m_controlRTS = rtsDisable;
    bool m_xonXoffOut = false;
    bool m_xonXoffIn = false;
    bool m_dsrSensitivity = false;
    bool m_txContinueOnXoff = false;
    char m_xonChar = 17;
    char m_xoffChar = 19;
};
