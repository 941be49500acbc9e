#pragma once

#include "flightmode.h"

#include <QString>
#include <QTime>
#include <cstdint>

// The texts of the clock label and of the chronometer label. The chronometer texts are read back
// at fixed character positions by the decoders, the statistics and the record lines (BALLON:
// hours 1-2, minutes 4-5, seconds 7-8; FUSEE: minutes 1-2, seconds 4-5, milliseconds 7-9), so
// the separators are always a colon and a point, whatever the locale.
namespace ChronoText {

// The wall clock: "09:05:07".
QString clockText(const QTime &time);

// Elapsed time while the chronometer runs. BALLON "hh:mm:ss", wrapping to 00:00:00 every 24 h;
// FUSEE "nn:ss.zzz", wrapping to 00:00.000 every hour. A negative elapsed time reads as zero.
QString balloonText(std::int64_t elapsedMs);
QString rocketText(std::int64_t elapsedMs);
QString runningText(FlightMode mode, std::int64_t elapsedMs);

// Set when the mode is chosen and by the first good frame just before the chronometer starts:
// "00:00:00" (no trailing blank) or "00:00.000".
QString zeroText(FlightMode mode);
// Set by "Démarrer" and by the reset: "00:00:00 " (with a trailing blank, beyond the positions
// read) or "00:00.000".
QString startText(FlightMode mode);
// The caption before any mode is chosen.
inline constexpr char designText[] = "00:00:00 ";

} // namespace ChronoText
