#pragma once

#include <QEvent>
#include <QObject>
#include <functional>

class QWidget;

// Calls a handler for every event of one type that reaches a widget, e.g. a double-click on a
// picture that has no signal of its own. The hook is a child of the widget and goes with it.
// The event is passed on afterwards. The handler runs on the GUI thread; wrap it in the event
// guard when it may throw.
class EventHook : public QObject
{
    Q_OBJECT

public:
    static EventHook *install(QWidget *watched, QEvent::Type type,
                              std::function<void(QEvent *)> handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    EventHook(QWidget *watched, QEvent::Type type, std::function<void(QEvent *)> handler);

    QEvent::Type m_type;
    std::function<void(QEvent *)> m_handler;
};
