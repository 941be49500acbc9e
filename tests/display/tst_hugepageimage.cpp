#include "hugepageimage.h"

#include <QFile>
#include <QPainter>
#include <QTest>
#include <cstdint>
#include <memory>

namespace {

// Paints the same scene into any image: lines that reach every edge, and text.
void paintScene(QImage &image)
{
    image.fill(QColor(0xEB, 0xB5, 0x83));
    QPainter p(&image);
    p.setPen(Qt::red);
    p.drawLine(0, 0, image.width() - 1, image.height() - 1);
    p.drawLine(0, image.height() - 1, image.width() - 1, 0);
    p.drawRect(0, 0, image.width() - 1, image.height() - 1);
    p.drawText(QRect(0, 0, image.width(), image.height()), Qt::AlignCenter, "12:34:56");
}

#ifdef __linux__
// The advice flags of the mapping that holds `address`, from the kernel's own account.
QByteArray mappingFlags(const void *address)
{
    QFile smaps("/proc/self/smaps");
    if (!smaps.open(QIODevice::ReadOnly))
        return {};
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        // A mapping's own line starts "from-to perms ..."; its properties "Name: ...".
        if (dash > 0 && space > dash && !line.left(space).endsWith(':')) {
            bool ok1 = false;
            bool ok2 = false;
            const auto from = line.left(dash).toULongLong(&ok1, 16);
            const auto to = line.mid(dash + 1, space - dash - 1).toULongLong(&ok2, 16);
            inside = ok1 && ok2 && at >= from && at < to;
        } else if (inside && line.startsWith("VmFlags:")) {
            return line.mid(8).trimmed();
        }
    }
    return {};
}
#endif

} // namespace

class TestHugePageImage : public QObject
{
    Q_OBJECT

private slots:
    // Whatever memory holds the pixels, the image behaves as a plain one of that size: same
    // line length, every pixel reachable, the same picture when painted alike.
    void paintsAsAPlainImage_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QImage::Format>("format");
        QTest::newRow("small, plain memory") << 96 << 31 << QImage::Format_RGB32;
        QTest::newRow("the strip chart") << 15000 << 535 << QImage::Format_RGB32;
        QTest::newRow("just over 2 MiB") << 1024 << 513 << QImage::Format_RGB32;
        QTest::newRow("three bytes a pixel, odd width") << 1501 << 1001 << QImage::Format_RGB888;
        QTest::newRow("one line") << 600000 << 1 << QImage::Format_ARGB32;
    }
    void paintsAsAPlainImage()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QImage::Format, format);
        QImage image = HugePageImage::create(width, height, format);
        QImage plain(width, height, format);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), plain.size());
        QCOMPARE(image.format(), format);
        QCOMPARE(image.bytesPerLine(), plain.bytesPerLine());
        paintScene(image);
        paintScene(plain);
        QVERIFY(image == plain);
        // The last byte of the last line is there to be written.
        image.scanLine(height - 1)[image.bytesPerLine() - 1] = 0x5A;
        QCOMPARE(image.constScanLine(height - 1)[image.bytesPerLine() - 1], uchar(0x5A));
    }

    // A copy shares the pixels until one of them is written to; the last one to go frees
    // them, in either order.
    void copiesDetachAndOutliveTheOriginal_data()
    {
        QTest::addColumn<bool>("originalGoesFirst");
        QTest::newRow("original destroyed first") << true;
        QTest::newRow("copy destroyed first") << false;
    }
    void copiesDetachAndOutliveTheOriginal()
    {
        QFETCH(bool, originalGoesFirst);
        auto original
            = std::make_unique<QImage>(HugePageImage::create(4000, 600, QImage::Format_RGB32));
        original->fill(Qt::blue);
        auto copy = std::make_unique<QImage>(*original);
        QCOMPARE(copy->constBits(), original->constBits());
        copy->setPixel(10, 10, qRgb(255, 0, 0));
        QVERIFY(copy->constBits() != original->constBits());
        QCOMPARE(original->pixel(10, 10), QColor(Qt::blue).rgb());
        QCOMPARE(copy->pixel(10, 10), qRgb(255, 0, 0));
        auto shared = std::make_unique<QImage>(*original);
        if (originalGoesFirst) {
            original.reset();
            QCOMPARE(shared->pixel(3999, 599), QColor(Qt::blue).rgb());
        } else {
            shared.reset();
            QCOMPARE(original->pixel(3999, 599), QColor(Qt::blue).rgb());
        }
    }

    // A size no memory can hold gives a null image, as QImage itself does.
    void impossibleSizeIsNull()
    {
        QVERIFY(HugePageImage::create(0, 100, QImage::Format_RGB32).isNull());
        QVERIFY(HugePageImage::create(2000000000, 2000000000, QImage::Format_RGB32).isNull());
    }

#ifdef __linux__
    // The point of it: the kernel has been asked to back a large image with huge pages, from
    // its first pixel to its last.
    void largeImageIsAdvisedForHugePages()
    {
        QImage image = HugePageImage::create(15000, 535, QImage::Format_RGB32);
        const QByteArray first = mappingFlags(image.constBits());
        const QByteArray last = mappingFlags(image.constBits() + image.sizeInBytes() - 1);
        QVERIFY2(first.contains("hg"), first.constData());
        QVERIFY2(last.contains("hg"), last.constData());
        QCOMPARE(reinterpret_cast<std::uintptr_t>(image.constBits()) % (std::uintptr_t(2) << 20),
                 std::uintptr_t(0));
    }
#endif
};

QTEST_MAIN(TestHugePageImage)
#include "tst_hugepageimage.moc"
