#pragma once
// The simulated dongle as a serial port inside the process: CComPort::Open("sim", ...) reaches the
// shared simulator once RegisterSimPort() has run. Reads block on a condition variable until the
// simulator delivers bytes, CancelIo is called or the port is closed or unplugged.
#include "link/SerialPort.h"
#include "sim/SimRunner.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace sim {

class CSimSerialPort : public CSerialPort {
public:
    explicit CSimSerialPort(std::shared_ptr<CSimRunner> runner);
    ~CSimSerialPort() override;

    // Attaches to the simulator whatever the name; throws CSerialException when it is unplugged.
    void Open(const QString& deviceName, int baud, int parity, int dataBits, int stopBits, int flowControl,
        bool overlapped) override;
    void Close() override;
    bool IsOpen() const override;
    size_t ReadChunk(uint8_t* buffer, size_t maxCount, int interByteMs) override;
    void CancelIo() override;
    void ResetCancel() override;
    size_t Write(const void* buffer, size_t count) override;
    void Purge(uint32_t flags) override;

    static constexpr uint32_t kErrorUnplugged = 19; // "no such device"
    static constexpr uint32_t kErrorNotOpen = 9; // "bad file descriptor"

private:
    // Shared with the runner's delivery callback, which may outlive a Close by a moment.
    struct Queue {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<uint8_t> bytes;
        bool cancelled = false;
        bool lost = false;
        bool open = false;
    };

    std::shared_ptr<CSimRunner> m_runner;
    std::shared_ptr<Queue> m_queue;
    uint64_t m_nToken = 0;
};

// The process's simulated dongle and meter, started on first use.
std::shared_ptr<CSimRunner> SharedSimulator();
// Replaces it with a fresh one made from config (tests; ports already open keep the old one).
std::shared_ptr<CSimRunner> ResetSharedSimulator(const SimConfig& config = SimConfig());
// The process's second simulated dongle, with a DC current meter behind it ("ADC", about 1.2 A,
// as a load on the first meter's 5 V would draw), its own address and name; started on first use.
std::shared_ptr<CSimRunner> SecondSimulator();
SimConfig SecondMeterConfig();
// Makes "sim" (the shared simulator) and "sim2" (the second one) port names that CComPort::Open
// accepts. Safe to call more than once.
void RegisterSimPort();

} // namespace sim
