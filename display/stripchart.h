#pragma once

#include "flightmode.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdint>

// The strip chart's drawing surface and scales: a 15000-pixel-wide image as high as the chart
// panel, on which the decoders draw one segment per shown channel and accepted frame. The chart
// is never redrawn from stored data: clearing erases it for good.
//
// Coordinates: x counts chart pixels from the start of the reception (BALLON: 2 s per pixel,
// FUSEE: 1/12 s per pixel); y = 0 is the top row (byte 255). GUI thread only.
class StripChart
{
public:
    static constexpr int Width = 15000;
    static constexpr std::uint32_t DefaultBackground = 0xFFFFD9; // 0x00BBGGRR

    explicit StripChart(int height = 255);

    // The layout's chart steps for a chart panel of the given height: image height := height
    // (at least 1), background back to DefaultBackground, clear, then the scales.
    void applyPanelHeight(int height);

    // Reallocates the image when the height changes; the scales are not touched.
    void setHeight(int height);
    // ChartScaleY := height / 255.0, ChartBaseY := height.
    void updateScale();
    // Fills the whole image with ChartBackground.
    void clear();

    std::uint32_t ChartBackground() const { return m_background; }
    void setChartBackground(std::uint32_t bgr) { m_background = bgr; }
    double ChartScaleY() const { return m_scaleY; }
    int ChartBaseY() const { return m_baseY; }

    // x of the points of the frame being drawn; set by the decoder before plotting a frame.
    int PlotX() const { return m_plotX; }
    void setPlotX(int x) { m_plotX = x; }
    // Where the segments of the frame start; one value for all channels.
    int PlotPrevX() const { return m_plotPrevX; }
    void setPlotPrevX(int x) { m_plotPrevX = x; }

    // The chart x of a frame: BALLON from whole elapsed seconds, FUSEE from elapsed ms.
    static int balloonPlotX(std::int32_t elapsedSeconds);
    static int rocketPlotX(std::int64_t elapsedMs);
    // The row of a channel byte: ChartBaseY - Round(b * ChartScaleY).
    int rowOf(int byte) const;

    // Draws one channel of the current frame. prevSample is the channel's PrevSample (-1 when
    // its line starts here); it is updated to b. The end point of the segment is not painted.
    void plot(int &prevSample, int byte, const QColor &pen, FlightMode mode);
    // After the last channel of a frame: PlotPrevX := PlotX.
    void endFrame() { m_plotPrevX = m_plotX; }

    const QImage &image() const { return m_image; }
    int height() const { return m_image.height(); }

    // The part of the image painted since the last call (empty after a clear reports the whole
    // image), so the view repaints only what changed.
    QRect takeDirty();

private:
    QImage m_image;
    double m_scaleY = 1.0;
    int m_baseY = 255;
    std::uint32_t m_background = DefaultBackground;
    int m_plotX = 0;
    int m_plotPrevX = 0;
    QRect m_dirty;
};
