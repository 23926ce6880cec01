// The link end to end over a pseudo-terminal: a test thread plays the dongle on the master side
// (device init, discovery, connection, notifications) while the link runs its real port reader,
// receive thread and command sequences. Also: a dongle that goes away.
#include "DongleEvents.h"
#include "PtyPair.h"
#include "link/BleLink.h"

#include <QElapsedTimer>
#include <QTest>
#include <thread>

using dongle::Bytes;

namespace {

const uint8_t kMeter[6] = { 0x01, 0x02, 0x03, 0x04, 0x05, 0xC6 };
const uint8_t kOther[6] = { 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF };

// Plays the dongle: answers each command packet it reads from the master side, and once
// notifications are switched on, sends the meter's payloads.
class FakeDongle {
public:
    explicit FakeDongle(PtyPair& pty, std::vector<Bytes> payloads)
        : m_pty(pty)
        , m_payloads(std::move(payloads))
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~FakeDongle()
    {
        m_stop = true;
        m_thread.join();
    }

    std::vector<Bytes> Commands()
    {
        std::lock_guard<std::mutex> g(m_lock);
        return m_commands;
    }

private:
    void Run()
    {
        Bytes pending;
        while (!m_stop) {
            const Bytes part = m_pty.Read(20);
            pending.insert(pending.end(), part.begin(), part.end());
            // Whole command packets: 01, opcode (2), length, parameters.
            while (pending.size() >= 4 && pending.size() >= size_t(4 + pending[3])) {
                const size_t n = 4 + pending[3];
                const Bytes command(pending.begin(), pending.begin() + long(n));
                pending.erase(pending.begin(), pending.begin() + long(n));
                {
                    std::lock_guard<std::mutex> g(m_lock);
                    m_commands.push_back(command);
                }
                Answer(command);
            }
        }
    }

    void Answer(const Bytes& c)
    {
        const uint16_t opcode = uint16_t(c[1] | (c[2] << 8));
        Bytes reply = dongle::CommandStatus(opcode);
        switch (opcode) {
        case 0xFE00:
            reply = dongle::Cat({ reply, dongle::InitDone() });
            break;
        case 0xFE04:
            reply = dongle::Cat(
                { reply, dongle::DeviceInfo(kMeter, -58, "Meter-01"), dongle::DeviceInfo(kMeter, -58, "Meter-01", 4),
                    dongle::DeviceInfo(kOther, -90, "Phone", 0, 0x180F), dongle::DiscoveryDone() });
            break;
        case 0xFE09:
            reply = dongle::Cat({ reply, dongle::LinkEstablished() });
            break;
        case 0xFD92:
            reply = dongle::Cat({ reply, dongle::WriteResponse() });
            break;
        default:
            break;
        }
        m_pty.Write(reply);
        if (opcode == 0xFD92 && c[6] == 0x15) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            for (const Bytes& p : m_payloads)
                m_pty.Write(dongle::Notification(p));
        }
    }

    PtyPair& m_pty;
    std::vector<Bytes> m_payloads;
    std::atomic<bool> m_stop { false };
    std::mutex m_lock;
    std::vector<Bytes> m_commands;
    std::thread m_thread;
};

// What the frame hook saw, copied on the receive thread.
struct FrameLog {
    std::mutex lock;
    std::string text;
    int calls = 0;
    void Attach(CBleLink& link)
    {
        link.SetFrameHook([this, &link] {
            std::lock_guard<std::mutex> g(lock);
            ++calls;
            text = link.m_strMeterRx.str();
        });
    }
    std::string Text()
    {
        std::lock_guard<std::mutex> g(lock);
        return text;
    }
    int Calls()
    {
        std::lock_guard<std::mutex> g(lock);
        return calls;
    }
};

} // namespace

class TestBleLinkPty : public QObject {
    Q_OBJECT
private slots:
    void scanConnectAndReceiveFrames()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        Bytes frame(45);
        for (size_t i = 0; i < frame.size(); ++i)
            frame[i] = uint8_t(0xA0 + i);
        // The meter splits its frame into notifications of at most 20 bytes.
        const std::vector<Bytes> payloads { Bytes(frame.begin(), frame.begin() + 20),
            Bytes(frame.begin() + 20, frame.begin() + 40), Bytes(frame.begin() + 40, frame.end()) };
        FakeDongle fake(pty, payloads);

        CBleLink link;
        FrameLog frames;
        frames.Attach(link);
        QObject context;
        QList<QStringList> rows;
        connect(&link, &CBleLink::scanRow, &context, [&](const QStringList& c) { rows << c; });

        int scanResult = -1;
        link.Scan(pty.slave(), [&](int r) { scanResult = r; });
        QVERIFY(link.m_ComPort.IsOpen());
        QVERIFY(link.ReceiveThreadRunning());
        QCOMPARE(scanResult, -1); // the discovery request waits for the pause
        QTRY_COMPARE_WITH_TIMEOUT(scanResult, int(CBleLink::OpenOk), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(rows.size(), 2, 3000);
        QCOMPARE(rows[0], (QStringList { "0", "Device Name:Meter-01", "c6:05:04:03:02:01", "-58" }));
        QCOMPARE(rows[1], (QStringList { "1", "Device Name:", "ff:ee:dd:cc:bb:aa", "-90" }));

        bool connected = false;
        QVERIFY(link.Connect(rows[0][2], [&] { connected = true; }));
        QVERIFY(!connected);
        QTRY_VERIFY_WITH_TIMEOUT(connected, 3000);
        QCOMPARE(link.State(), uint8_t(BleConnected));
        QTRY_COMPARE_WITH_TIMEOUT(frames.Text(), dongle::Hex(frame), 3000);
        QCOMPARE(frames.Calls(), 3);

        const uint8_t command[4] = { 0xB0, 0x95, 0x00, 0xB1 };
        QVERIFY(link.SendToMeter(command, 4));
        QTRY_COMPARE_WITH_TIMEOUT(fake.Commands().size(), size_t(7), 3000);
        const std::vector<Bytes> sent = fake.Commands();
        auto opcode = [](const Bytes& c) { return int(c[1] | (c[2] << 8)); };
        QCOMPARE(opcode(sent[0]), 0xFE00);
        QCOMPARE(sent[0].size(), size_t(42));
        QCOMPARE(opcode(sent[1]), 0xFE0A);
        QCOMPARE(opcode(sent[2]), 0xFE04);
        QCOMPARE(opcode(sent[3]), 0xFE05);
        QCOMPARE(sent[4], (Bytes { 0x01, 0x09, 0xFE, 0x09, 0, 0, 0, 0x01, 0x02, 0x03, 0x04, 0x05, 0xC6 }));
        QCOMPARE(sent[5], (Bytes { 0x01, 0x92, 0xFD, 0x06, 0, 0, 0x15, 0, 0x01, 0 }));
        QCOMPARE(sent[6], (Bytes { 0x01, 0x92, 0xFD, 0x08, 0, 0, 0x12, 0, 0xB0, 0x95, 0x00, 0xB1 }));
        QVERIFY(!link.SendToMeter(command, 43)); // more than one write can carry

        QElapsedTimer t;
        t.start();
        link.Close();
        QVERIFY(t.elapsed() < 500);
        QVERIFY(!link.m_ComPort.IsOpen());
        QVERIFY(!link.ReceiveThreadRunning());
    }

    void openFailsCleanlyAndScanReportsIt()
    {
        CBleLink link;
        QCOMPARE(link.Open(QString()), int(CBleLink::OpenNoPort));
        QCOMPARE(link.Open(QStringLiteral("/dev/no-such-dongle")), int(CBleLink::OpenPortFailed));
        QVERIFY(!link.ReceiveThreadRunning());
        int result = -1;
        link.Scan(QStringLiteral("/dev/no-such-dongle"), [&](int r) { result = r; });
        QCOMPARE(result, int(CBleLink::OpenPortFailed)); // at once, no pause
        QVERIFY(!link.StepPending());
    }

    void closeDuringAPauseDropsTheStep()
    {
        PtyPair pty;
        CBleLink link;
        bool done = false;
        QCOMPARE(link.Open(pty.slave()), int(CBleLink::OpenOk));
        QCOMPARE(link.State(), uint8_t(BleInitialised));
        QVERIFY(link.Connect(QStringLiteral("01:02:03:04:05:06"), [&] { done = true; }));
        QVERIFY(link.StepPending());
        link.Close();
        QVERIFY(!link.StepPending());
        QTest::qWait(800);
        QVERIFY(!done);
    }

    void dongleThatGoesAwayIsReported()
    {
        PtyPair pty;
        CBleLink link;
        QObject context;
        int lost = 0;
        connect(&link, &CBleLink::portLost, &context, [&] { ++lost; });
        QCOMPARE(link.Open(pty.slave()), int(CBleLink::OpenOk));
        pty.CloseMaster();
        QTRY_COMPARE_WITH_TIMEOUT(lost, 1, 3000);
        QVERIFY(link.m_ComPort.HasFailed());
        QTest::qWait(100);
        QCOMPARE(lost, 1);
        link.Close();
    }
};

QTEST_GUILESS_MAIN(TestBleLinkPty)
#include "test_blelink_pty.moc"
