#include "receivercommand.h"

#include "numberformat.h"

namespace ReceiverCommand {

QByteArray tune(int channel)
{
    return "$C" + QByteArray::number(channel) + "\r\n";
}

QByteArray loudspeaker(bool on)
{
    return on ? QByteArrayLiteral("$HF\r\n") : QByteArrayLiteral("$HM\r\n");
}

QByteArray sweep()
{
    return QByteArrayLiteral("$S\r\n");
}

QString frequencyText(int channel)
{
    return formatFixed(136.0L + 0.05L * channel, 3, 3) + QStringLiteral(" MHz");
}

} // namespace ReceiverCommand
