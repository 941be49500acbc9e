// Rocket reception end to end: frames through a pseudo-terminal into the real window, on a flight
// clock the test sets; both record files compared with what the bytes and times should give.
#include "flightmodel.h"
#include "manualflightclock.h"
#include "receiverport.h"
#include "recordlines.h"
#include "scripteduserdialogs.h"
#include "tcomdatapacket.h"
#include "tcomport.h"
#include "zephulwindows.h"

#include <QAction>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

QByteArray lineFrame(const std::array<int, 8> &channels, int battery, int checkDelta = 0)
{
    return FlightModel::lineFrame(channels, battery, checkDelta);
}

} // namespace

class TestRocketReception : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ManualFlightClock m_clock { 5'000'000 };
    std::int64_t m_packets = 0;

    std::unique_ptr<ZephulWindows> start(ReceiverPort &port, ScriptedUserDialogs &dialogs)
    {
        auto windows = std::make_unique<ZephulWindows>(m_dir.filePath("zephul.ini"));
        TZephulF *w = windows->ZephulF();
        w->Timer_APropos->stop();
        w->flightMode = FlightMode::FUSEE;
        w->setFlightClock(m_clock);
        for (QAction *item : w->PortItems)
            if (item->text() == port.name())
                item->trigger();
        if (!w->ComPort->Connected())
            return nullptr;
        dialogs.answerFile(m_dir.filePath(QStringLiteral("fusee")));
        w->NouvFichierM->trigger();
        w->DemarrerM->trigger();
        auto original = w->ComDataSolo->OnPacket;
        w->ComDataSolo->OnPacket = [this, original](TComDataPacket *s, const QByteArray &p) {
            ++m_packets;
            original(s, p);
        };
        return windows;
    }

    bool deliver(ReceiverPort &port, const QByteArray &bytes, int packets)
    {
        const std::int64_t expected = m_packets + packets;
        port.send(bytes);
        if (packets == 0)
            return true;
        return QTest::qWaitFor([&] { return m_packets >= expected; }, 10000)
            && m_packets == expected;
    }

    QString recordPath() const { return m_dir.filePath("fusee.txt"); }
    QString backupPath() const { return m_dir.filePath("secours.zephul"); }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        m_packets = 0;
        QFile::remove(recordPath());
        QFile::remove(backupPath());
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // A rocket flight of some 400 frames: a launch transient, bad check bytes, lost bytes, noise,
    // a silence, frames closer than their period and a channel hidden for a while.
    void wholeFlight()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = start(port, dialogs);
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        QCOMPARE(w->Label_Chrono->text(), "00:00.000");
        FlightModel model(FlightModel::Mode::Rocket);
        QRandomGenerator random(20261209);
        const std::int64_t t0 = m_clock.nowMs();
        const auto send = [&](std::int64_t t, const QByteArray &bytes) {
            m_clock.set(t0 + t);
            return deliver(port, bytes, model.receive(t, bytes));
        };

        for (int i = 0; i < 400; ++i) {
            const std::int64_t t = i * 460 + std::int64_t(random.bounded(40u));
            if (i >= 150 && i < 165)
                continue; // loss of signal
            if (i == 200) {
                w->Channels.channel(5).Shown = false;
                model.setShown(5, false);
            }
            if (i == 260) {
                w->Channels.channel(5).Shown = true;
                model.setShown(5, true);
            }
            std::array<int, 8> channels;
            for (int n = 1; n <= 8; ++n) {
                // The launch: every channel jumps for a couple of seconds.
                const int transient = i >= 20 && i < 25 ? 90 : 0;
                channels[n - 1] = (i * (n + 5) + n * 17 + transient) % 256;
            }
            if (i % 11 == 6)
                channels[2] = 255; // a data byte that looks like a start byte
            const int battery = 160 - i / 8;
            QByteArray bytes = lineFrame(channels, battery, i % 17 == 5 ? 2 : 0);
            if (i % 19 == 3)
                bytes.remove(6, 1); // a byte lost: the framer cuts across two frames
            if (i % 13 == 2) {
                QByteArray noise;
                for (quint32 k = 0; k <= random.bounded(3u); ++k)
                    noise += char(random.bounded(256u));
                bytes.prepend(noise);
            }
            QVERIFY2(send(t, bytes), qPrintable(QStringLiteral("frame %1").arg(i)));
            if (i % 23 == 7) // a second frame 100 ms later: taken as well
                QVERIFY2(send(t + 100, lineFrame(channels, battery)),
                         qPrintable(QStringLiteral("extra frame %1").arg(i)));
        }
        const QString txVol = w->TxVolL->text();
        w->ArreterM->trigger();
        QVERIFY(dialogs.errors().isEmpty());

        QVERIFY2(model.lines().size() > 300, qPrintable(QString::number(model.lines().size())));
        QVERIFY(model.badPackets() > 20);
        QCOMPARE(model.ignoredPackets(), 0);
        QCOMPARE(RecordLines::contents(recordPath()), RecordLines::contents(backupPath()));
        const QStringList lines = RecordLines::data(recordPath());
        QCOMPARE(lines.size(), model.lines().size());
        const QDate d = QDate::currentDate();
        const QString date = QStringLiteral("%1/%2/%3;").arg(d.day()).arg(d.month()).arg(d.year());
        const QRegularExpression clock(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
        for (int k = 0; k < lines.size(); ++k) {
            const QString &line = lines.at(k);
            QVERIFY2(line.startsWith(date), qPrintable(line));
            QVERIFY2(clock.match(line.section(u';', 1, 1)).hasMatch(), qPrintable(line));
            QCOMPARE(line.section(u';', 2), model.lines().at(k).tail());
        }
        QCOMPARE(w->AcceptedFrameCount, std::int32_t(model.lines().size()));
        QCOMPARE(w->Samples->slotTime(w->AcceptedFrameCount),
                 std::int32_t(model.lines().last().elapsedMs));
        // The last frame's figure: frames x 46000 / elapsed ms, capped at 100.
        const double expected = std::min(
            100.0, model.lines().size() * 46000.0 / double(model.lines().last().elapsedMs));
        QCOMPARE(txVol, QLocale().toString(expected, 'f', 1));
    }
};

QTEST_MAIN(TestRocketReception)
#include "tst_rocket_reception.moc"
