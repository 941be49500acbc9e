#include "gauge.h"

#include <QPainter>
#include <algorithm>

Gauge::Gauge(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Gauge::setColours(const QColor &background, const QColor &fill)
{
    m_background = background;
    m_fill = fill;
    update();
}

void Gauge::setOrientation(Qt::Orientation orientation)
{
    if (orientation == m_orientation)
        return;
    m_orientation = orientation;
    update();
}

void Gauge::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_progress = std::clamp(m_progress, m_minimum, m_maximum);
    update();
}

void Gauge::setProgress(int value)
{
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_progress)
        return;
    m_progress = value;
    update();
}

void Gauge::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect all = rect();
    p.fillRect(all, QColor::fromRgb(BorderColour));
    const QRect inside = all.adjusted(1, 1, -1, -1);
    p.fillRect(inside, m_background);
    const qint64 span = qint64(m_maximum) - m_minimum;
    if (span <= 0 || m_progress <= m_minimum)
        return;
    const double ratio = double(qint64(m_progress) - m_minimum) / double(span);
    if (m_orientation == Qt::Horizontal) {
        const int width = int(inside.width() * ratio);
        p.fillRect(QRect(inside.left(), inside.top(), width, inside.height()), m_fill);
    } else {
        const int height = int(inside.height() * ratio);
        p.fillRect(QRect(inside.left(), inside.bottom() + 1 - height, inside.width(), height),
                   m_fill);
    }
}
