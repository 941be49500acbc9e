#include "receiverport.h"

#include "publishedports.h"

#include <atomic>
#include <chrono>
#include <unistd.h>

using namespace std::chrono_literals;

ReceiverPort::ReceiverPort()
{
    static std::atomic<int> count { 0 };
    const std::string alias = "tst-" + std::to_string(::getpid()) + "-" + std::to_string(++count);
    m_name = QString::fromStdString(
        PublishedPorts::publish(PublishedPorts::defaultFolder(), alias, pty.slavePath()));
}

ReceiverPort::~ReceiverPort()
{
    PublishedPorts::unpublish(m_name.toStdString());
}

QByteArray ReceiverPort::received(std::size_t count)
{
    return QByteArray::fromStdString(pty.receive(count, 5s));
}

QByteArray ReceiverPort::stray()
{
    return QByteArray::fromStdString(pty.receiveFor(150ms));
}
