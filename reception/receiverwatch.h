#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

// Waits for a receiver's port that went away during a reception (a USB adapter knocked out of
// its socket) to come back under the same name. Twice a second at most, it looks whether the
// port's device is there again and, when it is, asks its owner to open it; it stops once the
// owner reports the port open. Nothing else runs while it waits. GUI thread only.
class ReceiverWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 500;

    // `reopen` opens the port again and tells whether it is open now.
    explicit ReceiverWatch(std::function<bool()> reopen, QObject *parent = nullptr);

    // Starts watching for the port of that name.
    void watch(const QString &portName);
    void stop();
    bool isWatching() const { return m_timer.isActive(); }

    // One look, as the timer takes it: true when the port was opened again.
    bool look();

private:
    std::function<bool()> m_reopen;
    QString m_devicePath; // the file that opens for the port; empty where names are no files
    QTimer m_timer;
};
