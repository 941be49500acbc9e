#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QFrame;
class QLabel;
class QPushButton;
class TComDataPacket;
class TComPort;

// The band sweep window: the receiver steps through its 61 channels and answers each with a level
// reading, which the window draws as a bar above the channel's place on the axis; a marker
// follows the sweep and then shows the receiving channel; a click on a bar opens the
// frequency-change window for that channel. Shown modally; closing it does not stop a sweep, the
// answers keep filling the bars until the 61st.
//
// Everything runs on the GUI thread. The window reads and changes the main window's state
// through its parts, set once after creation.
class TForm_Scanner : public QDialog
{
    Q_OBJECT

public:
    static constexpr int BarCount = 61; // channels 0..60

    // What the sweep uses of the main window; nothing is owned.
    struct MainWindowParts
    {
        TComPort *ComPort = nullptr;
        TComDataPacket *ComPaquetScan = nullptr; // the answers' framer, attached while sweeping
        // The decoder framer of the flight mode, re-attached at the end of a sweep that ran
        // during a reception.
        std::function<TComDataPacket *()> decoderFramer;
        const std::int32_t *Status = nullptr; // 10 while receiving
        const std::int32_t *CurrentChannel = nullptr;
        std::int32_t *PendingChannel = nullptr; // set by a bar click
        QString *ChosenFrequencyText = nullptr; // set by a bar click
        QWidget *EcranP = nullptr; // the window is centred on the chart's height
        // Shows the frequency-change window modally.
        std::function<void()> showFrequencyWindow;
    };

    explicit TForm_Scanner(QWidget *parent = nullptr);
    void setMainWindowParts(const MainWindowParts &parts) { m_parts = parts; }

    // Left of the marker for channel n: the left edge of its bar.
    static int markerLeft(int channel) { return channel * 10 + 20; }
    // A sweep answer's three characters as a reading: optional leading blanks, an optional sign,
    // then decimal digits and nothing else ("  7", "-12", "198"). Anything else gives nothing.
    static std::optional<int> parseReading(const QByteArray &text);

    void FormShow();
    void Button1Click();
    // Purges the port, arms the answers' framer and asks the receiver for a sweep; the bars keep
    // their heights until their new answer comes.
    void StartSweep();
    // One answer: fills bar ScanIndex and moves the marker to it; after the 61st, the framer is
    // detached, the decoder framer attached again when receiving, and the marker goes back to
    // the receiving channel.
    void ComPaquetScanPacket(TComDataPacket *sender, const QByteArray &text);
    void BarClick(QFrame *bar);

    std::int32_t ScanIndex = 0; // the bar the next answer fills; the sweep is over past 60
    std::array<QFrame *, BarCount> ScanBars {};

    QFrame *Panel_Scan = nullptr;
    QFrame *Bevel1 = nullptr; // horizontal axis
    QFrame *Bevel2 = nullptr; // vertical axis
    QLabel *Image_Canal = nullptr; // marker of the receiving channel
    QLabel *Image1 = nullptr; // 136.000 MHz, under channel 0
    QLabel *Image2 = nullptr; // 139.000 MHz, under channel 60
    QPushButton *Button1 = nullptr; // "Nouveau balayage"

protected:
    void showEvent(QShowEvent *event) override;

private:
    MainWindowParts m_parts;
};
