#include "batterycurve.h"

#include "rasterline.h"

#include <cmath>

BatteryCurve::BatteryCurve()
    : m_image(Width, Height, QImage::Format_RGB32)
{
    reset();
}

void BatteryCurve::reset()
{
    m_image.fill(Background);
    m_penColour = AxisColour;
    m_penPos = QPoint(0, 0);
    lineTo(QPoint(0, 30));
    lineTo(QPoint(96, 30));
    m_penColour = CurveColour;
    m_started = false;
}

int BatteryCurve::rowOf(double volts)
{
    return 30 - static_cast<int>(std::nearbyint(volts * 2));
}

void BatteryCurve::addBalloonPoint(double volts)
{
    const int y = rowOf(volts);
    if (m_started) {
        ++m_x;
        lineTo(QPoint(m_x, y));
    } else {
        m_started = true;
        m_x = 1;
        m_penPos = QPoint(1, y);
    }
    wrapIfFull();
}

void BatteryCurve::addRocketPoint(double volts)
{
    wrapIfFull();
    const int y = rowOf(volts);
    if (m_started) {
        ++m_x;
        lineTo(QPoint(m_x, y));
    } else {
        m_started = true;
        m_x = 0;
        m_penPos = QPoint(1, y);
    }
}

void BatteryCurve::lineTo(QPoint to)
{
    RasterLine::draw(m_image, m_penPos, to, m_penColour);
    m_penPos = to;
}

void BatteryCurve::wrapIfFull()
{
    if (m_x > Width - 1) {
        m_x = 0;
        m_started = false;
        // The axes are not redrawn: the box is blank until the next reset.
        m_image.fill(Background);
    }
}
