#pragma once

#include "flightmode.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <qnamespace.h>

class QAction;
class QLabel;
class QScrollBar;
class QWidget;
class StripChart;

// What the operator does on the strip chart: dragging it or moving the scroll bar (the time
// axis is relabelled for the scroll position), pressing on it to read the exact time and
// voltage of a point, and double-clicking it to choose its background colour.
//
// The main window forwards its chart image's mouse events and the scroll bar's changes here.
// Mouse x and y are in chart image coordinates (x counts chart pixels from the start of the
// reception, whatever the scroll position); screenX is the mouse x in screen coordinates at the
// event. GUI thread only; errors go to the caller.
class ChartCursor
{
public:
    // Parts of the main window; all owned by it.
    struct MainWindowParts
    {
        const FlightMode *flightMode = nullptr;
        QWidget *Image = nullptr; // the 15000-pixel chart image, a child of EcranP
        QWidget *EcranP = nullptr; // the panel that clips it
        QScrollBar *CurseurSB = nullptr;
        // Time axis labels and the index of the last tick in use (may exceed 11).
        std::array<QLabel *, 12> *TimeTickLabels = nullptr;
        const std::int32_t *VisibleTimeTicks = nullptr;
        QLabel *TempsExactL = nullptr;
        QLabel *TensionL = nullptr;
        // Enabled while a reception runs.
        QAction *ArreterM = nullptr;
        StripChart *Chart = nullptr;
        // Fills the chart with its background colour and shows it.
        std::function<void()> clearChart;
    };

    explicit ChartCursor(const MainWindowParts &parts);

    // The chart image follows the mouse.
    bool ChartDragging = false;
    // Mouse x in screen coordinates minus the image's left edge, taken when the drag began.
    std::int32_t ChartDragOffset = 0;

    void ImageMouseDown(Qt::MouseButton button, int x, int y, int screenX);
    // leftHeld: the left button is down during this move.
    void ImageMouseMove(bool leftHeld, int screenX);
    void ImageMouseUp(Qt::MouseButton button);
    // The chart's background colour, not while receiving. A double-click is also a press:
    // the caller runs ImageMouseDown after this.
    void ImageDblClick();
    // Puts the image at the scroll bar's position and relabels the time axis.
    void CurseurSBChange();

    // Measurement texts. BALLON: whole seconds, "2 mn 5 s", "1 h 2 mn 5 s". FUSEE: from a chart
    // x at twelve pixels a second, milliseconds without leading zeros: "1 s,83", "1 mn 23 s,333".
    static QString BalloonDurationText(std::int32_t seconds);
    static QString RocketDurationText(std::int32_t x);
    // The voltage at chart row y for a chart of the given scale: "5,00 V" at the top row.
    static QString VoltageText(int y, double chartScaleY);

private:
    void relabelTimeAxis();

    MainWindowParts m;
};
