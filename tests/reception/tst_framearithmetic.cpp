#include "framearithmetic.h"
#include "numberformat.h"
#include "recordfile.h"
#include "zephulerror.h"

#include <QLocale>
#include <QTest>
#include <array>

namespace {

// Nine data bytes summing to `sum` (0..2295), then the given check byte.
QByteArray frameWithSum(int sum, int check)
{
    QByteArray frame(10, '\0');
    for (int i = 0; i < 9; ++i) {
        const int b = std::min(sum, 255);
        frame[i] = char(b);
        sum -= b;
    }
    frame[9] = char(check);
    return frame;
}

} // namespace

class TestFrameArithmetic : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void checkRule_data()
    {
        QTest::addColumn<int>("sum");
        QTest::addColumn<int>("check");
        QTest::addColumn<bool>("matches");
        QTest::newRow("sum 300 needs 22") << 300 << 22 << true;
        QTest::newRow("sum 301 needs 22 too") << 301 << 22 << true;
        QTest::newRow("sum 300 with 23") << 300 << 23 << false;
        QTest::newRow("sum 300 with 150 (22 + 128)") << 300 << 150 << false;
        QTest::newRow("nine 0xFF bytes, unsigned sum 2295") << 2295 << 123 << true;
        QTest::newRow("sum 255 needs 127") << 255 << 127 << true;
        QTest::newRow("sum 255 with 255") << 255 << 255 << false;
        QTest::newRow("sum 256 wraps to 0") << 256 << 0 << true;
        QTest::newRow("sum 0") << 0 << 0 << true;
    }
    void checkRule()
    {
        QFETCH(int, sum);
        QFETCH(int, check);
        QFETCH(bool, matches);
        QCOMPARE(FrameArithmetic::checkByteMatches(frameWithSum(sum, check)), matches);
    }

    void checkByteOf128OrMoreNeverMatches()
    {
        for (int check = 128; check <= 255; ++check)
            for (int sum = 0; sum <= 2295; ++sum)
                QVERIFY2(!FrameArithmetic::checkByteMatches(frameWithSum(sum, check)),
                         qPrintable(QStringLiteral("sum %1 check %2").arg(sum).arg(check)));
    }

    void shortFrameNeverMatches()
    {
        QVERIFY(!FrameArithmetic::checkByteMatches(QByteArray(9, '\0')));
        QVERIFY(!FrameArithmetic::checkByteMatches(QByteArray()));
    }

    void channelOrder()
    {
        const QByteArray frame = QByteArray::fromHex("0807060504030201c8aa");
        for (int n = 1; n <= 8; ++n)
            QCOMPARE(FrameArithmetic::channelByte(frame, n), n);
        QCOMPARE(FrameArithmetic::batteryByte(frame), 200);
    }

    void channelVolts_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0") << 0 << "0,00";
        QTest::newRow("1") << 1 << "0,02";
        QTest::newRow("100") << 100 << "1,96";
        QTest::newRow("120") << 120 << "2,35";
        QTest::newRow("128") << 128 << "2,51";
        QTest::newRow("255 shows 5,00") << 255 << "5,00";
    }
    void channelVolts()
    {
        QFETCH(int, byte);
        QFETCH(QString, shown);
        QCOMPARE(format1_2f(FrameArithmetic::channelVolts(byte)), shown);
    }

    void channelScaleIsExtended()
    {
        // 255 x 0.01960784 = 4.99999920 exactly in decimal; a double product is off by ~1e-16,
        // the extended one by less than 1e-18.
        const long double v = FrameArithmetic::channelVolts(255);
        QVERIFY(v < 5.0L);
        QVERIFY(std::abs(v - 4.9999992L) < 1e-18L);
    }

    void battery_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<double>("volts");
        QTest::addColumn<QString>("alim");
        QTest::newRow("0") << 0 << 0.875 << "0,9V";
        QTest::newRow("130") << 130 << 9.0 << "9,0V";
        QTest::newRow("131") << 131 << 9.0625 << "9,1V";
        QTest::newRow("255") << 255 << 16.8125 << "16,8V";
    }
    void battery()
    {
        QFETCH(int, byte);
        QFETCH(double, volts);
        QFETCH(QString, alim);
        QCOMPARE(FrameArithmetic::batteryVolts(byte), volts);
        QCOMPARE(format1_1f(FrameArithmetic::batteryVolts(byte)) + u'V', alim);
    }

    void batteryGauge_data()
    {
        QTest::addColumn<double>("volts");
        QTest::addColumn<double>("maxVolts");
        QTest::addColumn<int>("percent");
        QTest::newRow("first frame: 9,0 of 9,0") << 9.0 << 9.0 << 100;
        QTest::newRow("8,75 of 9,0") << 8.75 << 9.0 << 97; // 97.22
        QTest::newRow("0,875 of 16,8125") << 0.875 << 16.8125 << 5; // 5.204
        QTest::newRow("tie 12.5 to even") << 1.0 << 8.0 << 12;
        QTest::newRow("tie 37.5 to even") << 3.0 << 8.0 << 38;
    }
    void batteryGauge()
    {
        QFETCH(double, volts);
        QFETCH(double, maxVolts);
        QFETCH(int, percent);
        QCOMPARE(FrameArithmetic::batteryGaugePercent(volts, maxVolts), percent);
    }

    void rounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<qint64>("rounded");
        QTest::addColumn<qint64>("truncated");
        QTest::newRow("0.5") << 0.5 << qint64(0) << qint64(0);
        QTest::newRow("1.5") << 1.5 << qint64(2) << qint64(1);
        QTest::newRow("2.5") << 2.5 << qint64(2) << qint64(2);
        QTest::newRow("-0.5") << -0.5 << qint64(0) << qint64(0);
        QTest::newRow("-1.5") << -1.5 << qint64(-2) << qint64(-1);
        QTest::newRow("-2.7") << -2.7 << qint64(-3) << qint64(-2);
        QTest::newRow("748.14") << 748.14 << qint64(748) << qint64(748);
        QTest::newRow("200.784") << 200.784 << qint64(201) << qint64(200);
        QTest::newRow("11.299") << 11.299 << qint64(11) << qint64(11);
    }
    void rounding()
    {
        QFETCH(double, value);
        QFETCH(qint64, rounded);
        QFETCH(qint64, truncated);
        QCOMPARE(FrameArithmetic::roundHalfEven(value), rounded);
        QCOMPARE(FrameArithmetic::truncate(value), truncated);
    }

    void roundingOnTheExtendedValue()
    {
        // Just above a half in extended precision, but a double would round it to exactly 2.5.
        const long double above = 2.5L + 1e-18L;
        QVERIFY(above > 2.5L);
        QCOMPARE(FrameArithmetic::roundHalfEven(above), qint64(3));
    }

    void elapsedTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<int>("elapsed"); // -1: conversion error
        QTest::newRow("start text with its blank") << "00:00:00 " << false << 0;
        QTest::newRow("zero text") << "00:00:00" << false << 0;
        QTest::newRow("01:02:03") << "01:02:03" << false << 3723;
        QTest::newRow("00:12:07") << "00:12:07" << false << 727;
        QTest::newRow("23:59:59") << "23:59:59" << false << 86399;
        QTest::newRow("one-digit last field") << "00:00:7" << false << 7;
        QTest::newRow("letters") << "0a:00:00" << false << -1;
        QTest::newRow("blank field") << "  :00:00" << false << -1;
        QTest::newRow("too short") << "00:00" << false << -1;
        QTest::newRow("empty") << "" << false << -1;
        QTest::newRow("sign") << "00:-1:00" << false << -1;
        QTest::newRow("rocket 01:02.345") << "01:02.345" << true << 62345;
        QTest::newRow("rocket zero") << "00:00.000" << true << 0;
        QTest::newRow("rocket 59:59.999") << "59:59.999" << true << 3599999;
        QTest::newRow("rocket reading a balloon text") << "00:00:00 " << true << -1;
    }
    void elapsedTime()
    {
        QFETCH(QString, text);
        QFETCH(bool, rocket);
        QFETCH(int, elapsed);
        const auto read = [&] {
            return rocket ? FrameArithmetic::rocketElapsedMs(text)
                          : FrameArithmetic::balloonElapsedSeconds(text);
        };
        if (elapsed >= 0) {
            QCOMPARE(read(), elapsed);
            return;
        }
        try {
            read();
            QFAIL("no error");
        } catch (const ZephulError &e) {
            QVERIFY(!e.message().isEmpty());
        }
    }

    void recordLine_data()
    {
        QTest::addColumn<QString>("chronoField");
        QTest::addColumn<QString>("line");
        QTest::newRow("balloon")
            << "00:12:07"
            << "5/3/2014;14:35:40;00:12:07;2,35;1,96;0,00;0,00;0,00;0,00;0,00;0,00;9,00";
        QTest::newRow("rocket") << "12345"
                                << "5/3/2014;14:35:40;12345;2,35;1,96;0,00;0,00;0,00;0,00;0,00;"
                                   "0,00;9,00";
    }
    void recordLine()
    {
        QFETCH(QString, chronoField);
        QFETCH(QString, line);
        std::array<QString, 8> values;
        values.fill(format1_2f(FrameArithmetic::channelVolts(0)));
        values[0] = format1_2f(FrameArithmetic::channelVolts(120));
        values[1] = format1_2f(FrameArithmetic::channelVolts(100));
        QCOMPARE(RecordFile::dataLine(QStringLiteral("5/3/2014;"), QStringLiteral("14:35:40"),
                                      chronoField, values,
                                      format1_2f(FrameArithmetic::batteryVolts(130))),
                 line);
    }
};

QTEST_GUILESS_MAIN(TestFrameArithmetic)
#include "tst_framearithmetic.moc"
