// Throughput of the balloon framer (start 0xFF, 11 bytes, 1024-byte limit): clean frames and
// frames with noise between them, fed in random block sizes, at several input sizes so that the
// time per byte shows whether cutting and searching stay linear. Also the worst cases for the
// start search: a long stream without any start, limited and unlimited.
//
// Usage: bench_framer [megabytes=16]. Goal: at least 10 MB/s, time per byte flat across sizes.

#include "tcomdatapacket.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdio>
#include <cstdlib>

namespace {

enum class Stream { Frames, Noisy, NoStart };

QByteArray makeStream(Stream kind, qsizetype bytes, QRandomGenerator &rng)
{
    QByteArray out;
    out.reserve(bytes + 64);
    while (out.size() < bytes) {
        if (kind == Stream::NoStart) {
            out.append(char(rng.bounded(255))); // never 0xFF
            continue;
        }
        out.append(char(0xFF));
        for (int i = 0; i < 10; ++i)
            out.append(char(rng.bounded(256)));
        if (kind == Stream::Noisy)
            for (int n = int(rng.bounded(24)); n > 0; --n)
                out.append(char(rng.bounded(256)));
    }
    out.truncate(bytes);
    return out;
}

struct Result
{
    double seconds;
    long long packets;
};

Result run(const QByteArray &stream, int maxBuffer, int maxBlock, QRandomGenerator &rng)
{
    TComDataPacket framer;
    framer.SetStartString(QByteArray(1, char(0xFF)));
    framer.SetSize(11);
    framer.SetMaxBufferSize(maxBuffer);
    long long packets = 0;
    long long checksum = 0;
    framer.OnPacket = [&](TComDataPacket *, const QByteArray &s) {
        ++packets;
        checksum += s.size();
    };
    // Block sizes drawn beforehand so that drawing them is not timed.
    QList<int> blocks;
    for (qsizetype total = 0; total < stream.size();) {
        blocks.append(1 + int(rng.bounded(maxBlock)));
        total += blocks.back();
    }
    QElapsedTimer timer;
    timer.start();
    qsizetype at = 0;
    for (int n : blocks) {
        framer.ReceiveBlock(nullptr, stream.constData() + at,
                            int(std::min<qsizetype>(n, stream.size() - at)));
        at += n;
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (checksum != packets * 10)
        std::fprintf(stderr, "wrong packet sizes\n");
    return { seconds, packets };
}

} // namespace

int main(int argc, char **argv)
{
    const int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 16;
    QRandomGenerator rng(12345);
    struct Case
    {
        const char *name;
        Stream kind;
        int maxBuffer;
        int maxBlock;
    };
    const Case cases[] = {
        { "frames, blocks 1..64", Stream::Frames, 1024, 64 },
        { "noisy, blocks 1..64", Stream::Noisy, 1024, 64 },
        { "frames, blocks 1..65536", Stream::Frames, 1024, 65536 },
        { "noisy, blocks 1..65536", Stream::Noisy, 1024, 65536 },
        { "no start, blocks 1..64", Stream::NoStart, 1024, 64 },
        { "no start, no limit, blocks 1..64", Stream::NoStart, 0, 64 },
    };
    std::printf("%-34s %8s %10s %10s %12s\n", "case", "MB", "seconds", "MB/s", "ns/byte");
    for (const Case &c : cases) {
        for (int mb = std::max(1, megabytes / 4); mb <= megabytes; mb *= 2) {
            const QByteArray stream = makeStream(c.kind, qsizetype(mb) << 20, rng);
            const Result r = run(stream, c.maxBuffer, c.maxBlock, rng);
            std::printf("%-34s %8d %10.3f %10.1f %12.2f   (%lld packets)\n", c.name, mb, r.seconds,
                        mb / r.seconds, r.seconds * 1e9 / double(stream.size()), r.packets);
        }
    }
    return 0;
}
