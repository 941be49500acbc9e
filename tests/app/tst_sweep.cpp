// The band sweep through the main window: the receiver emulator or a pseudo-terminal answers
// "$S", the sweep window draws the bars, moves its marker and hands a clicked bar to the
// frequency-change window.
#include "receivercommand.h"
#include "receiverport.h"
#include "scripteduserdialogs.h"
#include "tcomdatapacket.h"
#include "tcomport.h"
#include "tform_changementfrequence.h"
#include "tform_scanner.h"
#include "whenvisible.h"
#include "zephulwindows.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <unistd.h>

namespace {

// A frame as it goes on the line, with no byte that looks like the start of a sweep answer.
QByteArray lineFrame(int level)
{
    QByteArray f(11, '\0');
    f[0] = char(0xFF);
    const int battery = 130;
    f[8] = char(level); // channel 1
    f[9] = char(battery);
    f[10] = char(((level + battery) % 256) / 2);
    return f;
}

QByteArray answer(int reading)
{
    return QByteArray("#") + QByteArray::number(reading).rightJustified(3, ' ');
}

// The reading the test means by an answer, worked out apart from the program.
int readingOf(const QByteArray &text)
{
    return text.trimmed().toInt();
}

} // namespace

class TestSweep : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<QByteArray> m_answers; // the packets the sweep framer handed over
    QList<int> m_markerAfter; // the marker's left after each of them

    std::unique_ptr<ZephulWindows> open(const QString &portName)
    {
        auto windows = std::make_unique<ZephulWindows>(m_dir.filePath("zephul.ini"));
        TZephulF *w = windows->ZephulF();
        w->Timer_APropos->stop();
        for (QAction *item : w->PortItems)
            if (item->text() == portName)
                item->trigger();
        if (!w->ComPort->Connected())
            return nullptr;
        TForm_Scanner *scanner = windows->Form_Scanner();
        auto original = w->ComPaquetScan->OnPacket;
        w->ComPaquetScan->OnPacket
            = [this, original, scanner](TComDataPacket *s, const QByteArray &p) {
                  m_answers << p;
                  original(s, p);
                  m_markerAfter << scanner->Image_Canal->x();
              };
        return windows;
    }

    static void startReception(TZephulF *w, ScriptedUserDialogs &dialogs, const QString &file)
    {
        dialogs.answerFile(file);
        w->NouvFichierM->trigger();
        w->DemarrerM->trigger();
    }

    // Each bar's height is its reading + 5 and its bottom stands on the axis.
    static bool barShows(const QFrame *bar, int reading)
    {
        return bar->height() == reading + 5 && bar->y() + bar->height() == 267;
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        m_answers.clear();
        m_markerAfter.clear();
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void readings_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("reading"); // -999 for an answer that is ignored
        QTest::newRow("three digits") << QByteArray("198") << 198;
        QTest::newRow("leading blanks") << QByteArray("  7") << 7;
        QTest::newRow("minus sign") << QByteArray("-12") << -12;
        QTest::newRow("blank and sign") << QByteArray(" +5") << 5;
        QTest::newRow("zero") << QByteArray("000") << 0;
        QTest::newRow("letters") << QByteArray("abc") << -999;
        QTest::newRow("trailing letter") << QByteArray("12a") << -999;
        QTest::newRow("blank inside") << QByteArray("1 2") << -999;
        QTest::newRow("trailing blank") << QByteArray("12 ") << -999;
        QTest::newRow("blanks only") << QByteArray("   ") << -999;
        QTest::newRow("sign only") << QByteArray("  -") << -999;
        QTest::newRow("sign then blank") << QByteArray("- 5") << -999;
        QTest::newRow("start byte") << QByteArray("#12") << -999;
        QTest::newRow("control byte") << QByteArray("\x01"
                                                    "23")
                                      << -999;
    }
    void readings()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, reading);
        const std::optional<int> parsed = TForm_Scanner::parseReading(text);
        QCOMPARE(parsed.value_or(-999), reading);
    }

    void barsAtCreation()
    {
        TForm_Scanner scanner;
        QCOMPARE(scanner.ScanBars[0]->toolTip(), "136,000 MHz");
        QCOMPARE(scanner.ScanBars[21]->toolTip(), "137,050 MHz");
        QCOMPARE(scanner.ScanBars[49]->toolTip(), "138,450 MHz");
        QCOMPARE(scanner.ScanBars[60]->toolTip(), "139,000 MHz");
        // The two channels of the frequency menu stand out.
        const QColor menu = scanner.ScanBars[21]->palette().color(QPalette::Window);
        QCOMPARE(scanner.ScanBars[30]->palette().color(QPalette::Window), menu);
        for (int i : { 0, 20, 22, 29, 31, 60 })
            QVERIFY(scanner.ScanBars[i]->palette().color(QPalette::Window) != menu);
        QCOMPARE(scanner.ScanBars[20]->palette().color(QPalette::Window), QColor(0xFF, 0x80, 0x80));
        QCOMPARE(menu, QColor(0x8F, 0x80, 0xF0));
        QLocale::setDefault(QLocale::c());
        TForm_Scanner pointScanner;
        QCOMPARE(pointScanner.ScanBars[21]->toolTip(), "137.050 MHz");
    }

    // The emulator answers 61 readings: one bar each, the marker walks bar by bar and goes back
    // to the channel of start-up (39). Set ZEPHUL_SCREENSHOT_DIR to keep a picture of the window.
    void sweepFromTheEmulator()
    {
        ScriptedUserDialogs dialogs;
        QProcess emulator;
        emulator.setProcessChannelMode(QProcess::MergedChannels);
        const QString alias = QStringLiteral("tst-sweep-%1").arg(::getpid());
        emulator.start(QStringLiteral(ZEPHUL_EMULATOR),
                       { QStringLiteral("--alias"), alias, QStringLiteral("--speed"),
                         QStringLiteral("4"), QStringLiteral("--seed"), QStringLiteral("7") });
        QVERIFY(emulator.waitForStarted());
        QString log;
        QString name;
        const QRegularExpression portLine(QStringLiteral(" port (\\S+) "));
        QTRY_VERIFY_WITH_TIMEOUT((log += QString::fromLatin1(emulator.readAll()),
                                  name = portLine.match(log).captured(1), !name.isEmpty()),
                                 10000);
        const auto windows = open(name);
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        TForm_Scanner *scanner = windows->Form_Scanner();
        QCOMPARE(scanner->Image_Canal->x(), 19);
        QImage shot;
        whenVisible(scanner, [&] {
            static_cast<void>(QTest::qWaitFor([&] { return m_answers.size() >= 61; }, 30000));
            QTest::qWait(50);
            shot = scanner->grab().toImage();
            scanner->reject();
        });
        w->Scanner1->trigger();
        QCOMPARE(m_answers.size(), 61);
        QVERIFY(!w->ComPaquetScan->ComPort());
        for (int i = 0; i < 61; ++i) {
            QVERIFY2(barShows(scanner->ScanBars[std::size_t(i)], readingOf(m_answers[i])),
                     qPrintable(QStringLiteral("bar %1").arg(i)));
            QCOMPARE(m_markerAfter[i], i < 60 ? i * 10 + 20 : 410);
        }
        // The transmitter's channel (21) stands out of the noise.
        QVERIFY(scanner->ScanBars[21]->height() > 150);
        QVERIFY(dialogs.errors().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(
            (log += QString::fromLatin1(emulator.readAll()), log.contains(QStringLiteral("$S"))),
            10000);
        const QString dir = qEnvironmentVariable("ZEPHUL_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(shot.save(dir + QStringLiteral("/sweep.png")));
        emulator.terminate();
        QVERIFY(emulator.waitForFinished(10000));
    }

    // A garbled answer changes nothing; the next good one fills the same bar. "Nouveau
    // balayage" starts again at the first bar, and closing the window does not stop a sweep.
    void answersOnALine()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open(port.name());
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        TForm_Scanner *scanner = windows->Form_Scanner();
        QByteArray sent;
        whenVisible(scanner, [&] {
            sent = port.received(4);
            port.send("#230#abc#  5");
            static_cast<void>(QTest::qWaitFor([&] { return m_answers.size() >= 3; }, 10000));
            scanner->reject();
        });
        w->Scanner1->trigger();
        QCOMPARE(sent, QByteArray("$S\r\n"));
        QCOMPARE(scanner->ScanIndex, 2);
        QCOMPARE(scanner->ScanBars[0]->geometry(), QRect(20, 32, 10, 235)); // the whole axis
        QVERIFY(barShows(scanner->ScanBars[1], 5));
        QCOMPARE(scanner->ScanBars[2]->height(), 0);
        QCOMPARE(scanner->Image_Canal->x(), 30);
        // Closed, the window still takes the answers.
        QCOMPARE(w->ComPaquetScan->ComPort(), w->ComPort);
        port.send("# 17");
        QTRY_COMPARE(scanner->ScanIndex, 3);
        QVERIFY(barShows(scanner->ScanBars[2], 17));

        // Again: the count starts at the first bar, the bars keep their heights meanwhile.
        whenVisible(scanner, [&] {
            sent = port.received(4);
            port.send("# 40");
            static_cast<void>(QTest::qWaitFor([&] { return scanner->ScanIndex == 1; }, 10000));
            QTest::mouseClick(scanner->Button1, Qt::LeftButton);
            sent += port.received(4);
            QCOMPARE(scanner->ScanIndex, 0);
            QVERIFY(barShows(scanner->ScanBars[0], 40));
            QVERIFY(barShows(scanner->ScanBars[1], 5));
            QByteArray all;
            for (int i = 0; i < 61; ++i)
                all += answer(i * 3 % 231);
            port.send(all);
            static_cast<void>(QTest::qWaitFor([&] { return !w->ComPaquetScan->ComPort(); }, 10000));
            scanner->reject();
        });
        w->Scanner1->trigger();
        QCOMPARE(sent, QByteArray("$S\r\n$S\r\n"));
        QVERIFY(!w->ComPaquetScan->ComPort());
        for (int i = 0; i < 61; ++i)
            QVERIFY(barShows(scanner->ScanBars[std::size_t(i)], i * 3 % 231));
        QCOMPARE(scanner->Image_Canal->x(), 410);
        QVERIFY(dialogs.errors().isEmpty());
    }

    // During a reception: Cancel changes nothing; OK sweeps while frames are still decoded, and
    // the mode's decoder is still attached at the end.
    void sweepDuringAReception_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("balloon") << int(FlightMode::BALLON);
        QTest::newRow("rocket") << int(FlightMode::FUSEE);
    }
    void sweepDuringAReception()
    {
        QFETCH(int, mode);
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open(port.name());
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        w->flightMode = FlightMode(mode);
        TForm_Scanner *scanner = windows->Form_Scanner();
        startReception(w, dialogs, m_dir.filePath(QStringLiteral("vol%1").arg(mode)));
        TComDataPacket *decoder
            = mode == int(FlightMode::FUSEE) ? w->ComDataSolo : w->ComPaquetTuvo;
        QCOMPARE(decoder->ComPort(), w->ComPort);
        port.send(lineFrame(100));
        QTRY_COMPARE(w->AcceptedFrameCount, 1);
        QCOMPARE(w->Channels.channel(1).PrevSample, 100);

        dialogs.answerButton(UserDialogs::Button::Cancel);
        w->Scanner1->trigger();
        QCOMPARE(
            dialogs.messages(),
            QStringList { "Attention, la réception sera brouillée pendant quelques secondes." });
        QCOMPARE(dialogs.asked().last().title, "Balayage de fréquences");
        QVERIFY(!scanner->isVisible());
        QCOMPARE(port.stray(), QByteArray());
        QCOMPARE(w->Channels.channel(1).PrevSample, 100);

        dialogs.answerButton(UserDialogs::Button::Ok);
        QByteArray sent;
        whenVisible(scanner, [&] {
            sent = port.received(4);
            QByteArray first;
            for (int i = 0; i < 30; ++i)
                first += answer(i);
            port.send(first);
            static_cast<void>(QTest::qWaitFor([&] { return scanner->ScanIndex == 30; }, 10000));
            // A frame in the middle of the sweep is decoded as usual.
            if (mode == int(FlightMode::BALLON))
                w->Timer_PaquetTimer();
            port.send(lineFrame(120));
            static_cast<void>(QTest::qWaitFor([&] { return w->AcceptedFrameCount == 2; }, 10000));
            QByteArray rest;
            for (int i = 30; i < 61; ++i)
                rest += answer(i);
            port.send(rest);
            static_cast<void>(QTest::qWaitFor([&] { return !w->ComPaquetScan->ComPort(); }, 10000));
            scanner->reject();
        });
        w->Scanner1->trigger();
        QCOMPARE(sent, QByteArray("$S\r\n"));
        QCOMPARE(w->AcceptedFrameCount, 2);
        QCOMPARE(scanner->ScanIndex, 61);
        QVERIFY(!w->ComPaquetScan->ComPort());
        QCOMPARE(decoder->ComPort(), w->ComPort);
        QCOMPARE(w->Channels.channel(1).PrevSample, 120);
        if (mode == int(FlightMode::BALLON))
            w->Timer_PaquetTimer();
        port.send(lineFrame(130));
        QTRY_COMPARE(w->AcceptedFrameCount, 3);
        w->ArreterM->trigger();
        QVERIFY(dialogs.errors().isEmpty());
    }

    // A click on a bar opens the frequency-change window for its channel.
    void barClick_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<bool>("password");
        QTest::newRow("21, no password") << 21 << false;
        QTest::newRow("49, password") << 49 << true;
    }
    void barClick()
    {
        QFETCH(int, channel);
        QFETCH(bool, password);
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open(port.name());
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        TForm_Scanner *scanner = windows->Form_Scanner();
        TForm_ChangementFrequence *frequency = windows->Form_ChangementFrequence();
        QString shown;
        bool passwordAsked = false;
        bool okAtOnce = false;
        QByteArray sent;
        whenVisible(frequency, [&] {
            shown = frequency->Label_Frequence->text();
            passwordAsked = frequency->Edit_MotDePasse->isVisible();
            okAtOnce = frequency->Button_OK->isEnabled();
            if (password) {
                QTest::keyClicks(frequency->Edit_MotDePasse, TForm_ChangementFrequence::Password);
                QTest::keyClick(frequency->Edit_MotDePasse, Qt::Key_Return);
            }
            QTest::mouseClick(frequency->Button_OK, Qt::LeftButton);
        });
        whenVisible(scanner, [&] {
            port.received(4);
            QByteArray all;
            for (int i = 0; i < 61; ++i)
                all += answer(100);
            port.send(all);
            static_cast<void>(QTest::qWaitFor([&] { return !w->ComPaquetScan->ComPort(); }, 10000));
            QFrame *bar = scanner->ScanBars[std::size_t(channel)];
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->rect().center());
            sent = port.received(std::size_t(ReceiverCommand::tune(channel).size()));
            scanner->reject();
        });
        w->Scanner1->trigger();
        QCOMPARE(shown, ReceiverCommand::frequencyText(channel));
        QCOMPARE(passwordAsked, password);
        QCOMPARE(okAtOnce, !password);
        QCOMPARE(sent, ReceiverCommand::tune(channel));
        QCOMPARE(w->PendingChannel, channel);
        QCOMPARE(w->CurrentChannel, channel);
        QCOMPARE(scanner->Image_Canal->x(), channel * 10 + 20);
        QCOMPARE(w->N137050MHz->isChecked(), channel == 21);
        QVERIFY(dialogs.errors().isEmpty());
    }
};

QTEST_MAIN(TestSweep)
#include "tst_sweep.moc"
