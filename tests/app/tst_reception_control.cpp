#include "eventguard.h"
#include "inifile.h"
#include "numberformat.h"
#include "ptypair.h"
#include "receivercommand.h"
#include "receiverport.h"
#include "recordlines.h"
#include "scripteduserdialogs.h"
#include "tcomdatapacket.h"
#include "tcomport.h"
#include "tform_apropos.h"
#include "tform_changementfrequence.h"
#include "tform_scanner.h"
#include "whenvisible.h"
#include "zephulwindows.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

QAction *portItem(TZephulF *w, const QString &name)
{
    for (QAction *item : w->PortItems)
        if (item->text() == name)
            return item;
    return nullptr;
}

bool receiverMenusEnabled(TZephulF *w)
{
    return w->Frequence->menuAction()->isEnabled() && w->Hautparleur1->menuAction()->isEnabled()
        && w->Scanner1->isEnabled();
}

bool receiverMenusDisabled(TZephulF *w)
{
    return !w->Frequence->menuAction()->isEnabled() && !w->Hautparleur1->menuAction()->isEnabled()
        && !w->Scanner1->isEnabled();
}

// The menus of the idle state after "&Arrêter" (a file is chosen).
bool idleMenus(TZephulF *w)
{
    return w->DemarrerM->isEnabled() && !w->ArreterM->isEnabled()
        && w->FichierM->menuAction()->isEnabled() && w->ParametresM->menuAction()->isEnabled()
        && w->DebugM->menuAction()->isEnabled();
}

bool receivingMenus(TZephulF *w)
{
    return !w->DemarrerM->isEnabled() && w->ArreterM->isEnabled()
        && !w->FichierM->menuAction()->isEnabled() && !w->ParametresM->menuAction()->isEnabled()
        && !w->DebugM->menuAction()->isEnabled();
}

const QString InfoPort = QStringLiteral("   Port          ");

} // namespace

class TestReceptionControl : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString settingsPath() const { return m_dir.filePath("zephul.ini"); }

    // The five windows with `port` remembered in the settings file; the mode chooser's timer
    // is stopped so that no modal window waits for an answer.
    std::unique_ptr<ZephulWindows> open(const QString &port = QString())
    {
        QFile::remove(settingsPath());
        if (!port.isEmpty()) {
            IniFile ini(settingsPath());
            ini.writeString(QStringLiteral("Réception"), QStringLiteral("Port série"), port);
        }
        auto windows = std::make_unique<ZephulWindows>(settingsPath());
        windows->ZephulF()->Timer_APropos->stop();
        return windows;
    }

    // Chooses the port in the "Port serie" menu; nothing is sent to the receiver.
    static void choose(TZephulF *w, ReceiverPort &port)
    {
        QAction *item = portItem(w, port.name());
        QVERIFY(item);
        item->trigger();
        QVERIFY(w->ComPort->Connected());
        QVERIFY(item->isChecked());
        QCOMPARE(port.stray(), QByteArray());
    }

    // "&Nouveau" with the typed name.
    static void newFile(TZephulF *w, ScriptedUserDialogs &dialogs, const QString &typed)
    {
        dialogs.answerFile(typed);
        w->NouvFichierM->trigger();
    }

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void startupTunesTheRememberedPort()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open(port.name());
        TZephulF *w = windows->ZephulF();
        // Written by the creation itself, before the mode chooser could be shown.
        QCOMPARE(port.received(11), QByteArray("$C21\r\n$HF\r\n"));
        QVERIFY(!windows->Form_APropos()->isVisible());
        QCOMPARE(port.stray(), QByteArray());
        QVERIFY(portItem(w, port.name())->isChecked());
        QCOMPARE(w->InfosPortSerieM->text(), InfoPort + port.name());
        QVERIFY(receiverMenusEnabled(w));
        QCOMPARE(w->PendingChannel, 21);
        QCOMPARE(w->CurrentChannel, 39);
        QVERIFY(dialogs.asked().isEmpty());
    }

    void rememberedPortNotThere()
    {
        ScriptedUserDialogs dialogs;
        const QString gone = QDir::temp().filePath(QStringLiteral("zephul-no-such-port"));
        const auto windows = open(gone);
        TZephulF *w = windows->ZephulF();
        QVERIFY(!w->ComPort->Connected());
        QCOMPARE(w->InfosPortSerieM->text(), QStringLiteral("   Port          ????"));
        QVERIFY(receiverMenusDisabled(w));
        QCOMPARE(w->PortName, gone); // tried again at the next start
        QVERIFY(dialogs.asked().isEmpty());
    }

    void menuCommands_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("currentChannel");
        QTest::newRow("137.500 MHz") << "N137500MHz" << QByteArray("$C30\r\n") << 30;
        QTest::newRow("137.050 MHz") << "N137050MHz" << QByteArray("$C21\r\n") << 21;
        QTest::newRow("OFF") << "OFF1" << QByteArray("$HM\r\n") << 39;
        QTest::newRow("ON") << "ON1" << QByteArray("$HF\r\n") << 39;
    }
    void menuCommands()
    {
        QFETCH(QString, item);
        QFETCH(QByteArray, bytes);
        QFETCH(int, currentChannel);
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        choose(w, port);
        // Start from the other item of each group so that the check visibly moves.
        w->N137500MHz->setChecked(item == "N137050MHz");
        w->N137050MHz->setChecked(item != "N137050MHz");
        w->OFF1->setChecked(item == "ON1");
        w->ON1->setChecked(item != "ON1");
        auto *action = w->findChild<QAction *>(item);
        QVERIFY(action);
        action->trigger();
        QCOMPARE(port.received(std::size_t(bytes.size())), bytes);
        QVERIFY(action->isChecked());
        QCOMPARE(w->CurrentChannel, currentChannel);
        QCOMPARE(w->InfosFrequenceM->text(), QStringLiteral("   Fréquence 137.950 MHz"));
        QCOMPARE(port.stray(), QByteArray());
        QVERIFY(dialogs.errors().isEmpty());
    }

    void frequencyWindow_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("password"); // typed, then Enter; empty: nothing typed
        QTest::addColumn<bool>("ok"); // OK, else "&Annuler"
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("49 after the password")
            << "fr_FR" << 49 << "vostrel" << true << QByteArray("$C49\r\n");
        QTest::newRow("0") << "fr_FR" << 0 << "vostrel" << true << QByteArray("$C0\r\n");
        QTest::newRow("7") << "fr_FR" << 7 << "vostrel" << true << QByteArray("$C7\r\n");
        QTest::newRow("30 needs none") << "fr_FR" << 30 << "" << true << QByteArray("$C30\r\n");
        QTest::newRow("Annuler") << "fr_FR" << 49 << "vostrel" << false << QByteArray();
        QTest::newRow("capitals refused") << "fr_FR" << 49 << "VOSTREL" << true << QByteArray();
        QTest::newRow("point separator asks for 21") << "en_US" << 21 << "" << true << QByteArray();
    }
    void frequencyWindow()
    {
        QFETCH(QString, locale);
        QFETCH(int, channel);
        QFETCH(QString, password);
        QFETCH(bool, ok);
        QFETCH(QByteArray, bytes);
        QLocale::setDefault(QLocale(locale));
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        choose(w, port);
        TForm_ChangementFrequence *window = windows->Form_ChangementFrequence();
        // What a click on the channel's sweep bar does.
        w->PendingChannel = channel;
        w->ChosenFrequencyText = ReceiverCommand::frequencyText(channel);
        bool okEnabled = false;
        whenVisible(window, [&] {
            if (!password.isEmpty()) {
                QTest::keyClicks(window->Edit_MotDePasse, password);
                QTest::keyClick(window->Edit_MotDePasse, Qt::Key_Return);
            }
            okEnabled = window->Button_OK->isEnabled();
            QTest::mouseClick(ok ? window->Button_OK : window->Button_Annuler, Qt::LeftButton);
            if (window->isVisible())
                window->reject(); // a disabled OK does nothing: close as the system menu would
        });
        window->exec();
        QCOMPARE(okEnabled, !bytes.isEmpty() || !ok);
        if (bytes.isEmpty()) {
            QCOMPARE(port.stray(), QByteArray());
            QCOMPARE(w->CurrentChannel, 39);
            QCOMPARE(w->InfosFrequenceM->text(), QStringLiteral("   Fréquence 137.950 MHz"));
            QVERIFY(w->N137050MHz->isChecked());
            return;
        }
        QCOMPARE(port.received(std::size_t(bytes.size())), bytes);
        QCOMPARE(w->CurrentChannel, channel);
        QCOMPARE(w->InfosFrequenceM->text(),
                 QStringLiteral("  Fréquence ") + ReceiverCommand::frequencyText(channel));
        QCOMPARE(w->N137500MHz->isChecked(), channel == 30);
        QVERIFY(!w->N137050MHz->isChecked());
        QCOMPARE(windows->Form_Scanner()->Image_Canal->x(), channel * 10 + 20);
    }

    void recordFilesAcrossTwoRuns()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        QTemporaryDir folder;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        for (int n = 1; n <= 8; ++n)
            w->Channels[n - 1].NameEdit->setText(n == 3 ? QString() : QStringLiteral("V%1").arg(n));
        w->Channels[0].NameEdit->setText(QStringLiteral("Pression"));
        newFile(w, dialogs, folder.filePath(QStringLiteral("vol1")));
        const QString path = folder.filePath(QStringLiteral("vol1.txt"));
        QCOMPARE(w->windowTitle(),
                 TZephulF::ProductBanner + QStringLiteral(" - Fichier : ") + path);
        QVERIFY(w->DemarrerM->isEnabled());
        QVERIFY(!QFile::exists(path));
        choose(w, port);

        const QByteArray date = RecordFile::datePrefixFor(w->LaunchDate).toLatin1();
        const QByteArray header = "Date;Heure;Chrono;Pression;V2;;V4;V5;V6;V7;V8;Piles;\r\n";
        w->DemarrerM->trigger();
        QVERIFY(receivingMenus(w));
        QCOMPARE(w->Status, 10);
        QVERIFY(w->ChronoPending);
        QCOMPARE(w->ComPaquetTuvo->ComPort(), w->ComPort);
        QCOMPARE(w->ComDataSolo->ComPort(), nullptr);
        QVERIFY(w->Timer_Donnees->isActive());
        QCOMPARE(RecordLines::contents(path), header);
        QCOMPARE(RecordLines::contents(folder.filePath(QStringLiteral("secours.zephul"))), header);
        // A line of the run, as a decoder appends it.
        w->Record.AppendRecordLine(QString::fromLatin1(date)
                                   + QStringLiteral("14:35:40;00:12:07;2,35"));

        w->ArreterM->trigger();
        QVERIFY(idleMenus(w));
        QCOMPARE(w->Status, 0);
        QVERIFY(!w->Record.RunOpen);
        QVERIFY(!w->Timer_Donnees->isActive());
        QCOMPARE(w->ComPaquetTuvo->ComPort(), nullptr);
        QVERIFY(w->ComPort->Connected()); // the port stays open and chosen
        QVERIFY(portItem(w, port.name())->isChecked());

        w->flightMode = FlightMode::FUSEE;
        w->DemarrerM->trigger();
        QCOMPARE(w->ComDataSolo->ComPort(), w->ComPort);
        QCOMPARE(w->ComPaquetTuvo->ComPort(), nullptr);
        QCOMPARE(w->Label_Chrono->text(), QStringLiteral("00:00.000"));
        w->ArreterM->trigger();
        const QByteArray expected = header + date + "14:35:40;00:12:07;2,35\r\n" + header;
        QCOMPARE(RecordLines::contents(path), expected);
        QCOMPARE(RecordLines::contents(folder.filePath(QStringLiteral("secours.zephul"))),
                 expected);
        QVERIFY(dialogs.errors().isEmpty());
        QCOMPARE(port.stray(), QByteArray()); // starting and stopping send nothing
    }

    void failedStartIsUndone_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("createOnStartAfter");
        QTest::newRow("folder not writable") << "permission"
                                             << "Accès au fichier refusé" << true;
        QTest::newRow("full disk") << "full"
                                   << "Disque plein" << false;
    }
    void failedStartIsUndone()
    {
        QFETCH(QString, cause);
        QFETCH(QString, message);
        QFETCH(bool, createOnStartAfter);
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        QTemporaryDir folder;
        const QString ro = folder.filePath(QStringLiteral("ro"));
        QVERIFY(QDir().mkdir(ro));
        ::chmod(QFile::encodeName(folder.path()).constData(), 0755);
        ::chmod(QFile::encodeName(ro).constData(), 0555);
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        choose(w, port);
        newFile(w, dialogs, ro + QStringLiteral("/vol1"));
        if (cause == "full") {
            w->Record.RecordPath = QStringLiteral("/dev/full");
            w->Record.BackupPath = folder.filePath(QStringLiteral("secours.zephul"));
        }
        // Root may write anywhere: the start runs as an ordinary user, so the refusal is real.
        const uid_t root = ::geteuid();
        if (cause == "permission" && root == 0)
            QCOMPARE(::seteuid(65534), 0);
        w->DemarrerM->trigger();
        if (cause == "permission" && root == 0)
            QCOMPARE(::seteuid(root), 0);

        QCOMPARE(dialogs.errors(), QStringList { message });
        QVERIFY(idleMenus(w));
        QCOMPARE(w->Status, 0);
        QVERIFY(!w->Record.RunOpen);
        QCOMPARE(w->Record.CreateOnStart, createOnStartAfter);
        QCOMPARE(w->ComPaquetTuvo->ComPort(), nullptr);
        QCOMPARE(w->ComDataSolo->ComPort(), nullptr);
        QVERIFY(!w->Timer_Donnees->isActive());
        QVERIFY(!QFile::exists(ro + QStringLiteral("/vol1.txt")));

        // Once the cause is gone the same file can be started.
        if (cause == "full")
            w->Record.RecordPath = folder.filePath(QStringLiteral("vol1.txt"));
        w->DemarrerM->trigger();
        QVERIFY(receivingMenus(w));
        QCOMPARE(dialogs.errors().size(), 1);
        w->ArreterM->trigger();
    }

    void portInUseEndsUnchosen()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        // Another program holds the receiver's line.
        const int other = ::open(port.pty().slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(other >= 0);
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);
        QAction *item = portItem(w, port.name());
        QVERIFY(item);
        item->trigger();
        ::close(other);
        QVERIFY(!item->isChecked());
        QVERIFY(!w->ComPort->Connected());
        QVERIFY(receiverMenusDisabled(w));
        QVERIFY(w->PortName.isEmpty());
        QCOMPARE(w->InfosPortSerieM->text(), InfoPort + port.name());
        QVERIFY(dialogs.asked().isEmpty());
    }

    void startWithoutPortOnlyWarns()
    {
        ScriptedUserDialogs dialogs;
        QTemporaryDir folder;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        newFile(w, dialogs, folder.filePath(QStringLiteral("vol1")));
        dialogs.clear();
        w->DemarrerM->trigger();
        QCOMPARE(dialogs.asked().size(), 1);
        QCOMPARE(dialogs.asked().first().kind, QStringLiteral("message"));
        QCOMPARE(dialogs.asked().first().title, QStringLiteral("Attention"));
        QCOMPARE(dialogs.asked().first().text, QStringLiteral("Veuillez choisir un port série"));
        QVERIFY(idleMenus(w));
        QCOMPARE(w->Status, 0);
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("vol1.txt"))));
    }

    // A session with the receiver emulator: port chosen, receiver tuned, file chosen, reception
    // started and stopped. Set ZEPHUL_SCREENSHOT_DIR to keep the picture.
    void sessionWithTheEmulator()
    {
        ScriptedUserDialogs dialogs;
        QTemporaryDir folder;
        QProcess emulator;
        emulator.setProcessChannelMode(QProcess::MergedChannels);
        const QString alias = QStringLiteral("tst-session-%1").arg(::getpid());
        emulator.start(
            QStringLiteral(ZEPHUL_EMULATOR),
            { QStringLiteral("--alias"), alias, QStringLiteral("--speed"), QStringLiteral("5") });
        QVERIFY(emulator.waitForStarted());
        QString log;
        QString name;
        const QRegularExpression portLine(QStringLiteral(" port (\\S+) "));
        QTRY_VERIFY_WITH_TIMEOUT((log += QString::fromLatin1(emulator.readAll()),
                                  name = portLine.match(log).captured(1), !name.isEmpty()),
                                 10000);

        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        w->setOuterSize(QSize(1100, 700));
        QAction *item = portItem(w, name);
        QVERIFY(item);
        item->trigger();
        QVERIFY(w->ComPort->Connected());
        w->N137500MHz->trigger();
        w->N137050MHz->trigger();
        w->ON1->trigger();
        newFile(w, dialogs, folder.filePath(QStringLiteral("session")));
        w->DemarrerM->trigger();
        QVERIFY(receivingMenus(w));
        QTest::qWait(1500);
        w->ArreterM->trigger();
        QVERIFY(idleMenus(w));
        QTRY_VERIFY_WITH_TIMEOUT(
            (log += QString::fromLatin1(emulator.readAll()), log.contains(QStringLiteral("$HF"))),
            10000);
        QVERIFY(log.indexOf(QStringLiteral("$C30")) < log.indexOf(QStringLiteral("$C21")));
        QVERIFY(log.indexOf(QStringLiteral("$C21")) < log.indexOf(QStringLiteral("$HF")));
        QVERIFY(RecordLines::contents(folder.filePath(QStringLiteral("session.txt")))
                    .startsWith("Date;Heure;"));
        QVERIFY(dialogs.errors().isEmpty());

        // The window under its caption (the record file), with the "&Réception" and "&?" menus
        // dropped down, as the operator checks the set-up after the stop.
        const QImage window = w->grab().toImage();
        const int captionHeight = 24;
        QImage shot(window.width(), window.height() + captionHeight, QImage::Format_RGB32);
        shot.fill(QColor(0, 0, 128));
        QPainter painter(&shot);
        painter.setPen(Qt::white);
        painter.drawText(QRect(8, 0, shot.width() - 16, captionHeight), Qt::AlignVCenter,
                         w->windowTitle());
        painter.drawImage(0, captionHeight, window);
        const int menuTop = captionHeight + w->menuBar()->height();
        for (QMenu *dropped : { w->ReceptionM, w->QuestionM }) {
            dropped->ensurePolished();
            dropped->adjustSize();
            const QRect title = w->menuBar()->actionGeometry(dropped->menuAction());
            painter.drawImage(title.left(), menuTop, dropped->grab().toImage());
        }
        painter.end();
        const QString dir = qEnvironmentVariable("ZEPHUL_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(shot.save(dir + QStringLiteral("/reception-session.png")));

        emulator.terminate();
        QVERIFY(emulator.waitForFinished(10000));
    }
};

QTEST_MAIN(TestReceptionControl)
#include "tst_reception_control.moc"
