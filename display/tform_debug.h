#pragma once

#include "flightmode.h"

#include <QByteArray>
#include <QDialog>
#include <cstdint>
#include <functional>

class LongTextEdit;

// Shows every byte the receiver sends as a three-digit number, for checking the link without
// the decoders. Shown modally; while it is open a framer of its own, one byte a packet, taps
// the open port and hands each byte to ComPaquetDebugPacket.
class TForm_Debug : public QDialog
{
    Q_OBJECT

public:
    // What the window reads and changes in the main window; nothing is owned.
    struct MainWindowParts
    {
        std::int32_t *Status = nullptr; // 0 idle, 10 receiving, 30 idle with this window open
        const FlightMode *flightMode = nullptr;
        QWidget *EcranP = nullptr; // the window is centred on the chart's height
        // Clears the port's input and output buffers; throws the port's error when no port is
        // open.
        std::function<void()> PurgeBuffers;
        // Attaches this window's framer to the port, or detaches it.
        std::function<void(bool attached)> SetDebugFramerAttached;
        // Attaches the frame framer of the mode to the port; no change when it is attached.
        std::function<void(FlightMode mode)> AttachDecoderFramer;
    };

    explicit TForm_Debug(QWidget *parent = nullptr);
    TForm_Debug(const MainWindowParts &parts, QWidget *parent);
    // The window is created before it is wired to the main window's state.
    void setMainWindowParts(const MainWindowParts &parts) { m_parts = parts; }

    // 7 is "007", 42 "042", 255 "255".
    static QString ThreeDigitText(int value);

    void FormShow();
    void FormClose();
    // One received byte (the framer's packet): its three digits and a blank go in at the caret,
    // replacing any selection.
    void ComPaquetDebugPacket(QObject *sender, const QByteArray &packet);
    void DebugMemoClick() { }

    LongTextEdit *DebugMemo = nullptr;

    // Closing by any way (close box, Escape) runs FormClose before the window goes.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    MainWindowParts m_parts;
};
