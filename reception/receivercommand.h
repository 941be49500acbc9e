#pragma once

#include <QByteArray>
#include <QString>

// The command lines the receiver understands: ASCII text beginning with "$" and ending in
// CR LF, each written whole. The receiver has 61 channels, 0 to 60, 0.05 MHz apart from
// 136.000 MHz.
namespace ReceiverCommand {

inline constexpr int FirstChannel = 0;
inline constexpr int LastChannel = 60;

// "$C<n>" CR LF, n in decimal without leading zeros: "$C0", "$C7", "$C49".
QByteArray tune(int channel);
// "$HF" CR LF (on) or "$HM" CR LF (off).
QByteArray loudspeaker(bool on);
// "$S" CR LF: the receiver sweeps its channels and answers with one reading each.
QByteArray sweep();

// Frequency of a channel as the sweep bars show it and the frequency-change window compares
// it: three decimals with the locale's separator, then " MHz" ("137,050 MHz" in French).
QString frequencyText(int channel);

} // namespace ReceiverCommand
