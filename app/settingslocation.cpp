#include "settingslocation.h"

#include <QDir>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

const QString FileName = QStringLiteral("zephul.ini");

#ifndef Q_OS_WIN
// The user's configuration folder; empty when the user has no home folder either.
QString configurationFolder()
{
    // A relative XDG_CONFIG_HOME is to be ignored, as an empty one.
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty()) {
        if (const passwd *user = getpwuid(getuid()); user && user->pw_dir)
            home = QString::fromLocal8Bit(user->pw_dir);
    }
    if (home.isEmpty() || !QDir::isAbsolutePath(home))
        return QString();
    return home + QStringLiteral("/.config");
}
#endif

} // namespace

QString SettingsLocation::settingsPath(const QString &programFolder)
{
    const QString beside = programFolder + QLatin1Char('/') + FileName;
#ifdef Q_OS_WIN
    return beside;
#else
    // access() asks the system itself, so a read-only medium and access lists count too.
    if (access(QFile::encodeName(programFolder).constData(), W_OK) == 0)
        return beside;
    const QString folder = configurationFolder();
    // Without anywhere else to go, the file stays beside the program and a save says it fails.
    if (folder.isEmpty())
        return beside;
    return folder + QStringLiteral("/zephul/") + FileName;
#endif
}
