#pragma once
// An append-only array of plain values kept in blocks of 2^Bits elements that never move once
// allocated: growing never copies what the array already holds, so an append costs the same at
// ten million elements as at ten. Only the first block grows like a vector while the array is
// smaller than one block, so that a small array stays small (that copy is bounded by one block).
//
// Blocks within the room asked for by Reserve (a file being loaded, a copy) are filled at once and
// may take huge pages. Blocks reached by appending one element at a time (a recording, a reading
// every fraction of a second) take ordinary pages: a fresh huge page is cleared, and may first be
// compacted for, in one go on its first touch, which cost one reading ten milliseconds and more.
#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

namespace datalog_detail {

// `filledAtOnce`: the block is about to be filled in one go, so huge pages pay off.
void* BulkAllocate(size_t bytes, bool filledAtOnce);
void BulkFree(void* p, size_t bytes);
// Makes the system give `bytes` at `p` their pages now (writing zeros where it cannot be asked).
void TouchPages(void* p, size_t bytes);

template <typename T, int Bits> class ChunkedArray {
    static_assert(std::is_trivially_copyable<T>::value, "blocks are copied and moved as bytes");

public:
    static constexpr size_t kChunk = size_t(1) << Bits;

    ChunkedArray() = default;
    ChunkedArray(const ChunkedArray& o) { CopyFrom(o); }
    ChunkedArray(ChunkedArray&& o) noexcept { Swap(o); }
    ChunkedArray& operator=(const ChunkedArray& o)
    {
        if (this != &o) {
            ChunkedArray copy(o);
            Swap(copy);
        }
        return *this;
    }
    ChunkedArray& operator=(ChunkedArray&& o) noexcept
    {
        if (this != &o) {
            ChunkedArray gone;
            Swap(o);
            o.Swap(gone);
        }
        return *this;
    }
    ~ChunkedArray() { Clear(); }

    size_t Size() const { return m_size; }
    bool IsEmpty() const { return m_size == 0; }
    // Elements that fit before another allocation.
    size_t Capacity() const { return m_chunks.empty() ? 0 : (m_chunks.size() - 1) * kChunk + ChunkRoom(m_chunks.size() - 1); }

    const T& operator[](size_t i) const { return m_chunks[i >> Bits][i & (kChunk - 1)]; }
    T& operator[](size_t i) { return m_chunks[i >> Bits][i & (kChunk - 1)]; }
    const T& Back() const { return (*this)[m_size - 1]; }

    void Append(const T& v) { *Grab(1) = v; }

    // The size after Grab(n) at `size`: what would straddle two blocks goes to the start of the
    // next one.
    static size_t SizeAfterGrab(size_t size, size_t n)
    {
        if ((size & (kChunk - 1)) + n > kChunk)
            size = ((size >> Bits) + 1) << Bits;
        return size + n;
    }

    // A whole block made ready where that costs the thread that fills it nothing: allocated and
    // its pages touched, so that filling it takes no page faults. Given to an array by AddSpare.
    static T* ReadyBlock()
    {
        T* p = Allocate(kChunk, true);
        TouchPages(p, kChunk * sizeof(T));
        return p;
    }
    // Keeps `block` (from ReadyBlock) for the next block this array needs; Clear frees it unused.
    void AddSpare(T* block) { m_spares.push_back(block); }
    // Takes the spare blocks of `o`.
    void TakeSpares(ChunkedArray& o)
    {
        m_spares.insert(m_spares.end(), o.m_spares.begin(), o.m_spares.end());
        o.m_spares.clear();
    }
    // Frees the spare blocks not used.
    void DropSpares()
    {
        for (T* p : m_spares)
            BulkFree(p, kChunk * sizeof(T));
        std::vector<T*>().swap(m_spares);
    }

    // Room for `n` (at most kChunk) more elements side by side at the end; the array grows by `n`
    // and the returned room begins at Size() - n. When the last block cannot hold them together
    // they go to the next block and the rest of the last one stays unused (counted in Size()).
    T* Grab(size_t n)
    {
        const size_t start = SizeAfterGrab(m_size, n) - n;
        const size_t chunk = start >> Bits;
        const size_t offset = start & (kChunk - 1);
        if (chunk >= m_chunks.size()) {
            // The first block grows like a vector; every later one is made whole.
            if (chunk == 0)
                GrowFirst(std::max<size_t>(n, 16));
            else {
                if (m_firstRoom < kChunk)
                    GrowFirst(kChunk);
                m_chunks.push_back(NewBlock((chunk << Bits) < m_reserved));
            }
        } else if (chunk == 0 && offset + n > m_firstRoom) {
            GrowFirst(std::min(kChunk, std::max(offset + n, m_firstRoom * 2)));
        }
        m_size = start + n;
        return m_chunks[chunk] + offset;
    }

    // Room for `n` elements in all without further copying: the first block is made big enough
    // (whole when `n` passes it) and the block table takes its final size. Later blocks are
    // still allocated only when reached.
    void Reserve(size_t n)
    {
        if (n == 0)
            return;
        m_reserved = std::max(m_reserved, n);
        GrowFirst(std::min(n, kChunk));
        m_chunks.reserve((n + kChunk - 1) >> Bits);
    }

    void Clear()
    {
        DropSpares();
        for (size_t c = 0; c < m_chunks.size(); ++c)
            BulkFree(m_chunks[c], ChunkRoom(c) * sizeof(T));
        std::vector<T*>().swap(m_chunks);
        m_size = 0;
        m_firstRoom = 0;
        m_reserved = 0;
    }

private:
    size_t ChunkRoom(size_t c) const { return c == 0 ? m_firstRoom : kChunk; }
    static T* Allocate(size_t n, bool filledAtOnce)
    {
        return static_cast<T*>(BulkAllocate(n * sizeof(T), filledAtOnce));
    }
    // A whole block: a spare one when there is one.
    T* NewBlock(bool filledAtOnce)
    {
        if (m_spares.empty())
            return Allocate(kChunk, filledAtOnce);
        T* p = m_spares.back();
        m_spares.pop_back();
        return p;
    }

    void GrowFirst(size_t room)
    {
        if (room <= m_firstRoom)
            return;
        // With a spare block at hand the first block becomes whole at once.
        if (!m_spares.empty())
            room = kChunk;
        T* p = room == kChunk ? NewBlock(room <= m_reserved) : Allocate(room, room <= m_reserved);
        if (!m_chunks.empty()) {
            std::memcpy(static_cast<void*>(p), m_chunks[0], std::min(m_size, m_firstRoom) * sizeof(T));
            BulkFree(m_chunks[0], m_firstRoom * sizeof(T));
            m_chunks[0] = p;
        } else {
            m_chunks.push_back(p);
        }
        m_firstRoom = room;
    }

    void CopyFrom(const ChunkedArray& o)
    {
        if (o.m_chunks.empty())
            return;
        m_chunks.reserve(o.m_chunks.size());
        for (size_t c = 0; c < o.m_chunks.size(); ++c) {
            const size_t room = o.ChunkRoom(c);
            m_chunks.push_back(Allocate(room, true));
            if (c == 0)
                m_firstRoom = room;
            const size_t used = std::min(room, o.m_size - std::min(o.m_size, c << Bits));
            std::memcpy(static_cast<void*>(m_chunks[c]), o.m_chunks[c], used * sizeof(T));
        }
        m_size = o.m_size;
    }

    void Swap(ChunkedArray& o) noexcept
    {
        m_spares.swap(o.m_spares);
        m_chunks.swap(o.m_chunks);
        std::swap(m_size, o.m_size);
        std::swap(m_firstRoom, o.m_firstRoom);
        std::swap(m_reserved, o.m_reserved);
    }

    std::vector<T*> m_chunks;
    size_t m_size = 0;
    size_t m_firstRoom = 0; // the first block's room: kChunk once a second block exists
    size_t m_reserved = 0; // elements Reserve asked room for
    std::vector<T*> m_spares; // whole blocks ready for use (AddSpare)
};

} // namespace datalog_detail
