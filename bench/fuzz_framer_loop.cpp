// Stands in for libFuzzer where clang is not the compiler: random inputs for the fuzz target,
// biased towards the bytes the framers react to. Build it with the asan preset.
//
// Usage: fuzz_framer [seconds=60] [seed=1].

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const unsigned seed = argc > 2 ? unsigned(std::strtoul(argv[2], nullptr, 10)) : 1u;
    static const std::uint8_t interesting[]
        = { 0xFF, '#', '<', '>', 'a', 'b', 'C', 'D', 'S', '\r', '\n', 0 };
    QRandomGenerator rng(seed);
    QElapsedTimer timer;
    timer.start();
    long long runs = 0;
    std::vector<std::uint8_t> input;
    while (timer.elapsed() < seconds * 1000LL) {
        input.resize(rng.bounded(rng.bounded(10) == 0 ? 20000 : 400));
        for (std::uint8_t &b : input)
            b = rng.bounded(2) ? interesting[rng.bounded(int(sizeof interesting))]
                               : std::uint8_t(rng.bounded(256));
        LLVMFuzzerTestOneInput(input.data(), input.size());
        ++runs;
    }
    std::printf("%lld inputs in %d s, seed %u: no failure\n", runs, seconds, seed);
    return 0;
}
