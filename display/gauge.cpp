#include "gauge.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>

Gauge::Gauge(QWidget *parent)
    : QProgressBar(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setTextVisible(false);
}

void Gauge::setColours(const QColor &background, const QColor &fill)
{
    m_background = background;
    m_fill = fill;
    update();
}

void Gauge::setProgress(int value)
{
    value = std::clamp(value, minimum(), maximum());
    if (value == this->value())
        return;
    // With updates off the progress bar's own immediate repaint does nothing; switching them
    // back on schedules an ordinary one.
    setUpdatesEnabled(false);
    setValue(value);
    setUpdatesEnabled(true);
}

bool Gauge::event(QEvent *event)
{
    const bool handled = QProgressBar::event(event);
    // Styles that light progress bars up under the mouse clear the opaque flag when they polish
    // the widget, which happens at its first show and at every change of style; without it the
    // panel under the gauge is repainted with each change of value.
    if (event->type() == QEvent::Polish || event->type() == QEvent::StyleChange)
        setAttribute(Qt::WA_OpaquePaintEvent);
    return handled;
}

void Gauge::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect all = rect();
    p.fillRect(all, QColor::fromRgb(BorderColour));
    const QRect inside = all.adjusted(1, 1, -1, -1);
    p.fillRect(inside, m_background);
    const qint64 span = qint64(maximum()) - minimum();
    if (span <= 0 || value() <= minimum())
        return;
    const double ratio = double(qint64(value()) - minimum()) / double(span);
    if (orientation() == Qt::Horizontal) {
        const int width = int(inside.width() * ratio);
        p.fillRect(QRect(inside.left(), inside.top(), width, inside.height()), m_fill);
    } else {
        const int height = int(inside.height() * ratio);
        p.fillRect(QRect(inside.left(), inside.bottom() + 1 - height, inside.width(), height),
                   m_fill);
    }
}
