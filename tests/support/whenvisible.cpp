#include "whenvisible.h"

#include <QTimer>
#include <QWidget>

void whenVisible(QWidget *window, std::function<void()> action)
{
    auto *poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [poll, window, action] {
        if (!window->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(5);
}
