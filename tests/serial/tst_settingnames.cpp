#include "settingnames.h"

#include <QTest>

class TestSettingNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesRoundTrip()
    {
        for (int v = brCustom; v <= br256000; ++v)
            QCOMPARE(BaudRateFromName(BaudRateName(TBaudRate(v))), TBaudRate(v));
        for (int v = sbOneStopBit; v <= sbTwoStopBits; ++v)
            QCOMPARE(StopBitsFromName(StopBitsName(TStopBits(v))), TStopBits(v));
        for (int v = dbFive; v <= dbEight; ++v)
            QCOMPARE(DataBitsFromName(DataBitsName(TDataBits(v))), TDataBits(v));
        for (int v = prNone; v <= prSpace; ++v)
            QCOMPARE(ParityFromName(ParityName(TParityBits(v)).toLower()), TParityBits(v));
        for (int v = fcHardware; v <= fcCustom; ++v)
            QCOMPARE(FlowControlFromName(FlowControlName(TFlowControl(v))), TFlowControl(v));
        for (int v = dtrDisable; v <= dtrHandshake; ++v)
            QCOMPARE(DTRFromName(DTRName(TDTRFlowControl(v)).toUpper()), TDTRFlowControl(v));
        for (int v = rtsDisable; v <= rtsToggle; ++v)
            QCOMPARE(RTSFromName(RTSName(TRTSFlowControl(v))), TRTSFlowControl(v));
    }

    void unknownNamesGiveDefaults()
    {
        QCOMPARE(BaudRateFromName("115200"), br115200);
        QCOMPARE(BaudRateFromName("115201"), br9600);
        QCOMPARE(BaudRateFromName("custom"), brCustom);
        QCOMPARE(StopBitsFromName("1,5"), sbOneStopBit);
        QCOMPARE(DataBitsFromName(""), dbEight);
        QCOMPARE(ParityFromName("even"), prEven);
        QCOMPARE(ParityFromName("Evens"), prNone);
        QCOMPARE(FlowControlFromName("XON"), fcCustom);
        QCOMPARE(DTRFromName("on"), dtrDisable);
        QCOMPARE(RTSFromName("TOGGLE"), rtsToggle);
        // Only ASCII letters fold: the long s is no "S".
        QCOMPARE(ParityFromName(QString::fromUtf8("\u017Fpace")), prNone);
    }

    void booleans()
    {
        QCOMPARE(BoolName(true), QStringLiteral("Yes"));
        QCOMPARE(BoolName(false), QStringLiteral("No"));
        QVERIFY(BoolFromName("yEs"));
        QVERIFY(!BoolFromName("Y"));
        QVERIFY(!BoolFromName("true"));
    }

    void charName_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("NUL") << 0 << "#0";
        QTest::newRow("space") << 32 << "#32";
        QTest::newRow("!") << 33 << "!";
        QTest::newRow("#") << 35 << "#";
        QTest::newRow("DEL") << 127 << QString(QChar(127));
        QTest::newRow("128") << 128 << "#128";
        QTest::newRow("200") << 200 << "#200";
    }
    void charName()
    {
        QFETCH(int, code);
        QFETCH(QString, name);
        QCOMPARE(CharName(char(code)), name);
        QCOMPARE(int(static_cast<unsigned char>(CharFromName(name))), code);
    }

    void charFromName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("code");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("#17") << "#17" << 17;
        QTest::newRow("#x") << "#x" << 0;
        QTest::newRow("#300 is no byte") << "#300" << 0;
        QTest::newRow("#-1 is no byte") << "#-1" << 0;
        QTest::newRow("first character") << "Abc" << int('A');
        QTest::newRow("latin-1") << QString::fromUtf8("\u00E9t\u00E9") << 0xE9;
    }
    void charFromName()
    {
        QFETCH(QString, name);
        QFETCH(int, code);
        QCOMPARE(int(static_cast<unsigned char>(CharFromName(name))), code);
    }
};

QTEST_GUILESS_MAIN(TestSettingNames)
#include "tst_settingnames.moc"
