#pragma once

#include "comtypes.h"
#include "serialdevice.h"
#include "tcombuffer.h"
#include "tcomflowcontrol.h"
#include "tcomparity.h"
#include "tcomtimeouts.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TComLink;
class TComThread;

// The serial port component: opens, configures, writes to, purges and closes one serial device
// and, while it is open, runs an event thread (TComThread) that reports line events.
//
// Threads: every operation is called on the thread the port lives on (the GUI thread), and every
// event and link callback is called there too (SyncMethod smThreadSync, the default; smNone calls
// them on the event thread). Received bytes reach the attached links' OnLinkRxBlock; with no link
// that takes blocks they stay queued (up to Buffer().InputSize()) and OnRxChar reports them.
//
// Failures raise EComPort. Exceptions from callbacks during event delivery never end the event
// thread: they are shown in the error box after the delivery returned, once per reception.
//
// When the device disappears while open (a USB receiver pulled) the port closes itself on the GUI
// thread and calls OnDeviceLost once; without an OnDeviceLost handler it shows the error box.
class TCustomComPort : public QObject
{
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TCustomComPort *sender)>;
    using TRxCharEvent = std::function<void(TCustomComPort *sender, int count)>;
    using TRxBufEvent = std::function<void(TCustomComPort *sender, const char *buffer, int count)>;
    using TComSignalEvent = std::function<void(TCustomComPort *sender, bool onOff)>;
    using TComErrorEvent = std::function<void(TCustomComPort *sender, TComErrors errors)>;

    explicit TCustomComPort(QObject *parent = nullptr);
    // Closes the port (errors swallowed), then calls the free notifications.
    ~TCustomComPort() override;

    bool Connected() const { return m_connected; }
    void setConnected(bool value); // true opens, false closes
    TBaudRate BaudRate() const { return m_baudRate; }
    void setBaudRate(TBaudRate value);
    int CustomBaudRate() const { return m_customBaudRate; } // bit/s, used with brCustom
    void setCustomBaudRate(int value);
    // "COM1" on Windows; "ttyUSB0" (under /dev) or an absolute device path on POSIX
    QString Port() const { return m_port; }
    void setPort(const QString &value); // reopens on the new name when open
    TComParity &Parity() { return m_parity; }
    const TComParity &Parity() const { return m_parity; }
    void setParity(const TComParity &value) { m_parity.Assign(value); }
    TStopBits StopBits() const { return m_stopBits; }
    void setStopBits(TStopBits value);
    TDataBits DataBits() const { return m_dataBits; }
    void setDataBits(TDataBits value);
    bool DiscardNull() const { return m_discardNull; }
    void setDiscardNull(bool value);
    char EventChar() const { return m_eventChar; }
    void setEventChar(char value);
    TComEvents Events() const { return m_events; }
    void setEvents(TComEvents value) { m_events = value; } // takes effect at the next open
    TComBuffer &Buffer() { return m_buffer; }
    const TComBuffer &Buffer() const { return m_buffer; }
    void setBuffer(const TComBuffer &value) { m_buffer.Assign(value); }
    TComFlowControl &FlowControl() { return m_flowControl; }
    const TComFlowControl &FlowControl() const { return m_flowControl; }
    void setFlowControl(const TComFlowControl &value) { m_flowControl.Assign(value); }
    TComTimeouts &Timeouts() { return m_timeouts; }
    const TComTimeouts &Timeouts() const { return m_timeouts; }
    void setTimeouts(const TComTimeouts &value) { m_timeouts.Assign(value); }
    TSyncMethod SyncMethod() const { return m_syncMethod; }
    void setSyncMethod(TSyncMethod value); // EComPort 14 while open

    // Does nothing when open already. EComPort 1, 9, 7, 8 leave the port closed; 11 (modem
    // signals) leaves it open.
    void OpenPort();
    // Does nothing when closed. When a delivery is pending it runs here, once; after the call no
    // callback of this opening runs any more.
    void ClosePort();
    void PurgeBuffers(bool input, bool output);
    // Writes the bytes and returns when the driver has sent them (bounded by the write time-outs):
    // the count written. An empty text writes nothing and returns 0.
    int SendText(const QByteArray &text);
    int PendingInput();
    TModemSignals ModemSignals();
    TComErrors TakeLineErrors(); // the line errors since the last call, cleared
    // Links are called in attach order; the port does not own them. EComPort 18 when attaching a
    // link twice or detaching one that is not attached.
    void AttachLink(TComLink *link);
    void DetachLink(TComLink *link);

    // A component that keeps a pointer to this port registers here to hear of its destruction:
    // `notification` is called from the destructor, after the port was closed. One notification
    // per owner; registering again replaces it.
    void FreeNotification(const void *owner, std::function<void()> notification);
    void RemoveFreeNotification(const void *owner);

    // Whether the event thread waits for a batch that has not started on this thread yet.
    bool DeliveryPending() const;

    // Re-apply the settings to the open device; nothing while closed.
    virtual void ApplyLineSettings(); // EComPort 7
    virtual void ApplyTimeoutSettings(); // EComPort 8
    virtual void ApplyQueueSizes(); // EComPort 9
    // The device's line settings as the current properties give them.
    SerialPlatform::LineSettings BuildLineSettings() const;

    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnBeforeClose;
    TNotifyEvent OnAfterClose;
    TRxCharEvent OnRxChar; // bytes arrived and were left unread: the count queued
    TRxBufEvent OnRxBuf; // a block of received bytes was read
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TNotifyEvent OnRxFlag;
    TNotifyEvent OnRx80Full;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TComErrorEvent OnError;
    // The device disappeared; the port is already closed when this is called. Called once.
    TNotifyEvent OnDeviceLost;

protected:
    virtual void OpenDevice(); // EComPort 1
    virtual void CloseDevice(); // never fails
    virtual void ApplyAllSettings();
    int ReadBytes(char *buffer, int count); // EComPort 3; the count read
    void AbortTransfers(); // EComPort 5

private:
    friend class TComThread;

    // Called by TComThread through the port's event queue. A call may come after the thread
    // that posted it has ended: each one acts on the current thread's state only.
    Q_INVOKABLE void RunThreadDelivery();
    Q_INVOKABLE void HandleDeviceLost();
    Q_INVOKABLE void ShowThreadErrors();
    void DeliverBatch(TComEvents batch); // on the GUI thread, errors deferred to a box
    void DeliverBatchOnThread(TComEvents batch); // smNone: on the event thread
    void DeliverEvents(TComEvents batch);

    void ServiceError();
    void ServiceRxChar();
    void ServiceTxEmpty();
    void ServiceSignal(TModemSignal signal);
    template<typename F>
    void ForEachLink(F call); // in attach order; skips links detached meanwhile

    void NotifySignals(bool opening);
    QList<TComLink *> LinkSnapshot() const { return m_links; }
    bool StillAttached(TComLink *link) const { return m_links.contains(link); }
    void UpdateHasBlockLink();
    void DoClosePort(bool deviceLost);

    QString m_port = QStringLiteral("COM1");
    bool m_connected = false;
    TBaudRate m_baudRate = br9600;
    int m_customBaudRate = 9600;
    TStopBits m_stopBits = sbOneStopBit;
    TDataBits m_dataBits = dbEight;
    bool m_discardNull = false;
    char m_eventChar = 0;
    TComEvents m_events = AllComEvents;
    TSyncMethod m_syncMethod = smThreadSync;
    TComParity m_parity { this };
    TComFlowControl m_flowControl { this };
    TComTimeouts m_timeouts { this };
    TComBuffer m_buffer { this };

    SerialDevice m_device;
    std::unique_ptr<TComThread> m_thread;
    quint64 m_threadsStarted = 0; // tells a thread from its successor
    std::mutex m_threadErrorsMutex;
    QStringList m_threadErrors; // errors of handlers run on the event thread (smNone), to show
    QList<TComLink *> m_links;
    bool m_manualRead = true;
    bool m_hasBlockLink = false;
    bool m_closing = false;
    // Counts closes, so that a delivery interrupted by a close inside a callback stops there.
    quint64 m_closeCount = 0;
    std::vector<std::pair<const void *, std::function<void()>>> m_freeNotifications;
};
