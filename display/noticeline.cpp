#include "noticeline.h"

#include <QLabel>
#include <algorithm>
#include <tuple>

namespace {

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

NoticeLine::NoticeLine(QLabel *receiver, QLabel *recording)
    : m_receiver(receiver)
    , m_recording(recording)
{
    setTextColour(m_recording, Qt::red);
    m_receiver->hide();
    m_recording->hide();
}

void NoticeLine::setReceiver(const QString &text, bool alarm)
{
    // Called after every frame: an unchanged notice costs nothing.
    if (text == m_receiverText && alarm == m_receiverAlarm)
        return;
    m_receiverText = text;
    m_receiverAlarm = alarm;
    setTextColour(m_receiver, alarm ? QColor(Qt::red) : QColor(0, 110, 0));
    place(m_left, m_right);
}

void NoticeLine::setRecording(const QString &text)
{
    if (text == m_recordingText)
        return;
    m_recordingText = text;
    place(m_left, m_right);
}

void NoticeLine::place(int left, int right)
{
    m_left = left;
    m_right = right;
    const std::tuple<QLabel *, QString, Qt::TextElideMode> notices[]
        = { { m_receiver, m_receiverText, Qt::ElideRight },
            { m_recording, m_recordingText, Qt::ElideMiddle } };
    for (const auto &[label, text, elide] : notices) {
        const int width = std::max(0, right - left);
        label->setGeometry(left, label->y(), width, label->fontMetrics().height());
        label->setToolTip(text);
        label->setText(label->fontMetrics().elidedText(text, elide, width));
        label->setVisible(!text.isEmpty());
        if (!text.isEmpty())
            left = std::min(right,
                            left + label->fontMetrics().horizontalAdvance(label->text()) + 24);
    }
}
