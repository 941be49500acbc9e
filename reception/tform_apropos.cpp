#include "tform_apropos.h"

#include "artwork.h"
#include "colour.h"
#include "eventguard.h"
#include "gauge.h"
#include "zephulversion.h"

#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

namespace {

QFrame *choicePanel(QWidget *parent, int left, const QImage &picture, int pictureLeft,
                    QLabel **image)
{
    auto *panel = new QFrame(parent);
    panel->setGeometry(left, 360, 65, 65);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colourFromBgr(0x00F2CDAC));
    panel->setPalette(palette);
    panel->setCursor(Qt::PointingHandCursor);
    *image = new QLabel(panel);
    (*image)->setGeometry(pictureLeft, 8, 53, 45);
    (*image)->setPixmap(QPixmap::fromImage(picture));
    return panel;
}

} // namespace

TForm_APropos::TForm_APropos(const MainWindowParts &parts, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_parts(parts)
{
    setObjectName(QStringLiteral("Form_APropos"));
    setFixedSize(305, 443);
    setModal(true);

    AProposP = new QFrame(this);
    AProposP->setGeometry(0, 0, 305, 461);
    AProposP->setAutoFillBackground(true);
    QPalette white = AProposP->palette();
    white.setColor(QPalette::Window, Qt::white);
    AProposP->setPalette(white);

    ImageAPropos = new QLabel(AProposP);
    ImageAPropos->setGeometry(5, 7, 300, 450);
    ImageAPropos->setScaledContents(true);
    ImageAPropos->setPixmap(QPixmap::fromImage(Artwork::aboutPicture()));

    // Under the picture's title, well above the choice panels and the OK button, so that it
    // stays in view once the box is shortened after the choice.
    VersionL = new QLabel(QStringLiteral("Version " ZEPHUL_VERSION), AProposP);
    VersionL->setObjectName(QStringLiteral("VersionL"));
    VersionL->setGeometry(5, 91, 300, 14);
    VersionL->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    QFont small = VersionL->font();
    small.setPixelSize(10);
    VersionL->setFont(small);
    QPalette light = VersionL->palette();
    light.setColor(QPalette::WindowText, QColor(230, 240, 255));
    VersionL->setPalette(light);

    Panel_Fusee = choicePanel(AProposP, 64, Artwork::rocketPicture(), 8, &Image_Fusee);
    Panel_Ballon = choicePanel(AProposP, 174, Artwork::balloonPicture(), 4, &Image_Ballon);
    Panel_Fusee->setToolTip(QStringLiteral("FUSEE"));
    Panel_Ballon->setToolTip(QStringLiteral("BALLON"));
    for (QWidget *w :
         { static_cast<QWidget *>(Panel_Fusee), static_cast<QWidget *>(Image_Fusee),
           static_cast<QWidget *>(Panel_Ballon), static_cast<QWidget *>(Image_Ballon) })
        w->installEventFilter(this);

    Button_Fermer = new QPushButton(QStringLiteral("OK"), AProposP);
    Button_Fermer->setGeometry(116, 380, 77, 29);
    Button_Fermer->hide();
    connect(Button_Fermer, &QPushButton::clicked, this,
            [this] { EventGuard::run([this] { Button_FermerClick(); }); });
}

bool TForm_APropos::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == Panel_Fusee || watched == Image_Fusee) {
            EventGuard::run([this] { Panel_FuseeClick(); });
            return true;
        }
        if (watched == Panel_Ballon || watched == Image_Ballon) {
            EventGuard::run([this] { Panel_BallonClick(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm_APropos::showEvent(QShowEvent *event)
{
    EventGuard::run([this] { FormShow(); });
    QDialog::showEvent(event);
}

void TForm_APropos::FormShow()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : width();
    const int chartHeight = m_parts.EcranP ? m_parts.EcranP->height() : 0;
    // Integer division truncating toward zero, as both positions are specified.
    move((screenWidth - width()) / 2, (chartHeight - height()) / 2);
    if (!Panel_Fusee->isHidden()) // no choice made yet
        return;
    Button_Fermer->show();
    setFixedHeight(410);
}

void TForm_APropos::Panel_FuseeClick()
{
    *m_parts.flightMode = FlightMode::FUSEE;
    m_parts.InfosModeM->setText(QStringLiteral("   Mode     FUSEE"));
    m_parts.TramesG->hide();
    m_parts.NbTramesL->move(32, m_parts.NbTramesL->y());
    m_parts.TxVolL->move(m_parts.TxVolL->x(), 10);
    m_parts.TxVolLL->move(m_parts.TxVolLL->x(), 10);
    m_parts.Tx1mnL->hide();
    m_parts.Tx1mnLL->hide();
    m_parts.Label_Chrono->setText(QStringLiteral("00:00.000"));
    if (m_parts.FormResize)
        m_parts.FormResize();
    Panel_Fusee->hide();
    Panel_Ballon->hide();
    close();
}

void TForm_APropos::Panel_BallonClick()
{
    *m_parts.flightMode = FlightMode::BALLON;
    m_parts.InfosModeM->setText(QStringLiteral("   Mode      BALLON"));
    m_parts.TramesG->show();
    m_parts.TramesG->setProgress(0);
    m_parts.NbTramesL->move(52, m_parts.NbTramesL->y());
    m_parts.TxVolL->move(m_parts.TxVolL->x(), 3);
    m_parts.TxVolLL->move(m_parts.TxVolLL->x(), 3);
    m_parts.Tx1mnL->show();
    m_parts.Tx1mnLL->show();
    m_parts.Label_Chrono->setText(QStringLiteral("00:00:00"));
    Panel_Fusee->hide();
    Panel_Ballon->hide();
    close();
}

void TForm_APropos::Button_FermerClick()
{
    close();
}
