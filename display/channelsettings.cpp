#include "channelsettings.h"

#include "channeltable.h"
#include "colour.h"
#include "userdialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

ChannelSettings::ChannelSettings(ChannelTable &channels)
    : m_channels(channels)
{ }

std::optional<QColor> ChannelSettings::askColour(const QColor &initial)
{
    UserDialogs &dialogs = UserDialogs::instance();
    try {
        return dialogs.chooseColour(initial);
    } catch (...) {
        dialogs.message(UserDialogs::Icon::Information, QCoreApplication::applicationName(),
                        QStringLiteral("Couleur non chargée"), { UserDialogs::Button::Ok });
        return std::nullopt;
    }
}

void ChannelSettings::ChgeCoulVoie(int n, Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    ChannelTable::Entry &channel = m_channels.channel(n);
    const auto chosen = askColour(m_channels.penColour(n));
    if (!chosen)
        return; // cancelled or failed: box and saved colour stay as they are
    if (channel.ColourBox) {
        QPalette palette = channel.ColourBox->palette();
        palette.setColor(QPalette::Window, *chosen);
        channel.ColourBox->setPalette(palette);
    }
    channel.Colour = bgrFromColour(*chosen);
}

void ChannelSettings::ChannelMenuClick(int n)
{
    ChannelTable::Entry &channel = m_channels.channel(n);
    // Qt has toggled the item's check by itself before this runs; Shown decides.
    channel.Shown = !channel.Shown;
    if (channel.ChannelMenuItem)
        channel.ChannelMenuItem->setChecked(channel.Shown);
    for (QWidget *control : std::initializer_list<QWidget *> {
             channel.ColourBox, channel.NameEdit, channel.ValueLabel, channel.UnitLabel })
        if (control)
            control->setVisible(channel.Shown);
}
