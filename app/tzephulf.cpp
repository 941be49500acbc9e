#include "tzephulf.h"

#include "artwork.h"
#include "chronotext.h"
#include "colour.h"
#include "digitlabel.h"
#include "ecomport.h"
#include "eventguard.h"
#include "eventhook.h"
#include "imageview.h"
#include "inifile.h"
#include "listserialports.h"
#include "namelengthlimit.h"
#include "programframers.h"
#include "receivercommand.h"
#include "settingslocation.h"
#include "tcomdatapacket.h"
#include "tcomport.h"
#include "tform_apropos.h"
#include "userdialogs.h"
#include "windowlayout.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTime>
#include <QTimer>
#include <exception>
#include <tuple>

const QString TZephulF::ProductBanner = QStringLiteral("Zephul, station sol Tuvo");

namespace {

const QString SectionReception = QStringLiteral("Réception");
const QString KeyPort = QStringLiteral("Port série");
const QString SectionColours = QStringLiteral("Couleur voie");
const QString SectionNames = QStringLiteral("Nom voie");

constexpr std::uint32_t DefaultColours[8] = { 0x00FF0000, 0x000000FF, 0x00008000, 0x00C0C0C0,
                                              0x00800080, 0x0000FFFF, 0x00000000, 0x0000FF00 };

QString channelKey(int n)
{
    return QStringLiteral("Voie_%1").arg(n);
}

QFont sansFont(int pixels, bool bold)
{
    QFont font(QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void setBackground(QWidget *widget, std::uint32_t bgr)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colourFromBgr(bgr));
    widget->setPalette(palette);
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QFrame *panel(QWidget *parent, const QString &name, int left, int top, int width, int height,
              std::uint32_t bgr, QFrame::Shadow bevel)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setGeometry(left, top, width, height);
    frame->setFrameStyle(QFrame::Panel | bevel);
    frame->setLineWidth(1);
    setBackground(frame, bgr);
    return frame;
}

template<typename Label = QLabel>
QLabel *label(QWidget *parent, const QString &name, const QString &caption, int left, int top)
{
    auto *l = new Label(caption, parent);
    l->setObjectName(name);
    l->move(left, top);
    l->adjustSize();
    return l;
}

QLabel *picture(QWidget *parent, const QString &name, const QImage &image, int left, int top)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setGeometry(left, top, image.width(), image.height());
    l->setPixmap(QPixmap::fromImage(image));
    return l;
}

Gauge *gauge(QWidget *parent, const QString &name, QRect geometry, Qt::Orientation o,
             std::uint32_t back, std::uint32_t fore, int maximum)
{
    auto *g = new Gauge(parent);
    g->setObjectName(name);
    g->setGeometry(geometry);
    g->setOrientation(o);
    g->setRange(0, maximum);
    g->setColours(colourFromBgr(back), colourFromBgr(fore));
    return g;
}

} // namespace

TZephulF::TZephulF(const QString &settingsPath, QWidget *parent)
    : QMainWindow(parent)
    , m_settingsPath(settingsPath)
{
    setObjectName(QStringLiteral("ZephulF"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(ProductBanner + QStringLiteral(" - Fichier : "));
    setWindowIcon(Artwork::programIcons());
    setMinimumSize(734, 550);

    Client = new QWidget(this);
    Client->setObjectName(QStringLiteral("Client"));
    Client->setFont(sansFont(11, true));
    setBackground(Client, 0x00C08080);
    setCentralWidget(Client);
    // The keyboard focus starts here, not in the first channel name: a caret blinking there
    // through a whole flight would only repaint the window twice a second. Tab still reaches
    // the names.
    Client->setFocusPolicy(Qt::ClickFocus);
    Client->setFocus();

    createMenus();
    createChart();
    createInstruments();
    VoiesP = panel(Client, QStringLiteral("VoiesP"), 77, 490, 700, 44, 0x00F2CDAC, QFrame::Raised);
    for (const int x : { 152, 312, 472, 636 }) {
        auto *bevel = new QFrame(VoiesP);
        bevel->setFrameStyle(QFrame::VLine | QFrame::Raised);
        bevel->setGeometry(x, 4, 2, 36);
    }
    SerieCB = new QComboBox(Client);
    SerieCB->setObjectName(QStringLiteral("SerieCB"));
    SerieCB->hide();
    createTimers();
    createComPort();
    createDecoder();
    createChartCursor();
    createDebugFramer();
    setClientSize(QSize(854, 652 + menuBar()->sizeHint().height()));

    EventGuard::run([this] { FormCreate(); });
}

TZephulF::~TZephulF()
{
    // The port goes first, while everything its last delivery may reach still stands: a batch
    // the serial event thread has already handed over is decoded (and recorded) now, instead of
    // reaching the decoder after it has gone. Should the port refuse to close, no framer is
    // left on it.
    try {
        ComPort->ClosePort();
    } catch (...) {
        for (TComDataPacket *framer : findChildren<TComDataPacket *>()) {
            try {
                framer->SetComPort(nullptr);
            } catch (...) { }
        }
    }
    // No chronometer may outlive the label it writes: end it before the children go.
    TChronoThread::destroy(ActiveChrono);
}

QString TZephulF::defaultSettingsPath()
{
    return SettingsLocation::settingsPath(QCoreApplication::applicationDirPath());
}

void TZephulF::setSideWindows(TForm_Scanner *scanner, TForm_APropos *aPropos,
                              TForm_ChangementFrequence *changementFrequence, TForm_Debug *debug)
{
    Form_Scanner = scanner;
    Form_APropos = aPropos;
    Form_ChangementFrequence = changementFrequence;
    Form_Debug = debug;
}

TForm_APropos::MainWindowParts TZephulF::modeChooserParts()
{
    TForm_APropos::MainWindowParts parts;
    parts.flightMode = &flightMode;
    parts.InfosModeM = InfosModeM;
    parts.TramesG = TramesG;
    parts.NbTramesL = NbTramesL;
    parts.TxVolL = TxVolL;
    parts.TxVolLL = TxVolLL;
    parts.Tx1mnL = Tx1mnL;
    parts.Tx1mnLL = Tx1mnLL;
    parts.Label_Chrono = Label_Chrono;
    parts.EcranP = EcranP;
    parts.FormResize = [this] { FormResize(); };
    return parts;
}

void TZephulF::createMenus()
{
    // Every menu handler runs inside the event guard.
    const auto onClick = [this](QAction *action, void (TZephulF::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { EventGuard::run([this, handler] { (this->*handler)(); }); });
    };
    const auto item = [](QMenu *menu, const QString &name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    const auto subMenu = [](QMenu *parentMenu, const QString &name, const QString &caption) {
        QMenu *menu = parentMenu->addMenu(caption);
        menu->setObjectName(name);
        menu->menuAction()->setObjectName(name);
        return menu;
    };
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MenuPrincipal"));

    FichierM = bar->addMenu(QStringLiteral("&Fichier"));
    FichierM->setObjectName(QStringLiteral("FichierM"));
    NouvFichierM
        = item(FichierM, QStringLiteral("NouvFichierM"), QStringLiteral("&Nouveau (ctrl+N)"));
    OuvrirFichierM
        = item(FichierM, QStringLiteral("OuvrirFichierM"), QStringLiteral("&Ouvrir (ctrl+O)"));
    FichierM->addSeparator()->setObjectName(QStringLiteral("SeparationM1"));
    QuitterM = item(FichierM, QStringLiteral("QuitterM"), QStringLiteral("&Quitter (ctrl+Q)"));
    onClick(NouvFichierM, &TZephulF::NouvFichierMClick);
    onClick(OuvrirFichierM, &TZephulF::OuvrirFichierMClick);
    onClick(QuitterM, &TZephulF::QuitterMClick);

    ReceptionM = bar->addMenu(QStringLiteral("&Réception"));
    ReceptionM->setObjectName(QStringLiteral("ReceptionM"));
    DemarrerM = item(ReceptionM, QStringLiteral("DemarrerM"), QStringLiteral("&Démarrer"));
    DemarrerM->setEnabled(false);
    ArreterM = item(ReceptionM, QStringLiteral("ArreterM"), QStringLiteral("&Arrêter"));
    ArreterM->setEnabled(false);
    onClick(DemarrerM, &TZephulF::DemarrerMClick);
    onClick(ArreterM, &TZephulF::ArreterMClick);
    Frequence = subMenu(ReceptionM, QStringLiteral("Frequence"), QStringLiteral("Fréquence"));
    Frequence->menuAction()->setEnabled(false);
    auto *frequencyGroup = new QActionGroup(this);
    N137050MHz = item(Frequence, QStringLiteral("N137050MHz"), QStringLiteral("137.050 MHz"));
    N137500MHz = item(Frequence, QStringLiteral("N137500MHz"), QStringLiteral("137.500 MHz"));
    for (QAction *a : { N137050MHz, N137500MHz }) {
        a->setCheckable(true);
        frequencyGroup->addAction(a);
    }
    N137050MHz->setChecked(true);
    onClick(N137050MHz, &TZephulF::N137050MHzClick);
    onClick(N137500MHz, &TZephulF::N137500MHzClick);
    Hautparleur1
        = subMenu(ReceptionM, QStringLiteral("Hautparleur1"), QStringLiteral("Haut parleur"));
    Hautparleur1->menuAction()->setEnabled(false);
    auto *speakerGroup = new QActionGroup(this);
    ON1 = item(Hautparleur1, QStringLiteral("ON1"), QStringLiteral("ON"));
    OFF1 = item(Hautparleur1, QStringLiteral("OFF1"), QStringLiteral("OFF"));
    for (QAction *a : { ON1, OFF1 }) {
        a->setCheckable(true);
        speakerGroup->addAction(a);
    }
    ON1->setChecked(true);
    onClick(ON1, &TZephulF::ON1Click);
    onClick(OFF1, &TZephulF::OFF1Click);
    Scanner1 = item(ReceptionM, QStringLiteral("Scanner1"), QStringLiteral("Balayage fréquentiel"));
    Scanner1->setEnabled(false);
    onClick(Scanner1, &TZephulF::Scanner1Click);

    AffichageM = bar->addMenu(QStringLiteral("&Affichage"));
    AffichageM->setObjectName(QStringLiteral("AffichageM"));
    VoiesM = subMenu(AffichageM, QStringLiteral("VoiesM"), QStringLiteral("&Voies"));

    ParametresM = bar->addMenu(QStringLiteral("Port serie"));
    ParametresM->setObjectName(QStringLiteral("ParametresM"));
    PortGroup = new QActionGroup(this);
    // The list follows the machine: a receiver plugged in after start-up is offered, one that
    // is gone is not.
    connect(ParametresM, &QMenu::aboutToShow, this,
            [this] { EventGuard::run([this] { buildPortMenu(); }); });

    DebugM = bar->addMenu(QStringLiteral("&Debug"));
    DebugM->setObjectName(QStringLiteral("DebugM"));
    DemarrerDebugM = item(DebugM, QStringLiteral("DemarrerDebugM"), QStringLiteral("&Démarrer"));

    QuestionM = bar->addMenu(QStringLiteral("&?"));
    QuestionM->setObjectName(QStringLiteral("QuestionM"));
    ConfigurationM
        = item(QuestionM, QStringLiteral("ConfigurationM"), QStringLiteral("&Configuration"));
    QFont heading = ConfigurationM->font();
    heading.setBold(true);
    ConfigurationM->setFont(heading);
    InfosPortSerieM = item(QuestionM, QStringLiteral("InfosPortSerieM"),
                           QStringLiteral("   Port          ????"));
    InfosModeM
        = item(QuestionM, QStringLiteral("InfosModeM"), QStringLiteral("   Mode       PAQUETS"));
    InfosFrequenceM = item(QuestionM, QStringLiteral("InfosFrequenceM"),
                           QStringLiteral("   Fréquence 137.950 MHz"));
    QuestionM->addSeparator()->setObjectName(QStringLiteral("SeparationM2"));
    AProposM = item(QuestionM, QStringLiteral("AProposM"), QStringLiteral("&A propos..."));
    onClick(AProposM, &TZephulF::AProposMClick);
}

void TZephulF::createChart()
{
    EcranP = new QFrame(Client);
    EcranP->setObjectName(QStringLiteral("EcranP"));
    EcranP->setGeometry(30, 10, 784, 417);
    setBackground(EcranP, 0x00FFFFD9);
    Image = new ImageView(&Chart.image(), EcranP);
    Image->setObjectName(QStringLiteral("Image"));
    Image->move(0, 0);

    CurseurSB = new QScrollBar(Qt::Horizontal, Client);
    CurseurSB->setObjectName(QStringLiteral("CurseurSB"));
    CurseurSB->setGeometry(30, 430, 784, 16);
    CurseurSB->setRange(0, 7200);
    CurseurSB->setPageStep(0);
    connect(CurseurSB, &QScrollBar::valueChanged, this,
            [this] { EventGuard::run([this] { CurseurSBChange(); }); });

    TempsExactLL
        = label(Client, QStringLiteral("TempsExactLL"), QStringLiteral("Temps exact :"), 30, 448);
    TempsExactL = label<DigitLabel>(Client, QStringLiteral("TempsExactL"), QStringLiteral("0,00"),
                                    118, 448);
    TensionLL = label(Client, QStringLiteral("TensionLL"), QStringLiteral("Tension :"), 230, 448);
    TensionL
        = label<DigitLabel>(Client, QStringLiteral("TensionL"), QStringLiteral("0,00"), 292, 448);
    setTextColour(TempsExactLL, Qt::black);
    setTextColour(TensionLL, Qt::black);
    setTextColour(TempsExactL, Qt::blue);
    setTextColour(TensionL, Qt::red);
    RecepteurL = label(Client, QStringLiteral("RecepteurL"), QString(), 370, 448);
    EnregistrementL = label(Client, QStringLiteral("EnregistrementL"), QString(), 370, 448);
    Notices = std::make_unique<NoticeLine>(RecepteurL, EnregistrementL);
}

void TZephulF::createInstruments()
{
    InstrumentsP = panel(Client, QStringLiteral("InstrumentsP"), 77, 538, 700, 44, 0x00F2CDAC,
                         QFrame::Raised);
    const auto strip = [this](const QString &name, int left, int width) {
        return panel(InstrumentsP, name, left, 3, width, 38, 0x00EFC29A, QFrame::Sunken);
    };
    const QFont big = sansFont(19, true);

    Panel_Horloge = strip(QStringLiteral("Panel_Horloge"), 4, 143);
    Image_Horloge
        = picture(Panel_Horloge, QStringLiteral("Image_Horloge"), Artwork::clockPicture(), 8, 1);
    Label_Horloge
        = label<DigitLabel>(Panel_Horloge, QStringLiteral("Label_Horloge"), QString(), 48, 7);
    Label_Horloge->setFont(big);
    Label_Horloge->setText(QStringLiteral("14:35:40"));
    Label_Horloge->adjustSize();
    // Opaque in its panel's colour, like the chronometer: the panel is not repainted with it.
    Label_Horloge->setAutoFillBackground(true);

    ChronoP = strip(QStringLiteral("ChronoP"), 152, 143);
    ChronoI = picture(ChronoP, QStringLiteral("ChronoI"), Artwork::chronoPicture(), 4, 1);
    ChronoI->setEnabled(false);
    EventHook::install(ChronoI, QEvent::MouseButtonDblClick,
                       [this](QEvent *) { EventGuard::run([this] { ChronoIDblClick(); }); });
    Label_Chrono = label<DigitLabel>(ChronoP, QStringLiteral("Label_Chrono"), QString(), 44, 7);
    // Narrowed a little so that the rocket's "00:00.000" fits its panel.
    QFont chronoFont = big;
    chronoFont.setStretch(QFont::SemiCondensed);
    Label_Chrono->setFont(chronoFont);
    Label_Chrono->setText(QStringLiteral("00:00:00 "));
    Label_Chrono->resize(98, 24);
    // Opaque in its panel's colour: rewritten many times a second in FUSEE, it then repaints
    // alone, without the panel under it.
    Label_Chrono->setAutoFillBackground(true);

    TrameP = strip(QStringLiteral("TrameP"), 300, 137);
    TuvoNo = picture(TrameP, QStringLiteral("TuvoNo"), Artwork::linkLostPicture(), 96, 1);
    TuvoOk = picture(TrameP, QStringLiteral("TuvoOk"), Artwork::linkOkPicture(), 96, 1);
    // Both pictures, the working link on top, until the first reception.
    NbTramesL = label<DigitLabel>(TrameP, QStringLiteral("NbTramesL"), QString(), 52, 8);
    NbTramesL->setFont(sansFont(16, true));
    setTextColour(NbTramesL, QColor(0, 0, 128));
    NbTramesL->setText(QStringLiteral("0"));
    NbTramesL->resize(44, 20);
    // Opaque in its panel's colour: the panel is not repainted with every accepted frame.
    NbTramesL->setAutoFillBackground(true);
    TramesG = gauge(TrameP, QStringLiteral("TramesG"), QRect(8, 12, 40, 13), Qt::Horizontal,
                    0x00EBB583, 0x00FFAA22, 3);

    TxOKP = strip(QStringLiteral("TxOKP"), 442, 127);
    TxVolLL
        = label(TxOKP, QStringLiteral("TxVolLL"), QStringLiteral("Tx OK Vol:         %"), 10, 3);
    Tx1mnLL
        = label(TxOKP, QStringLiteral("Tx1mnLL"), QStringLiteral("Tx OK 1mn:         %"), 10, 20);
    TxVolL = label<DigitLabel>(TxOKP, QStringLiteral("TxVolL"), QStringLiteral("100.0"), 74, 3);
    Tx1mnL = label<DigitLabel>(TxOKP, QStringLiteral("Tx1mnL"), QStringLiteral("----"), 78, 20);
    // Narrower than the window's font, and wider blanks in the titles, so that each value fits
    // over the blanks of its title.
    for (QLabel *l : { TxVolLL, Tx1mnLL, TxVolL, Tx1mnL }) {
        QFont font = sansFont(10, true);
        if (l == TxVolLL || l == Tx1mnLL)
            font.setWordSpacing(2.5);
        l->setFont(font);
        l->adjustSize();
    }
    for (QLabel *value : { TxVolL, Tx1mnL }) {
        setTextColour(value, QColor(128, 0, 128));
        value->resize(34, value->height());
    }

    PileP = strip(QStringLiteral("PileP"), 574, 119);
    PileG = gauge(PileP, QStringLiteral("PileG"), QRect(4, 6, 13, 28), Qt::Vertical, 0x0000AAFF,
                  0x00008000, 100);
    BoutonPile = new QFrame(PileP);
    BoutonPile->setObjectName(QStringLiteral("BoutonPile"));
    BoutonPile->setGeometry(8, 4, 5, 3);
    setBackground(BoutonPile, 0x00808080);
    CourbePile = new ImageView(&Battery.image(), PileP);
    CourbePile->setObjectName(QStringLiteral("CourbePile"));
    CourbePile->move(20, 3);
    AlimL = label<DigitLabel>(PileP, QStringLiteral("AlimL"), QStringLiteral("9 V"), 48, 19);
    setBackground(AlimL, 0x00EBB583);
}

void TZephulF::createChannelStrip()
{
    for (int n = 1; n <= 8; ++n) {
        Channel &ch = Channels[n - 1];
        ch.ColourBox = new QFrame(VoiesP);
        ch.ColourBox->setObjectName(QStringLiteral("ColourBox%1").arg(n));
        ch.ColourBox->setGeometry(ChannelTable::colourBoxRect(n));
        ch.ColourBox->setProperty("tag", n);
        setBackground(ch.ColourBox, ch.Colour);

        ch.NameEdit = new QLineEdit(VoiesP);
        ch.NameEdit->setObjectName(QStringLiteral("NameEdit%1").arg(n));
        ch.NameEdit->setGeometry(ChannelTable::nameEditRect(n));
        ch.NameEdit->setFrame(false);
        ch.NameEdit->setStyleSheet(QStringLiteral("QLineEdit { background: %1; border: none; }")
                                       .arg(colourFromBgr(0x00F2CDAC).name()));
        new NameLengthLimit(ch.NameEdit, 10);
        ch.NameEdit->setText(ch.Name);
        ch.NameEdit->setCursorPosition(0);
        // Return ends the edit: the caret leaves with the focus instead of blinking on.
        connect(ch.NameEdit, &QLineEdit::returnPressed, Client, [this] { Client->setFocus(); });

        const QPoint value = ChannelTable::valueLabelPos(n);
        const QPoint unit = ChannelTable::unitLabelPos(n);
        ch.ValueLabel = label<DigitLabel>(VoiesP, QStringLiteral("ValueLabel%1").arg(n),
                                          QStringLiteral("0,00"), value.x(), value.y());
        ch.UnitLabel = label(VoiesP, QStringLiteral("UnitLabel%1").arg(n), QStringLiteral("V"),
                             unit.x(), unit.y());
        for (QLabel *l : { ch.ValueLabel, ch.UnitLabel })
            setBackground(l, 0x00F2CDAC);
    }
}

void TZephulF::createTimers()
{
    const auto timer = [this](const QString &name, int interval, bool active,
                              void (TZephulF::*handler)()) {
        auto *t = new QTimer(this);
        t->setObjectName(name);
        t->setInterval(interval);
        if (handler)
            connect(t, &QTimer::timeout, this,
                    [this, handler] { EventGuard::run([this, handler] { (this->*handler)(); }); });
        if (active)
            t->start();
        return t;
    };
    HorlogeT = timer(QStringLiteral("HorlogeT"), ClockIntervalMs, true, &TZephulF::HorlogeTTimer);
    Timer_APropos
        = timer(QStringLiteral("Timer_APropos"), 100, false, &TZephulF::Timer_AProposTimer);
    Timer_Paquet = timer(QStringLiteral("Timer_Paquet"), 900, false, &TZephulF::Timer_PaquetTimer);
    Timer_Stat = timer(QStringLiteral("Timer_Stat"), 1000, false, &TZephulF::Timer_StatTimer);
    Timer_StatSolo
        = timer(QStringLiteral("Timer_StatSolo"), 500, false, &TZephulF::Timer_StatSoloTimer);
    Timer_Donnees
        = timer(QStringLiteral("Timer_Donnees"), 3000, false, &TZephulF::Timer_DonneesTimer);
    // These decide what is accepted and which figures are shown: to the millisecond, not within
    // the few percent a coarse timer may be early or late.
    for (QTimer *t : { Timer_Paquet, Timer_Stat, Timer_StatSolo, Timer_Donnees })
        t->setTimerType(Qt::PreciseTimer);
}

void TZephulF::setClientSize(QSize size)
{
    setFixedSize(size.expandedTo(QSize(734, 550)));
}

void TZephulF::setOuterSize(QSize outer)
{
    m_outerSize = outer;
    applyOuterSize();
}

void TZephulF::applyOuterSize()
{
    if (m_outerSize.isEmpty())
        return;
    // Without a window manager (or before it has framed the window) the frame adds nothing.
    const QSize borders = frameGeometry().size() - geometry().size();
    const QSize client = (m_outerSize - borders).expandedTo(QSize(734, 550));
    if (client != size() || minimumSize() != maximumSize())
        setClientSize(client);
}

void TZephulF::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    // A window manager that has just framed the window moves it inside its frame: the borders
    // are known now and come off the size inside.
    applyOuterSize();
}

void TZephulF::readSettings()
{
    const IniFile ini(m_settingsPath);
    PortName = ini.readString(SectionReception, KeyPort, QString());
    for (int n = 1; n <= 8; ++n)
        Channels[n - 1].Colour
            = std::uint32_t(ini.readInteger(SectionColours, channelKey(n), DefaultColours[n - 1]));
    for (int n = 1; n <= 8; ++n)
        Channels[n - 1].Name
            = ini.readString(SectionNames, channelKey(n), QStringLiteral("Voie %1").arg(n));
}

void TZephulF::writeSettings()
{
    IniFile ini(m_settingsPath);
    ini.writeString(SectionReception, KeyPort, PortName);
    for (int n = 1; n <= 8; ++n)
        ini.writeInteger(SectionColours, channelKey(n), Channels[n - 1].Colour);
    for (int n = 1; n <= 8; ++n)
        ini.writeString(SectionNames, channelKey(n), Channels[n - 1].NameEdit->text());
}

void TZephulF::FormCreate()
{
    setAttribute(Qt::WA_StaticContents); // double buffering is Qt's default
    readSettings();
    flightMode = FlightMode::BALLON;
    CurrentChannel = 39;
    ProgramFramers::SetupTelemetry(*ComPaquetTuvo);
    ProgramFramers::SetupTelemetry(*ComDataSolo);
    NbTramesL->setText(QStringLiteral("0"));
    Samples->fillEmpty();
    Channels.resetPrevSamples();
    Timer_Paquet->stop();
    resetBatteryCurve();
    LaunchDate = QDate::currentDate();
    for (int n = 1; n <= 8; ++n) {
        Channel &ch = Channels[n - 1];
        ch.Shown = true;
        ch.ChannelMenuItem = VoiesM->addAction(QStringLiteral("&Voie %1").arg(n));
        ch.ChannelMenuItem->setObjectName(QStringLiteral("ChannelMenuItem%1").arg(n));
        ch.ChannelMenuItem->setCheckable(true);
        ch.ChannelMenuItem->setChecked(true);
        ch.ChannelMenuItem->setData(n);
    }
    buildPortMenu();
    createTicks();
    createChannelStrip();
    wireChannelSettings();
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    setOuterSize(QSize(available.width(), available.height() - 30));
    move(0, 0);
    FormResize();
    reopenRememberedPort();
    Status = 0;
    Timer_APropos->start();
    Record.RunOpen = false;
    DataSeen = false;
}

void TZephulF::createTicks()
{
    // Raised bevels and plain labels on the window itself, hidden until a resize places them.
    for (int i = 0; i < 12; ++i) {
        TimeTicks[i] = panel(Client, QStringLiteral("TimeTick%1").arg(i), 0, 337, 2, 8, 0x00C08080,
                             QFrame::Raised);
        TimeTicks[i]->hide();
        TimeTickLabels[i]
            = label(Client, QStringLiteral("TimeTickLabel%1").arg(i), QString(), 0, 350);
        TimeTickLabels[i]->resize(TimeTickLabels[i]->width(), 13);
        TimeTickLabels[i]->hide();
    }
    for (int i = 0; i < 6; ++i) {
        LevelTicks[i] = panel(Client, QStringLiteral("LevelTick%1").arg(i), 22, 64 * i + 17, 8, 2,
                              0x00C08080, QFrame::Raised);
        LevelTicks[i]->hide();
        LevelTickLabels[i] = label(Client, QStringLiteral("LevelTickLabel%1").arg(i),
                                   WindowLayout::levelCaption(i), 5, 64 * i + 17);
        LevelTickLabels[i]->resize(LevelTickLabels[i]->width(), 13);
        LevelTickLabels[i]->hide();
    }
}

void TZephulF::FormResize()
{
    // W and H are the window's outer size; positions are inside the area below the menu bar.
    const WindowLayout l = WindowLayout::compute(width(), height(), flightMode);
    EcranP->resize(l.ecranP.size());
    CurseurSB->setGeometry(CurseurSB->x(), l.curseurSBTop, l.curseurSBWidth, CurseurSB->height());
    VoiesP->move(l.voiesP);
    InstrumentsP->move(l.instrumentsP);
    for (QLabel *r : { TempsExactLL, TempsExactL, TensionLL, TensionL })
        r->move(r->x(), l.readoutsTop);
    // Beside the read-outs, as far as the chart's right edge.
    for (QLabel *notice : { RecepteurL, EnregistrementL })
        notice->move(notice->x(), l.readoutsTop);
    Notices->place(370, EcranP->x() + l.ecranP.width());
    if (!TimeTicks[0])
        return; // before FormCreate has made the ticks
    VisibleTimeTicks = l.VisibleTimeTicks;
    for (int i = 0; i < 12; ++i) {
        const WindowLayout::TimeTick &tick = l.timeTicks[i];
        TimeTicks[i]->setVisible(tick.visible);
        TimeTickLabels[i]->setVisible(tick.visible);
        if (!tick.visible)
            continue;
        TimeTicks[i]->move(tick.tickPos);
        TimeTickLabels[i]->move(tick.labelPos);
        TimeTickLabels[i]->setText(tick.caption);
        TimeTickLabels[i]->resize(TimeTickLabels[i]->sizeHint().width(), 13);
    }
    for (int i = 0; i < 6; ++i) {
        LevelTicks[i]->move(LevelTicks[i]->x(), l.levelTicks[i].tickTop);
        LevelTickLabels[i]->move(LevelTickLabels[i]->x(), l.levelTicks[i].labelTop);
        LevelTicks[i]->show();
        LevelTickLabels[i]->show();
    }
    Chart.setHeight(l.imageHeight);
    Image->fitImage();
    CurseurSB->setMaximum(l.scrollMax);
    CurseurSBChange();
    // A resize erases everything drawn so far.
    Chart.setChartBackground(StripChart::DefaultBackground);
    clearChart();
    Image->move(0, Image->y());
    Chart.updateScale();
}

void TZephulF::CurseurSBChange()
{
    if (Cursor)
        Cursor->CurseurSBChange();
}

// ---- Chart cursor and channel settings ----

void TZephulF::createChartCursor()
{
    ChartCursor::MainWindowParts p;
    p.flightMode = &flightMode;
    p.Image = Image;
    p.EcranP = EcranP;
    p.CurseurSB = CurseurSB;
    p.TimeTickLabels = &TimeTickLabels;
    p.VisibleTimeTicks = &VisibleTimeTicks;
    p.TempsExactL = TempsExactL;
    p.TensionL = TensionL;
    p.ArreterM = ArreterM;
    p.Chart = &Chart;
    p.clearChart = [this] { clearChart(); };
    Cursor = std::make_unique<ChartCursor>(p);

    const auto press = [this](QEvent *event) {
        const auto *e = static_cast<QMouseEvent *>(event);
        const QPoint at = e->position().toPoint();
        const int screenX = qRound(e->globalPosition().x());
        EventGuard::run([&] { Cursor->ImageMouseDown(e->button(), at.x(), at.y(), screenX); });
    };
    EventHook::install(Image, QEvent::MouseButtonPress, press);
    // The second press of a double-click comes as the double-click itself.
    EventHook::install(Image, QEvent::MouseButtonDblClick, [this, press](QEvent *event) {
        EventGuard::run([this] { Cursor->ImageDblClick(); });
        press(event);
    });
    EventHook::install(Image, QEvent::MouseMove, [this](QEvent *event) {
        const auto *e = static_cast<QMouseEvent *>(event);
        const bool left = e->buttons().testFlag(Qt::LeftButton);
        const int screenX = qRound(e->globalPosition().x());
        EventGuard::run([&] { Cursor->ImageMouseMove(left, screenX); });
    });
    EventHook::install(Image, QEvent::MouseButtonRelease, [this](QEvent *event) {
        const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
        EventGuard::run([&] { Cursor->ImageMouseUp(button); });
    });
}

void TZephulF::wireChannelSettings()
{
    ChannelSetup = std::make_unique<ChannelSettings>(Channels);
    for (int n = 1; n <= 8; ++n) {
        Channel &ch = Channels[n - 1];
        connect(ch.ChannelMenuItem, &QAction::triggered, this,
                [this, n] { EventGuard::run([this, n] { ChannelSetup->ChannelMenuClick(n); }); });
        EventHook::install(ch.ColourBox, QEvent::MouseButtonRelease, [this, n](QEvent *event) {
            const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
            EventGuard::run([&] { ChannelSetup->ChgeCoulVoie(n, button); });
        });
    }
}

// ---- Debug window ----

void TZephulF::createDebugFramer()
{
    ComPaquetDebug = new TComDataPacket(this);
    ComPaquetDebug->setObjectName(QStringLiteral("ComPaquetDebug"));
    ProgramFramers::SetupDebug(*ComPaquetDebug);
    ComPaquetDebug->OnPacket = [this](TComDataPacket *sender, const QByteArray &packet) {
        EventGuard::runDeferred([&] {
            if (Form_Debug)
                Form_Debug->ComPaquetDebugPacket(sender, packet);
        });
    };
    connect(DemarrerDebugM, &QAction::triggered, this,
            [this] { EventGuard::run([this] { DemarrerDebugMClick(); }); });
}

TForm_Debug::MainWindowParts TZephulF::debugWindowParts()
{
    TForm_Debug::MainWindowParts parts;
    parts.Status = &Status;
    parts.flightMode = &flightMode;
    parts.EcranP = EcranP;
    parts.PurgeBuffers = [this] { ComPort->PurgeBuffers(true, true); };
    parts.SetDebugFramerAttached
        = [this](bool attached) { ComPaquetDebug->SetComPort(attached ? ComPort : nullptr); };
    parts.AttachDecoderFramer = [this](FlightMode mode) {
        (mode == FlightMode::FUSEE ? ComDataSolo : ComPaquetTuvo)->SetComPort(ComPort);
    };
    return parts;
}

void TZephulF::DemarrerDebugMClick()
{
    if (Form_Debug)
        Form_Debug->exec();
}

void TZephulF::clearChart()
{
    Chart.clear();
    Chart.takeDirty();
    Image->update();
}

void TZephulF::plotChannel(int n, int byte)
{
    Chart.plot(Channels.channel(n).PrevSample, byte, Channels.penColour(n), flightMode);
}

void TZephulF::endChartFrame()
{
    Chart.endFrame();
    const QRect dirty = Chart.takeDirty();
    if (!dirty.isEmpty())
        Image->update(dirty);
}

void TZephulF::resetBatteryCurve()
{
    Battery.reset();
    BatteryCurveDivider = 0;
    showBatteryCurve();
}

void TZephulF::showBatteryCurve()
{
    CourbePile->update();
}

void TZephulF::HorlogeTTimer()
{
    showClock();
    // Back to its own pace once the chronometer no longer brings it along.
    if (HorlogeT->interval() != ClockIntervalMs)
        HorlogeT->setInterval(ClockIntervalMs);
}

void TZephulF::showClock()
{
    m_clockSecond = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    DigitLabel::rewrite(Label_Horloge, ChronoText::clockText(QTime::currentTime()));
}

// A running chronometer rewrites its label at least once a second, each time on its own
// schedule. The clock, left to its timer, changed a moment apart from it: two wake-ups and two
// repaints a second where one does. So each rewrite brings the clock up to date in the same
// repaint, and each new second of the clock pushes the clock's own tick back beyond the next
// one. The clock still lags the true second by less than a second, as with its timer alone;
// in FUSEE by less than a tenth. Should the tick still come (a GUI thread held up), it only
// shows the clock once more.
void TZephulF::clockWithChronometer()
{
    // Ten times a second in FUSEE: the clock's text is only worked out, and its tick moved,
    // when its second is over.
    if (std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now())
        != m_clockSecond) {
        showClock();
        HorlogeT->start(ClockHeldMs);
    }
}

void TZephulF::startChronometer()
{
    // Only one chronometer counts at a time.
    TChronoThread::requestTerminate(ActiveChrono);
    Label_Chrono->setText(ChronoText::zeroText(flightMode));
    ActiveChrono = TChronoThread::Create(
        true, Label_Chrono, [this] { return flightMode; }, *m_flightClock);
    connect(ActiveChrono, &TChronoThread::displayUpdated, this,
            [this] { EventGuard::run([this] { clockWithChronometer(); }); });
    ChronoPending = false;
    ChronoI->setEnabled(true);
}

void TZephulF::stopChronometer()
{
    ChronoI->setEnabled(false);
    if (TChronoThread::isActive(ActiveChrono))
        ActiveChrono->requestTerminate();
}

void TZephulF::refreshChrono()
{
    TChronoThread::refresh(ActiveChrono);
}

void TZephulF::ChronoIDblClick()
{
    // A disabled icon takes no double-click: the reset exists only while a chronometer runs.
    if (!ChronoI->isEnabled() || !TChronoThread::isActive(ActiveChrono))
        return;
    ActiveChrono->restart();
    Label_Chrono->setText(ChronoText::startText(flightMode));
    clearChart();
    Image->move(0, Image->y());
    CurseurSB->setValue(0);
    Channels.resetPrevSamples();
    AcceptedFrameCount = 0;
    NbTramesL->setText(QStringLiteral("0"));
    resetBatteryCurve();
    // The sample store, the link statistics, the highest battery voltage and the record file
    // are left as they are.
}

bool TZephulF::FormClose()
{
    writeSettings();
    if (TChronoThread::isActive(ActiveChrono))
        ActiveChrono->requestTerminate();
    return true;
}

void TZephulF::closeEvent(QCloseEvent *event)
{
    if (m_quitting) {
        event->accept(); // "Quitter": no FormClose, no settings saved
        return;
    }
    bool closing = false;
    EventGuard::run([this, &closing] { closing = FormClose(); });
    if (closing)
        event->accept();
    else
        event->ignore();
}

void TZephulF::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    EventGuard::run([this] { FormResize(); });
}

void TZephulF::QuitterMClick()
{
    // Asked to stop now; the destructor waits for it before the windows go.
    TChronoThread::requestTerminate(ActiveChrono);
    // Qt 6's quit() closes every window (synchronously) before it ends the event loop; those
    // closes must not run FormClose, since "Quitter" does not save the settings.
    m_quitting = true;
    QApplication::quit();
    m_quitting = false;
}

void TZephulF::Timer_AProposTimer()
{
    Timer_APropos->stop();
    if (Form_APropos)
        Form_APropos->exec();
}

void TZephulF::AProposMClick()
{
    if (Form_APropos)
        Form_APropos->exec();
}

// ---- Serial port, port menu and receiver commands ----

void TZephulF::createComPort()
{
    ComPort = new TComPort(this);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    ComPort->setBaudRate(br600);
    ComPort->setDataBits(dbEight);
    ComPort->setStopBits(sbOneStopBit);
    ComPort->FlowControl().setFlowControl(fcNone);
    ComPort->FlowControl().setControlDTR(dtrDisable);
    ComPort->FlowControl().setControlRTS(rtsDisable);
    ComPort->OnDeviceLost = [this](TCustomComPort *) { ComPortDeviceLost(); };
    ReceiverWatch::MainWindowParts watchParts;
    watchParts.ComPort = ComPort;
    watchParts.decoderFramer = [this] { return decoderFramer(); };
    watchParts.setReceiverMenus = [this](bool enabled) { setReceiverMenus(enabled); };
    watchParts.showNotice
        = [this](const QString &text, bool alarm) { Notices->setReceiver(text, alarm); };
    ReceiverWatcher = new ReceiverWatch(watchParts, this);

    const auto framer = [this](const QString &name) {
        auto *f = new TComDataPacket(this);
        f->setObjectName(name);
        return f;
    };
    ComPaquetTuvo = framer(QStringLiteral("ComPaquetTuvo"));
    // A frame whose handling fails (a full disk) is reported once per reception and does not
    // hold up the frames behind it in the same block.
    ComPaquetTuvo->OnPacket = [this](TComDataPacket *sender, const QByteArray &packet) {
        EventGuard::runDeferred([&] { ComPaquetTuvoPacket(sender, packet); });
    };
    ComDataSolo = framer(QStringLiteral("ComDataSolo"));
    ComDataSolo->OnPacket = [this](TComDataPacket *sender, const QByteArray &packet) {
        EventGuard::runDeferred([&] { ComDataSoloPacket(sender, packet); });
    };
    ComPaquetScan = framer(QStringLiteral("ComPaquetScan"));
    ProgramFramers::SetupSweep(*ComPaquetScan);
    ComPaquetScan->OnPacket = [this](TComDataPacket *sender, const QByteArray &packet) {
        EventGuard::runDeferred([&] { ComPaquetScanPacket(sender, packet); });
    };
}

TComDataPacket *TZephulF::decoderFramer() const
{
    return flightMode == FlightMode::FUSEE ? ComDataSolo : ComPaquetTuvo;
}

void TZephulF::buildPortMenu()
{
    // A failing list is shown and leaves the menu as it was (empty at creation); the rest of
    // the creation goes on.
    QStringList ports;
    if (!EventGuard::run([&ports] { ports = ListSerialPorts(); }))
        return;
    // The open port stays in the menu, checked, while it is open.
    const bool open = ComPort->Connected();
    if (open && !ports.contains(ComPort->Port()))
        ports.append(ComPort->Port());
    for (QAction *item : std::as_const(PortItems)) {
        PortGroup->removeAction(item);
        ParametresM->removeAction(item);
        item->deleteLater();
    }
    PortItems.clear();
    SerieCB->clear();
    SerieCB->addItems(ports);
    // Every port is listed, however many the machine has.
    for (int i = 0; i < ports.size(); ++i) {
        QAction *item = ParametresM->addAction(ports[i]);
        item->setObjectName(QStringLiteral("PortItem%1").arg(i));
        item->setCheckable(true);
        item->setData(i);
        PortGroup->addAction(item);
        item->setChecked(open && ports[i] == ComPort->Port());
        connect(item, &QAction::triggered, this,
                [this, item] { EventGuard::run([this, item] { PortItemClick(item); }); });
        PortItems.append(item);
    }
}

void TZephulF::reopenRememberedPort()
{
    for (QAction *item : std::as_const(PortItems)) {
        if (item->text() != PortName)
            continue;
        ComPort->setPort(PortName);
        try {
            ComPort->OpenPort();
        } catch (const EComPort &) {
            // Not there at the moment: no message, the name stays for the next start.
        }
        if (!ComPort->Connected())
            continue;
        item->setChecked(true);
        setReceiverMenus(true);
        InfosPortSerieM->setText(QStringLiteral("   Port          ") + PortName);
        PendingChannel = 21;
        // A receiver that takes no command is reported; the creation goes on all the same.
        EventGuard::run([this] {
            ComPort->SendText(ReceiverCommand::tune(21));
            SetLoudspeaker(true);
        });
    }
}

void TZephulF::setReceiverMenus(bool enabled)
{
    Scanner1->setEnabled(enabled);
    Frequence->menuAction()->setEnabled(enabled);
    Hautparleur1->menuAction()->setEnabled(enabled);
}

void TZephulF::PortItemClick(QAction *item)
{
    item->setChecked(true);
    InfosPortSerieM->setText(QStringLiteral("   Port          ") + item->text());
    if (ComPort->Connected())
        ComPort->ClosePort();
    ComPort->setPort(item->text());
    PortName = item->text();
    try {
        ComPort->OpenPort();
    } catch (const EComPort &) {
        // Silently unchosen; the information line keeps the name that was tried.
        item->setChecked(false);
        PortName.clear();
        setReceiverMenus(false);
    }
    if (ComPort->Connected())
        setReceiverMenus(true);
}

void TZephulF::N137050MHzClick()
{
    N137050MHz->setChecked(true);
    ComPort->SendText(ReceiverCommand::tune(21));
    CurrentChannel = 21;
}

void TZephulF::N137500MHzClick()
{
    N137500MHz->setChecked(true);
    ComPort->SendText(ReceiverCommand::tune(30));
    CurrentChannel = 30;
}

void TZephulF::ON1Click()
{
    ON1->setChecked(true);
    SetLoudspeaker(true);
}

void TZephulF::OFF1Click()
{
    OFF1->setChecked(true);
    SetLoudspeaker(false);
}

void TZephulF::SetLoudspeaker(bool on)
{
    ComPort->SendText(ReceiverCommand::loudspeaker(on));
}

TForm_ChangementFrequence::MainWindowParts TZephulF::frequencyWindowParts()
{
    TForm_ChangementFrequence::MainWindowParts parts;
    parts.ChosenFrequencyText = &ChosenFrequencyText;
    parts.PendingChannel = &PendingChannel;
    parts.CurrentChannel = &CurrentChannel;
    parts.InfosFrequenceM = InfosFrequenceM;
    parts.N137050MHz = N137050MHz;
    parts.N137500MHz = N137500MHz;
    parts.EcranP = EcranP;
    parts.SendText = [this](const QByteArray &command) { ComPort->SendText(command); };
    return parts;
}

// ---- Band sweep ----

TForm_Scanner::MainWindowParts TZephulF::scannerParts()
{
    TForm_Scanner::MainWindowParts parts;
    parts.ComPort = ComPort;
    parts.ComPaquetScan = ComPaquetScan;
    parts.decoderFramer = [this] { return decoderFramer(); };
    parts.Status = &Status;
    parts.CurrentChannel = &CurrentChannel;
    parts.PendingChannel = &PendingChannel;
    parts.ChosenFrequencyText = &ChosenFrequencyText;
    parts.EcranP = EcranP;
    parts.showFrequencyWindow = [this] {
        if (Form_ChangementFrequence)
            Form_ChangementFrequence->exec();
    };
    return parts;
}

void TZephulF::Scanner1Click()
{
    if (Status != 0) {
        // The decoder stays attached: frames that come during the sweep are decoded as usual.
        const auto answer = UserDialogs::instance().message(
            UserDialogs::Icon::Warning, QStringLiteral("Balayage de fréquences"),
            QStringLiteral("Attention, la réception sera brouillée pendant quelques secondes."),
            { UserDialogs::Button::Ok, UserDialogs::Button::Cancel });
        if (answer != UserDialogs::Button::Ok)
            return;
        // No line across the gap the sweep makes.
        Channels.resetPrevSamples();
    }
    if (Form_Scanner)
        Form_Scanner->exec();
}

void TZephulF::StartSweep()
{
    Form_Scanner->StartSweep();
}

void TZephulF::ComPaquetScanPacket(TComDataPacket *sender, const QByteArray &packet)
{
    Form_Scanner->ComPaquetScanPacket(sender, packet);
}

// ---- Record file ----

void TZephulF::NouvFichierMClick()
{
    if (!FileChooser.NouvFichier(Record))
        return;
    setWindowTitle(RecordFileChooser::windowCaption(ProductBanner, Record.RecordPath));
    DemarrerM->setEnabled(true);
}

void TZephulF::OuvrirFichierMClick()
{
    if (!FileChooser.OuvrirFichier(Record))
        return;
    setWindowTitle(RecordFileChooser::windowCaption(ProductBanner, Record.RecordPath));
    DemarrerM->setEnabled(true);
}

void TZephulF::showRecordingState()
{
    Notices->setRecording(Record.failureText());
}

QStringList TZephulF::channelNames() const
{
    QStringList names;
    for (int n = 1; n <= 8; ++n)
        names << Channels[n - 1].NameEdit->text();
    return names;
}

// ---- Reception control ----

void TZephulF::DemarrerMClick()
{
    if (!ComPort->Connected()) {
        UserDialogs::instance().message(UserDialogs::Icon::Warning, QStringLiteral("Attention"),
                                        QStringLiteral("Veuillez choisir un port série"),
                                        { UserDialogs::Button::Ok });
        return;
    }
    // A full disk is reported once per reception, not once per frame.
    EventGuard::resetRepeats();
    Notices->setReceiver(QString(), false);
    DemarrerM->setEnabled(false);
    ArreterM->setEnabled(true);
    FichierM->menuAction()->setEnabled(false);
    ParametresM->menuAction()->setEnabled(false);
    DebugM->menuAction()->setEnabled(false);

    clearChart();
    Image->move(0, Image->y());
    CurseurSB->setValue(0);
    Channels.resetPrevSamples();
    Label_Chrono->setText(ChronoText::startText(flightMode));
    AcceptedFrameCount = 0;
    NbTramesL->setText(QStringLiteral("0"));
    resetBatteryCurve();
    Decoder->startReception();

    try {
        Record.BeginRecordRun(LaunchDate, channelNames());
        showRecordingState();
        Status = 10;
        ChronoPending = true;
        ComPort->PurgeBuffers(true, true);
        decoderFramer()->SetComPort(ComPort);
    } catch (...) {
        // Nothing may stay half started: back to the state after "Arrêter", then the error.
        stopReception(false);
        throw;
    }
    DataSeen = false;
    Timer_Donnees->start();
}

void TZephulF::ArreterMClick()
{
    const bool receiverAway = ReceiverWatcher->isWatching();
    ReceiverWatcher->stop();
    Notices->setReceiver(QString(), false);
    stopReception(true);
    // Stopped while the receiver was away: as after the loss of an idle port.
    if (receiverAway)
        portLost();
}

void TZephulF::stopReception(bool purge)
{
    Timer_Donnees->stop();
    stopChronometer();
    // A purge that fails (the receiver went away) must not leave the reception half stopped:
    // the stop completes and the error is shown afterwards.
    std::exception_ptr purgeError;
    if (purge && ComPort->Connected()) {
        try {
            ComPort->PurgeBuffers(true, true);
        } catch (...) {
            purgeError = std::current_exception();
        }
    }
    for (TComDataPacket *framer : { ComPaquetTuvo, ComDataSolo })
        if (framer->ComPort())
            framer->SetComPort(nullptr);
    Status = 0;
    Record.RunOpen = false;
    FichierM->menuAction()->setEnabled(true);
    ArreterM->setEnabled(false);
    DemarrerM->setEnabled(true);
    ParametresM->menuAction()->setEnabled(true);
    DebugM->menuAction()->setEnabled(true);
    Timer_Paquet->stop();
    TramesG->setProgress(0);
    PileG->setProgress(0);
    TuvoOk->hide();
    TuvoNo->hide();
    if (purgeError)
        std::rethrow_exception(purgeError);
}

void TZephulF::ComPortDeviceLost()
{
    // The port is closed already. During a reception nothing else stops: the chronometer, the
    // chart, the counters and the record run go on while the receiver is away, and the same
    // port is taken back as soon as it is there again.
    if (Status == 10) {
        ReceiverWatcher->lost();
        return;
    }
    portLost();
    const QString text
        = QStringLiteral("Le port série du récepteur (%1) a été perdu.").arg(ComPort->Port());
    QMetaObject::invokeMethod(
        this, [text] { UserDialogs::instance().showError(text); }, Qt::QueuedConnection);
}

void TZephulF::portLost()
{
    // The name is kept so that the port is tried again at the next start.
    for (QAction *item : std::as_const(PortItems))
        item->setChecked(false);
    setReceiverMenus(false);
}

void TZephulF::ComPaquetTuvoPacket(TComDataPacket *sender, const QByteArray &packet)
{
    Decoder->ComPaquetTuvoPacket(sender, packet);
}

void TZephulF::ComDataSoloPacket(TComDataPacket *sender, const QByteArray &packet)
{
    Decoder->ComDataSoloPacket(sender, packet);
}

// ---- Frame decoder and link statistics ----

void TZephulF::createDecoder()
{
    FrameDecoder::MainWindowParts p;
    p.flightMode = &flightMode;
    p.Label_Chrono = Label_Chrono;
    p.Label_Horloge = Label_Horloge;
    p.NbTramesL = NbTramesL;
    p.AlimL = AlimL;
    p.TxVolL = TxVolL;
    p.Tx1mnL = Tx1mnL;
    p.TramesG = TramesG;
    p.PileG = PileG;
    p.TuvoOk = TuvoOk;
    p.TuvoNo = TuvoNo;
    p.Timer_Paquet = Timer_Paquet;
    p.Timer_Stat = Timer_Stat;
    p.Timer_StatSolo = Timer_StatSolo;
    p.Channels = &Channels;
    p.Chart = &Chart;
    p.Samples = Samples.get();
    p.Battery = &Battery;
    p.AcceptedFrameCount = &AcceptedFrameCount;
    p.BatteryCurveDivider = &BatteryCurveDivider;
    p.DataSeen = &DataSeen;
    p.ChronoPending = &ChronoPending;
    p.refreshChrono = [this] { refreshChrono(); };
    p.startChronometer = [this] { startChronometer(); };
    p.plotChannel = [this](int n, int byte) { plotChannel(n, byte); };
    p.endChartFrame = [this] { endChartFrame(); };
    p.showBatteryCurve = [this] { showBatteryCurve(); };
    p.datePrefix = [this] { return Record.DatePrefix; };
    p.appendRecordLine = [this](const QString &line) {
        // The red text follows every line, written or not.
        struct ShowState
        {
            TZephulF *w;
            ~ShowState() { w->showRecordingState(); }
        } show { this };
        Record.AppendRecordLine(line);
    };
    Decoder = std::make_unique<FrameDecoder>(p);
}

void TZephulF::Timer_PaquetTimer()
{
    Decoder->Timer_PaquetTimer();
}

void TZephulF::Timer_StatTimer()
{
    Decoder->Timer_StatTimer();
}

void TZephulF::Timer_StatSoloTimer()
{
    Decoder->Timer_StatSoloTimer();
}

void TZephulF::Timer_DonneesTimer()
{
    Decoder->Timer_DonneesTimer();
}
