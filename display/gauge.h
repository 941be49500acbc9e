#pragma once

#include <QProgressBar>

// A gauge of the instrument strip (`TramesG`, `PileG`). A plain progress bar repaints itself at
// once when its value changes, which paints and flushes the whole window there and then; a
// frame changes several instruments in one go, and each such flush is a round trip to the
// display server. setProgress() instead has the gauge painted with the window's next paint,
// together with everything else the frame changed.
class Gauge : public QProgressBar
{
    Q_OBJECT

public:
    explicit Gauge(QWidget *parent = nullptr);

    // Clamped to the gauge's range; the screen follows at the next paint.
    void setProgress(int value);
    int progress() const { return value(); }
};
