#pragma once

#include <QString>

class QLabel;

// The notices beside the chart's read-outs, where the operator looks during a flight: what
// became of the receiver (lost in red, back in green) and, in red, a record file that cannot be
// written. Each is shown while it has a text, the receiver's first; each is cut to the room left
// (the receiver's at its end, so its time stays; the file's in its middle, so its name stays)
// and carries its whole text as a tool tip. The labels are the window's. GUI thread only.
class NoticeLine
{
public:
    NoticeLine(QLabel *receiver, QLabel *recording);

    void setReceiver(const QString &text, bool alarm);
    void setRecording(const QString &text);
    // Lays the notices out from `left` to `right` (window coordinates) on their row.
    void place(int left, int right);

private:
    QLabel *m_receiver;
    QLabel *m_recording;
    QString m_receiverText;
    bool m_receiverAlarm = false;
    QString m_recordingText;
    int m_left = 0;
    int m_right = 0;
};
