#include "windowlayout.h"

#include <algorithm>
#include <cmath>

namespace {

int tickSpacing(FlightMode mode)
{
    return mode == FlightMode::FUSEE ? 120 : 150;
}

} // namespace

WindowLayout WindowLayout::compute(int W, int H, FlightMode mode)
{
    WindowLayout l;
    l.ecranP = QRect(30, 10, std::max(W - 70, 0), std::max(H - 235, 0));
    l.curseurSBTop = H - 192;
    l.curseurSBWidth = l.ecranP.width();
    l.voiesP = QPoint(W / 2 - 350, H - 162);
    l.instrumentsP = QPoint(l.voiesP.x(), H - 114);
    l.readoutsTop = H - 176;

    const int P = tickSpacing(mode);
    l.pixelsPerTick = P;
    l.VisibleTimeTicks = l.ecranP.width() / P;
    for (int i = 0; i < TimeTickCount; ++i) {
        TimeTick &tick = l.timeTicks[i];
        tick.visible = i <= l.VisibleTimeTicks;
        if (!tick.visible)
            continue;
        tick.tickPos = QPoint(30 + i * P, H - 224);
        tick.labelPos = QPoint(12 + i * P, H - 211);
        tick.caption = resizeCaption(i, mode);
    }

    const double step = l.ecranP.height() / 5.0;
    for (int i = 0; i < LevelTickCount; ++i) {
        const int offset = static_cast<int>(std::nearbyint(i * step));
        l.levelTicks[i].tickTop = offset + 10;
        l.levelTicks[i].labelTop = offset + 5;
    }
    // The 0 V mark stands on the chart's last row.
    l.levelTicks[5].tickTop = l.ecranP.top() + l.ecranP.height() - 1;

    l.imageHeight = std::max(l.ecranP.height(), 1);
    l.scrollMax = ChartWidth - l.ecranP.width();
    return l;
}

QString WindowLayout::resizeCaption(int i, FlightMode mode)
{
    if (mode == FlightMode::FUSEE)
        return QStringLiteral("%1 s").arg(i * 120 / 12);
    return QStringLiteral("%1 mn").arg(i * 150 / 30);
}

WindowLayout::ScrolledLabel WindowLayout::scrolledLabel(int i, int imageLeft, FlightMode mode)
{
    if (mode == FlightMode::FUSEE)
        return { QStringLiteral("%1 s").arg((i * 120 - imageLeft) / 12), std::nullopt };
    int m = (i * 150 - imageLeft) / 30;
    if (m >= 60) {
        const int h = m / 60;
        m -= 60 * h;
        return { QStringLiteral("%1h %2mn").arg(h).arg(m), i * 150 + 10 };
    }
    return { QStringLiteral("%1 mn").arg(m), i * 150 + 12 };
}

int WindowLayout::lastTickInUse(int visibleTimeTicks)
{
    return std::min(visibleTimeTicks, TimeTickCount - 1);
}

QString WindowLayout::levelCaption(int i)
{
    return QString::number(5 - i);
}
