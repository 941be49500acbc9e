#include "ecomport.h"
#include "eventguard.h"
#include "ptypair.h"
#include "scripteduserdialogs.h"
#include "tcomlink.h"
#include "tcomport.h"
#include "translationlookup.h"
#include "zephulerror.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTest>
#include <chrono>
#include <sys/resource.h>
#include <termios.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

// CPU time of the whole process (every thread), in ms.
double processCpuMs()
{
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// CPU used while the event loop runs for `ms` of wall time, as a share of that time.
double cpuShareWhileIdle(int ms)
{
    QElapsedTimer wall;
    const double before = processCpuMs();
    wall.start();
    QTest::qWait(ms);
    return (processCpuMs() - before) / double(wall.elapsed());
}

// A link that records every block it is given.
struct RecordingLink
{
    TComLink link;
    QByteArray received;
    int blocks = 0;
    explicit RecordingLink(QList<QPair<int, QByteArray>> *log = nullptr, int id = 0)
    {
        link.OnLinkRxBlock = [this, log, id](TCustomComPort *, const char *buffer, int count) {
            received.append(buffer, count);
            ++blocks;
            if (log)
                log->append({ id, QByteArray(buffer, count) });
        };
    }
};

} // namespace

class TestTComPort : public QObject
{
    Q_OBJECT

    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<TComPort> m_port;
    std::unique_ptr<ScriptedUserDialogs> m_dialogs;

    // Closes the port while the test's locals that its callbacks use still exist.
    auto closeAtEnd()
    {
        return qScopeGuard([this] {
            try {
                m_port->ClosePort();
            } catch (...) { }
        });
    }

    QString slave() const { return QString::fromStdString(m_pty->slavePath()); }

    // The port on the pty with the program's settings, open.
    void openProgramPort()
    {
        m_port->setPort(slave());
        m_port->setBaudRate(br600);
        m_port->OpenPort();
        QVERIFY(m_port->Connected());
    }

private slots:
    void init()
    {
        m_dialogs = std::make_unique<ScriptedUserDialogs>();
        m_pty = std::make_unique<PtyPair>();
        m_port = std::make_unique<TComPort>();
        EventGuard::resetRepeats();
    }
    void cleanup()
    {
        m_port.reset();
        m_pty.reset();
        QTest::qWait(0); // deferred boxes of this test go to its own dialogs
        m_dialogs.reset();
    }

    void defaults()
    {
        QCOMPARE(m_port->Port(), QStringLiteral("COM1"));
        QCOMPARE(m_port->BaudRate(), br9600);
        QCOMPARE(m_port->Events().bits(), 0x3FFu);
        QCOMPARE(m_port->SyncMethod(), smThreadSync);
        QCOMPARE(m_port->Timeouts().ReadInterval(), -1);
        QCOMPARE(m_port->Timeouts().WriteTotalMultiplier(), 100);
        QCOMPARE(m_port->Timeouts().WriteTotalConstant(), 1000);
        QCOMPARE(m_port->FlowControl().FlowControl(), fcNone);
        QCOMPARE(EventsToMask(AllComEvents), 0x05FFu);
        QCOMPARE(MaskToEvents(0x05FF | 0x0200), AllComEvents);
        QVERIFY(!m_port->Connected());
    }

    void errorTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("winCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("open, OS code") << 1 << 2 << "Unable to open com port (win error code: 2)";
        QTest::newRow("no OS code") << 18 << -1 << "Link (un)registration failed";
        QTest::newRow("property") << 14 << -1 << "Cannot set property while connected";
        QTest::newRow("registry") << 23 << 5 << "Registry error (win error code: 5)";
    }
    void errorTexts()
    {
        QFETCH(int, code);
        QFETCH(int, winCode);
        QFETCH(QString, message);
        const EComPort error(code, winCode);
        QCOMPARE(error.message(), message);
        QCOMPARE(error.Code(), code);
        QCOMPARE(error.WinCode(), winCode);
    }

    void suffixIsTranslatedAtEachRaise()
    {
        const QString domain = QString::fromLatin1(EComPort::TextDomain);
        const QString suffix = QStringLiteral(" (win error code: %d)");
        TranslationLookup::addTranslation(domain, suffix, QStringLiteral(" (code système : %d)"));
        QCOMPARE(EComPort(2, 5).message(),
                 QStringLiteral("WriteFile function failed (code système : 5)"));
        TranslationLookup::addTranslation(domain, suffix, suffix);
    }

    void flowControl_data()
    {
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("rts");
        QTest::addColumn<bool>("cts");
        QTest::addColumn<bool>("xon");
        QTest::newRow("hardware") << int(fcHardware) << int(rtsHandshake) << true << false;
        QTest::newRow("software") << int(fcSoftware) << int(rtsDisable) << false << true;
        QTest::newRow("none") << int(fcNone) << int(rtsDisable) << false << false;
    }
    void flowControl()
    {
        QFETCH(int, written);
        QFETCH(int, rts);
        QFETCH(bool, cts);
        QFETCH(bool, xon);
        TComFlowControl &flow = m_port->FlowControl();
        flow.setXonXoffIn(true);
        flow.setControlRTS(rtsEnable);
        QCOMPARE(flow.FlowControl(), fcCustom);
        flow.setFlowControl(TFlowControl(written));
        QCOMPARE(int(flow.ControlRTS()), rts);
        QCOMPARE(flow.OutCTSFlow(), cts);
        QCOMPARE(flow.XonXoffIn(), xon);
        QCOMPARE(flow.XonXoffOut(), xon);
        QCOMPARE(int(flow.FlowControl()), written);
    }

    void oddQueueSizeStoredLower()
    {
        m_port->Buffer().setInputSize(1025);
        QCOMPARE(m_port->Buffer().InputSize(), 1024);
        QCOMPARE(m_port->BuildLineSettings().xonLimit, 256);
        QCOMPARE(m_port->BuildLineSettings().xoffLimit, 256);
    }

    void openAppliesProgramSettings()
    {
        int opened = 0;
        const auto closeGuard = closeAtEnd();
        m_port->OnAfterOpen = [&](TCustomComPort *) { ++opened; };
        openProgramPort();
        struct termios t;
        QCOMPARE(::tcgetattr(m_pty->masterFd(), &t), 0);
        QCOMPARE(::cfgetospeed(&t), speed_t(B600));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));
        m_port->OpenPort(); // open already: nothing
        QCOMPARE(opened, 1);
        m_port->setBaudRate(br1200); // applies at once while open
        QCOMPARE(::tcgetattr(m_pty->masterFd(), &t), 0);
        QCOMPARE(::cfgetospeed(&t), speed_t(B1200));
        m_port->ClosePort();
        QVERIFY(!m_port->Connected());
    }

    void openFailures()
    {
        m_port->setPort(QStringLiteral("ttyZephulNoSuchPort"));
        try {
            m_port->OpenPort();
            QFAIL("no error");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code(), 1);
            QCOMPARE(e.WinCode(), 2);
            QVERIFY(e.message().startsWith(QStringLiteral("Unable to open com port")));
        }
        QVERIFY(!m_port->Connected());

        // A second component on a port in use is refused, also for root.
        openProgramPort();
        TComPort other;
        other.setPort(slave());
        try {
            other.OpenPort();
            QFAIL("no error");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code(), 1);
        }
        QVERIFY(!other.Connected());
    }

    void portNameChanges()
    {
        PtyPair second;
        openProgramPort();
        int closes = 0;
        int opens = 0;
        const auto closeGuard = closeAtEnd();
        m_port->OnBeforeClose = [&](TCustomComPort *) { ++closes; };
        m_port->OnAfterOpen = [&](TCustomComPort *) { ++opens; };
        m_port->setPort(slave());
        QCOMPARE(closes, 0);
        m_port->setPort(QString::fromStdString(second.slavePath()));
        QCOMPARE(closes, 1);
        QCOMPARE(opens, 1);
        QVERIFY(m_port->Connected());
        QCOMPARE(m_port->SendText("$S\r\n"), 4);
        QCOMPARE(second.receive(4, 5s), std::string("$S\r\n"));
    }

    void refusedWhileOpenOrTwice()
    {
        openProgramPort();
        try {
            m_port->setSyncMethod(smNone);
            QFAIL("no error");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code(), 14);
            QCOMPARE(e.message(), QStringLiteral("Cannot set property while connected"));
        }
        QCOMPARE(m_port->SyncMethod(), smThreadSync);

        TComLink link;
        const auto closeGuard = closeAtEnd();
        m_port->AttachLink(&link);
        QVERIFY_THROWS_EXCEPTION(EComPort, m_port->AttachLink(&link));
        m_port->DetachLink(&link);
        try {
            m_port->DetachLink(&link);
            QFAIL("no error");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code(), 18);
        }
    }

    void writeAndPurge()
    {
        openProgramPort();
        TComLink link;
        QByteArray written;
        const auto closeGuard = closeAtEnd();
        link.OnLinkTxBlock = [&](TCustomComPort *, const char *b, int n) { written.append(b, n); };
        m_port->AttachLink(&link);
        QCOMPARE(m_port->SendText(QByteArray()), 0);
        QVERIFY(written.isEmpty());
        // A command written just before a purge reaches the receiver whole.
        QCOMPARE(m_port->SendText("$C21\r\n"), 6);
        m_port->PurgeBuffers(true, true);
        QCOMPARE(written, QByteArray("$C21\r\n"));
        QCOMPARE(m_pty->receive(6, 5s), std::string("$C21\r\n"));
        m_port->DetachLink(&link);
    }

    void openAndCloseNotifyInOrder()
    {
        QStringList log;
        TComLink link;
        const auto closeGuard = closeAtEnd();
        link.OnLinkConnection
            = [&](TCustomComPort *, bool on) { log << QStringLiteral("link %1").arg(on); };
        link.OnLinkCTS
            = [&](TCustomComPort *, bool on) { log << QStringLiteral("linkCTS %1").arg(on); };
        link.OnLinkDSR
            = [&](TCustomComPort *, bool on) { log << QStringLiteral("linkDSR %1").arg(on); };
        link.OnLinkRLSD
            = [&](TCustomComPort *, bool on) { log << QStringLiteral("linkRLSD %1").arg(on); };
        m_port->OnCTSChange
            = [&](TCustomComPort *, bool on) { log << QStringLiteral("CTS %1").arg(on); };
        m_port->OnDSRChange
            = [&](TCustomComPort *, bool on) { log << QStringLiteral("DSR %1").arg(on); };
        m_port->OnRLSDChange
            = [&](TCustomComPort *, bool on) { log << QStringLiteral("RLSD %1").arg(on); };
        m_port->OnBeforeOpen = [&](TCustomComPort *) { log << QStringLiteral("beforeOpen"); };
        m_port->OnAfterOpen = [&](TCustomComPort *) { log << QStringLiteral("afterOpen"); };
        m_port->OnBeforeClose = [&](TCustomComPort *) { log << QStringLiteral("beforeClose"); };
        m_port->OnAfterClose = [&](TCustomComPort *) { log << QStringLiteral("afterClose"); };
        m_port->AttachLink(&link);
        openProgramPort();
        QCOMPARE(log.join(QLatin1Char(',')),
                 QStringLiteral("beforeOpen,link 1,afterOpen,linkCTS 0,CTS 0,linkDSR 0,DSR 0,"
                                "linkRLSD 0,RLSD 0"));
        log.clear();
        m_port->ClosePort();
        QCOMPARE(log.join(QLatin1Char(',')),
                 QStringLiteral("linkCTS 0,linkDSR 0,linkRLSD 0,CTS 0,DSR 0,RLSD 0,beforeClose,"
                                "link 0,afterClose"));
        m_port->DetachLink(&link);
    }

    void writeEndsWithTxEmpty()
    {
        openProgramPort();
        QStringList log;
        TComLink link;
        const auto closeGuard = closeAtEnd();
        link.OnLinkTxBusy
            = [&](TCustomComPort *, bool on) { log << QStringLiteral("busy %1").arg(on); };
        link.OnLinkTxEmpty = [&](TCustomComPort *) { log << QStringLiteral("linkEmpty"); };
        m_port->OnTxEmpty = [&](TCustomComPort *) { log << QStringLiteral("empty"); };
        m_port->AttachLink(&link);
        QCOMPARE(m_port->SendText("$HF\r\n"), 5);
        QTRY_COMPARE_WITH_TIMEOUT(log.join(QLatin1Char(',')),
                                  QStringLiteral("busy 1,busy 0,linkEmpty,empty"), 10000);
        m_port->DetachLink(&link);
    }

    void overflowReportsErrorBeforeBytes()
    {
        m_port->Buffer().setInputSize(16);
        openProgramPort();
        QStringList log;
        const auto closeGuard = closeAtEnd();
        m_port->OnError = [&](TCustomComPort *, TComErrors errors) {
            log << QStringLiteral("error %1").arg(errors.bits());
        };
        m_port->OnRxChar
            = [&](TCustomComPort *, int count) { log << QStringLiteral("rx %1").arg(count); };
        m_pty->send(std::string(40, 'x')); // one write: one arrival of 40 bytes
        QTRY_VERIFY_WITH_TIMEOUT(!log.isEmpty(), 10000);
        QTest::qWait(20);
        const QString overrun = QStringLiteral("error %1").arg(TComErrors { errRxOver }.bits());
        QCOMPARE(log, (QStringList { overrun, QStringLiteral("rx 16") }));
        QVERIFY(m_port->TakeLineErrors().isEmpty());
    }

    void burstsReachTheLinkAsTheStream()
    {
        openProgramPort();
        RecordingLink recorder;
        const auto closeGuard = closeAtEnd();
        m_port->AttachLink(&recorder.link);
        std::string stream;
        for (int burst = 0; burst < 20; ++burst) {
            std::string bytes(std::size_t(1 + burst % 11), '\0');
            for (std::size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = char(0xFF - burst - int(i)); // NUL and 0xFF included
            stream += bytes;
            m_pty->send(bytes);
            if (burst % 3 == 0)
                QTest::qWait(1);
        }
        QTRY_COMPARE_WITH_TIMEOUT(recorder.received.size(), qsizetype(stream.size()), 10000);
        QCOMPARE(recorder.received, QByteArray::fromStdString(stream));
        QTest::qWait(20);
        QCOMPARE(recorder.received.size(), qsizetype(stream.size())); // nothing repeated
        m_port->DetachLink(&recorder.link);
    }

    void twoLinksGetTheSameBlockInAttachOrder()
    {
        openProgramPort();
        QList<QPair<int, QByteArray>> log;
        RecordingLink first(&log, 1);
        RecordingLink second(&log, 2);
        int reads = 0;
        const auto closeGuard = closeAtEnd();
        m_port->OnRxBuf = [&](TCustomComPort *, const char *, int) { ++reads; };
        m_port->AttachLink(&first.link);
        m_port->AttachLink(&second.link);
        m_pty->send("0123456789");
        QTRY_COMPARE_WITH_TIMEOUT(second.received, QByteArray("0123456789"), 10000);
        QCOMPARE(log.size() % 2, 0);
        for (qsizetype i = 0; i < log.size(); i += 2) {
            QCOMPARE(log[i].first, 1);
            QCOMPARE(log[i + 1].first, 2);
            QCOMPARE(log[i].second, log[i + 1].second);
        }
        QCOMPARE(reads, int(log.size() / 2)); // one read per block
        m_port->DetachLink(&first.link);
        m_port->DetachLink(&second.link);
    }

    void withoutLinkBytesWaitAndCpuStaysIdle()
    {
        openProgramPort();
        int rxChar = 0;
        int lastCount = 0;
        RecordingLink recorder;
        const auto closeGuard = closeAtEnd();
        m_port->OnRxChar = [&](TCustomComPort *, int count) {
            ++rxChar;
            lastCount = count;
        };
        m_pty->send("old bytes");
        QTRY_COMPARE_WITH_TIMEOUT(lastCount, 9, 10000);
        QCOMPARE(m_port->PendingInput(), 9);
        // Unread bytes must not wake the event thread again and again.
        QVERIFY2(cpuShareWhileIdle(500) < 0.25, "CPU busy while bytes wait unread");
        const int rxCharAfter = rxChar;
        QTest::qWait(50);
        QCOMPARE(rxChar, rxCharAfter);

        m_port->PurgeBuffers(true, true);
        QCOMPARE(m_port->PendingInput(), 0);
        m_port->AttachLink(&recorder.link);
        m_pty->send("new");
        QTRY_COMPARE_WITH_TIMEOUT(recorder.received, QByteArray("new"), 10000);
        m_port->DetachLink(&recorder.link);
    }

    void closeRunsPendingDeliveryOnce()
    {
        openProgramPort();
        bool insideClose = false;
        QByteArray duringClose;
        QByteArray afterClose;
        TComLink link;
        const auto closeGuard = closeAtEnd();
        link.OnLinkRxBlock = [&](TCustomComPort *, const char *b, int n) {
            (insideClose ? duringClose : afterClose).append(b, n);
        };
        m_port->AttachLink(&link);
        m_pty->send("xyz");
        // Without running the event loop, so the hand-off stays pending.
        for (int i = 0; i < 10000 && !m_port->DeliveryPending(); ++i)
            std::this_thread::sleep_for(1ms);
        QVERIFY(m_port->DeliveryPending());
        insideClose = true;
        m_port->ClosePort();
        insideClose = false;
        QVERIFY(!m_port->Connected());
        QTest::qWait(50); // the queued hand-off must find nothing to run
        QCOMPARE(duringClose, QByteArray("xyz"));
        QCOMPARE(afterClose, QByteArray());
        m_port->DetachLink(&link);
    }

    void closeInsideDeliveryStopsIt()
    {
        openProgramPort();
        QByteArray second;
        TComLink closer;
        closer.OnLinkRxBlock = [&](TCustomComPort *port, const char *, int) { port->ClosePort(); };
        TComLink after;
        const auto closeGuard = closeAtEnd();
        after.OnLinkRxBlock = [&](TCustomComPort *, const char *b, int n) { second.append(b, n); };
        m_port->AttachLink(&closer);
        m_port->AttachLink(&after);
        m_pty->send("q");
        QTRY_VERIFY_WITH_TIMEOUT(!m_port->Connected(), 10000);
        QTest::qWait(20);
        QCOMPARE(second, QByteArray()); // no callback of the closed port
        QVERIFY(m_dialogs->errors().isEmpty());
        m_port->DetachLink(&closer);
        m_port->DetachLink(&after);
    }

    // A handler that runs an event loop of its own (a message box, say) must not be entered
    // again for the bytes that arrive meanwhile, nor keep the thread busy while they wait; they
    // come in the next batch, after it returns, in order.
    void nestedEventLoopInHandlerGetsNoNestedBatch()
    {
        openProgramPort();
        QByteArray received;
        int depth = 0;
        int deepest = 0;
        double nestedCpuShare = 0;
        TComLink link;
        const auto closeGuard = closeAtEnd();
        link.OnLinkRxBlock = [&](TCustomComPort *, const char *b, int n) {
            received.append(b, n);
            deepest = std::max(deepest, ++depth);
            if (received == "a") {
                m_pty->send("bc");
                nestedCpuShare = cpuShareWhileIdle(400);
            }
            --depth;
        };
        m_port->AttachLink(&link);
        m_pty->send("a");
        QTRY_COMPARE_WITH_TIMEOUT(received, QByteArray("abc"), 10000);
        QCOMPARE(deepest, 1);
        QVERIFY2(nestedCpuShare < 0.25, "CPU busy while a batch waits for the handler");
        m_pty->send("d");
        QTRY_COMPARE_WITH_TIMEOUT(received, QByteArray("abcd"), 10000);
        m_port->DetachLink(&link);
    }

    void throwingHandlerDoesNotStopDelivery()
    {
        openProgramPort();
        QByteArray received;
        TComLink link;
        const auto closeGuard = closeAtEnd();
        link.OnLinkRxBlock = [&](TCustomComPort *, const char *b, int n) {
            received.append(b, n);
            throw ZephulError(QStringLiteral("Écriture impossible : disque plein"));
        };
        m_port->AttachLink(&link);
        m_pty->send("a");
        QTRY_COMPARE_WITH_TIMEOUT(received, QByteArray("a"), 10000);
        m_pty->send("b");
        QTRY_COMPARE_WITH_TIMEOUT(received, QByteArray("ab"), 10000);
        QTest::qWait(0);
        // Shown after the delivery, once per reception.
        QCOMPARE(m_dialogs->errors(),
                 QStringList { QStringLiteral("Écriture impossible : disque plein") });
        m_port->DetachLink(&link);
    }

    void deviceLost_data()
    {
        QTest::addColumn<bool>("handler");
        QTest::newRow("OnDeviceLost") << true;
        QTest::newRow("error box") << false;
    }
    void deviceLost()
    {
        QFETCH(bool, handler);
        openProgramPort();
        int lost = 0;
        bool connectedInHandler = true;
        int closed = 0;
        const auto closeGuard = closeAtEnd();
        if (handler) {
            m_port->OnDeviceLost = [&](TCustomComPort *port) {
                ++lost;
                connectedInHandler = port->Connected();
            };
        }
        m_port->OnAfterClose = [&](TCustomComPort *) { ++closed; };
        m_pty->closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!m_port->Connected(), 10000);
        QCOMPARE(closed, 1);
        QVERIFY2(cpuShareWhileIdle(500) < 0.25, "CPU busy after the device was lost");
        if (handler) {
            QCOMPARE(lost, 1);
            QVERIFY(!connectedInHandler);
            QVERIFY(m_dialogs->errors().isEmpty());
        } else {
            QCOMPARE(
                m_dialogs->errors(),
                QStringList {
                    QStringLiteral("Le port série du récepteur (%1) a été perdu.").arg(slave()) });
        }
    }

    void deliveryOnTheEventThread()
    {
        m_port->setSyncMethod(smNone);
        std::atomic<bool> onOtherThread = false;
        std::atomic<int> count = 0;
        const auto gui = std::this_thread::get_id();
        TComLink link;
        const auto closeGuard = closeAtEnd();
        link.OnLinkRxBlock = [&](TCustomComPort *, const char *, int n) {
            onOtherThread = std::this_thread::get_id() != gui;
            count += n;
        };
        // Attached before the thread starts: on the event thread the port takes no lock.
        m_port->AttachLink(&link);
        openProgramPort();
        m_pty->send("abc");
        QTRY_COMPARE_WITH_TIMEOUT(count.load(), 3, 10000);
        QVERIFY(onOtherThread);
        m_port->ClosePort();
        m_port->DetachLink(&link);
    }

    void freeNotification()
    {
        int notified = 0;
        int owner = 0;
        auto port = std::make_unique<TComPort>();
        port->FreeNotification(&owner, [&] { ++notified; });
        port->FreeNotification(&owner, [&] { notified += 10; }); // replaces
        port.reset();
        QCOMPARE(notified, 10);
    }
};

QTEST_GUILESS_MAIN(TestTComPort)
#include "tst_tcomport.moc"
