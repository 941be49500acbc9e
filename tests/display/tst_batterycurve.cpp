#include "batterycurve.h"

#include <QTest>

namespace {

bool isCurve(const BatteryCurve &box, int x, int y)
{
    return box.image().pixel(x, y) == BatteryCurve::CurveColour;
}

} // namespace

class TestBatteryCurve : public QObject
{
    Q_OBJECT

private slots:
    void resetDrawsAxes()
    {
        BatteryCurve box;
        QCOMPARE(box.image().size(), QSize(96, 31));
        for (int y = 0; y <= 30; ++y)
            QCOMPARE(box.image().pixel(0, y), BatteryCurve::AxisColour);
        for (int x = 0; x < 96; ++x)
            QCOMPARE(box.image().pixel(x, 30), BatteryCurve::AxisColour);
        QCOMPARE(box.image().pixel(1, 29), BatteryCurve::Background);
        QCOMPARE(box.image().pixel(95, 0), BatteryCurve::Background);
        QVERIFY(!box.BatteryCurveStarted());
    }

    void pointHeight_data()
    {
        QTest::addColumn<double>("volts");
        QTest::addColumn<int>("y");
        QTest::newRow("9 V") << 9.0 << 12;
        QTest::newRow("0 V") << 0.0 << 30;
        QTest::newRow("7.25 V, tie to even") << 7.25 << 16;
        QTest::newRow("7.75 V, tie to even") << 7.75 << 14;
    }
    void pointHeight()
    {
        QFETCH(double, volts);
        QFETCH(int, y);
        QCOMPARE(BatteryCurve::rowOf(volts), y);
    }

    // The 96th balloon point after a clear is at x = 96; the box is then blanked and the next
    // point starts again at x = 1 (a move, nothing painted).
    void balloonWrapsAfter96Points()
    {
        BatteryCurve box;
        for (int i = 1; i <= 95; ++i)
            box.addBalloonPoint(9.0);
        QCOMPARE(box.BatteryCurveX(), 95);
        QVERIFY(isCurve(box, 94, 12));
        QVERIFY(!isCurve(box, 95, 12)); // end point of the last segment
        box.addBalloonPoint(9.0);
        QVERIFY(!box.BatteryCurveStarted());
        QCOMPARE(box.BatteryCurveX(), 0);
        for (int x = 0; x < 96; ++x)
            QCOMPARE(box.image().pixel(x, 30), BatteryCurve::Background); // axes not redrawn
        box.addBalloonPoint(9.0);
        QCOMPARE(box.BatteryCurveX(), 1);
        QVERIFY(box.BatteryCurveStarted());
        box.addBalloonPoint(9.0);
        QVERIFY(isCurve(box, 1, 12));
        QVERIFY(!isCurve(box, 2, 12));
    }

    // The rocket rule starts at x = 0 after a move to x = 1, so its second point is drawn at
    // x = 1 again; the wrap test comes first, so the point after x = 96 clears the box.
    void rocketRule()
    {
        BatteryCurve box;
        box.addRocketPoint(5.0);
        QCOMPARE(box.BatteryCurveX(), 0);
        box.addRocketPoint(10.0);
        QCOMPARE(box.BatteryCurveX(), 1);
        // A vertical segment from (1, 20) up to (1, 10), end point left out.
        QVERIFY(isCurve(box, 1, 20));
        QVERIFY(isCurve(box, 1, 11));
        QVERIFY(!isCurve(box, 1, 10));
        for (int i = 3; i <= 97; ++i)
            box.addRocketPoint(10.0);
        QCOMPARE(box.BatteryCurveX(), 96);
        QVERIFY(box.BatteryCurveStarted());
        box.addRocketPoint(10.0);
        QCOMPARE(box.BatteryCurveX(), 0);
        QVERIFY(box.BatteryCurveStarted());
        QVERIFY(!isCurve(box, 50, 10));
    }

    void resetAfterDrawing()
    {
        BatteryCurve box;
        box.addBalloonPoint(3.0);
        box.addBalloonPoint(3.0);
        box.reset();
        QVERIFY(!box.BatteryCurveStarted());
        QVERIFY(!isCurve(box, 1, 24));
        box.addBalloonPoint(3.0);
        QCOMPARE(box.BatteryCurveX(), 1);
    }
};

QTEST_MAIN(TestBatteryCurve)
#include "tst_batterycurve.moc"
