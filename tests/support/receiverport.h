#pragma once

#include "ptypair.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>

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
    void send(const QByteArray &bytes) { m_pty->send(bytes.toStdString()); }
    // What the program wrote, waiting up to a few seconds for `count` bytes.
    QByteArray received(std::size_t count);
    // Whatever the program writes within a short while (nothing is expected).
    QByteArray stray();

    PtyPair &pty() { return *m_pty; }

    // The receiver's cable pulled out: the program's side of the line is hung up and the port's
    // name goes away. Plugged back in: a new line under the same name.
    void unplug();
    void plugBackIn();

private:
    std::unique_ptr<PtyPair> m_pty;
    std::string m_alias;
    QString m_name;
};
