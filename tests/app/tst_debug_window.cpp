#include "colour.h"
#include "longtextedit.h"
#include "receiverport.h"
#include "scripteduserdialogs.h"
#include "tcomdatapacket.h"
#include "tcomport.h"
#include "tform_debug.h"
#include "whenvisible.h"
#include "zephulwindows.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <unistd.h>

// The debug window through the main window's "&Debug" > "&Démarrer", with a pseudo-terminal
// as the receiver (and, for the screenshot, the receiver emulator).

namespace {

// A good balloon frame as it goes on the line.
QByteArray goodFrame(int level)
{
    QByteArray f(11, '\0');
    f[0] = char(0xFF);
    f[8] = char(level); // channel 1
    f[9] = char(130); // battery
    f[10] = char((level + 130) % 256 / 2);
    return f;
}

// What the checks inside the modal window saw; QTRY_* cannot be used there, since a failure
// would leave the window open.
struct Seen
{
    QStringList failures;
    void check(bool ok, const QString &what)
    {
        if (!ok)
            failures << what;
    }
    // For a description of the state after the check.
    void check(bool ok, const std::function<QString()> &what)
    {
        if (!ok)
            failures << what();
    }
};

} // namespace

class TestDebugWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    std::unique_ptr<ZephulWindows> open()
    {
        QFile::remove(m_dir.filePath("zephul.ini"));
        auto windows = std::make_unique<ZephulWindows>(m_dir.filePath("zephul.ini"));
        windows->ZephulF()->Timer_APropos->stop();
        return windows;
    }

    static bool choose(TZephulF *w, const QString &port)
    {
        for (QAction *item : w->PortItems)
            if (item->text() == port)
                item->trigger();
        return w->ComPort->Connected();
    }

    // "&Debug" > "&Démarrer", runs `inside` once the window is up, then closes it with its
    // close box.
    static void runDebugWindow(TZephulF *w, const std::function<void(TForm_Debug *)> &inside)
    {
        TForm_Debug *window = w->Form_Debug;
        whenVisible(window, [window, inside] {
            inside(window);
            window->close();
        });
        w->DemarrerDebugM->trigger();
    }

    static bool waitForText(TForm_Debug *window, const QString &text)
    {
        return QTest::qWaitFor([&] { return window->DebugMemo->text() == text; }, 10000);
    }

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void threeDigitText_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "000";
        QTest::newRow("7") << 7 << "007";
        QTest::newRow("10") << 10 << "010";
        QTest::newRow("42") << 42 << "042";
        QTest::newRow("99") << 99 << "099";
        QTest::newRow("100") << 100 << "100";
        QTest::newRow("255") << 255 << "255";
    }
    void threeDigitText()
    {
        QFETCH(int, value);
        QFETCH(QString, text);
        QCOMPARE(TForm_Debug::ThreeDigitText(value), text);
    }

    // Every byte as three digits and a blank, whether the bytes come together or one by one;
    // the window's framer is attached and Status is 30 only while it is open.
    void bytesAsThreeDigits_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("oneByOne");
        QTest::addColumn<QString>("text");
        QTest::newRow("FF 00 0A") << QByteArray("\xFF\x00\x0A", 3) << false << "255 000 010 ";
        QTest::newRow("FF 00 0A one by one")
            << QByteArray("\xFF\x00\x0A", 3) << true << "255 000 010 ";
        QTest::newRow("a frame") << goodFrame(200) << false
                                 << "255 000 000 000 000 000 000 000 200 130 037 ";
        QTest::newRow("text bytes") << QByteArray("$S\r\n") << false << "036 083 013 010 ";
    }
    void bytesAsThreeDigits()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, oneByOne);
        QFETCH(QString, text);
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        QVERIFY(choose(w, port.name()));
        QCOMPARE(w->Status, 0);
        QCOMPARE(w->ComPaquetDebug->ComPort(), nullptr);
        Seen seen;
        runDebugWindow(w, [&](TForm_Debug *window) {
            seen.check(w->Status == 30, "Status 30 while open");
            seen.check(w->ComPaquetDebug->ComPort() == w->ComPort, "framer attached");
            seen.check(window->DebugMemo->text().isEmpty(), "empty at opening");
            if (oneByOne)
                for (const char byte : bytes) {
                    port.send(QByteArray(1, byte));
                    QTest::qWait(20);
                }
            else
                port.send(bytes);
            seen.check(waitForText(window, text),
                       [&] { return QString("text: " + window->DebugMemo->text()); });
        });
        QVERIFY2(seen.failures.isEmpty(), qPrintable(seen.failures.join("; ")));
        QCOMPARE(w->Status, 0);
        QCOMPARE(w->ComPaquetDebug->ComPort(), nullptr);
        QCOMPARE(w->ComPaquetTuvo->ComPort(), nullptr); // nothing else is attached
        QVERIFY(dialogs.errors().isEmpty());
    }

    // Reopened, the window starts empty and shows only what arrives after.
    void reopenedWindowStartsEmpty()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        QVERIFY(choose(w, port.name()));
        Seen seen;
        runDebugWindow(w, [&](TForm_Debug *window) {
            port.send(QByteArray("\x01", 1));
            seen.check(waitForText(window, "001 "), "first opening");
        });
        port.send(QByteArray("\x02", 1)); // while closed: nobody shows it
        QTest::qWait(200);
        runDebugWindow(w, [&](TForm_Debug *window) {
            seen.check(window->DebugMemo->text().isEmpty(), "empty again");
            port.send(QByteArray("\x03", 1));
            seen.check(waitForText(window, "003 "),
                       [&] { return QString("second opening: " + window->DebugMemo->text()); });
        });
        QVERIFY2(seen.failures.isEmpty(), qPrintable(seen.failures.join("; ")));
        QCOMPARE(w->Status, 0);
    }

    // A click in the middle of the text: the next bytes go in there; a selection is replaced.
    void bytesGoInAtTheCaret()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        QVERIFY(choose(w, port.name()));
        Seen seen;
        runDebugWindow(w, [&](TForm_Debug *window) {
            LongTextEdit *memo = window->DebugMemo;
            port.send(QByteArray("\x01\x02\x03\x04", 4));
            seen.check(waitForText(window, "001 002 003 004 "), "four bytes");
            QTest::mouseClick(memo, Qt::LeftButton, {}, memo->positionRect(8).center());
            port.send(QByteArray("\x09", 1));
            seen.check(waitForText(window, "001 002 009 003 004 "),
                       [&] { return QString("inserted: " + memo->text()); });
            QTest::mousePress(memo, Qt::LeftButton, {}, memo->positionRect(12).center());
            QTest::mouseMove(memo, memo->positionRect(16).center());
            QTest::mouseRelease(memo, Qt::LeftButton, {}, memo->positionRect(16).center());
            seen.check(memo->selectedText() == "003 ",
                       [&] { return QString("selected: " + memo->selectedText()); });
            port.send(QByteArray("\x0A\x0B", 2));
            seen.check(waitForText(window, "001 002 009 010 011 004 "),
                       [&] { return QString("replaced: " + memo->text()); });
            // Typed text goes in as well: the box is editable.
            QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClicks(memo, "ok");
            seen.check(memo->text() == "001 002 009 010 011 004 ok",
                       [&] { return QString("typed: " + memo->text()); });
        });
        QVERIFY2(seen.failures.isEmpty(), qPrintable(seen.failures.join("; ")));
    }

    // Without an open port the purge fails: its error is shown and nothing is attached.
    void withoutAPortThePurgeFails()
    {
        ScriptedUserDialogs dialogs;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        QVERIFY(!w->ComPort->Connected());
        Seen seen;
        runDebugWindow(w, [&](TForm_Debug *) {
            seen.check(w->Status == 0, "Status unchanged");
            seen.check(w->ComPaquetDebug->ComPort() == nullptr, "nothing attached");
        });
        QVERIFY2(seen.failures.isEmpty(), qPrintable(seen.failures.join("; ")));
        QCOMPARE(dialogs.errors().size(), 1);
        QVERIFY2(dialogs.errors().first().startsWith("PurgeComm function failed"),
                 qPrintable(dialogs.errors().first()));
        QCOMPARE(w->Status, 0);
    }

    // The "&Debug" menu is disabled while receiving, so the operator cannot open the window
    // then; opened all the same (as its item would), it leaves the reception whole: Status
    // stays 10, the frames are still decoded, and after the close the decoder framer of the
    // mode is attached, even if something had detached it meanwhile.
    void openedDuringAReception_data()
    {
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<bool>("detachedMeanwhile");
        QTest::newRow("balloon") << false << false;
        QTest::newRow("balloon, framer detached meanwhile") << false << true;
        QTest::newRow("rocket, framer detached meanwhile") << true << true;
    }
    void openedDuringAReception()
    {
        QFETCH(bool, rocket);
        QFETCH(bool, detachedMeanwhile);
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        w->flightMode = rocket ? FlightMode::FUSEE : FlightMode::BALLON;
        QVERIFY(choose(w, port.name()));
        dialogs.answerFile(m_dir.filePath("vol"));
        w->NouvFichierM->trigger();
        w->DemarrerM->trigger();
        QCOMPARE(w->Status, 10);
        QVERIFY(!w->DebugM->menuAction()->isEnabled());
        TComDataPacket *decoderFramer = rocket ? w->ComDataSolo : w->ComPaquetTuvo;
        TComDataPacket *otherFramer = rocket ? w->ComPaquetTuvo : w->ComDataSolo;
        QCOMPARE(decoderFramer->ComPort(), w->ComPort);
        w->Timer_Paquet->setInterval(24 * 3600 * 1000); // the repeat lock is released below

        Seen seen;
        runDebugWindow(w, [&](TForm_Debug *window) {
            seen.check(w->Status == 10, "Status stays 10");
            seen.check(w->ComPaquetDebug->ComPort() == w->ComPort, "debug framer attached");
            port.send(goodFrame(200));
            seen.check(waitForText(window, "255 000 000 000 000 000 000 000 200 130 037 "),
                       [&] { return QString("bytes shown: " + window->DebugMemo->text()); });
            seen.check(QTest::qWaitFor([&] { return w->AcceptedFrameCount == 1; }, 10000),
                       "decoded while open");
            if (detachedMeanwhile)
                decoderFramer->SetComPort(nullptr);
        });
        QVERIFY2(seen.failures.isEmpty(), qPrintable(seen.failures.join("; ")));
        QCOMPARE(w->Status, 10);
        QCOMPARE(w->ComPaquetDebug->ComPort(), nullptr);
        QCOMPARE(decoderFramer->ComPort(), w->ComPort);
        QCOMPARE(otherFramer->ComPort(), nullptr);
        w->Timer_PaquetTimer(); // the balloon's repeat lock is over
        port.send(goodFrame(100));
        QTRY_COMPARE_WITH_TIMEOUT(w->AcceptedFrameCount, 2, 10000);
        QCOMPARE(w->Channels.channel(1).ValueLabel->text(), QStringLiteral("1,96"));
        w->ArreterM->trigger();
        QCOMPARE(decoderFramer->ComPort(), nullptr);
        QVERIFY(dialogs.errors().isEmpty());
    }

    // The window as the operator sees it: pale green, the bytes wrapped at its width, the
    // latest in view; it follows a change of the window's size.
    void looksAndFollowsTheWindowSize()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        QVERIFY(choose(w, port.name()));
        Seen seen;
        QImage shot;
        runDebugWindow(w, [&](TForm_Debug *window) {
            LongTextEdit *memo = window->DebugMemo;
            seen.check(window->windowTitle() == "Debug", "caption");
            seen.check(window->size() == QSize(258, 538), "size");
            seen.check(memo->geometry() == QRect(-2, 0, 260, 540), "text box");
            // The chart of this small screen is lower than the window: the caption stays on it.
            seen.check(w->EcranP->height() < window->height() && window->y() == 0,
                       "caption on the screen");
            QByteArray bytes;
            for (int i = 0; i < 1000; ++i)
                bytes += char(i % 256);
            port.send(bytes); // less than the port's 1024-byte input queue
            seen.check(QTest::qWaitFor([&] { return memo->length() == 4000; }, 20000),
                       [&] { return "all bytes: " + QString::number(memo->length()); });
            seen.check(memo->firstVisibleLine() > 0, "scrolled to the latest bytes");
            seen.check(memo->rect().contains(memo->caretRect()), "caret in view");
            shot = window->grab().toImage();
            window->resize(400, 300);
            seen.check(memo->geometry() == QRect(-2, 0, 402, 302), "follows the size");
            seen.check(memo->rect().contains(memo->caretRect()), "caret in view after resize");
        });
        QVERIFY2(seen.failures.isEmpty(), qPrintable(seen.failures.join("; ")));
        QCOMPARE(shot.pixel(shot.width() - 10, 300), colourFromBgr(0xD7FFAE).rgb());
        int dark = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                dark += qGray(shot.pixel(x, y)) < 100;
        QVERIFY(dark > 2000); // the digits are drawn
    }

    // A few seconds of the receiver emulator's bytes. Set ZEPHUL_SCREENSHOT_DIR to keep the
    // picture.
    void screenshotWithTheEmulator()
    {
        ScriptedUserDialogs dialogs;
        QProcess emulator;
        emulator.setProcessChannelMode(QProcess::MergedChannels);
        const QString alias = QStringLiteral("tst-debug-%1").arg(::getpid());
        emulator.start(
            QStringLiteral(ZEPHUL_EMULATOR),
            { QStringLiteral("--alias"), alias, QStringLiteral("--speed"), QStringLiteral("8") });
        QVERIFY(emulator.waitForStarted());
        QString log;
        QString name;
        const QRegularExpression portLine(QStringLiteral(" port (\\S+) "));
        QTRY_VERIFY_WITH_TIMEOUT((log += QString::fromLatin1(emulator.readAll()),
                                  name = portLine.match(log).captured(1), !name.isEmpty()),
                                 10000);
        const auto windows = open();
        TZephulF *w = windows->ZephulF();
        QVERIFY(choose(w, name));
        Seen seen;
        QImage shot;
        runDebugWindow(w, [&](TForm_Debug *window) {
            seen.check(QTest::qWaitFor([&] { return window->DebugMemo->length() > 1800; }, 30000),
                       "emulator bytes");
            seen.check(window->DebugMemo->text().contains("255 "), "frame starts");
            shot = window->grab().toImage();
        });
        QVERIFY2(seen.failures.isEmpty(), qPrintable(seen.failures.join("; ")));
        const QString dir = qEnvironmentVariable("ZEPHUL_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(shot.save(dir + QStringLiteral("/debug-window.png")));
        emulator.terminate();
        QVERIFY(emulator.waitForFinished(10000));
    }
};

QTEST_MAIN(TestDebugWindow)
#include "tst_debug_window.moc"
