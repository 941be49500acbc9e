#include "inifile.h"
#include "zephulerror.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void writeKeepsOtherLines_data()
    {
        const QByteArray existing = "; written by hand\r\n"
                                    "[Autre]\r\n"
                                    "cl\xE9=garde\r\n"
                                    "\r\n"
                                    "[R\xE9"
                                    "ception]\r\n"
                                    "Port s\xE9rie=ttyS0\r\n"
                                    "Inconnu=1\r\n"
                                    "\r\n"
                                    "[Nom voie]\r\n"
                                    "Voie_1=Pression\r\n";
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("replaced in place")
            << existing << QString("Réception") << QString("Port série") << QString("ttyUSB0")
            << QByteArray(existing).replace("Port s\xE9rie=ttyS0", "Port s\xE9rie=ttyUSB0");
        QTest::newRow("names compared without case")
            << existing << QString("RÉCEPTION") << QString("port SÉRIE") << QString("")
            << QByteArray(existing).replace("Port s\xE9rie=ttyS0", "Port s\xE9rie=");
        QTest::newRow("missing key at the end of its section")
            << existing << QString("Réception") << QString("Voie_9") << QString("x")
            << QByteArray(existing).replace("Inconnu=1\r\n", "Inconnu=1\r\nVoie_9=x\r\n");
        QTest::newRow("missing section at the end of the file")
            << existing << QString("Couleur voie") << QString("Voie_1") << QString("16711680")
            << existing + "\r\n[Couleur voie]\r\nVoie_1=16711680\r\n";
        QTest::newRow("new file") << QByteArray() << QString("Réception") << QString("Port série")
                                  << QString("/dev/pts/3")
                                  << QByteArray("[R\xE9"
                                                "ception]\r\nPort s\xE9rie=/dev/pts/3\r\n");
        QTest::newRow("LF-only file gets CR LF, keeps its lines")
            << QByteArray("[a]\nk=1\n") << QString("a") << QString("k") << QString("2")
            << QByteArray("[a]\r\nk=2\r\n");
        QTest::newRow("value with accents and blanks")
            << QByteArray() << QString("Nom voie") << QString("Voie_2")
            << QString("Température ext")
            << QByteArray("[Nom voie]\r\nVoie_2=Temp\xE9rature ext\r\n");
    }
    void writeKeepsOtherLines()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath("zephul.ini");
        if (!before.isEmpty())
            writeAll(path, before);
        IniFile ini(path);
        ini.writeString(section, key, value);
        QCOMPARE(readAll(path), after);
        QCOMPARE(IniFile(path).readString(section, key, "?"), value);
    }

    void readInteger_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("decimal") << "16711680" << qint64(16711680);
        QTest::newRow("negative") << "-5" << qint64(-5);
        QTest::newRow("0xFF") << "0xFF" << qint64(255);
        QTest::newRow("0X lower digits") << "0Xff" << qint64(255);
        QTest::newRow("dollar") << "$FF00" << qint64(0xFF00);
        QTest::newRow("abc") << "abc" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("dollar alone") << "$" << qint64(-1);
        QTest::newRow("signed hex") << "0x-1" << qint64(-1);
        QTest::newRow("trailing text") << "12abc" << qint64(-1);
        // A colour too large for 32 bits is no colour at all, not its low bits.
        QTest::newRow("2^32") << "4294967296" << qint64(-1);
        QTest::newRow("nine hex digits") << "0x100000000" << qint64(-1);
        QTest::newRow("eleven decimal digits") << "99999999999" << qint64(-1);
        QTest::newRow("largest") << "2147483647" << qint64(2147483647);
        QTest::newRow("smallest") << "-2147483648" << qint64(-2147483648LL);
        QTest::newRow("eight hex digits, as the bits stand") << "$FFFFFFFE" << qint64(-2);
    }
    void readInteger()
    {
        QFETCH(QString, text);
        QFETCH(qint64, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("zephul.ini");
        writeAll(path, "[Couleur voie]\r\nVoie_1=" + text.toLatin1() + "\r\n");
        QCOMPARE(IniFile(path).readInteger("Couleur voie", "Voie_1", -1), expected);
    }

    void missingFileReadsDefaults()
    {
        QTemporaryDir dir;
        const IniFile ini(dir.filePath("absent.ini"));
        QCOMPARE(ini.readString("Réception", "Port série", "none"), QString("none"));
        QCOMPARE(ini.readInteger("Couleur voie", "Voie_1", 7), qint64(7));
    }

    // The user's configuration folder may not exist yet: the first write makes it, for the user
    // alone, and the file is then read back from there.
    void missingFoldersMadeByFirstWrite()
    {
        QTemporaryDir dir;
        const QString config = dir.filePath("config");
        const QString path = config + "/zephul/zephul.ini";
        IniFile(path).writeString("Nom voie", "Voie_1", "Altitude");
        QCOMPARE(readAll(path), QByteArray("[Nom voie]\r\nVoie_1=Altitude\r\n"));
        QCOMPARE(IniFile(path).readString("Nom voie", "Voie_1", QString()), QString("Altitude"));
        for (const QString &folder : { config, config + "/zephul" })
            QCOMPARE(QFile::permissions(folder)
                         & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther
                            | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup),
                     QFile::Permissions());
    }

    // A folder that cannot be made fails as an unwritable one does.
    void folderThatCannotBeMadeFails()
    {
        QTemporaryDir dir;
        const QString blocker = dir.filePath("config");
        writeAll(blocker, "a file where the folder should be");
        const QString path = blocker + "/zephul/zephul.ini";
        try {
            IniFile(path).writeString("Réception", "Port série", "x");
            QFAIL("the write did not fail");
        } catch (const ZephulError &e) {
            QCOMPARE(e.message(), QString("Impossible d'écrire dans %1").arg(path));
        }
    }

    void pathOccupiedByFolderFails()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("zephul.ini");
        QVERIFY(QDir().mkdir(path));
        try {
            IniFile(path).writeString("Réception", "Port série", "x");
            QFAIL("the write did not fail");
        } catch (const ZephulError &e) {
            QCOMPARE(e.message(), QString("Impossible d'écrire dans %1").arg(path));
        }
    }

    // Root may write anywhere: the refused write is tried by a child that gave up root.
    void folderNotWritableFails()
    {
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                  | QFile::ReadOther | QFile::ExeOther);
        const QString path = dir.filePath("zephul.ini");
        const pid_t child = fork();
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(3);
            try {
                IniFile(path).writeString("Réception", "Port série", "x");
            } catch (const ZephulError &e) {
                _exit(e.message() == QString("Impossible d'écrire dans %1").arg(path) ? 0 : 2);
            }
            _exit(1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(!QFile::exists(path));
    }

    // A settings file that exists but cannot be read is not rewritten from nothing: its other
    // lines would be lost. Root reads anything, so a child that gave up root tries.
    void unreadableFileIsKept()
    {
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                  | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
        const QString path = dir.filePath("zephul.ini");
        const QByteArray before = "[Autre]\r\nclef=valeur\r\n[Réception]\r\nPort série=COM3\r\n";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
        file.close();
        // Writable by everyone, readable by nobody but root.
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner | QFile::WriteOther));
        const pid_t child = fork();
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(3);
            try {
                IniFile(path).writeString("Réception", "Port série", "x");
            } catch (const ZephulError &e) {
                _exit(e.message() == QString("Impossible d'écrire dans %1").arg(path) ? 0 : 2);
            }
            _exit(1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
