#include "linkstatistics.h"

#include "framearithmetic.h"
#include "numberformat.h"
#include "samplestore.h"

#include <algorithm>

const QString LinkStatistics::FullText = QStringLiteral("100.0");
const QString LinkStatistics::NoMinuteText = QStringLiteral("-----");

namespace {

// Frame counts are multiplied in 64 bits: a 32-bit product would wrap after some 46700 rocket
// frames (six hours) and show a negative percentage.
double percentOf(std::int64_t product, double divisor)
{
    return std::min(static_cast<double>(product) / divisor, 100.0);
}

} // namespace

QString LinkStatistics::shownText(double percent)
{
    return format3_1f(percent);
}

std::optional<double> LinkStatistics::balloonTxVolPercent(std::int32_t acceptedFrames,
                                                          std::int64_t elapsedS)
{
    const std::int64_t expected = FrameArithmetic::truncate(
        static_cast<long double>(elapsedS) / FrameArithmetic::BalloonFrameSpacingS);
    if (expected <= 0)
        return std::nullopt;
    return percentOf(std::int64_t(acceptedFrames) * 100, static_cast<double>(expected));
}

int LinkStatistics::balloonMinuteCount(const SampleStore &store, std::int32_t acceptedFrames,
                                       std::int64_t elapsedS)
{
    // The window runs from AcceptedFrameCount - 33 (raised to 1) to AcceptedFrameCount: 34
    // frames, so a full minute can count one more than the 33 expected; the cap absorbs it.
    const std::int64_t limit = elapsedS - 60;
    return store.countLastFrames(
        acceptedFrames, FrameArithmetic::BalloonFramesPerMinute + 1,
        static_cast<std::int32_t>(std::clamp<std::int64_t>(limit, INT32_MIN, INT32_MAX)));
}

std::optional<double> LinkStatistics::balloonTx1mnPercent(const SampleStore &store,
                                                          std::int32_t acceptedFrames,
                                                          std::int64_t elapsedS)
{
    if (elapsedS < 59)
        return std::nullopt;
    const int k = balloonMinuteCount(store, acceptedFrames, elapsedS);
    return percentOf(std::int64_t(k) * 100, FrameArithmetic::BalloonFramesPerMinute);
}

QString LinkStatistics::balloonFrameTxVol(std::int32_t acceptedFrames, std::int64_t elapsedS)
{
    const std::optional<double> p = balloonTxVolPercent(acceptedFrames, elapsedS);
    if (!p)
        return FullText;
    LastTxVol = std::max(*p, LastTxVol);
    return shownText(LastTxVol);
}

QString LinkStatistics::balloonFrameTx1mn(const SampleStore &store, std::int32_t acceptedFrames,
                                          std::int64_t elapsedS)
{
    const std::optional<double> p = balloonTx1mnPercent(store, acceptedFrames, elapsedS);
    if (!p)
        return NoMinuteText;
    LastTx1mn = std::max(*p, LastTx1mn);
    return shownText(LastTx1mn);
}

QString LinkStatistics::balloonLossTxVol(std::int32_t acceptedFrames, std::int64_t elapsedS)
{
    const std::optional<double> p = balloonTxVolPercent(acceptedFrames, elapsedS);
    if (!p)
        return FullText;
    LastTxVol = *p;
    return shownText(LastTxVol);
}

QString LinkStatistics::balloonLossTx1mn(const SampleStore &store, std::int32_t acceptedFrames,
                                         std::int64_t elapsedS)
{
    const std::optional<double> p = balloonTx1mnPercent(store, acceptedFrames, elapsedS);
    if (!p)
        return NoMinuteText;
    LastTx1mn = *p;
    return shownText(LastTx1mn);
}

QString LinkStatistics::rocketFrameTxVol(std::int32_t acceptedFrames, std::int64_t elapsedMs)
{
    if (FrameArithmetic::truncate(static_cast<double>(elapsedMs) / 460.0) <= 0)
        return FullText;
    LastTxVol = percentOf(std::int64_t(acceptedFrames) * 46000, static_cast<double>(elapsedMs));
    return shownText(LastTxVol);
}

QString LinkStatistics::rocketLossTxVol(std::int32_t acceptedFrames, std::int64_t elapsedMs)
{
    const std::int64_t expected = FrameArithmetic::truncate(static_cast<double>(elapsedMs) / 400.0);
    if (expected <= 0)
        return FullText;
    LastTxVol = percentOf(std::int64_t(acceptedFrames) * 100, static_cast<double>(expected));
    return shownText(LastTxVol);
}
