#pragma once
// The port reader: one thread that keeps a read pending on a serial stream and hands every chunk
// to a callback, until it is stopped or the device fails. Standard library only, like the
// devices it reads (see SerialCore.h).
#include "link/SerialCore.h"

#include <atomic>
#include <functional>
#include <thread>

class CSerialReader {
public:
    // data(bytes, count): bytes valid only during the call. lost(error): the device failed or
    // went away; called once, just before the thread ends. Both run on the reader thread.
    using DataFn = std::function<void(const uint8_t* bytes, size_t count)>;
    using LostFn = std::function<void(uint32_t error)>;

    // Read interval: the most a read may hold bytes during silence on the line.
    static constexpr int kInterByteMs = 200;
    static constexpr int kBufferSize = 2048;

    CSerialReader() = default;
    ~CSerialReader();
    CSerialReader(const CSerialReader&) = delete;
    CSerialReader& operator=(const CSerialReader&) = delete;

    // Starts reading stream (which must outlive the reader). onStart runs first on the new
    // thread. Throws std::system_error when the system cannot create the thread.
    void Start(CSerialStream* stream, DataFn data, LostFn lost, std::function<void()> onStart = {});
    // Cooperative stop: wakes the read and joins; no callback runs after it returns. Called on
    // the reader thread itself (from a callback) it only asks the thread to end.
    void Stop();

    // Bytes asked for by each read (1 to kBufferSize); takes effect with the next read.
    void SetReadSize(int bytes);
    int ReadSize() const { return m_nReadSize.load(); }
    bool Ended() const { return m_bEnded.load(); }
    bool StopRequested() const { return m_bStop.load(); }

private:
    void Run();

    CSerialStream* m_pStream = nullptr;
    DataFn m_data;
    LostFn m_lost;
    std::function<void()> m_onStart;
    std::atomic<int> m_nReadSize { 100 };
    std::atomic<bool> m_bStop { false };
    std::atomic<bool> m_bEnded { true };
    uint8_t m_byBuffer[kBufferSize] = {};
    std::thread m_thread;
};
