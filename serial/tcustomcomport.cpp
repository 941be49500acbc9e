#include "tcustomcomport.h"

#include "ecomport.h"
#include "eventguard.h"
#include "portname.h"
#include "tcomlink.h"
#include "tcomthread.h"
#include "userdialogs.h"
#include "zephulerror.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <algorithm>
#include <vector>

namespace {

SerialPlatform::Parity platformParity(TParityBits bits)
{
    switch (bits) {
    case prOdd:
        return SerialPlatform::Parity::Odd;
    case prEven:
        return SerialPlatform::Parity::Even;
    case prMark:
        return SerialPlatform::Parity::Mark;
    case prSpace:
        return SerialPlatform::Parity::Space;
    case prNone:
        break;
    }
    return SerialPlatform::Parity::None;
}

} // namespace

TCustomComPort::TCustomComPort(QObject *parent)
    : QObject(parent)
{
    // The layer's texts are translated once, when the layer is first used.
    EComPort::CodeText(1);
}

TCustomComPort::~TCustomComPort()
{
    try {
        ClosePort();
    } catch (...) {
        // A port that cannot purge is closed all the same when it is destroyed.
        DoClosePort(true);
    }
    const auto notifications = std::move(m_freeNotifications);
    m_freeNotifications.clear();
    for (const auto &entry : notifications) {
        try {
            entry.second();
        } catch (...) { }
    }
}

// --- properties ---

void TCustomComPort::setConnected(bool value)
{
    if (value == m_connected)
        return;
    if (value)
        OpenPort();
    else
        ClosePort();
}

void TCustomComPort::setBaudRate(TBaudRate value)
{
    if (value == m_baudRate)
        return;
    m_baudRate = value;
    ApplyLineSettings();
}

void TCustomComPort::setCustomBaudRate(int value)
{
    if (value == m_customBaudRate)
        return;
    m_customBaudRate = value;
    ApplyLineSettings();
}

void TCustomComPort::setPort(const QString &value)
{
    if (value == m_port)
        return;
    m_port = value;
    if (m_connected) {
        ClosePort();
        OpenPort();
    }
}

void TCustomComPort::setStopBits(TStopBits value)
{
    if (value == m_stopBits)
        return;
    m_stopBits = value;
    ApplyLineSettings();
}

void TCustomComPort::setDataBits(TDataBits value)
{
    if (value == m_dataBits)
        return;
    m_dataBits = value;
    ApplyLineSettings();
}

void TCustomComPort::setDiscardNull(bool value)
{
    if (value == m_discardNull)
        return;
    m_discardNull = value;
    ApplyLineSettings();
}

void TCustomComPort::setEventChar(char value)
{
    if (value == m_eventChar)
        return;
    m_eventChar = value;
    ApplyLineSettings();
}

void TCustomComPort::setSyncMethod(TSyncMethod value)
{
    if (value == m_syncMethod)
        return;
    if (m_connected)
        throw EComPort(14);
    m_syncMethod = value;
}

// --- settings ---

SerialPlatform::LineSettings TCustomComPort::BuildLineSettings() const
{
    SerialPlatform::LineSettings s;
    s.baudRate = m_baudRate == brCustom ? m_customBaudRate : BaudRateValue(m_baudRate);
    s.dataBits = 5 + int(m_dataBits);
    s.parity = platformParity(m_parity.Bits());
    s.stopBits = m_stopBits == sbOneStopBit ? SerialPlatform::StopBits::One
        : m_stopBits == sbOne5StopBits      ? SerialPlatform::StopBits::OneAndHalf
                                            : SerialPlatform::StopBits::Two;
    s.parityCheck = m_parity.Check();
    s.replaceErrors = m_parity.Check() && m_parity.Replace();
    s.errorChar = s.replaceErrors ? m_parity.ReplaceChar() : char(0);
    s.discardNull = m_discardNull;
    s.outCtsFlow = m_flowControl.OutCTSFlow();
    s.outDsrFlow = m_flowControl.OutDSRFlow();
    s.dtr = SerialPlatform::DtrControl(m_flowControl.ControlDTR());
    s.rts = SerialPlatform::RtsControl(m_flowControl.ControlRTS());
    s.xonXoffOut = m_flowControl.XonXoffOut();
    s.xonXoffIn = m_flowControl.XonXoffIn();
    s.dsrSensitivity = m_flowControl.DSRSensitivity();
    s.txContinueOnXoff = m_flowControl.TxContinueOnXoff();
    s.xonLimit = m_buffer.InputSize() / 4;
    s.xoffLimit = m_buffer.InputSize() / 4;
    s.xonChar = m_flowControl.XonChar();
    s.xoffChar = m_flowControl.XoffChar();
    s.eventChar = m_eventChar;
    return s;
}

void TCustomComPort::ApplyLineSettings()
{
    if (!m_connected)
        return;
    if (const int error = m_device.applyLineSettings(BuildLineSettings()))
        throw EComPort(7, error);
}

void TCustomComPort::ApplyTimeoutSettings()
{
    if (!m_connected)
        return;
    SerialPlatform::Timeouts t;
    t.readInterval = m_timeouts.ReadInterval();
    t.readTotalMultiplier = m_timeouts.ReadTotalMultiplier();
    t.readTotalConstant = m_timeouts.ReadTotalConstant();
    t.writeTotalMultiplier = m_timeouts.WriteTotalMultiplier();
    t.writeTotalConstant = m_timeouts.WriteTotalConstant();
    if (const int error = m_device.applyTimeouts(t))
        throw EComPort(8, error);
}

void TCustomComPort::ApplyQueueSizes()
{
    if (!m_connected)
        return;
    if (const int error = m_device.setQueueSizes(m_buffer.InputSize(), m_buffer.OutputSize()))
        throw EComPort(9, error);
}

void TCustomComPort::ApplyAllSettings()
{
    ApplyQueueSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

// --- open and close ---

void TCustomComPort::OpenDevice()
{
    const std::string path = SerialPlatform::devicePathForPort(m_port.toStdString());
    if (const int error = m_device.open(path))
        throw EComPort(1, error);
}

void TCustomComPort::CloseDevice()
{
    m_device.close();
}

template<typename F> void TCustomComPort::ForEachLink(F call)
{
    const quint64 closeCount = m_closeCount;
    // A const copy shares the list: links attached or detached by a callback do not disturb
    // the loop, and nothing is copied for it.
    const QList<TComLink *> links = LinkSnapshot();
    for (TComLink *link : links) {
        if (m_closeCount != closeCount)
            return;
        if (StillAttached(link))
            call(link);
    }
}

void TCustomComPort::NotifySignals(bool opening)
{
    struct Signal
    {
        TModemSignal signal;
        TComLink::OnOffEvent TComLink::*linkEvent;
        TComSignalEvent TCustomComPort::*portEvent;
    };
    static const Signal lines[] = {
        { msCTS, &TComLink::OnLinkCTS, &TCustomComPort::OnCTSChange },
        { msDSR, &TComLink::OnLinkDSR, &TCustomComPort::OnDSRChange },
        { msRLSD, &TComLink::OnLinkRLSD, &TCustomComPort::OnRLSDChange },
    };
    if (opening) {
        for (const Signal &s : lines) {
            const bool on = ModemSignals().contains(s.signal);
            ForEachLink([&](TComLink *link) {
                if (link->*s.linkEvent)
                    (link->*s.linkEvent)(this, on);
            });
            if (this->*s.portEvent)
                (this->*s.portEvent)(this, on);
        }
        return;
    }
    // Before a close: every link hears all three lines go off, then the port's events.
    for (const Signal &s : lines) {
        ForEachLink([&](TComLink *link) {
            if (link->*s.linkEvent)
                (link->*s.linkEvent)(this, false);
        });
    }
    for (const Signal &s : lines) {
        if (this->*s.portEvent)
            (this->*s.portEvent)(this, false);
    }
}

void TCustomComPort::OpenPort()
{
    if (m_connected || m_closing)
        return;
    if (OnBeforeOpen)
        OnBeforeOpen(this);
    OpenDevice();
    m_connected = true;
    try {
        ApplyAllSettings();
        if (!m_events.isEmpty()) {
            m_thread = std::make_unique<TComThread>(this, m_device, m_events, m_syncMethod);
            ++m_threadsStarted;
        }
    } catch (...) {
        m_thread.reset();
        CloseDevice();
        m_connected = false;
        throw;
    }
    ForEachLink([this](TComLink *link) {
        if (link->OnLinkConnection)
            link->OnLinkConnection(this, true);
    });
    if (OnAfterOpen)
        OnAfterOpen(this);
    NotifySignals(true);
}

void TCustomComPort::ClosePort()
{
    if (!m_connected || m_closing)
        return;
    NotifySignals(false);
    if (OnBeforeClose)
        OnBeforeClose(this);
    // A handler above may have closed the port already.
    if (!m_connected || m_closing)
        return;
    AbortTransfers();
    DoClosePort(false);
}

void TCustomComPort::DoClosePort(bool deviceLost)
{
    if (!m_connected || m_closing)
        return;
    m_closing = true;
    if (deviceLost)
        m_device.abortTransfers();
    // Runs a pending delivery while Connected is still true, then the thread ends.
    m_thread.reset();
    CloseDevice();
    m_connected = false;
    m_closing = false;
    ++m_closeCount;
    ForEachLink([this](TComLink *link) {
        if (link->OnLinkConnection)
            link->OnLinkConnection(this, false);
    });
    if (OnAfterClose)
        OnAfterClose(this);
}

void TCustomComPort::AbortTransfers()
{
    if (const int error = m_device.abortTransfers())
        throw EComPort(5, error);
}

// --- operations ---

void TCustomComPort::PurgeBuffers(bool input, bool output)
{
    if (const int error = m_device.purge(input, output))
        throw EComPort(5, error);
}

int TCustomComPort::SendText(const QByteArray &text)
{
    if (text.isEmpty())
        return 0;
    // The written bytes are copied: a link may be handed them after the write completed.
    const QByteArray copy(text.constData(), text.size());
    ForEachLink([this](TComLink *link) {
        if (link->OnLinkTxBusy)
            link->OnLinkTxBusy(this, true);
    });
    std::size_t done = 0;
    if (const int error = m_device.write(copy.constData(), std::size_t(copy.size()), done))
        throw EComPort(2, error);
    ForEachLink([&](TComLink *link) {
        if (link->OnLinkTxBlock)
            link->OnLinkTxBlock(this, copy.constData(), int(copy.size()));
    });
    return int(done);
}

int TCustomComPort::ReadBytes(char *buffer, int count)
{
    std::size_t done = 0;
    if (const int error = m_device.read(buffer, std::size_t(std::max(0, count)), done))
        throw EComPort(3, error);
    if (PendingInput() == 0) {
        ForEachLink([this](TComLink *link) {
            if (link->OnLinkRxWaiting)
                link->OnLinkRxWaiting(this, false);
        });
    }
    return int(done);
}

int TCustomComPort::PendingInput()
{
    std::size_t count = 0;
    if (const int error = m_device.pendingInput(count))
        throw EComPort(10, error);
    return int(count);
}

TModemSignals TCustomComPort::ModemSignals()
{
    std::uint32_t bits = 0;
    if (const int error = m_device.modemSignals(bits))
        throw EComPort(11, error);
    TModemSignals lines;
    if (bits & SerialPlatform::Modem::Cts)
        lines.include(msCTS);
    if (bits & SerialPlatform::Modem::Dsr)
        lines.include(msDSR);
    if (bits & SerialPlatform::Modem::Ring)
        lines.include(msRing);
    if (bits & SerialPlatform::Modem::Rlsd)
        lines.include(msRLSD);
    return lines;
}

TComErrors TCustomComPort::TakeLineErrors()
{
    std::uint32_t bits = 0;
    std::size_t queued = 0;
    if (const int error = m_device.takeLineErrors(bits, queued))
        throw EComPort(10, error);
    using namespace SerialPlatform;
    TComErrors errors;
    if (bits & LineError::Frame)
        errors.include(errFrame);
    if ((bits & LineError::RxParity) && m_parity.Check())
        errors.include(errRxParity);
    if (bits & LineError::Overrun)
        errors.include(errOverrun);
    if (bits & LineError::RxOver)
        errors.include(errRxOver);
    if (bits & LineError::TxFull)
        errors.include(errTxFull);
    if (bits & LineError::Break)
        errors.include(errBreak);
    if (bits & LineError::IO)
        errors.include(errIO);
    if (bits & LineError::Mode)
        errors.include(errMode);
    return errors;
}

void TCustomComPort::AttachLink(TComLink *link)
{
    if (!link || m_links.contains(link))
        throw EComPort(18);
    m_links.append(link);
    UpdateHasBlockLink();
}

void TCustomComPort::DetachLink(TComLink *link)
{
    if (!link || !m_links.removeOne(link))
        throw EComPort(18);
    UpdateHasBlockLink();
}

void TCustomComPort::UpdateHasBlockLink()
{
    m_hasBlockLink = std::any_of(m_links.cbegin(), m_links.cend(),
                                 [](const TComLink *l) { return bool(l->OnLinkRxBlock); });
}

void TCustomComPort::FreeNotification(const void *owner, std::function<void()> notification)
{
    RemoveFreeNotification(owner);
    m_freeNotifications.emplace_back(owner, std::move(notification));
}

void TCustomComPort::RemoveFreeNotification(const void *owner)
{
    std::erase_if(m_freeNotifications, [owner](const auto &entry) { return entry.first == owner; });
}

// --- event delivery ---

bool TCustomComPort::DeliveryPending() const
{
    return m_thread && m_thread->HasPendingBatch();
}

void TCustomComPort::RunThreadDelivery()
{
    if (!m_thread)
        return;
    const quint64 thread = m_threadsStarted;
    const std::optional<TComEvents> batch = m_thread->TakePendingBatch();
    if (!batch)
        return;
    DeliverBatch(*batch);
    // A callback may have closed the port, ending that thread.
    if (m_thread && m_threadsStarted == thread)
        m_thread->BatchDone();
}

void TCustomComPort::DeliverBatch(TComEvents batch)
{
    if (!m_connected)
        return;
    // An error in a handler (a record file that cannot be written) is shown after this batch,
    // once per reception, and delivery goes on with the next batch.
    EventGuard::runDeferred([&] { DeliverEvents(batch); });
}

void TCustomComPort::DeliverBatchOnThread(TComEvents batch)
{
    try {
        DeliverEvents(batch);
    } catch (...) {
        {
            std::lock_guard lock(m_threadErrorsMutex);
            m_threadErrors.append(EventGuard::currentErrorText());
        }
        QMetaObject::invokeMethod(this, "ShowThreadErrors", Qt::QueuedConnection);
    }
}

void TCustomComPort::ShowThreadErrors()
{
    QStringList errors;
    {
        std::lock_guard lock(m_threadErrorsMutex);
        errors.swap(m_threadErrors);
    }
    for (const QString &text : errors)
        EventGuard::runDeferred([&] { throw ZephulError(text); });
}

void TCustomComPort::DeliverEvents(TComEvents batch)
{
    const quint64 closeCount = m_closeCount;
    auto current = [&] { return m_closeCount == closeCount; };
    if (batch.contains(evError) && current())
        ServiceError();
    if (batch.contains(evRxChar) && current())
        ServiceRxChar();
    if (batch.contains(evTxEmpty) && current())
        ServiceTxEmpty();
    if (batch.contains(evBreak) && current() && OnBreak)
        OnBreak(this);
    if (batch.contains(evRing) && current()) {
        ForEachLink([this](TComLink *link) {
            if (link->OnLinkRing)
                link->OnLinkRing(this);
        });
        if (current() && OnRing)
            OnRing(this);
    }
    if (batch.contains(evCTS) && current())
        ServiceSignal(msCTS);
    if (batch.contains(evDSR) && current())
        ServiceSignal(msDSR);
    if (batch.contains(evRxFlag) && current()) {
        ForEachLink([this](TComLink *link) {
            if (link->OnLinkRxFlag)
                link->OnLinkRxFlag(this);
        });
        if (current() && OnRxFlag)
            OnRxFlag(this);
    }
    if (batch.contains(evRLSD) && current())
        ServiceSignal(msRLSD);
    if (batch.contains(evRx80Full) && current() && OnRx80Full)
        OnRx80Full(this);
}

void TCustomComPort::ServiceError()
{
    const TComErrors errors = TakeLineErrors();
    if (!errors.isEmpty() && OnError)
        OnError(this, errors);
}

void TCustomComPort::ServiceRxChar()
{
    const quint64 closeCount = m_closeCount;
    int count = PendingInput();
    if (count > 0) {
        ForEachLink([this](TComLink *link) {
            if (link->OnLinkRxWaiting)
                link->OnLinkRxWaiting(this, true);
        });
    }
    if (count > 0 && !(m_manualRead && !m_hasBlockLink)) {
        // At the line's pace a block is a byte or two: no allocation for it.
        char small[256];
        std::vector<char> large;
        char *block = small;
        int size = 0;
        bool read = false;
        auto readBlock = [&] {
            if (count > int(sizeof small)) {
                large.resize(std::size_t(count));
                block = large.data();
            }
            // The queue only shrinks on this thread, so all `count` bytes are there; use what
            // was read all the same rather than hand on bytes that were not.
            size = ReadBytes(block, count);
            read = true;
            if (OnRxBuf && m_closeCount == closeCount)
                OnRxBuf(this, block, size);
        };
        ForEachLink([&](TComLink *link) {
            if (!link->OnLinkRxBlock)
                return;
            if (!read)
                readBlock();
            if (m_closeCount == closeCount && StillAttached(link))
                link->OnLinkRxBlock(this, block, size);
        });
        if (!read && !m_manualRead && m_closeCount == closeCount)
            readBlock();
        if (read)
            count = 0;
    }
    if (count > 0 && OnRxChar && m_closeCount == closeCount)
        OnRxChar(this, count);
}

void TCustomComPort::ServiceTxEmpty()
{
    ForEachLink([this](TComLink *link) {
        if (link->OnLinkTxBusy)
            link->OnLinkTxBusy(this, false);
    });
    ForEachLink([this](TComLink *link) {
        if (link->OnLinkTxEmpty)
            link->OnLinkTxEmpty(this);
    });
    if (OnTxEmpty)
        OnTxEmpty(this);
}

void TCustomComPort::ServiceSignal(TModemSignal signal)
{
    const bool on = ModemSignals().contains(signal);
    auto linkEvent = signal == msCTS ? &TComLink::OnLinkCTS
        : signal == msDSR            ? &TComLink::OnLinkDSR
                                     : &TComLink::OnLinkRLSD;
    TComSignalEvent &portEvent = signal == msCTS ? OnCTSChange
        : signal == msDSR                        ? OnDSRChange
                                                 : OnRLSDChange;
    ForEachLink([&](TComLink *link) {
        if (link->*linkEvent)
            (link->*linkEvent)(this, on);
    });
    if (portEvent)
        portEvent(this, on);
}

// --- device lost ---

void TCustomComPort::HandleDeviceLost()
{
    if (!m_thread || !m_thread->DeviceLost())
        return;
    const QString name = m_port;
    // The usual close notifications; each step runs even if a handler of the one before failed,
    // and a purge on a device that is gone may fail: the port closes all the same.
    EventGuard::runDeferred([this] {
        NotifySignals(false);
        if (OnBeforeClose)
            OnBeforeClose(this);
    });
    EventGuard::runDeferred([this] { DoClosePort(true); });
    if (OnDeviceLost) {
        EventGuard::runDeferred([this] { OnDeviceLost(this); });
        return;
    }
    const QString text = QStringLiteral("Le port série du récepteur (%1) a été perdu.").arg(name);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [text] { UserDialogs::instance().showError(text); },
        Qt::QueuedConnection);
}
