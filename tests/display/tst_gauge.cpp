#include "gauge.h"

#include <QEvent>
#include <QFrame>
#include <QImage>
#include <QProgressBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QWidget>
#include <memory>

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
        QTest::addColumn<int>("maximumAfter"); // the range then becomes 0 to this
        QTest::addColumn<int>("shown");
        QTest::newRow("inside") << 2 << 3 << 2;
        QTest::newRow("top") << 3 << 3 << 3;
        QTest::newRow("above") << 7 << 3 << 3;
        QTest::newRow("below") << -1 << 3 << 0;
        QTest::newRow("range narrowed under it") << 3 << 1 << 1;
        QTest::newRow("empty range") << 2 << -5 << 0;
    }
    void progressIsClampedToTheRange()
    {
        QFETCH(int, value);
        QFETCH(int, maximumAfter);
        QFETCH(int, shown);
        Gauge gauge;
        gauge.setRange(0, 3);
        gauge.setProgress(1);
        gauge.setProgress(value);
        gauge.setRange(0, maximumAfter);
        QCOMPARE(gauge.progress(), shown);
        gauge.setProgress(shown + 1);
        QCOMPARE(gauge.progress(), std::max(0, std::min(shown + 1, maximumAfter)));
    }

    // The gauge looks as a progress bar drawn by a style sheet with the same border, colours
    // and value: the same filled part, from the left or from the bottom.
    void looksLikeAStyledProgressBar_data()
    {
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::addColumn<QSize>("size");
        for (int v = 0; v <= 3; ++v)
            QTest::addRow("frames %d", v) << false << 3 << v << QSize(40, 13);
        for (const int v : { 0, 1, 33, 50, 67, 99, 100 })
            QTest::addRow("battery %d", v) << true << 100 << v << QSize(13, 28);
    }
    void looksLikeAStyledProgressBar()
    {
        QFETCH(bool, vertical);
        QFETCH(int, maximum);
        QFETCH(int, value);
        QFETCH(QSize, size);
        const QColor back(0xAA, 0xCC, 0xEE);
        const QColor fill = vertical ? QColor(0xFF, 0xAA, 0x00) : QColor(0x00, 0x80, 0x00);
        QProgressBar styled;
        styled.setOrientation(vertical ? Qt::Vertical : Qt::Horizontal);
        styled.setRange(0, maximum);
        styled.setValue(value);
        styled.setTextVisible(false);
        styled.resize(size);
        Gauge gauge;
        gauge.setOrientation(vertical ? Qt::Vertical : Qt::Horizontal);
        gauge.setRange(0, maximum);
        gauge.setProgress(value);
        gauge.resize(size);
        styled.setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid #808080; "
                                            "background: %1; } QProgressBar::chunk { "
                                            "background: %2; }")
                                 .arg(back.name(), fill.name()));
        gauge.setColours(back, fill);
        const QImage expected = styled.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage actual = gauge.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(actual, expected);
    }

    // A change is painted with the window's next paint, not at once in the middle of the
    // handler that made it; an unchanged value paints nothing.
    void changeIsPaintedWithTheNextPaint()
    {
        QWidget window;
        window.resize(100, 60);
        auto *gauge = new Gauge(&window);
        gauge->setRange(0, 3);
        gauge->setGeometry(8, 12, 40, 13);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintCount count;
        gauge->installEventFilter(&count);

        for (const int value : { 1, 3, 0 }) {
            gauge->setProgress(value);
            QCOMPARE(gauge->progress(), value);
            QCOMPARE(count.paints, 0);
            QTRY_COMPARE(count.paints, 1);
            count.paints = 0;
        }
        gauge->setProgress(0);
        QTest::qWait(50);
        QCOMPARE(count.paints, 0);
        QVERIFY(gauge->updatesEnabled());
    }

    // The panel under the gauge is not repainted when the value changes, whatever style
    // polished the gauge at its first show or later.
    void panelUnderItStaysUnpainted_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<bool>("restyled");
        for (const QString &style : QStyleFactory::keys()) {
            QTest::addRow("%s", qPrintable(style)) << style << false;
            QTest::addRow("%s, then restyled", qPrintable(style)) << style << true;
        }
    }
    void panelUnderItStaysUnpainted()
    {
        QFETCH(QString, style);
        QFETCH(bool, restyled);
        const std::unique_ptr<QStyle> first(QStyleFactory::create(style));
        const std::unique_ptr<QStyle> second(QStyleFactory::create(style));
        QWidget window;
        window.resize(100, 60);
        auto *panel = new QFrame(&window);
        panel->setGeometry(4, 4, 80, 40);
        panel->setAutoFillBackground(true);
        auto *gauge = new Gauge(panel);
        gauge->setStyle(first.get());
        gauge->setRange(0, 3);
        gauge->setGeometry(8, 12, 40, 13);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (restyled)
            gauge->setStyle(second.get());
        QTest::qWait(20);
        PaintCount panelCount;
        PaintCount gaugeCount;
        panel->installEventFilter(&panelCount);
        gauge->installEventFilter(&gaugeCount);

        for (const int value : { 1, 3, 0 }) {
            gauge->setProgress(value);
            QTRY_COMPARE(gaugeCount.paints, 1);
            gaugeCount.paints = 0;
        }
        QCOMPARE(panelCount.paints, 0);
        gauge->setStyle(nullptr);
    }
};

QTEST_MAIN(TestGauge)
#include "tst_gauge.moc"
