#include "colour.h"
#include "rasterline.h"
#include "stripchart.h"

#include <QTest>

namespace {

const QColor pen(Qt::red);

QRgb background()
{
    return colourFromBgr(StripChart::DefaultBackground).rgb();
}

bool painted(const StripChart &chart, int x, int y)
{
    return chart.image().pixel(x, y) == pen.rgb();
}

// Columns painted on one row between x0 and x1 inclusive.
QList<int> paintedColumns(const StripChart &chart, int y, int x0, int x1)
{
    QList<int> columns;
    for (int x = x0; x <= x1; ++x) {
        if (painted(chart, x, y))
            columns << x;
    }
    return columns;
}

} // namespace

class TestStripChart : public QObject
{
    Q_OBJECT

private slots:
    void scaleOf400PixelChart()
    {
        StripChart chart(400);
        QCOMPARE(chart.ChartBaseY(), 400);
        QCOMPARE(chart.ChartScaleY(), 400 / 255.0);
        QCOMPARE(chart.rowOf(128), 199);
        QCOMPARE(chart.rowOf(255), 0);
        QCOMPARE(chart.rowOf(0), 400); // one row below the image: clipped
        int prev = -1;
        chart.setPlotX(10);
        chart.plot(prev, 128, pen, FlightMode::BALLON);
        QVERIFY(painted(chart, 9, 199));
        QVERIFY(!painted(chart, 10, 199));
        QCOMPARE(prev, 128);
    }

    void plotX_data()
    {
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<qint64>("elapsed");
        QTest::addColumn<int>("x");
        QTest::newRow("balloon 0 s") << false << qint64(0) << 1;
        QTest::newRow("balloon 1 s") << false << qint64(1) << 1;
        QTest::newRow("balloon 2 s") << false << qint64(2) << 2;
        QTest::newRow("balloon 3 s") << false << qint64(3) << 2;
        QTest::newRow("balloon 8 h 20 min") << false << qint64(30000) << 15001;
        QTest::newRow("rocket 0 ms") << true << qint64(0) << 1;
        QTest::newRow("rocket 1 s") << true << qint64(1000) << 13;
        QTest::newRow("rocket 83.5 s") << true << qint64(83500) << 1003;
        QTest::newRow("rocket 40 ms rounds down") << true << qint64(40) << 1;
        QTest::newRow("rocket 45 ms rounds up") << true << qint64(45) << 2;
    }
    void plotX()
    {
        QFETCH(bool, rocket);
        QFETCH(qint64, elapsed);
        QFETCH(int, x);
        const int got = rocket ? StripChart::rocketPlotX(elapsed)
                               : StripChart::balloonPlotX(static_cast<std::int32_t>(elapsed));
        QCOMPARE(got, x);
    }

    // Frames at 0, 1, 2 and 3 s share columns two by two; with a steady byte only the columns
    // where a segment starts are painted, never the end point.
    void balloonFramesShareColumns()
    {
        StripChart chart(255);
        int prev = -1;
        const int y = chart.rowOf(100);
        for (int seconds = 0; seconds <= 3; ++seconds) {
            chart.setPlotX(StripChart::balloonPlotX(seconds));
            chart.plot(prev, 100, pen, FlightMode::BALLON);
            chart.endFrame();
        }
        QCOMPARE(paintedColumns(chart, y, 0, 20), (QList<int> { 0, 1 }));
    }

    void firstPointDash_data()
    {
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<int>("length");
        QTest::newRow("balloon") << false << 1;
        QTest::newRow("rocket") << true << 12;
    }
    void firstPointDash()
    {
        QFETCH(bool, rocket);
        QFETCH(int, length);
        StripChart chart(255);
        int prev = -1;
        chart.setPlotX(100);
        chart.plot(prev, 50, pen, rocket ? FlightMode::FUSEE : FlightMode::BALLON);
        QList<int> expected;
        for (int x = 100 - length; x < 100; ++x)
            expected << x;
        QCOMPARE(paintedColumns(chart, chart.rowOf(50), 0, 200), expected);
        QCOMPARE(chart.PlotPrevX(), 100 - length);
    }

    // A channel starting a line piece moves the shared start x of the channels after it.
    void sharedPlotPrevX()
    {
        StripChart chart(255);
        int first = -1;
        int second = -1;
        chart.setPlotX(10);
        chart.plot(first, 50, pen, FlightMode::BALLON);
        chart.endFrame();
        chart.setPlotX(20);
        chart.plot(second, 200, pen, FlightMode::BALLON);
        chart.plot(first, 50, pen, FlightMode::BALLON);
        chart.endFrame();
        QCOMPARE(paintedColumns(chart, chart.rowOf(50), 0, 30), (QList<int> { 9, 19 }));
        QCOMPARE(chart.PlotPrevX(), 20);
    }

    void clearAndLayoutResetBackground()
    {
        StripChart chart(100);
        chart.setChartBackground(0x000000);
        chart.clear();
        QCOMPARE(chart.image().pixel(14999, 99), qRgb(0, 0, 0));
        chart.applyPanelHeight(300);
        QCOMPARE(chart.image().size(), QSize(15000, 300));
        QCOMPARE(chart.image().pixel(0, 299), background());
        QCOMPARE(chart.ChartBackground(), StripChart::DefaultBackground);
        QCOMPARE(chart.ChartBaseY(), 300);
    }

    // Points beyond the image are lost without harm.
    void clipping()
    {
        StripChart chart(50);
        int prev = -1;
        chart.setPlotX(15005);
        chart.plot(prev, 0, pen, FlightMode::FUSEE);
        chart.setPlotX(15000);
        chart.plot(prev, 255, pen, FlightMode::FUSEE);
        // The part of the segment inside the image is drawn, up to the last column.
        int rows = 0;
        for (int y = 0; y < 50; ++y)
            rows += painted(chart, 14999, y);
        QVERIFY(rows > 0);
    }

    void lineLeavesEndPoint_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<int>("count");
        QTest::newRow("point") << QPoint(5, 5) << QPoint(5, 5) << 0;
        QTest::newRow("horizontal") << QPoint(2, 5) << QPoint(7, 5) << 5;
        QTest::newRow("leftwards") << QPoint(7, 5) << QPoint(2, 5) << 5;
        QTest::newRow("vertical up") << QPoint(3, 9) << QPoint(3, 1) << 8;
        QTest::newRow("steep") << QPoint(5, 15) << QPoint(6, 5) << 10;
        QTest::newRow("diagonal") << QPoint(0, 0) << QPoint(9, 9) << 9;
        QTest::newRow("shallow") << QPoint(0, 3) << QPoint(12, 7) << 12;
    }
    void lineLeavesEndPoint()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(int, count);
        QImage image(20, 20, QImage::Format_RGB32);
        image.fill(Qt::white);
        RasterLine::draw(image, from, to, pen.rgb());
        int n = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                n += image.pixel(x, y) == pen.rgb();
        QCOMPARE(n, count);
        QCOMPARE(image.pixel(to) == pen.rgb(), false);
        QCOMPARE(image.pixel(from) == pen.rgb(), count > 0);
    }
};

QTEST_MAIN(TestStripChart)
#include "tst_stripchart.moc"
