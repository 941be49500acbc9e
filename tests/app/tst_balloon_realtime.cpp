// A short balloon flight in real time from the receiver emulator, about a minute long; both record
// files are checked against the emulator's capture of every byte it sent. Set
// ZEPHUL_SCREENSHOT_DIR to keep a picture of the window during the flight.

#include "balloonflightmodel.h"
#include "scripteduserdialogs.h"
#include "tcomport.h"
#include "zephulwindows.h"

#include <QAction>
#include <QDate>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <unistd.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

struct CapturedByte
{
    std::int64_t flightUs;
    char byte;
};

// "ZEPHUL-CAPTURE 1\n", then per byte sent its flight time in microseconds (unsigned 64-bit
// little-endian) and the byte.
QList<CapturedByte> readCapture(const QString &path)
{
    const QByteArray data = contents(path);
    const QByteArray magic("ZEPHUL-CAPTURE 1\n");
    QList<CapturedByte> bytes;
    if (!data.startsWith(magic))
        return bytes;
    for (qsizetype at = magic.size(); at + 9 <= data.size(); at += 9) {
        std::uint64_t us = 0;
        for (int i = 7; i >= 0; --i)
            us = us << 8 | static_cast<unsigned char>(data[at + i]);
        bytes << CapturedByte { std::int64_t(us), data[at + 8] };
    }
    return bytes;
}

} // namespace

class TestBalloonRealtime : public QObject
{
    Q_OBJECT

private slots:
    void flightFromTheEmulator()
    {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        ScriptedUserDialogs dialogs;
        QTemporaryDir folder;
        const QString capture = folder.filePath(QStringLiteral("flight.zcap"));
        QProcess emulator;
        emulator.setProcessChannelMode(QProcess::MergedChannels);
        const QString alias = QStringLiteral("tst-realtime-%1").arg(::getpid());
        // The receiver starts tuned elsewhere, so nothing is sent before "Démarrer" has tuned
        // it: the capture then holds exactly what the reception heard.
        emulator.start(QStringLiteral(ZEPHUL_EMULATOR),
                       { "--alias", alias, "--rx-channel", "0", "--copies", "2", "--bad-check",
                         "0.08", "--noise", "0.05", "--drop", "0.003", "--seed", "11", "--duration",
                         "100000", "--capture", capture });
        QVERIFY(emulator.waitForStarted());
        QString log;
        QString name;
        const QRegularExpression portLine(QStringLiteral(" port (\\S+) "));
        QTRY_VERIFY_WITH_TIMEOUT((log += QString::fromLatin1(emulator.readAll()),
                                  name = portLine.match(log).captured(1), !name.isEmpty()),
                                 10000);

        const auto windows = std::make_unique<ZephulWindows>(folder.filePath("zephul.ini"));
        TZephulF *w = windows->ZephulF();
        w->Timer_APropos->stop();
        w->flightMode = FlightMode::BALLON;
        w->resize(1100, 700);
        w->show();
        for (QAction *item : w->PortItems)
            if (item->text() == name)
                item->trigger();
        QVERIFY(w->ComPort->Connected());
        dialogs.answerFile(folder.filePath(QStringLiteral("vol")));
        w->NouvFichierM->trigger();
        w->DemarrerM->trigger();
        w->N137050MHz->trigger(); // tune the receiver to the transmitter: frames begin
        // Past the first minute, so that Tx OK 1mn shows a figure.
        QTest::qWait(62000);
        const QImage shot = w->grab().toImage();
        // Away from the transmitter: the receiver goes quiet, and what it sent is all handled
        // before the reception stops.
        w->N137500MHz->trigger();
        QTest::qWait(3000);
        w->ArreterM->trigger();
        emulator.terminate();
        QVERIFY(emulator.waitForFinished(10000));
        QVERIFY(dialogs.errors().isEmpty());
        const QString dir = qEnvironmentVariable("ZEPHUL_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(shot.save(dir + QStringLiteral("/balloon-reception.png")));

        // What the capture should give, byte by byte at the time it was sent.
        BalloonFlightModel model;
        for (const CapturedByte &b : readCapture(capture))
            model.receive(b.flightUs / 1000, QByteArray(1, b.byte));
        QVERIFY(model.lines().size() >= 25); // a measurement every 1.77 s for a minute

        const QByteArray record = contents(folder.filePath(QStringLiteral("vol.txt")));
        QCOMPARE(record, contents(folder.filePath(QStringLiteral("secours.zephul"))));
        QStringList lines = QString::fromLatin1(record).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.takeLast(), QString());
        QVERIFY(lines.takeFirst().startsWith(QStringLiteral("Date;Heure;Chrono;")));
        QCOMPARE(lines.size(), model.lines().size());
        const QDate d = QDate::currentDate();
        const QString date = QStringLiteral("%1/%2/%3;").arg(d.day()).arg(d.month()).arg(d.year());
        for (int k = 0; k < lines.size(); ++k) {
            const QString &line = lines.at(k);
            const BalloonFlightModel::Line &expected = model.lines().at(k);
            QVERIFY2(line.startsWith(date), qPrintable(line));
            QCOMPARE(line.section(u';', 3), expected.tail().section(u';', 1));
            // The chronometer counts on the program's clock, the capture on the emulator's: a
            // frame within a quarter of a second of a full second may land on either side.
            const QString chrono = line.section(u';', 2, 2);
            const auto near = [&](int deltaMs) {
                return chrono == BalloonFlightModel::chronoText(expected.elapsedMs + deltaMs);
            };
            QVERIFY2(near(0) || near(-250) || near(250),
                     qPrintable(chrono + " for " + QString::number(expected.elapsedMs)));
        }
    }
};

QTEST_MAIN(TestBalloonRealtime)
#include "tst_balloon_realtime.moc"
