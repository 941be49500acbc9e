#pragma once

#include <QImage>
#include <QPoint>

// Integer line drawing as the chart has always looked: every pixel from the start point up to,
// but not including, the end point (a line from a point to itself paints nothing). QPainter
// would paint the end point too, which shifts every curve by one pixel.
namespace RasterLine {

// Draws on a 32-bit image (Format_RGB32 or Format_ARGB32); pixels outside the image are
// clipped. colour is a QRgb (0xAARRGGBB).
void draw(QImage &image, QPoint from, QPoint to, QRgb colour);

} // namespace RasterLine
