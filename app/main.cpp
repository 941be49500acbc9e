#include "commandline.h"
#include "platformtuning.h"
#include "qtuserdialogs.h"
#include "zephulwindows.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Before the application object: --help and --version need no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = CommandLine::parse(arguments);
    switch (commandLine.action()) {
    case CommandLine::Action::Help:
        std::fputs(CommandLine::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(CommandLine::versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Refuse:
        std::fputs((commandLine.error() + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        return CommandLine::exitRefused;
    case CommandLine::Action::Run:
        break;
    }

    PlatformTuning::applyBeforeApplication();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zephul"));
    QApplication::setDesktopFileName(QStringLiteral("zephul"));
    QtUserDialogs dialogs;
    UserDialogs::setInstance(&dialogs);

    int result = 0;
    {
        ZephulWindows windows;
        windows.ZephulF()->show();
        result = QApplication::exec();
    }
    UserDialogs::setInstance(nullptr);
    return result;
}
