#include "chunkedtext.h"
#include "longtextedit.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QRandomGenerator>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>
#include <vector>

namespace {

std::vector<int> lineStarts(const LongTextEdit &box)
{
    std::vector<int> starts;
    for (int i = 0; i < box.lineCount(); ++i)
        starts.push_back(box.lineStart(i));
    return starts;
}

QString lineStartsText(const LongTextEdit &box)
{
    QStringList parts;
    for (const int s : lineStarts(box))
        parts << QString::number(s);
    return parts.join(u' ');
}

QString randomPiece(QRandomGenerator &random)
{
    switch (random.bounded(6)) {
    case 0:
        return QStringLiteral("\n");
    case 1:
        return QString(int(random.bounded(1, 80)), u'W'); // wider than a line, now and then
    case 2:
        return QStringLiteral("  ");
    default: {
        QString text;
        for (int i = int(random.bounded(1, 6)); i > 0; --i)
            text += QStringLiteral("%1 ").arg(random.bounded(256), 3, 10, QChar(u'0'));
        return text;
    }
    }
}

// Typed keys that carry text (accented letters included), as the keyboard sends them.
void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

} // namespace

class TestLongTextEdit : public QObject
{
    Q_OBJECT

private:
    // A box whose lines are wrapped at `wrap` pixels.
    static void setWrapWidth(LongTextEdit &box, qreal wrap)
    {
        box.resize(400, 200);
        const int margin = box.width() - int(box.wrapWidth());
        box.resize(margin + int(std::ceil(wrap)), 200);
        QCOMPARE(box.wrapWidth(), std::ceil(wrap));
    }

private slots:
    // The pieces give back what a plain string would after the same edits.
    void chunkedTextFollowsAString_data()
    {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 4; ++seed)
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
    }
    void chunkedTextFollowsAString()
    {
        QFETCH(int, seed);
        QRandomGenerator random { quint32(seed) };
        ChunkedText chunks;
        QString plain;
        for (int step = 0; step < 600; ++step) {
            const qsizetype from = random.bounded(int(plain.size()) + 1);
            const qsizetype length = random.bounded(3) == 0
                ? random.bounded(int(std::min<qsizetype>(plain.size() - from, 9000)) + 1)
                : 0;
            QString text;
            if (random.bounded(20) == 0)
                text = QString(int(random.bounded(20000)), QChar(u'a' + step % 26));
            else
                text = randomPiece(random);
            chunks.replace(from, length, text);
            plain.replace(from, length, text);
            QCOMPARE(chunks.size(), plain.size());
            if (!plain.isEmpty()) {
                const qsizetype at = random.bounded(int(plain.size()));
                QCOMPARE(chunks.at(at), plain.at(at));
                QCOMPARE(chunks.mid(at, 50), plain.mid(at, 50));
            }
        }
        QCOMPARE(chunks.toString(), plain);
        QString scanned;
        chunks.scan(10, [&](qsizetype i, QChar c) {
            if (i != 10 + scanned.size())
                return false;
            scanned += c;
            return true;
        });
        QCOMPARE(scanned, plain.mid(10));
        chunks.replace(0, chunks.size(), QString());
        QVERIFY(chunks.isEmpty());
        chunks.replace(0, 0, QStringLiteral("abc"));
        QCOMPARE(chunks.toString(), QStringLiteral("abc"));
    }

    // Widths are in digits ("0"), blanks and capital W of the box's own font.
    void wrapping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("digits"); // wrap width, in digits ...
        QTest::addColumn<int>("blanks"); // ... plus blanks
        QTest::addColumn<QString>("starts");
        QTest::newRow("three numbers a line")
            << "255 000 010 007 042 128 001" << 9.5 << 2 << "0 12 24";
        QTest::newRow("the blank after a number may hang")
            << "255 000 010 007 " << 9.0 << 2 << "0 12";
        QTest::newRow("one digit short") << "255 000 010 007" << 8.9 << 2 << "0 8";
        QTest::newRow("a word wider than a line is cut") << "12345 6" << 3.2 << 0 << "0 3 6";
        QTest::newRow("line feed") << "255\n000" << 20.0 << 0 << "0 4";
        QTest::newRow("final line feed gives an empty line") << "255\n" << 20.0 << 0 << "0 4";
        QTest::newRow("empty") << "" << 20.0 << 0 << "0";
    }
    void wrapping()
    {
        QFETCH(QString, text);
        QFETCH(double, digits);
        QFETCH(int, blanks);
        QFETCH(QString, starts);
        LongTextEdit box;
        QFont font = box.font();
        font.setKerning(false);
        const QFontMetricsF metrics(font);
        setWrapWidth(box,
                     digits * metrics.horizontalAdvance(u'0')
                         + blanks * metrics.horizontalAdvance(u' ') + 0.01);
        box.setText(text);
        QCOMPARE(lineStartsText(box), starts);
    }

    // Whatever the edits, the lines are those of the same text wrapped from scratch.
    void editsWrapLikeANewText_data()
    {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 6; ++seed)
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
    }
    void editsWrapLikeANewText()
    {
        QFETCH(int, seed);
        QRandomGenerator random { quint32(seed) };
        LongTextEdit box;
        box.resize(260, 120);
        LongTextEdit fresh;
        fresh.resize(260, 120);
        for (int step = 0; step < 400; ++step) {
            const int length = box.length();
            const int from = random.bounded(3) == 0 ? length : int(random.bounded(length + 1));
            const int to
                = random.bounded(4) == 0 ? std::min(length, from + int(random.bounded(60))) : from;
            box.setCaretPosition(from);
            box.setCaretPosition(to, true);
            box.insertAtCaret(random.bounded(5) == 0 ? QString() : randomPiece(random));
            if (step % 97 == 96) {
                const int width = 150 + int(random.bounded(200));
                box.resize(width, 120);
                fresh.resize(width, 120);
            }
            // Now and then only what is in view is wrapped, as when bytes arrive.
            if (step % 7 != 0)
                continue;
            fresh.setText(box.text());
            QCOMPARE(lineStarts(box), lineStarts(fresh));
        }
    }

    void insertionReplacesTheSelection()
    {
        LongTextEdit box;
        box.resize(260, 100);
        box.setText(QStringLiteral("001 002 003 "));
        QCOMPARE(box.caretPosition(), 12);
        box.insertAtCaret(QStringLiteral("004 "));
        QCOMPARE(box.text(), QStringLiteral("001 002 003 004 "));
        box.setCaretPosition(4);
        box.setCaretPosition(8, true);
        QCOMPARE(box.selectedText(), QStringLiteral("002 "));
        box.insertAtCaret(QStringLiteral("009 "));
        QCOMPARE(box.text(), QStringLiteral("001 009 003 004 "));
        QCOMPARE(box.caretPosition(), 8);
        QVERIFY(!box.hasSelection());
        box.insertAtCaret(QStringLiteral("010 "));
        QCOMPARE(box.text(), QStringLiteral("001 009 010 003 004 "));
    }

    // A click puts the caret where it lands; a drag selects; the next text goes there.
    void mouseSetsTheCaret()
    {
        LongTextEdit box;
        box.resize(260, 100);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.setText(QStringLiteral("001 002 003 004 "));
        QTest::mouseClick(&box, Qt::LeftButton, {}, box.positionRect(8).center());
        QCOMPARE(box.caretPosition(), 8);
        QVERIFY(box.hasFocus());
        QTest::mousePress(&box, Qt::LeftButton, {}, box.positionRect(4).center());
        QTest::mouseMove(&box, box.positionRect(12).center());
        QTest::mouseRelease(&box, Qt::LeftButton, {}, box.positionRect(12).center());
        QCOMPARE(box.selectedText(), QStringLiteral("002 003 "));
        QTest::mouseClick(&box, Qt::LeftButton, Qt::ShiftModifier, box.positionRect(16).center());
        QCOMPARE(box.selectedText(), QStringLiteral("002 003 004 "));
        // Far right of the text: the end.
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(box.width() - 5, 5));
        QCOMPARE(box.caretPosition(), 16);
        // A double-click selects the number under it.
        QTest::mouseDClick(&box, Qt::LeftButton, {}, box.positionRect(5).center());
        QTest::mouseRelease(&box, Qt::LeftButton, {}, box.positionRect(5).center());
        QCOMPARE(box.selectedText(), QStringLiteral("002"));
    }

    void keyboard()
    {
        LongTextEdit box;
        box.resize(260, 100);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.setFocus();
        type(&box, QStringLiteral("Réception 1"));
        QCOMPARE(box.text(), QStringLiteral("Réception 1"));
        QTest::keyClick(&box, Qt::Key_Backspace);
        QTest::keyClick(&box, Qt::Key_Home);
        QTest::keyClick(&box, Qt::Key_Delete);
        QCOMPARE(box.text(), QStringLiteral("éception "));
        QTest::keyClick(&box, Qt::Key_End);
        QTest::keyClick(&box, Qt::Key_Return);
        QTest::keyClicks(&box, QStringLiteral("ok"));
        QCOMPARE(box.text(), QStringLiteral("éception \nok"));
        QCOMPARE(box.lineCount(), 2);
        QTest::keyClick(&box, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(&box, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(box.selectedText(), QStringLiteral("ok"));
        QTest::keyClick(&box, Qt::Key_Up);
        QCOMPARE(box.lineOf(box.caretPosition()), 0);
        QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(&box, QStringLiteral("x"));
        QCOMPARE(box.text(), QStringLiteral("x"));
    }

    // What is painted bit by bit as text comes (only the changed lines, the rest moved by the
    // scroll) is what a full paint of the box shows.
    void paintedBitByBitAsAWhole()
    {
        LongTextEdit box;
        box.resize(200, 120);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QApplication::processEvents(); // no focus: no blinking caret between the two pictures
        for (int i = 0; i < 300; ++i) {
            box.insertAtCaret(QStringLiteral("%1 ").arg(i % 256, 3, 10, QChar(u'0')));
            if (i == 150) // now and then in the middle, as after a click there
                box.setCaretPosition(box.lineStart(box.firstVisibleLine() + 2) + 4);
            QApplication::processEvents();
        }
        QTest::keyClick(&box, Qt::Key_Up);
        QApplication::processEvents();
        const QImage shown = box.screen()->grabWindow(box.winId()).toImage();
        const QImage whole = box.grab().toImage();
        QCOMPARE(shown.size(), whole.size());
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 whole.convertToFormat(QImage::Format_RGB32));
    }

    // The text box has no scroll bars: it follows the caret, and the wheel scrolls it.
    void followsTheCaret()
    {
        LongTextEdit box;
        box.resize(200, 80);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        for (int i = 0; i < 400; ++i)
            box.insertAtCaret(QStringLiteral("%1 ").arg(i % 256, 3, 10, QChar(u'0')));
        const int caretLine = box.lineOf(box.caretPosition());
        QVERIFY(caretLine > 2 * box.visibleLineCount());
        QCOMPARE(box.firstVisibleLine(), caretLine - box.visibleLineCount() + 1);
        QVERIFY(box.rect().contains(box.caretRect()));
        QWheelEvent up(QPointF(10, 10), box.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&box, &up);
        QCOMPARE(box.firstVisibleLine(), caretLine - box.visibleLineCount() - 2);
        QTest::keyClick(&box, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(box.firstVisibleLine(), 0);
        QTest::keyClick(&box, Qt::Key_PageDown);
        QCOMPARE(box.firstVisibleLine(), box.visibleLineCount());
        // A narrower box wraps again and still shows the caret.
        QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
        box.resize(120, 80);
        QVERIFY(box.lineOf(box.caretPosition()) > caretLine);
        QVERIFY(box.rect().contains(box.caretRect()));
    }
};

QTEST_MAIN(TestLongTextEdit)
#include "tst_longtextedit.moc"
