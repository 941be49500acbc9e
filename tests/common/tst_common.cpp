#include "colour.h"
#include "eventguard.h"
#include "latin1.h"
#include "numberformat.h"
#include "scripteduserdialogs.h"
#include "zephulerror.h"

#include <QLocale>
#include <QTest>

class TestCommon : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void formatFixed_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        QTest::newRow("fr 1.2f") << "fr_FR" << 5.0 << 2 << 1 << "5,00";
        QTest::newRow("fr 1.1f") << "fr_FR" << 9.0 << 1 << 1 << "9,0";
        QTest::newRow("fr 3.1f pads") << "fr_FR" << 9.09 << 1 << 3 << "9,1";
        QTest::newRow("fr 3.1f 100") << "fr_FR" << 100.0 << 1 << 3 << "100,0";
        QTest::newRow("en point") << "en_US" << 90.909 << 1 << 3 << "90.9";
        QTest::newRow("C negative") << "C" << -1.25 << 1 << 1 << "-1.2";
    }
    void formatFixed()
    {
        QFETCH(QString, locale);
        QFETCH(double, value);
        QFETCH(int, precision);
        QFETCH(int, width);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(::formatFixed(value, precision, width), expected);
    }

    void colourLayoutIsBgr()
    {
        QCOMPARE(colourFromBgr(0x0000FF), QColor(255, 0, 0));
        QCOMPARE(colourFromBgr(0xFF0000), QColor(0, 0, 255));
        QCOMPARE(bgrFromColour(QColor(0xD9, 0xFF, 0xFF)), 0xFFFFD9u);
        QCOMPARE(bgrFromColour(colourFromBgr(0x00C08080)), 0x00C08080u);
    }

    void latin1RoundTripKeepsAccents()
    {
        const QByteArray bytes = toLatin1Bytes(QStringLiteral("Réception"));
        QCOMPARE(bytes, QByteArray("R\xE9" "ception"));
        QCOMPARE(fromLatin1Bytes(bytes), QStringLiteral("Réception"));
    }

    void guardShowsEscapingErrors()
    {
        ScriptedUserDialogs dialogs;
        QVERIFY(!EventGuard::run([] { throw ZephulError(QStringLiteral("Disque plein")); }));
        QVERIFY(EventGuard::run([] {}));
        QCOMPARE(dialogs.errors(), QStringList{"Disque plein"});
    }

    void deferredErrorsShowOncePerReception()
    {
        ScriptedUserDialogs dialogs;
        EventGuard::resetRepeats();
        for (int i = 0; i < 3; ++i)
            EventGuard::runDeferred([] { throw ZephulError(QStringLiteral("Disque plein")); });
        QVERIFY(dialogs.errors().isEmpty()); // shown after the current event, not inside it
        QCoreApplication::processEvents();
        QCOMPARE(dialogs.errors(), QStringList{"Disque plein"});
        EventGuard::resetRepeats();
        EventGuard::runDeferred([] { throw ZephulError(QStringLiteral("Disque plein")); });
        QCoreApplication::processEvents();
        QCOMPARE(dialogs.errors().size(), 2);
    }
};

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
