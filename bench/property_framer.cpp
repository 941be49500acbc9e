// The framer's property check run long: random receiver-like streams in random block splits,
// for every framer setting of the tests. Feeding a stream in any split must give the packets of
// feeding it whole, and every byte must be accounted for.
//
// Usage: property_framer [seconds=60] [seed=1]. Exit code 1 on the first failure.

#include "framercheck.h"

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

using namespace FramerCheck;

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const unsigned seed = argc > 2 ? unsigned(std::strtoul(argv[2], nullptr, 10)) : 1u;
    QRandomGenerator rng(seed);
    QElapsedTimer timer;
    timer.start();
    long long rounds = 0;
    long long bytes = 0;
    while (timer.elapsed() < seconds * 1000LL) {
        const int length = 1 + int(rng.bounded(rng.bounded(8) == 0 ? 60000 : 3000));
        const QByteArray stream = randomStream(rng, length);
        const QList<int> blocks = randomBlocks(rng, 1 + int(rng.bounded(200)));
        for (const Settings &s : kSettings) {
            const QString failure = checkStream(s, stream, blocks);
            if (!failure.isEmpty()) {
                std::printf("FAILED after %lld rounds (seed %u): %s\n", rounds, seed,
                            qPrintable(failure));
                return 1;
            }
        }
        ++rounds;
        bytes += length;
    }
    std::printf("%lld rounds, %lld stream bytes, %d settings each, seed %u: all held\n", rounds,
                bytes, kSettingsCount, seed);
    return 0;
}
