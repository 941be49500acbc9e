#pragma once

#include <QColor>
#include <QWidget>

// A gauge of the instrument strip (`TramesG`, `PileG`): a grey border, a background and the
// part filled up to the value, from the left or from the bottom.
//
// Not a progress bar: one repaints itself at once when its value changes, which paints and
// flushes the whole window there and then, and works out its text and style metrics at every
// change even when it shows no text; a balloon flight changes the frame gauge at nearly every
// frame. setProgress() has the gauge painted with the window's next paint, together with
// everything else the frame changed. The gauge paints itself, opaque: the panel under it is not
// repainted with it, and no style is consulted.
class Gauge : public QWidget
{
    Q_OBJECT

public:
    static constexpr QRgb BorderColour = 0xFF808080;

    explicit Gauge(QWidget *parent = nullptr);

    void setColours(const QColor &background, const QColor &fill);

    Qt::Orientation orientation() const { return m_orientation; }
    void setOrientation(Qt::Orientation orientation);
    // The progress is clamped into the new range. An empty range (maximum <= minimum) shows an
    // empty gauge.
    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    // Clamped to the gauge's range; the screen follows at the next paint.
    void setProgress(int value);
    int progress() const { return m_progress; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::Orientation m_orientation = Qt::Horizontal;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_progress = 0;
    QColor m_background = Qt::white;
    QColor m_fill = Qt::blue;
};
