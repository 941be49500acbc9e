#include "samplestore.h"

#include <QTest>
#include <array>
#include <memory>

class TestSampleStore : public QObject
{
    Q_OBJECT

private slots:
    void startUpFill()
    {
        const auto store = std::make_unique<SampleStore>();
        for (int slot : { 0, 1, 7500, 15000 }) {
            const std::uint8_t *b = store->slotBytes(slot);
            for (int i = 0; i <= 10; ++i)
                QCOMPARE(b[i], 0xFF);
            QCOMPARE(b[11], 0);
            QCOMPARE(store->slotTime(slot), 14500000);
            // 14500000 = 0x00DD40A0, little-endian.
            QCOMPARE(b[12], 0xA0);
            QCOMPARE(b[13], 0x40);
            QCOMPARE(b[14], 0xDD);
            QCOMPARE(b[15], 0x00);
        }
    }

    void storedSlotLayout()
    {
        const auto store = std::make_unique<SampleStore>();
        const std::array<std::uint8_t, 9> data = { 8, 7, 6, 5, 4, 3, 2, 1, 200 };
        store->store(1, data.data(), -2);
        const std::uint8_t *b = store->slotBytes(1);
        for (int i = 0; i < 9; ++i)
            QCOMPARE(b[i], data[i]);
        QCOMPARE(b[9], 0);
        QCOMPARE(b[10], 0);
        QCOMPARE(b[11], 0);
        QCOMPARE(b[12], 0xFE); // -2, signed little-endian
        QCOMPARE(b[15], 0xFF);
        QCOMPARE(store->slotTime(1), -2);
        // Slot 0 is never filled.
        QCOMPARE(store->slotTime(0), SampleStore::EmptySlotTime);
        store->store(0, data.data(), 5);
        QCOMPARE(store->slotTime(0), SampleStore::EmptySlotTime);
    }

    void ringSlots_data()
    {
        QTest::addColumn<qint64>("frame");
        QTest::addColumn<int>("slot");
        QTest::newRow("first") << qint64(1) << 1;
        QTest::newRow("last of table") << qint64(15000) << 15000;
        QTest::newRow("wraps to slot 1") << qint64(15001) << 1;
        QTest::newRow("second lap") << qint64(30000) << 15000;
        QTest::newRow("none before 1") << qint64(0) << 0;
    }
    void ringSlots()
    {
        QFETCH(qint64, frame);
        QFETCH(int, slot);
        QCOMPARE(SampleStore::slotForFrame(frame), slot);
    }

    // The one-minute statistic: with 40 frames, frames 7..40 are looked at; only times above
    // the limit count.
    void countMatchesSlotRange_data()
    {
        QTest::addColumn<int>("accepted");
        QTest::addColumn<int>("limit");
        QTest::newRow("40 frames, E = 70") << 40 << 10;
        QTest::newRow("33 frames") << 33 << 5;
        QTest::newRow("5 frames") << 5 << 1;
        QTest::newRow("nothing counts") << 40 << 1000;
    }
    void countMatchesSlotRange()
    {
        QFETCH(int, accepted);
        QFETCH(int, limit);
        const auto store = std::make_unique<SampleStore>();
        const std::array<std::uint8_t, 9> data {};
        for (int n = 1; n <= accepted; ++n)
            store->store(n, data.data(), 2 * n); // one frame every 2 s
        const int first = std::max(accepted - 33, 1);
        int expected = 0;
        for (int n = first; n <= accepted; ++n)
            expected += 2 * n > limit;
        QCOMPARE(store->countSlots(first, accepted, limit), expected);
        QCOMPARE(store->countLastFrames(accepted, 34, limit), expected);
    }

    // A reception far beyond 15000 frames: the store never leaves the table and the recent
    // frames are still counted right (older laps' slots must not count).
    void countAcrossTheWrap()
    {
        const auto store = std::make_unique<SampleStore>();
        const std::array<std::uint8_t, 9> data {};
        const qint64 total = 15000 + 20;
        for (qint64 n = 1; n <= total; ++n)
            store->store(n, data.data(), static_cast<std::int32_t>(n));
        // Frames 14987..15020 have times 14987..15020; 30 of them are above 14990.
        QCOMPARE(store->countLastFrames(total, 34, 14990), 30);
        QCOMPARE(store->countLastFrames(total, 34, 0), 34);
        QCOMPARE(store->slotTime(20), 15020);
        QCOMPARE(store->slotTime(21), 21);
        // More than the ring holds is capped at the ring.
        QCOMPARE(store->countLastFrames(total, 100000, 0), SampleStore::RingSize);
    }

    void slotRangeStaysInTable()
    {
        const auto store = std::make_unique<SampleStore>();
        QCOMPARE(store->countSlots(5, 4, 0), 0);
        QCOMPARE(store->countSlots(-10, 20000, 0), SampleStore::SlotCount);
    }
};

QTEST_GUILESS_MAIN(TestSampleStore)
#include "tst_samplestore.moc"
