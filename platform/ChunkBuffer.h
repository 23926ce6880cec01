#pragma once
// Output formatted in pieces: bytes gather in a small buffer that is handed on whenever it fills,
// so however large a document is, its formatted form is never held in memory at once.
#include <QByteArray>
#include <functional>
#include <utility>

// Takes bytes; false when they could not be written (then writing stops).
using ByteSink = std::function<bool(const char* data, qint64 size)>;

class CChunkBuffer {
public:
    static constexpr qsizetype kChunk = 64 * 1024;

    explicit CChunkBuffer(ByteSink sink)
        : m_sink(std::move(sink))
    {
        m_buf.reserve(kChunk + 4096);
    }
    // Append to this, then call Spill().
    QByteArray& Out() { return m_buf; }
    // Hands the buffer on once it holds a chunk.
    bool Spill() { return m_buf.size() < kChunk ? m_ok : Flush(); }
    // Hands on whatever the buffer holds.
    bool Flush()
    {
        if (m_ok && !m_buf.isEmpty())
            m_ok = m_sink(m_buf.constData(), m_buf.size());
        m_buf.resize(0); // keeps the room
        return m_ok;
    }
    bool Ok() const { return m_ok; }

private:
    ByteSink m_sink;
    QByteArray m_buf;
    bool m_ok = true;
};
