#include "chartcursor.h"

#include "channelsettings.h"
#include "colour.h"
#include "numberformat.h"
#include "stripchart.h"
#include "windowlayout.h"

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QWidget>
#include <cmath>

ChartCursor::ChartCursor(const MainWindowParts &parts)
    : m(parts)
{ }

void ChartCursor::ImageMouseDown(Qt::MouseButton button, int x, int y, int screenX)
{
    if (button != Qt::LeftButton)
        return;
    ChartDragOffset = screenX - m.Image->x();
    ChartDragging = true;

    m.TempsExactL->setText(*m.flightMode == FlightMode::FUSEE ? RocketDurationText(x)
                                                              : BalloonDurationText(x * 2));
    m.TempsExactL->adjustSize();
    m.TensionL->setText(VoltageText(y, m.Chart->ChartScaleY()));
    m.TensionL->adjustSize();
}

void ChartCursor::ImageMouseMove(bool leftHeld, int screenX)
{
    if (!ChartDragging)
        return;
    // The release went elsewhere (the colour dialog of a double-click took it): the drag is
    // over, the chart must not follow a mouse whose button is up.
    if (!leftHeld) {
        ChartDragging = false;
        return;
    }
    int left = screenX - ChartDragOffset;
    // The start of the recording is never dragged right of the panel's left edge.
    if (left > 0) {
        ChartDragging = false;
        left = 0;
    }
    // Past the far end the scroll bar, which keeps its position within its range, decides
    // where the image ends up (below).
    if (left < m.EcranP->width() - StripChart::Width)
        ChartDragging = false;
    m.Image->move(left, m.Image->y());
    relabelTimeAxis();
    // When the position changes the scroll bar runs CurseurSBChange, which puts the image at
    // minus the (clamped) position.
    m.CurseurSB->setValue(-left);
}

void ChartCursor::ImageMouseUp(Qt::MouseButton button)
{
    if (button == Qt::LeftButton && ChartDragging)
        ChartDragging = false;
}

void ChartCursor::ImageDblClick()
{
    if (m.ArreterM->isEnabled())
        return; // never while receiving: the new background would erase the curves
    const auto chosen = ChannelSettings::askColour(colourFromBgr(m.Chart->ChartBackground()));
    if (!chosen)
        return;
    // The sample store keeps the frames; only the picture is lost.
    m.Chart->setChartBackground(bgrFromColour(*chosen));
    m.clearChart();
}

void ChartCursor::CurseurSBChange()
{
    m.Image->move(-m.CurseurSB->value(), m.Image->y());
    relabelTimeAxis();
}

void ChartCursor::relabelTimeAxis()
{
    std::array<QLabel *, 12> &labels = *m.TimeTickLabels;
    if (!labels[0])
        return; // before the window has made its ticks
    // Only the texts follow the scroll (and, in BALLON, the left of a label with hours).
    for (int i = 0; i <= WindowLayout::lastTickInUse(*m.VisibleTimeTicks); ++i) {
        const auto scrolled = WindowLayout::scrolledLabel(i, m.Image->x(), *m.flightMode);
        QLabel *tickLabel = labels[i];
        tickLabel->setText(scrolled.caption);
        tickLabel->resize(tickLabel->sizeHint().width(), 13);
        if (scrolled.left)
            tickLabel->move(*scrolled.left, tickLabel->y());
    }
}

QString ChartCursor::BalloonDurationText(std::int32_t seconds)
{
    std::int32_t m = seconds / 60;
    const std::int32_t r = seconds % 60;
    if (m >= 60) {
        const std::int32_t h = m / 60;
        m %= 60;
        return QStringLiteral("%1 h %2 mn %3 s").arg(h).arg(m).arg(r);
    }
    return QStringLiteral("%1 mn %2 s").arg(m).arg(r);
}

QString ChartCursor::RocketDurationText(std::int32_t x)
{
    // Milliseconds: x * 1000 / 12 never ends in exactly one half.
    const std::int64_t t = std::llround(static_cast<long double>(x) * 1000.0L / 12.0L);
    const std::int64_t mn = t / 60000;
    const std::int64_t r = t - mn * 60000;
    const std::int64_t s = r / 1000;
    const std::int64_t ms = r - s * 1000;
    if (mn > 0)
        return QStringLiteral("%1 mn %2 s,%3").arg(mn).arg(s).arg(ms);
    return QStringLiteral("%1 s,%2").arg(s).arg(ms);
}

QString ChartCursor::VoltageText(int y, double chartScaleY)
{
    // 5 V over 255 counts, in extended precision.
    const long double v = (255.0L - y / static_cast<long double>(chartScaleY)) * 0.019607843L;
    return format1_2f(v) + QStringLiteral(" V");
}
