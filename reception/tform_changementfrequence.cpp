#include "tform_changementfrequence.h"

#include "colour.h"
#include "eventguard.h"
#include "receivercommand.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

QLabel *boldLabel(QWidget *parent, const QString &name, const QString &text, int left, int top,
                  std::uint32_t bgr)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colourFromBgr(bgr));
    label->setPalette(palette);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, int left)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(left, 80, 75, 25);
    // Enter in the password box checks the password; it must never press a button.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace

const QString TForm_ChangementFrequence::Password = QStringLiteral("vostrel");

TForm_ChangementFrequence::TForm_ChangementFrequence(QWidget *parent)
    : TForm_ChangementFrequence(MainWindowParts {}, parent)
{ }

TForm_ChangementFrequence::TForm_ChangementFrequence(const MainWindowParts &parts, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
    , m_parts(parts)
{
    setObjectName(QStringLiteral("Form_ChangementFrequence"));
    setWindowTitle(QStringLiteral("Zephul - Nouvelle fréquence"));
    setFixedSize(273, 141);
    setModal(true);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colourFromBgr(0x00F2CDAC));
    setPalette(palette);

    Label_Titre = boldLabel(this, QStringLiteral("Label_Titre"),
                            QStringLiteral("Réception de la fréquence : "), 12, 12, 0x00000000);
    Label_Frequence = boldLabel(this, QStringLiteral("Label_Frequence"),
                                QStringLiteral("138,450 MHz"), 176, 12, 0x00800000);
    Label_MotDePasse = boldLabel(this, QStringLiteral("Label_MotDePasse"),
                                 QStringLiteral("Mot de passe :"), 20, 48, 0x00000080);

    Edit_MotDePasse = new QLineEdit(this);
    Edit_MotDePasse->setObjectName(QStringLiteral("Edit_MotDePasse"));
    Edit_MotDePasse->setGeometry(112, 44, 121, 21);
    Edit_MotDePasse->setEchoMode(QLineEdit::Password);
    Edit_MotDePasse->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    Edit_MotDePasse->installEventFilter(this);

    Button_Annuler = button(this, QStringLiteral("Button_Annuler"), QStringLiteral("&Annuler"), 12);
    Button_OK = button(this, QStringLiteral("Button_OK"), QStringLiteral("&OK"), 176);
    Button_OK->setEnabled(false);
    connect(Button_Annuler, &QPushButton::clicked, this,
            [this] { EventGuard::run([this] { Button_AnnulerClick(); }); });
    connect(Button_OK, &QPushButton::clicked, this,
            [this] { EventGuard::run([this] { Button_OKClick(); }); });
}

void TForm_ChangementFrequence::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        EventGuard::run([this] { FormShow(); });
}

bool TForm_ChangementFrequence::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Edit_MotDePasse && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const QChar typed = enter ? QChar(13) : (key->text().isEmpty() ? QChar() : key->text()[0]);
        EventGuard::run([this, typed] { Edit_MotDePasseKeyPress(typed); });
    }
    // The key goes on to the edit either way.
    return QDialog::eventFilter(watched, event);
}

void TForm_ChangementFrequence::FormShow()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 0;
    const int chartHeight = m_parts.EcranP ? m_parts.EcranP->height() : 0;
    // Centred across the screen but on the chart's height, as the operators are used to.
    move((screenWidth - width()) / 2, (chartHeight - height()) / 2);

    const QString text = m_parts.ChosenFrequencyText ? *m_parts.ChosenFrequencyText : QString();
    Label_Frequence->setText(text);
    Label_Frequence->adjustSize();
    // The two channels of the "Fréquence" menu need no password. The texts carry the locale's
    // separator, so under a locale with a decimal point every channel asks for it.
    if (text == QStringLiteral("137,500 MHz") || text == QStringLiteral("137,050 MHz")) {
        Button_OK->setEnabled(true);
        Label_MotDePasse->hide();
        Edit_MotDePasse->hide();
    } else {
        Button_OK->setEnabled(false);
        Label_MotDePasse->show();
        Edit_MotDePasse->show();
        Edit_MotDePasse->clear();
        Edit_MotDePasse->setFocus();
    }
}

void TForm_ChangementFrequence::Edit_MotDePasseKeyPress(QChar key)
{
    if (key != QChar(13))
        return;
    Button_OK->setEnabled(Edit_MotDePasse->text() == Password);
}

void TForm_ChangementFrequence::Button_OKClick()
{
    const std::int32_t channel = m_parts.PendingChannel ? *m_parts.PendingChannel : 0;
    if (m_parts.InfosFrequenceM)
        m_parts.InfosFrequenceM->setText(QStringLiteral("  Fréquence ") + Label_Frequence->text());
    if (m_parts.N137500MHz)
        m_parts.N137500MHz->setChecked(false);
    if (m_parts.N137050MHz)
        m_parts.N137050MHz->setChecked(false);
    if (channel == 21 && m_parts.N137050MHz)
        m_parts.N137050MHz->setChecked(true);
    else if (channel == 30 && m_parts.N137500MHz)
        m_parts.N137500MHz->setChecked(true);
    if (m_parts.Image_Canal)
        m_parts.Image_Canal->move(channel * 10 + 20, m_parts.Image_Canal->y());
    // A failed write ends here: the window stays open and the current channel is unchanged.
    if (m_parts.SendText)
        m_parts.SendText(ReceiverCommand::tune(channel));
    if (m_parts.CurrentChannel)
        *m_parts.CurrentChannel = channel;
    accept();
}

void TForm_ChangementFrequence::Button_AnnulerClick()
{
    reject();
}
