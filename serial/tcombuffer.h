#pragma once

class TCustomComPort;

// Queue sizes of a port, in bytes. An odd size is stored one lower (1025 becomes 1024). A change
// re-applies the port's queue sizes at once if it is open.
class TComBuffer
{
public:
    explicit TComBuffer(TCustomComPort *port = nullptr)
        : m_port(port)
    { }
    TComBuffer(const TComBuffer &) = delete;
    TComBuffer &operator=(const TComBuffer &) = delete;
    void Assign(const TComBuffer &other);

    int InputSize() const { return m_inputSize; }
    void setInputSize(int value);
    int OutputSize() const { return m_outputSize; }
    void setOutputSize(int value);

    TCustomComPort *ComPort() const { return m_port; }

private:
    void set(int &field, int value);

    TCustomComPort *m_port;
    int m_inputSize = 1024;
    int m_outputSize = 1024;
};
