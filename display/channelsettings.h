#pragma once

#include <QColor>
#include <optional>
#include <qnamespace.h>

class ChannelTable;

// The operator's channel settings in the channel strip and the "&Voies" menu: a channel's
// colour (left button released over its colour box, also while receiving) and hiding or
// showing a channel (its menu item). GUI thread only.
class ChannelSettings
{
public:
    explicit ChannelSettings(ChannelTable &channels);

    // Channel n (1..8): the colour dialog opens on the box's colour; a confirmed colour goes to
    // the box (the decoders draw with it from the next segment on) and to the channel's saved
    // Colour. A cancel changes nothing.
    void ChgeCoulVoie(int n, Qt::MouseButton button);
    // Channel n (1..8): hides a shown channel (its four strip controls, and the decoders no
    // longer draw or update it) or shows a hidden one. The item's check mark follows Shown.
    void ChannelMenuClick(int n);

    // The colour dialog; std::nullopt when the operator cancels, and also when the dialog
    // fails, after "Couleur non chargée" has been shown.
    static std::optional<QColor> askColour(const QColor &initial);

private:
    ChannelTable &m_channels;
};
