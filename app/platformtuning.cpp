#include "platformtuning.h"

#include <QByteArray>
#include <QtGlobal>

void PlatformTuning::applyBeforeApplication()
{
    // On X11 the toolkit hands each repaint to the server in shared memory and, before it
    // paints again, waits for a round trip so that the server is done with the segment. This
    // program repaints small areas many times a second (the chronometer, a gauge, a few chart
    // segments), and that wait with its wake-ups is a good part of what a repaint costs; the
    // few pixels go through the socket for less. Whoever sets the variable keeps their choice.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}
