#include "decoderline.h"

#include "numberformat.h"

namespace DecoderLine {

QString build(const QString &datePrefix, const QString &clockText, const QString &chronoField,
              const std::array<QString, 8> &channelTexts, double batteryVolts)
{
    QString line = datePrefix + clockText + u';' + chronoField + u';';
    for (const QString &text : channelTexts)
        line += text + u';';
    line += format1_2f(batteryVolts);
    return line;
}

QString rocketChronoField(std::int64_t elapsedMs)
{
    return QString::number(elapsedMs);
}

} // namespace DecoderLine
