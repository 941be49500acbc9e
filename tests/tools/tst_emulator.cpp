#include "listserialports.h"
#include "ptypair.h"
#include "publishedports.h"
#include "serialdevice.h"
#include "zephulversion.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The frame as the transmitter sends it, checked here independently of the ground station.
struct Frame
{
    QByteArray bytes;
    int channel(int n) const { return quint8(bytes[9 - n]); } // channel 1..8
    int battery() const { return quint8(bytes[9]); }
};

bool wellFormed(const QByteArray &eleven)
{
    if (eleven.size() != 11 || quint8(eleven[0]) != 0xFF)
        return false;
    int sum = 0;
    for (int i = 1; i <= 9; ++i)
        sum += quint8(eleven[i]);
    return quint8(eleven[10]) == (sum % 256) / 2;
}

struct Decoded
{
    QList<Frame> good;
    int bad = 0; // 0xFF + 10 bytes whose check byte is wrong (aligned decoding only)
    qsizetype rest = 0; // bytes after the last whole frame
};

// Every frame must start where the previous one ended: the stream of a run without noise or
// dropped bytes.
Decoded decodeAligned(const QByteArray &stream)
{
    Decoded result;
    qsizetype at = 0;
    for (; at + 11 <= stream.size(); at += 11) {
        const QByteArray frame = stream.mid(at, 11);
        if (quint8(frame[0]) != 0xFF)
            break;
        if (wellFormed(frame))
            result.good.append({ frame });
        else
            ++result.bad;
    }
    result.rest = stream.size() - at;
    return result;
}

// Finds good frames anywhere, resynchronising byte by byte after anything else.
Decoded decodeResync(const QByteArray &stream)
{
    Decoded result;
    qsizetype at = 0;
    while (at + 11 <= stream.size()) {
        const QByteArray frame = stream.mid(at, 11);
        if (wellFormed(frame)) {
            result.good.append({ frame });
            at += 11;
        } else {
            ++at;
        }
    }
    return result;
}

// The emulator as a child process, with its log (standard output) kept for inspection.
class EmulatorProcess
{
public:
    explicit EmulatorProcess(const QStringList &arguments)
    {
        m_process.start(QStringLiteral(ZEPHUL_EMULATOR), arguments);
        m_started = m_process.waitForStarted(10000);
    }
    ~EmulatorProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool started() const { return m_started; }
    QProcess &process() { return m_process; }

    // Waits until a log line matches; returns its captures (empty list on timeout).
    QStringList waitForLog(const QString &pattern, int timeoutMs = 10000)
    {
        const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
        QElapsedTimer timer;
        timer.start();
        while (true) {
            m_log += QString::fromLatin1(m_process.readAllStandardOutput());
            const QRegularExpressionMatch match = expression.match(m_log, m_searchFrom);
            if (match.hasMatch()) {
                m_searchFrom = match.capturedEnd();
                return match.capturedTexts();
            }
            if (timer.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
                return {};
            m_process.waitForReadyRead(50);
        }
    }
    QString log()
    {
        m_log += QString::fromLatin1(m_process.readAllStandardOutput());
        return m_log;
    }

    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    bool finish(int timeoutMs = 10000) { return m_process.waitForFinished(timeoutMs); }

private:
    QProcess m_process;
    bool m_started = false;
    QString m_log;
    qsizetype m_searchFrom = 0;
};

// Whatever the master side has to read right now, without waiting.
QByteArray readAvailable(int fd, int waitMs = 0)
{
    QByteArray out;
    struct pollfd p = { fd, POLLIN, 0 };
    while (::poll(&p, 1, out.isEmpty() ? waitMs : 0) > 0 && (p.revents & POLLIN)) {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    return out;
}

// Everything the emulator sends to the pty until it ends by itself.
QByteArray collectUntilEnd(EmulatorProcess &emulator, PtyPair &pty, int timeoutMs = 60000)
{
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        out += readAvailable(pty.masterFd(), 20);
        if (emulator.process().state() == QProcess::NotRunning
            || emulator.process().waitForFinished(0)) {
            out += readAvailable(pty.masterFd(), 100);
            return out;
        }
    }
    return out;
}

bool linkExists(const QString &path)
{
    struct stat info;
    return ::lstat(path.toLocal8Bit().constData(), &info) == 0;
}

QStringList listed(const QString &folder)
{
    QStringList names;
    for (const std::string &name : PublishedPorts::list(folder.toStdString()))
        names << QString::fromStdString(name);
    return names;
}

const QString Stamp = QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} t=\\d+\\.\\d{3} ");

} // namespace

class TestEmulator : public QObject
{
    Q_OBJECT

private slots:
    void helpDocumentsEveryOption()
    {
        QProcess help;
        help.start(QStringLiteral(ZEPHUL_EMULATOR), { "--help" });
        QVERIFY(help.waitForFinished(10000));
        QCOMPARE(help.exitCode(), 0);
        const QString text = QString::fromLatin1(help.readAllStandardOutput());
        const QStringList options
            = { "--folder",         "--alias",     "--device",     "--mode",       "--copies",
                "--launch",         "--channel",   "--tx-channel", "--rx-channel", "--speed",
                "--duration",       "--bad-check", "--drop",       "--noise",      "--silence",
                "--silence-length", "--seed",      "--capture",    "--replay",     "--log",
                "--verbose",        "--help",      "--version" };
        for (const QString &option : options)
            QVERIFY2(text.contains(option), qPrintable(option));
        QVERIFY(text.count(QStringLiteral("e.g.")) >= 18);
        QVERIFY(text.contains(QStringLiteral("Examples")));
    }

    // The version, from the project's one version, for its manual page.
    void versionIsTheProjects()
    {
        QProcess version;
        version.start(QStringLiteral(ZEPHUL_EMULATOR), { "--version" });
        QVERIFY(version.waitForFinished(10000));
        QCOMPARE(version.exitCode(), 0);
        QCOMPARE(QString::fromLatin1(version.readAllStandardOutput()).section('\n', 0, 0),
                 QString("zephul-emulator " ZEPHUL_VERSION));
    }

    void errorsExitNonZero_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown option") << QStringList { "--bogus" } << 2 << "unknown option";
        QTest::newRow("missing value") << QStringList { "--duration" } << 2 << "needs a value";
        QTest::newRow("zero speed") << QStringList { "--speed", "0" } << 2 << "--speed";
        QTest::newRow("mode") << QStringList { "--mode=plane" } << 2
                              << "neither balloon nor rocket";
        QTest::newRow("channel 61") << QStringList { "--tx-channel", "61" } << 2 << "0 to 60";
        QTest::newRow("five copies") << QStringList { "--copies", "5" } << 2 << "1 to 4";
        QTest::newRow("rate above 1") << QStringList { "--bad-check", "1.5" } << 2 << "probability";
        QTest::newRow("bad schedule") << QStringList { "--drop", "@3,x" } << 2 << "--drop";
        QTest::newRow("bad silence")
            << QStringList { "--silence", "@10" } << 2 << "START\\+SECONDS";
        QTest::newRow("channel 9") << QStringList { "--channel", "9=constant:1" } << 2 << "1 to 8";
        QTest::newRow("bad shape") << QStringList { "--channel", "1=square:3" } << 2
                                   << "SHAPE"
                                      "|constant:V";
        QTest::newRow("alias with slash") << QStringList { "--alias", "a/b" } << 2 << "plain";
        QTest::newRow("no device") << QStringList { "--device", "/nonexistent/ttyX" } << 1
                                   << "cannot open device /nonexistent/ttyX";
        QTest::newRow("not a tty")
            << QStringList { "--device", "/dev/null" } << 1 << "not a serial device";
        QTest::newRow("no replay file") << QStringList { "--replay", "/nonexistent/flight.zcap" }
                                        << 1 << "cannot open capture file";
        QTest::newRow("unpublishable")
            << QStringList { "--folder", "/dev/null/ports" } << 1 << "cannot publish";
        QTest::newRow("unplug without @") << QStringList { "--unplug", "60+10" } << 2 << "--unplug";
        QTest::newRow("unplug of a device")
            << QStringList { "--unplug", "@1+1", "--device", "/dev/null" } << 2
            << "cannot unplug --device";
    }
    void errorsExitNonZero()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QProcess process;
        process.start(QStringLiteral(ZEPHUL_EMULATOR), arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QString error = QString::fromLatin1(process.readAllStandardError());
        QVERIFY2(error.startsWith(QStringLiteral("zephul-emulator: ")), qPrintable(error));
        QVERIFY2(error.contains(QRegularExpression(message)), qPrintable(error));
    }

    void damagedCaptureIsRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QByteArray record(9, '\0');
        QTest::newRow("no header") << QByteArray("\xFF\x01\x02") << "not a capture file";
        QTest::newRow("truncated")
            << QByteArray("ZEPHUL-CAPTURE 1\n") + record.left(5) << "truncated";
        QByteArray later = record;
        later[0] = 100;
        QTest::newRow("time backwards")
            << QByteArray("ZEPHUL-CAPTURE 1\n") + later + record << "damaged";
    }
    void damagedCaptureIsRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QTemporaryDir folder;
        QFile file(folder.filePath("bad.zcap"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QProcess process;
        process.start(QStringLiteral(ZEPHUL_EMULATOR),
                      { "--replay", file.fileName(), "--folder", folder.path() });
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(QString::fromLatin1(process.readAllStandardError()).contains(message));
        QVERIFY(listed(folder.path()).isEmpty());
    }

    void captureWriteFailureEndsCleanly()
    {
        // A disk that fills up must not go unnoticed, and the port must still be withdrawn.
        QTemporaryDir folder;
        EmulatorProcess emulator({ "--folder", folder.path(), "--capture", "/dev/full" });
        QVERIFY(emulator.started());
        QVERIFY(emulator.finish());
        QCOMPARE(emulator.process().exitCode(), 1);
        QVERIFY(QString::fromLatin1(emulator.process().readAllStandardError())
                    .contains(QStringLiteral("cannot write capture file /dev/full")));
        QVERIFY(!linkExists(folder.filePath("zephul-emulator")));
    }

    void unpluggedDeviceEndsWithAnError()
    {
        PtyPair pty;
        EmulatorProcess emulator({ "--device", QString::fromStdString(pty.slavePath()) });
        QVERIFY(!emulator.waitForLog(Stamp + "port ").isEmpty());
        pty.closeMaster();
        QVERIFY(emulator.finish());
        QCOMPARE(emulator.process().exitCode(), 1);
        QVERIFY(QString::fromLatin1(emulator.process().readAllStandardError()).contains("hung up"));
    }

    void portListedWhileRunning_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("SIGTERM") << "SIGTERM";
        QTest::newRow("SIGINT") << "SIGINT";
        QTest::newRow("end of duration") << "end";
    }
    void portListedWhileRunning()
    {
        QFETCH(QString, ending);
        QTemporaryDir folder;
        QStringList arguments { "--folder", folder.path(), "--alias", "test-receiver" };
        if (ending == "end") // detuned, so that no frame waits to be read at the end
            arguments << "--duration"
                      << "2"
                      << "--speed"
                      << "4"
                      << "--rx-channel"
                      << "30";
        EmulatorProcess emulator(arguments);
        QVERIFY(emulator.started());
        const QStringList port = emulator.waitForLog(Stamp + "port (\\S+) ");
        QCOMPARE(port.size(), 2);
        const QString name = folder.filePath("test-receiver");
        QCOMPARE(port[1], name);
        QCOMPARE(listed(folder.path()), QStringList { name });
        // The ground station's own port list, the machine's ports included.
        QVERIFY(ListSerialPorts(QStringLiteral("/sys/class/tty"), folder.path()).contains(name));

        if (ending == "SIGTERM")
            emulator.signal(SIGTERM);
        else if (ending == "SIGINT")
            emulator.signal(SIGINT);
        QVERIFY(emulator.finish());
        QCOMPARE(emulator.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(emulator.process().exitCode(), 0);
        QVERIFY(listed(folder.path()).isEmpty());
        QVERIFY(!ListSerialPorts(QStringLiteral("/sys/class/tty"), folder.path()).contains(name));
        QVERIFY(!linkExists(name));
    }

    // --unplug: the port goes away at its flight time and comes back under the same name, a new
    // line still tuned where it was.
    void unplugAndPlugBackIn()
    {
        QTemporaryDir folder;
        EmulatorProcess emulator({ "--folder", folder.path(), "--alias", "knocked", "--speed", "4",
                                   "--unplug", "@2+4", "--duration", "12" });
        QVERIFY(emulator.started());
        const QString name = folder.filePath("knocked");
        QCOMPARE(emulator.waitForLog(Stamp + "port (\\S+) ").value(1), name);
        QVERIFY(
            !emulator.waitForLog(Stamp + "receiver unplugged: port " + name + " gone$").isEmpty());
        QVERIFY(listed(folder.path()).isEmpty());
        QVERIFY(!emulator
                     .waitForLog(Stamp + "receiver plugged back in: port " + name
                                 + ", still on channel 21$")
                     .isEmpty());
        QCOMPARE(listed(folder.path()), QStringList { name });
        // Frames come on the new line.
        const int fd = ::open(name.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        QByteArray bytes;
        for (int i = 0; i < 100 && bytes.size() < 22; ++i)
            bytes += readAvailable(fd, 50);
        ::close(fd);
        QVERIFY(!decodeResync(bytes).good.isEmpty());
        QVERIFY(emulator.finish(20000));
        QCOMPARE(emulator.process().exitCode(), 0);
    }

    void groundStationBackendOpensThePublishedPort()
    {
        // The ground station opens its port exclusively; the emulator's own hold on the
        // pseudo-terminal must not get in the way, neither the first time nor after a close.
        QTemporaryDir folder;
        EmulatorProcess emulator({ "--folder", folder.path(), "--rx-channel", "30" });
        const QStringList port = emulator.waitForLog(Stamp + "port (\\S+) ");
        QCOMPARE(port.size(), 2);
        for (const char *command : { "$HF\r\n", "$HM\r\n" }) {
            SerialDevice device;
            QCOMPARE(device.open(port[1].toStdString()), 0);
            std::size_t done = 0;
            QCOMPARE(device.write(command, 5, done), 0);
            QCOMPARE(done, std::size_t(5));
            QVERIFY(!emulator
                         .waitForLog(Stamp + QRegularExpression::escape(QString(command).left(3))
                                     + ": loudspeaker")
                         .isEmpty());
            SerialDevice second;
            QCOMPARE(second.open(port[1].toStdString()), EBUSY);
        }
        emulator.signal(SIGTERM);
        QVERIFY(emulator.finish());
    }

    void laterEmulatorKeepsItsPortWhenTheFirstStops()
    {
        // Two emulators under one alias: the second one's link replaces the first's, and the
        // first, stopping, must not take the second one's port away.
        QTemporaryDir folder;
        const QStringList arguments { "--folder", folder.path(), "--rx-channel", "30" };
        EmulatorProcess first(arguments);
        QVERIFY(!first.waitForLog(Stamp + "port ").isEmpty());
        EmulatorProcess second(arguments);
        QVERIFY(!second.waitForLog(Stamp + "port ").isEmpty());
        first.signal(SIGTERM);
        QVERIFY(first.finish());
        const QString name = folder.filePath("zephul-emulator");
        QCOMPARE(listed(folder.path()), QStringList { name });
        second.signal(SIGTERM);
        QVERIFY(second.finish());
        QVERIFY(!linkExists(name));
    }

    void framesAreWellFormed_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("copies");
        // Measurements at 0, 1.77, ... below the duration: 100 of them.
        QTest::newRow("balloon, two copies")
            << QStringList { "--mode", "balloon", "--duration", "176.9" } << 200 << 2;
        QTest::newRow("balloon, one copy")
            << QStringList { "--mode", "ballon", "--copies", "1", "--duration", "176.9" } << 100
            << 1;
        QTest::newRow("balloon, four copies")
            << QStringList { "--copies", "4", "--duration", "17.7" } << 40 << 4;
        QTest::newRow("rocket") << QStringList { "--mode", "rocket", "--duration", "92" } << 200
                                << 1;
    }
    void framesAreWellFormed()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, frames);
        QFETCH(int, copies);
        PtyPair pty;
        EmulatorProcess emulator(arguments
                                 + QStringList { "--device",
                                                 QString::fromStdString(pty.slavePath()), "--speed",
                                                 "400" });
        QVERIFY(emulator.started());
        const QByteArray stream = collectUntilEnd(emulator, pty);
        QCOMPARE(emulator.process().exitCode(), 0);
        const Decoded decoded = decodeAligned(stream);
        QCOMPARE(decoded.bad, 0);
        QCOMPARE(decoded.rest, 0);
        QCOMPARE(decoded.good.size(), frames);
        int changes = 0;
        for (int i = 0; i < frames; i += copies) {
            for (int c = 1; c < copies; ++c)
                QCOMPARE(decoded.good[i + c].bytes, decoded.good[i].bytes);
            if (i > 0 && decoded.good[i].bytes != decoded.good[i - 1].bytes)
                ++changes;
            // About 9 V at the start, never a flat battery in such a short flight.
            QVERIFY(decoded.good[i].battery() >= 110 && decoded.good[i].battery() <= 132);
        }
        QVERIFY(changes > frames / copies / 2); // the channels vary
        QVERIFY(decoded.good.first().battery() >= 128);
    }

    void channelOverrides()
    {
        PtyPair pty;
        EmulatorProcess emulator({ "--mode", "rocket", "--duration", "46", "--speed", "400",
                                   "--device", QString::fromStdString(pty.slavePath()), "--channel",
                                   "3=constant:77", "--channel", "battery=constant:130",
                                   "--channel", "8=ramp:0:200:45.54", "--channel",
                                   "5=sine:128:100:4.6", "--channel", "1=noise:100:10" });
        QVERIFY(emulator.started());
        const Decoded decoded = decodeAligned(collectUntilEnd(emulator, pty));
        QCOMPARE(decoded.good.size(), 100);
        int sineHigh = 0;
        for (int i = 0; i < decoded.good.size(); ++i) {
            const Frame &frame = decoded.good[i];
            QCOMPARE(frame.channel(3), 77);
            QCOMPARE(frame.battery(), 130);
            QVERIFY(std::abs(frame.channel(8) - qRound(200 * std::min(1.0, i * 0.46 / 45.54)))
                    <= 1);
            QVERIFY(frame.channel(5) >= 28 && frame.channel(5) <= 228);
            sineHigh += frame.channel(5) > 200;
            QVERIFY(frame.channel(1) >= 90 && frame.channel(1) <= 110);
        }
        QVERIFY(sineHigh >= 10);
    }

    void faultRates_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("measure");
        QTest::addColumn<double>("expected");
        QTest::addColumn<double>("tolerance");
        // 1000 rocket frames (460 s of flight).
        QTest::newRow("bad check 10 %")
            << QStringList { "--bad-check", "0.1" } << "bad" << 100.0 << 30.0;
        QTest::newRow("bad check 2 %, seed 9")
            << QStringList { "--bad-check", "0.02", "--seed", "9" } << "bad" << 20.0 << 10.0;
        QTest::newRow("dropped bytes 1 %")
            << QStringList { "--drop", "0.01" } << "missing" << 110.0 << 35.0;
        // Bursts of 1 to 4 bytes, 2.5 on average.
        QTest::newRow("noise 10 %") << QStringList { "--noise", "0.1" } << "extra" << 250.0 << 75.0;
        QTest::newRow("bad check schedule")
            << QStringList { "--bad-check", "@5,6,7,1000" } << "bad" << 4.0 << 0.0;
        QTest::newRow("drop schedule")
            << QStringList { "--drop", "@1,500" } << "missing" << 2.0 << 0.0;
        QTest::newRow("noise schedule")
            << QStringList { "--noise", "@2" } << "frames found" << 1000.0 << 0.0;
        // Slots 22 (10.12 s) to 32 (14.72 s) fall in the silence.
        QTest::newRow("silence schedule")
            << QStringList { "--silence", "@10+5" } << "frames" << 989.0 << 0.0;
        QTest::newRow("silence rate")
            << QStringList { "--silence", "0.01", "--silence-length", "4.6" } << "frames" << 910.0
            << 60.0;
    }
    void faultRates()
    {
        QFETCH(QStringList, faults);
        QFETCH(QString, measure);
        QFETCH(double, expected);
        QFETCH(double, tolerance);
        PtyPair pty;
        EmulatorProcess emulator(QStringList { "--mode", "rocket", "--duration", "460", "--speed",
                                               "1000", "--device",
                                               QString::fromStdString(pty.slavePath()) }
                                 + faults);
        QVERIFY(emulator.started());
        const QByteArray stream = collectUntilEnd(emulator, pty);
        QCOMPARE(emulator.process().exitCode(), 0);
        const QString last = emulator.waitForLog("end after (\\d+) frames, (\\d+) bytes").value(1);
        const int sent = last.toInt();
        double measured = 0;
        if (measure == "bad") {
            const Decoded decoded = decodeAligned(stream);
            QCOMPARE(decoded.good.size() + decoded.bad, 1000);
            measured = decoded.bad;
        } else if (measure == "missing") {
            QCOMPARE(sent, 1000);
            measured = 11000 - stream.size();
        } else if (measure == "extra") {
            QCOMPARE(sent, 1000);
            measured = stream.size() - 11000;
            QVERIFY(decodeResync(stream).good.size() >= 990);
        } else if (measure == "frames found") {
            measured = decodeResync(stream).good.size();
        } else {
            const Decoded decoded = decodeAligned(stream);
            QCOMPARE(decoded.bad, 0);
            QCOMPARE(decoded.good.size(), sent);
            measured = sent;
        }
        QVERIFY2(
            std::abs(measured - expected) <= tolerance,
            qPrintable(QStringLiteral("measured %1, expected %2").arg(measured).arg(expected)));
    }

    void commandsAreLogged_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("logged");
        QTest::newRow("tune 30") << QByteArray("$C30\r\n")
                                 << "\\$C30: tuned to channel 30 \\(137\\.500 MHz\\), transmitter "
                                    "\\(channel 21\\) out of hearing";
        QTest::newRow("tune 21") << QByteArray("$C21\r\n")
                                 << "\\$C21: tuned to channel 21 \\(137\\.050 MHz\\), transmitter "
                                    "in hearing";
        QTest::newRow("tune 0") << QByteArray("$C0\r\n")
                                << "\\$C0: tuned to channel 0 "
                                   "\\(136\\.000 MHz\\)";
        QTest::newRow("tune 60") << QByteArray("$C60\r\n")
                                 << "\\$C60: tuned to channel 60 "
                                    "\\(139\\.000 MHz\\)";
        QTest::newRow("loudspeaker on") << QByteArray("$HF\r\n") << "\\$HF: loudspeaker on";
        QTest::newRow("loudspeaker off") << QByteArray("$HM\r\n") << "\\$HM: loudspeaker off";
        QTest::newRow("channel 61") << QByteArray("$C61\r\n")
                                    << "malformed command \"\\$C61\" \\(channel is not a number "
                                       "from 0 to 60\\): ignored";
        QTest::newRow("leading zero") << QByteArray("$C07\r\n") << "malformed command \"\\$C07\"";
        QTest::newRow("no channel") << QByteArray("$C\r\n") << "malformed command \"\\$C\"";
        QTest::newRow("unknown") << QByteArray("$X\r\n")
                                 << "malformed command \"\\$X\" \\(unknown command\\)";
        QTest::newRow("LF only") << QByteArray("$C21\n")
                                 << "malformed command \"\\$C21\" \\(not ended by CR LF\\)";
        QTest::newRow("binary") << QByteArray("\xFF\x01$S\r\n")
                                << "malformed command \"\\\\xFF\\\\x01\\$S\"";
        QTest::newRow("split in pieces")
            << QByteArray("$H") + QByteArray("F\r\n") << "\\$HF: loudspeaker on";
        QTest::newRow("overlong") << QByteArray(200, 'A') + "\r\n"
                                  << "malformed command \"A+\\.\\.\\.\" \\(line too long\\)";
    }
    void commandsAreLogged()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, logged);
        PtyPair pty;
        QTemporaryDir folder;
        const QString logFile = folder.filePath("emulator.log");
        EmulatorProcess emulator({ "--device", QString::fromStdString(pty.slavePath()),
                                   "--rx-channel", "40", "--log", logFile });
        QVERIFY(emulator.started());
        QVERIFY(!emulator.waitForLog(Stamp + "port ").isEmpty());
        pty.send(line.toStdString());
        QVERIFY2(!emulator.waitForLog(Stamp + logged).isEmpty(), qPrintable(emulator.log()));
        // The same line, CR LF ended, in the log file.
        QFile file(logFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString content = QString::fromLatin1(file.readAll());
        QVERIFY(content.contains(QRegularExpression(logged + ".*\r\n")));
        emulator.signal(SIGTERM);
        QVERIFY(emulator.finish());
    }

    void framesHeardOnlyOnTransmitterChannel()
    {
        PtyPair pty;
        EmulatorProcess emulator(
            { "--device", QString::fromStdString(pty.slavePath()), "--speed", "20", "--verbose" });
        QVERIFY(emulator.started());
        QVERIFY(!decodeResync(pty.receive(22, std::chrono::seconds(10)).c_str()).good.isEmpty());

        pty.send("$C30\r\n");
        QVERIFY(!emulator.waitForLog("\\$C30: tuned").isEmpty());
        QVERIFY(!emulator.waitForLog("not heard \\(receiver on channel 30\\)").isEmpty());
        readAvailable(pty.masterFd()); // the frame that was on the line when the tuning came
        QVERIFY(!emulator.waitForLog("not heard \\(receiver on channel 30\\)").isEmpty());
        QVERIFY(!emulator.waitForLog("not heard \\(receiver on channel 30\\)").isEmpty());
        QCOMPARE(readAvailable(pty.masterFd()), QByteArray());

        pty.send("$C21\r\n");
        QVERIFY(!emulator.waitForLog("\\$C21: tuned").isEmpty());
        const std::string after = pty.receive(22, std::chrono::seconds(10));
        QCOMPARE(decodeAligned(QByteArray::fromStdString(after)).good.size(), 2);
    }

    void sweepAnswers_data()
    {
        QTest::addColumn<int>("transmitter");
        QTest::addColumn<int>("receiver");
        QTest::addColumn<QString>("seed");
        QTest::newRow("detuned, transmitter on 21") << 21 << 30 << "1";
        QTest::newRow("transmitter on 40, seed 5") << 40 << 0 << "5";
        QTest::newRow("transmitter on 0") << 0 << 60 << "2";
        QTest::newRow("tuned: frames around the sweep") << 21 << 21 << "1";
    }
    void sweepAnswers()
    {
        QFETCH(int, transmitter);
        QFETCH(int, receiver);
        QFETCH(QString, seed);
        PtyPair pty;
        EmulatorProcess emulator({ "--device", QString::fromStdString(pty.slavePath()), "--speed",
                                   "20", "--mode", "rocket", "--tx-channel",
                                   QString::number(transmitter), "--rx-channel",
                                   QString::number(receiver), "--seed", seed });
        QVERIFY(emulator.started());
        QVERIFY(!emulator.waitForLog(Stamp + "port ").isEmpty());
        const bool tuned = transmitter == receiver;
        QByteArray stream;
        if (tuned)
            stream = QByteArray::fromStdString(pty.receive(22, std::chrono::seconds(10)));
        pty.send("$S\r\n");
        const QStringList sweep = emulator.waitForLog(
            Stamp + "\\$S: sweep of 61 readings, highest \\d+ at channel (\\d+)");
        QCOMPARE(sweep.value(1).toInt(), transmitter);
        // Whole frames, then 61 answers of 4 bytes without a byte in between, then (when tuned)
        // whole frames again.
        auto framesBefore = [&] {
            qsizetype at = 0;
            while (tuned && wellFormed(stream.mid(at, 11)))
                at += 11;
            return at;
        };
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000
               && stream.size() < framesBefore() + 244 + (tuned ? 2 * 11 : 0))
            stream += readAvailable(pty.masterFd(), 50);
        if (!tuned)
            stream += readAvailable(pty.masterFd(), 200);
        const qsizetype at = framesBefore();
        const QByteArray answers = stream.mid(at, 244);
        QCOMPARE(answers.size(), 244);
        const QRegularExpression form("^#(  \\d| [1-9]\\d|[1-9]\\d\\d)$");
        QList<int> readings;
        for (int i = 0; i < 61; ++i) {
            const QString answer = QString::fromLatin1(answers.mid(i * 4, 4));
            QVERIFY2(form.match(answer).hasMatch(), qPrintable(answer));
            readings << answer.mid(1).trimmed().toInt();
            QVERIFY(readings.last() <= 230);
        }
        const auto peak = std::max_element(readings.begin(), readings.end());
        QCOMPARE(int(peak - readings.begin()), transmitter);
        QVERIFY(*peak >= 150);
        int stations = 0;
        for (int c = 0; c < 61; ++c) {
            const bool localPeak = (c == 0 || readings[c] > readings[c - 1])
                && (c == 60 || readings[c] >= readings[c + 1]);
            stations += localPeak && readings[c] >= 40 && std::abs(c - transmitter) > 2;
        }
        QVERIFY(stations >= 2);
        int quiet = 0;
        for (int reading : readings)
            quiet += reading < 20;
        QVERIFY(quiet >= 30); // mostly noise elsewhere

        const QByteArray after = stream.mid(at + 244);
        if (tuned) {
            const Decoded resumed = decodeAligned(after);
            QCOMPARE(resumed.bad, 0);
            QVERIFY(resumed.good.size() >= 2);
        } else {
            QCOMPARE(after, QByteArray());
        }
        emulator.signal(SIGTERM);
        QVERIFY(emulator.finish());
    }

    void captureThenReplayGivesTheSameBytes()
    {
        QTemporaryDir folder;
        const QString capture = folder.filePath("flight.zcap");
        const QStringList flight { "--mode",  "rocket", "--duration", "46",          "--speed",
                                   "1000",    "--seed", "7",          "--bad-check", "0.05",
                                   "--noise", "0.05",   "--drop",     "0.005" };
        auto run = [](const QStringList &arguments) {
            PtyPair pty;
            EmulatorProcess emulator(
                arguments + QStringList { "--device", QString::fromStdString(pty.slavePath()) });
            if (!emulator.started())
                return QByteArray();
            const QByteArray stream = collectUntilEnd(emulator, pty);
            return emulator.process().exitCode() == 0 ? stream : QByteArray();
        };
        const QByteArray original = run(flight + QStringList { "--capture", capture });
        QVERIFY(original.size() > 1000);
        QCOMPARE(QFileInfo(capture).size(), 17 + 9 * original.size());

        QCOMPARE(run({ "--replay", capture, "--speed", "2000" }), original);
        // The seed alone fixes the flight.
        QCOMPARE(run(flight), original);
        QVERIFY(run(flight + QStringList { "--seed", "8" }) != original);
    }
};

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
