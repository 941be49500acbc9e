#include "framercheck.h"
#include "programframers.h"
#include "ptypair.h"
#include "tcomdatapacket.h"
#include "tcomport.h"

#include <QRandomGenerator>
#include <QTest>
#include <stdexcept>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace

using namespace FramerCheck;

class TestTComDataPacket : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void programFramers_data()
    {
        QTest::addColumn<int>("settings");
        QTest::addColumn<int>("setup");
        QTest::newRow("telemetry") << 0 << 0;
        QTest::newRow("sweep") << 1 << 1;
        QTest::newRow("debug") << 2 << 2;
    }
    void programFramers()
    {
        QFETCH(int, settings);
        QFETCH(int, setup);
        TComDataPacket framer;
        framer.SetStopString("x"); // whatever it had, the setup replaces
        framer.SetIncludeStrings(true);
        framer.SetCaseInsensitive(true);
        framer.SetMaxBufferSize(5);
        const auto setups = { ProgramFramers::SetupTelemetry, ProgramFramers::SetupSweep,
                              ProgramFramers::SetupDebug };
        std::data(setups)[setup](framer);
        const Settings &s = kSettings[settings];
        QCOMPARE(framer.StartString(), s.start);
        QCOMPARE(framer.StopString(), s.stop);
        QCOMPARE(framer.Size(), s.size);
        QCOMPARE(framer.MaxBufferSize(), s.maxBuffer);
        QCOMPARE(framer.CaseInsensitive(), s.caseInsensitive);
        QCOMPARE(framer.IncludeStrings(), s.includeStrings);
    }

    void workedExample()
    {
        TComDataPacket framer;
        apply(framer, kSettings[0]);
        Recorder rec(framer);
        const QByteArray data = bytes({ 1, 2, 3, 4, 5, 6, 7, 8, 9 });
        const char check = 0x2A;

        framer.AddText("AB");
        QVERIFY(rec.events.isEmpty());
        QCOMPARE(framer.PendingText(), QByteArray("AB"));
        QVERIFY(!framer.Collecting());

        framer.AddText(QByteArray(1, char(0xFF)) + data.left(3));
        QCOMPARE(rec.discards(), QList<QByteArray> { "AB" });
        QVERIFY(rec.packets().isEmpty());
        QVERIFY(framer.Collecting());
        QCOMPARE(framer.PendingLength(), 4);

        framer.AddText(data.mid(3) + check + bytes({ 0xFF, 0xE1 }));
        QCOMPARE(rec.packets(), QList<QByteArray> { data + check });
        QCOMPARE(framer.PendingText(), bytes({ 0xFF, 0xE1 }));
        QVERIFY(framer.Collecting());
    }

    void blocks_data()
    {
        QTest::addColumn<int>("settings");
        QTest::addColumn<QList<QByteArray>>("blocks");
        QTest::addColumn<QList<QByteArray>>("packets");
        QTest::addColumn<QList<QByteArray>>("discards");
        QTest::addColumn<QByteArray>("pending");

        const QByteArray f1 = bytes({ 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 });
        const QByteArray f2 = bytes({ 0xFF, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20 });
        const QByteArray withFF = bytes({ 0xFF, 1, 0xFF, 3, 4, 5, 6, 7, 8, 0xFF, 0xFF });
        QTest::newRow("two frames and a start in one block")
            << 0 << QList<QByteArray> { f1 + f2 + bytes({ 0xFF, 7, 7 }) }
            << QList<QByteArray> { f1.mid(1), f2.mid(1) } << QList<QByteArray> {}
            << bytes({ 0xFF, 7, 7 });
        QTest::newRow("0xFF inside a frame is data")
            << 0 << QList<QByteArray> { withFF, f1 }
            << QList<QByteArray> { withFF.mid(1), f1.mid(1) } << QList<QByteArray> {}
            << QByteArray();
        // Byte 5 of the first frame is lost: its 11 bytes are taken from its start, the next
        // frame's 0xFF included; the framer falls back into step at the next 0xFF it meets.
        const QByteArray lost = f1.left(5) + f1.mid(6);
        QTest::newRow("lost byte") << 0 << QList<QByteArray> { lost + f2 + f1 }
                                   << QList<QByteArray> { (lost + f2).mid(1, 10), f1.mid(1) }
                                   << QList<QByteArray> { f2.mid(1) } << QByteArray();
        QTest::newRow("size 1 without start")
            << 2 << QList<QByteArray> { bytes({ 0x00, 0xFF, 'a' }), bytes({ 0x00 }) }
            << QList<QByteArray> { bytes({ 0 }), bytes({ 0xFF }), "a", bytes({ 0 }) }
            << QList<QByteArray> {} << QByteArray();
        QTest::newRow("sweep answer after two characters")
            << 1 << QList<QByteArray> { "xy#123#4" } << QList<QByteArray> { "123" }
            << QList<QByteArray> { "xy" } << QByteArray("#4");
        QTest::newRow("sweep answer split")
            << 1 << QList<QByteArray> { "#", "1", "23#45", "6" }
            << QList<QByteArray> { "123", "456" } << QList<QByteArray> {} << QByteArray();
        QTest::newRow("no size, no stop: blocks as received")
            << 6 << QList<QByteArray> { bytes({ 0xFF, 0, 1 }), "AB", QByteArray(1, '\0') }
            << QList<QByteArray> { bytes({ 0xFF, 0, 1 }), "AB", QByteArray(1, '\0') }
            << QList<QByteArray> {} << QByteArray();
        QTest::newRow("stop string")
            << 3 << QList<QByteArray> { "x<a", "b>y<>", "<c" } << QList<QByteArray> { "ab", "" }
            << QList<QByteArray> { "x", "y" } << QByteArray("<c");
        QTest::newRow("folded start and stop kept")
            << 4 << QList<QByteArray> { "AbcD-cd" } << QList<QByteArray> { "AbcD" }
            << QList<QByteArray> {} << QByteArray("-cd");
        QTest::newRow("case-insensitive start")
            << 4 << QList<QByteArray> { "zzAB", "1cD" } << QList<QByteArray> { "AB1cD" }
            << QList<QByteArray> { "zz" } << QByteArray();
        QTest::newRow("stop before size")
            << 5 << QList<QByteArray> { "Sa\r\n", "Sbcdefg" } << QList<QByteArray> { "a", "bcdef" }
            << QList<QByteArray> {} << QByteArray("g");
        // Stop string found first as part of the packet, size wins: only a stop string at the
        // very end would be removed.
        QTest::newRow("size wins when enough is pending")
            << 5 << QList<QByteArray> { "Sa\r\nbc" } << QList<QByteArray> { "a\r\nbc" }
            << QList<QByteArray> {} << QByteArray();
    }
    void blocks()
    {
        QFETCH(int, settings);
        QFETCH(QList<QByteArray>, blocks);
        TComDataPacket framer;
        apply(framer, kSettings[settings]);
        Recorder rec(framer);
        for (const QByteArray &block : blocks)
            framer.AddText(block);
        QTEST(rec.packets(), "packets");
        QTEST(rec.discards(), "discards");
        QTEST(framer.PendingText(), "pending");
    }

    void bufferLimit_data()
    {
        QTest::addColumn<int>("noise");
        QTest::addColumn<bool>("discarded");
        QTest::newRow("1023 bytes wait") << 1023 << false;
        QTest::newRow("1024 bytes go at once") << 1024 << true;
        QTest::newRow("5000 bytes go at once") << 5000 << true;
    }
    void bufferLimit()
    {
        QFETCH(int, noise);
        QFETCH(bool, discarded);
        TComDataPacket framer;
        apply(framer, kSettings[0]);
        Recorder rec(framer);
        const QByteArray text(noise, 'n');
        framer.AddText(text);
        if (discarded) {
            QCOMPARE(rec.discards(), QList<QByteArray> { text });
            QCOMPARE(framer.PendingLength(), 0);
        } else {
            QVERIFY(rec.events.isEmpty());
            QCOMPARE(framer.PendingLength(), noise);
        }
        // Framing starts afresh either way.
        const QByteArray frame = QByteArray(1, char(0xFF)) + QByteArray(10, 'd');
        framer.AddText(frame);
        QCOMPARE(rec.packets(), QList<QByteArray> { frame.mid(1) });
        QVERIFY(!framer.Collecting());
    }

    void noiseInSmallBlocksIsDiscardedWhole()
    {
        TComDataPacket framer;
        apply(framer, kSettings[0]);
        Recorder rec(framer);
        for (int i = 0; i < 1024; ++i)
            framer.AddText("n");
        QCOMPARE(rec.discards(), QList<QByteArray> { QByteArray(1024, 'n') });
    }

    void setters_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("flushes");
        QTest::newRow("Size other") << "Size" << true << true;
        QTest::newRow("Size same") << "Size" << false << false;
        QTest::newRow("StartString other") << "StartString" << true << true;
        QTest::newRow("StartString same") << "StartString" << false << false;
        QTest::newRow("StopString other") << "StopString" << true << true;
        QTest::newRow("CaseInsensitive other") << "CaseInsensitive" << true << true;
        QTest::newRow("CaseInsensitive same") << "CaseInsensitive" << false << false;
        QTest::newRow("IncludeStrings other") << "IncludeStrings" << true << false;
        QTest::newRow("MaxBufferSize other") << "MaxBufferSize" << true << false;
    }
    void setters()
    {
        QFETCH(QString, property);
        QFETCH(bool, changed);
        QFETCH(bool, flushes);
        TComDataPacket framer;
        apply(framer, kSettings[0]);
        Recorder rec(framer);
        const QByteArray partial = bytes({ 0xFF, 1, 2 });
        framer.AddText(partial);
        if (property == "Size")
            framer.SetSize(changed ? 12 : 11);
        else if (property == "StartString")
            framer.SetStartString(changed ? "#" : "\xFF");
        else if (property == "StopString")
            framer.SetStopString("\r");
        else if (property == "CaseInsensitive")
            framer.SetCaseInsensitive(changed);
        else if (property == "IncludeStrings")
            framer.SetIncludeStrings(true);
        else
            framer.SetMaxBufferSize(2);
        if (flushes) {
            QCOMPARE(rec.discards(), QList<QByteArray> { partial });
            QCOMPARE(framer.PendingLength(), 0);
            QVERIFY(!framer.Collecting());
        } else {
            QVERIFY(rec.events.isEmpty());
            QCOMPARE(framer.PendingText(), partial);
            QVERIFY(framer.Collecting());
        }
    }

    void flushWithNothingPendingKeepsCollecting()
    {
        TComDataPacket framer;
        apply(framer, kSettings[2]); // no start: collecting once a pass ran
        Recorder rec(framer);
        framer.AddText("a");
        QVERIFY(framer.Collecting());
        framer.FlushText();
        QVERIFY(framer.Collecting());
        QVERIFY(rec.discards().isEmpty());
    }

    void stopStringLongerThanPacketIsNotStripped()
    {
        // A packet shorter than the stop string, once its start is removed, keeps all of it.
        TComDataPacket framer;
        framer.SetStartString("<");
        framer.SetStopString("xyz");
        framer.SetSize(3);
        Recorder rec(framer);
        framer.AddText("<ab");
        QCOMPARE(rec.packets(), QList<QByteArray> { "ab" });
    }

    void customStartAndStop()
    {
        TComDataPacket framer;
        Recorder rec(framer);
        // Start at the first digit, end at the second character after it.
        framer.OnCustomStart = [](TComDataPacket *, const QByteArray &pending, int &pos) {
            for (int i = 0; i < pending.size(); ++i)
                if (pending[i] >= '0' && pending[i] <= '9') {
                    pos = i + 1;
                    return;
                }
            pos = 0; // nothing: keep waiting
        };
        framer.OnCustomStop = [](TComDataPacket *, const QByteArray &pending, int &pos) {
            if (pending.size() >= 2)
                pos = 2;
            else
                pos = 0;
        };
        framer.AddText("ab1");
        QCOMPARE(rec.discards(), QList<QByteArray> { "ab" });
        framer.AddText("2c3");
        QCOMPARE(rec.packets(), QList<QByteArray> { "12" });
        QCOMPARE(framer.PendingText(), QByteArray("3"));

        // Positions beyond the pending text take what there is and never loop on nothing.
        framer.OnCustomStop = [](TComDataPacket *, const QByteArray &, int &pos) { pos = 99; };
        framer.AddText("4");
        QCOMPARE(rec.packets(), (QList<QByteArray> { "12", "34" }));
        QCOMPARE(framer.PendingLength(), 0);
    }

    void handlerErrorKeepsTheFramerConsistent()
    {
        TComDataPacket framer;
        apply(framer, kSettings[1]);
        framer.SetMaxBufferSize(8);
        QList<QByteArray> packets, discards;
        framer.OnPacket = [&](TComDataPacket *, const QByteArray &s) {
            packets.append(s);
            if (s == "bad")
                throw std::runtime_error("decoder failed");
        };
        framer.OnDiscard = [&](TComDataPacket *, const QByteArray &s) { discards.append(s); };
        // The limit is still enforced after the failing packet: "#ok1#abcd" (9 >= 8) pending.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, framer.AddText("#bad#ok1#abcd"));
        QCOMPARE(packets, QList<QByteArray> { "bad" });
        QCOMPARE(discards, QList<QByteArray> { "#ok1#abcd" });
        QCOMPARE(framer.PendingLength(), 0);
        framer.AddText("#123");
        QCOMPARE(packets, (QList<QByteArray> { "bad", "123" }));
    }

    void handlerMayChangeSettings()
    {
        // The debug window disarms and rearms framers from its handlers: a flush from inside
        // OnPacket ends the pass cleanly.
        TComDataPacket framer;
        apply(framer, kSettings[1]);
        Recorder rec(framer);
        framer.OnPacket = [&](TComDataPacket *self, const QByteArray &s) {
            rec.events.append({ 'P', s });
            self->SetSize(5);
        };
        framer.AddText("#123#456#7");
        QCOMPARE(rec.packets(), QList<QByteArray> { "123" });
        QCOMPARE(rec.discards(), QList<QByteArray> { "#456#7" });
        QCOMPARE(framer.PendingLength(), 0);
    }

    void manyFramesInOneBlock()
    {
        // A block far larger than any read must neither recurse per packet nor cut the
        // buffer's front per packet.
        TComDataPacket framer;
        apply(framer, kSettings[0]);
        int count = 0;
        framer.OnPacket = [&](TComDataPacket *, const QByteArray &s) {
            QCOMPARE(s.size(), 10);
            ++count;
        };
        QByteArray block;
        const QByteArray frame = QByteArray(1, char(0xFF)) + QByteArray(10, '\x01');
        for (int i = 0; i < 200000; ++i)
            block.append(frame);
        framer.AddText(block);
        QCOMPARE(count, 200000);
    }

    void attachAndDetachOverAPort()
    {
        PtyPair pty;
        TComPort port;
        port.setPort(QString::fromStdString(pty.slavePath()));
        port.OpenPort();
        TComDataPacket framer;
        apply(framer, kSettings[0]);
        Recorder rec(framer);
        TComDataPacket debug;
        apply(debug, kSettings[2]);
        Recorder debugRec(debug);
        debug.SetComPort(&port);
        framer.SetComPort(&port);
        QCOMPARE(framer.ComPort(), &port);
        framer.SetComPort(&port); // the same port: attaching twice would be refused

        const QByteArray frame = bytes({ 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 });
        pty.send(frame.left(4).toStdString());
        QTRY_COMPARE(framer.PendingLength(), 4);
        framer.SetComPort(nullptr);
        QCOMPARE(framer.ComPort(), nullptr);
        QVERIFY(framer.Collecting());
        QCOMPARE(framer.PendingLength(), 4);
        framer.SetComPort(&port);
        pty.send(frame.mid(4).toStdString());
        QTRY_COMPARE(rec.packets(), QList<QByteArray> { frame.mid(1) });
        QTRY_COMPARE(debugRec.packets().size(), frame.size());
        QCOMPARE(debugRec.packets().join(), frame);
    }

    void portDestroyedFirst()
    {
        TComDataPacket framer;
        {
            TComPort port;
            framer.SetComPort(&port);
        }
        QCOMPARE(framer.ComPort(), nullptr);
        TComPort other;
        framer.SetComPort(&other);
        QCOMPARE(framer.ComPort(), &other);
    }

    void framerDestroyedFirstIsDetached()
    {
        PtyPair pty;
        TComPort port;
        port.setPort(QString::fromStdString(pty.slavePath()));
        port.OpenPort();
        TComDataPacket survivor;
        apply(survivor, kSettings[2]);
        Recorder rec(survivor);
        {
            TComDataPacket gone;
            gone.SetComPort(&port);
            survivor.SetComPort(&port);
        }
        // Delivery must not reach the destroyed framer's link.
        pty.send("xyz");
        QTRY_COMPARE(rec.packets().join(), QByteArray("xyz"));
    }

    // Feeding a stream in any split gives the packets of feeding it whole, and the packets
    // with their start strings, the discarded text and the pending text account for every byte.
    void property_data()
    {
        QTest::addColumn<int>("settings");
        for (int i = 0; i < kSettingsCount; ++i)
            QTest::newRow(kSettings[i].name) << i;
    }
    void property()
    {
        QFETCH(int, settings);
        QRandomGenerator rng(20240611u + unsigned(settings));
        for (int round = 0; round < 60; ++round) {
            const QByteArray stream = randomStream(rng, 1 + int(rng.bounded(3000)));
            const QString failure = checkStream(kSettings[settings], stream, randomBlocks(rng, 50));
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
    }
};

QTEST_GUILESS_MAIN(TestTComDataPacket)
#include "tst_tcomdatapacket.moc"
