#include "artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QtMath>

namespace Artwork {
namespace {

QImage blank(int w, int h, QColor fill = Qt::transparent)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void drawRocket(QPainter &p, const QRectF &box)
{
    // Body along the vertical axis of `box`, nose up.
    const qreal cx = box.center().x();
    const qreal w = box.width() * 0.30;
    const qreal top = box.top();
    const qreal bottom = box.bottom() - box.height() * 0.18;
    QPainterPath body;
    body.moveTo(cx, top);
    body.cubicTo(cx + w * 0.9, top + box.height() * 0.18, cx + w / 2, top + box.height() * 0.3,
                 cx + w / 2, bottom);
    body.lineTo(cx - w / 2, bottom);
    body.lineTo(cx - w / 2, top + box.height() * 0.3);
    body.cubicTo(cx - w / 2, top + box.height() * 0.3, cx - w * 0.9, top + box.height() * 0.18, cx,
                 top);
    QLinearGradient metal(cx - w / 2, 0, cx + w / 2, 0);
    metal.setColorAt(0, QColor(200, 205, 215));
    metal.setColorAt(0.45, QColor(250, 250, 252));
    metal.setColorAt(1, QColor(150, 155, 170));
    p.setPen(QPen(QColor(60, 60, 80), 1));
    p.setBrush(metal);
    p.drawPath(body);
    // Fins.
    p.setBrush(QColor(200, 30, 40));
    const qreal finTop = bottom - box.height() * 0.22;
    p.drawPolygon(QPolygonF({ QPointF(cx - w / 2, finTop), QPointF(cx - w * 1.3, bottom + 2),
                              QPointF(cx - w / 2, bottom) }));
    p.drawPolygon(QPolygonF({ QPointF(cx + w / 2, finTop), QPointF(cx + w * 1.3, bottom + 2),
                              QPointF(cx + w / 2, bottom) }));
    // Window.
    p.setBrush(QColor(60, 130, 220));
    const qreal r = w * 0.22;
    p.drawEllipse(QPointF(cx, top + box.height() * 0.36), r, r);
    // Flame.
    QPainterPath flame;
    flame.moveTo(cx - w * 0.35, bottom);
    flame.quadTo(cx, box.bottom() + box.height() * 0.05, cx + w * 0.35, bottom);
    QLinearGradient fire(0, bottom, 0, box.bottom());
    fire.setColorAt(0, QColor(255, 230, 80));
    fire.setColorAt(1, QColor(255, 90, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(fire);
    p.drawPath(flame);
}

void drawBalloon(QPainter &p, const QRectF &box)
{
    const qreal cx = box.center().x();
    const qreal r = box.height() * 0.33;
    const QPointF centre(cx, box.top() + r + 1);
    QRadialGradient skin(centre - QPointF(r * 0.35, r * 0.35), r * 1.4);
    skin.setColorAt(0, QColor(255, 255, 255));
    skin.setColorAt(0.25, QColor(240, 240, 245));
    skin.setColorAt(1, QColor(170, 175, 190));
    p.setPen(QPen(QColor(90, 90, 110), 1));
    p.setBrush(skin);
    QPainterPath envelope;
    envelope.addEllipse(centre, r, r);
    QPainterPath neck;
    neck.moveTo(cx - r * 0.35, centre.y() + r * 0.85);
    neck.lineTo(cx, centre.y() + r * 1.25);
    neck.lineTo(cx + r * 0.35, centre.y() + r * 0.85);
    p.drawPath(envelope.united(neck));
    // Line and payload box.
    const qreal lineEnd = box.bottom() - box.height() * 0.16;
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.drawLine(QPointF(cx, centre.y() + r * 1.25), QPointF(cx, lineEnd));
    p.setBrush(QColor(230, 140, 30));
    p.drawRect(QRectF(cx - box.width() * 0.09, lineEnd, box.width() * 0.18, box.height() * 0.14));
}

QFont boldFont(int pixels)
{
    QFont font(QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

} // namespace

QImage aboutPicture()
{
    QImage image = blank(300, 450);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 450);
    sky.setColorAt(0, QColor(10, 30, 90));
    sky.setColorAt(0.55, QColor(70, 140, 220));
    sky.setColorAt(1, QColor(215, 235, 255));
    p.fillRect(image.rect(), sky);
    // A few stars high up.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    const QPointF stars[] = { { 24, 30 },  { 60, 70 },  { 110, 18 }, { 200, 40 }, { 262, 22 },
                              { 280, 90 }, { 150, 60 }, { 35, 110 }, { 240, 120 } };
    for (const QPointF &s : stars)
        p.drawEllipse(s, 1.2, 1.2);
    // Ground.
    p.setBrush(QColor(70, 130, 60));
    QPainterPath hills;
    hills.moveTo(0, 450);
    hills.lineTo(0, 330);
    hills.cubicTo(80, 300, 160, 345, 300, 315);
    hills.lineTo(300, 450);
    p.drawPath(hills);
    // Rising balloon and climbing rocket.
    drawBalloon(p, QRectF(190, 130, 70, 110));
    p.save();
    p.translate(85, 210);
    p.rotate(12);
    drawRocket(p, QRectF(-28, -95, 56, 140));
    p.restore();
    // Title.
    p.setPen(QColor(255, 255, 255));
    p.setFont(boldFont(38));
    p.drawText(QRectF(0, 16, 300, 50), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("Zephul"));
    p.setFont(boldFont(13));
    p.drawText(QRectF(0, 62, 300, 20), Qt::AlignHCenter, QStringLiteral("Station sol Tuvo"));
    p.setPen(QColor(20, 40, 20));
    p.setFont(boldFont(12));
    p.drawText(QRectF(0, 322, 300, 20), Qt::AlignHCenter, QStringLiteral("Quel vol suivez-vous ?"));
    return image;
}

QImage rocketPicture()
{
    QImage image = blank(53, 45);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawRocket(p, QRectF(14, 1, 25, 43));
    return image;
}

QImage balloonPicture()
{
    QImage image = blank(53, 45);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawBalloon(p, QRectF(8, 0, 37, 45));
    return image;
}

QImage programIcon(int size)
{
    QImage image = blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // A rounded tile of evening sky over a green hill, as the chooser's picture.
    const QRectF tile(0.5, 0.5, s - 1, s - 1);
    const qreal corner = s * 0.16;
    QLinearGradient sky(0, 0, 0, s);
    sky.setColorAt(0, QColor(10, 30, 90));
    sky.setColorAt(0.6, QColor(70, 140, 220));
    sky.setColorAt(1, QColor(215, 235, 255));
    QPainterPath rounded;
    rounded.addRoundedRect(tile, corner, corner);
    p.setClipPath(rounded);
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 130, 60));
    QPainterPath hill;
    hill.moveTo(0, s);
    hill.lineTo(0, s * 0.80);
    hill.cubicTo(s * 0.3, s * 0.70, s * 0.6, s * 0.86, s, s * 0.76);
    hill.lineTo(s, s);
    p.drawPath(hill);
    if (size >= 32) {
        p.setBrush(QColor(255, 255, 255, 200));
        for (const QPointF &star :
             { QPointF(0.62, 0.10), QPointF(0.85, 0.16), QPointF(0.50, 0.22) })
            p.drawEllipse(star * s, s * 0.008 + 0.4, s * 0.008 + 0.4);
    }
    // The balloon on the right, the rocket climbing on the left, in front of it.
    drawBalloon(p, QRectF(s * 0.50, s * 0.16, s * 0.40, s * 0.62));
    p.save();
    p.translate(s * 0.34, s * 0.50);
    p.rotate(15);
    drawRocket(p, QRectF(-s * 0.19, -s * 0.42, s * 0.38, s * 0.80));
    p.restore();
    p.setClipping(false);
    p.setPen(QPen(QColor(10, 25, 60, 160), qMax(1.0, s / 64)));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(tile, corner, corner);
    return image;
}

QIcon programIcons()
{
    QIcon icons;
    for (const int size : { 16, 22, 24, 32, 48, 64, 128 })
        icons.addPixmap(QPixmap::fromImage(programIcon(size)));
    return icons;
}

QImage clockPicture()
{
    QImage image = blank(33, 36);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(16.5, 18.5);
    p.setPen(QPen(QColor(40, 40, 60), 2));
    p.setBrush(QColor(250, 250, 240));
    p.drawEllipse(c, 14.5, 14.5);
    p.setPen(QPen(QColor(40, 40, 60), 1));
    for (int h = 0; h < 12; ++h) {
        const qreal a = h * M_PI / 6;
        const qreal inner = h % 3 == 0 ? 9.5 : 11;
        p.drawLine(c + QPointF(qSin(a) * inner, -qCos(a) * inner),
                   c + QPointF(qSin(a) * 12.5, -qCos(a) * 12.5));
    }
    p.setPen(QPen(QColor(20, 20, 30), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(qSin(-1.0) * 7, -qCos(-1.0) * 7));
    p.setPen(QPen(QColor(20, 20, 30), 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(qSin(2.1) * 10.5, -qCos(2.1) * 10.5));
    return image;
}

QImage chronoPicture()
{
    QImage image = blank(36, 36);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(18, 20.5);
    p.setPen(QPen(QColor(40, 40, 60), 1));
    p.setBrush(QColor(120, 120, 135));
    p.drawRect(QRectF(15.5, 1, 5, 4));
    p.drawRect(QRectF(14, 0, 8, 2));
    p.setPen(QPen(QColor(40, 40, 60), 2));
    p.setBrush(QColor(250, 250, 245));
    p.drawEllipse(c, 14, 14);
    p.setPen(QPen(QColor(200, 30, 30), 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(qSin(0.9) * 11, -qCos(0.9) * 11));
    p.setPen(QPen(QColor(40, 40, 60), 1));
    for (int i = 0; i < 4; ++i) {
        const qreal a = i * M_PI / 2;
        p.drawLine(c + QPointF(qSin(a) * 10, -qCos(a) * 10),
                   c + QPointF(qSin(a) * 12.5, -qCos(a) * 12.5));
    }
    p.setBrush(QColor(40, 40, 60));
    p.drawEllipse(c, 1.5, 1.5);
    return image;
}

namespace {

QImage linkPicture(int height, bool ok)
{
    QImage image = blank(36, height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // An antenna mast with its waves: green waves when frames arrive, a red cross when lost.
    p.setPen(QPen(QColor(50, 50, 60), 2));
    p.drawLine(QPointF(18, 14), QPointF(11, height - 2));
    p.drawLine(QPointF(18, 14), QPointF(25, height - 2));
    p.drawLine(QPointF(14, height - 11), QPointF(22, height - 11));
    p.setBrush(QColor(50, 50, 60));
    p.drawEllipse(QPointF(18, 13), 2.5, 2.5);
    const QColor wave = ok ? QColor(20, 160, 40) : QColor(150, 150, 150);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(wave, 2, Qt::SolidLine, Qt::RoundCap));
    for (int r = 6; r <= 14; r += 4) {
        const QRectF arc(18 - r, 13 - r, 2 * r, 2 * r);
        p.drawArc(arc, 30 * 16, 60 * 16);
        p.drawArc(arc, 90 * 16, 60 * 16);
    }
    if (!ok) {
        p.setPen(QPen(QColor(210, 20, 20), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 3), QPointF(31, height - 4));
        p.drawLine(QPointF(31, 3), QPointF(5, height - 4));
    }
    return image;
}

} // namespace

QImage linkOkPicture()
{
    return linkPicture(35, true);
}

QImage linkLostPicture()
{
    return linkPicture(36, false);
}

namespace {

// Text written downwards (turned a quarter clockwise) in an 11-pixel column, from y = top.
void drawDownwardText(QPainter &p, const QString &text, int top, const QColor &colour, bool bold)
{
    QFont font(QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(10);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    p.save();
    p.setFont(font);
    p.setPen(colour);
    // After the turn, x runs down the column and y runs from its right edge to its left.
    p.translate(11, top);
    p.rotate(90);
    p.drawText(QRect(0, 0, 80 - top, 11), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.restore();
}

} // namespace

QImage channelMarkerPicture()
{
    QImage image = blank(11, 80);
    QPainter p(&image);
    const QColor red(200, 0, 0);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawPolygon(QPolygonF({ QPointF(5.5, 0), QPointF(11, 7), QPointF(0, 7) }));
    p.drawRect(QRectF(4, 7, 3, 6));
    p.setRenderHint(QPainter::Antialiasing, false);
    drawDownwardText(p, QStringLiteral("RECEPTION"), 15, red, true);
    return image;
}

QImage bandEndPicture(const QString &frequency)
{
    QImage image = blank(11, 80);
    QPainter p(&image);
    p.setPen(Qt::black);
    p.drawLine(1, 0, 1, 5);
    drawDownwardText(p, frequency, 8, Qt::black, false);
    return image;
}

} // namespace Artwork
