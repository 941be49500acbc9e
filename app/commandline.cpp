#include "commandline.h"

#include "zephulversion.h"

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine result;
    bool help = false;
    bool version = false;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            help = true;
        } else if (argument == QLatin1String("--version")) {
            version = true;
        } else {
            // Qt's own options (-platform, -style...) included: the operator has nothing to set
            // here, and an argument silently ignored would look as if it had been taken.
            result.m_action = Action::Refuse;
            result.m_error = (argument.startsWith(QLatin1Char('-'))
                                  ? QStringLiteral("zephul: unknown option \"%1\"")
                                  : QStringLiteral("zephul: unexpected argument \"%1\""))
                                 .arg(argument)
                + QStringLiteral("\nTry \"zephul --help\" for the options.");
            return result;
        }
    }
    if (help)
        result.m_action = Action::Help;
    else if (version)
        result.m_action = Action::Version;
    return result;
}

QString CommandLine::helpText()
{
    return QStringLiteral(
        "Usage: zephul [OPTION]\n"
        "The ground station for the Tuvo telemetry transmitter carried by student rockets and\n"
        "balloons. A radio receiver on a serial port (600 bit/s, 8N1) passes on the frames it\n"
        "hears; Zephul checks them, draws the eight measurement channels on a strip chart\n"
        "against flight time, shows the battery voltage and the link quality, records every\n"
        "frame it accepts, and tunes the receiver. Its window is in French; everything is done\n"
        "from its menus.\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "      --version  show the version and exit\n"
        "\n"
        "Settings (the serial port, the channels' colours and names) are kept in zephul.ini\n"
        "beside the program when its folder can be written, otherwise in\n"
        "$XDG_CONFIG_HOME/zephul/zephul.ini (~/.config/zephul/zephul.ini when XDG_CONFIG_HOME is\n"
        "not set). They are saved when the window is closed with its close box.\n"
        "\n"
        "Exit status: 0, or 2 for a command line it does not take.\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("zephul " ZEPHUL_VERSION "\n");
}
