#include "tform_debug.h"

#include "colour.h"
#include "eventguard.h"
#include "longtextedit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

TForm_Debug::TForm_Debug(QWidget *parent)
    : TForm_Debug(MainWindowParts {}, parent)
{ }

TForm_Debug::TForm_Debug(const MainWindowParts &parts, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
    , m_parts(parts)
{
    setObjectName(QStringLiteral("Form_Debug"));
    setWindowTitle(QStringLiteral("Debug"));
    setModal(true);
    resize(258, 538);

    DebugMemo = new LongTextEdit(this);
    DebugMemo->setObjectName(QStringLiteral("DebugMemo"));
    QPalette palette = DebugMemo->palette();
    palette.setColor(QPalette::Base, colourFromBgr(0x00D7FFAE)); // pale green
    palette.setColor(QPalette::Text, Qt::black);
    DebugMemo->setPalette(palette);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(10);
    DebugMemo->setFont(font);
    DebugMemo->setGeometry(-2, 0, 260, 540);
    connect(DebugMemo, &LongTextEdit::clicked, this,
            [this] { EventGuard::run([this] { DebugMemoClick(); }); });
}

QString TForm_Debug::ThreeDigitText(int value)
{
    QString text = QString::number(value);
    if (value < 10)
        text.prepend(u'0');
    if (value < 100)
        text.prepend(u'0');
    return text;
}

void TForm_Debug::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        EventGuard::run([this] { FormShow(); });
}

void TForm_Debug::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // Anchored to all four sides, 2 px beyond the left and the bottom edge.
    DebugMemo->setGeometry(-2, 0, width() + 2, height() + 2);
}

void TForm_Debug::FormShow()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 0;
    const int chartHeight = m_parts.EcranP ? m_parts.EcranP->height() : 0;
    // Centred across the screen and on the chart's height, but never with its caption above
    // the screen (on a low screen the window is taller than the chart).
    move((screenWidth - width()) / 2, std::max(0, (chartHeight - height()) / 2));
    DebugMemo->clear();
    DebugMemo->setFocus();
    if (!m_parts.Status)
        return; // not wired to a main window
    // Bytes received before the window opened are not shown. Without an open port this fails,
    // and nothing is attached.
    m_parts.PurgeBuffers();
    m_parts.SetDebugFramerAttached(true);
    if (*m_parts.Status == 0)
        *m_parts.Status = 30;
}

void TForm_Debug::FormClose()
{
    if (!m_parts.Status)
        return;
    m_parts.SetDebugFramerAttached(false);
    if (*m_parts.Status == 30)
        *m_parts.Status = 0;
    // A reception that runs gets its frames again.
    if (*m_parts.Status == 10)
        m_parts.AttachDecoderFramer(*m_parts.flightMode);
}

void TForm_Debug::done(int result)
{
    if (isVisible())
        EventGuard::run([this] { FormClose(); });
    QDialog::done(result);
}

void TForm_Debug::ComPaquetDebugPacket(QObject *, const QByteArray &packet)
{
    QString text;
    text.reserve(packet.size() * 4);
    for (const char byte : packet)
        text += ThreeDigitText(static_cast<unsigned char>(byte)) + u' ';
    DebugMemo->insertAtCaret(text);
}
