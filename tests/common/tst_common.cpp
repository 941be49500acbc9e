#include "codepage.h"
#include "colour.h"
#include "eventguard.h"
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

    void codePage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("accents") << QStringLiteral("Réception")
                                 << QByteArray("R\xE9"
                                               "ception")
                                 << QStringLiteral("Réception");
        QTest::newRow("oe ligature") << QStringLiteral("Cœur")
                                     << QByteArray("C\x9C"
                                                   "ur")
                                     << QStringLiteral("Cœur");
        QTest::newRow("euro") << QStringLiteral("Coût €") << QByteArray("Co\xFBt \x80")
                              << QStringLiteral("Coût €");
        QTest::newRow("quotes, dashes, dagger, per mille")
            << QStringLiteral("‘’“”–—†‰™") << QByteArray("\x91\x92\x93\x94\x96\x97\x86\x89\x99")
            << QStringLiteral("‘’“”–—†‰™");
        QTest::newRow("capitals") << QStringLiteral("ŒŠŽŸ") << QByteArray("\x8C\x8A\x8E\x9F")
                                  << QStringLiteral("ŒŠŽŸ");
        QTest::newRow("outside the code page")
            << QStringLiteral("Ω ✓") << QByteArray("? ?") << QStringLiteral("? ?");
        QTest::newRow("outside the basic plane, one character")
            << QStringLiteral("a\U0001F680b") << QByteArray("a?b") << QStringLiteral("a?b");
        // Undefined in the code page: kept as the control character of that number.
        QTest::newRow("undefined byte")
            << QStringLiteral("x\u0081y") << QByteArray("x\x81y") << QStringLiteral("x\u0081y");
        QTest::newRow("control without a byte")
            << QStringLiteral("\u0080") << QByteArray("?") << QStringLiteral("?");
    }
    void codePage()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, readBack);
        QCOMPARE(toCodePage(text), bytes);
        QCOMPARE(fromCodePage(bytes), readBack);
    }

    void everyByteReadsBackAsItself()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        QCOMPARE(toCodePage(fromCodePage(all)), all);
    }

    void guardShowsEscapingErrors()
    {
        ScriptedUserDialogs dialogs;
        QVERIFY(!EventGuard::run([] { throw ZephulError(QStringLiteral("Disque plein")); }));
        QVERIFY(EventGuard::run([] {}));
        QCOMPARE(dialogs.errors(), QStringList { "Disque plein" });
    }

    void deferredErrorsShowOncePerReception()
    {
        ScriptedUserDialogs dialogs;
        EventGuard::resetRepeats();
        for (int i = 0; i < 3; ++i)
            EventGuard::runDeferred([] { throw ZephulError(QStringLiteral("Disque plein")); });
        QVERIFY(dialogs.errors().isEmpty()); // shown after the current event, not inside it
        QCoreApplication::processEvents();
        QCOMPARE(dialogs.errors(), QStringList { "Disque plein" });
        EventGuard::resetRepeats();
        EventGuard::runDeferred([] { throw ZephulError(QStringLiteral("Disque plein")); });
        QCoreApplication::processEvents();
        QCOMPARE(dialogs.errors().size(), 2);
    }
};

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
