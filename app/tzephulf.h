#pragma once

#include "flightmode.h"
#include "tform_apropos.h"

#include <QDate>
#include <QMainWindow>
#include <array>
#include <cstdint>

class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QScrollBar;
class QTimer;
class TForm_ChangementFrequence;
class TForm_Scanner;

// The main window: menus, chart, instrument strip, channel strip, timers and the program state
// that lives for the whole run. Components carry the names the operator's documentation uses.
// Every handler runs on the GUI thread inside the event guard.
class TZephulF : public QMainWindow
{
    Q_OBJECT

public:
    // The window caption starts with this, followed by " - Fichier : " and the record file.
    static const QString ProductBanner;

    // The settings file is "zephul.ini" beside the executable; tests give a path of their own.
    explicit TZephulF(const QString &settingsPath = defaultSettingsPath(),
                      QWidget *parent = nullptr);
    ~TZephulF() override;

    static QString defaultSettingsPath();

    // The windows created after this one; none is owned here.
    void setSideWindows(TForm_Scanner *scanner, TForm_APropos *aPropos,
                        TForm_ChangementFrequence *changementFrequence, QWidget *debug);
    // What the mode chooser changes in this window.
    TForm_APropos::MainWindowParts modeChooserParts();

    // Handlers.
    void FormCreate();
    bool FormClose(); // false when the close must not complete
    void FormResize();
    void QuitterMClick();
    void Timer_AProposTimer();
    void AProposMClick();

    // Channel table: per channel 1..8 (index 0..7).
    struct Channel
    {
        std::uint32_t Colour = 0;
        QString Name;
        bool Shown = true;
        QAction *ChannelMenuItem = nullptr;
        QFrame *ColourBox = nullptr;
        QLineEdit *NameEdit = nullptr;
        QLabel *ValueLabel = nullptr;
        QLabel *UnitLabel = nullptr;
        std::int32_t PrevSample = -1;
    };
    std::array<Channel, 8> Channels;

    // Program state.
    FlightMode flightMode = FlightMode::BALLON;
    QString PortName;
    std::int32_t Status = 0;
    bool ChronoPending = false;
    bool DataSeen = false;
    bool RunOpen = false;
    std::int32_t CurrentChannel = 39;
    std::int32_t PendingChannel = 39;
    QDate LaunchDate;

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
    QLabel *Image = nullptr;
    QScrollBar *CurseurSB = nullptr;
    QLabel *TempsExactLL = nullptr;
    QLabel *TempsExactL = nullptr;
    QLabel *TensionLL = nullptr;
    QLabel *TensionL = nullptr;

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
    QProgressBar *TramesG = nullptr;
    QFrame *TxOKP = nullptr;
    QLabel *TxVolLL = nullptr;
    QLabel *TxVolL = nullptr;
    QLabel *Tx1mnLL = nullptr;
    QLabel *Tx1mnL = nullptr;
    QFrame *PileP = nullptr;
    QFrame *BoutonPile = nullptr;
    QProgressBar *PileG = nullptr;
    QLabel *CourbePile = nullptr;
    QLabel *AlimL = nullptr;

    // Channel strip and the hidden port list.
    QFrame *VoiesP = nullptr;
    QComboBox *SerieCB = nullptr;

    // Timers (intervals in ms).
    QTimer *HorlogeT = nullptr; // 1000
    QTimer *Timer_APropos = nullptr; // 100, one shot
    QTimer *Timer_Paquet = nullptr; // 900
    QTimer *Timer_Stat = nullptr; // 1000
    QTimer *Timer_StatSolo = nullptr; // 500
    QTimer *Timer_Donnees = nullptr; // 3000

    TForm_Scanner *Form_Scanner = nullptr;
    TForm_APropos *Form_APropos = nullptr;
    TForm_ChangementFrequence *Form_ChangementFrequence = nullptr;
    QWidget *Form_Debug = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createMenus();
    void createChart();
    void createInstruments();
    void createChannelStrip();
    void createTimers();
    void readSettings();
    void writeSettings();
    // Sets the window's size; the operator cannot resize it (every resize erases the chart).
    void setWindowSize(int width, int height);

    QString m_settingsPath;
};
