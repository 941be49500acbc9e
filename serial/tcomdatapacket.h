#pragma once

#include "tcomlink.h"

#include <QByteArray>
#include <QObject>
#include <functional>

class TCustomComPort;

// Cuts the byte stream received by one port into packets and hands each one to OnPacket.
// Received text is a byte string: every byte 0..255 (NUL and 0xFF included) is an ordinary
// character and is never converted.
//
// A packet begins at StartString (or at once when it is empty) and ends after Size characters
// (start string included), or after StopString, or where OnCustomStop says. Unless
// IncludeStrings is set, the start and stop strings are removed before OnPacket is called.
// Without Size, StopString and OnCustomStop every received block is one packet, as received.
//
// Everything runs on the GUI thread. Exceptions thrown by the handlers propagate to the caller
// of ReceiveBlock / AddText (the port's event service); the framer stays consistent.
class TComDataPacket : public QObject
{
    Q_OBJECT

public:
    using TComStrEvent = std::function<void(TComDataPacket *sender, const QByteArray &str)>;
    // pending: the pending text; pos: in/out 1-based position, -1 on entry. A position > 0
    // marks the start (the text before it is discarded) or the last character of the packet;
    // -1 leaves the decision to the strings and Size; any other value does nothing.
    using TCustPacketEvent
        = std::function<void(TComDataPacket *sender, const QByteArray &pending, int &pos)>;

    explicit TComDataPacket(QObject *parent = nullptr);
    ~TComDataPacket() override;

    // Attaching and detaching never touch the pending text, so a framer detached in the middle
    // of a packet completes it with the first bytes received after it is attached again.
    // The port's AttachLink / DetachLink errors (EComPort 18) propagate; a port that refused the
    // link is not stored. The port is not owned; when it is destroyed the framer forgets it.
    TCustomComPort *ComPort() const { return m_comPort; }
    void SetComPort(TCustomComPort *port);

    // The four setters below discard the pending text (FlushText) when the value changes.
    bool CaseInsensitive() const { return m_caseInsensitive; } // ASCII letters only
    void SetCaseInsensitive(bool value);
    const QByteArray &StartString() const { return m_startString; }
    void SetStartString(const QByteArray &value);
    const QByteArray &StopString() const { return m_stopString; }
    void SetStopString(const QByteArray &value);
    int Size() const { return m_size; } // characters, start string included; 0: no fixed size
    void SetSize(int value);

    bool IncludeStrings() const { return m_includeStrings; }
    void SetIncludeStrings(bool value) { m_includeStrings = value; }
    // Pending text at or above this length after a framing pass is discarded; <= 0: no limit.
    int MaxBufferSize() const { return m_maxBufferSize; }
    void SetMaxBufferSize(int value) { m_maxBufferSize = value; }

    TComStrEvent OnDiscard; // text thrown away
    TComStrEvent OnPacket; // one packet
    TCustPacketEvent OnCustomStart;
    TCustPacketEvent OnCustomStop;

    // Received text not yet delivered or discarded.
    QByteArray PendingText() const { return m_buffer.mid(m_head); }
    qsizetype PendingLength() const { return m_buffer.size() - m_head; }
    // True once a start has been found and a packet is being gathered.
    bool Collecting() const { return m_collecting; }

    // The link callback: the port hands over a block of received bytes.
    void ReceiveBlock(TCustomComPort *sender, const char *buffer, int count);
    void AddText(const QByteArray &text);
    // Discards the pending text through OnDiscard and starts looking for a start again.
    // Does nothing when nothing is pending.
    void FlushText();

protected:
    // One framing pass, repeated while packets come out; then enforces MaxBufferSize.
    virtual void ProcessText();
    virtual void DoDiscard(const QByteArray &str);
    virtual void DoPacket(const QByteArray &str);

    void SeekStart();
    void SeekEnd();
    void DiscardBefore(qsizetype pos); // 1-based position of the start
    void EmitPacket(qsizetype end); // 1-based position of the last character
    void StripDelimiters(QByteArray &packet) const;
    QByteArray FoldCase(const QByteArray &s) const;

private:
    bool IsFramed() const;
    void FramingPasses();
    void LimitPending();
    void CutFront(qsizetype count);
    void Compact();
    // Index in m_buffer of the first occurrence of pattern at or after from, or -1.
    qsizetype Find(const QByteArray &pattern, qsizetype from) const;

    TCustomComPort *m_comPort = nullptr;
    TComLink m_link;

    bool m_caseInsensitive = false;
    bool m_includeStrings = false;
    int m_maxBufferSize = 1024;
    QByteArray m_startString;
    QByteArray m_stopString;
    int m_size = 0;

    // The pending text is m_buffer from m_head on: cutting packets off the front only moves
    // m_head, and the consumed bytes are dropped once per received block, so long blocks full
    // of frames stay linear.
    QByteArray m_buffer;
    qsizetype m_head = 0;
    bool m_collecting = false;
    // Where the next search for the start / stop string may begin (index in m_buffer): the
    // text before it has been searched already. Text only grows at the end between two cuts,
    // so noise arriving in small blocks is searched once, not once per block.
    qsizetype m_startScan = 0;
    qsizetype m_stopScan = 0;
};
