// Build tool: draws the program's icon with its own artwork code, at each size asked for, as
// FOLDER/SIZExSIZE/apps/zephul.png (the icon theme's layout). Runs on the offscreen platform.
#include "artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: zephul_rendericons FOLDER SIZE...\n");
        return 2;
    }
    for (const QString &text : arguments.mid(2)) {
        bool ok = false;
        const int size = text.toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "zephul_rendericons: bad size %s\n", qPrintable(text));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(arguments[1]).arg(size);
        const QString file = folder + QStringLiteral("/zephul.png");
        if (!QDir().mkpath(folder) || !Artwork::programIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "zephul_rendericons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
