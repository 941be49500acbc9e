// For the package test: where channel N's name box is, in the coordinates of a main window of the
// given size, on the display the installed program runs on (the menu bar's height depends on its
// fonts). Prints "X Y". The layout is the program's own, computed by its classes.
#include "channeltable.h"
#include "scripteduserdialogs.h"
#include "tzephulf.h"
#include "windowlayout.h"

#include <QApplication>
#include <QMenuBar>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    bool wide = false;
    bool high = false;
    bool numbered = false;
    const int width = arguments.value(1).toInt(&wide);
    const int height = arguments.value(2).toInt(&high);
    const int channel = arguments.value(3).toInt(&numbered);
    if (!wide || !high || !numbered || channel < 1 || channel > ChannelTable::Count) {
        std::fprintf(stderr, "usage: zephul_test_nameboxposition WIDTH HEIGHT CHANNEL\n");
        return 2;
    }
    ScriptedUserDialogs dialogs;
    QTemporaryDir settings;
    TZephulF window(settings.filePath(QStringLiteral("zephul.ini")));
    // The channel strip is in the area under the menu bar; the chooser leaves the balloon layout.
    const WindowLayout layout = WindowLayout::compute(width, height, FlightMode::BALLON);
    const QPoint box = QPoint(0, window.menuBar()->sizeHint().height()) + layout.voiesP
        + ChannelTable::nameEditRect(channel).center();
    std::printf("%d %d\n", box.x(), box.y());
    return 0;
}
