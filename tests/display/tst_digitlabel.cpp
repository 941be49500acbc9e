#include "digitlabel.h"

#include <QFont>
#include <QImage>
#include <QTest>

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
