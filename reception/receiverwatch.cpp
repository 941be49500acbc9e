#include "receiverwatch.h"

#include "eventguard.h"
#include "portname.h"

#include <QFileInfo>

ReceiverWatch::ReceiverWatch(std::function<bool()> reopen, QObject *parent)
    : QObject(parent)
    , m_reopen(std::move(reopen))
{
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { EventGuard::run([this] { look(); }); });
}

void ReceiverWatch::watch(const QString &portName)
{
#ifdef _WIN32
    // "COM3" is no file: the port is simply tried.
    m_devicePath.clear();
#else
    m_devicePath
        = QString::fromStdString(SerialPlatform::devicePathForPort(portName.toStdString()));
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
    if (!m_reopen())
        return false;
    m_timer.stop();
    return true;
}
