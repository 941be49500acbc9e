#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <array>
#include <cstdint>

class QAction;
class QLabel;
class QLineEdit;
class QWidget;

// The eight channels ("Voie 1" to "Voie 8") with their settings and the controls of the channel
// strip. The controls are created once by buildStrip() and owned by the strip panel; the table
// only points at them. GUI thread only.
class ChannelTable
{
public:
    static constexpr int Count = 8;
    static constexpr std::uint32_t StripColour = 0xF2CDAC; // 0x00BBGGRR, panel and label colour

    struct Entry
    {
        std::uint32_t Colour = 0; // 0x00BBGGRR
        QString Name;
        bool Shown = true;
        QAction *ChannelMenuItem = nullptr;
        QWidget *ColourBox = nullptr;
        QLineEdit *NameEdit = nullptr;
        QLabel *ValueLabel = nullptr;
        QLabel *UnitLabel = nullptr;
        int PrevSample = -1; // channel byte of the last point drawn, -1 when none
    };

    // Default colours and names, PrevSample -1, every channel shown.
    ChannelTable();

    // Channel n = 1..8.
    Entry &channel(int n) { return m_entries.at(n - 1); }
    const Entry &channel(int n) const { return m_entries.at(n - 1); }

    static std::uint32_t defaultColour(int n);
    static QString defaultName(int n);

    // No line is drawn from a point before this: PrevSample := -1 for all channels.
    void resetPrevSamples();

    // Places of the strip controls of channel n inside the strip panel: column (n - 1) div 2,
    // row (n - 1) mod 2, columns 160 px apart. The labels size themselves: their rectangles
    // give only the top-left corner meaningfully.
    static QRect colourBoxRect(int n);
    static QRect nameEditRect(int n);
    static QPoint valueLabelPos(int n);
    static QPoint unitLabelPos(int n);

    // Creates the four controls of every channel on the strip panel, in the order column by
    // column, channel 1 above channel 2: the colour box filled with Colour (its "tag" property
    // holds n), the borderless name box (at most 10 characters) with Name, the value label
    // "0,00" in the locale's decimal separator and the unit label "V".
    void buildStrip(QWidget *voiesP);

    // The colour a channel's pen takes: the colour shown in its box (Colour if it has no box).
    QColor penColour(int n) const;
    // Fills a colour box with a colour.
    static void paintBox(QWidget *box, const QColor &colour);

private:
    std::array<Entry, Count> m_entries;
};
