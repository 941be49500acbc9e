#pragma once

#include <QIcon>
#include <QImage>

// The program's pictures, drawn in code at the sizes their windows give them.
namespace Artwork {

QImage aboutPicture(); // 300 x 450, the mode chooser's background
// The program's icon, size x size: the desktop's menu, the window's title bar and task bar.
QImage programIcon(int size);
QIcon programIcons(); // programIcon at the sizes a window system asks for
QImage rocketPicture(); // 53 x 45
QImage balloonPicture(); // 53 x 45
QImage clockPicture(); // 33 x 36
QImage chronoPicture(); // 36 x 36
QImage linkOkPicture(); // 36 x 35, frames are arriving
QImage linkLostPicture(); // 36 x 36, frames are being lost
// The sweep window's pictures, 11 x 80, standing under its horizontal axis: the marker of the
// receiving channel (an upward arrow over the word RECEPTION written downwards), and the fixed
// label of an end of the band (a tick over the frequency text written downwards).
QImage channelMarkerPicture();
QImage bandEndPicture(const QString &frequency);

} // namespace Artwork
