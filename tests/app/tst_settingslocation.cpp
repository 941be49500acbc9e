#include "settingslocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The settings path as a user who is not root sees it: root may write into any folder, so the
// question is asked by a child that gave up root (when the tests run as root).
QString pathAsUser(const QString &programFolder)
{
    int fds[2];
    if (pipe(fds) != 0)
        return QStringLiteral("pipe failed");
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        const QByteArray path = SettingsLocation::settingsPath(programFolder).toLocal8Bit();
        const bool written = write(fds[1], path.constData(), size_t(path.size())) == path.size();
        _exit(written ? 0 : 4);
    }
    close(fds[1]);
    QByteArray answer;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, n);
    close(fds[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("child failed with status %1").arg(status);
    return QString::fromLocal8Bit(answer);
}

} // namespace

class TestSettingsLocation : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_xdg = qgetenv("XDG_CONFIG_HOME");
        m_xdgSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        m_home = qgetenv("HOME");
    }

    void cleanup()
    {
        if (m_xdgSet)
            qputenv("XDG_CONFIG_HOME", m_xdg);
        else
            qunsetenv("XDG_CONFIG_HOME");
        qputenv("HOME", m_home);
    }

    void chosenFolder_data()
    {
        QTest::addColumn<bool>("programFolderWritable");
        // "absolute", "unset", "empty" or "relative"
        QTest::addColumn<QString>("xdgConfigHome");
        // "beside" the program, in "xdg"/zephul or in "home"/.config/zephul
        QTest::addColumn<QString>("expected");
        QTest::newRow("writable folder, XDG_CONFIG_HOME set") << true << "absolute"
                                                              << "beside";
        QTest::newRow("writable folder, XDG_CONFIG_HOME not set") << true << "unset"
                                                                  << "beside";
        QTest::newRow("unwritable folder, XDG_CONFIG_HOME set") << false << "absolute"
                                                                << "xdg";
        QTest::newRow("unwritable folder, XDG_CONFIG_HOME not set") << false << "unset"
                                                                    << "home";
        QTest::newRow("unwritable folder, XDG_CONFIG_HOME empty") << false << "empty"
                                                                  << "home";
        // A relative XDG_CONFIG_HOME is not to be used: it would follow the working folder.
        QTest::newRow("unwritable folder, XDG_CONFIG_HOME relative") << false << "relative"
                                                                     << "home";
    }

    void chosenFolder()
    {
        QFETCH(bool, programFolderWritable);
        QFETCH(QString, xdgConfigHome);
        QFETCH(QString, expected);
        QTemporaryDir top;
        QVERIFY(top.isValid());
        const QFile::Permissions everyoneEnters = QFile::ReadOwner | QFile::WriteOwner
            | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(top.path(), everyoneEnters));
        const QString program = top.filePath("bin");
        const QString xdg = top.filePath("config");
        const QString home = top.filePath("home");
        QVERIFY(QDir().mkdir(program));
        QFile::Permissions programPermissions = everyoneEnters & ~QFile::WriteOwner;
        if (programFolderWritable)
            programPermissions |= QFile::WriteOwner | QFile::WriteOther;
        QVERIFY(QFile::setPermissions(program, programPermissions));

        qputenv("HOME", home.toLocal8Bit());
        if (xdgConfigHome == "absolute")
            qputenv("XDG_CONFIG_HOME", xdg.toLocal8Bit());
        else if (xdgConfigHome == "empty")
            qputenv("XDG_CONFIG_HOME", QByteArray());
        else if (xdgConfigHome == "relative")
            qputenv("XDG_CONFIG_HOME", "config");
        else
            qunsetenv("XDG_CONFIG_HOME");

        const QString wanted = expected == "beside" ? program + "/zephul.ini"
            : expected == "xdg"                     ? xdg + "/zephul/zephul.ini"
                                                    : home + "/.config/zephul/zephul.ini";
        QCOMPARE(pathAsUser(program), wanted);
        // Deciding creates nothing: the folder comes with the first write.
        QVERIFY(!QFile::exists(xdg) && !QFile::exists(home));
    }

private:
    QByteArray m_xdg;
    bool m_xdgSet = false;
    QByteArray m_home;
};

QTEST_GUILESS_MAIN(TestSettingsLocation)
#include "tst_settingslocation.moc"
