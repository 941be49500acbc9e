#include "programframers.h"

#include "tcomdatapacket.h"

namespace {

void setup(TComDataPacket &framer, const QByteArray &start, int size)
{
    framer.SetStopString(QByteArray());
    framer.SetIncludeStrings(false);
    framer.SetCaseInsensitive(false);
    framer.SetMaxBufferSize(1024);
    framer.SetStartString(start);
    framer.SetSize(size);
}

} // namespace

namespace ProgramFramers {

void SetupTelemetry(TComDataPacket &framer)
{
    setup(framer, QByteArray(1, char(0xFF)), 11);
}

void SetupSweep(TComDataPacket &framer)
{
    setup(framer, QByteArrayLiteral("#"), 4);
}

void SetupDebug(TComDataPacket &framer)
{
    setup(framer, QByteArray(), 1);
}

} // namespace ProgramFramers
