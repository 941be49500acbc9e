#include "batterycurve.h"
#include "channeltable.h"
#include "chronotext.h"
#include "framearithmetic.h"
#include "framedecoder.h"
#include "gauge.h"
#include "samplestore.h"
#include "stripchart.h"
#include "zephulerror.h"

#include <QLabel>
#include <QLocale>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <memory>

namespace {

// A frame as the framer hands it over (no 0xFF), channels 1..8 given in that order.
QByteArray frame(std::array<int, 8> channels, int battery, int checkDelta = 0)
{
    QByteArray data(10, '\0');
    int sum = battery;
    for (int n = 1; n <= 8; ++n) {
        data[8 - n] = char(channels[n - 1]);
        sum += channels[n - 1];
    }
    data[8] = char(battery);
    data[9] = char((sum % 256) / 2 + checkDelta);
    return data;
}

QByteArray goodFrame(int level = 120, int battery = 130)
{
    return frame({ level, 100, 0, 0, 0, 0, 0, 0 }, battery);
}

QByteArray badFrame()
{
    return frame({ 1, 2, 3, 4, 5, 6, 7, 8 }, 130, 1);
}

// The main window's parts, with a chronometer on a settable flight time.
struct Window
{
    FlightMode mode;
    QWidget root;
    QLabel *chrono = new QLabel(QString::fromLatin1(ChronoText::designText), &root);
    QLabel *clock = new QLabel(QStringLiteral("14:35:40"), &root);
    QLabel *nbTrames = new QLabel(QStringLiteral("0"), &root);
    QLabel *alim = new QLabel(&root);
    QLabel *txVol = new QLabel(QStringLiteral("100.0"), &root);
    QLabel *tx1mn = new QLabel(QStringLiteral("----"), &root);
    Gauge *tramesG = new Gauge(&root);
    Gauge *pileG = new Gauge(&root);
    QWidget *tuvoOk = new QWidget(&root);
    QWidget *tuvoNo = new QWidget(&root);
    QTimer *timerPaquet = new QTimer(&root);
    QTimer *timerStat = new QTimer(&root);
    QTimer *timerStatSolo = new QTimer(&root);
    ChannelTable channels;
    StripChart chart { 255 };
    std::unique_ptr<SampleStore> samples = std::make_unique<SampleStore>();
    BatteryCurve battery;
    std::int32_t accepted = 0;
    std::int32_t divider = 0;
    bool dataSeen = false;
    bool chronoPending = true;
    bool running = false;
    std::int64_t nowMs = 0;
    std::int64_t startMs = 0;
    QStringList lines;
    QString failWith; // appendRecordLine throws this when not empty
    std::unique_ptr<FrameDecoder> decoder;

    explicit Window(FlightMode flightMode = FlightMode::BALLON)
        : mode(flightMode)
    {
        tramesG->setRange(0, 3);
        pileG->setRange(0, 100);
        timerPaquet->setInterval(900);
        timerStat->setInterval(1000);
        for (int n = 1; n <= 8; ++n)
            channels.channel(n).ValueLabel = new QLabel(QStringLiteral("0,00"), &root);
        FrameDecoder::MainWindowParts p;
        p.flightMode = &mode;
        p.Label_Chrono = chrono;
        p.Label_Horloge = clock;
        p.NbTramesL = nbTrames;
        p.AlimL = alim;
        p.TxVolL = txVol;
        p.Tx1mnL = tx1mn;
        p.TramesG = tramesG;
        p.PileG = pileG;
        p.TuvoOk = tuvoOk;
        p.TuvoNo = tuvoNo;
        p.Timer_Paquet = timerPaquet;
        p.Timer_Stat = timerStat;
        p.Timer_StatSolo = timerStatSolo;
        p.Channels = &channels;
        p.Chart = &chart;
        p.Samples = samples.get();
        p.Battery = &battery;
        p.AcceptedFrameCount = &accepted;
        p.BatteryCurveDivider = &divider;
        p.DataSeen = &dataSeen;
        p.ChronoPending = &chronoPending;
        p.refreshChrono = [this] {
            if (running)
                chrono->setText(ChronoText::runningText(mode, nowMs - startMs));
        };
        p.startChronometer = [this] {
            chrono->setText(ChronoText::zeroText(mode));
            running = true;
            startMs = nowMs;
            chronoPending = false;
        };
        p.plotChannel = [this](int n, int b) {
            chart.plot(channels.channel(n).PrevSample, b, QColor(Qt::red), mode);
        };
        p.endChartFrame = [this] { chart.endFrame(); };
        p.showBatteryCurve = [] {};
        p.datePrefix = [] { return QStringLiteral("5/3/2014;"); };
        p.appendRecordLine = [this](const QString &line) {
            if (!failWith.isEmpty())
                throw ZephulError(failWith);
            lines << line;
        };
        decoder = std::make_unique<FrameDecoder>(p);
        chrono->setText(ChronoText::startText(mode));
    }

    // Flight time since the first accepted frame, in ms.
    void at(std::int64_t flightMs) { nowMs = startMs + flightMs; }
    // The frame goes to the decoder of the window's mode.
    void receive(const QByteArray &data)
    {
        if (mode == FlightMode::FUSEE)
            decoder->ComDataSoloPacket(nullptr, data);
        else
            decoder->ComPaquetTuvoPacket(nullptr, data);
    }
    // Receives and lets Timer_Paquet release the lock as it would 900 ms later.
    void accept(const QByteArray &data)
    {
        receive(data);
        decoder->Timer_PaquetTimer();
    }
    bool linkOk() const { return !tuvoOk->isHidden() && tuvoNo->isHidden(); }
    bool linkLost() const { return tuvoOk->isHidden() && !tuvoNo->isHidden(); }
};

} // namespace

class TestFrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void firstFrame()
    {
        Window w;
        w.nowMs = 123456; // the flight clock's origin is arbitrary
        w.receive(goodFrame(255, 130));
        QCOMPARE(w.accepted, 1);
        QCOMPARE(w.nbTrames->text(), "1");
        QVERIFY(!w.chronoPending);
        QCOMPARE(w.samples->slotTime(1), 0);
        QCOMPARE(w.samples->slotBytes(1)[7], 255); // channel 1
        // Drawn at x = 1 with a one-pixel dash from x = 0, on the top row (byte 255).
        QCOMPARE(w.chart.PlotX(), 1);
        QCOMPARE(w.chart.image().pixel(0, 0), QColor(Qt::red).rgb());
        QCOMPARE(w.channels.channel(1).ValueLabel->text(), "5,00");
        QCOMPARE(w.alim->text(), "9,0V");
        QCOMPARE(w.pileG->progress(), 100);
        QCOMPARE(w.tramesG->progress(), 3);
        QVERIFY(w.linkOk());
        QCOMPARE(w.txVol->text(), "100.0");
        QCOMPARE(w.tx1mn->text(), "-----");
        QCOMPARE(w.lines,
                 QStringList { "5/3/2014;14:35:40;00:00:00;5,00;1,96;0,00;0,00;0,00;0,00;0,00;"
                               "0,00;9,00" });
        QVERIFY(w.timerPaquet->isActive());
        QVERIFY(w.decoder->DuplicateLock);
    }

    void repeatLock()
    {
        Window w;
        w.receive(goodFrame());
        w.at(500);
        w.receive(goodFrame(50));
        // Ignored: only the gauge and the frame count since the last accepted one move.
        QCOMPARE(w.accepted, 1);
        QCOMPARE(w.lines.size(), 1);
        QCOMPARE(w.channels.channel(1).ValueLabel->text(), "2,35");
        QCOMPARE(w.tramesG->progress(), 0);
        QCOMPARE(w.decoder->FramesSinceAccepted, 1);
        // Timer_Paquet fires at 900 ms; the frame at 950 ms is accepted.
        w.decoder->Timer_PaquetTimer();
        w.at(950);
        w.receive(goodFrame(50));
        QCOMPARE(w.accepted, 2);
        QCOMPARE(w.channels.channel(1).ValueLabel->text(), "0,98");
        QCOMPARE(w.lines.size(), 2);
    }

    void lossOnTheThirdBadFrame()
    {
        Window w;
        for (int i = 0; i < 10; ++i) {
            w.at(i * 2000);
            w.accept(goodFrame());
        }
        w.txVol->setText(QStringLiteral("marker"));
        w.at(20000);
        w.receive(badFrame());
        w.receive(badFrame());
        QCOMPARE(w.tramesG->progress(), 1);
        QVERIFY(w.linkOk());
        QVERIFY(!w.timerStat->isActive());
        QCOMPARE(w.txVol->text(), "marker");
        QCOMPARE(w.channels.channel(1).PrevSample, 120);
        w.receive(badFrame());
        QCOMPARE(w.tramesG->progress(), 2);
        QVERIFY(w.linkLost());
        QVERIFY(w.timerStat->isActive());
        QCOMPARE(w.txVol->text(), "90,9"); // 10 frames, T = Trunc(20 / 1.77) = 11
        for (int n = 1; n <= 8; ++n)
            QCOMPARE(w.channels.channel(n).PrevSample, -1);
        // The fourth does nothing more.
        w.txVol->setText(QStringLiteral("marker"));
        w.tuvoNo->hide();
        w.receive(badFrame());
        QCOMPARE(w.tramesG->progress(), 3);
        QCOMPARE(w.txVol->text(), "marker");
        QVERIFY(w.tuvoNo->isHidden());
        // Timer_Stat lowers the figures while the link is lost, the next frame holds them.
        w.at(22000);
        w.decoder->Timer_StatTimer();
        QCOMPARE(w.txVol->text(), "83,3");
        w.at(24000);
        w.receive(goodFrame());
        QVERIFY(!w.timerStat->isActive());
        QCOMPARE(w.txVol->text(), "84,6"); // 11 frames, T = 13
        QVERIFY(w.linkOk());
    }

    void hiddenChannelRepeatsItsText()
    {
        Window w;
        w.accept(goodFrame(120));
        w.channels.channel(1).Shown = false;
        w.at(2000);
        w.accept(goodFrame(0));
        QCOMPARE(w.channels.channel(1).ValueLabel->text(), "2,35");
        QCOMPARE(w.channels.channel(1).PrevSample, 120);
        QCOMPARE(w.lines.at(1).section(u';', 3, 3), "2,35");
        QCOMPARE(w.lines.at(1).section(u';', 2, 2), "00:00:02");
    }

    void batteryCurveEveryTenthFrame()
    {
        Window w;
        for (int i = 0; i < 25; ++i) {
            w.at(i * 2000);
            w.accept(goodFrame(120, 130 - i));
        }
        QCOMPARE(w.battery.BatteryCurveX(), 2);
        QCOMPARE(w.divider, 5);
        // The last battery byte 106 reads (106 + 14) / 16 = 7.5 V, 83 % of the 9.0 V maximum.
        QCOMPARE(w.pileG->progress(), 83);
    }

    void recordLineFailure()
    {
        Window w;
        w.accept(goodFrame());
        w.failWith = QStringLiteral("Disque plein");
        w.at(2000);
        w.txVol->setText(QStringLiteral("marker"));
        w.timerPaquet->stop(); // to see the failing frame start it again
        QVERIFY_THROWS_EXCEPTION(ZephulError, w.receive(goodFrame(50)));
        // The earlier steps stay done, the statistics are skipped, and the lock still goes
        // 900 ms later.
        QCOMPARE(w.accepted, 2);
        QCOMPARE(w.channels.channel(1).ValueLabel->text(), "0,98");
        QCOMPARE(w.txVol->text(), "marker");
        QVERIFY(w.timerPaquet->isActive());
        w.failWith.clear();
        w.decoder->Timer_PaquetTimer();
        w.at(2950);
        w.receive(goodFrame(60));
        QCOMPARE(w.accepted, 3);
        QCOMPARE(w.lines.size(), 2);
    }

    void unreadableChronometer()
    {
        Window w;
        w.accept(goodFrame());
        w.running = false; // nothing rewrites the label now
        w.chrono->setText(QStringLiteral("ab:cd:ef"));
        w.dataSeen = false;
        QVERIFY_THROWS_EXCEPTION(ZephulError, w.receive(goodFrame()));
        QVERIFY(w.dataSeen);
        QCOMPARE(w.accepted, 1);
        QCOMPARE(w.decoder->FramesSinceAccepted, 0);
    }

    void dataWatchdog()
    {
        Window w;
        w.accept(goodFrame());
        w.decoder->Timer_DonneesTimer(); // a frame came in this period
        QVERIFY(w.linkOk());
        QVERIFY(!w.dataSeen);
        w.decoder->Timer_DonneesTimer(); // silence
        QVERIFY(w.linkLost());
        QCOMPARE(w.txVol->text(), "100.0"); // the figures keep their values
    }

    void rocketFrameTimeAndPlace()
    {
        Window w(FlightMode::FUSEE);
        w.nowMs = 5000;
        w.tramesG->setProgress(2); // the frame gauge is balloon only: nothing moves it
        w.receive(goodFrame(255));
        QCOMPARE(w.chrono->text(), "00:00.000");
        QCOMPARE(w.samples->slotTime(1), 0);
        QCOMPARE(w.chart.PlotX(), 1);
        // A new line starts with a twelve-pixel dash ending at x = 1 (the end not painted).
        QCOMPARE(w.chart.image().pixel(0, 0), QColor(Qt::red).rgb());
        QCOMPARE(w.lines.at(0).section(u';', 2, 2), "0");
        // Read back from 01:02.345.
        w.at(62345);
        w.receive(goodFrame(120));
        QCOMPARE(w.samples->slotTime(2), 62345);
        QCOMPARE(w.chart.PlotX(), 749); // Round(748.14) + 1
        QCOMPARE(w.lines.at(1),
                 "5/3/2014;14:35:40;62345;2,35;1,96;0,00;0,00;0,00;0,00;0,00;0,00;9,00");
        // No repeat lock: a good frame 100 ms later is taken as well.
        w.at(62445);
        w.receive(goodFrame(50));
        QCOMPARE(w.accepted, 3);
        QCOMPARE(w.lines.size(), 3);
        QCOMPARE(w.chart.PlotX(), 750); // 749.34
        QVERIFY(!w.decoder->DuplicateLock);
        QVERIFY(!w.timerPaquet->isActive());
        QCOMPARE(w.tramesG->progress(), 2);
    }

    void rocketTxVol_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("lastMs");
        QTest::addColumn<QString>("shown");
        QTest::newRow("10 frames at 5 s") << 10 << 5000 << "92,0";
        QTest::newRow("11 frames at 5 s, capped") << 11 << 5000 << "100,0";
        QTest::newRow("5 frames at 5 s") << 5 << 5000 << "46,0";
        QTest::newRow("below 460 ms, the literal") << 3 << 459 << "100.0";
        QTest::newRow("at 460 ms") << 2 << 460 << "100,0";
        QTest::newRow("2 frames at 1 s") << 2 << 1000 << "92,0";
    }
    void rocketTxVol()
    {
        QFETCH(int, frames);
        QFETCH(int, lastMs);
        QFETCH(QString, shown);
        Window w(FlightMode::FUSEE);
        w.receive(goodFrame());
        for (int i = 1; i < frames; ++i) {
            w.at(std::int64_t(lastMs) * i / (frames - 1));
            w.receive(goodFrame());
        }
        QCOMPARE(w.accepted, frames);
        QCOMPARE(w.txVol->text(), shown);
    }

    void rocketEveryBadFrameIsALoss_data()
    {
        QTest::addColumn<int>("lossMs");
        QTest::addColumn<QString>("atOnce");
        QTest::addColumn<int>("tickMs");
        QTest::addColumn<QString>("onTick");
        // 5 frames; Timer_StatSolo expects one every 400 ms and counts whole intervals.
        QTest::newRow("00:02.000") << 2000 << "100,0" << 2500 << "83,3";
        QTest::newRow("00:00.300") << 300 << "100.0" << 800 << "100,0";
        QTest::newRow("00:04.000") << 4000 << "50,0" << 4400 << "45,5";
    }
    void rocketEveryBadFrameIsALoss()
    {
        QFETCH(int, lossMs);
        QFETCH(QString, atOnce);
        QFETCH(int, tickMs);
        QFETCH(QString, onTick);
        Window w(FlightMode::FUSEE);
        for (int i = 0; i < 5; ++i) {
            w.at(i * 50);
            w.receive(goodFrame());
        }
        QVERIFY(w.linkOk());
        w.at(lossMs);
        w.receive(badFrame());
        QVERIFY(w.linkLost());
        QCOMPARE(w.txVol->text(), atOnce);
        QVERIFY(w.timerStatSolo->isActive());
        for (int n = 1; n <= 8; ++n)
            QCOMPARE(w.channels.channel(n).PrevSample, -1);
        w.at(tickMs);
        w.decoder->Timer_StatSoloTimer();
        QCOMPARE(w.txVol->text(), onTick);
        // A second bad frame is a loss again; the timer keeps running.
        w.tuvoNo->hide();
        w.receive(badFrame());
        QVERIFY(!w.tuvoNo->isHidden());
        QVERIFY(w.timerStatSolo->isActive());
        // The next good frame ends the loss and starts every shown line afresh: a 12 px dash.
        w.at(tickMs + 1000);
        w.receive(goodFrame(255));
        QVERIFY(w.linkOk());
        QVERIFY(!w.timerStatSolo->isActive());
        const int x = w.chart.PlotX();
        QCOMPARE(x, int(std::nearbyint((tickMs + 1000) * 0.012)) + 1);
        for (int dx = 1; dx <= 12; ++dx)
            QCOMPARE(w.chart.image().pixel(x - dx, 0), QColor(Qt::red).rgb());
        QVERIFY(w.chart.image().pixel(x - 13, 0) != QColor(Qt::red).rgb());
        QCOMPARE(w.accepted, 6);
    }

    void rocketBatteryCurveEveryFrame()
    {
        Window w(FlightMode::FUSEE);
        for (int i = 0; i < 10; ++i) {
            w.at(i * 460);
            w.receive(goodFrame());
        }
        // The first point moves the pen only, each later one draws a pixel further right.
        QCOMPARE(w.battery.BatteryCurveX(), 9);
        QCOMPARE(w.divider, 0); // the balloon's divider plays no part
        for (int i = 10; i < 97; ++i) {
            w.at(i * 460);
            w.receive(goodFrame());
        }
        QCOMPARE(w.battery.BatteryCurveX(), 96);
        // The next frame finds the box full: it is cleared and the trace starts again.
        w.at(97 * 460);
        w.receive(goodFrame());
        QCOMPARE(w.battery.BatteryCurveX(), 0);
        QVERIFY(w.battery.BatteryCurveStarted());
        QCOMPARE(w.battery.image().pixel(0, 30), BatteryCurve::Background);
    }

    void rocketRecordLineFailure()
    {
        Window w(FlightMode::FUSEE);
        w.receive(goodFrame());
        w.failWith = QStringLiteral("Disque plein");
        w.at(460);
        w.txVol->setText(QStringLiteral("marker"));
        QVERIFY_THROWS_EXCEPTION(ZephulError, w.receive(goodFrame(50)));
        QCOMPARE(w.accepted, 2);
        QCOMPARE(w.txVol->text(), "marker");
        w.failWith.clear();
        w.at(920);
        w.receive(goodFrame(60));
        QCOMPARE(w.accepted, 3);
        QCOMPARE(w.lines.size(), 2);
        QCOMPARE(w.lines.at(1).section(u';', 2, 2), "920");
    }

    // The ring of the sample store takes a rocket flight longer than its 15000 slots (about two
    // hours at 460 ms) without writing outside it.
    void rocketBeyondTheStore()
    {
        Window w(FlightMode::FUSEE);
        for (int i = 0; i < 15003; ++i) {
            w.at(std::int64_t(i) * 230);
            w.receive(goodFrame(i % 256));
        }
        QCOMPARE(w.accepted, 15003);
        QCOMPARE(w.samples->slotTime(3), 15002 * 230);
        QCOMPARE(w.samples->slotTime(4), 3 * 230);
        QCOMPARE(w.lines.size(), 15003);
    }

    void startReceptionKeepsThePercentages()
    {
        Window w;
        w.accept(goodFrame());
        w.receive(badFrame());
        w.decoder->Stats.LastTxVol = 80.0;
        w.decoder->startReception();
        QCOMPARE(w.decoder->FramesSinceAccepted, 0);
        QVERIFY(!w.decoder->DuplicateLock);
        QCOMPARE(w.decoder->BatteryMax, 0.0);
        QCOMPARE(w.decoder->Stats.LastTxVol, 80.0);
    }
};

QTEST_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
