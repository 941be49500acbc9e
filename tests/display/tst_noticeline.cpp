#include "noticeline.h"

#include <QLabel>
#include <QTest>
#include <QWidget>

namespace {

struct Notice
{
    QString text;
    bool alarm = false;
};

// A row of the window with both notices, laid out from 10 to 590.
struct Row
{
    Row()
    {
        window.resize(600, 40);
        line.place(10, 590);
        window.show();
    }
    QWidget window;
    QLabel *receiver = new QLabel(&window);
    QLabel *recording = new QLabel(&window);
    NoticeLine line { receiver, recording };
};

} // namespace

Q_DECLARE_METATYPE(Notice)

class TestNoticeLine : public QObject
{
    Q_OBJECT

private slots:
    // The receiver's notice after a sequence of notices: its text, its colour and whether it is
    // shown follow the last one, also when only the alarm changes or a notice repeats.
    void receiverFollowsTheLastNotice_data()
    {
        QTest::addColumn<QList<Notice>>("notices");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QColor>("colour");
        const QColor red = Qt::red;
        const QColor green(0, 110, 0);
        const Notice lost { QStringLiteral("Récepteur perdu"), true };
        const Notice back { QStringLiteral("Récepteur retrouvé"), false };
        QTest::newRow("lost") << QList<Notice> { lost } << true << red;
        QTest::newRow("lost twice") << QList<Notice> { lost, lost } << true << red;
        QTest::newRow("lost, then back") << QList<Notice> { lost, back } << true << green;
        QTest::newRow("same text, alarm off")
            << QList<Notice> { lost, Notice { lost.text, false } } << true << green;
        QTest::newRow("same text, alarm on")
            << QList<Notice> { back, Notice { back.text, true } } << true << red;
        QTest::newRow("lost, then cleared")
            << QList<Notice> { lost, Notice {}, Notice {} } << false << QColor();
        QTest::newRow("cleared, then lost again")
            << QList<Notice> { lost, Notice {}, lost } << true << red;
    }
    void receiverFollowsTheLastNotice()
    {
        QFETCH(QList<Notice>, notices);
        QFETCH(bool, shown);
        QFETCH(QColor, colour);
        Row row;
        QLabel *receiver = row.receiver;
        QLabel *recording = row.recording;
        NoticeLine &line = row.line;
        for (const Notice &n : notices)
            line.setReceiver(n.text, n.alarm);
        QCOMPARE(receiver->isVisible(), shown);
        QVERIFY(!recording->isVisible());
        if (shown) {
            QCOMPARE(receiver->text(), notices.last().text);
            QCOMPARE(receiver->toolTip(), notices.last().text);
            QCOMPARE(receiver->palette().color(QPalette::WindowText), colour);
        }
    }

    // The record file's notice stands after the receiver's, and moves when the receiver's text
    // changes, even if its own text is set again unchanged.
    void recordingStandsAfterTheReceiver()
    {
        Row row;
        QLabel *receiver = row.receiver;
        QLabel *recording = row.recording;
        NoticeLine &line = row.line;
        const QString failure = QStringLiteral("Écriture impossible");
        line.setRecording(failure);
        QVERIFY(recording->isVisible());
        QCOMPARE(recording->x(), 10);
        line.setReceiver(QStringLiteral("Récepteur perdu"), true);
        line.setRecording(failure);
        QVERIFY(recording->x() > receiver->x() + 24);
        line.setReceiver(QString(), false);
        QCOMPARE(recording->x(), 10);
        line.setRecording(QString());
        QVERIFY(!recording->isVisible());
    }
};

QTEST_MAIN(TestNoticeLine)
#include "tst_noticeline.moc"
