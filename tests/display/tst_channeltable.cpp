#include "channeltable.h"
#include "colour.h"

#include <QFrame>
#include <QTest>

class TestChannelTable : public QObject
{
    Q_OBJECT

private slots:
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
        QCOMPARE(ChannelTable::colourBoxRect(n), box);
        QCOMPARE(ChannelTable::nameEditRect(n), edit);
        QCOMPARE(ChannelTable::valueLabelPos(n), value);
        QCOMPARE(ChannelTable::unitLabelPos(n), unit);
    }

    // The pen follows the colour box, which the operator may recolour.
    void penColourFollowsBox()
    {
        ChannelTable table;
        QCOMPARE(table.penColour(2), colourFromBgr(0x0000FF));
        QFrame box;
        QPalette palette = box.palette();
        palette.setColor(QPalette::Window, Qt::magenta);
        box.setPalette(palette);
        table.channel(2).ColourBox = &box;
        QCOMPARE(table.penColour(2), QColor(Qt::magenta));
        table[1].PrevSample = 12;
        table.resetPrevSamples();
        for (const auto &entry : table)
            QCOMPARE(entry.PrevSample, -1);
    }
};

QTEST_MAIN(TestChannelTable)
#include "tst_channeltable.moc"
