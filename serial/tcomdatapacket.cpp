#include "tcomdatapacket.h"

#include "tcustomcomport.h"

#include <algorithm>
#include <cstring>

namespace {

char foldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool hasAsciiLetter(const QByteArray &s)
{
    return std::any_of(s.cbegin(), s.cend(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

} // namespace

TComDataPacket::TComDataPacket(QObject *parent)
    : QObject(parent)
{
    m_link.OnLinkRxBlock = [this](TCustomComPort *sender, const char *buffer, int count) {
        ReceiveBlock(sender, buffer, count);
    };
}

TComDataPacket::~TComDataPacket()
{
    // A detach refused by the port must not escape a destructor; the link dies with us either
    // way, so make sure the port cannot reach it any more.
    try {
        SetComPort(nullptr);
    } catch (...) {
        m_comPort->RemoveFreeNotification(this);
        m_comPort = nullptr;
    }
}

void TComDataPacket::SetComPort(TCustomComPort *port)
{
    if (port == m_comPort)
        return;
    if (m_comPort) {
        m_comPort->DetachLink(&m_link);
        m_comPort->RemoveFreeNotification(this);
        m_comPort = nullptr;
    }
    if (port) {
        // The port calls this from its destructor, while it walks its notifications: only
        // forget it there, its link list goes with it.
        port->FreeNotification(this, [this] { m_comPort = nullptr; });
        try {
            port->AttachLink(&m_link);
        } catch (...) {
            port->RemoveFreeNotification(this);
            throw;
        }
        m_comPort = port;
    }
}

void TComDataPacket::SetCaseInsensitive(bool value)
{
    if (value == m_caseInsensitive)
        return;
    m_caseInsensitive = value;
    m_startScan = m_stopScan = 0;
    FlushText();
}

void TComDataPacket::SetStartString(const QByteArray &value)
{
    if (value == m_startString)
        return;
    m_startString = value;
    m_startScan = m_stopScan = 0;
    FlushText();
}

void TComDataPacket::SetStopString(const QByteArray &value)
{
    if (value == m_stopString)
        return;
    m_stopString = value;
    m_stopScan = 0;
    FlushText();
}

void TComDataPacket::SetSize(int value)
{
    if (value == m_size)
        return;
    m_size = value;
    FlushText();
}

void TComDataPacket::ReceiveBlock(TCustomComPort *, const char *buffer, int count)
{
    count = std::max(count, 0);
    if (!IsFramed()) {
        DoPacket(QByteArray(buffer, count));
        return;
    }
    // Straight into the pending bytes: a block is mostly one byte, and a copy of it on the
    // heap first was an allocation and a release per byte received.
    Compact();
    m_buffer.append(buffer, count);
    ProcessText();
}

bool TComDataPacket::IsFramed() const
{
    return m_size > 0 || !m_stopString.isEmpty() || bool(OnCustomStop);
}

void TComDataPacket::AddText(const QByteArray &text)
{
    if (!IsFramed()) {
        DoPacket(text);
        return;
    }
    Compact();
    m_buffer.append(text);
    ProcessText();
}

void TComDataPacket::ProcessText()
{
    try {
        FramingPasses();
    } catch (...) {
        // Like a finally block: the limit holds even when a handler failed. Should the discard
        // handler fail here as well, its error replaces the first one.
        LimitPending();
        throw;
    }
    LimitPending();
}

void TComDataPacket::FramingPasses()
{
    // A loop rather than a pass calling itself for the rest: a block may hold thousands of
    // packets.
    for (;;) {
        if (!m_collecting)
            SeekStart();
        if (!m_collecting)
            return;
        SeekEnd();
        if (m_collecting)
            return; // no end yet: wait for more text
    }
}

void TComDataPacket::LimitPending()
{
    if (m_maxBufferSize > 0 && PendingLength() >= m_maxBufferSize)
        FlushText();
}

void TComDataPacket::FlushText()
{
    if (PendingLength() == 0)
        return;
    const QByteArray discarded = PendingText();
    m_buffer.clear();
    m_head = 0;
    m_startScan = m_stopScan = 0;
    m_collecting = false;
    DoDiscard(discarded);
}

void TComDataPacket::DoDiscard(const QByteArray &str)
{
    if (OnDiscard)
        OnDiscard(this, str);
}

void TComDataPacket::DoPacket(const QByteArray &str)
{
    if (OnPacket)
        OnPacket(this, str);
}

void TComDataPacket::SeekStart()
{
    int pos = -1;
    if (OnCustomStart)
        OnCustomStart(this, PendingText(), pos);
    if (pos > 0) {
        DiscardBefore(pos);
    } else if (pos == -1) {
        if (m_startString.isEmpty()) {
            m_collecting = true;
            return;
        }
        const qsizetype from = std::max(m_startScan, m_head);
        const qsizetype found = Find(m_startString, from);
        if (found >= 0) {
            DiscardBefore(found - m_head + 1);
        } else {
            // The last few bytes may be the beginning of a start string cut by the block.
            m_startScan = std::max(from, m_buffer.size() - m_startString.size() + 1);
        }
    }
}

void TComDataPacket::DiscardBefore(qsizetype pos)
{
    m_collecting = true;
    if (pos <= 1)
        return;
    // A custom start beyond the pending text discards all of it, nothing more.
    const qsizetype count = std::min(pos - 1, PendingLength());
    const QByteArray discarded = m_buffer.mid(m_head, count);
    CutFront(count);
    DoDiscard(discarded);
}

void TComDataPacket::SeekEnd()
{
    int pos = -1;
    if (OnCustomStop)
        OnCustomStop(this, PendingText(), pos);
    qsizetype end = 0;
    if (pos > 0) {
        // A custom end beyond the pending text takes all of it; with nothing pending there is
        // nothing to emit, and emitting empty packets would never end.
        end = std::min<qsizetype>(pos, PendingLength());
        if (end == 0)
            return;
        m_collecting = false;
    } else if (pos == -1) {
        if (m_size > 0 && PendingLength() >= m_size) {
            end = m_size;
            m_collecting = false;
        } else if (!m_stopString.isEmpty()) {
            // The stop string is looked for after the start string only.
            const qsizetype from = std::max(m_stopScan, m_head + m_startString.size());
            const qsizetype found = Find(m_stopString, from);
            if (found >= 0) {
                end = found - m_head + m_stopString.size();
                m_collecting = false;
            } else {
                m_stopScan = std::max(from, m_buffer.size() - m_stopString.size() + 1);
            }
        }
    }
    if (!m_collecting)
        EmitPacket(end);
}

void TComDataPacket::EmitPacket(qsizetype end)
{
    const qsizetype count = std::clamp<qsizetype>(end, 0, PendingLength());
    QByteArray packet = m_buffer.mid(m_head, count);
    CutFront(count);
    StripDelimiters(packet);
    DoPacket(packet);
}

void TComDataPacket::StripDelimiters(QByteArray &packet) const
{
    if (m_includeStrings)
        return;
    const QByteArray folded = FoldCase(packet);
    qsizetype startLength = 0;
    if (!m_startString.isEmpty() && folded.startsWith(FoldCase(m_startString)))
        startLength = m_startString.size();
    if (!m_stopString.isEmpty()) {
        // The first occurrence decides: a packet that also holds the stop string earlier keeps
        // its final one. Only a stop string really found at the end is removed.
        const qsizetype stop = folded.indexOf(FoldCase(m_stopString), startLength);
        if (stop >= 0 && stop == packet.size() - m_stopString.size())
            packet.chop(m_stopString.size());
    }
    packet.remove(0, startLength);
}

QByteArray TComDataPacket::FoldCase(const QByteArray &s) const
{
    if (!m_caseInsensitive)
        return s;
    QByteArray folded = s;
    for (char &c : folded)
        c = foldAscii(c);
    return folded;
}

void TComDataPacket::CutFront(qsizetype count)
{
    m_head += count;
    m_startScan = m_stopScan = 0;
}

void TComDataPacket::Compact()
{
    if (m_head == 0)
        return;
    if (m_head >= m_buffer.size()) {
        m_buffer.resize(0); // keeps its room for the next packet
    } else {
        m_buffer.remove(0, m_head);
    }
    m_startScan = std::max<qsizetype>(0, m_startScan - m_head);
    m_stopScan = std::max<qsizetype>(0, m_stopScan - m_head);
    m_head = 0;
}

qsizetype TComDataPacket::Find(const QByteArray &pattern, qsizetype from) const
{
    const qsizetype n = m_buffer.size();
    const qsizetype m = pattern.size();
    if (m == 0 || from < 0 || from > n - m)
        return -1;
    if (!m_caseInsensitive || !hasAsciiLetter(pattern))
        return m_buffer.indexOf(pattern, from);
    const QByteArray folded = FoldCase(pattern);
    const char *data = m_buffer.constData();
    for (qsizetype i = from; i <= n - m; ++i) {
        qsizetype k = 0;
        while (k < m && foldAscii(data[i + k]) == folded[k])
            ++k;
        if (k == m)
            return i;
    }
    return -1;
}
