#pragma once

#include "ptypair.h"

#include <QByteArray>
#include <QString>

// A pseudo-terminal published as a serial port, so that it is listed in the "Port serie" menu;
// the test plays the receiver on its master. The port is withdrawn when the object goes.
class ReceiverPort
{
public:
    ReceiverPort();
    ~ReceiverPort();
    ReceiverPort(const ReceiverPort &) = delete;
    ReceiverPort &operator=(const ReceiverPort &) = delete;

    const QString &name() const { return m_name; }
    // What the receiver sends to the program.
    void send(const QByteArray &bytes) { pty.send(bytes.toStdString()); }
    // What the program wrote, waiting up to a few seconds for `count` bytes.
    QByteArray received(std::size_t count);
    // Whatever the program writes within a short while (nothing is expected).
    QByteArray stray();

    PtyPair pty;

private:
    QString m_name;
};
