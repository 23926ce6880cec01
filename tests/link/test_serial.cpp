// The serial channel over a pseudo-terminal pair: opening and its failures, chunked in-order
// delivery, prompt and silent Close, re-open, a vanishing device, concurrent writes, and the
// virtual-port seam.
#include "PtyPair.h"
#include "link/ComPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <thread>

namespace {

// Collects what the port's callbacks deliver.
struct Sink {
    std::mutex lock;
    std::vector<std::vector<uint8_t>> chunks;
    size_t total = 0;
    std::atomic<int> lost { 0 };
    std::atomic<uint32_t> lostError { 0 };
    std::atomic<bool> closed { false };
    std::atomic<int> afterClose { 0 };

    std::atomic<qint64> lastArrivalNs { 0 };

    static void Receive(void* owner, const uint8_t* bytes, size_t count)
    {
        auto* s = static_cast<Sink*>(owner);
        s->lastArrivalNs = std::chrono::steady_clock::now().time_since_epoch().count();
        if (s->closed)
            ++s->afterClose;
        std::lock_guard<std::mutex> g(s->lock);
        s->chunks.emplace_back(bytes, bytes + count);
        s->total += count;
    }
    static void Lost(void* owner, uint32_t error)
    {
        auto* s = static_cast<Sink*>(owner);
        s->lostError = error;
        ++s->lost;
    }
    size_t Total()
    {
        std::lock_guard<std::mutex> g(lock);
        return total;
    }
    std::vector<uint8_t> All()
    {
        std::lock_guard<std::mutex> g(lock);
        std::vector<uint8_t> all;
        for (const auto& c : chunks)
            all.insert(all.end(), c.begin(), c.end());
        return all;
    }
    void Install(CComPort& port)
    {
        port.SetReceiveCallback(&Sink::Receive, this);
        port.SetLostCallback(&Sink::Lost);
    }
};

int OpenDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 0)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7 + i / 251);
    return v;
}

// An in-process device standing in for the operating system's port: bytes pushed by the test
// are read back by the reader thread.
class QueuePort : public CSerialPort {
public:
    static std::atomic<int> opened;
    std::mutex lock;
    std::condition_variable cv;
    std::deque<uint8_t> queue;
    bool open = false;
    bool cancelled = false;
    std::vector<uint8_t> written;

    void Open(const QString&, int, int, int, int, int, bool) override
    {
        open = true;
        ++opened;
        // Something to read as soon as the reader starts.
        const uint8_t hello[] = { 'h', 'i' };
        queue.insert(queue.end(), hello, hello + 2);
    }
    void Close() override { open = false; }
    bool IsOpen() const override { return open; }
    size_t ReadChunk(uint8_t* buffer, size_t maxCount, int) override
    {
        std::unique_lock<std::mutex> g(lock);
        cv.wait(g, [&] { return cancelled || !queue.empty(); });
        if (cancelled)
            return 0;
        size_t n = 0;
        while (n < maxCount && !queue.empty()) {
            buffer[n++] = queue.front();
            queue.pop_front();
        }
        return n;
    }
    void CancelIo() override
    {
        std::lock_guard<std::mutex> g(lock);
        cancelled = true;
        cv.notify_all();
    }
    void ResetCancel() override
    {
        std::lock_guard<std::mutex> g(lock);
        cancelled = false;
    }
    size_t Write(const void* b, size_t n) override
    {
        std::lock_guard<std::mutex> g(lock);
        written.insert(written.end(), static_cast<const uint8_t*>(b), static_cast<const uint8_t*>(b) + n);
        return n;
    }
    void Purge(uint32_t) override { }
};
std::atomic<int> QueuePort::opened { 0 };

} // namespace

class TestSerial : public QObject {
    Q_OBJECT
private slots:
    void resolvesPortTexts()
    {
        QString device;
        int number = -1;
        QVERIFY(CComPort::ResolvePortName(QStringLiteral("3"), &device, &number));
        QCOMPARE(device, QStringLiteral("/dev/ttyS2"));
        QCOMPARE(number, 3);
        QVERIFY(CComPort::ResolvePortName(QStringLiteral("com12"), &device, &number));
        QCOMPARE(device, QStringLiteral("/dev/ttyS11"));
        QCOMPARE(number, 12);
        QVERIFY(CComPort::ResolvePortName(QStringLiteral(" /dev/pts/7 "), &device, &number));
        QCOMPARE(device, QStringLiteral("/dev/pts/7"));
        QCOMPARE(number, 0);
        for (const char* bad : { "", "  ", "0", "-2", "COM0" })
            QVERIFY2(!CComPort::ResolvePortName(QString::fromLatin1(bad), &device, &number), bad);
        QCOMPARE(CSerialPort::DeviceName(1), QStringLiteral("/dev/ttyS0"));
    }

    void openFailuresLeaveNothingOpen()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        const int before = OpenDescriptors();
        CComPort port;
        QVERIFY(!port.Open(QStringLiteral("/dev/no-such-serial-device"), 2, 115200));
        QVERIFY(!port.IsOpen());
        QCOMPARE(port.LastError(), uint32_t(ENOENT));
        QVERIFY(!port.Open(QStringLiteral("/dev/null"), 2, 115200)); // not a terminal
        QVERIFY(!port.Open(pty.slave(), 2, 12345)); // no such rate
        QVERIFY(!port.Open(pty.slave(), 1, 115200)); // only mode 2 exists
        QVERIFY(!port.Open(QStringLiteral("0"), 2, 115200));
        QVERIFY(!port.IsOpen());
        QCOMPARE(OpenDescriptors(), before);
        QCOMPARE(port.Write("x", 1), size_t(0));

        // A device in use by another port object cannot be opened twice.
        CComPort first;
        QVERIFY(first.Open(pty.slave(), 2, 115200));
        QVERIFY(!port.Open(pty.slave(), 2, 115200));
        QCOMPARE(port.LastError(), uint32_t(EBUSY));
        first.Close();
        QVERIFY(port.Open(pty.slave(), 2, 115200));
        port.Close();
        QCOMPARE(OpenDescriptors(), before);
    }

    void burstArrivesInOrderInBoundedChunks()
    {
        PtyPair pty;
        CComPort port;
        Sink sink;
        sink.Install(port);
        QVERIFY(port.Open(pty.slave(), 2, 115200));
        QCOMPARE(port.GetReadSize(), 100);
        const std::vector<uint8_t> burst = Pattern(3000);
        QVERIFY(pty.Write(burst));
        QTRY_COMPARE_WITH_TIMEOUT(sink.Total(), burst.size(), 5000);
        QVERIFY(sink.All() == burst);
        QVERIFY(sink.chunks.size() >= 30);
        for (const auto& c : sink.chunks)
            QVERIFY(!c.empty() && c.size() <= 100);

        // The read size changes while the reader runs; a read already waiting keeps its size,
        // so one byte goes through first.
        port.SetReadSize(7);
        QCOMPARE(port.GetReadSize(), 7);
        QVERIFY(pty.Write(Pattern(1)));
        QTRY_COMPARE_WITH_TIMEOUT(sink.Total(), burst.size() + 1, 2000);
        sink.chunks.clear();
        sink.total = 0;
        const std::vector<uint8_t> second = Pattern(500, 3);
        QVERIFY(pty.Write(second));
        QTRY_COMPARE_WITH_TIMEOUT(sink.Total(), second.size(), 5000);
        QVERIFY(sink.All() == second);
        for (const auto& c : sink.chunks)
            QVERIFY(c.size() <= 7);
        port.Close();
    }

    void smallPacketIsDeliveredAtOnce()
    {
        PtyPair pty;
        CComPort port;
        Sink sink;
        sink.Install(port);
        QVERIFY(port.Open(pty.slave(), 2, 115200));
        const qint64 sent = std::chrono::steady_clock::now().time_since_epoch().count();
        QVERIFY(pty.Write(Pattern(9)));
        QTRY_COMPARE_WITH_TIMEOUT(sink.Total(), size_t(9), 2000);
        // Far below the 200 ms that the inter-byte silence may hold a read.
        const qint64 latencyMs = (sink.lastArrivalNs - sent) / 1000000;
        QVERIFY2(latencyMs < 150, qPrintable(QString::number(latencyMs)));
        port.Close();
    }

    void closeIsPromptAndSilentThenReopenWorks()
    {
        PtyPair pty;
        CComPort port;
        Sink sink;
        sink.Install(port);
        QVERIFY(port.Open(pty.slave(), 2, 115200));
        std::atomic<bool> stop { false };
        std::thread flood([&] {
            const std::vector<uint8_t> b = Pattern(64);
            while (!stop) {
                pollfd p { pty.master(), POLLOUT, 0 };
                if (::poll(&p, 1, 20) > 0 && (p.revents & POLLOUT)) [[maybe_unused]]
                    ssize_t n = ::write(pty.master(), b.data(), b.size());
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(sink.Total() > 1000, 5000);
        QElapsedTimer t;
        t.start();
        port.Close();
        sink.closed = true;
        QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!port.IsOpen());
        QTest::qWait(100);
        QCOMPARE(sink.afterClose.load(), 0);
        stop = true;
        flood.join();

        // Same object, same device again: old bytes are purged, new ones arrive.
        sink.closed = false;
        const size_t before = sink.Total();
        QVERIFY(port.Open(pty.slave(), 2, 115200));
        QTest::qWait(50);
        const size_t afterOpen = sink.Total();
        QVERIFY(pty.Write(Pattern(5, 99)));
        QTRY_COMPARE_WITH_TIMEOUT(sink.Total(), afterOpen + 5, 2000);
        QVERIFY(afterOpen - before < 4096); // at most what was in flight, never the old backlog
        QElapsedTimer idle;
        idle.start();
        port.Close();
        QVERIFY(idle.elapsed() < 200);
        QCOMPARE(port.HasFailed(), false);
    }

    void openInsteadKeepsTheOldDeviceUntilTheNewOneOpens()
    {
        PtyPair first, second;
        CComPort port;
        Sink sink;
        sink.Install(port);
        QVERIFY(port.Open(first.slave(), 2, 9600));

        // A device that cannot be opened leaves the old one open and delivering.
        QVERIFY(!port.OpenInstead(QStringLiteral("/dev/no-such-meter-port"), 2, 9600));
        QVERIFY(port.IsOpen());
        QCOMPARE(port.PortName(), first.slave());
        QVERIFY(first.Write(Pattern(7)));
        QTRY_COMPARE_WITH_TIMEOUT(sink.Total(), size_t(7), 2000);

        // One that opens takes over: bytes come from the new device only.
        QVERIFY(port.OpenInstead(second.slave(), 2, 9600));
        QCOMPARE(port.PortName(), second.slave());
        QVERIFY(second.Write(Pattern(5, 3)));
        QTRY_COMPARE_WITH_TIMEOUT(sink.Total(), size_t(12), 2000);
        first.Write(Pattern(9, 5)); // the old device is closed: nothing of this arrives
        QTest::qWait(100);
        QCOMPARE(sink.Total(), size_t(12));

        // The same device named again is reopened, not opened twice.
        QVERIFY(port.OpenInstead(second.slave(), 2, 9600));
        QVERIFY(port.IsOpen());
        port.Close();
    }

    void vanishingDeviceEndsTheReaderOnce()
    {
        PtyPair pty;
        CComPort port;
        Sink sink;
        sink.Install(port);
        QVERIFY(port.Open(pty.slave(), 2, 115200));
        QVERIFY(pty.Write(Pattern(10)));
        QTRY_COMPARE_WITH_TIMEOUT(sink.Total(), size_t(10), 2000);
        pty.CloseMaster();
        QTRY_COMPARE_WITH_TIMEOUT(sink.lost.load(), 1, 2000);
        QVERIFY(port.HasFailed());
        QVERIFY(port.LastError() != 0);
        QCOMPARE(sink.lostError.load(), port.LastError());
        QTest::qWait(200);
        QCOMPARE(sink.lost.load(), 1); // no error loop
        QCOMPARE(port.Write("abc", 3), size_t(0));
        QElapsedTimer t;
        t.start();
        port.Close();
        QVERIFY(t.elapsed() < 200);
        QVERIFY(!port.IsOpen());
    }

    void closeFromTheLostCallbackDoesNotHang()
    {
        PtyPair pty;
        CComPort port;
        static CComPort* s_port = nullptr;
        static std::atomic<int> calls { 0 };
        s_port = &port;
        calls = 0;
        port.SetLostCallback([](void*, uint32_t) {
            ++calls;
            s_port->Close();
        });
        QVERIFY(port.Open(pty.slave(), 2, 115200));
        pty.CloseMaster();
        QTRY_COMPARE_WITH_TIMEOUT(calls.load(), 1, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!port.IsOpen(), 1000);
        port.Close(); // finishes the job on this thread
    }

    void writesFromSeveralThreadsStayWhole()
    {
        PtyPair pty;
        CComPort port;
        QVERIFY(port.Open(pty.slave(), 2, 115200));
        constexpr int kThreads = 4;
        constexpr int kPackets = 200;
        constexpr size_t kSize = 24;
        std::vector<uint8_t> received;
        std::thread reader([&] { received = pty.ReadExactly(kThreads * kPackets * kSize, 2000); });
        std::vector<std::thread> writers;
        std::atomic<int> short_writes { 0 };
        for (int t = 0; t < kThreads; ++t) {
            writers.emplace_back([&, t] {
                for (int i = 0; i < kPackets; ++i) {
                    std::vector<uint8_t> p(kSize, uint8_t(t));
                    p[1] = uint8_t(i);
                    if (port.Write(p.data(), p.size()) != kSize)
                        ++short_writes;
                }
            });
        }
        for (auto& w : writers)
            w.join();
        reader.join();
        QCOMPARE(short_writes.load(), 0);
        QCOMPARE(received.size(), size_t(kThreads * kPackets * kSize));
        int next[kThreads] = {};
        for (size_t off = 0; off < received.size(); off += kSize) {
            const uint8_t t = received[off];
            QVERIFY(t < kThreads);
            QCOMPARE(received[off + 1], uint8_t(next[t]++)); // each thread's packets in order
            for (size_t k = 2; k < kSize; ++k)
                QCOMPARE(received[off + k], t); // never interleaved
        }
        port.Close();
    }

    void closeAbandonsABlockedWrite()
    {
        PtyPair pty;
        CComPort port;
        QVERIFY(port.Open(pty.slave(), 2, 115200));
        // Nobody reads the master: the write fills the terminal's buffer and blocks.
        const std::vector<uint8_t> big(1 << 20, 0x55);
        std::atomic<size_t> written { size_t(-1) };
        std::thread writer([&] { written = port.Write(big.data(), big.size()); });
        QTest::qWait(100);
        QCOMPARE(written.load(), size_t(-1));
        QElapsedTimer t;
        t.start();
        port.Close();
        writer.join();
        QVERIFY(t.elapsed() < 500);
        QVERIFY(written.load() < big.size());
    }

    void virtualPortStandsInForADevice()
    {
        QueuePort* made = nullptr;
        CComPort::RegisterVirtualPort(QStringLiteral("testdev"), [&made] {
            auto p = std::make_unique<QueuePort>();
            made = p.get();
            return std::unique_ptr<CSerialPort>(std::move(p));
        });
        QVERIFY(CComPort::IsVirtualPort(QStringLiteral("TestDev")));
        QString device;
        int number = -1;
        QVERIFY(CComPort::ResolvePortName(QStringLiteral("testdev"), &device, &number));
        QCOMPARE(number, 0);

        CComPort port;
        Sink sink;
        sink.Install(port);
        QVERIFY(port.Open(QStringLiteral("testdev"), 2, 115200));
        QCOMPARE(port.PortName(), QStringLiteral("testdev"));
        QTRY_COMPARE_WITH_TIMEOUT(sink.Total(), size_t(2), 2000);
        QCOMPARE(port.Write("cmd", 3), size_t(3));
        QCOMPARE(made->written.size(), size_t(3));
        port.Close(); // the reader is woken through CancelIo and joined
        QVERIFY(!port.IsOpen());
        QCOMPARE(QueuePort::opened.load(), 1);
        CComPort::RegisterVirtualPort(QStringLiteral("testdev"), nullptr);
        QVERIFY(!CComPort::IsVirtualPort(QStringLiteral("testdev")));
    }
};

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
