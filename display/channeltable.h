#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <array>
#include <cstdint>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QWidget;

// The eight channels ("Voie 1" to "Voie 8") with their settings and the controls of the channel
// strip. The controls are created once by the main window and owned by the strip panel; the
// table only points at them. GUI thread only.
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
        QFrame *ColourBox = nullptr;
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
    // Index 0..7, for code that walks the table.
    Entry &operator[](int index) { return m_entries.at(index); }
    const Entry &operator[](int index) const { return m_entries.at(index); }
    auto begin() { return m_entries.begin(); }
    auto end() { return m_entries.end(); }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

    static std::uint32_t defaultColour(int n);
    static QString defaultName(int n);

    // No line is drawn from a point before this: PrevSample := -1 for all channels.
    void resetPrevSamples();

    // Places of the strip controls of channel n inside the strip panel: column (n - 1) div 2,
    // row (n - 1) mod 2, columns 160 px apart. The labels size themselves.
    static QRect colourBoxRect(int n);
    static QRect nameEditRect(int n);
    static QPoint valueLabelPos(int n);
    static QPoint unitLabelPos(int n);

    // The colour a channel's pen takes: the colour shown in its box (Colour if it has no box).
    QColor penColour(int n) const;

private:
    std::array<Entry, Count> m_entries;
};
