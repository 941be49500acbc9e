#include "ecomport.h"
#include "listserialports.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <sys/wait.h>
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
};

QTEST_GUILESS_MAIN(TestListSerialPorts)
#include "tst_listserialports.moc"
