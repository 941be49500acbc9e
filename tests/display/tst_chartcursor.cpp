#include "chartcursor.h"

#include <QLocale>
#include <QTest>

class TestChartCursor : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void balloonDuration_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "0 mn 0 s";
        QTest::newRow("59") << 59 << "0 mn 59 s";
        QTest::newRow("125") << 125 << "2 mn 5 s";
        QTest::newRow("last second before an hour") << 3599 << "59 mn 59 s";
        QTest::newRow("one hour") << 3600 << "1 h 0 mn 0 s";
        QTest::newRow("3725") << 3725 << "1 h 2 mn 5 s";
        QTest::newRow("end of the chart") << 29998 << "8 h 19 mn 58 s";
    }
    void balloonDuration()
    {
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(ChartCursor::BalloonDurationText(seconds), text);
    }

    // Twelve pixels a second; the milliseconds are written without leading zeros.
    void rocketDuration_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "0 s,0";
        QTest::newRow("1") << 1 << "0 s,83";
        QTest::newRow("2 rounds up") << 2 << "0 s,167";
        QTest::newRow("12") << 12 << "1 s,0";
        QTest::newRow("13") << 13 << "1 s,83";
        QTest::newRow("last pixel before a minute") << 719 << "59 s,917";
        QTest::newRow("one minute") << 720 << "1 mn 0 s,0";
        QTest::newRow("1000") << 1000 << "1 mn 23 s,333";
        QTest::newRow("end of the chart") << 14999 << "20 mn 49 s,917";
    }
    void rocketDuration()
    {
        QFETCH(int, x);
        QFETCH(QString, text);
        QCOMPARE(ChartCursor::RocketDurationText(x), text);
    }

    void voltage_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("y");
        QTest::addColumn<QString>("text");
        QTest::newRow("top row") << "fr_FR" << 504 << 0 << "5,00 V";
        QTest::newRow("half height") << "fr_FR" << 504 << 252 << "2,50 V";
        QTest::newRow("last row") << "fr_FR" << 504 << 503 << "0,01 V";
        QTest::newRow("below the chart") << "fr_FR" << 504 << 504 << "0,00 V";
        QTest::newRow("point separator") << "en_US" << 255 << 0 << "5.00 V";
        QTest::newRow("one count per row") << "fr_FR" << 255 << 128 << "2,49 V";
    }
    void voltage()
    {
        QFETCH(QString, locale);
        QFETCH(int, height);
        QFETCH(int, y);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(ChartCursor::VoltageText(y, height / 255.0), text);
    }
};

QTEST_MAIN(TestChartCursor)
#include "tst_chartcursor.moc"
