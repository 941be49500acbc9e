#include "eventhook.h"

#include <QWidget>

EventHook::EventHook(QWidget *watched, QEvent::Type type, std::function<void(QEvent *)> handler)
    : QObject(watched)
    , m_type(type)
    , m_handler(std::move(handler))
{ }

EventHook *EventHook::install(QWidget *watched, QEvent::Type type,
                              std::function<void(QEvent *)> handler)
{
    auto *hook = new EventHook(watched, type, std::move(handler));
    watched->installEventFilter(hook);
    return hook;
}

bool EventHook::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == m_type && m_handler)
        m_handler(event);
    return QObject::eventFilter(watched, event);
}
