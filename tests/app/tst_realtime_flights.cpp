// Short flights in real time from the receiver emulator, a balloon's of about a minute and a
// rocket's of some twenty seconds; both record files are checked against the emulator's capture
// of every byte it sent. Set ZEPHUL_SCREENSHOT_DIR to keep a picture of the window during each.

#include "flightmodel.h"
#include "recordlines.h"
#include "scripteduserdialogs.h"
#include "tcomport.h"
#include "tform_apropos.h"
#include "zephulwindows.h"

#include <QAction>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <unistd.h>

namespace {

struct CapturedByte
{
    std::int64_t flightUs;
    char byte;
};

// "ZEPHUL-CAPTURE 1\n", then per byte sent its flight time in microseconds (unsigned 64-bit
// little-endian) and the byte.
QList<CapturedByte> readCapture(const QString &path)
{
    const QByteArray data = RecordLines::contents(path);
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

// The emulator with its published port; the receiver starts tuned away from the transmitter, so
// nothing is sent before "Démarrer" has tuned it: the capture then holds exactly what the
// reception heard.
class Emulator
{
public:
    Emulator(const QStringList &arguments)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        const QString alias = QStringLiteral("tst-realtime-%1").arg(::getpid());
        m_process.start(
            QStringLiteral(ZEPHUL_EMULATOR),
            QStringList { "--alias", alias, "--rx-channel", "0", "--duration", "100000" }
                + arguments);
    }
    ~Emulator()
    {
        m_process.terminate();
        m_process.waitForFinished(10000);
    }

    // The published port's name, once the emulator has printed it; empty if it did not.
    QString portName()
    {
        if (!m_process.waitForStarted())
            return QString();
        QString log;
        QString name;
        const QRegularExpression portLine(QStringLiteral(" port (\\S+) "));
        const bool printed = QTest::qWaitFor(
            [&] {
                log += QString::fromLatin1(m_process.readAll());
                name = portLine.match(log).captured(1);
                return !name.isEmpty();
            },
            10000);
        return printed ? name : QString();
    }

private:
    QProcess m_process;
};

} // namespace

class TestRealtimeFlights : public QObject
{
    Q_OBJECT

private:
    // Receives from the emulator's port in the given mode for `seconds` after tuning the
    // receiver to the transmitter, then tunes it away, lets the line go quiet and stops. The
    // window is grabbed just before the receiver is tuned away.
    static std::unique_ptr<ZephulWindows> receive(const QString &portName, FlightMode mode,
                                                  ScriptedUserDialogs &dialogs,
                                                  const QString &folder, int seconds, QImage &shot)
    {
        auto windows = std::make_unique<ZephulWindows>(folder + QStringLiteral("/zephul.ini"));
        TZephulF *w = windows->ZephulF();
        w->Timer_APropos->stop();
        // The operator's choice in the mode chooser, which also lays the instruments out.
        if (mode == FlightMode::FUSEE)
            windows->Form_APropos()->Panel_FuseeClick();
        else
            windows->Form_APropos()->Panel_BallonClick();
        w->setOuterSize(QSize(1100, 700));
        w->show();
        for (QAction *item : w->PortItems)
            if (item->text() == portName)
                item->trigger();
        if (!w->ComPort->Connected())
            return nullptr;
        dialogs.answerFile(folder + QStringLiteral("/vol"));
        w->NouvFichierM->trigger();
        w->DemarrerM->trigger();
        w->N137050MHz->trigger(); // tune the receiver to the transmitter: frames begin
        QTest::qWait(seconds * 1000);
        shot = w->grab().toImage();
        // Away from the transmitter: the receiver goes quiet, and what it sent is all handled
        // before the reception stops.
        w->N137500MHz->trigger();
        QTest::qWait(3000);
        w->ArreterM->trigger();
        return windows;
    }

    static void keepShot(const QImage &shot, const QString &name)
    {
        const QString dir = qEnvironmentVariable("ZEPHUL_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(shot.save(dir + u'/' + name));
    }

    // The record file and its backup copy, as the data lines after one header.
    static QStringList recordLines(const QString &folder)
    {
        const QByteArray record = RecordLines::contents(folder + QStringLiteral("/vol.txt"));
        if (record != RecordLines::contents(folder + QStringLiteral("/secours.zephul")))
            return { QStringLiteral("<the backup copy differs>") };
        QStringList lines = QString::fromLatin1(record).split(QStringLiteral("\r\n"));
        if (lines.takeLast() != QString()
            || !lines.takeFirst().startsWith(QStringLiteral("Date;Heure;Chrono;")))
            return { QStringLiteral("<no header or no line end>") };
        return lines;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void balloonFlight()
    {
        ScriptedUserDialogs dialogs;
        QTemporaryDir folder;
        const QString capture = folder.filePath(QStringLiteral("flight.zcap"));
        Emulator emulator({ "--copies", "2", "--bad-check", "0.08", "--noise", "0.05", "--drop",
                            "0.003", "--seed", "11", "--capture", capture });
        const QString name = emulator.portName();
        QVERIFY(!name.isEmpty());
        QImage shot;
        // Past the first minute, so that Tx OK 1mn shows a figure.
        const auto windows = receive(name, FlightMode::BALLON, dialogs, folder.path(), 62, shot);
        QVERIFY(windows);
        QVERIFY(dialogs.errors().isEmpty());
        keepShot(shot, QStringLiteral("balloon-reception.png"));

        // What the capture should give, byte by byte at the time it was sent.
        FlightModel model;
        for (const CapturedByte &b : readCapture(capture))
            model.receive(b.flightUs / 1000, QByteArray(1, b.byte));
        QVERIFY(model.lines().size() >= 25); // a measurement every 1.77 s for a minute

        const QStringList lines = recordLines(folder.path());
        QCOMPARE(lines.size(), model.lines().size());
        const QDate d = QDate::currentDate();
        const QString date = QStringLiteral("%1/%2/%3;").arg(d.day()).arg(d.month()).arg(d.year());
        for (int k = 0; k < lines.size(); ++k) {
            const QString &line = lines.at(k);
            const FlightModel::Line &expected = model.lines().at(k);
            QVERIFY2(line.startsWith(date), qPrintable(line));
            QCOMPARE(line.section(u';', 3), expected.tail().section(u';', 1));
            // The chronometer counts on the program's clock, the capture on the emulator's: a
            // frame within a quarter of a second of a full second may land on either side.
            const QString chrono = line.section(u';', 2, 2);
            const auto near = [&](int deltaMs) {
                return chrono == FlightModel::chronoText(expected.elapsedMs + deltaMs);
            };
            QVERIFY2(near(0) || near(-250) || near(250),
                     qPrintable(chrono + " for " + QString::number(expected.elapsedMs)));
        }
    }

    // Rocket timing with its launch, bad check bytes, noise, lost bytes and a silence.
    void rocketFlight()
    {
        ScriptedUserDialogs dialogs;
        QTemporaryDir folder;
        const QString capture = folder.filePath(QStringLiteral("flight.zcap"));
        Emulator emulator({ "--mode", "rocket", "--launch", "5", "--bad-check", "0.05", "--noise",
                            "0.03", "--drop", "0.003", "--silence", "@12+3", "--seed", "5",
                            "--capture", capture });
        const QString name = emulator.portName();
        QVERIFY(!name.isEmpty());
        QImage shot;
        const auto windows = receive(name, FlightMode::FUSEE, dialogs, folder.path(), 22, shot);
        QVERIFY(windows);
        QVERIFY(dialogs.errors().isEmpty());
        keepShot(shot, QStringLiteral("rocket-reception.png"));

        FlightModel model(FlightModel::Mode::Rocket);
        for (const CapturedByte &b : readCapture(capture))
            model.receive(b.flightUs / 1000, QByteArray(1, b.byte));
        QVERIFY(model.lines().size() >= 30); // a frame every 460 ms, less the faults

        const QStringList lines = recordLines(folder.path());
        QCOMPARE(lines.size(), model.lines().size());
        const QDate d = QDate::currentDate();
        const QString date = QStringLiteral("%1/%2/%3;").arg(d.day()).arg(d.month()).arg(d.year());
        for (int k = 0; k < lines.size(); ++k) {
            const QString &line = lines.at(k);
            const FlightModel::Line &expected = model.lines().at(k);
            QVERIFY2(line.startsWith(date), qPrintable(line));
            QCOMPARE(line.section(u';', 3), expected.tail().section(u';', 1));
            // Milliseconds on the program's clock against the emulator's: within a quarter of a
            // second, the time a busy machine may take to hand a frame over.
            const std::int64_t ms = line.section(u';', 2, 2).toLongLong();
            QVERIFY2(std::abs(ms - expected.elapsedMs) <= 250,
                     qPrintable(line + " for " + QString::number(expected.elapsedMs)));
        }
        QCOMPARE(windows->ZephulF()->AcceptedFrameCount, std::int32_t(model.lines().size()));
    }

    // The receiver's cable knocked out for three seconds in the middle of a rocket flight: the
    // reception goes on when it is back, in the same files under one header, the chronometer
    // running on. A frame the unplugging cut may be lost; every other frame is there.
    void rocketFlightWithTheCableKnockedOut()
    {
        ScriptedUserDialogs dialogs;
        QTemporaryDir folder;
        const QString capture = folder.filePath(QStringLiteral("flight.zcap"));
        const double unplugAt = 7.0;
        const double unpluggedFor = 3.0;
        Emulator emulator({ "--mode", "rocket", "--launch", "3", "--seed", "9", "--unplug",
                            QStringLiteral("@%1+%2").arg(unplugAt).arg(unpluggedFor), "--capture",
                            capture });
        const QString name = emulator.portName();
        QVERIFY(!name.isEmpty());
        QImage shot;
        const auto windows = receive(name, FlightMode::FUSEE, dialogs, folder.path(), 14, shot);
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        QVERIFY(dialogs.errors().isEmpty());
        // Taken back: the port is open again (and stays open after the stop).
        QVERIFY(w->ComPort->Connected());

        // The capture's flight time runs from the emulator's start; the model's from the first
        // frame heard.
        const QList<CapturedByte> bytes = readCapture(capture);
        QVERIFY(!bytes.isEmpty());
        FlightModel model(FlightModel::Mode::Rocket);
        QList<std::int64_t> sentAtUs;
        const auto backAtUs = std::int64_t((unplugAt + unpluggedFor) * 1e6);
        bool cut = false;
        for (const CapturedByte &b : bytes) {
            if (!cut && b.flightUs >= backAtUs) {
                model.lineCut();
                cut = true;
            }
            const qsizetype before = model.lines().size();
            model.receive(b.flightUs / 1000, QByteArray(1, b.byte));
            if (model.lines().size() > before)
                sentAtUs << b.flightUs;
        }
        const QStringList lines = recordLines(folder.path());
        QVERIFY(lines.size() >= 20);
        QVERIFY(lines.size() <= model.lines().size());
        // In order, each line of the file is one of the model's; only frames that ended within
        // half a second of the unplugging, or before the port was watched and opened again after
        // the return (twice a second, on a busy machine), may be missing.
        qsizetype k = 0;
        std::int64_t lastMs = -1;
        for (qsizetype m = 0; m < model.lines().size(); ++m) {
            const FlightModel::Line &expected = model.lines().at(m);
            const bool nearEdge = std::abs(double(sentAtUs[m]) / 1e6 - unplugAt) < 0.5
                || std::abs(double(sentAtUs[m]) / 1e6 - unplugAt - unpluggedFor - 0.25) < 0.75;
            const bool present
                = k < lines.size() && lines[k].section(u';', 3) == expected.tail().section(u';', 1);
            if (!present) {
                QVERIFY2(nearEdge,
                         qPrintable(QStringLiteral("line for the frame sent at %1 s missing")
                                        .arg(double(sentAtUs[m]) / 1e6)));
                continue;
            }
            const std::int64_t ms = lines[k].section(u';', 2, 2).toLongLong();
            QVERIFY2(std::abs(ms - expected.elapsedMs) <= 250, qPrintable(lines[k]));
            QVERIFY(ms > lastMs);
            lastMs = ms;
            ++k;
        }
        QCOMPARE(k, lines.size());
        // Frames came on both sides of the gap.
        QVERIFY(lastMs > std::int64_t((unplugAt + unpluggedFor) * 1000) - 1000);
    }
};

QTEST_MAIN(TestRealtimeFlights)
#include "tst_realtime_flights.moc"
