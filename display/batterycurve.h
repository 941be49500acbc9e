#pragma once

#include <QImage>
#include <QPoint>

// The battery curve box `CourbePile`: a 96 x 31 image with a left and a bottom axis on which the
// decoders trace the transmitter's battery voltage, two pixels per volt, one pixel per point,
// starting again from the left when the box is full. It keeps the drawing pen's position and
// colour between calls, as a canvas would. GUI thread only.
class BatteryCurve
{
public:
    static constexpr int Width = 96;
    static constexpr int Height = 31;
    static constexpr QRgb Background = 0xFF83B5EB; // 0x00EBB583 as 0x00BBGGRR
    static constexpr QRgb AxisColour = 0xFF000000;
    static constexpr QRgb CurveColour = 0xFFFF0000;

    // Starts reset.
    BatteryCurve();

    // Clears the box, draws the axes, takes the red pen; BatteryCurveStarted := false.
    // The decoders' BatteryCurveDivider is theirs to set back to 0 at the same time.
    void reset();

    // y of a point: 30 - Round(volts * 2).
    static int rowOf(double volts);

    // One point by the balloon rule (every 10th accepted frame) or the rocket rule (every
    // accepted frame); they differ in where the wrap test stands and where a new trace starts.
    void addBalloonPoint(double volts);
    void addRocketPoint(double volts);

    int BatteryCurveX() const { return m_x; }
    bool BatteryCurveStarted() const { return m_started; }

    const QImage &image() const { return m_image; }

private:
    void lineTo(QPoint to);
    void wrapIfFull();

    QImage m_image;
    QPoint m_penPos;
    QRgb m_penColour = CurveColour;
    int m_x = 0;
    bool m_started = false;
};
