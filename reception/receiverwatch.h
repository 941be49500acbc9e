#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class TComDataPacket;
class TComPort;

// A receiver's port that went away during a reception (a USB adapter knocked out of its
// socket): the reception goes on without it, and the same port name is watched until it can be
// opened again. Twice a second at most, the watch looks whether the port's device is there and,
// when it is, opens it with the settings it had, purges it and attaches the decoder's framer
// again, with nothing sent to the receiver (it kept its tuning). Nothing else runs while it
// waits. GUI thread only.
class ReceiverWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 500;

    // What the watch uses of the main window; nothing is owned.
    struct MainWindowParts
    {
        TComPort *ComPort = nullptr;
        // The framer of the flight mode's decoder.
        std::function<TComDataPacket *()> decoderFramer;
        // The receiver commands ("Fréquence", "Haut parleur", the sweep) on or off.
        std::function<void(bool)> setReceiverMenus;
        // The receiver's notice for the operator (alarm: the receiver is away).
        std::function<void(const QString &text, bool alarm)> showNotice;
    };

    explicit ReceiverWatch(const MainWindowParts &parts, QObject *parent = nullptr);

    // The port closed itself, its device gone, during a reception: commands off, the notice,
    // and the watch for the port's name.
    void lost();
    // Stops watching (the reception ends).
    void stop();
    bool isWatching() const { return m_timer.isActive(); }

    // One look, as the timer takes it: true when the port was opened again.
    bool look();

private:
    bool reopen();

    MainWindowParts m_parts;
    QString m_devicePath; // the file that opens for the port; empty where names are no files
    QTimer m_timer;
};
