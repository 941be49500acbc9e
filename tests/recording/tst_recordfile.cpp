#include "numberformat.h"
#include "recordfile.h"
#include "recordfilechooser.h"
#include "recordioerror.h"
#include "scripteduserdialogs.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QDate launch(2014, 3, 5);

QStringList names()
{
    return { QStringLiteral("Pression"), QStringLiteral("Température"), QString(),
             QStringLiteral("V4"),       QStringLiteral("V5"),          QStringLiteral("V6"),
             QStringLiteral("V7"),       QStringLiteral("V8") };
}

const QByteArray header = "Date;Heure;Chrono;Pression;Temp\xE9rature;;V4;V5;V6;V7;V8;Piles;\r\n";

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The example frame: channel 1 at 2.35 V, channel 2 at 1.96 V, the others at 0 V, battery 9 V.
QString exampleLine(const QString &chrono)
{
    std::array<QString, 8> values;
    values.fill(format1_2f(0.0));
    values[0] = format1_2f(2.35);
    values[1] = format1_2f(1.96);
    return RecordFile::dataLine(RecordFile::datePrefixFor(launch), QStringLiteral("14:35:40"),
                                chrono, values, format1_2f(9.0));
}

// Runs `body` in a child process and returns what it wrote to the pipe (an error text).
// The child can drop root's privileges or lower its limits without touching the test.
QByteArray inChild(const std::function<QString()> &body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "<pipe>";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const QByteArray text = body().toUtf8();
        const ssize_t n = ::write(fds[1], text.constData(), static_cast<size_t>(text.size()));
        ::_exit(n == text.size() ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray out;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "<child failed>";
    return out;
}

// Runs `body` in a child whose mount namespace is its own, with a fresh tmpfs of 16 KiB on
// `folder`: a medium of our own that can fill up or turn read-only. "<no namespace>" when the
// machine does not allow it (not root, or no namespaces).
QByteArray onTinyMedium(const QString &folder, const std::function<QString()> &body)
{
    return inChild([&] {
        const QByteArray path = QFile::encodeName(folder);
        if (::unshare(CLONE_NEWNS) != 0
            || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("tmpfs", path.constData(), "tmpfs", 0, "size=16k") != 0)
            return QStringLiteral("<no namespace>");
        return body();
    });
}

// Fills the medium at `folder` until nothing more fits.
bool fillUp(const QString &folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(512, 'x');
    while (filler.write(block) == block.size()) { }
    return true;
}

bool dropPrivileges()
{
    if (::geteuid() != 0)
        return true;
    return ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

} // namespace

class TestRecordFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void nouveauThenTwoRunsWriteHeadersAndLines()
    {
        QTemporaryDir dir;
        ScriptedUserDialogs dialogs;
        RecordFile file;
        RecordFileChooser chooser(dir.path());
        dialogs.answerFile(dir.filePath(QStringLiteral("vol1")));
        QVERIFY(chooser.NouvFichier(file));
        QCOMPARE(file.RecordPath, dir.filePath(QStringLiteral("vol1.txt")));
        QCOMPARE(file.BackupPath, dir.filePath(QStringLiteral("secours.zephul")));
        QVERIFY(file.CreateOnStart);
        QVERIFY(!QFile::exists(file.RecordPath)); // nothing written before the start

        file.BeginRecordRun(launch, names());
        QVERIFY(file.RunOpen);
        QVERIFY(!file.CreateOnStart);
        QCOMPARE(file.DatePrefix, QStringLiteral("5/3/2014;"));
        file.AppendRecordLine(exampleLine(QStringLiteral("00:12:07")));
        file.RunOpen = false; // "Arrêter"
        file.BeginRecordRun(launch, names());
        file.AppendRecordLine(exampleLine(QStringLiteral("12345")));

        const QByteArray expected = header
            + "5/3/2014;14:35:40;00:12:07;2,35;1,96;0,00;0,00;0,00;0,00;0,00;0,00;9,00\r\n" + header
            + "5/3/2014;14:35:40;12345;2,35;1,96;0,00;0,00;0,00;0,00;0,00;0,00;9,00\r\n";
        QCOMPARE(contents(file.RecordPath), expected);
        QCOMPARE(contents(file.BackupPath), expected);
    }

    void nouveauTruncatesOnlyAtTheStart()
    {
        QTemporaryDir dir;
        ScriptedUserDialogs dialogs;
        const QString path = dir.filePath(QStringLiteral("vol1.csv"));
        writeFile(path, "old\r\n");
        writeFile(dir.filePath(QStringLiteral("secours.zephul")), "old\r\n");
        RecordFile file;
        RecordFileChooser chooser(dir.path());
        dialogs.answerFile(path);
        dialogs.answerButton(UserDialogs::Button::Yes);
        QVERIFY(chooser.NouvFichier(file));
        QCOMPARE(file.RecordPath, path);
        QCOMPARE(dialogs.messages(),
                 QStringList(path + QStringLiteral("\nexiste déjà.\nVoulez-vous le remplacer?")));
        QCOMPARE(dialogs.asked().last().title, QStringLiteral("Avertissement"));
        QCOMPARE(contents(path), QByteArray("old\r\n"));
        file.BeginRecordRun(launch, names());
        QCOMPARE(contents(path), header);
        QCOMPARE(contents(file.BackupPath), header);
    }

    void refusingToReplaceAsksAgain()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("sub"));
        ScriptedUserDialogs dialogs;
        const QString existing = dir.filePath(QStringLiteral("sub/vol1.txt"));
        writeFile(existing, "old\r\n");
        RecordFile file;
        RecordFileChooser chooser(dir.path());
        dialogs.answerFile(dir.filePath(QStringLiteral("sub/vol1")));
        dialogs.answerButton(UserDialogs::Button::No);
        // The dialog comes back, opening in the folder of the first choice; then it is cancelled.
        QVERIFY(!chooser.NouvFichier(file));
        QCOMPARE(dialogs.asked().size(), 3);
        QCOMPARE(dialogs.asked().at(0).text, dir.path());
        QCOMPARE(dialogs.asked().at(2).kind, QStringLiteral("save"));
        QCOMPARE(dialogs.asked().at(2).text, dir.filePath(QStringLiteral("sub")));
        QVERIFY(file.RecordPath.isEmpty());
        QVERIFY(!file.CreateOnStart);
        QCOMPARE(contents(existing), QByteArray("old\r\n"));
    }

    void ouvrir_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("existing") << "vol1.txt" << true;
        QTest::newRow("extension added") << "vol1" << true;
        QTest::newRow("no such file") << "vol2.txt" << false;
        QTest::newRow("a folder") << "folder.txt" << false;
        QTest::newRow("cancelled") << "" << false;
    }
    void ouvrir()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("folder.txt"));
        writeFile(dir.filePath(QStringLiteral("vol1.txt")), "old\r\n");
        ScriptedUserDialogs dialogs;
        RecordFile file;
        file.RecordPath = QStringLiteral("/earlier.txt");
        file.CreateOnStart = true;
        RecordFileChooser chooser(dir.path());
        dialogs.answerFile(typed.isEmpty() ? QString() : dir.filePath(typed));
        QCOMPARE(chooser.OuvrirFichier(file), accepted);
        if (!accepted) {
            QCOMPARE(file.RecordPath, QStringLiteral("/earlier.txt"));
            QVERIFY(file.CreateOnStart);
            return;
        }
        QCOMPARE(file.RecordPath, dir.filePath(QStringLiteral("vol1.txt")));
        QVERIFY(!file.CreateOnStart);
        // No backup copy in that folder yet: the start creates it rather than failing.
        file.BeginRecordRun(launch, names());
        QCOMPARE(contents(file.RecordPath), QByteArray("old\r\n") + header);
        QCOMPARE(contents(file.BackupPath), header);
    }

    void vanishedFilesComeBackWithTheNextLine()
    {
        QTemporaryDir dir;
        RecordFile file;
        file.RecordPath = dir.filePath(QStringLiteral("vol.txt"));
        file.BackupPath = dir.filePath(QStringLiteral("secours.zephul"));
        file.CreateOnStart = true;
        file.BeginRecordRun(launch, names());
        QFile::remove(file.RecordPath);
        QFile::remove(file.BackupPath);
        file.AppendRecordLine(QStringLiteral("a;b"));
        QCOMPARE(contents(file.RecordPath), QByteArray("a;b\r\n"));
        QCOMPARE(contents(file.BackupPath), QByteArray("a;b\r\n"));
    }

    void startErrors_data()
    {
        QTest::addColumn<QString>("recordName"); // relative to the temporary folder
        QTest::addColumn<bool>("backupBroken");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("createOnStartAfter");
        QTest::newRow("missing folder")
            << "nowhere/vol.txt" << false << "Nom de fichier incorrect" << true;
        QTest::newRow("full disk") << "/dev/full" << false << "Disque plein" << false;
        QTest::newRow("backup in missing folder")
            << "vol.txt" << true << "Nom de fichier incorrect" << true;
    }
    void startErrors()
    {
        QFETCH(QString, recordName);
        QFETCH(bool, backupBroken);
        QFETCH(QString, message);
        QFETCH(bool, createOnStartAfter);
        QTemporaryDir dir;
        RecordFile file;
        file.RecordPath
            = recordName.startsWith(QLatin1Char('/')) ? recordName : dir.filePath(recordName);
        file.BackupPath = dir.filePath(backupBroken ? QStringLiteral("gone/secours.zephul")
                                                    : QStringLiteral("secours.zephul"));
        file.CreateOnStart = true;
        try {
            file.BeginRecordRun(launch, names());
            QFAIL("the start did not fail");
        } catch (const RecordIoError &e) {
            QCOMPARE(e.message(), message);
        }
        QVERIFY(!file.RunOpen);
        QCOMPARE(file.CreateOnStart, createOnStartAfter);
    }

    void writeRefusedToAnUnprivilegedUser()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("ro"));
        QVERIFY(QDir().mkdir(folder));
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        ::chmod(QFile::encodeName(folder).constData(), 0555);
        const QByteArray text = inChild([&] {
            if (!dropPrivileges())
                return QStringLiteral("<no drop>");
            RecordFile file;
            file.RecordPath = folder + QStringLiteral("/vol.txt");
            file.BackupPath = folder + QStringLiteral("/secours.zephul");
            file.CreateOnStart = true;
            try {
                file.BeginRecordRun(launch, names());
            } catch (const RecordIoError &e) {
                return e.message();
            }
            return QStringLiteral("<written>");
        });
        QCOMPARE(QString::fromUtf8(text), QStringLiteral("Accès au fichier refusé"));
    }

    void failedLinesLeaveNoHalfLineAndTheNextIsTried()
    {
        QTemporaryDir dir;
        RecordFile file;
        file.RecordPath = dir.filePath(QStringLiteral("vol.txt"));
        file.BackupPath = dir.filePath(QStringLiteral("secours.zephul"));
        file.CreateOnStart = true;
        file.BeginRecordRun(launch, names());
        // A file size limit a few bytes past the header makes the next write stop half-way,
        // as a disk filling up does.
        const QByteArray text = inChild([&] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlim_t limit = static_cast<rlim_t>(header.size() + 10);
            const rlimit lim { limit, limit };
            if (::setrlimit(RLIMIT_FSIZE, &lim) != 0)
                return QStringLiteral("<no limit>");
            try {
                file.AppendRecordLine(QStringLiteral("a line that is longer than ten bytes"));
            } catch (const RecordIoError &e) {
                return e.message();
            }
            return QStringLiteral("<written>");
        });
        QCOMPARE(QString::fromUtf8(text), QStringLiteral("Erreur E/S %1").arg(EFBIG));
        QCOMPARE(contents(file.BackupPath), header);
        QCOMPARE(contents(file.RecordPath), header);
        file.AppendRecordLine(QStringLiteral("next"));
        QCOMPARE(contents(file.BackupPath), header + "next\r\n");
        QCOMPARE(contents(file.RecordPath), header + "next\r\n");
    }

    void recordFileNamedAsItsBackupGetsEachLineOnce()
    {
        QTemporaryDir dir;
        ScriptedUserDialogs dialogs;
        RecordFile file;
        RecordFileChooser chooser(dir.path());
        dialogs.answerFile(dir.filePath(QStringLiteral("secours.zephul")));
        QVERIFY(chooser.NouvFichier(file));
        file.BeginRecordRun(launch, names());
        file.AppendRecordLine(QStringLiteral("a;b"));
        QCOMPARE(contents(file.RecordPath), header + "a;b\r\n");
    }

    void lineOnAFullDiskStillReachesTheBackup()
    {
        QTemporaryDir dir;
        RecordFile file;
        file.RecordPath = QStringLiteral("/dev/full");
        file.BackupPath = dir.filePath(QStringLiteral("secours.zephul"));
        QVERIFY_THROWS_EXCEPTION(RecordIoError, file.AppendRecordLine(QStringLiteral("x")));
        QCOMPARE(contents(file.BackupPath), QByteArray("x\r\n"));
    }

    // A file on a full or read-only medium fails on its own: the other file still gets every
    // line, the failing one is named until a line reaches it again, and its error is the one
    // thrown for each line.
    void eachFileOnItsOwn_data()
    {
        QTest::addColumn<QString>("medium"); // "full", "read-only"
        QTest::addColumn<bool>("backupFails");
        QTest::addColumn<QString>("message");
        QTest::newRow("backup copy on a full medium") << "full" << true << "Disque plein";
        QTest::newRow("record file on a full medium") << "full" << false << "Disque plein";
        QTest::newRow("backup copy on a read-only medium")
            << "read-only" << true << "Accès au fichier refusé";
        QTest::newRow("record file on a read-only medium")
            << "read-only" << false << "Accès au fichier refusé";
    }
    void eachFileOnItsOwn()
    {
        QFETCH(QString, medium);
        QFETCH(bool, backupFails);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QByteArray earlier = QByteArray(4094, 'e') + "\r\n";
        const QString mount = dir.filePath(QStringLiteral("medium"));
        QVERIFY(QDir().mkpath(mount));
        const QString good = dir.filePath(backupFails ? QStringLiteral("vol.txt")
                                                      : QStringLiteral("secours.zephul"));
        const QString bad = mount
            + (backupFails ? QStringLiteral("/secours.zephul") : QStringLiteral("/vol.txt"));
        const QByteArray text = onTinyMedium(mount, [&] {
            // A whole page, so that the next byte needs room the medium no longer has.
            writeFile(bad, earlier);
            if (medium == QStringLiteral("full")
                    ? !fillUp(mount)
                    : ::mount(nullptr, QFile::encodeName(mount).constData(), nullptr,
                              MS_REMOUNT | MS_RDONLY, nullptr)
                        != 0)
                return QStringLiteral("<medium not prepared>");
            RecordFile file;
            file.RecordPath = backupFails ? good : bad;
            file.BackupPath = backupFails ? bad : good;
            QStringList seen;
            for (int i = 1; i <= 3; ++i) {
                try {
                    file.AppendRecordLine(QStringLiteral("line %1").arg(i));
                    seen << QStringLiteral("<written>");
                } catch (const ZephulError &e) {
                    seen << e.message();
                }
            }
            seen << file.failingFiles().join(u',') << file.failureText();
            // Back on a medium that takes it: the failure is over.
            (backupFails ? file.BackupPath : file.RecordPath)
                = dir.filePath(QStringLiteral("moved"));
            file.AppendRecordLine(QStringLiteral("line 4"));
            seen << QString::number(file.failingFiles().size())
                 << QString::number(contents(bad) == earlier);
            return seen.join(u'|');
        });
        if (text == "<no namespace>")
            QSKIP("no private mount namespace here (needs root): the failing media cannot be made");
        const QStringList seen = QString::fromUtf8(text).split(u'|');
        QCOMPARE(seen.size(), 7);
        QCOMPARE(seen.mid(0, 3), QStringList({ message, message, message }));
        QCOMPARE(seen[3], bad);
        QCOMPARE(seen[4], QStringLiteral("Enregistrement impossible : ") + bad);
        QCOMPARE(seen[5], "0");
        QCOMPARE(seen[6], "1"); // the failing file kept what it had, and no half line
        QCOMPARE(contents(good), QByteArray("line 1\r\nline 2\r\nline 3\r\nline 4\r\n"));
    }

    void bothFilesFailing()
    {
        QTemporaryDir dir;
        RecordFile file;
        file.RecordPath = QStringLiteral("/dev/full");
        file.BackupPath = dir.filePath(QStringLiteral("no-such-folder/secours.zephul"));
        try {
            file.AppendRecordLine(QStringLiteral("x"));
            QFAIL("no error");
        } catch (const ZephulError &e) {
            QCOMPARE(e.message(), QStringLiteral("Disque plein\nNom de fichier incorrect"));
        }
        QCOMPARE(file.failingFiles(), QStringList({ file.RecordPath, file.BackupPath }));
        QCOMPARE(file.failureText(),
                 QStringLiteral("Enregistrement impossible : /dev/full et ") + file.BackupPath);
        file.BackupPath = QStringLiteral("/dev/full");
        QVERIFY_THROWS_EXCEPTION(RecordIoError, file.AppendRecordLine(QStringLiteral("x")));
        // A new run that could write its header ends the failure.
        file.RecordPath = dir.filePath(QStringLiteral("vol.txt"));
        file.BackupPath = dir.filePath(QStringLiteral("secours.zephul"));
        file.BeginRecordRun(launch, names());
        QVERIFY(file.failingFiles().isEmpty());
        QVERIFY(file.failureText().isEmpty());
    }

    // Every line is on the medium before the call returns: each file is written, synced and
    // closed in that order, watched with strace.
    void linesReachTheMediumFirst()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
            QSKIP("strace is not installed: the system calls cannot be watched");
        QTemporaryDir dir;
        const QString record = dir.filePath(QStringLiteral("vol.txt"));
        const QString backup = dir.filePath(QStringLiteral("secours.zephul"));
        const QString log = dir.filePath(QStringLiteral("calls"));
        QProcess strace;
        strace.start(QStringLiteral("strace"),
                     { "-f", "-e", "trace=openat,write,fdatasync,fsync,close", "-o", log,
                       QStringLiteral(ZEPHUL_APPEND_RECORD_LINE), record, backup, "une ligne" });
        QVERIFY(strace.waitForFinished(30000));
        if (strace.exitCode() != 0 && !QFile::exists(record))
            QSKIP(qPrintable("strace cannot run here: " + strace.readAllStandardError()));
        QCOMPARE(strace.exitCode(), 0);
        QCOMPARE(contents(record), QByteArray("une ligne\r\n"));
        QCOMPARE(contents(backup), QByteArray("une ligne\r\n"));
        const QStringList calls = QString::fromUtf8(contents(log)).split(u'\n');
        for (const QString &path : { backup, record }) {
            // openat(..., "path", ...) = fd, then write(fd, "une ligne\r\n", ...), fdatasync(fd)
            // = 0 and close(fd) = 0, in this order.
            int at = -1;
            QString fd;
            for (int i = 0; i < calls.size() && fd.isEmpty(); ++i)
                if (calls[i].contains(QStringLiteral("openat("))
                    && calls[i].contains(u'"' + path + u'"')) {
                    at = i;
                    fd = calls[i].section(QStringLiteral(" = "), -1).trimmed();
                }
            QVERIFY2(at >= 0, qPrintable(path));
            QStringList order;
            for (int i = at + 1; i < calls.size(); ++i) {
                // strace pads the pid to a width: one space or more before the call.
                const QString call = calls[i].section(u' ', 1).trimmed();
                if (call.startsWith(QStringLiteral("write(") + fd + u','))
                    order << QStringLiteral("write");
                else if (call.startsWith(QStringLiteral("fdatasync(") + fd + u')'))
                    order << QStringLiteral("sync ")
                            + call.section(QStringLiteral(" = "), -1).trimmed();
                else if (call.startsWith(QStringLiteral("close(") + fd + u')')) {
                    order << QStringLiteral("close");
                    break;
                }
            }
            QCOMPARE(order, QStringList({ "write", "sync 0", "close" }));
        }
    }

    void systemErrorsKeepTheirNumber_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("creating");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << ENOENT << false << "Fichier introuvable";
        QTest::newRow("missing folder") << ENOENT << true << "Nom de fichier incorrect";
        QTest::newRow("too many files") << EMFILE << false << "Trop de fichiers ouverts";
        QTest::newRow("read-only medium") << EROFS << false << "Accès au fichier refusé";
        // EIO and ENETUNREACH share their numbers with two named codes but are other errors.
        QTest::newRow("EIO") << EIO << false << QStringLiteral("Erreur E/S %1").arg(EIO);
        QTest::newRow("ENETUNREACH")
            << ENETUNREACH << false << QStringLiteral("Erreur E/S %1").arg(ENETUNREACH);
    }
    void systemErrorsKeepTheirNumber()
    {
        QFETCH(int, error);
        QFETCH(bool, creating);
        QFETCH(QString, message);
        QCOMPARE(RecordIoError::fromErrno(error, creating).message(), message);
    }
};

QTEST_GUILESS_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
