#pragma once

#include "comtypes.h"

class TCustomComPort;

// Parity settings of a port. A change re-applies the port's line settings at once if it is open.
class TComParity
{
public:
    explicit TComParity(TCustomComPort *port = nullptr)
        : m_port(port)
    { }
    TComParity(const TComParity &) = delete;
    TComParity &operator=(const TComParity &) = delete;
    // Field-by-field copy; the port stays this object's own. Re-applies the line settings.
    void Assign(const TComParity &other);

    TParityBits Bits() const { return m_bits; }
    void setBits(TParityBits value);
    bool Check() const { return m_check; }
    void setCheck(bool value);
    bool Replace() const { return m_replace; }
    void setReplace(bool value);
    char ReplaceChar() const { return m_replaceChar; }
    void setReplaceChar(char value);

    TCustomComPort *ComPort() const { return m_port; } // not owned; may be null

private:
    void changed();

    TCustomComPort *m_port;
    TParityBits m_bits = prNone;
    bool m_check = false;
    bool m_replace = false;
    char m_replaceChar = 0;
};
