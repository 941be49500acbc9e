#pragma once

#include <QColor>
#include <QProgressBar>

// A gauge of the instrument strip (`TramesG`, `PileG`): a grey border, a background and the
// part filled up to the value, from the left or from the bottom.
//
// A plain progress bar repaints itself at once when its value changes, which paints and
// flushes the whole window there and then; a frame changes several instruments in one go, and
// each such flush is a round trip to the display server. setProgress() instead has the gauge
// painted with the window's next paint, together with everything else the frame changed. The
// gauge paints itself, opaque: the panel under it is not repainted with it, and no style
// sheet is worked out at every paint.
class Gauge : public QProgressBar
{
    Q_OBJECT

public:
    static constexpr QRgb BorderColour = 0xFF808080;

    explicit Gauge(QWidget *parent = nullptr);

    void setColours(const QColor &background, const QColor &fill);

    // Clamped to the gauge's range; the screen follows at the next paint.
    void setProgress(int value);
    int progress() const { return value(); }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_background = Qt::white;
    QColor m_fill = Qt::blue;
};
