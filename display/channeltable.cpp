#include "channeltable.h"

#include "colour.h"
#include "numberformat.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
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

void setBackground(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
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

void ChannelTable::buildStrip(QWidget *voiesP)
{
    const QColor stripColour = colourFromBgr(StripColour);
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 2; ++r) {
            const int n = 2 * c + r + 1;
            Entry &entry = channel(n);

            auto *box = new QFrame(voiesP);
            box->setGeometry(colourBoxRect(n));
            box->setProperty("tag", n);
            paintBox(box, colourFromBgr(entry.Colour));
            entry.ColourBox = box;

            auto *edit = new QLineEdit(entry.Name, voiesP);
            edit->setGeometry(nameEditRect(n));
            edit->setFrame(false);
            // Qt applies the limit to the text already there too: a longer name hand-written
            // in the settings file is shortened to 10 characters.
            edit->setMaxLength(10);
            setBackground(edit, stripColour);
            entry.NameEdit = edit;

            auto *value = new QLabel(format1_2f(0), voiesP);
            value->move(valueLabelPos(n));
            value->adjustSize();
            setBackground(value, stripColour);
            entry.ValueLabel = value;

            auto *unit = new QLabel(QStringLiteral("V"), voiesP);
            unit->move(unitLabelPos(n));
            unit->adjustSize();
            setBackground(unit, stripColour);
            entry.UnitLabel = unit;
        }
    }
}

QColor ChannelTable::penColour(int n) const
{
    const Entry &entry = channel(n);
    if (entry.ColourBox)
        return entry.ColourBox->palette().color(QPalette::Window);
    return colourFromBgr(entry.Colour);
}

void ChannelTable::paintBox(QWidget *box, const QColor &colour)
{
    setBackground(box, colour);
}
