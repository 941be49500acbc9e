#include "chronotext.h"
#include "manualflightclock.h"
#include "tchronothread.h"

#include <QLabel>
#include <QLocale>
#include <QTest>

namespace {

constexpr qint64 hour = 3600000;

} // namespace

class TestChronometer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void clockText_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("morning") << QTime(9, 5, 7, 999) << "09:05:07";
        QTest::newRow("midnight") << QTime(0, 0, 0) << "00:00:00";
        QTest::newRow("evening") << QTime(23, 59, 10) << "23:59:10";
    }
    void clockText()
    {
        QFETCH(QTime, time);
        QFETCH(QString, text);
        QCOMPARE(ChronoText::clockText(time), text);
    }

    void runningText_data()
    {
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("text");
        QTest::newRow("balloon 1 h 2 min 3 s") << false << 3723000 + 999LL << "01:02:03";
        QTest::newRow("balloon 25 h") << false << 25 * hour << "01:00:00";
        QTest::newRow("balloon zero") << false << 0LL << "00:00:00";
        QTest::newRow("balloon never negative") << false << -5000LL << "00:00:00";
        QTest::newRow("rocket 83.5 s") << true << 83500LL << "01:23.500";
        QTest::newRow("rocket 61 min") << true << 61 * 60000LL << "01:00.000";
        QTest::newRow("rocket 7 ms") << true << 7LL << "00:00.007";
        QTest::newRow("rocket last ms of the hour") << true << hour - 1 << "59:59.999";
    }
    void runningText()
    {
        QFETCH(bool, rocket);
        QFETCH(qint64, elapsedMs);
        QFETCH(QString, text);
        QCOMPARE(
            ChronoText::runningText(rocket ? FlightMode::FUSEE : FlightMode::BALLON, elapsedMs),
            text);
    }

    void fixedTexts()
    {
        QCOMPARE(ChronoText::startText(FlightMode::BALLON), QString("00:00:00 "));
        QCOMPARE(ChronoText::startText(FlightMode::FUSEE), QString("00:00.000"));
        QCOMPARE(ChronoText::zeroText(FlightMode::BALLON), QString("00:00:00"));
        QCOMPARE(ChronoText::zeroText(FlightMode::FUSEE), QString("00:00.000"));
    }

    // Whatever reads the label refreshes it first and sees the flight time of that moment,
    // taken from the flight clock.
    void refreshShowsFlightClock_data()
    {
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("text");
        QTest::newRow("balloon") << false << 3723000LL << "01:02:03";
        QTest::newRow("balloon after 25 h") << false << 25 * hour << "01:00:00";
        QTest::newRow("rocket") << true << 83500LL << "01:23.500";
        QTest::newRow("rocket after 61 min") << true << 61 * 60000LL << "01:00.000";
    }
    void refreshShowsFlightClock()
    {
        QFETCH(bool, rocket);
        QFETCH(qint64, elapsedMs);
        QFETCH(QString, text);
        ManualFlightClock clock(5000);
        QLabel label;
        const FlightMode mode = rocket ? FlightMode::FUSEE : FlightMode::BALLON;
        QPointer<TChronoThread> chrono = TChronoThread::Create(
            true, &label, [mode] { return mode; }, clock);
        QCOMPARE(chrono->StartTime(), 5000);
        QVERIFY(TChronoThread::isActive(chrono));
        clock.advance(elapsedMs);
        TChronoThread::refresh(chrono);
        QCOMPARE(label.text(), text);
        TChronoThread::destroy(chrono);
        QVERIFY(chrono.isNull());
    }

    // The display-rate rewrite reaches the label by itself, through the event loop.
    void labelFollowsWithoutReaders()
    {
        ManualFlightClock clock;
        QLabel label;
        QPointer<TChronoThread> chrono = TChronoThread::Create(
            true, &label, [] { return FlightMode::FUSEE; }, clock);
        clock.set(1234);
        QTRY_COMPARE(label.text(), QString("00:01.234"));
        QVERIFY(chrono->displayUpdates() >= 1);
        TChronoThread::destroy(chrono);
    }

    // FUSEE, rewritten at the display rate from any start: the tenths run through every value
    // in turn, none skipped, and the last two digits do not stand still.
    void rocketRewritesShowEveryTenth_data()
    {
        QTest::addColumn<int>("startMs");
        for (const int start : { 0, 1, 37, 99, 500, 59999, 3599950 })
            QTest::addRow("from %d ms", start) << start;
    }
    void rocketRewritesShowEveryTenth()
    {
        QFETCH(int, startMs);
        std::int64_t elapsed = startMs;
        QString previous = ChronoText::rocketText(elapsed);
        for (int i = 0; i < 100; ++i) {
            elapsed += TChronoThread::msToNextRewrite(true, elapsed);
            const QString text = ChronoText::rocketText(elapsed);
            const int step = (text.at(6).digitValue() - previous.at(6).digitValue() + 10) % 10;
            QVERIFY2(step <= 1, qPrintable(previous + " -> " + text));
            QVERIFY2(text.right(2) != previous.right(2), qPrintable(previous + " -> " + text));
            previous = text;
        }
    }

    // FUSEE with frames arriving: a reader's refresh at each frame takes the place of one of
    // the worker's rewrites. The label still changes at least every tenth of a second, and
    // the label is rewritten fewer times than the worker's rate plus the frames.
    void rocketRefreshesReplaceRewrites_data()
    {
        QTest::addColumn<int>("frameMs"); // 0: no frames
        QTest::addColumn<int>("guiLatencyMs"); // from the worker's request to the rewrite
        QTest::addColumn<double>("mostPerSecond");
        // The worker alone: about ten a second. A frame every 460 ms with a rewrite of its own
        // on top would make 12.6.
        QTest::newRow("no frames") << 0 << 1 << 10.5;
        QTest::newRow("rocket rate") << 460 << 1 << 11.0;
        QTest::newRow("rocket rate, slow GUI thread") << 460 << 15 << 11.0;
        QTest::newRow("frames close enough alone") << 75 << 1 << 13.4;
        QTest::newRow("frames faster than the display rate") << 40 << 1 << 25.1;
    }
    void rocketRefreshesReplaceRewrites()
    {
        QFETCH(int, frameMs);
        QFETCH(int, guiLatencyMs);
        QFETCH(double, mostPerSecond);
        const int duration = 20000;
        std::int64_t shown = 0; // the first frame starts the chronometer
        std::int64_t wake = 0;
        std::int64_t nextFrame = frameMs > 0 ? frameMs : duration;
        std::int64_t pending = -1; // a request the GUI thread serves at that time
        int rewrites = 0;
        std::int64_t longestGap = 0;
        const auto rewrite = [&](std::int64_t at) {
            longestGap = std::max(longestGap, at - shown);
            shown = at;
            ++rewrites;
        };
        for (std::int64_t t = 0; t < duration; ++t) {
            if (t == pending) {
                rewrite(t);
                pending = -1;
            }
            if (t == nextFrame) {
                rewrite(t);
                nextFrame += frameMs;
            }
            if (t == wake) {
                const int wait = TChronoThread::rocketWaitMs(t - shown);
                if (wait == 0 && pending < 0)
                    pending = t + guiLatencyMs;
                wake = t + (wait > 0 ? wait : TChronoThread::RocketRefreshMs);
            }
        }
        // Every tenth shows in turn.
        QVERIFY2(longestGap < 100, qPrintable(QString::number(longestGap)));
        const double perSecond = rewrites * 1000.0 / duration;
        QVERIFY2(perSecond <= mostPerSecond, qPrintable(QString::number(perSecond)));
    }

    // In BALLON the text changes once a second, and the label is rewritten only then: a
    // chronometer that woke at a display rate would rewrite it many times a second for nothing.
    void balloonLabelIsRewrittenOnlyWhenTheSecondsChange()
    {
        QLabel label;
        const FlightClock &clock = FlightClock::system();
        QPointer<TChronoThread> chrono = TChronoThread::Create(
            true, &label, [] { return FlightMode::BALLON; }, clock);
        const qint64 start = chrono->StartTime();
        QTRY_COMPARE_WITH_TIMEOUT(label.text(), QString("00:00:02"), 20000);
        const qint64 updates = chrono->displayUpdates();
        const qint64 seconds = (clock.nowMs() - start) / 1000;
        QVERIFY2(updates <= seconds + 2, qPrintable(QString::number(updates)));
        // Moving the start moves the schedule: the next rewrite shows the new count.
        chrono->setStartTime(clock.nowMs() - 60000);
        QTRY_VERIFY_WITH_TIMEOUT(label.text().startsWith(QString("00:01:0")), 20000);
        TChronoThread::destroy(chrono);
    }

    void resetStartsFromZero()
    {
        ManualFlightClock clock;
        QLabel label;
        QPointer<TChronoThread> chrono = TChronoThread::Create(
            true, &label, [] { return FlightMode::BALLON; }, clock);
        clock.advance(90000);
        chrono->restart();
        clock.advance(2500);
        TChronoThread::refresh(chrono);
        QCOMPARE(label.text(), QString("00:00:02"));
        TChronoThread::destroy(chrono);
    }

    // After "Arrêter" the label keeps the time of the stop; the thread ends although the GUI
    // thread runs nothing for it, and the object then deletes itself.
    void terminateKeepsLastTextAndNeverWaitsOnGui()
    {
        ManualFlightClock clock;
        QLabel label;
        QPointer<TChronoThread> chrono = TChronoThread::Create(
            true, &label, [] { return FlightMode::FUSEE; }, clock);
        clock.set(4321);
        TChronoThread::requestTerminate(chrono);
        QCOMPARE(label.text(), QString("00:04.321"));
        QVERIFY(!TChronoThread::isActive(chrono));
        // No event has been processed since: the worker must not be waiting for us.
        QVERIFY(chrono->waitEnded(std::chrono::seconds(30)));
        clock.set(9999);
        TChronoThread::refresh(chrono);
        QCoreApplication::processEvents();
        QCOMPARE(label.text(), QString("00:04.321"));
        TChronoThread::requestTerminate(chrono); // a second request is harmless
        QTRY_VERIFY(chrono.isNull());
        TChronoThread::refresh(chrono);
        QVERIFY(!TChronoThread::isActive(chrono));
    }

    // A window torn down before the chronometer: the label goes first, nothing is written.
    void labelDestroyedFirst()
    {
        ManualFlightClock clock;
        auto *label = new QLabel;
        QPointer<TChronoThread> chrono = TChronoThread::Create(
            true, label, [] { return FlightMode::BALLON; }, clock);
        delete label;
        TChronoThread::refresh(chrono);
        QCoreApplication::processEvents();
        TChronoThread::destroy(chrono);
        QVERIFY(chrono.isNull());
        TChronoThread::destroy(chrono);
    }
};

QTEST_MAIN(TestChronometer)
#include "tst_chronometer.moc"
