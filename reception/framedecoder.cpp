#include "framedecoder.h"

#include "batterycurve.h"
#include "channeltable.h"
#include "digitlabel.h"
#include "framearithmetic.h"
#include "gauge.h"
#include "numberformat.h"
#include "recordfile.h"
#include "samplestore.h"
#include "stripchart.h"

#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <array>

namespace FA = FrameArithmetic;

FrameDecoder::FrameDecoder(const MainWindowParts &parts)
    : m(parts)
{ }

void FrameDecoder::startReception()
{
    FramesSinceAccepted = 0;
    DuplicateLock = false;
    BatteryMax = 0.0;
}

void FrameDecoder::releaseLockLater()
{
    if (*m.flightMode == FlightMode::BALLON) {
        m.Timer_Paquet->stop();
        m.Timer_Paquet->start();
    } else {
        DuplicateLock = false;
    }
}

namespace {

// Switching on a timer that already runs leaves its period as it is; only an explicit restart
// moves it (the balloon's repeat lock).
void enable(QTimer *timer)
{
    if (!timer->isActive())
        timer->start();
}

} // namespace

void FrameDecoder::ComPaquetTuvoPacket(TComDataPacket *, const QByteArray &frameData)
{
    m.refreshChrono();
    *m.DataSeen = true;
    const std::int32_t elapsedS = FA::balloonElapsedSeconds(m.Label_Chrono->text());
    m.TramesG->setProgress(FramesSinceAccepted);
    ++FramesSinceAccepted;

    if (!FA::checkByteMatches(frameData)) {
        // Only the third bad frame since the last accepted one counts as a loss.
        if (FramesSinceAccepted == 3)
            balloonLossPath();
        return;
    }
    // The transmitter repeats each measurement: the first good copy within 900 ms is taken. A
    // lock whose 900 ms are over is released even when the timer's event waits behind this
    // frame in the queue.
    if (DuplicateLock && m.Timer_Paquet->isActive() && m.Timer_Paquet->remainingTime() == 0)
        Timer_PaquetTimer();
    if (DuplicateLock)
        return;
    if (*m.ChronoPending)
        m.startChronometer();
    m.Timer_Stat->stop();
    DuplicateLock = true;
    // The lock goes 900 ms after this frame came, whatever happens below: the two durable record
    // lines take a few milliseconds, and a full disk must not leave it set (every later good
    // frame would be dropped unseen).
    releaseLockLater();

    m.TramesG->setProgress(3);
    FramesSinceAccepted = 0;
    showLinkOk();
    const std::int32_t accepted = storeFrame(frameData, elapsedS);
    // Half a pixel per second.
    showChannels(frameData, StripChart::balloonPlotX(elapsedS));
    showBattery(frameData);
    // One battery point every tenth frame.
    if (++*m.BatteryCurveDivider >= 10) {
        *m.BatteryCurveDivider = 0;
        m.Battery->addBalloonPoint(BatteryVolts);
        m.showBatteryCurve();
    }
    appendRecordLine(m.Label_Chrono->text());

    DigitLabel::rewrite(m.TxVolL, Stats.balloonFrameTxVol(accepted, elapsedS));
    DigitLabel::rewrite(m.Tx1mnL, Stats.balloonFrameTx1mn(*m.Samples, accepted, elapsedS));
}

void FrameDecoder::ComDataSoloPacket(TComDataPacket *, const QByteArray &frameData)
{
    m.refreshChrono();
    *m.DataSeen = true;
    const std::int32_t elapsedMs = FA::rocketElapsedMs(m.Label_Chrono->text());

    if (!FA::checkByteMatches(frameData)) {
        // Every bad frame counts as a loss.
        rocketLossPath();
        return;
    }
    // No repeat lock and no frame gauge: every good frame is taken, however close.
    if (*m.ChronoPending)
        m.startChronometer();
    m.Timer_StatSolo->stop();
    showLinkOk();
    const std::int32_t accepted = storeFrame(frameData, elapsedMs);
    // Twelve pixels per second.
    showChannels(frameData, StripChart::rocketPlotX(elapsedMs));
    showBattery(frameData);
    // One battery point per frame.
    m.Battery->addRocketPoint(BatteryVolts);
    m.showBatteryCurve();
    // The chronometer field holds the elapsed milliseconds, not the label's text.
    appendRecordLine(QString::number(elapsedMs));

    DigitLabel::rewrite(m.TxVolL, Stats.rocketFrameTxVol(accepted, elapsedMs));
}

void FrameDecoder::showLinkOk()
{
    m.TuvoOk->show();
    m.TuvoNo->hide();
}

std::int32_t FrameDecoder::storeFrame(const QByteArray &frameData, std::int32_t time)
{
    std::int32_t &accepted = *m.AcceptedFrameCount;
    ++accepted;
    DigitLabel::rewrite(m.NbTramesL, QString::number(accepted));
    m.Samples->store(accepted, reinterpret_cast<const std::uint8_t *>(frameData.constData()), time);
    return accepted;
}

void FrameDecoder::showChannels(const QByteArray &frameData, int plotX)
{
    for (int n = 1; n <= ChannelTable::Count; ++n) {
        ChannelTable::Entry &channel = m.Channels->channel(n);
        if (!channel.Shown)
            continue;
        const int b = FA::channelByte(frameData, n);
        DigitLabel::rewrite(channel.ValueLabel, format1_2f(FA::channelVolts(b)));
        m.Chart->setPlotX(plotX);
        m.plotChannel(n, b);
    }
    m.endChartFrame();
}

void FrameDecoder::showBattery(const QByteArray &frameData)
{
    BatteryVolts = FA::batteryVolts(FA::batteryByte(frameData));
    m.AlimL->setText(format1_1f(BatteryVolts) + u'V');
    m.AlimL->adjustSize(); // the label sizes itself to its text ("16,8V" is wider than "9 V")
    BatteryMax = std::max(BatteryMax, BatteryVolts);
    m.PileG->setProgress(FA::batteryGaugePercent(BatteryVolts, BatteryMax));
}

void FrameDecoder::appendRecordLine(const QString &chronoField)
{
    std::array<QString, 8> values;
    for (int n = 1; n <= ChannelTable::Count; ++n)
        values[n - 1] = m.Channels->channel(n).ValueLabel->text();
    m.appendRecordLine(RecordFile::dataLine(m.datePrefix(), m.Label_Horloge->text(), chronoField,
                                            values, format1_2f(BatteryVolts)));
}

void FrameDecoder::balloonLossPath()
{
    m.TuvoOk->hide();
    m.TuvoNo->show();
    Timer_StatTimer();
    enable(m.Timer_Stat);
    m.Channels->resetPrevSamples();
}

void FrameDecoder::rocketLossPath()
{
    m.TuvoOk->hide();
    m.TuvoNo->show();
    Timer_StatSoloTimer();
    enable(m.Timer_StatSolo);
    m.Channels->resetPrevSamples();
}

void FrameDecoder::Timer_PaquetTimer()
{
    DuplicateLock = false;
}

void FrameDecoder::Timer_StatTimer()
{
    m.refreshChrono();
    const std::int32_t elapsed = FA::balloonElapsedSeconds(m.Label_Chrono->text());
    DigitLabel::rewrite(m.TxVolL, Stats.balloonLossTxVol(*m.AcceptedFrameCount, elapsed));
    DigitLabel::rewrite(m.Tx1mnL,
                        Stats.balloonLossTx1mn(*m.Samples, *m.AcceptedFrameCount, elapsed));
}

void FrameDecoder::Timer_StatSoloTimer()
{
    m.refreshChrono();
    const std::int32_t elapsed = FA::rocketElapsedMs(m.Label_Chrono->text());
    DigitLabel::rewrite(m.TxVolL, Stats.rocketLossTxVol(*m.AcceptedFrameCount, elapsed));
}

void FrameDecoder::Timer_DonneesTimer()
{
    if (!*m.DataSeen) {
        m.TuvoOk->hide();
        m.TuvoNo->show();
    }
    *m.DataSeen = false;
}
