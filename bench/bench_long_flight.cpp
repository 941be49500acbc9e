// A long flight through the real main window (offscreen) at full speed: frames on a
// pseudo-terminal, the flight clock set by the bench, as fast as the program takes them.
//
//   bench_long_flight [balloon|rocket] [HOURS]
//
// Balloon: 8 hours by default (about 16,300 measurements, most sent twice); rocket: 2.5 hours
// (about 19,600 frames). The fault mix is the receiver emulator's kind: damaged check bytes, noise
// before a frame, a byte lost now and then, a silence every hour. At the end both record files
// are compared line by line with what the bytes and times should give (every accepted frame in
// both files exactly once), and the figures are printed: resident memory along the flight
// (goal: flat after the first minutes, growth at most 1 MB) and the time per frame at the start
// and at the end (goal: flat).

#include "flightmodel.h"
#include "manualflightclock.h"
#include "receiverport.h"
#include "recordlines.h"
#include "scripteduserdialogs.h"
#include "tcomdatapacket.h"
#include "tcomport.h"
#include "zephulwindows.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(::sysconf(_SC_PAGESIZE)) / 1048576.0
                             : 0;
}

struct Sample
{
    double flightMinutes;
    double residentMb;
    double msPerPacket; // since the previous sample
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    const bool rocket = argc > 1 && std::string(argv[1]) == "rocket";
    const double hours = argc > 2 ? std::atof(argv[2]) : (rocket ? 2.5 : 8.0);
    const std::int64_t periodMs = rocket ? 460 : 1770;
    const std::int64_t count = std::int64_t(hours * 3600'000.0 / double(periodMs));

    QTemporaryDir dir;
    ScriptedUserDialogs dialogs;
    ReceiverPort port;
    ManualFlightClock clock(1'000'000);
    ZephulWindows windows(dir.filePath(QStringLiteral("zephul.ini")));
    TZephulF *w = windows.ZephulF();
    w->Timer_APropos->stop();
    w->flightMode = rocket ? FlightMode::FUSEE : FlightMode::BALLON;
    w->setFlightClock(clock);
    w->show();
    for (QAction *item : w->PortItems)
        if (item->text() == port.name())
            item->trigger();
    if (!w->ComPort->Connected()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }
    dialogs.answerFile(dir.filePath(QStringLiteral("vol")));
    w->NouvFichierM->trigger();
    w->DemarrerM->trigger();
    // The bench fires the repeat lock in flight time.
    w->Timer_Paquet->setInterval(24 * 3600 * 1000);
    TComDataPacket *framer = rocket ? w->ComDataSolo : w->ComPaquetTuvo;
    std::int64_t packets = 0;
    auto original = framer->OnPacket;
    framer->OnPacket = [&packets, original](TComDataPacket *s, const QByteArray &p) {
        ++packets;
        original(s, p);
    };

    FlightModel model(rocket ? FlightModel::Mode::Rocket : FlightModel::Mode::Balloon);
    // The expected lines go to a file as they come, so that only the program's memory grows.
    QFile expectedFile(dir.filePath(QStringLiteral("expected")));
    if (!expectedFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    std::int64_t expectedLines = 0;
    const auto keepExpected = [&] {
        for (const FlightModel::Line &line : model.takeLines()) {
            expectedFile.write(line.tail().toLatin1() + '\n');
            ++expectedLines;
        }
    };
    QRandomGenerator random(20261209);
    const std::int64_t t0 = clock.nowMs();
    std::int64_t lastAccepted = -1;
    std::int32_t accepted = 0;
    bool delivered = true;
    const auto send = [&](std::int64_t t, const QByteArray &bytes) {
        clock.set(t0 + t);
        if (!rocket && lastAccepted >= 0 && t - lastAccepted >= 900)
            w->Timer_PaquetTimer();
        const std::int64_t expected = packets + model.receive(t, bytes);
        port.send(bytes);
        if (expected > packets)
            delivered = QTest::qWaitFor([&] { return packets >= expected; }, 10000) && delivered;
        if (w->AcceptedFrameCount != accepted) {
            accepted = w->AcceptedFrameCount;
            lastAccepted = t;
        }
        keepExpected();
    };

    std::vector<Sample> samples;
    auto blockStart = Clock::now();
    std::int64_t blockPackets = 0;
    const auto wall0 = Clock::now();
    for (std::int64_t i = 0; i < count && delivered; ++i) {
        const std::int64_t t = i * periodMs + std::int64_t(random.bounded(30u));
        if (t % 3'600'000 > 1'800'000 && t % 3'600'000 < 1'820'000)
            continue; // twenty seconds of silence every hour
        std::array<int, 8> channels;
        for (int n = 1; n <= 8; ++n)
            channels[n - 1] = int((i * (n + 2) + n * 29) % 256);
        const int battery = 170 - int(i * 60 / count);
        QByteArray first = FlightModel::lineFrame(channels, battery);
        const QByteArray second = first;
        if (random.bounded(100u) < 4)
            first = FlightModel::lineFrame(channels, battery, 1);
        if (random.bounded(1000u) < 5)
            first.remove(5, 1);
        if (random.bounded(100u) < 3)
            first.prepend(char(random.bounded(256u)));
        send(t, first);
        if (!rocket && random.bounded(100u) < 80)
            send(t + 184, second);
        if ((i + 1) % 1000 == 0) {
            const double ms
                = std::chrono::duration<double, std::milli>(Clock::now() - blockStart).count();
            samples.push_back({ double(t) / 60000.0, residentMb(),
                                ms / double(std::max<std::int64_t>(1, packets - blockPackets)) });
            blockStart = Clock::now();
            blockPackets = packets;
        }
    }
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    w->ArreterM->trigger();

    expectedFile.close();
    const QStringList record = RecordLines::data(dir.filePath(QStringLiteral("vol.txt")));
    const QStringList backup = RecordLines::data(dir.filePath(QStringLiteral("secours.zephul")));
    QStringList expected;
    if (expectedFile.open(QIODevice::ReadOnly))
        expected = QString::fromLatin1(expectedFile.readAll()).split(u'\n', Qt::SkipEmptyParts);
    int mismatches = 0;
    for (qsizetype k = 0; k < std::min(record.size(), expected.size()); ++k)
        if (record[k].section(u';', 2) != expected[k])
            ++mismatches;
    std::printf("%s flight of %.1f h: %lld frames sent, %lld packets, %lld lines expected; "
                "%s, %s, %d lines differ; %.0f s of wall time\n",
                rocket ? "rocket" : "balloon", hours, static_cast<long long>(count),
                static_cast<long long>(packets), static_cast<long long>(expectedLines),
                record.size() == expectedLines ? "record file complete" : "RECORD FILE INCOMPLETE",
                backup == record ? "backup copy identical" : "BACKUP COPY DIFFERS", mismatches,
                wall);
    if (!delivered || !dialogs.errors().isEmpty())
        std::printf("  delivery stopped or errors: %s\n", qPrintable(dialogs.errors().join(u'|')));
    // Memory after the first minutes, against the end.
    double base = 0;
    double top = 0;
    for (const Sample &s : samples) {
        if (s.flightMinutes < 10)
            continue;
        if (base == 0)
            base = s.residentMb;
        top = std::max(top, s.residentMb);
    }
    if (!samples.empty()) {
        std::printf("  resident memory: %.1f MB after %.0f min of flight, at most %.1f MB after "
                    "that, %.1f MB at the end (growth %.2f MB; goal at most 1 MB)\n",
                    base, samples.front().flightMinutes < 10 ? 10.0 : samples.front().flightMinutes,
                    top, samples.back().residentMb, top - base);
        std::printf("  time per packet: %.3f ms over the first 1000 frames, %.3f ms over the "
                    "last 1000 (goal: flat)\n",
                    samples.front().msPerPacket, samples.back().msPerPacket);
    }
    return record.size() == expectedLines && backup == record && mismatches == 0 ? 0 : 1;
}
