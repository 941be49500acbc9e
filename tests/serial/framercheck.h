#pragma once

#include "tcomdatapacket.h"

#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <iterator>

// What the framer's tests, its long property run and its fuzz target share: the settings of the
// program's framers (and a few more), random receiver-like streams, and the check that block
// boundaries do not matter and that every byte is accounted for.
namespace FramerCheck {

struct Settings
{
    const char *name;
    QByteArray start;
    QByteArray stop;
    int size;
    int maxBuffer;
    bool caseInsensitive;
    bool includeStrings;
    bool splitInvariant; // same packets whatever the block boundaries
};

inline void apply(TComDataPacket &framer, const Settings &s)
{
    framer.SetStartString(s.start);
    framer.SetStopString(s.stop);
    framer.SetSize(s.size);
    framer.SetMaxBufferSize(s.maxBuffer);
    framer.SetCaseInsensitive(s.caseInsensitive);
    framer.SetIncludeStrings(s.includeStrings);
}

// The first four are the program's: balloon and rocket (same settings), sweep, debug.
inline const Settings kSettings[] = {
    { "balloon", "\xFF", "", 11, 1024, false, false, true },
    { "sweep", "#", "", 4, 1024, false, false, true },
    { "debug", "", "", 1, 1024, false, false, true },
    { "tags", "<", ">", 0, 0, false, false, true },
    { "folded", "ab", "CD", 0, 0, true, true, true },
    // A fixed size wins over the stop string only once enough text is pending, so here the
    // packets depend on the block boundaries.
    { "size and stop", "S", "\r\n", 6, 64, false, false, false },
    { "raw blocks", "", "", 0, 1024, false, false, false },
};
inline constexpr int kSettingsCount = int(std::size(kSettings));

// Records what a framer hands out, in order: 'P' packet, 'D' discard.
struct Recorder
{
    struct Event
    {
        char kind;
        QByteArray text;
        bool operator==(const Event &) const = default;
    };
    QList<Event> events;

    explicit Recorder(TComDataPacket &framer)
    {
        framer.OnPacket = [this](TComDataPacket *, const QByteArray &s) {
            events.append({ 'P', s });
        };
        framer.OnDiscard = [this](TComDataPacket *, const QByteArray &s) {
            events.append({ 'D', s });
        };
    }
    QList<QByteArray> of(char kind) const
    {
        QList<QByteArray> out;
        for (const Event &e : events)
            if (e.kind == kind)
                out.append(e.text);
        return out;
    }
    QList<QByteArray> packets() const { return of('P'); }
    QList<QByteArray> discards() const { return of('D'); }
};

// A stream that looks like the receiver's: frames, noise, lost bytes, bytes of the other
// framers' alphabets.
inline QByteArray randomStream(QRandomGenerator &rng, int length)
{
    static const char alphabet[] = "\xFF#<>abcdABCDS\r\n0123\x00";
    QByteArray out;
    while (out.size() < length) {
        switch (rng.bounded(4)) {
        case 0: { // a frame, sometimes with a byte lost
            QByteArray frame(1, char(0xFF));
            for (int i = 0; i < 10; ++i)
                frame.append(char(rng.bounded(256)));
            if (rng.bounded(4) == 0)
                frame.remove(rng.bounded(frame.size()), 1);
            out.append(frame);
            break;
        }
        case 1: // noise of any byte
            for (int n = int(rng.bounded(40)); n > 0; --n)
                out.append(char(rng.bounded(256)));
            break;
        default: // delimiters and letters
            for (int n = int(rng.bounded(12)); n > 0; --n)
                out.append(alphabet[rng.bounded(int(sizeof alphabet) - 1)]);
            break;
        }
    }
    return out;
}

// The packets with the delimiters they lost, the discarded text and the pending text must give
// the stream back, byte for byte. Empty when they do, else what differs.
inline QString accountFor(const Settings &s, const QByteArray &stream, const Recorder &rec,
                          const QByteArray &pending)
{
    QByteArray rebuilt;
    for (const Recorder::Event &e : rec.events) {
        QByteArray text = e.text;
        if (e.kind == 'P' && !s.includeStrings) {
            // Every packet began with the start string; it ended with the stop string when the
            // stream has one right after it and the size left room for it.
            text.prepend(s.start);
            if (!s.stop.isEmpty() && stream.mid(rebuilt.size() + text.size()).startsWith(s.stop)
                && (s.size == 0 || text.size() + s.stop.size() <= s.size))
                text.append(s.stop);
        }
        rebuilt.append(text);
    }
    rebuilt.append(pending);
    if (rebuilt == stream)
        return {};
    qsizetype at = 0;
    while (at < rebuilt.size() && at < stream.size() && rebuilt[at] == stream[at])
        ++at;
    return QStringLiteral("%1: %2 bytes rebuilt from %3, first difference at %4")
        .arg(QLatin1String(s.name))
        .arg(rebuilt.size())
        .arg(stream.size())
        .arg(at);
}

// Feeds the stream whole to one framer and in blocks of the given sizes (cycled) to another,
// then checks both. Empty when all holds, else what failed.
inline QString checkStream(const Settings &s, const QByteArray &stream, const QList<int> &blocks)
{
    TComDataPacket whole;
    apply(whole, s);
    Recorder wholeRec(whole);
    whole.AddText(stream);

    TComDataPacket split;
    apply(split, s);
    Recorder splitRec(split);
    qsizetype at = 0;
    for (int i = 0; at < stream.size(); ++i) {
        const int n = blocks.isEmpty() ? 1 : std::max(1, blocks[i % blocks.size()]);
        split.AddText(stream.mid(at, n));
        at += n;
    }

    if (s.splitInvariant) {
        if (splitRec.packets() != wholeRec.packets())
            return QStringLiteral("%1: packets depend on the blocks").arg(QLatin1String(s.name));
        if (splitRec.discards().join() + split.PendingText()
            != wholeRec.discards().join() + whole.PendingText())
            return QStringLiteral("%1: discards depend on the blocks").arg(QLatin1String(s.name));
    }
    QString failure = accountFor(s, stream, wholeRec, whole.PendingText());
    if (failure.isEmpty())
        failure = accountFor(s, stream, splitRec, split.PendingText());
    return failure;
}

// Random block sizes: mostly small (the port reads what 600 bit/s brought), sometimes large.
inline QList<int> randomBlocks(QRandomGenerator &rng, int count)
{
    QList<int> blocks;
    for (int i = 0; i < count; ++i)
        blocks.append(1 + int(rng.bounded(rng.bounded(2) ? 4 : 300)));
    return blocks;
}

} // namespace FramerCheck
