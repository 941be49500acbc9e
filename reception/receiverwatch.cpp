#include "receiverwatch.h"

#include "chronotext.h"
#include "ecomport.h"
#include "eventguard.h"
#include "portname.h"
#include "tcomdatapacket.h"
#include "tcomport.h"

#include <QFileInfo>
#include <QTime>

ReceiverWatch::ReceiverWatch(const MainWindowParts &parts, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
{
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { EventGuard::run([this] { look(); }); });
}

void ReceiverWatch::lost()
{
    m_parts.setReceiverMenus(false);
    m_parts.showNotice(QStringLiteral("Récepteur débranché à %1 : la réception reprendra dès son "
                                      "retour.")
                           .arg(ChronoText::clockText(QTime::currentTime())),
                       true);
#ifdef _WIN32
    // "COM3" is no file: the port is simply tried.
    m_devicePath.clear();
#else
    m_devicePath = QString::fromStdString(
        SerialPlatform::devicePathForPort(m_parts.ComPort->Port().toStdString()));
#endif
    m_timer.start();
}

void ReceiverWatch::stop()
{
    m_timer.stop();
}

bool ReceiverWatch::look()
{
    // A device file that is not back yet is not worth an open.
    if (!m_devicePath.isEmpty() && !QFileInfo::exists(m_devicePath))
        return false;
    if (!reopen())
        return false;
    m_timer.stop();
    return true;
}

bool ReceiverWatch::reopen()
{
    TComPort *port = m_parts.ComPort;
    try {
        port->OpenPort();
    } catch (const EComPort &) {
        return false; // not quite there yet: the next look tries again
    }
    if (!port->Connected())
        return false;
    // Same settings, same reception: what was queued before the loss, and the frame the loss
    // cut in two, are dropped; nothing is sent, the receiver kept its tuning.
    port->PurgeBuffers(true, true);
    TComDataPacket *framer = m_parts.decoderFramer();
    framer->FlushText();
    if (framer->ComPort() != port)
        framer->SetComPort(port);
    m_parts.setReceiverMenus(true);
    m_parts.showNotice(QStringLiteral("Récepteur rebranché à %1 : la réception continue.")
                           .arg(ChronoText::clockText(QTime::currentTime())),
                       false);
    return true;
}
