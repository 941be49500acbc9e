#include "linkstatistics.h"
#include "samplestore.h"

#include <QLocale>
#include <QTest>
#include <array>
#include <memory>

namespace {

// A store with frames 1..times.size() at the given slot times.
std::unique_ptr<SampleStore> storeWithTimes(const QList<int> &times)
{
    auto store = std::make_unique<SampleStore>();
    const std::array<std::uint8_t, 9> data {};
    for (int n = 1; n <= times.size(); ++n)
        store->store(n, data.data(), times.at(n - 1));
    return store;
}

QList<int> repeated(int count, int time)
{
    return QList<int>(count, time);
}

} // namespace

class TestLinkStatistics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    // Timer_Stat's Tx OK Vol: computed afresh while frames are lost.
    void balloonLossTxVol_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("elapsedS");
        QTest::addColumn<QString>("shown");
        QTest::newRow("10 frames at 20 s: T = 11") << 10 << 20 << "90,9";
        QTest::newRow("one second later T = 11 still") << 10 << 21 << "90,9";
        QTest::newRow("at 22 s T = 12") << 10 << 22 << "83,3";
        QTest::newRow("below 2 s keeps the literal point") << 1 << 1 << "100.0";
        QTest::newRow("at 0 s") << 0 << 0 << "100.0";
        QTest::newRow("at 2 s T = 1, capped") << 1 << 2 << "100,0";
        QTest::newRow("no frame at 60 s") << 0 << 60 << "0,0";
        QTest::newRow("an hour, 2000 frames: T = 2033") << 2000 << 3600 << "98,4";
    }
    void balloonLossTxVol()
    {
        QFETCH(int, frames);
        QFETCH(int, elapsedS);
        QFETCH(QString, shown);
        LinkStatistics stats;
        stats.LastTxVol = 99.0; // no floor here
        QCOMPARE(stats.balloonLossTxVol(frames, elapsedS), shown);
        if (shown == LinkStatistics::FullText)
            QCOMPARE(stats.LastTxVol, 99.0);
        else
            QCOMPARE(LinkStatistics::shownText(stats.LastTxVol), shown);
    }

    // The decoder's figures never go below the last one shown; the timer's go down, and the
    // next accepted frame continues from the fallen value.
    void floorAcrossALoss()
    {
        auto store = storeWithTimes({});
        LinkStatistics stats;
        QCOMPARE(stats.balloonFrameTxVol(1, 0), LinkStatistics::FullText);
        QCOMPARE(stats.LastTxVol, 0.0);
        QCOMPARE(stats.balloonFrameTxVol(10, 17), "100,0"); // T = 9
        QCOMPARE(stats.balloonLossTxVol(10, 20), "90,9");
        QCOMPARE(stats.balloonLossTxVol(10, 22), "83,3");
        // 11 frames at 24 s: T = 13, 84.6 above the floor 83.3.
        QCOMPARE(stats.balloonFrameTxVol(11, 24), "84,6");
        // 11 frames at 26 s would be 78.6: held at 84.6.
        QCOMPARE(stats.balloonFrameTxVol(11, 26), "84,6");
        QCOMPARE(stats.balloonFrameTxVol(11, 1), LinkStatistics::FullText);
        QCOMPARE(LinkStatistics::shownText(stats.LastTxVol), "84,6");
    }

    void floorFromAnEarlierReception()
    {
        // The remembered figures are not reset by a new reception: its first figures start from
        // them.
        LinkStatistics stats;
        stats.LastTxVol = 95.0;
        stats.LastTx1mn = 97.0;
        auto store = storeWithTimes(repeated(20, 30));
        QCOMPARE(stats.balloonFrameTxVol(20, 60), "95,0"); // 20 / 33 = 60.6
        QCOMPARE(stats.balloonFrameTx1mn(*store, 20, 60), "97,0"); // 20 / 33
        QCOMPARE(stats.balloonLossTx1mn(*store, 20, 60), "60,6");
        QCOMPARE(stats.LastTx1mn, 2000.0 / 33);
    }

    void minuteWindow_data()
    {
        QTest::addColumn<QList<int>>("times");
        QTest::addColumn<int>("elapsedS");
        QTest::addColumn<int>("counted");
        QTest::addColumn<QString>("shown");
        // Frames 1..6 would count if the window reached them; 7..10 sit exactly on the limit.
        QList<int> forty = repeated(6, 65) + repeated(4, 10);
        for (int n = 11; n <= 40; ++n)
            forty << 11 + n;
        QTest::newRow("40 frames at 70 s: slots 7 to 40 above 10 s") << forty << 70 << 30 << "90,9";
        // Slot 0 holds the empty time 14500000, which would count if the window reached it.
        const QList<int> exactly33 = repeated(10, 5) + repeated(23, 20);
        QTest::newRow("exactly 33 frames never counts slot 0") << exactly33 << 70 << 23 << "69,7";
        QTest::newRow("at 58 s no figure") << repeated(30, 0) << 58 << 30 << "-----";
        QTest::newRow("at 59 s frames at 0 s count") << repeated(30, 0) << 59 << 30 << "90,9";
        QTest::newRow("at 60 s frames at 0 s no longer count")
            << repeated(30, 0) << 60 << 0 << "0,0";
        QTest::newRow("34 frames in the minute, capped")
            << repeated(34, 100) << 120 << 34 << "100,0";
        QTest::newRow("no frame yet") << QList<int>() << 59 << 0 << "0,0";
    }
    void minuteWindow()
    {
        QFETCH(QList<int>, times);
        QFETCH(int, elapsedS);
        QFETCH(int, counted);
        QFETCH(QString, shown);
        auto store = storeWithTimes(times);
        const int frames = int(times.size());
        if (elapsedS >= 59)
            QCOMPARE(LinkStatistics::balloonMinuteCount(*store, frames, elapsedS), counted);
        LinkStatistics loss;
        QCOMPARE(loss.balloonLossTx1mn(*store, frames, elapsedS), shown);
        LinkStatistics decoder;
        QCOMPARE(decoder.balloonFrameTx1mn(*store, frames, elapsedS), shown);
        if (shown == LinkStatistics::NoMinuteText)
            QCOMPARE(decoder.LastTx1mn, 0.0);
    }

    void minuteWindowAfterTheStoreWraps()
    {
        // Past 15000 frames the store reuses its slots; the newest 34 frames are still counted.
        auto store = std::make_unique<SampleStore>();
        const std::array<std::uint8_t, 9> data {};
        const int frames = 15010;
        for (int n = 1; n <= frames; ++n)
            store->store(n, data.data(), n);
        // Limit 14990: frames 14991..15010 count.
        QCOMPARE(LinkStatistics::balloonMinuteCount(*store, frames, 15050), 20);
        QCOMPARE(LinkStatistics::balloonMinuteCount(*store, frames, 15000), 34);
    }

    void rocket_data()
    {
        QTest::addColumn<bool>("timer");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<QString>("shown");
        QTest::newRow("decoder: 10 frames at 5000 ms") << false << 10 << 5000 << "92,0";
        QTest::newRow("decoder: 11 frames, 101.2 capped") << false << 11 << 5000 << "100,0";
        QTest::newRow("decoder: below 460 ms") << false << 1 << 459 << "100.0";
        QTest::newRow("decoder: at 460 ms") << false << 1 << 460 << "100,0";
        QTest::newRow("decoder: a long flight does not wrap")
            << false << 50000 << 3599999 << "100,0";
        QTest::newRow("timer: 5 frames at 2000 ms") << true << 5 << 2000 << "100,0";
        QTest::newRow("timer: at 2500 ms T = 6") << true << 5 << 2500 << "83,3";
        QTest::newRow("timer: below 400 ms") << true << 0 << 399 << "100.0";
    }
    void rocket()
    {
        QFETCH(bool, timer);
        QFETCH(int, frames);
        QFETCH(int, elapsedMs);
        QFETCH(QString, shown);
        LinkStatistics stats;
        stats.LastTxVol = 99.5; // neither holds a floor
        QCOMPARE(timer ? stats.rocketLossTxVol(frames, elapsedMs)
                       : stats.rocketFrameTxVol(frames, elapsedMs),
                 shown);
        if (shown == LinkStatistics::FullText)
            QCOMPARE(stats.LastTxVol, 99.5);
    }

    void pointLocale()
    {
        QLocale::setDefault(QLocale::c());
        LinkStatistics stats;
        QCOMPARE(stats.balloonLossTxVol(10, 20), "90.9");
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    }
};

QTEST_GUILESS_MAIN(TestLinkStatistics)
#include "tst_linkstatistics.moc"
