#include "colour.h"

QColor colourFromBgr(std::uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

std::uint32_t bgrFromColour(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return std::uint32_t(rgb.red()) | (std::uint32_t(rgb.green()) << 8)
        | (std::uint32_t(rgb.blue()) << 16);
}
