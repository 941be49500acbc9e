#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class SampleStore;

// The two link-quality percentages of the instrument strip: Tx OK Vol (share of the frames
// expected since the chronometer started) and, in BALLON, Tx OK 1mn (share of the 33 frames
// expected in the last minute), with the last values shown.
//
// Each figure has two callers. The decoders, on every accepted frame, never show a value below
// the last one shown (the "floor"). The statistics timers, while frames are lost, compute the
// figures afresh so that they fall. Both remember what they showed, so the next accepted frame
// continues from a fallen value. GUI thread only.
class LinkStatistics
{
public:
    // Shown in TxVolL while too little time has passed to expect a frame. A literal: it keeps
    // its point whatever the locale.
    static const QString FullText; // "100.0"
    // Shown in Tx1mnL during the first 59 s of a balloon flight.
    static const QString NoMinuteText; // "-----"

    // Last percentages shown; 0 at program start and kept across receptions.
    double LastTxVol = 0.0;
    double LastTx1mn = 0.0;

    // Balloon, elapsedS in whole seconds from the chronometer label.
    // The decoder's figures on an accepted frame, held at or above the last shown. Before 2 s
    // (resp. 59 s) they give the fixed texts and leave the remembered value alone.
    QString balloonFrameTxVol(std::int32_t acceptedFrames, std::int64_t elapsedS);
    QString balloonFrameTx1mn(const SampleStore &store, std::int32_t acceptedFrames,
                              std::int64_t elapsedS);
    // Timer_Stat's figures while frames are lost: no floor.
    QString balloonLossTxVol(std::int32_t acceptedFrames, std::int64_t elapsedS);
    QString balloonLossTx1mn(const SampleStore &store, std::int32_t acceptedFrames,
                             std::int64_t elapsedS);

    // Rocket, elapsedMs from the chronometer label. The decoder expects a frame every 460 ms
    // and uses the exact ratio; Timer_StatSolo expects one every 400 ms and counts whole
    // intervals. Neither holds a floor.
    QString rocketFrameTxVol(std::int32_t acceptedFrames, std::int64_t elapsedMs);
    QString rocketLossTxVol(std::int32_t acceptedFrames, std::int64_t elapsedMs);

    // The raw balloon figures, capped at 100; empty when no figure is due (fewer than one
    // expected frame, or less than 59 s).
    static std::optional<double> balloonTxVolPercent(std::int32_t acceptedFrames,
                                                     std::int64_t elapsedS);
    static std::optional<double> balloonTx1mnPercent(const SampleStore &store,
                                                     std::int32_t acceptedFrames,
                                                     std::int64_t elapsedS);
    // Frames among the newest 34 (AcceptedFrameCount - 33 up to AcceptedFrameCount, never
    // below frame 1) stored with a time strictly after elapsedS - 60.
    static int balloonMinuteCount(const SampleStore &store, std::int32_t acceptedFrames,
                                  std::int64_t elapsedS);

    // A percentage as TxVolL and Tx1mnL show it: "%3.1f" with the locale's separator.
    static QString shownText(double percent);
};
