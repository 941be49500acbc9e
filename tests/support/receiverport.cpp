#include "receiverport.h"

#include "publishedports.h"

#include <atomic>
#include <chrono>
#include <unistd.h>

using namespace std::chrono_literals;

ReceiverPort::ReceiverPort()
    : m_pty(std::make_unique<PtyPair>())
{
    static std::atomic<int> count { 0 };
    m_alias = "tst-" + std::to_string(::getpid()) + "-" + std::to_string(++count);
    m_name = QString::fromStdString(
        PublishedPorts::publish(PublishedPorts::defaultFolder(), m_alias, m_pty->slavePath()));
}

void ReceiverPort::unplug()
{
    PublishedPorts::unpublish(m_name.toStdString());
    m_pty.reset();
}

void ReceiverPort::plugBackIn()
{
    m_pty = std::make_unique<PtyPair>();
    PublishedPorts::publish(PublishedPorts::defaultFolder(), m_alias, m_pty->slavePath());
}

ReceiverPort::~ReceiverPort()
{
    PublishedPorts::unpublish(m_name.toStdString());
}

QByteArray ReceiverPort::received(std::size_t count)
{
    return QByteArray::fromStdString(m_pty->receive(count, 5s));
}

QByteArray ReceiverPort::stray()
{
    return QByteArray::fromStdString(m_pty->receiveFor(150ms));
}
