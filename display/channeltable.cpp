#include "channeltable.h"

#include "colour.h"

#include <QFrame>
#include <QPalette>

namespace {

constexpr std::array<std::uint32_t, ChannelTable::Count> defaultColours
    = { 0xFF0000, 0x0000FF, 0x008000, 0xC0C0C0, 0x800080, 0x00FFFF, 0x000000, 0x00FF00 };

int column(int n)
{
    return (n - 1) / 2;
}

int row(int n)
{
    return (n - 1) % 2;
}

} // namespace

ChannelTable::ChannelTable()
{
    for (int n = 1; n <= Count; ++n) {
        channel(n).Colour = defaultColour(n);
        channel(n).Name = defaultName(n);
    }
}

std::uint32_t ChannelTable::defaultColour(int n)
{
    return defaultColours.at(n - 1);
}

QString ChannelTable::defaultName(int n)
{
    return QStringLiteral("Voie %1").arg(n);
}

void ChannelTable::resetPrevSamples()
{
    for (Entry &entry : m_entries)
        entry.PrevSample = -1;
}

QRect ChannelTable::colourBoxRect(int n)
{
    return QRect(160 * column(n) + 8, 20 * row(n) + 8, 15, 6);
}

QRect ChannelTable::nameEditRect(int n)
{
    return QRect(160 * column(n) + 27, 20 * row(n) + 4, 70, 19);
}

QPoint ChannelTable::valueLabelPos(int n)
{
    return QPoint(160 * column(n) + 105, 20 * row(n) + 4);
}

QPoint ChannelTable::unitLabelPos(int n)
{
    return QPoint(160 * column(n) + 135, 20 * row(n) + 4);
}

QColor ChannelTable::penColour(int n) const
{
    const Entry &entry = channel(n);
    if (entry.ColourBox)
        return entry.ColourBox->palette().color(QPalette::Window);
    return colourFromBgr(entry.Colour);
}
