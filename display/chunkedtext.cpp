#include "chunkedtext.h"

#include <algorithm>

std::size_t ChunkedText::chunkOf(qsizetype position) const
{
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), position);
    return after == m_starts.begin() ? 0 : std::size_t(after - m_starts.begin()) - 1;
}

QChar ChunkedText::at(qsizetype position) const
{
    const std::size_t chunk = chunkOf(position);
    return m_chunks[chunk].at(position - m_starts[chunk]);
}

QString ChunkedText::mid(qsizetype from, qsizetype length) const
{
    from = std::clamp<qsizetype>(from, 0, m_size);
    length = std::clamp<qsizetype>(length, 0, m_size - from);
    QString out;
    out.reserve(length);
    if (length == 0)
        return out;
    for (std::size_t chunk = chunkOf(from); chunk < m_chunks.size() && out.size() < length;
         ++chunk) {
        const qsizetype offset = std::max<qsizetype>(0, from - m_starts[chunk]);
        out += QStringView(m_chunks[chunk]).mid(offset, length - out.size());
    }
    return out;
}

void ChunkedText::assign(const QString &text)
{
    m_chunks.clear();
    m_starts.clear();
    for (qsizetype from = 0; from < text.size(); from += ChunkSize) {
        m_starts.push_back(from);
        m_chunks.push_back(text.mid(from, ChunkSize));
    }
    m_size = text.size();
}

void ChunkedText::replace(qsizetype from, qsizetype length, const QString &text)
{
    from = std::clamp<qsizetype>(from, 0, m_size);
    length = std::clamp<qsizetype>(length, 0, m_size - from);
    if (m_chunks.empty()) {
        assign(text);
        return;
    }
    std::size_t first = chunkOf(from);
    // Remove [from, from + length), piece by piece.
    qsizetype left = length;
    std::size_t chunk = first;
    qsizetype offset = from - m_starts[chunk];
    while (left > 0) {
        QString &piece = m_chunks[chunk];
        const qsizetype n = std::min(left, piece.size() - offset);
        piece.remove(offset, n);
        left -= n;
        ++chunk;
        offset = 0;
    }
    // Insert into the piece that held `from` (where the removal began).
    m_chunks[first].insert(from - m_starts[first], text);
    m_size += text.size() - length;
    // Drop the pieces the removal emptied; a piece left empty at the start takes nothing.
    const auto last = std::remove_if(m_chunks.begin() + std::ptrdiff_t(first), m_chunks.end(),
                                     [](const QString &piece) { return piece.isEmpty(); });
    m_chunks.erase(last, m_chunks.end());
    m_starts.resize(m_chunks.size());
    first = std::min(first, m_chunks.empty() ? 0 : m_chunks.size() - 1);
    if (!m_chunks.empty())
        splitLarge(first);
    renumberFrom(first);
}

void ChunkedText::splitLarge(std::size_t chunk)
{
    if (m_chunks[chunk].size() < 2 * ChunkSize)
        return;
    const QString whole = m_chunks[chunk];
    std::vector<QString> pieces;
    for (qsizetype from = 0; from < whole.size(); from += ChunkSize)
        pieces.push_back(whole.mid(from, ChunkSize));
    m_chunks.erase(m_chunks.begin() + std::ptrdiff_t(chunk));
    m_chunks.insert(m_chunks.begin() + std::ptrdiff_t(chunk), pieces.begin(), pieces.end());
    m_starts.resize(m_chunks.size());
}

void ChunkedText::renumberFrom(std::size_t chunk)
{
    qsizetype start = chunk == 0 ? 0 : m_starts[chunk - 1] + m_chunks[chunk - 1].size();
    for (std::size_t i = chunk; i < m_chunks.size(); ++i) {
        m_starts[i] = start;
        start += m_chunks[i].size();
    }
}
