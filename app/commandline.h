#pragma once

#include <QString>
#include <QStringList>

// What the program's arguments ask for. They are looked at before anything of the GUI exists,
// so that --help and --version work without a display. The program takes no other argument.
class CommandLine
{
public:
    enum class Action {
        Run, // no argument: start the ground station
        Help, // print helpText() on the standard output and end
        Version, // print versionText() on the standard output and end
        Refuse, // print error() on the standard error and end with exitRefused
    };

    // `arguments` without the program's name.
    static CommandLine parse(const QStringList &arguments);

    Action action() const { return m_action; }
    // For Refuse: the line that says what was wrong and where to look.
    const QString &error() const { return m_error; }

    static QString helpText();
    static QString versionText();
    static constexpr int exitRefused = 2;

private:
    Action m_action = Action::Run;
    QString m_error;
};
