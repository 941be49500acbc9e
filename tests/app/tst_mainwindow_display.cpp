#include "chronotext.h"
#include "colour.h"
#include "eventhook.h"
#include "imageview.h"
#include "manualflightclock.h"
#include "scripteduserdialogs.h"
#include "tzephulf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// A main window of a given outer size, laid out, with the mode chooser kept away.
std::unique_ptr<TZephulF> makeWindow(const QString &settings, int width, int height,
                                     FlightMode mode = FlightMode::BALLON, bool show = false)
{
    auto w = std::make_unique<TZephulF>(settings);
    w->Timer_APropos->stop();
    w->flightMode = mode;
    w->setOuterSize(QSize(width, height));
    if (show) {
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
    }
    w->FormResize();
    return w;
}

QRgb chartPixel(const TZephulF &w, int x, int y)
{
    return w.Chart.image().pixel(x, y);
}

QRgb chartBackground()
{
    return colourFromBgr(StripChart::DefaultBackground).rgb();
}

} // namespace

class TestMainWindowDisplay : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString settings() const { return m_dir.filePath("zephul.ini"); }

private slots:
    void init() { QFile::remove(settings()); }

    void layoutOnResize_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("rocket");
        QTest::addColumn<int>("visible");
        QTest::addColumn<QString>("lastCaption");
        QTest::newRow("1024 balloon") << 1024 << false << 6 << "30 mn";
        QTest::newRow("1024 rocket") << 1024 << true << 7 << "70 s";
        QTest::newRow("1920 balloon") << 1920 << false << 12 << "55 mn";
        QTest::newRow("1920 rocket") << 1920 << true << 15 << "110 s";
    }
    void layoutOnResize()
    {
        QFETCH(int, width);
        QFETCH(bool, rocket);
        QFETCH(int, visible);
        QFETCH(QString, lastCaption);
        ScriptedUserDialogs dialogs;
        const auto w
            = makeWindow(settings(), width, 738, rocket ? FlightMode::FUSEE : FlightMode::BALLON);
        QCOMPARE(w->EcranP->geometry(), QRect(30, 10, width - 70, 503));
        QCOMPARE(w->VisibleTimeTicks, visible);
        const int shown = std::min(visible, 11);
        const int P = rocket ? 120 : 150;
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(w->TimeTicks[i]->isHidden(), i > shown);
            QCOMPARE(w->TimeTickLabels[i]->isHidden(), i > shown);
            if (i <= shown)
                QCOMPARE(w->TimeTicks[i]->geometry(), QRect(30 + i * P, 738 - 224, 2, 8));
        }
        QCOMPARE(w->TimeTickLabels[shown]->text(), lastCaption);
        QCOMPARE(w->TimeTickLabels[shown]->pos(), QPoint(12 + shown * P, 738 - 211));
        // The 0 V tick on the chart's last row; the chart image as high as its panel.
        QCOMPARE(w->LevelTicks[5]->y(), 10 + 503 - 1);
        QCOMPARE(w->LevelTicks[1]->y(), qRound(503 / 5.0) + 10);
        QCOMPARE(w->LevelTickLabels[0]->text(), QString("5"));
        QVERIFY(!w->LevelTicks[0]->isHidden());
        QCOMPARE(w->Image->geometry(), QRect(0, 0, 15000, 503));
        QCOMPARE(w->Chart.ChartBaseY(), 503);
        QCOMPARE(w->CurseurSB->maximum(), 15000 - (width - 70));
        QCOMPARE(w->CurseurSB->width(), width - 70);
        QCOMPARE(w->VoiesP->pos(), QPoint(width / 2 - 350, 738 - 162));
        QCOMPARE(w->InstrumentsP->pos(), QPoint(width / 2 - 350, 738 - 114));
    }

    // The scroll handler moves the image and relabels the ticks in use, nothing beyond.
    void scrollRelabels()
    {
        ScriptedUserDialogs dialogs;
        const auto w = makeWindow(settings(), 1024, 738);
        const QString hiddenCaption = w->TimeTickLabels[7]->text();
        w->CurseurSB->setValue(1800);
        QCOMPARE(w->Image->x(), -1800);
        QCOMPARE(w->TimeTickLabels[0]->text(), QString("1h 0mn"));
        QCOMPARE(w->TimeTickLabels[0]->x(), 10);
        QCOMPARE(w->TimeTickLabels[6]->text(), QString("1h 30mn"));
        QCOMPARE(w->TimeTickLabels[7]->text(), hiddenCaption);
        // A resize clears the chart and puts the image back at the start.
        w->FormResize();
        QCOMPARE(w->Image->x(), 0);
    }

    void plottingEntryPoints()
    {
        ScriptedUserDialogs dialogs;
        const auto w = makeWindow(settings(), 1024, 550); // the smallest window
        QCOMPARE(w->Chart.ChartBaseY(), 315);
        w->Chart.setPlotX(StripChart::balloonPlotX(20));
        w->plotChannel(2, 100);
        w->endChartFrame();
        const int y = 315 - qRound(100 * 315 / 255.0);
        QCOMPARE(chartPixel(*w, 10, y), colourFromBgr(0x0000FF).rgb()); // channel 2 is red
        QCOMPARE(chartPixel(*w, 11, y), chartBackground());
        QCOMPARE(w->Chart.PlotPrevX(), 11);
    }

    void clockText()
    {
        ScriptedUserDialogs dialogs;
        const auto w = makeWindow(settings(), 1024, 738);
        QCOMPARE(w->Label_Horloge->text(), QString("14:35:40"));
        w->HorlogeTTimer();
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$")
                    .match(w->Label_Horloge->text())
                    .hasMatch());
    }

    // The reset sets back the chronometer, the chart, the frame counter and the battery box,
    // and leaves the statistics and the sample store alone.
    void resetByDoubleClick()
    {
        ScriptedUserDialogs dialogs;
        ManualFlightClock clock(1000);
        const auto w = makeWindow(settings(), 1024, 738, FlightMode::BALLON, true);
        QVERIFY(w);
        w->setFlightClock(clock);
        w->ChronoPending = true;
        w->startChronometer();
        QCOMPARE(w->Label_Chrono->text(), QString("00:00:00"));
        QVERIFY(w->ChronoI->isEnabled());
        QVERIFY(!w->ChronoPending);

        w->Chart.setPlotX(50);
        w->plotChannel(1, 128);
        w->endChartFrame();
        w->AcceptedFrameCount = 12;
        w->NbTramesL->setText("12");
        w->BatteryCurveDivider = 7;
        w->Battery.addBalloonPoint(9.0);
        w->Battery.addBalloonPoint(9.0);
        w->TxVolL->setText("87.5");
        const std::uint8_t data[9] = {};
        w->Samples->store(1, data, 42);
        w->CurseurSB->setValue(300);
        clock.advance(50000);
        w->refreshChrono();
        QCOMPARE(w->Label_Chrono->text(), QString("00:00:50"));

        QTest::mouseDClick(w->ChronoI, Qt::LeftButton);
        QCOMPARE(w->Label_Chrono->text(), QString("00:00:00 "));
        QCOMPARE(chartPixel(*w, 49, w->Chart.rowOf(128)), chartBackground());
        QCOMPARE(w->Image->x(), 0);
        QCOMPARE(w->CurseurSB->value(), 0);
        QCOMPARE(w->Channels.channel(1).PrevSample, -1);
        QCOMPARE(w->AcceptedFrameCount, 0);
        QCOMPARE(w->NbTramesL->text(), QString("0"));
        QCOMPARE(w->BatteryCurveDivider, 0);
        QVERIFY(!w->Battery.BatteryCurveStarted());
        QCOMPARE(w->Battery.image().pixel(1, 12), BatteryCurve::Background);
        QCOMPARE(w->TxVolL->text(), QString("87.5"));
        QCOMPARE(w->Samples->slotTime(1), 42);

        clock.advance(3723000);
        w->refreshChrono();
        QCOMPARE(w->Label_Chrono->text(), QString("01:02:03"));
        QVERIFY(TChronoThread::isActive(w->ActiveChrono));
    }

    // Before the first good frame and after "Arrêter" the icon is disabled: nothing happens.
    void doubleClickWhileIdle()
    {
        ScriptedUserDialogs dialogs;
        ManualFlightClock clock;
        const auto w = makeWindow(settings(), 1024, 738, FlightMode::FUSEE, true);
        QVERIFY(w);
        w->setFlightClock(clock);
        w->Chart.setPlotX(100);
        w->plotChannel(3, 200);
        w->endChartFrame();
        const QRgb drawn = chartPixel(*w, 95, w->Chart.rowOf(200));
        QVERIFY(drawn != chartBackground());
        w->AcceptedFrameCount = 3;
        QTest::mouseDClick(w->ChronoI, Qt::LeftButton);
        QCOMPARE(chartPixel(*w, 95, w->Chart.rowOf(200)), drawn);
        QCOMPARE(w->AcceptedFrameCount, 3);

        w->startChronometer();
        clock.set(4321);
        w->stopChronometer();
        QCOMPARE(w->Label_Chrono->text(), QString("00:04.321"));
        QVERIFY(!w->ChronoI->isEnabled());
        QTest::mouseDClick(w->ChronoI, Qt::LeftButton);
        clock.set(9000);
        w->refreshChrono();
        QCOMPARE(w->Label_Chrono->text(), QString("00:04.321"));
        QCOMPARE(w->AcceptedFrameCount, 3);
        QTRY_VERIFY(w->ActiveChrono.isNull());
    }

    // While a chronometer runs, the clock keeps the time and changes in the chronometer's
    // repaints instead of one of its own; once it stops, the clock goes on by itself.
    void clockChangesWithTheChronometer_data()
    {
        QTest::addColumn<FlightMode>("mode");
        QTest::newRow("BALLON") << FlightMode::BALLON;
        QTest::newRow("FUSEE") << FlightMode::FUSEE;
    }
    void clockChangesWithTheChronometer()
    {
        QFETCH(FlightMode, mode);
        ScriptedUserDialogs dialogs;
        const auto w = makeWindow(settings(), 1024, 738, mode, true);
        QVERIFY(w);
        QElapsedTimer since;
        since.start();
        std::vector<qint64> clockPaints, chronoPaints;
        EventHook::install(w->Label_Horloge, QEvent::Paint,
                           [&](QEvent *) { clockPaints.push_back(since.elapsed()); });
        EventHook::install(w->Label_Chrono, QEvent::Paint,
                           [&](QEvent *) { chronoPaints.push_back(since.elapsed()); });
        w->startChronometer();
        QTest::qWait(3500);
        const QString now = ChronoText::clockText(QTime::currentTime());
        const QString shown = w->Label_Horloge->text();
        QVERIFY2(shown == now || shown == ChronoText::clockText(QTime::currentTime().addSecs(-1)),
                 qPrintable(shown + " at " + now));
        QVERIFY(clockPaints.size() >= 3);
        // A busy machine may once be late enough for the clock's own tick to come first.
        int alone = 0;
        for (const qint64 at : clockPaints) {
            const bool withChrono = std::any_of(chronoPaints.begin(), chronoPaints.end(),
                                                [at](qint64 c) { return std::abs(c - at) <= 20; });
            alone += !withChrono;
        }
        QVERIFY2(alone <= 1, qPrintable(QString::number(alone)));

        w->stopChronometer();
        QTRY_VERIFY(w->ActiveChrono.isNull());
        const QString before = w->Label_Horloge->text();
        QTRY_VERIFY_WITH_TIMEOUT(w->Label_Horloge->text() != before, 3000);
    }

    // An active window has no caret blinking in a channel name: nothing there repaints until
    // the user goes to a name, with the mouse or with Tab, and after Return.
    void noCaretUntilTheUserGoesToAName()
    {
        ScriptedUserDialogs dialogs;
        const auto w = makeWindow(settings(), 1024, 738, FlightMode::BALLON, true);
        QVERIFY(w);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        int namePaints = 0;
        for (int n = 0; n < 8; ++n)
            EventHook::install(w->Channels.channel(n + 1).NameEdit, QEvent::Paint,
                               [&](QEvent *) { ++namePaints; });
        QTest::qWait(1300);
        QVERIFY(!qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        QCOMPARE(namePaints, 0);

        QTest::keyClick(w.get(), Qt::Key_Tab);
        QTRY_VERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        // Return ends the edit, which keeps what was typed.
        auto *edit = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("Pression"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        QCOMPARE(edit->text(), QStringLiteral("Pression"));
    }

    // Closing the window or "Quitter" never leaves the chronometer running while the windows
    // are destroyed.
    void chronometerEndsWithTheWindow_data()
    {
        QTest::addColumn<bool>("quitter");
        QTest::newRow("close box") << false;
        QTest::newRow("Quitter") << true;
    }
    void chronometerEndsWithTheWindow()
    {
        QFETCH(bool, quitter);
        ScriptedUserDialogs dialogs;
        auto w = makeWindow(settings(), 1024, 738, FlightMode::FUSEE, true);
        QVERIFY(w);
        w->startChronometer();
        QPointer<TChronoThread> chrono = w->ActiveChrono;
        QVERIFY(TChronoThread::isActive(chrono));
        if (quitter) {
            // From inside the event loop, as the operator's click would come.
            QTimer::singleShot(0, w.get(), [&w] { w->QuitterM->trigger(); });
            QCOMPARE(QApplication::exec(), 0);
            QVERIFY(!TChronoThread::isActive(chrono));
            QVERIFY(!QFile::exists(settings())); // "Quitter" does not save the settings
        } else {
            QVERIFY(w->close());
            QVERIFY(!TChronoThread::isActive(chrono));
        }
        w.reset();
        QVERIFY(chrono.isNull());
    }

    // A synthetic balloon flight on the chart, grabbed as the operator would see it. Set
    // ZEPHUL_SCREENSHOT_DIR to keep the picture.
    void screenshotWithChart()
    {
        ScriptedUserDialogs dialogs;
        ManualFlightClock clock;
        const auto w = makeWindow(settings(), 1280, 800, FlightMode::BALLON, true);
        QVERIFY(w);
        w->setFlightClock(clock);
        w->startChronometer();
        for (int frame = 1; frame <= 1000; ++frame) {
            const int seconds = frame * 177 / 100; // a frame every 1.77 s
            w->Chart.setPlotX(StripChart::balloonPlotX(seconds));
            for (int n = 1; n <= 8; ++n) {
                const double phase = seconds / (120.0 + 40 * n) + n;
                w->plotChannel(n, int(128 + (100 - 10 * n) * std::sin(phase)));
            }
            w->endChartFrame();
            if (frame % 12 == 0) // fewer points than the box holds, so it does not wrap
                w->Battery.addBalloonPoint(9.5 - seconds / 600.0);
        }
        w->showBatteryCurve();
        w->AcceptedFrameCount = 1000;
        w->NbTramesL->setText("1000");
        clock.set(1770000);
        w->refreshChrono();
        w->HorlogeTTimer();
        const QImage shot = w->grab().toImage();
        const QString dir = qEnvironmentVariable("ZEPHUL_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(shot.save(dir + "/mainwindow-chart.png"));
        // Channel 1 (blue) shows inside the chart panel.
        const QPoint chart = w->EcranP->mapTo(w.get(), QPoint(0, 0));
        int blue = 0;
        for (int x = 0; x < 880; ++x)
            for (int y = 0; y < w->EcranP->height(); y += 2)
                blue += shot.pixel(chart + QPoint(x, y)) == qRgb(0, 0, 255);
        QVERIFY(blue > 100);
        w->close();
    }
};

QTEST_MAIN(TestMainWindowDisplay)
#include "tst_mainwindow_display.moc"
