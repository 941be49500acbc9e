#pragma once

#include "batterycurve.h"
#include "channelsettings.h"
#include "channeltable.h"
#include "chartcursor.h"
#include "flightclock.h"
#include "flightmode.h"
#include "framedecoder.h"
#include "gauge.h"
#include "noticeline.h"
#include "receiverwatch.h"
#include "recordfile.h"
#include "recordfilechooser.h"
#include "samplestore.h"
#include "stripchart.h"
#include "tchronothread.h"
#include "tform_apropos.h"
#include "tform_changementfrequence.h"
#include "tform_debug.h"
#include "tform_scanner.h"

#include <QDate>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>

class QAction;
class QActionGroup;
class ImageView;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollBar;
class QTimer;
class TComDataPacket;
class TComPort;
class TForm_Debug;

// The main window: menus, chart, instrument strip, channel strip, timers and the program state
// that lives for the whole run. Components carry the names the operator's documentation uses.
// Every handler runs on the GUI thread inside the event guard.
class TZephulF : public QMainWindow
{
    Q_OBJECT

public:
    // The window caption starts with this, followed by " - Fichier : " and the record file.
    static const QString ProductBanner;

    // The settings file is "zephul.ini" beside the executable, or in the user's configuration
    // folder when the executable's cannot be written (SettingsLocation); tests give their own.
    explicit TZephulF(const QString &settingsPath = defaultSettingsPath(),
                      QWidget *parent = nullptr);
    ~TZephulF() override;

    static QString defaultSettingsPath();

    // The windows created after this one; they are children of this window and go with it.
    void setSideWindows(TForm_Scanner *scanner, TForm_APropos *aPropos,
                        TForm_ChangementFrequence *changementFrequence, TForm_Debug *debug);
    // What the mode chooser changes in this window.
    TForm_APropos::MainWindowParts modeChooserParts();
    // What the frequency-change window reads and changes in this window.
    TForm_ChangementFrequence::MainWindowParts frequencyWindowParts();
    // What the sweep window reads and changes in this window.
    TForm_Scanner::MainWindowParts scannerParts();

    // Handlers.
    void FormCreate();
    bool FormClose(); // false when the close must not complete
    void FormResize();
    void QuitterMClick();
    void Timer_AProposTimer();
    void AProposMClick();
    void HorlogeTTimer();
    void ChronoIDblClick();
    void CurseurSBChange();

    // Record file, reception control and receiver commands.
    void NouvFichierMClick();
    void OuvrirFichierMClick();
    void PortItemClick(QAction *item);
    void DemarrerMClick();
    void ArreterMClick();
    void N137050MHzClick();
    void N137500MHzClick();
    void ON1Click();
    void OFF1Click();
    // Writes "$HF" (on) or "$HM" (off) to the receiver.
    void SetLoudspeaker(bool on);
    // The receiver's port disappeared; the port has closed itself already.
    void ComPortDeviceLost();
    // The band sweep: the menu item, and the sweep window's start and answers.
    void Scanner1Click();
    void StartSweep();
    void ComPaquetScanPacket(TComDataPacket *sender, const QByteArray &packet);
    // The decoders' packet handlers: the frame without its 0xFF start byte (GUI thread, while
    // the serial event thread waits).
    void ComPaquetTuvoPacket(TComDataPacket *sender, const QByteArray &packet);
    void ComDataSoloPacket(TComDataPacket *sender, const QByteArray &packet);
    // The link statistics timers (Timer_Stat and Timer_StatSolo are also run by the decoders
    // on a loss).
    void Timer_PaquetTimer();
    void Timer_StatTimer();
    void Timer_StatSoloTimer();
    void Timer_DonneesTimer();

    // Chart, chronometer and battery box, for reception and the decoders (GUI thread).
    // Fills the whole chart with ChartBackground.
    void clearChart();
    // Draws channel n (1..8) of the frame being drawn (Chart.PlotX set by the caller) with the
    // colour of its box; endChartFrame() after the last channel shows what was drawn.
    void plotChannel(int n, int byte);
    void endChartFrame();
    // Clears CourbePile and draws its axes; BatteryCurveDivider := 0.
    void resetBatteryCurve();
    // Shows what the decoder drew on CourbePile.
    void showBatteryCurve();
    // The first good frame: Label_Chrono := "00:00:00" or "00:00.000", a new ActiveChrono,
    // ChronoPending := false, ChronoI enabled.
    void startChronometer();
    // After each rewrite of the running chronometer: the clock too, and its own tick is held
    // back (see the definition).
    void clockWithChronometer();
    // "Arrêter": ChronoI disabled; a running chronometer is told to stop (not waited for) and
    // Label_Chrono keeps the time of the stop.
    void stopChronometer();
    // Every handler that reads Label_Chrono calls this once at its entry, so that the label
    // (and every copy of it the handler makes) holds the flight time of that moment.
    void refreshChrono();
    // The clock flight time is measured on; tests set a manual one. Not owned.
    void setFlightClock(const FlightClock &clock) { m_flightClock = &clock; }

    // Channel table: per channel 1..8 (index 0..7).
    using Channel = ChannelTable::Entry;
    ChannelTable Channels;

    // Chart, sample store, battery box and chronometer.
    StripChart Chart;
    std::unique_ptr<SampleStore> Samples = std::make_unique<SampleStore>();
    BatteryCurve Battery;
    std::int32_t VisibleTimeTicks = 0;
    QPointer<TChronoThread> ActiveChrono; // null once the chronometer has deleted itself
    std::int32_t AcceptedFrameCount = 0;
    std::int32_t BatteryCurveDivider = 0;

    // Program state.
    FlightMode flightMode = FlightMode::BALLON;
    QString PortName;
    std::int32_t Status = 0;
    bool ChronoPending = false;
    bool DataSeen = false;
    std::int32_t CurrentChannel = 39; // last channel commanded through a menu or the window
    std::int32_t PendingChannel = 0; // channel picked in the sweep window
    QString ChosenFrequencyText; // the picked sweep bar's text, "138,450 MHz"
    QDate LaunchDate;

    // Record file and its backup copy (RecordPath, BackupPath, CreateOnStart, RunOpen,
    // DatePrefix) and the dialogs that choose it.
    RecordFile Record;
    RecordFileChooser FileChooser;

    // The balloon decoder with its counters (FramesSinceAccepted, DuplicateLock, BatteryVolts,
    // BatteryMax) and the link percentages last shown; created with the window.
    std::unique_ptr<FrameDecoder> Decoder;

    // Serial port (600 bit/s 8N1, no flow control, DTR and RTS off) and its framers; all owned
    // by this window. The decoders' framers are attached only while a reception runs.
    TComPort *ComPort = nullptr;
    TComDataPacket *ComPaquetTuvo = nullptr; // BALLON frames
    TComDataPacket *ComDataSolo = nullptr; // FUSEE frames
    TComDataPacket *ComPaquetScan = nullptr; // sweep answers
    QList<QAction *> PortItems; // the "Port serie" items in list order; data = index
    // Waits for the receiver lost during a reception to come back.
    ReceiverWatch *ReceiverWatcher = nullptr;

    // Menus.
    QMenu *FichierM = nullptr;
    QAction *NouvFichierM = nullptr;
    QAction *OuvrirFichierM = nullptr;
    QAction *QuitterM = nullptr;
    QMenu *ReceptionM = nullptr;
    QAction *DemarrerM = nullptr;
    QAction *ArreterM = nullptr;
    QMenu *Frequence = nullptr;
    QAction *N137050MHz = nullptr;
    QAction *N137500MHz = nullptr;
    QMenu *Hautparleur1 = nullptr;
    QAction *ON1 = nullptr;
    QAction *OFF1 = nullptr;
    QAction *Scanner1 = nullptr;
    QMenu *AffichageM = nullptr;
    QMenu *VoiesM = nullptr;
    QMenu *ParametresM = nullptr;
    QActionGroup *PortGroup = nullptr;
    QMenu *DebugM = nullptr;
    QAction *DemarrerDebugM = nullptr;
    QMenu *QuestionM = nullptr;
    QAction *ConfigurationM = nullptr;
    QAction *InfosPortSerieM = nullptr;
    QAction *InfosModeM = nullptr;
    QAction *InfosFrequenceM = nullptr;
    QAction *AProposM = nullptr;

    // Chart and read-outs.
    QWidget *Client = nullptr; // everything below the menu bar
    QFrame *EcranP = nullptr;
    ImageView *Image = nullptr;
    QScrollBar *CurseurSB = nullptr;
    QLabel *TempsExactLL = nullptr;
    QLabel *TempsExactL = nullptr;
    QLabel *TensionLL = nullptr;
    QLabel *TensionL = nullptr;
    // Beside the read-outs: while the receiver is away during a reception, and once it is back
    // (RecepteurL); in red while the last line could not be written to a record file
    // (EnregistrementL).
    QLabel *RecepteurL = nullptr;
    QLabel *EnregistrementL = nullptr;
    std::unique_ptr<NoticeLine> Notices;

    // Instrument strip.
    QFrame *InstrumentsP = nullptr;
    QFrame *Panel_Horloge = nullptr;
    QLabel *Image_Horloge = nullptr;
    QLabel *Label_Horloge = nullptr;
    QFrame *ChronoP = nullptr;
    QLabel *ChronoI = nullptr;
    QLabel *Label_Chrono = nullptr;
    QFrame *TrameP = nullptr;
    QLabel *TuvoNo = nullptr;
    QLabel *TuvoOk = nullptr;
    QLabel *NbTramesL = nullptr;
    Gauge *TramesG = nullptr;
    QFrame *TxOKP = nullptr;
    QLabel *TxVolLL = nullptr;
    QLabel *TxVolL = nullptr;
    QLabel *Tx1mnLL = nullptr;
    QLabel *Tx1mnL = nullptr;
    QFrame *PileP = nullptr;
    QFrame *BoutonPile = nullptr;
    Gauge *PileG = nullptr;
    ImageView *CourbePile = nullptr;
    QLabel *AlimL = nullptr;

    // Channel strip and the hidden port list.
    QFrame *VoiesP = nullptr;
    QComboBox *SerieCB = nullptr;

    // Tick marks and their labels: time axis under the chart, volts left of it.
    std::array<QFrame *, 12> TimeTicks {};
    std::array<QLabel *, 12> TimeTickLabels {};
    std::array<QFrame *, 6> LevelTicks {};
    std::array<QLabel *, 6> LevelTickLabels {};

    // Timers (intervals in ms).
    QTimer *HorlogeT = nullptr; // ClockIntervalMs
    QTimer *Timer_APropos = nullptr; // 100, one shot
    QTimer *Timer_Paquet = nullptr; // 900
    QTimer *Timer_Stat = nullptr; // 1000
    QTimer *Timer_StatSolo = nullptr; // 500
    QTimer *Timer_Donnees = nullptr; // 3000

    TForm_Scanner *Form_Scanner = nullptr;
    TForm_APropos *Form_APropos = nullptr;
    TForm_ChangementFrequence *Form_ChangementFrequence = nullptr;
    TForm_Debug *Form_Debug = nullptr;

    // Sizes the window once, by the program: its outer frame (title bar and borders included,
    // where a window manager adds them) takes `outer`, the area inside it never less than
    // 734 x 550, and the operator cannot change it. FormCreate gives it the screen's width and
    // the screen's height less 30, at (0, 0).
    void setOuterSize(QSize outer);

    // Chart cursor and channel settings: the chart image's mouse events and the scroll bar go
    // to the cursor, the colour boxes and the "&Voies" items to the channel settings.
    std::unique_ptr<ChartCursor> Cursor;
    std::unique_ptr<ChannelSettings> ChannelSetup;

    // Debug window: "&Debug" > "&Démarrer" shows it modally; its framer (every received byte,
    // one a packet) is attached to the port while it is open.
    void DemarrerDebugMClick();
    TForm_Debug::MainWindowParts debugWindowParts();
    TComDataPacket *ComPaquetDebug = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    static constexpr int ClockIntervalMs = 1000;
    // The clock's tick while the chronometer brings it along: later than the chronometer's next
    // rewrite even for a coarse timer early by its 5 %, so that it only comes once that stops.
    static constexpr int ClockHeldMs = 1100;

    void showClock();
    std::chrono::sys_seconds m_clockSecond {}; // of the clock's text
    void createMenus();
    void createChart();
    void createInstruments();
    void createChannelStrip();
    void createTicks();
    void createTimers();
    void createDecoder(); // after the controls, the timers and the sample store
    void createComPort();
    void buildPortMenu();
    void reopenRememberedPort();
    void setReceiverMenus(bool enabled);
    QStringList channelNames() const;
    // Shows or hides EnregistrementL after a line was written or failed.
    void showRecordingState();
    // A port lost while idle, or while the receiver is away when the reception stops: unchecked,
    // receiver commands off, the name kept.
    void portLost();

    // The framer of the flight mode's decoder: ComPaquetTuvo or ComDataSolo.
    TComDataPacket *decoderFramer() const;
    // The steps of "Arrêter"; also undoes a start that failed half-way (without the purge) and
    // ends a reception whose receiver was lost.
    void stopReception(bool purge);
    void readSettings();
    void writeSettings();
    // A fixed size for the area inside the frame (never below 734 x 550): the operator cannot
    // resize the window, since every resize erases the chart.
    void setClientSize(QSize size);
    // Gives the frame the outer size asked for, once the frame's borders are known.
    void applyOuterSize();
    // Chart cursor and channel settings.
    void createChartCursor(); // after the chart, the menus and the read-outs
    void wireChannelSettings(); // after the channel menu items and the channel strip
    void createDebugFramer(); // after the port and the menus

    QString m_settingsPath;
    const FlightClock *m_flightClock = &FlightClock::system();
    bool m_quitting = false; // while "Quitter" closes the windows
    QSize m_outerSize; // empty until the program has sized the window
};
