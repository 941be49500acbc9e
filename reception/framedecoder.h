#pragma once

#include "flightmode.h"
#include "linkstatistics.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

class BatteryCurve;
class ChannelTable;
class Gauge;
class QLabel;
class QTimer;
class QWidget;
class SampleStore;
class StripChart;
class TComDataPacket;

// The two frame decoders and the link statistics timers: what happens to each 10-byte frame the
// packet framer hands over (check, counters, sample store, chart, battery, record line,
// percentages) and the four timers that complete the link figures.
//
// The balloon (BALLON) and the rocket (FUSEE) decoders read the same frames and share the check,
// the channel loop, the battery label and gauge and the record line. They differ in the time
// base (whole seconds or milliseconds read back from the chronometer), the chart's scale, the
// repeat lock and frame gauge (balloon only), what a bad frame does (the third in a row, or
// every one), the battery curve's pace and the record's chronometer field.
//
// The main window owns the controls and the state shared with reception control and the
// chronometer; the decoder is given them as parts and keeps only its own counters. Every call
// runs on the GUI thread. Errors (a record line that cannot be written, a chronometer text that
// does not convert) are thrown to the caller, which shows them; what was done before stays done.
class FrameDecoder
{
public:
    // Parts of the main window the decoder reads and changes; all owned by the main window.
    struct MainWindowParts
    {
        const FlightMode *flightMode = nullptr;
        QLabel *Label_Chrono = nullptr;
        QLabel *Label_Horloge = nullptr;
        QLabel *NbTramesL = nullptr;
        QLabel *AlimL = nullptr;
        QLabel *TxVolL = nullptr;
        QLabel *Tx1mnL = nullptr;
        Gauge *TramesG = nullptr;
        Gauge *PileG = nullptr;
        QWidget *TuvoOk = nullptr;
        QWidget *TuvoNo = nullptr;
        QTimer *Timer_Paquet = nullptr;
        QTimer *Timer_Stat = nullptr;
        QTimer *Timer_StatSolo = nullptr;
        ChannelTable *Channels = nullptr;
        StripChart *Chart = nullptr;
        SampleStore *Samples = nullptr;
        BatteryCurve *Battery = nullptr;
        std::int32_t *AcceptedFrameCount = nullptr;
        std::int32_t *BatteryCurveDivider = nullptr;
        bool *DataSeen = nullptr;
        bool *ChronoPending = nullptr;
        // Brings Label_Chrono to the flight time of this moment; called once at the entry of
        // every handler that reads it.
        std::function<void()> refreshChrono;
        // The first good frame of a reception: zero text, chronometer running, ChronoPending
        // cleared, ChronoI enabled.
        std::function<void()> startChronometer;
        // Draws channel n (1..8) with byte b at Chart's PlotX; endChartFrame after the last.
        std::function<void(int n, int byte)> plotChannel;
        std::function<void()> endChartFrame;
        std::function<void()> showBatteryCurve;
        // "d/m/yyyy;" of the record file.
        std::function<QString()> datePrefix;
        // Appends one line to the backup copy, then to the record file; throws on failure.
        std::function<void(const QString &line)> appendRecordLine;
    };

    explicit FrameDecoder(const MainWindowParts &parts);

    // Counters of the decoder. LinkStatistics keeps the last percentages shown, which no new
    // reception resets.
    std::int32_t FramesSinceAccepted = 0; // frames received since the last accepted one
    bool DuplicateLock = false; // a frame was accepted and Timer_Paquet has not fired since
    double BatteryVolts = 0.0; // of the last accepted frame
    double BatteryMax = 0.0;
    LinkStatistics Stats;

    // Reception start: FramesSinceAccepted 0, lock released, BatteryMax 0.
    void startReception();

    // OnPacket of the balloon framer: frameData is the frame without its 0xFF start byte.
    void ComPaquetTuvoPacket(TComDataPacket *sender, const QByteArray &frameData);
    // OnPacket of the rocket framer: the same frame layout; every good frame is accepted.
    void ComDataSoloPacket(TComDataPacket *sender, const QByteArray &frameData);

    // Timer handlers; the decoders call the two statistics handlers directly on a loss.
    void Timer_PaquetTimer();
    void Timer_StatTimer();
    void Timer_StatSoloTimer();
    void Timer_DonneesTimer();

private:
    // Steps both decoders take for an accepted frame.
    void showLinkOk();
    // AcceptedFrameCount + 1, its label, and the frame in its sample slot with `time` (seconds
    // or milliseconds by mode); returns the new count.
    std::int32_t storeFrame(const QByteArray &frameData, std::int32_t time);
    // Each shown channel: value label and a segment to plotX.
    void showChannels(const QByteArray &frameData, int plotX);
    // BatteryVolts, AlimL, BatteryMax and PileG.
    void showBattery(const QByteArray &frameData);
    // The record line with the given chronometer field; throws when it cannot be written.
    void appendRecordLine(const QString &chronoField);

    void balloonLossPath();
    void rocketLossPath();
    void releaseLockLater();

    MainWindowParts m;
};
