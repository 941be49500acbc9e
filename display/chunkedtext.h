#pragma once

#include <QString>
#include <vector>

// A long text kept in pieces of a few thousand characters, so that inserting or removing
// anywhere costs the same whatever the length: only one piece and the table of piece starts
// change, and the text is never copied whole (a single string of megabytes would be, each time
// it outgrows its room). Positions count characters from the start of the whole text.
class ChunkedText
{
public:
    // A piece is split in two once it holds twice this many characters.
    static constexpr qsizetype ChunkSize = 4096;

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    QChar at(qsizetype position) const;
    QString mid(qsizetype from, qsizetype length) const;
    QString toString() const { return mid(0, m_size); }

    void assign(const QString &text);
    // [from, from + length) becomes text.
    void replace(qsizetype from, qsizetype length, const QString &text);

    // Calls visit(position, character) for each character from `from` on, in order, until it
    // returns false or the text ends.
    template<typename Visit> void scan(qsizetype from, Visit visit) const
    {
        if (from >= m_size)
            return;
        std::size_t chunk = chunkOf(from);
        qsizetype offset = from - m_starts[chunk];
        qsizetype position = from;
        for (; chunk < m_chunks.size(); ++chunk, offset = 0) {
            const QString &piece = m_chunks[chunk];
            const QChar *data = piece.constData();
            for (qsizetype i = offset; i < piece.size(); ++i, ++position)
                if (!visit(position, data[i]))
                    return;
        }
    }

private:
    // The piece that holds `position` (the last piece for the end of the text).
    std::size_t chunkOf(qsizetype position) const;
    void splitLarge(std::size_t chunk);
    void renumberFrom(std::size_t chunk);

    std::vector<QString> m_chunks; // never empty pieces, except none at all for an empty text
    std::vector<qsizetype> m_starts; // position of each piece's first character
    qsizetype m_size = 0;
};
