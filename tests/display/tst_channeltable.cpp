#include "channeltable.h"
#include "colour.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <QWidget>

class TestChannelTable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void defaults()
    {
        ChannelTable table;
        QCOMPARE(table.channel(1).Colour, 0xFF0000u);
        QCOMPARE(table.channel(8).Colour, 0x00FF00u);
        QCOMPARE(table.channel(3).Name, QString("Voie 3"));
        QCOMPARE(table.channel(5).PrevSample, -1);
        QVERIFY(table.channel(7).Shown);
    }

    // Channel 1 above channel 2, four columns 160 px apart.
    void stripLayout_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QRect>("box");
        QTest::addColumn<QRect>("edit");
        QTest::addColumn<QPoint>("value");
        QTest::addColumn<QPoint>("unit");
        QTest::newRow("1") << 1 << QRect(8, 8, 15, 6) << QRect(27, 4, 70, 19) << QPoint(105, 4)
                           << QPoint(135, 4);
        QTest::newRow("2") << 2 << QRect(8, 28, 15, 6) << QRect(27, 24, 70, 19) << QPoint(105, 24)
                           << QPoint(135, 24);
        QTest::newRow("7") << 7 << QRect(488, 8, 15, 6) << QRect(507, 4, 70, 19) << QPoint(585, 4)
                           << QPoint(615, 4);
        QTest::newRow("8") << 8 << QRect(488, 28, 15, 6) << QRect(507, 24, 70, 19)
                           << QPoint(585, 24) << QPoint(615, 24);
    }
    void stripLayout()
    {
        QFETCH(int, n);
        QFETCH(QRect, box);
        QFETCH(QRect, edit);
        QFETCH(QPoint, value);
        QFETCH(QPoint, unit);
        QWidget voiesP;
        voiesP.resize(700, 44);
        ChannelTable table;
        table.channel(n).Name = QStringLiteral("Pression");
        table.buildStrip(&voiesP);
        const ChannelTable::Entry &entry = table.channel(n);
        QCOMPARE(entry.ColourBox->geometry(), box);
        QCOMPARE(entry.ColourBox->property("tag").toInt(), n);
        QCOMPARE(entry.NameEdit->geometry(), edit);
        QCOMPARE(entry.NameEdit->text(), QString("Pression"));
        QCOMPARE(entry.NameEdit->maxLength(), 10);
        QCOMPARE(entry.ValueLabel->pos(), value);
        QCOMPARE(entry.ValueLabel->text(), QString("0,00"));
        QCOMPARE(entry.UnitLabel->pos(), unit);
        QCOMPARE(entry.UnitLabel->text(), QString("V"));
        QCOMPARE(table.penColour(n), colourFromBgr(entry.Colour));
        ChannelTable::paintBox(entry.ColourBox, Qt::magenta);
        QCOMPARE(table.penColour(n), QColor(Qt::magenta));
    }
};

QTEST_MAIN(TestChannelTable)
#include "tst_channeltable.moc"
