#include "link/SerialReader.h"

#include <algorithm>

bool ValidSerialFraming(int parity, int dataBits, int stopBits, int flowControl)
{
    return parity >= ParityEven && parity <= ParitySpace && dataBits >= 5 && dataBits <= 8
        && stopBits >= StopBitsOne && stopBits <= StopBitsTwo && flowControl >= FlowNone
        && flowControl <= FlowXonXoff;
}

CSerialReader::~CSerialReader()
{
    Stop();
}

void CSerialReader::Start(CSerialStream* stream, DataFn data, LostFn lost, std::function<void()> onStart)
{
    Stop();
    m_pStream = stream;
    m_data = std::move(data);
    m_lost = std::move(lost);
    m_onStart = std::move(onStart);
    m_bStop = false;
    m_bEnded = false;
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (...) {
        m_bEnded = true;
        throw;
    }
}

void CSerialReader::Stop()
{
    m_bStop = true;
    // Also wakes a write waiting for the device, whether or not the reader still runs.
    if (m_pStream)
        m_pStream->CancelIo();
    if (!m_thread.joinable() || std::this_thread::get_id() == m_thread.get_id())
        return;
    m_thread.join();
}

void CSerialReader::SetReadSize(int bytes)
{
    m_nReadSize = std::clamp(bytes, 1, kBufferSize);
}

void CSerialReader::Run()
{
    if (m_onStart)
        m_onStart();
    while (!m_bStop.load()) {
        const size_t size = static_cast<size_t>(std::clamp(m_nReadSize.load(), 1, kBufferSize));
        size_t count = 0;
        try {
            count = m_pStream->ReadChunk(m_byBuffer, size, kInterByteMs);
        } catch (const CSerialException& e) {
            // A failure seen while stopping is the stop itself, not a lost device.
            if (!m_bStop.load() && m_lost)
                m_lost(e.m_dwError);
            break;
        }
        if (count == 0)
            break; // cancelled
        if (m_data)
            m_data(m_byBuffer, std::min(count, size));
    }
    try {
        m_pStream->Purge(PurgeRxAbort | PurgeRxClear);
    } catch (const CSerialException&) {
        // The device is gone; there is nothing left to clear.
    }
    m_bEnded = true;
}
