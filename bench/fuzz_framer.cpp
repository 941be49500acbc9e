// Fuzz target for the packet framer: the input picks one of the test settings (the program's
// four framers first), the block sizes, and the stream. Any violation of the property check
// aborts; memory errors are the sanitizers' to find. Built for libFuzzer with clang, else with
// fuzz_framer_loop.cpp, which feeds random inputs for a while.

#include "framercheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace FramerCheck;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const Settings &settings = kSettings[data[0] % kSettingsCount];
    const int blockCount = data[1] % 16;
    std::size_t at = 2;
    QList<int> blocks;
    for (int i = 0; i < blockCount && at < size; ++i)
        blocks.append(1 + data[at++]);
    const QByteArray stream(reinterpret_cast<const char *>(data + at), qsizetype(size - at));
    const QString failure = checkStream(settings, stream, blocks);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
