#include "gauge.h"

#include <QEvent>
#include <QTest>
#include <QWidget>

namespace {

// Counts the paint events the gauge receives.
class PaintCount : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestGauge : public QObject
{
    Q_OBJECT

private slots:
    void progressIsClampedToTheRange_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("shown");
        QTest::newRow("inside") << 2 << 2;
        QTest::newRow("top") << 3 << 3;
        QTest::newRow("above") << 7 << 3;
        QTest::newRow("below") << -1 << 0;
    }
    void progressIsClampedToTheRange()
    {
        QFETCH(int, value);
        QFETCH(int, shown);
        Gauge gauge;
        gauge.setRange(0, 3);
        gauge.setProgress(1);
        gauge.setProgress(value);
        QCOMPARE(gauge.progress(), shown);
    }

    // A change is painted with the window's next paint, not at once in the middle of the
    // handler that made it; an unchanged value paints nothing.
    void changeIsPaintedWithTheNextPaint()
    {
        QWidget window;
        window.resize(100, 60);
        auto *gauge = new Gauge(&window);
        gauge->setRange(0, 3);
        gauge->setTextVisible(false);
        gauge->setGeometry(8, 12, 40, 13);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintCount count;
        gauge->installEventFilter(&count);

        for (const int value : { 1, 3, 0 }) {
            gauge->setProgress(value);
            QCOMPARE(gauge->value(), value);
            QCOMPARE(count.paints, 0);
            QTRY_COMPARE(count.paints, 1);
            count.paints = 0;
        }
        gauge->setProgress(0);
        QTest::qWait(50);
        QCOMPARE(count.paints, 0);
        QVERIFY(gauge->updatesEnabled());
    }
};

QTEST_MAIN(TestGauge)
#include "tst_gauge.moc"
