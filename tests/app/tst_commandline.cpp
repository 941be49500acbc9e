// The program's command line, through the built program itself, run without any display: the
// help and the version need none, and an argument that is refused must not get as far as one.
#include "zephulversion.h"

#include <QProcess>
#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // what standard output starts with; empty: nothing
        QTest::addColumn<QString>(
            "err"); // a text standard error's first line holds; empty: nothing
        const QString version = QStringLiteral("zephul " ZEPHUL_VERSION "\n");
        QTest::newRow("--help") << QStringList { "--help" } << 0 << "Usage: zephul"
                                << "";
        QTest::newRow("-h") << QStringList { "-h" } << 0 << "Usage: zephul"
                            << "";
        QTest::newRow("--version") << QStringList { "--version" } << 0 << version << "";
        QTest::newRow("help wins over version")
            << QStringList { "--version", "--help" } << 0 << "Usage: zephul"
            << "";
        QTest::newRow("unknown option") << QStringList { "--bogus" } << 2 << ""
                                        << "\"--bogus\"";
        QTest::newRow("a file name") << QStringList { "vol1.txt" } << 2 << ""
                                     << "\"vol1.txt\"";
        // Qt's own options are not taken either: nothing of the toolkit is meant to be set here.
        QTest::newRow("toolkit option") << QStringList { "-platform", "offscreen" } << 2 << ""
                                        << "\"-platform\"";
        QTest::newRow("refused after a good one") << QStringList { "--version", "-x" } << 2 << ""
                                                  << "\"-x\"";
        QTest::newRow("option with a value") << QStringList { "--version=2" } << 2 << ""
                                             << "\"--version=2\"";
    }

    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            environment.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(ZEPHUL_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        const QString stdOut = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(program.readAllStandardError());
        if (out.isEmpty())
            QCOMPARE(stdOut, QString());
        else
            QVERIFY2(stdOut.startsWith(out), qPrintable(stdOut));
        if (err.isEmpty()) {
            QCOMPARE(stdErr, QString());
        } else {
            const QString first = stdErr.section('\n', 0, 0);
            QVERIFY2(first.startsWith("zephul: ") && first.contains(err), qPrintable(stdErr));
        }
    }

    // The help names both options and where the settings go.
    void helpSaysWhatItTakes()
    {
        QProcess program;
        program.start(QStringLiteral(ZEPHUL_PROGRAM), { "--help" });
        QVERIFY(program.waitForFinished(30000));
        const QString help = QString::fromLocal8Bit(program.readAllStandardOutput());
        for (const char *text : { "--help", "--version", "zephul.ini", "XDG_CONFIG_HOME" })
            QVERIFY2(help.contains(QLatin1String(text)), text);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
