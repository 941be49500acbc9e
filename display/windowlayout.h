#pragma once

#include "flightmode.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <optional>

// Where everything of the main window goes for a given outer window size and flight mode. A pure
// computation: the main window applies it on every resize, in the order of the fields below.
// All positions are in main window coordinates except where said otherwise.
struct WindowLayout
{
    static constexpr int TimeTickCount = 12;
    static constexpr int LevelTickCount = 6;
    static constexpr int ChartWidth = 15000;

    struct TimeTick
    {
        bool visible = false;
        QPoint tickPos; // tick mark (2 x 8), directly under the chart at chart x = i * P
        QPoint labelPos; // 13 px below the tick
        QString caption; // "5 mn" or "10 s"; empty for hidden ticks
    };
    struct LevelTick
    {
        int tickTop = 0; // tick mark (8 x 2) at left 22
        int labelTop = 0; // label at left 5, caption the volts 5 - i
    };

    QRect ecranP; // chart panel: left 30, top 10, W - 70 x H - 235
    int curseurSBTop = 0; // scroll bar under the chart, as wide as the chart panel
    int curseurSBWidth = 0;
    QPoint voiesP; // channel strip: top-left corner
    QPoint instrumentsP; // instrument strip: top-left corner
    int readoutsTop = 0; // TempsExactLL, TempsExactL, TensionLL, TensionL
    int pixelsPerTick = 0; // 150 (BALLON) or 120 (FUSEE)
    // Index of the last time tick in use (chart panel width div pixels per tick). It exceeds 11
    // on a wide window; only ticks 0 to 11 exist.
    int VisibleTimeTicks = 0;
    std::array<TimeTick, TimeTickCount> timeTicks;
    std::array<LevelTick, LevelTickCount> levelTicks;
    int imageHeight = 0; // height of the chart image (at least 1)
    int scrollMax = 0; // 15000 - chart panel width

    static WindowLayout compute(int outerWidth, int outerHeight, FlightMode mode);

    // The caption of time tick i right after a resize.
    static QString resizeCaption(int i, FlightMode mode);

    // The time label of tick i when the chart image's left edge is imageLeft (0 or negative),
    // as the scroll handler writes it. The label's left changes only in BALLON.
    struct ScrolledLabel
    {
        QString caption;
        std::optional<int> left;
    };
    static ScrolledLabel scrolledLabel(int i, int imageLeft, FlightMode mode);
    // The last tick index the relabelling touches: VisibleTimeTicks, never beyond 11.
    static int lastTickInUse(int visibleTimeTicks);

    // Caption of level tick i: the volts it marks, "5" down to "0".
    static QString levelCaption(int i);
};
