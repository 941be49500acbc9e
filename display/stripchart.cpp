#include "stripchart.h"

#include "colour.h"
#include "hugepageimage.h"
#include "rasterline.h"

#include <algorithm>
#include <cmath>

StripChart::StripChart(int height)
{
    applyPanelHeight(height);
}

void StripChart::applyPanelHeight(int height)
{
    setHeight(height);
    m_background = DefaultBackground;
    clear();
    updateScale();
}

void StripChart::setHeight(int height)
{
    height = std::max(height, 1);
    if (m_image.isNull() || m_image.height() != height) {
        // Release the old surface first: two of them at full height would be twice the memory.
        m_image = QImage();
        // Filled from end to end, so all of it stays resident: in as few pages as can be had.
        m_image = HugePageImage::create(Width, height, QImage::Format_RGB32);
    }
}

void StripChart::updateScale()
{
    const int h = m_image.isNull() ? 1 : m_image.height();
    m_scaleY = h / 255.0;
    m_baseY = h;
}

void StripChart::clear()
{
    if (m_image.isNull())
        return;
    m_image.fill(colourFromBgr(m_background));
    m_dirty = m_image.rect();
}

int StripChart::balloonPlotX(std::int32_t elapsedSeconds)
{
    return elapsedSeconds / 2 + 1;
}

int StripChart::rocketPlotX(std::int64_t elapsedMs)
{
    // Ties go to the even neighbour, as everywhere else in the program.
    return static_cast<int>(std::nearbyint(static_cast<long double>(elapsedMs) * 0.012L)) + 1;
}

int StripChart::rowOf(int byte) const
{
    return m_baseY - static_cast<int>(std::nearbyint(static_cast<long double>(byte) * m_scaleY));
}

void StripChart::plot(int &prevSample, int byte, const QColor &pen, FlightMode mode)
{
    if (prevSample == -1) {
        m_plotPrevX = m_plotX - (mode == FlightMode::FUSEE ? 12 : 1);
        prevSample = byte;
    }
    const QPoint from(m_plotPrevX, rowOf(prevSample));
    const QPoint to(m_plotX, rowOf(byte));
    if (!m_image.isNull()) {
        RasterLine::draw(m_image, from, to, pen.rgb());
        m_dirty |= QRect(from, to).normalized().adjusted(0, 0, 1, 1) & m_image.rect();
    }
    prevSample = byte;
}

QRect StripChart::takeDirty()
{
    const QRect dirty = m_dirty;
    m_dirty = QRect();
    return dirty;
}
