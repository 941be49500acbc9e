#include "gauge.h"

#include <algorithm>

Gauge::Gauge(QWidget *parent)
    : QProgressBar(parent)
{ }

void Gauge::setProgress(int value)
{
    value = std::clamp(value, minimum(), maximum());
    if (value == this->value())
        return;
    // With updates off the progress bar's own immediate repaint does nothing; switching them
    // back on schedules an ordinary one.
    setUpdatesEnabled(false);
    setValue(value);
    setUpdatesEnabled(true);
}
