#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <limits>

// The arithmetic of a telemetry frame as the decoders see it: the 10 bytes the framer hands over
// once it has removed the 0xFF start byte (channels 8 down to 1 at indices 0..7, the battery byte
// at 8, the check byte at 9), and the flight time read back from the chronometer label.
//
// The figures the operator compares against older records depend on the exact precision used
// here, so the products are formed in x87 extended precision (long double on x86-64) and rounded
// the way the floating-point unit rounds by default (half to even).
namespace FrameArithmetic {

static_assert(std::numeric_limits<long double>::digits >= 64,
              "the channel scale needs at least x87 extended precision");

inline constexpr int FrameDataSize = 10;
inline constexpr int DataBytes = 9; // channels 8..1 and the battery byte
inline constexpr int BatteryIndex = 8;
inline constexpr int CheckIndex = 9;

// Volts per channel count: the decimal 0.01960784, a hair under 5/255, so that 255 reads
// 4.9999992 V and shows as 5.00.
inline constexpr long double ChannelScale = 0.01960784L;

// Balloon: one frame expected every 1.77 s, 33 in a minute.
inline constexpr long double BalloonFrameSpacingS = 1.77L;
inline constexpr int BalloonFramesPerMinute = 33;

// The check value of a frame: (sum of bytes 0..8 as unsigned values mod 256) div 2, 0..127.
// frameData must hold at least 9 bytes.
int checkValue(const QByteArray &frameData);
// True when the check byte (index 9, unsigned, so 128 and above never match) equals
// checkValue(). False for a frame shorter than 10 bytes.
bool checkByteMatches(const QByteArray &frameData);

// The byte of channel n (1..8), at index 8 - n, as an unsigned value.
int channelByte(const QByteArray &frameData, int n);
int batteryByte(const QByteArray &frameData);

// Channel byte to volts: byte x ChannelScale, in extended precision.
long double channelVolts(int byte);
// Battery byte to volts: (byte + 14) / 16.
double batteryVolts(int byte);
// Position of the battery gauge (0..100): Round(volts / maxVolts x 100). maxVolts > 0.
int batteryGaugePercent(double volts, double maxVolts);

// Nearest integer, ties to even, on the extended value.
std::int64_t roundHalfEven(long double value);
// Toward zero.
std::int64_t truncate(long double value);

// The flight time read back from the chronometer label. Balloon: hours at characters 1-2,
// minutes at 4-5, seconds at 7-8 (1-based) give whole seconds. Rocket: minutes at 1-2, seconds
// at 4-5, milliseconds at 7-9 give milliseconds. Each field is a decimal integer; a field that
// is missing or holds anything else throws ZephulError with a message for the operator.
std::int32_t balloonElapsedSeconds(const QString &chronoText);
std::int32_t rocketElapsedMs(const QString &chronoText);

} // namespace FrameArithmetic
