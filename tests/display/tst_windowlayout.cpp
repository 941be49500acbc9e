#include "windowlayout.h"

#include <QTest>

class TestWindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void visibleTimeTicks_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<int>("visible");
        QTest::addColumn<QString>("lastCaption");
        QTest::newRow("1024 balloon") << 1024 << false << 6 << "30 mn";
        QTest::newRow("1024 rocket") << 1024 << true << 7 << "70 s";
        QTest::newRow("1920 balloon") << 1920 << false << 12 << "55 mn";
        QTest::newRow("1920 rocket") << 1920 << true << 15 << "110 s";
    }
    void visibleTimeTicks()
    {
        QFETCH(int, width);
        QFETCH(bool, rocket);
        QFETCH(int, visible);
        QFETCH(QString, lastCaption);
        const FlightMode mode = rocket ? FlightMode::FUSEE : FlightMode::BALLON;
        const WindowLayout l = WindowLayout::compute(width, 738, mode);
        QCOMPARE(l.ecranP.width(), width - 70);
        QCOMPARE(l.VisibleTimeTicks, visible);
        const int P = rocket ? 120 : 150;
        const int shown = std::min(visible, 11);
        for (int i = 0; i < 12; ++i) {
            const auto &tick = l.timeTicks[i];
            QCOMPARE(tick.visible, i <= shown);
            if (!tick.visible)
                continue;
            QCOMPARE(tick.tickPos, QPoint(30 + i * P, 738 - 224));
            QCOMPARE(tick.labelPos, QPoint(12 + i * P, 738 - 211));
        }
        QCOMPARE(l.timeTicks[shown].caption, lastCaption);
        QCOMPARE(l.timeTicks[0].caption, rocket ? QString("0 s") : QString("0 mn"));
        QCOMPARE(WindowLayout::lastTickInUse(l.VisibleTimeTicks), shown);
    }

    void panels()
    {
        const WindowLayout l = WindowLayout::compute(1024, 738, FlightMode::BALLON);
        QCOMPARE(l.ecranP, QRect(30, 10, 954, 503));
        QCOMPARE(l.curseurSBTop, 546);
        QCOMPARE(l.curseurSBWidth, 954);
        QCOMPARE(l.voiesP, QPoint(162, 576));
        QCOMPARE(l.instrumentsP, QPoint(162, 624));
        QCOMPARE(l.readoutsTop, 562);
        QCOMPARE(l.imageHeight, 503);
        QCOMPARE(l.scrollMax, 15000 - 954);
    }

    // The 0 V tick stands on the chart's last row; the others at Round(i * height / 5) + 10.
    void levelTicks_data()
    {
        QTest::addColumn<int>("height");
        QTest::newRow("738") << 738;
        QTest::newRow("550, minimum") << 550;
        QTest::newRow("1050") << 1050;
    }
    void levelTicks()
    {
        QFETCH(int, height);
        const WindowLayout l = WindowLayout::compute(1024, height, FlightMode::FUSEE);
        const int chart = height - 235;
        QCOMPARE(l.levelTicks[5].tickTop, 10 + chart - 1);
        QCOMPARE(l.levelTicks[0].tickTop, 10);
        QCOMPARE(l.levelTicks[0].labelTop, 5);
        for (int i = 1; i < 5; ++i) {
            const int offset = qRound(i * chart / 5.0);
            QCOMPARE(l.levelTicks[i].tickTop, offset + 10);
            QCOMPARE(l.levelTicks[i].labelTop, l.levelTicks[i].tickTop - 5);
        }
        QCOMPARE(WindowLayout::levelCaption(0), QString("5"));
        QCOMPARE(WindowLayout::levelCaption(5), QString("0"));
    }

    void levelTicksRoundToNearest()
    {
        // Chart 252 high: steps of 50.4 px.
        const WindowLayout l = WindowLayout::compute(1024, 235 + 252, FlightMode::BALLON);
        QCOMPARE(l.levelTicks[1].tickTop, 50 + 10);
        QCOMPARE(l.levelTicks[2].tickTop, 101 + 10);
        QCOMPARE(l.levelTicks[3].tickTop, 151 + 10);
        QCOMPARE(l.levelTicks[4].tickTop, 202 + 10);
    }

    void scrolledLabels_data()
    {
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<int>("tick");
        QTest::addColumn<int>("imageLeft");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("left"); // -1: unchanged
        QTest::newRow("balloon start") << false << 2 << 0 << "10 mn" << 312;
        QTest::newRow("balloon 1h") << false << 0 << -1800 << "1h 0mn" << 10;
        QTest::newRow("balloon 1h 5") << false << 1 << -1800 << "1h 5mn" << 160;
        QTest::newRow("balloon 59 mn") << false << 0 << -1799 << "59 mn" << 12;
        QTest::newRow("rocket start") << true << 3 << 0 << "30 s" << -1;
        QTest::newRow("rocket scrolled") << true << 1 << -1200 << "110 s" << -1;
    }
    void scrolledLabels()
    {
        QFETCH(bool, rocket);
        QFETCH(int, tick);
        QFETCH(int, imageLeft);
        QFETCH(QString, caption);
        QFETCH(int, left);
        const auto label = WindowLayout::scrolledLabel(
            tick, imageLeft, rocket ? FlightMode::FUSEE : FlightMode::BALLON);
        QCOMPARE(label.caption, caption);
        QCOMPARE(label.left.value_or(-1), left);
    }
};

QTEST_GUILESS_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"
