#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <array>
#include <map>
#include <optional>

class QPainter;

// A label for a short numeric text rewritten again and again: the clock and the flight
// chronometer (up to many times a second), the channel values, the battery voltage, the frame
// count and the link figures (at every frame). Digits, separators, blanks, a minus and the volt
// sign. Laying out and shaping the text at every repaint was the largest part of painting it;
// this label draws each character from an image
// rendered once for its font and colour, at the place the label's own layout puts it. A text
// with any other character, or a label with a frame, rich text or a pixmap, is painted as a
// plain label would paint it. A label that fills its background with an opaque colour paints it
// itself, and the panel under it is never repainted with it.
class DigitLabel : public QLabel
{
    Q_OBJECT

public:
    explicit DigitLabel(const QString &text = QString(), QWidget *parent = nullptr);

    // The characters drawn from images; any other one falls back to the plain painting.
    static constexpr char Characters[] = "0123456789:.,- V";

    // Sets the label's text. A DigitLabel that has shown its text from its images repaints
    // only the characters that changed: a chronometer's rewrite costs its last digits, not
    // the whole label. Any other label, or a text of another length, is set as usual.
    static void rewrite(QLabel *label, const QString &text);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    static constexpr int Pad = 4; // room for a glyph reaching over its advance
    // Glyphs land on fractions of a pixel, as the toolkit's own layout places them; each
    // character has an image per fraction met, in 64ths of a pixel.
    static constexpr int Fractions = 64;
    static int glyphIndex(QChar c);
    bool drawable() const;
    static bool allDrawable(const QString &text);
    // The part of the label to repaint when its text changes from `from` to `to`, both shown
    // from the current images; none when the whole label must be.
    std::optional<QRect> changedArea(const QString &from, const QString &to) const;
    // Where the label's own single-line layout puts the first character of `text` (left) and
    // the top of the line; the images must be current.
    QPointF origin(const QString &text) const;
    // The columns a character drawn at `x` may touch, in label coordinates.
    QRect glyphBox(qreal x, int index) const;
    bool fillsItself() const;
    // Brings the opaque flag in line with the fill; false if this paint must be left out.
    bool syncOpaque();
    // Draws the characters that reach into `area`.
    void paintGlyphs(QPainter &p, const QRect &area);
    QColor textColour() const;
    void resetGlyphs();
    const QImage &glyphImage(int index, int fraction);

    // What one font, colour and pixel ratio draws. Shared by every label drawn alike (the eight
    // channel values show the same digits at the same places), so that an image rendered for
    // one serves them all. Kept for the program's life; there are only a few such styles.
    struct Glyphs
    {
        std::array<qreal, sizeof(Characters) - 1> advances {};
        qreal ascent = 0;
        qreal height = 0;
        QHash<int, QImage> images; // key: index * Fractions + fraction
    };
    static std::map<QString, Glyphs> &glyphStyles(); // GUI thread only

    Glyphs *m_glyphs = nullptr; // in glyphStyles(); null until the first paint
    QColor m_colour;
    qreal m_ratio = 0;
    bool m_glyphsValid = false;
};
