#pragma once

#include <QString>
#include <array>
#include <cstdint>

// The data line a decoder appends to the record files for each accepted frame: date, clock,
// chronometer field, the eight channel texts as their labels show them (a hidden channel repeats
// the text its label last showed) and the battery voltage; 12 fields joined by ";", no ";" at
// the end and no line end (the file writer adds CR LF).
namespace DecoderLine {

// datePrefix already ends in ";". chronoField: BALLON the chronometer label's text, FUSEE the
// elapsed milliseconds as a decimal integer (see rocketChronoField()).
QString build(const QString &datePrefix, const QString &clockText, const QString &chronoField,
              const std::array<QString, 8> &channelTexts, double batteryVolts);

// The rocket chronometer field: milliseconds without leading zeros.
QString rocketChronoField(std::int64_t elapsedMs);

} // namespace DecoderLine
