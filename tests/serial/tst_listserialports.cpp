#include "ecomport.h"
#include "listserialports.h"
#include "publishedports.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace {

// A fake /sys/class/tty: an entry per tty; `device` marks one that belongs to a device, and
// `type` is serial core's port type (0: no UART answered).
void addTty(const QString &root, const QString &name, bool device, int type = -1)
{
    QDir dir(root);
    QVERIFY(dir.mkpath(name));
    if (device)
        QVERIFY(dir.mkpath(name + "/device"));
    if (type >= 0) {
        QFile file(root + "/" + name + "/type");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::number(type) + "\n");
    }
}

} // namespace

class TestListSerialPorts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fakeTree()
    {
        QTemporaryDir tmp;
        const QString root = tmp.filePath("tty");
        const QString published = tmp.filePath("published");
        addTty(root, "ttyS2", true, 4);
        addTty(root, "ttyS0", true, 4);
        addTty(root, "ttyS10", true, 4);
        addTty(root, "ttyS1", true, 0); // phantom
        addTty(root, "ttyS3", true, 0); // phantom
        addTty(root, "ttyUSB0", true); // no type: not serial core, always real
        addTty(root, "ttyama0", true, 1);
        addTty(root, "ttyACM0", true);
        addTty(root, "tty0", false); // a virtual console
        addTty(root, "ptmx", false);
        QVERIFY(QDir().mkpath(published));
        QVERIFY(QFile::link("/dev/null", published + "/emu"));
        QVERIFY(QFile::link(tmp.filePath("gone"), published + "/stale"));

        const QStringList expected { published + "/emu", "ttyACM0", "ttyama0", "ttyS0",
                                     "ttyS10",           "ttyS2",   "ttyUSB0" };
        QCOMPARE(ListSerialPorts(root, published), expected);
    }

    void emptyTree()
    {
        QTemporaryDir tmp;
        addTty(tmp.path(), "tty0", false);
        QCOMPARE(ListSerialPorts(tmp.path(), tmp.filePath("no such folder")), QStringList());
    }

    void unreadableTree_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<int>("error");
        QTest::newRow("missing") << "/nonexistent/class/tty" << ENOENT;
        QTest::newRow("not a folder") << "/dev/null" << ENOTDIR;
    }
    void unreadableTree()
    {
        QFETCH(QString, root);
        QFETCH(int, error);
        try {
            ListSerialPorts(root, "/nonexistent");
            QFAIL("no error");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code(), 23);
            QCOMPARE(e.WinCode(), error);
            QCOMPARE(e.message(), QStringLiteral("Registry error (win error code: %1)").arg(error));
        }
    }

    void permissionDenied()
    {
        // Root reads any folder: the refusal needs an unprivileged process.
        QTemporaryDir tmp;
        addTty(tmp.path(), "ttyS0", true, 4);
        QVERIFY(QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::WriteOwner));
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(2);
            try {
                ListSerialPorts(tmp.path(), "/nonexistent");
            } catch (const EComPort &e) {
                ::_exit(e.Code() == 23 && e.WinCode() == EACCES ? 0 : 3);
            } catch (...) { }
            ::_exit(4);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // What the Windows build makes of the registry listing (the listing itself is tested under
    // wine): the names as they come, or the registry error with the failing status.
    void registryListing_data()
    {
        QTest::addColumn<long>("status");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("error");
        QTest::newRow("ports") << 0L << QStringList { "COM1", "COM10", "COM3" }
                               << QStringList { "COM1", "COM10", "COM3" } << QString();
        QTest::newRow("no port") << 0L << QStringList() << QStringList() << QString();
        QTest::newRow("Windows-1252 name") << 0L
                                           << QStringList { QString::fromLatin1("R\xe9"
                                                                                "cepteur") }
                                           << QStringList { QString::fromLatin1("R\xe9"
                                                                                "cepteur") }
                                           << QString();
        QTest::newRow("data too long")
            << 234L << QStringList() << QStringList() << "Registry error (win error code: 234)";
        QTest::newRow("access denied")
            << 5L << QStringList() << QStringList() << "Registry error (win error code: 5)";
    }
    void registryListing()
    {
        QFETCH(long, status);
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        QFETCH(QString, error);
        SerialPlatform::RegistryPortList listing;
        listing.status = status;
        for (const QString &name : names)
            listing.names.push_back(name.toLatin1().toStdString());
        try {
            QCOMPARE(PortListFromRegistry(listing), expected);
            QVERIFY2(error.isEmpty(), "no error");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code(), 23);
            QCOMPARE(e.WinCode(), int(status));
            QCOMPARE(e.message(), error);
        }
    }

    void thisMachine()
    {
        // Whatever the machine has, listing it works and gives no virtual console.
        const QStringList ports = ListSerialPorts();
        QVERIFY(!ports.contains("tty0"));
        QVERIFY(!ports.contains("console"));
    }

    // Only the user's own links to character devices are ports: a link another user put in the
    // folder, or one to a plain file, is left out.
    void publishedLinksOfOthersLeftOut()
    {
        if (::geteuid() != 0)
            QSKIP("giving a link to another user needs root");
        QTemporaryDir tmp;
        const std::string folder = tmp.filePath("ports").toStdString();
        const std::string own = PublishedPorts::publish(folder, "own", "/dev/null");
        PublishedPorts::publish(folder, "plain-file", tmp.filePath("plain").toStdString());
        QFile plain(tmp.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const std::string foreign = PublishedPorts::publish(folder, "foreign", "/dev/zero");
        QCOMPARE(::lchown(foreign.c_str(), 65534, 65534), 0);
        QCOMPARE(PublishedPorts::list(folder), std::vector<std::string> { own });
        // A folder of someone else's is not looked into at all.
        QCOMPARE(::lchown(folder.c_str(), 65534, 65534), 0);
        QVERIFY(PublishedPorts::list(folder).empty());
    }

    void publishingFolder()
    {
        QTemporaryDir tmp;
        const mode_t umask = ::umask(0);
        const std::string fresh = tmp.filePath("fresh").toStdString();
        PublishedPorts::publish(fresh, "emu", "/dev/null");
        ::umask(umask);
        struct stat st;
        QCOMPARE(::lstat(fresh.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
        // One of the user's that others could write to is closed to them.
        const std::string open = tmp.filePath("open").toStdString();
        QCOMPARE(::mkdir(open.c_str(), 0777), 0);
        QCOMPARE(::chmod(open.c_str(), 0777), 0);
        PublishedPorts::publish(open, "emu", "/dev/null");
        QCOMPARE(::lstat(open.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
        // A link standing for the folder is refused, and so is a folder of someone else's.
        const std::string link = tmp.filePath("link").toStdString();
        QCOMPARE(::symlink(open.c_str(), link.c_str()), 0);
        QVERIFY_THROWS_EXCEPTION(std::system_error,
                                 PublishedPorts::publish(link, "emu", "/dev/null"));
        if (::geteuid() == 0) {
            const std::string foreign = tmp.filePath("foreign").toStdString();
            QCOMPARE(::mkdir(foreign.c_str(), 0700), 0);
            QCOMPARE(::chown(foreign.c_str(), 65534, 65534), 0);
            QVERIFY_THROWS_EXCEPTION(std::system_error,
                                     PublishedPorts::publish(foreign, "emu", "/dev/null"));
        }
    }

    void defaultFolderIsTheUsers()
    {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", "/run/user/1234");
        QCOMPARE(PublishedPorts::defaultFolder(), std::string("/run/user/1234/zephul-ports"));
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(PublishedPorts::defaultFolder(),
                 "/tmp/zephul-ports-" + std::to_string(::geteuid()));
        if (!saved.isNull())
            qputenv("XDG_RUNTIME_DIR", saved);
    }
};

QTEST_GUILESS_MAIN(TestListSerialPorts)
#include "tst_listserialports.moc"
