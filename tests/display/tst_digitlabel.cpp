#include "digitlabel.h"

#include <QFont>
#include <QFrame>
#include <QImage>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>
#include <vector>

namespace {

// The program's fonts: 19 pixels for the clock and the chronometer, 10 to 16 for the
// instruments.
QFont numberFont(bool condensed, int pixels = 19)
{
    QFont f(QStringLiteral("sans-serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setBold(true);
    if (condensed)
        f.setStretch(QFont::SemiCondensed);
    return f;
}

// The label's pixels on a known background, as it shows them.
QImage rendered(QLabel &label)
{
    label.setAutoFillBackground(true);
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, QColor(0xEF, 0xC2, 0x9A));
    palette.setColor(QPalette::WindowText, Qt::darkBlue);
    label.setPalette(palette);
    return label.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// What the window shows on its screen.
QImage onScreen(QWidget &window)
{
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Pixels that differ by more than a rounding step in any channel.
int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8
                || std::abs(qBlue(p) - qBlue(q)) > 8)
                ++count;
        }
    return count;
}

} // namespace

class TestDigitLabel : public QObject
{
    Q_OBJECT

private slots:
    // The label looks as a plain label with the same text, font and alignment: same places,
    // same glyphs.
    void looksLikeAPlainLabel_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("condensed");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("pixels");
        const int left = int(Qt::AlignLeft | Qt::AlignVCenter);
        QTest::newRow("clock") << "14:35:40" << false << left << QSize(96, 24) << 19;
        QTest::newRow("balloon chronometer") << "01:02:59" << true << left << QSize(98, 24) << 19;
        QTest::newRow("blank after") << "00:00:00 " << true << left << QSize(98, 24) << 19;
        QTest::newRow("rocket chronometer") << "07:38.016" << true << left << QSize(98, 24) << 19;
        QTest::newRow("right, top")
            << "12:00" << false << int(Qt::AlignRight | Qt::AlignTop) << QSize(90, 30) << 19;
        QTest::newRow("centred") << "3.5" << false << int(Qt::AlignCenter) << QSize(60, 31) << 19;
        QTest::newRow("bottom") << "99" << false << int(Qt::AlignLeft | Qt::AlignBottom)
                                << QSize(40, 33) << 19;
        QTest::newRow("channel value") << "2,49" << false << left << QSize(40, 15) << 11;
        QTest::newRow("battery") << "16,8V" << false << left << QSize(48, 15) << 11;
        QTest::newRow("battery, one digit") << "9,0V" << false << left << QSize(48, 15) << 11;
        QTest::newRow("no figure") << "----" << false << left << QSize(30, 15) << 11;
        QTest::newRow("link figure") << "100.0" << false << left << QSize(34, 15) << 10;
        QTest::newRow("link figure, decimal comma")
            << "87,5" << false << left << QSize(34, 15) << 10;
        QTest::newRow("frame count") << "1234" << false << left << QSize(48, 20) << 16;
        QTest::newRow("other characters, plain painting")
            << "12h05" << false << left << QSize(96, 24) << 19;
        QTest::newRow("beyond ASCII, plain painting")
            << QStringLiteral("12\u00B05") << false << left << QSize(96, 24) << 19;
        QTest::newRow("empty") << "" << false << left << QSize(96, 24) << 19;
    }
    void looksLikeAPlainLabel()
    {
        QFETCH(QString, text);
        QFETCH(bool, condensed);
        QFETCH(int, alignment);
        QFETCH(QSize, size);
        QFETCH(int, pixels);
        QLabel plain(text);
        DigitLabel digits(text);
        for (QLabel *l : { &plain, static_cast<QLabel *>(&digits) }) {
            l->setFont(numberFont(condensed, pixels));
            l->setAlignment(Qt::Alignment(alignment));
            l->resize(size);
        }
        const QImage expected = rendered(plain);
        const QImage actual = rendered(digits);
        QCOMPARE(actual.size(), expected.size());
        const int differing = differingPixels(actual, expected);
        QCOMPARE(differing, 0);
    }

    // A new text, font or colour shows: nothing stale is drawn from before.
    void followsTextFontAndColour()
    {
        QLabel plain;
        DigitLabel digits;
        for (QLabel *l : { &plain, static_cast<QLabel *>(&digits) }) {
            l->setFont(numberFont(false));
            l->resize(96, 24);
            l->setText(QStringLiteral("10:00:00"));
        }
        rendered(plain);
        rendered(digits);
        for (QLabel *l : { &plain, static_cast<QLabel *>(&digits) }) {
            l->setText(QStringLiteral("23:59:58"));
            QFont f = l->font();
            f.setPixelSize(15);
            l->setFont(f);
            QPalette palette = l->palette();
            palette.setColor(QPalette::WindowText, Qt::red);
            l->setPalette(palette);
        }
        const QImage expected = plain.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage actual = digits.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(differingPixels(actual, expected), 0);
        QCOMPARE(digits.text(), QStringLiteral("23:59:58"));

        // Disabled, in the disabled colour.
        for (QLabel *l : { &plain, static_cast<QLabel *>(&digits) }) {
            QPalette palette = l->palette();
            palette.setColor(QPalette::Disabled, QPalette::WindowText, Qt::gray);
            l->setPalette(palette);
            l->setEnabled(false);
        }
        QCOMPARE(differingPixels(digits.grab().toImage().convertToFormat(QImage::Format_RGB32),
                                 plain.grab().toImage().convertToFormat(QImage::Format_RGB32)),
                 0);
    }

    // In a window that is not the active one, the text takes the inactive colour, as a plain
    // label's does; in the active window, the active colour.
    void followsTheWindowsColourGroup_data()
    {
        QTest::addColumn<bool>("active");
        QTest::newRow("active window") << true;
        QTest::newRow("inactive window") << false;
    }
    void followsTheWindowsColourGroup()
    {
        QFETCH(bool, active);
        QWidget window;
        window.resize(220, 40);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Active, QPalette::WindowText, QColor(0, 128, 0));
        palette.setColor(QPalette::Inactive, QPalette::WindowText, QColor(255, 0, 255));
        window.setPalette(palette);
        auto *plain = new QLabel(QStringLiteral("12:34:56"), &window);
        auto *digits = new DigitLabel(QStringLiteral("12:34:56"), &window);
        plain->setGeometry(0, 8, 100, 24);
        digits->setGeometry(110, 8, 100, 24);
        for (QLabel *l : { plain, static_cast<QLabel *>(digits) })
            l->setFont(numberFont(false));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        digits->grab(); // the glyphs are rendered in the active colour first
        QWidget other;
        if (!active) {
            other.resize(50, 50);
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        QCOMPARE(window.isActiveWindow(), active);
        DigitLabel::rewrite(digits, QStringLiteral("12:34:57"));
        plain->setText(QStringLiteral("12:34:57"));
        const QImage expected = plain->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage actual = digits->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(differingPixels(actual, expected), 0);
        // Not the same picture in both groups by chance: the text is in the group's colour.
        const QRgb wanted = active ? qRgb(0, 128, 0) : qRgb(255, 0, 255);
        const QRgb wrong = active ? qRgb(255, 0, 255) : qRgb(0, 128, 0);
        bool hasWanted = false;
        bool hasOther = false;
        for (int y = 0; y < actual.height(); ++y)
            for (int x = 0; x < actual.width(); ++x) {
                hasWanted = hasWanted || actual.pixel(x, y) == wanted;
                hasOther = hasOther || actual.pixel(x, y) == wrong;
            }
        QVERIFY(hasWanted);
        QVERIFY(!hasOther);
    }

    // On screen, in a panel, after the label's text changes: a label that fills its background
    // shows its fill, and one that does not, or fills it with a translucent colour, shows the
    // panel through, as a plain label does. The panel's colour, changed later, follows.
    void onAPanelAsAPlainLabel_data()
    {
        QTest::addColumn<bool>("filled");
        QTest::addColumn<QColor>("fill"); // invalid: the panel's colour
        QTest::addColumn<int>("change");
        const QColor none;
        QTest::newRow("filled in its own colour") << true << QColor(Qt::yellow) << 0;
        QTest::newRow("filled in the panel's colour") << true << none << 0;
        QTest::newRow("filled, panel colour changed") << true << none << 1;
        QTest::newRow("filled, translucent") << true << QColor(255, 255, 0, 128) << 0;
        QTest::newRow("fill turned off") << true << QColor(Qt::yellow) << 2;
        QTest::newRow("fill turned on") << false << QColor(Qt::yellow) << 3;
        QTest::newRow("not filled") << false << none << 0;
    }
    void onAPanelAsAPlainLabel()
    {
        QFETCH(bool, filled);
        QFETCH(QColor, fill);
        QFETCH(int, change);
        QWidget window;
        window.resize(240, 60);
        std::vector<QFrame *> panels;
        std::vector<QLabel *> labels;
        for (int i = 0; i < 2; ++i) {
            auto *panel = new QFrame(&window);
            panel->setGeometry(120 * i, 0, 120, 60);
            panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            panel->setAutoFillBackground(true);
            QPalette palette = panel->palette();
            palette.setColor(QPalette::Window, QColor(0xEF, 0xC2, 0x9A));
            panel->setPalette(palette);
            QLabel *label = i == 0 ? new QLabel(panel) : new DigitLabel(QString(), panel);
            label->setFont(numberFont(false));
            label->setGeometry(10, 10, 98, 24);
            label->setText(QStringLiteral("00:00:00"));
            label->setAutoFillBackground(filled);
            if (fill.isValid()) {
                QPalette own = label->palette();
                own.setColor(QPalette::Window, fill);
                label->setPalette(own);
            }
            panels.push_back(panel);
            labels.push_back(label);
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(20);
        for (int i = 0; i < 2; ++i) {
            if (change == 1) {
                QPalette palette = panels[i]->palette();
                palette.setColor(QPalette::Window, Qt::cyan);
                panels[i]->setPalette(palette);
            } else if (change == 2 || change == 3) {
                labels[i]->setAutoFillBackground(change == 3);
            }
            labels[i]->setText(QStringLiteral("12:34:56"));
        }
        QTest::qWait(50);
        const QImage shown = onScreen(window);
        QCOMPARE(differingPixels(shown.copy(120, 0, 120, 60), shown.copy(0, 0, 120, 60)), 0);
    }

    // Texts rewritten one after the other on screen, as the chronometer and the clock do:
    // what shows is what a plain label shows, though only the characters that changed are
    // repainted.
    void rewritesShowAsAPlainLabel_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("filled");
        QTest::addColumn<int>("widestRepaint"); // in percent of the label's width
        const int left = int(Qt::AlignLeft | Qt::AlignVCenter);
        const int right = int(Qt::AlignRight | Qt::AlignVCenter);
        const int centre = int(Qt::AlignCenter);
        QTest::newRow("balloon seconds")
            << QStringList { "00:00:00", "00:00:01", "00:00:02", "00:00:09", "00:00:10" } << left
            << true << 40;
        QTest::newRow("rocket milliseconds")
            << QStringList { "00:00.000", "00:00.096", "00:00.192", "00:00.288", "00:01.014" }
            << left << true << 70;
        QTest::newRow("every character")
            << QStringList { "00:00:00", "11:11:11", "23:59:59", "00:00:00" } << left << true
            << 100;
        QTest::newRow("digits of other widths, right")
            << QStringList { "1.11", "1.00", "11.1", "7.47" } << right << true << 100;
        QTest::newRow("same characters moved, right")
            << QStringList { "-1,5", "11,5", "-1,5" } << right << true << 100;
        QTest::newRow("same characters moved, left")
            << QStringList { "-,--", "1,--", ":,--" } << left << true << 100;
        QTest::newRow("centred") << QStringList { "3,50", "3,51", "-,--", "3,52" } << centre << true
                                 << 100;
        QTest::newRow("length changes")
            << QStringList { "9,9V", "10,0V", "9,8V" } << left << true << 100;
        QTest::newRow("through other characters")
            << QStringList { "12:00", "12h00", "12:01" } << left << true << 100;
        QTest::newRow("panel shows through")
            << QStringList { "00:00:00", "00:00:01", "00:00:12" } << left << false << 100;
    }
    void rewritesShowAsAPlainLabel()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, alignment);
        QFETCH(bool, filled);
        QFETCH(int, widestRepaint);
        QWidget window;
        window.resize(240, 40);
        QPalette panelColours = window.palette();
        panelColours.setColor(QPalette::Window, QColor(0xEF, 0xC2, 0x9A));
        window.setPalette(panelColours);
        window.setAutoFillBackground(true);
        QLabel plain(&window);
        DigitLabel digits(QString(), &window);
        struct PaintWidths : QObject
        {
            int widest = 0;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    widest = std::max(widest, static_cast<QPaintEvent *>(event)->rect().width());
                return false;
            }
        } paints;
        for (QLabel *l : { &plain, static_cast<QLabel *>(&digits) }) {
            l->setFont(numberFont(true));
            l->setAlignment(Qt::Alignment(alignment));
            l->setGeometry(l == &plain ? 10 : 130, 8, 100, 24);
            l->setText(texts.first());
            l->setAutoFillBackground(filled);
            QPalette own = l->palette();
            own.setColor(QPalette::Window, Qt::yellow);
            own.setColor(QPalette::WindowText, Qt::darkBlue);
            l->setPalette(own);
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(20);
        digits.installEventFilter(&paints);
        for (const QString &text : texts.mid(1)) {
            plain.setText(text);
            DigitLabel::rewrite(&digits, text);
            QCOMPARE(digits.text(), text);
            QTest::qWait(20);
            const QImage shown = onScreen(window);
            QCOMPARE(differingPixels(shown.copy(130, 0, 110, 40), shown.copy(10, 0, 110, 40)), 0);
        }
        QVERIFY2(paints.widest * 100 <= digits.width() * widestRepaint,
                 qPrintable(QString::number(paints.widest)));
    }

    // Labels of one font draw from the same images; one in another colour or size, painted in
    // between, still gets its own.
    void labelsOfOneFontInOtherColours()
    {
        struct Style
        {
            QColor colour;
            int pixels;
        };
        const Style styles[]
            = { { Qt::darkBlue, 11 }, { Qt::red, 11 }, { Qt::darkBlue, 12 }, { Qt::darkBlue, 11 } };
        for (int round = 0; round < 2; ++round) {
            for (const Style &style : styles) {
                QLabel plain(QStringLiteral("0,123"));
                DigitLabel digits(plain.text());
                for (QLabel *l : { &plain, static_cast<QLabel *>(&digits) }) {
                    l->setFont(numberFont(false, style.pixels));
                    l->resize(40, 15);
                    QPalette palette = l->palette();
                    palette.setColor(QPalette::WindowText, style.colour);
                    l->setPalette(palette);
                }
                QCOMPARE(
                    differingPixels(digits.grab().toImage().convertToFormat(QImage::Format_RGB32),
                                    plain.grab().toImage().convertToFormat(QImage::Format_RGB32)),
                    0);
            }
        }
    }
};

QTEST_MAIN(TestDigitLabel)
#include "tst_digitlabel.moc"
