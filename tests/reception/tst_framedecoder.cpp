#include "batterycurve.h"
#include "channeltable.h"
#include "chronotext.h"
#include "framearithmetic.h"
#include "framedecoder.h"
#include "samplestore.h"
#include "stripchart.h"
#include "zephulerror.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
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

// The main window's parts, with a chronometer on a settable flight time in seconds.
struct Window
{
    FlightMode mode = FlightMode::BALLON;
    QWidget root;
    QLabel *chrono = new QLabel(QString::fromLatin1(ChronoText::designText), &root);
    QLabel *clock = new QLabel(QStringLiteral("14:35:40"), &root);
    QLabel *nbTrames = new QLabel(QStringLiteral("0"), &root);
    QLabel *alim = new QLabel(&root);
    QLabel *txVol = new QLabel(QStringLiteral("100.0"), &root);
    QLabel *tx1mn = new QLabel(QStringLiteral("----"), &root);
    QProgressBar *tramesG = new QProgressBar(&root);
    QProgressBar *pileG = new QProgressBar(&root);
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

    Window()
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
                chrono->setText(ChronoText::balloonText(nowMs - startMs));
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
    void receive(const QByteArray &data) { decoder->ComPaquetTuvoPacket(nullptr, data); }
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
        QCOMPARE(w.pileG->value(), 100);
        QCOMPARE(w.tramesG->value(), 3);
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
        QCOMPARE(w.tramesG->value(), 0);
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
        QCOMPARE(w.tramesG->value(), 1);
        QVERIFY(w.linkOk());
        QVERIFY(!w.timerStat->isActive());
        QCOMPARE(w.txVol->text(), "marker");
        QCOMPARE(w.channels.channel(1).PrevSample, 120);
        w.receive(badFrame());
        QCOMPARE(w.tramesG->value(), 2);
        QVERIFY(w.linkLost());
        QVERIFY(w.timerStat->isActive());
        QCOMPARE(w.txVol->text(), "90,9"); // 10 frames, T = Trunc(20 / 1.77) = 11
        for (int n = 1; n <= 8; ++n)
            QCOMPARE(w.channels.channel(n).PrevSample, -1);
        // The fourth does nothing more.
        w.txVol->setText(QStringLiteral("marker"));
        w.tuvoNo->hide();
        w.receive(badFrame());
        QCOMPARE(w.tramesG->value(), 3);
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
        QCOMPARE(w.pileG->value(), 83);
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

    void rocketTimerFigure()
    {
        Window w;
        w.mode = FlightMode::FUSEE;
        w.accepted = 5;
        w.chrono->setText(QStringLiteral("00:02.500"));
        w.decoder->Timer_StatSoloTimer();
        QCOMPARE(w.txVol->text(), "83,3");
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
