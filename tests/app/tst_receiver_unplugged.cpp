// The receiver's cable comes loose and goes back. A pseudo-terminal whose master closes, and a new
// one published under the same name, stand in for a USB adapter pulled out and plugged back in.
#include "flightmodel.h"
#include "manualflightclock.h"
#include "receiverport.h"
#include "receiverwatch.h"
#include "recordlines.h"
#include "scripteduserdialogs.h"
#include "tcomdatapacket.h"
#include "tcomport.h"
#include "zephulwindows.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

QByteArray frame(int level)
{
    return FlightModel::lineFrame({ level, 50, 0, 0, 0, 0, 0, 0 }, 130);
}

QAction *portItem(TZephulF *w, const QString &name)
{
    for (QAction *item : w->PortItems)
        if (item->text() == name)
            return item;
    return nullptr;
}

bool receiverMenus(TZephulF *w)
{
    return w->Frequence->menuAction()->isEnabled() && w->Hautparleur1->menuAction()->isEnabled()
        && w->Scanner1->isEnabled();
}

bool receivingMenus(TZephulF *w)
{
    return !w->DemarrerM->isEnabled() && w->ArreterM->isEnabled()
        && !w->FichierM->menuAction()->isEnabled() && !w->ParametresM->menuAction()->isEnabled();
}

} // namespace

class TestReceiverUnplugged : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ManualFlightClock m_clock { 2'000'000 };
    std::int64_t m_packets = 0;

    std::unique_ptr<ZephulWindows> open(ReceiverPort &port)
    {
        QFile::remove(m_dir.filePath("zephul.ini"));
        auto windows = std::make_unique<ZephulWindows>(m_dir.filePath("zephul.ini"));
        TZephulF *w = windows->ZephulF();
        w->Timer_APropos->stop();
        w->setFlightClock(m_clock);
        portItem(w, port.name())->trigger();
        return w->ComPort->Connected() ? std::move(windows) : nullptr;
    }

    void startReception(TZephulF *w, ScriptedUserDialogs &dialogs)
    {
        dialogs.answerFile(m_dir.filePath(QStringLiteral("vol")));
        w->NouvFichierM->trigger();
        w->DemarrerM->trigger();
        w->Timer_Paquet->setInterval(24 * 3600 * 1000); // the test releases the lock
        auto original = w->ComPaquetTuvo->OnPacket;
        w->ComPaquetTuvo->OnPacket = [this, original](TComDataPacket *s, const QByteArray &p) {
            ++m_packets;
            original(s, p);
        };
    }

    // One measurement at flight time ms (from the first), handled before this returns.
    bool measurement(TZephulF *w, ReceiverPort &port, std::int64_t t0, std::int64_t ms, int level)
    {
        m_clock.set(t0 + ms);
        w->Timer_PaquetTimer();
        const std::int64_t expected = m_packets + 1;
        port.send(frame(level));
        return QTest::qWaitFor([&] { return m_packets >= expected; }, 10000);
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        m_packets = 0;
        QFile::remove(m_dir.filePath("vol.txt"));
        QFile::remove(m_dir.filePath("secours.zephul"));
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // Frames before the loss, a gap, frames after the return: one reception, one chart, one
    // header, the chronometer running on.
    void lossAndReturnDuringAReception()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open(port);
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        startReception(w, dialogs);
        const std::int64_t t0 = m_clock.nowMs();
        for (int i = 0; i < 5; ++i)
            QVERIFY(measurement(w, port, t0, i * 1770, 100 + i));
        QCOMPARE(w->AcceptedFrameCount, 5);
        const int chartX = w->Chart.PlotX();

        port.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!w->ComPort->Connected(), 10000);
        QCOMPARE(w->Status, 10);
        QVERIFY(receivingMenus(w));
        QVERIFY(!receiverMenus(w));
        QVERIFY(w->Record.RunOpen);
        QVERIFY(w->ReceiverWatcher->isWatching());
        QVERIFY(w->RecepteurL->isVisibleTo(w));
        const QRegularExpression lost(
            QStringLiteral("^Récepteur débranché à \\d\\d:\\d\\d:\\d\\d : la réception reprendra "
                           "dès son retour\\.$"));
        QVERIFY2(lost.match(w->RecepteurL->toolTip()).hasMatch(),
                 qPrintable(w->RecepteurL->toolTip()));
        QCOMPARE(w->RecepteurL->palette().color(QPalette::WindowText), QColor(Qt::red));
        QVERIFY(dialogs.errors().isEmpty()); // no modal box
        // The flight goes on meanwhile: the watchdog shows the lost link as for any silence.
        m_clock.set(t0 + 20000);
        w->Timer_DonneesTimer();
        w->Timer_DonneesTimer();
        QVERIFY(w->TuvoNo->isVisibleTo(w));
        QCOMPARE(w->AcceptedFrameCount, 5);
        const QImage away = w->grab().toImage();

        port.plugBackIn();
        QTRY_VERIFY_WITH_TIMEOUT(w->ComPort->Connected(), 10000);
        QVERIFY(!w->ReceiverWatcher->isWatching());
        QVERIFY(receiverMenus(w));
        QVERIFY(receivingMenus(w));
        const QRegularExpression back(QStringLiteral(
            "^Récepteur rebranché à \\d\\d:\\d\\d:\\d\\d : la réception continue\\.$"));
        QVERIFY2(back.match(w->RecepteurL->toolTip()).hasMatch(),
                 qPrintable(w->RecepteurL->toolTip()));
        QCOMPARE(port.stray(), QByteArray()); // nothing sent: the receiver kept its tuning
        QCOMPARE(w->ComPaquetTuvo->ComPort(), w->ComPort);
        for (int i = 0; i < 3; ++i)
            QVERIFY(measurement(w, port, t0, 30000 + i * 1770, 150 + i));
        QCOMPARE(w->AcceptedFrameCount, 8);
        QVERIFY(w->Chart.PlotX() > chartX);

        const QStringList lines = RecordLines::all(m_dir.filePath("vol.txt"));
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines.filter(QStringLiteral("Date;Heure;Chrono;")).size(), 1);
        QCOMPARE(lines[5].section(u';', 2, 2), "00:00:07");
        QCOMPARE(lines[6].section(u';', 2, 2), "00:00:30");
        QCOMPARE(lines[8].section(u';', 2, 2), "00:00:33");
        QCOMPARE(RecordLines::all(m_dir.filePath("secours.zephul")), lines);
        QVERIFY(dialogs.errors().isEmpty());
        // Set ZEPHUL_SCREENSHOT_DIR to keep the window while the receiver was away and once it
        // was back, one above the other.
        const QString dir = qEnvironmentVariable("ZEPHUL_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            const QImage backShot = w->grab().toImage();
            QImage both(away.width(), away.height() + backShot.height(), QImage::Format_RGB32);
            QPainter painter(&both);
            painter.drawImage(0, 0, away);
            painter.drawImage(0, away.height(), backShot);
            painter.end();
            QVERIFY(both.save(dir + QStringLiteral("/receiver-unplugged.png")));
        }
        // Closed while the receiver is there again, or not: as any close.
        port.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(w->ReceiverWatcher->isWatching(), 10000);
        QVERIFY(w->close());
    }

    // "Arrêter" while the receiver is away ends the reception and the watch.
    void stopWhileAway()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open(port);
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        startReception(w, dialogs);
        port.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(w->ReceiverWatcher->isWatching(), 10000);
        w->ArreterM->trigger();
        QCOMPARE(w->Status, 0);
        QVERIFY(!w->ReceiverWatcher->isWatching());
        QVERIFY(!w->RecepteurL->isVisibleTo(w));
        QVERIFY(!portItem(w, port.name())->isChecked());
        QVERIFY(!receiverMenus(w));
        QCOMPARE(w->PortName, port.name());
        QVERIFY(w->DemarrerM->isEnabled());
        port.plugBackIn();
        QTest::qWait(3 * ReceiverWatch::IntervalMs);
        QVERIFY(!w->ComPort->Connected());
        QVERIFY(dialogs.errors().isEmpty());
    }

    // While idle, a lost receiver is reported once and unchosen; its name is kept.
    void idleLoss()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open(port);
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        port.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!w->ComPort->Connected(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(
            dialogs.errors(),
            QStringList {
                QStringLiteral("Le port série du récepteur (%1) a été perdu.").arg(port.name()) },
            5000);
        QVERIFY(!w->ReceiverWatcher->isWatching());
        QVERIFY(!portItem(w, port.name())->isChecked());
        QVERIFY(!receiverMenus(w));
        QCOMPARE(w->PortName, port.name());
        QVERIFY(!w->RecepteurL->isVisibleTo(w));
        QTest::qWait(100);
        QCOMPARE(dialogs.errors().size(), 1);
    }

    // "Port serie" is listed afresh each time it opens: a port published after start-up is
    // offered, one that went is not, the open one stays checked.
    void portMenuFollowsTheMachine()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort chosen;
        const auto windows = open(chosen);
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        auto later = std::make_unique<ReceiverPort>();
        QVERIFY(!portItem(w, later->name()));
        emit w->ParametresM->aboutToShow();
        QVERIFY(portItem(w, later->name()));
        QVERIFY(portItem(w, chosen.name())->isChecked());
        QVERIFY(!portItem(w, later->name())->isChecked());
        QStringList names;
        for (QAction *item : w->PortItems)
            names << item->text();
        QStringList sorted = names;
        std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
            return QString::localeAwareCompare(a.toLower(), b.toLower()) < 0;
        });
        QCOMPARE(names, sorted);
        const QString laterName = later->name();
        later.reset();
        emit w->ParametresM->aboutToShow();
        QVERIFY(!portItem(w, laterName));
        QVERIFY(portItem(w, chosen.name())->isChecked());
        // The new items work as the old ones did.
        auto another = std::make_unique<ReceiverPort>();
        emit w->ParametresM->aboutToShow();
        portItem(w, another->name())->trigger();
        QVERIFY(w->ComPort->Connected());
        QCOMPARE(w->ComPort->Port(), another->name());
        QVERIFY(portItem(w, another->name())->isChecked());
        QVERIFY(!portItem(w, chosen.name())->isChecked());
    }
};

QTEST_MAIN(TestReceiverUnplugged)
#include "tst_receiver_unplugged.moc"
