#pragma once

#include <QColor>
#include <cstdint>

// Colours are stored as 32-bit integers laid out 0x00BBGGRR (red in the lowest byte), as in the
// settings file. These two are the only conversions between that layout and QColor.
QColor colourFromBgr(std::uint32_t bgr);
std::uint32_t bgrFromColour(const QColor &colour);
