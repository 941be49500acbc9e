#include "colour.h"
#include "imageview.h"
#include "inifile.h"
#include "manualflightclock.h"
#include "receiverport.h"
#include "recordlines.h"
#include "scripteduserdialogs.h"
#include "tcomdatapacket.h"
#include "tcomport.h"
#include "zephulwindows.h"

#include <QAction>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <memory>

// The chart cursor and the channel settings through the real main window, with synthetic
// mouse events on the chart image, its scroll bar and the colour boxes.

namespace {

// A frame as it goes on the line: 0xFF, channels 8 down to 1, battery, check byte.
QByteArray lineFrame(const std::array<int, 8> &channels, int battery = 130)
{
    QByteArray f(11, '\0');
    f[0] = char(0xFF);
    int sum = battery;
    for (int n = 1; n <= 8; ++n) {
        f[1 + 8 - n] = char(channels[n - 1]);
        sum += channels[n - 1];
    }
    f[9] = char(battery);
    f[10] = char((sum % 256) / 2);
    return f;
}

QRgb rgbOf(std::uint32_t bgr)
{
    return colourFromBgr(bgr).rgb();
}

bool columnHas(const QImage &image, int x, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == colour)
            return true;
    return false;
}

// The mouse on the chart image, followed in screen coordinates: every event goes to the image,
// as the window system sends them to the widget that took the press.
class ChartMouse
{
public:
    explicit ChartMouse(TZephulF *w)
        : m_image(w->Image)
    { }

    // imagePoint is in chart image coordinates (chart x, row).
    void press(QPoint imagePoint, Qt::MouseButton button = Qt::LeftButton)
    {
        m_screen = m_image->mapToGlobal(imagePoint);
        QTest::mousePress(m_image, button, {}, imagePoint);
    }
    void moveBy(int dx)
    {
        m_screen += QPoint(dx, 0);
        QTest::mouseMove(m_image, m_image->mapFromGlobal(m_screen));
    }
    void release(Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseRelease(m_image, button, {}, m_image->mapFromGlobal(m_screen));
    }
    // The events of a double-click: press, release, double-click, release.
    void doubleClick(QPoint imagePoint)
    {
        press(imagePoint);
        release();
        QTest::mouseDClick(m_image, Qt::LeftButton, {}, imagePoint);
        release();
    }

private:
    QWidget *m_image;
    QPoint m_screen;
};

} // namespace

class TestChartCursor : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ManualFlightClock m_clock { 5'000'000 };

    QString settingsPath() const { return m_dir.filePath("zephul.ini"); }
    QString recordPath() const { return m_dir.filePath("vol.txt"); }

    // The five windows in the given mode, shown at 1024 x 739 (a chart panel about 950 x 500),
    // the mode chooser kept away.
    std::unique_ptr<ZephulWindows> open(FlightMode mode = FlightMode::BALLON)
    {
        auto windows = std::make_unique<ZephulWindows>(settingsPath());
        TZephulF *w = windows->ZephulF();
        w->Timer_APropos->stop();
        w->flightMode = mode;
        w->setFlightClock(m_clock);
        w->setOuterSize(QSize(1024, 739));
        w->show();
        if (!QTest::qWaitForWindowExposed(w))
            return nullptr;
        w->FormResize();
        return windows;
    }

    // Port chosen, a new record file and "&Démarrer"; the repeat lock is released by the test.
    bool startReception(TZephulF *w, ReceiverPort &port, ScriptedUserDialogs &dialogs)
    {
        for (QAction *item : w->PortItems)
            if (item->text() == port.name())
                item->trigger();
        if (!w->ComPort->Connected())
            return false;
        dialogs.answerFile(m_dir.filePath(QStringLiteral("vol")));
        w->NouvFichierM->trigger();
        w->DemarrerM->trigger();
        w->Timer_Paquet->setInterval(24 * 3600 * 1000);
        return w->ArreterM->isEnabled();
    }

    // One frame on the line, `seconds` of flight time after the previous one; waits until the
    // decoder has accepted it.
    bool deliver(TZephulF *w, ReceiverPort &port, const QByteArray &frame, int seconds)
    {
        m_clock.advance(seconds * 1000);
        w->Timer_PaquetTimer(); // the repeat lock is over
        const int expected = w->AcceptedFrameCount + 1;
        port.send(frame);
        return QTest::qWaitFor([&] { return w->AcceptedFrameCount >= expected; }, 10000)
            && w->AcceptedFrameCount == expected;
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        QFile::remove(settingsPath());
        QFile::remove(recordPath());
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // A press shows the time and voltage of the point, wherever the chart is scrolled.
    void readoutsOnPress_data()
    {
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<int>("scroll");
        QTest::addColumn<int>("x"); // chart image x
        QTest::addColumn<bool>("halfHeight"); // else the top row
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("volts");
        QTest::newRow("balloon x 125, top row") << false << 0 << 125 << false << "4 mn 10 s"
                                                << "5,00 V";
        QTest::newRow("rocket x 13, half height") << true << 0 << 13 << true << "1 s,83"
                                                  << "2,50 V";
        QTest::newRow("balloon scrolled past an hour")
            << false << 1800 << 1862 << true << "1 h 2 mn 4 s"
            << "2,50 V";
        QTest::newRow("rocket scrolled past a minute")
            << true << 1800 << 2000 << false << "2 mn 46 s,667"
            << "5,00 V";
    }
    void readoutsOnPress()
    {
        QFETCH(bool, rocket);
        QFETCH(int, scroll);
        QFETCH(int, x);
        QFETCH(bool, halfHeight);
        QFETCH(QString, time);
        QFETCH(QString, volts);
        ScriptedUserDialogs dialogs;
        const auto windows = open(rocket ? FlightMode::FUSEE : FlightMode::BALLON);
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        QCOMPARE(w->Chart.height() % 2, 0); // half height is a row
        const QPoint at(x, halfHeight ? w->Chart.height() / 2 : 0);
        w->CurseurSB->setValue(scroll);
        ChartMouse mouse(w);
        mouse.press(at);
        QCOMPARE(w->TempsExactL->text(), time);
        QCOMPARE(w->TensionL->text(), volts);
        QVERIFY(w->TempsExactL->width() >= w->TempsExactL->sizeHint().width()); // not cut off
        mouse.release();
        QVERIFY(!w->Cursor->ChartDragging);
        // Other buttons measure nothing; the read-outs keep the last measurement.
        mouse.press(QPoint(scroll + 500, 10), Qt::RightButton);
        mouse.release(Qt::RightButton);
        QCOMPARE(w->TempsExactL->text(), time);
        QCOMPARE(w->TensionL->text(), volts);
        QVERIFY(dialogs.asked().isEmpty());
    }

    // Dragging the chart to the left by 1800 px: the image and the scroll bar move together and
    // the time axis follows; balloon labels past an hour move 2 px to the left.
    void dragRelabelsTheTimeAxis_data()
    {
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<QStringList>("captions"); // ticks 0, 1, 6
        QTest::addColumn<QList<int>>("lefts");
        QTest::newRow("balloon") << false << QStringList { "1h 0mn", "1h 5mn", "1h 30mn" }
                                 << QList<int> { 10, 160, 910 };
        QTest::newRow("rocket") << true << QStringList { "150 s", "160 s", "210 s" }
                                << QList<int> { 12, 132, 732 };
    }
    void dragRelabelsTheTimeAxis()
    {
        QFETCH(bool, rocket);
        QFETCH(QStringList, captions);
        QFETCH(QList<int>, lefts);
        ScriptedUserDialogs dialogs;
        const auto windows = open(rocket ? FlightMode::FUSEE : FlightMode::BALLON);
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        const QString hiddenCaption = w->TimeTickLabels[8]->text();
        ChartMouse mouse(w);
        mouse.press(QPoint(900, 200));
        QVERIFY(w->Cursor->ChartDragging);
        mouse.moveBy(-700);
        QCOMPARE(w->Image->x(), -700);
        QCOMPARE(w->CurseurSB->value(), 700);
        mouse.moveBy(-1100);
        QCOMPARE(w->Image->x(), -1800);
        QCOMPARE(w->CurseurSB->value(), 1800);
        const int ticks[] = { 0, 1, 6 };
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(w->TimeTickLabels[ticks[k]]->text(), captions[k]);
            QCOMPARE(w->TimeTickLabels[ticks[k]]->x(), lefts[k]);
        }
        // Back to the start: the captions of the start again, each label back in its place.
        mouse.moveBy(1800);
        mouse.release();
        QCOMPARE(w->Image->x(), 0);
        QCOMPARE(w->CurseurSB->value(), 0);
        const int P = rocket ? 120 : 150;
        for (int i = 0; i <= 6; ++i) {
            QCOMPARE(w->TimeTickLabels[i]->text(),
                     rocket ? QStringLiteral("%1 s").arg(i * 10)
                            : QStringLiteral("%1 mn").arg(i * 5));
            QCOMPARE(w->TimeTickLabels[i]->x(), 12 + i * P);
        }
        // Hidden ticks are left alone.
        QVERIFY(w->TimeTickLabels[8]->isHidden());
        QCOMPARE(w->TimeTickLabels[8]->text(), hiddenCaption);
        // After the release the mouse moves the chart no more.
        mouse.moveBy(-300);
        QCOMPARE(w->Image->x(), 0);
    }

    // Positions: "start" (0), "end" (the scroll bar's maximum, 15000 less the panel's width),
    // "end-100", or a number of pixels.
    void dragAtTheEnds_data()
    {
        QTest::addColumn<QString>("scrollFirst");
        QTest::addColumn<int>("dx");
        QTest::addColumn<QString>("scrolledBy"); // minus the image's left after the move
        QTest::addColumn<QString>("scrollValue");
        // The start is pinned: the drag stops and the chart stays at its start.
        QTest::newRow("right at the start") << "start" << 50 << "start"
                                            << "start";
        QTest::newRow("right past the start") << "300" << 500 << "start"
                                              << "start";
        // Past the far end the scroll bar, which keeps within its range, puts the image back
        // at the end when its position moves...
        QTest::newRow("left past the end") << "start" << -20000 << "end"
                                           << "end";
        // ... and leaves it where the mouse took it when the position was at the end already.
        QTest::newRow("left at the end") << "end" << -100 << "end+100"
                                         << "end";
    }
    void dragAtTheEnds()
    {
        QFETCH(QString, scrollFirst);
        QFETCH(int, dx);
        QFETCH(QString, scrolledBy);
        QFETCH(QString, scrollValue);
        ScriptedUserDialogs dialogs;
        const auto windows = open();
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        const int end = w->CurseurSB->maximum();
        QCOMPARE(end, 15000 - w->EcranP->width());
        const auto position = [end](const QString &p) {
            if (p == "start")
                return 0;
            if (p.startsWith("end"))
                return end + p.mid(3).toInt();
            return p.toInt();
        };
        w->CurseurSB->setValue(position(scrollFirst));
        ChartMouse mouse(w);
        mouse.press(QPoint(position(scrollFirst) + 400, 100));
        mouse.moveBy(dx);
        QVERIFY(!w->Cursor->ChartDragging);
        QCOMPARE(w->Image->x(), -position(scrolledBy));
        QCOMPARE(w->CurseurSB->value(), position(scrollValue));
        // The drag is over: further moves with the button still down do nothing.
        mouse.moveBy(dx > 0 ? -200 : 200);
        QCOMPARE(w->Image->x(), -position(scrolledBy));
        QCOMPARE(w->CurseurSB->value(), position(scrollValue));
        mouse.release();
    }

    // The scroll bar moves the image too.
    void scrollBarMovesTheImage()
    {
        ScriptedUserDialogs dialogs;
        const auto windows = open(FlightMode::FUSEE);
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        w->CurseurSB->setFocus();
        QTest::keyClick(w->CurseurSB, Qt::Key_End);
        const int end = 15000 - w->EcranP->width();
        QCOMPARE(w->CurseurSB->value(), end);
        QCOMPARE(w->Image->x(), -end);
        // Twelve pixels a second: the first tick is at the scroll position.
        QCOMPARE(w->TimeTickLabels[0]->text(), QStringLiteral("%1 s").arg(end / 12));
        QTest::keyClick(w->CurseurSB, Qt::Key_Home);
        QCOMPARE(w->Image->x(), 0);
        QCOMPARE(w->TimeTickLabels[0]->text(), QStringLiteral("0 s"));
    }

    // The background colour: a double-click when idle. A confirmed colour erases the chart and
    // stays for the next start; a resize sets the usual colour back.
    void backgroundColour_data()
    {
        QTest::addColumn<QString>("answer"); // "confirm", "cancel", "fail"
        QTest::newRow("confirmed") << "confirm";
        QTest::newRow("cancelled") << "cancel";
        QTest::newRow("dialog fails") << "fail";
    }
    void backgroundColour()
    {
        QFETCH(QString, answer);
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        for (const int x : { 90, 100 }) {
            w->Chart.setPlotX(x);
            w->plotChannel(1, 128);
            w->endChartFrame();
        }
        const QPoint drawn(95, w->Chart.rowOf(128));
        const QRgb blue = rgbOf(0xFF0000);
        QCOMPARE(w->Chart.image().pixel(drawn), blue);

        const QColor chosen(40, 60, 80);
        if (answer == "confirm")
            dialogs.answerColour(chosen);
        else if (answer == "fail")
            dialogs.failColour();
        ChartMouse mouse(w);
        mouse.doubleClick(QPoint(125, 0));
        QCOMPARE(dialogs.asked().size(), answer == "fail" ? 2 : 1);
        QCOMPARE(dialogs.asked().first().kind, QStringLiteral("colour"));
        QCOMPARE(dialogs.asked().first().text, colourFromBgr(0xFFFFD9).name());
        // The double-click is a press as well.
        QCOMPARE(w->TempsExactL->text(), QStringLiteral("4 mn 10 s"));
        QCOMPARE(w->TensionL->text(), QStringLiteral("5,00 V"));
        QVERIFY(!w->Cursor->ChartDragging);
        if (answer == "fail") {
            QCOMPARE(dialogs.messages(), QStringList { QStringLiteral("Couleur non chargée") });
            QCOMPARE(dialogs.asked().at(1).text, QStringLiteral("Couleur non chargée"));
        } else {
            QVERIFY(dialogs.messages().isEmpty());
        }
        QVERIFY(dialogs.errors().isEmpty());
        if (answer != "confirm") {
            QCOMPARE(w->Chart.ChartBackground(), StripChart::DefaultBackground);
            QCOMPARE(w->Chart.image().pixel(drawn), blue);
            return;
        }
        QCOMPARE(w->Chart.ChartBackground(), bgrFromColour(chosen));
        QCOMPARE(w->Chart.image().pixel(drawn), chosen.rgb());
        QCOMPARE(w->Chart.image().pixel(14999, w->Chart.height() - 1), chosen.rgb());
        QVERIFY(w->grab().toImage().pixel(w->EcranP->mapTo(w, QPoint(300, 300))) == chosen.rgb());

        // The next start clears the chart with it, and so does the chronometer's reset.
        QVERIFY(startReception(w, port, dialogs));
        QVERIFY(deliver(w, port, lineFrame({ 200, 0, 0, 0, 0, 0, 0, 0 }), 10));
        QCOMPARE(w->Chart.image().pixel(3, 300), chosen.rgb());
        QTest::mouseDClick(w->ChronoI, Qt::LeftButton);
        QTest::mouseRelease(w->ChronoI, Qt::LeftButton);
        QCOMPARE(w->Chart.image().pixel(drawn), chosen.rgb());
        w->ArreterM->trigger();
        // A resize brings the usual background back.
        w->setOuterSize(QSize(1100, 739));
        QTRY_COMPARE(w->Chart.ChartBackground(), StripChart::DefaultBackground);
        QCOMPARE(w->Chart.image().pixel(drawn), rgbOf(StripChart::DefaultBackground));
    }

    // While receiving a double-click only measures: no dialog, the curves stay.
    void doubleClickWhileReceiving()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        QVERIFY(startReception(w, port, dialogs));
        QVERIFY(deliver(w, port, lineFrame({ 255, 0, 0, 0, 0, 0, 0, 0 }), 0));
        QVERIFY(deliver(w, port, lineFrame({ 255, 0, 0, 0, 0, 0, 0, 0 }), 60));
        const QRgb drawn = w->Chart.image().pixel(10, 0);
        QCOMPARE(drawn, rgbOf(0xFF0000));
        dialogs.clear();
        dialogs.answerColour(QColor(Qt::black));
        ChartMouse mouse(w);
        mouse.doubleClick(QPoint(13, w->Chart.height() / 2));
        QVERIFY(dialogs.asked().isEmpty());
        QCOMPARE(w->TempsExactL->text(), QStringLiteral("0 mn 26 s"));
        QCOMPARE(w->TensionL->text(), QStringLiteral("2,50 V"));
        QCOMPARE(w->Chart.image().pixel(10, 0), drawn);
        QCOMPARE(w->Chart.ChartBackground(), StripChart::DefaultBackground);
        w->ArreterM->trigger();
    }

    // A channel's colour box, released with the left button: later segments and the saved
    // colour take the confirmed colour.
    void channelColour_data()
    {
        QTest::addColumn<QString>("answer"); // "confirm", "cancel", "fail", "right button"
        QTest::addColumn<bool>("receiving");
        QTest::newRow("confirmed") << "confirm" << false;
        QTest::newRow("confirmed while receiving") << "confirm" << true;
        QTest::newRow("cancelled") << "cancel" << false;
        QTest::newRow("dialog fails") << "fail" << false;
        QTest::newRow("right button") << "right button" << false;
    }
    void channelColour()
    {
        QFETCH(QString, answer);
        QFETCH(bool, receiving);
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        auto windows = open();
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        const int n = 5;
        const std::uint32_t before = ChannelTable::defaultColour(n); // purple
        if (receiving) {
            QVERIFY(startReception(w, port, dialogs));
            QVERIFY(deliver(w, port, lineFrame({ 0, 0, 0, 0, 128, 0, 0, 0 }), 0));
            QVERIFY(deliver(w, port, lineFrame({ 0, 0, 0, 0, 128, 0, 0, 0 }), 20));
        } else {
            for (const int x : { 1, 11 }) {
                w->Chart.setPlotX(x);
                w->plotChannel(n, 128);
                w->endChartFrame();
            }
        }
        const int row = w->Chart.rowOf(128);
        QCOMPARE(w->Chart.image().pixel(5, row), rgbOf(before));
        dialogs.clear();

        const QColor chosen(10, 200, 30);
        if (answer == "confirm")
            dialogs.answerColour(chosen);
        else if (answer == "fail")
            dialogs.failColour();
        QFrame *box = w->Channels.channel(n).ColourBox;
        QTest::mouseClick(box, answer == "right button" ? Qt::RightButton : Qt::LeftButton);
        if (answer == "right button") {
            QVERIFY(dialogs.asked().isEmpty());
        } else {
            QCOMPARE(dialogs.asked().first().kind, QStringLiteral("colour"));
            QCOMPARE(dialogs.asked().first().text, colourFromBgr(before).name());
        }
        QCOMPARE(dialogs.messages(),
                 answer == "fail" ? QStringList { QStringLiteral("Couleur non chargée") }
                                  : QStringList());
        const std::uint32_t after = answer == "confirm" ? bgrFromColour(chosen) : before;
        QCOMPARE(box->palette().color(QPalette::Window).rgb(), rgbOf(after));
        QCOMPARE(w->Channels.channel(n).Colour, after);
        QVERIFY(w->grab().toImage().pixel(box->mapTo(w, QPoint(7, 3))) == rgbOf(after));

        // The next segment is drawn in the box's colour; the one drawn before keeps its own.
        if (receiving) {
            QVERIFY(deliver(w, port, lineFrame({ 0, 0, 0, 0, 128, 0, 0, 0 }), 20));
        } else {
            w->Chart.setPlotX(21);
            w->plotChannel(n, 128);
            w->endChartFrame();
        }
        QCOMPARE(w->Chart.image().pixel(15, row), rgbOf(after));
        QCOMPARE(w->Chart.image().pixel(5, row), rgbOf(before));
        if (receiving)
            w->ArreterM->trigger();

        // Saved with the settings when the window is closed.
        QVERIFY(w->close());
        windows.reset();
        const IniFile ini(settingsPath());
        QCOMPARE(std::uint32_t(ini.readInteger(QStringLiteral("Couleur voie"),
                                               QStringLiteral("Voie_%1").arg(n), -1)),
                 after);
        QVERIFY(dialogs.errors().isEmpty());
    }

    // "&Voie 3" hides channel 3 while receiving: its strip controls go, its curve stops and the
    // record lines repeat its last value; a second click brings all back.
    void hidingAChannel()
    {
        ScriptedUserDialogs dialogs;
        ReceiverPort port;
        const auto windows = open();
        QVERIFY(windows);
        TZephulF *w = windows->ZephulF();
        ChannelTable::Entry &ch3 = w->Channels.channel(3);
        QAction *item = ch3.ChannelMenuItem;
        QCOMPARE(item->text(), QStringLiteral("&Voie 3"));
        const QList<QWidget *> controls { ch3.ColourBox, ch3.NameEdit, ch3.ValueLabel,
                                          ch3.UnitLabel };
        QVERIFY(startReception(w, port, dialogs));
        QVERIFY(deliver(w, port, lineFrame({ 0, 0, 100, 0, 0, 0, 0, 0 }), 0));
        QVERIFY(deliver(w, port, lineFrame({ 0, 0, 100, 0, 0, 0, 0, 0 }), 20)); // x 1 to 11

        item->trigger();
        QVERIFY(!ch3.Shown);
        QVERIFY(!item->isChecked());
        for (QWidget *c : controls)
            QVERIFY(c->isHidden());
        QVERIFY(w->Channels.channel(4).NameEdit->isVisible());
        QVERIFY(deliver(w, port, lineFrame({ 0, 0, 200, 0, 0, 0, 0, 0 }), 20)); // x 21
        const QRgb green = rgbOf(0x008000);
        QCOMPARE(w->Chart.image().pixel(5, w->Chart.rowOf(100)), green);
        QVERIFY(!columnHas(w->Chart.image(), 15, green));
        QCOMPARE(ch3.ValueLabel->text(), QStringLiteral("1,96"));

        item->trigger();
        QVERIFY(ch3.Shown);
        QVERIFY(item->isChecked());
        for (QWidget *c : controls)
            QVERIFY(c->isVisible());
        QVERIFY(deliver(w, port, lineFrame({ 0, 0, 200, 0, 0, 0, 0, 0 }), 20)); // x 31
        QCOMPARE(ch3.ValueLabel->text(), QStringLiteral("3,92"));
        // Drawn again, from its last point at the previous frame's x.
        QCOMPARE(w->Chart.image().pixel(21, w->Chart.rowOf(100)), green);
        QVERIFY(columnHas(w->Chart.image(), 30, green));
        w->ArreterM->trigger();

        const QStringList lines = RecordLines::data(recordPath());
        QCOMPARE(lines.size(), 4);
        const QStringList thirdColumn { lines[0].section(u';', 5, 5), lines[1].section(u';', 5, 5),
                                        lines[2].section(u';', 5, 5),
                                        lines[3].section(u';', 5, 5) };
        QCOMPARE(thirdColumn, (QStringList { "1,96", "1,96", "1,96", "3,92" }));
        QVERIFY(dialogs.errors().isEmpty());
    }

    // Two and a half hours of a synthetic balloon flight, dragged an hour on and measured on
    // channel 1's curve, as the operator sees it. Set ZEPHUL_SCREENSHOT_DIR to keep the picture.
    void screenshotOfAScrolledChart()
    {
        ScriptedUserDialogs dialogs;
        auto windows = std::make_unique<ZephulWindows>(settingsPath());
        TZephulF *w = windows->ZephulF();
        w->Timer_APropos->stop();
        w->setOuterSize(QSize(1280, 800));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->FormResize();
        for (int frame = 1; frame <= 5100; ++frame) {
            const int seconds = frame * 177 / 100; // a frame every 1.77 s
            w->Chart.setPlotX(StripChart::balloonPlotX(seconds));
            for (int n = 1; n <= 8; ++n) {
                const double phase = seconds / (300.0 + 90 * n) + n;
                const int level = int(128 + (100 - 10 * n) * std::sin(phase) - seconds / 200.0);
                w->plotChannel(n, std::clamp(level, 1, 254));
            }
            w->endChartFrame();
        }
        ChartMouse mouse(w);
        mouse.press(QPoint(900, 200));
        mouse.moveBy(-900);
        mouse.moveBy(-900);
        mouse.release();
        QCOMPARE(w->CurseurSB->value(), 1800);
        QCOMPARE(w->TimeTickLabels[0]->text(), QStringLiteral("1h 0mn"));
        const int x = 1800 + 420;
        int y = 0;
        while (y < w->Chart.height() && w->Chart.image().pixel(x, y) != rgbOf(0xFF0000))
            ++y;
        QVERIFY(y < w->Chart.height());
        mouse.press(QPoint(x, y));
        mouse.release();
        QCOMPARE(w->TempsExactL->text(), ChartCursor::BalloonDurationText(2 * x));
        QVERIFY(w->TensionL->text().endsWith(QStringLiteral(" V")));
        const QImage shot = w->grab().toImage();
        const QString dir = qEnvironmentVariable("ZEPHUL_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(shot.save(dir + QStringLiteral("/chart-scrolled.png")));
    }
};

QTEST_MAIN(TestChartCursor)
#include "tst_chart_cursor.moc"
