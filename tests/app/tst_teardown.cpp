// The main window closed with its close box while frames stream in: whatever the serial event
// thread has already handed over when the window goes must not reach anything destroyed, and
// the settings are saved every time. Meant to be run under the address sanitizer as well.
#include "inifile.h"
#include "receiverport.h"
#include "scripteduserdialogs.h"
#include "tcomport.h"
#include "zephulwindows.h"

#include <QAction>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

namespace {

std::string frame(int level)
{
    std::string f(11, '\0');
    f[0] = char(0xFF);
    int sum = 130;
    for (int i = 1; i <= 8; ++i) {
        f[i] = char((level + 7 * i) % 250);
        sum += static_cast<unsigned char>(f[i]);
    }
    f[9] = char(130);
    f[10] = char((sum % 256) / 2);
    return f;
}

} // namespace

class TestTeardown : public QObject
{
    Q_OBJECT

private slots:
    void closeBoxDuringAStream_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("quitter");
        QTest::newRow("balloon, close box") << int(FlightMode::BALLON) << false;
        QTest::newRow("rocket, close box") << int(FlightMode::FUSEE) << false;
        QTest::newRow("rocket, Quitter") << int(FlightMode::FUSEE) << true;
    }
    void closeBoxDuringAStream()
    {
        QFETCH(int, mode);
        QFETCH(bool, quitter);
        const int rounds = qEnvironmentVariableIntValue("ZEPHUL_TEARDOWN_ROUNDS") > 0
            ? qEnvironmentVariableIntValue("ZEPHUL_TEARDOWN_ROUNDS")
            : 100;
        QTemporaryDir dir;
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        QRandomGenerator random(20261209 + mode);
        for (int round = 0; round < rounds; ++round) {
            const QString settings = dir.filePath(QStringLiteral("zephul.ini"));
            const QString name = QStringLiteral("Essai %1").arg(round % 1000);
            std::atomic<bool> stop { false };
            std::thread receiver;
            {
                ZephulWindows windows(settings);
                TZephulF *w = windows.ZephulF();
                w->Timer_APropos->stop();
                w->flightMode = FlightMode(mode);
                for (QAction *item : w->PortItems)
                    if (item->text() == port.name())
                        item->trigger();
                QVERIFY(w->ComPort->Connected());
                dialogs.answerFile(dir.filePath(QStringLiteral("vol")));
                w->NouvFichierM->trigger();
                w->DemarrerM->trigger();
                w->Channels[0].NameEdit->setText(name);
                // Frames back to back, faster than the line would bring them, so that a batch
                // is in flight whenever the window goes.
                receiver = std::thread([&port, &stop] {
                    for (int k = 0; !stop; ++k) {
                        port.pty().send(frame(k));
                        std::this_thread::sleep_for(std::chrono::microseconds(300));
                    }
                });
                QTest::qWait(int(random.bounded(120u)));
                if (quitter) {
                    QTimer::singleShot(0, w->QuitterM, &QAction::trigger);
                    QTest::qWait(1);
                } else {
                    QVERIFY(w->close());
                }
            }
            stop = true;
            receiver.join();
            if (!quitter)
                QCOMPARE(IniFile(settings).readString(QStringLiteral("Nom voie"),
                                                      QStringLiteral("Voie_1"), QString()),
                         name);
            QVERIFY2(dialogs.errors().isEmpty(), qPrintable(dialogs.errors().join(u'\n')));
        }
    }
};

QTEST_MAIN(TestTeardown)
#include "tst_teardown.moc"
