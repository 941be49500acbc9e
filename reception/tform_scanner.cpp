#include "tform_scanner.h"

#include "artwork.h"
#include "colour.h"
#include "eventguard.h"
#include "eventhook.h"
#include "programframers.h"
#include "receivercommand.h"
#include "tcomdatapacket.h"
#include "tcomport.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

namespace {

constexpr std::uint32_t ScanColour = 0xF2CDAC; // light blue, 0x00BBGGRR
constexpr std::uint32_t MenuChannelColour = 0xF0808F; // blue-violet: the two menu channels
constexpr std::uint32_t OtherChannelColour = 0x8080FF; // light red
constexpr int BarTop = 265; // where a bar stands before its first reading
constexpr int AxisBottom = 267; // every bar ends here

QFrame *bevel(QWidget *parent, const QString &name, QRect geometry)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(1);
    frame->setGeometry(geometry);
    return frame;
}

QLabel *picture(QWidget *parent, const QString &name, const QImage &image, QPoint at)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(QPixmap::fromImage(image));
    label->setGeometry(QRect(at, image.size()));
    return label;
}

void fill(QWidget *widget, std::uint32_t bgr)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colourFromBgr(bgr));
    widget->setPalette(palette);
}

} // namespace

TForm_Scanner::TForm_Scanner(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form_Scanner"));
    setWindowTitle(QStringLiteral("Zephul - Balayage de fréquences"));
    setFixedSize(671, 348);
    setModal(true);

    Panel_Scan = new QFrame(this);
    Panel_Scan->setObjectName(QStringLiteral("Panel_Scan"));
    Panel_Scan->setGeometry(-1, -3, 673, 376);
    fill(Panel_Scan, ScanColour);

    Bevel2 = bevel(Panel_Scan, QStringLiteral("Bevel2"), QRect(18, 32, 2, 235));
    Bevel1 = bevel(Panel_Scan, QStringLiteral("Bevel1"), QRect(20, 266, 637, 2));
    Image1 = picture(Panel_Scan, QStringLiteral("Image1"),
                     Artwork::bandEndPicture(QStringLiteral("136.000 MHz")), QPoint(19, 268));
    Image2 = picture(Panel_Scan, QStringLiteral("Image2"),
                     Artwork::bandEndPicture(QStringLiteral("139.000 MHz")), QPoint(619, 268));
    Image_Canal = picture(Panel_Scan, QStringLiteral("Image_Canal"),
                          Artwork::channelMarkerPicture(), QPoint(19, 270));

    Button1 = new QPushButton(QStringLiteral("Nouveau balayage"), Panel_Scan);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(4, 4, 129, 25);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this,
            [this] { EventGuard::run([this] { Button1Click(); }); });

    // The bars, created once; each keeps its last reading for the life of the program.
    for (int i = 0; i < BarCount; ++i) {
        auto *bar = new QFrame(Panel_Scan);
        bar->setObjectName(QStringLiteral("ScanBar%1").arg(i));
        bar->setFrameStyle(QFrame::Panel | QFrame::Raised);
        bar->setLineWidth(1);
        bar->setGeometry(markerLeft(i), BarTop, 10, 0);
        fill(bar, i == 21 || i == 30 ? MenuChannelColour : OtherChannelColour);
        bar->setToolTip(ReceiverCommand::frequencyText(i));
        bar->setProperty("tag", i);
        EventHook::install(bar, QEvent::MouseButtonRelease, [this, bar](QEvent *event) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton
                && bar->rect().contains(mouse->position().toPoint()))
                EventGuard::run([this, bar] { BarClick(bar); });
        });
        ScanBars[std::size_t(i)] = bar;
    }
    // The marker passes over the fixed labels at both ends of the band.
    Image_Canal->raise();
}

std::optional<int> TForm_Scanner::parseReading(const QByteArray &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return std::nullopt;
    int value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9' || value > 100'000'000)
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

void TForm_Scanner::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        EventGuard::run([this] { FormShow(); });
}

void TForm_Scanner::FormShow()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 0;
    const int chartHeight = m_parts.EcranP ? m_parts.EcranP->height() : 0;
    move((screenWidth - width()) / 2, (chartHeight - height()) / 2);
    StartSweep();
}

void TForm_Scanner::Button1Click()
{
    StartSweep();
}

void TForm_Scanner::StartSweep()
{
    ScanIndex = 0;
    m_parts.ComPort->PurgeBuffers(true, true);
    // Like the bytes the purge dropped, half an answer still in the framer belongs to an
    // earlier sweep: it would swallow the first new answer and shift every bar by one.
    m_parts.ComPaquetScan->FlushText();
    ProgramFramers::SetupSweep(*m_parts.ComPaquetScan);
    if (m_parts.ComPaquetScan->ComPort() != m_parts.ComPort)
        m_parts.ComPaquetScan->SetComPort(m_parts.ComPort);
    m_parts.ComPort->SendText(ReceiverCommand::sweep());
}

void TForm_Scanner::ComPaquetScanPacket(TComDataPacket *, const QByteArray &text)
{
    // A garbled answer is dropped without a word; the next good one fills the same bar.
    const std::optional<int> reading = parseReading(text);
    if (!reading || ScanIndex < 0 || ScanIndex >= BarCount)
        return;
    const int r = *reading;
    QFrame *bar = ScanBars[std::size_t(ScanIndex)];
    // Bottom on the axis; a reading below -5 cannot make a bar of negative height.
    bar->setGeometry(bar->x(), AxisBottom - std::max(r + 5, 0), bar->width(), std::max(r + 5, 0));
    Image_Canal->move(markerLeft(ScanIndex), Image_Canal->y());
    ++ScanIndex;
    if (ScanIndex < BarCount)
        return;
    m_parts.ComPaquetScan->SetComPort(nullptr);
    if (m_parts.Status && *m_parts.Status == 10 && m_parts.decoderFramer) {
        TComDataPacket *decoder = m_parts.decoderFramer();
        if (decoder && decoder->ComPort() != m_parts.ComPort)
            decoder->SetComPort(m_parts.ComPort);
    }
    Image_Canal->move(markerLeft(m_parts.CurrentChannel ? *m_parts.CurrentChannel : 0),
                      Image_Canal->y());
}

void TForm_Scanner::BarClick(QFrame *bar)
{
    if (m_parts.ChosenFrequencyText)
        *m_parts.ChosenFrequencyText = bar->toolTip();
    if (m_parts.PendingChannel)
        *m_parts.PendingChannel = bar->property("tag").toInt();
    if (m_parts.showFrequencyWindow)
        m_parts.showFrequencyWindow();
}
