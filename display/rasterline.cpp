#include "rasterline.h"

#include <cstdlib>

namespace RasterLine {

void draw(QImage &image, QPoint from, QPoint to, QRgb colour)
{
    const int width = image.width();
    const int height = image.height();
    if (width <= 0 || height <= 0)
        return;
    // Detached once here: scanLine() would check for sharing at every pixel.
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    int x = from.x();
    int y = from.y();
    const int dx = std::abs(to.x() - x);
    const int dy = -std::abs(to.y() - y);
    const int sx = x < to.x() ? 1 : -1;
    const int sy = y < to.y() ? 1 : -1;
    int err = dx + dy;
    while (x != to.x() || y != to.y()) {
        if (x >= 0 && x < width && y >= 0 && y < height)
            reinterpret_cast<QRgb *>(bits + y * stride)[x] = colour;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

} // namespace RasterLine
