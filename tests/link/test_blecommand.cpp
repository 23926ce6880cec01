// Dongle command packets byte for byte, and the event parser row by row, including the rules
// for the advertised name and the bounds of the caller's buffers.
#include "DongleEvents.h"
#include "link/BleCommand.h"

#include <QTest>
#include <cstring>

using dongle::Bytes;

namespace {

Bytes Built(bool (CBleCommand::*build)(uint8_t*, int*) const)
{
    CBleCommand c;
    uint8_t buffer[CBleCommand::kCommandBufferSize];
    std::memset(buffer, 0xEE, sizeof buffer);
    int length = -1;
    if ((c.*build)(buffer, &length))
        return {};
    return Bytes(buffer, buffer + length);
}

// Buffers with a guard zone behind the size the parser may use.
struct Buffers {
    static constexpr int kGuard = 64;
    uint8_t out[CBleCommand::kPayloadBufferSize + kGuard];
    uint8_t name[CBleCommand::kNameBufferSize + kGuard];
    int outLen = -1;
    int nameLen = -1;
    Buffers()
    {
        std::memset(out, 0xEE, sizeof out);
        std::memset(name, 0, sizeof name);
        std::memset(name + CBleCommand::kNameBufferSize, 0xEE, kGuard);
    }
    int Parse(const Bytes& packet, int count = -1)
    {
        return CBleCommand().ParseEvent(
            packet.data(), count < 0 ? int(packet.size()) : count, out, &outLen, name, &nameLen);
    }
    bool GuardsIntact() const
    {
        for (int i = 0; i < kGuard; ++i) {
            if (out[CBleCommand::kPayloadBufferSize + i] != 0xEE || name[CBleCommand::kNameBufferSize + i] != 0xEE)
                return false;
        }
        return true;
    }
    QByteArray Name() const { return QByteArray(reinterpret_cast<const char*>(name), nameLen); }
};

const uint8_t kAddress[6] = { 0x11, 0x22, 0x33, 0x44, 0x55, 0x66 };

} // namespace

class TestBleCommand : public QObject {
    Q_OBJECT
private slots:
    void buildersAreByteExact()
    {
        Bytes init { 0x01, 0x00, 0xFE, 0x26, 0x08, 0x05 };
        init.resize(38, 0x00);
        init.insert(init.end(), { 0x01, 0x00, 0x00, 0x00 });
        QCOMPARE(Built(&CBleCommand::BuildDeviceInit), init);
        QCOMPARE(init.size(), size_t(42));
        QCOMPARE(Built(&CBleCommand::BuildTerminateLink), (Bytes { 0x01, 0x0A, 0xFE, 0x03, 0x00, 0x00, 0x13 }));
        QCOMPARE(Built(&CBleCommand::BuildDiscoveryRequest), (Bytes { 0x01, 0x04, 0xFE, 0x03, 0x03, 0x01, 0x00 }));
        QCOMPARE(Built(&CBleCommand::BuildDiscoveryCancel), (Bytes { 0x01, 0x05, 0xFE, 0x00 }));
        QCOMPARE(Built(&CBleCommand::BuildEnableNotify),
            (Bytes { 0x01, 0x92, 0xFD, 0x06, 0x00, 0x00, 0x15, 0x00, 0x01, 0x00 }));

        CBleCommand c;
        uint8_t buffer[CBleCommand::kWriteBufferSize];
        int length = 0;
        QVERIFY(!c.BuildEstablishLink(buffer, &length, kAddress));
        QCOMPARE(Bytes(buffer, buffer + length),
            (Bytes { 0x01, 0x09, 0xFE, 0x09, 0x00, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66 }));

        const uint8_t command[4] = { 0xB0, 0x95, 0x00, 0xB1 };
        QVERIFY(!c.BuildWriteValue(buffer, &length, command, 4));
        QCOMPARE(Bytes(buffer, buffer + length),
            (Bytes { 0x01, 0x92, 0xFD, 0x08, 0x00, 0x00, 0x12, 0x00, 0xB0, 0x95, 0x00, 0xB1 }));
    }

    void buildersWithoutBufferWriteNothing()
    {
        CBleCommand c;
        int length = 77;
        QVERIFY(c.BuildDeviceInit(nullptr, &length));
        QVERIFY(c.BuildTerminateLink(nullptr, &length));
        QVERIFY(c.BuildDiscoveryRequest(nullptr, &length));
        QVERIFY(c.BuildDiscoveryCancel(nullptr, &length));
        QVERIFY(c.BuildEnableNotify(nullptr, &length));
        QVERIFY(c.BuildWriteValue(nullptr, &length, kAddress, 4));
        uint8_t buffer[CBleCommand::kCommandBufferSize];
        QVERIFY(c.BuildEstablishLink(buffer, &length, nullptr));
        QVERIFY(c.BuildEstablishLink(nullptr, &length, kAddress));
        QCOMPARE(length, 77);
    }

    void writeValueNeverOverrunsItsBuffer()
    {
        CBleCommand c;
        uint8_t data[300];
        std::memset(data, 0xAB, sizeof data);
        uint8_t buffer[CBleCommand::kWriteBufferSize + 16];
        std::memset(buffer, 0xEE, sizeof buffer);
        int length = 0;
        QVERIFY(!c.BuildWriteValue(buffer, &length, data, 300));
        QCOMPARE(length, CBleCommand::kWriteBufferSize);
        QCOMPARE(int(buffer[3]), CBleCommand::kWriteBufferSize - 4);
        for (int i = CBleCommand::kWriteBufferSize; i < int(sizeof buffer); ++i)
            QCOMPARE(buffer[i], uint8_t(0xEE));
        QVERIFY(!c.BuildWriteValue(buffer, &length, data, -5));
        QCOMPARE(length, 8);
    }

    void statusEventsMapToResults_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("result");
        QTest::newRow("command status ok") << 0x067F << 0 << int(BleEventStatusOk);
        QTest::newRow("command status failed") << 0x067F << 0x11 << int(BleEventFailed);
        QTest::newRow("init done") << 0x0600 << 0 << int(BleEventInitDone);
        QTest::newRow("init failed") << 0x0600 << 1 << int(BleEventFailed);
        QTest::newRow("write response") << 0x0513 << 0 << int(BleEventWriteOk);
        QTest::newRow("write response failed") << 0x0513 << 3 << int(BleEventStatusOk);
        QTest::newRow("parameter update") << 0x0607 << 9 << int(BleEventParamUpdate);
        QTest::newRow("link up") << 0x0605 << 0 << int(BleEventLinkUp);
        QTest::newRow("link up failed") << 0x0605 << 2 << int(BleEventFailed);
        QTest::newRow("link down") << 0x0606 << 0 << int(BleEventLinkDown);
        QTest::newRow("link down failed") << 0x0606 << 2 << int(BleEventFailed);
        QTest::newRow("discovery done") << 0x0601 << 0 << int(BleEventUnknown);
        QTest::newRow("byte order matters") << 0x7F06 << 0 << int(BleEventUnknown);
    }
    void statusEventsMapToResults()
    {
        QFETCH(int, code);
        QFETCH(int, status);
        QFETCH(int, result);
        Buffers b;
        QCOMPARE(b.Parse(dongle::Event(uint16_t(code), uint8_t(status), { 0x00, 0x00, 0x00 })), result);
        QCOMPARE(b.outLen, 0);
        QCOMPARE(b.nameLen, 0);
        QCOMPARE(b.out[0], uint8_t(0xEE)); // nothing copied
        QCOMPARE(b.Parse({ 0x04, 0xFF, 0x03, 0x7F, 0x06 }), int(BleEventUnknown)); // too short to hold a status
    }

    void deviceReportCopiesHeadAndMeterName()
    {
        Buffers b;
        const Bytes report = dongle::DeviceInfo(kAddress, -60, "Meter-01");
        QCOMPARE(b.Parse(report), int(BleEventDeviceInfo));
        QCOMPARE(Bytes(b.out, b.out + 25), Bytes(report.begin(), report.begin() + 25));
        QCOMPARE(b.out[25], uint8_t(0xEE)); // only the first 25 bytes
        QCOMPARE(b.Name(), QByteArray("Meter-01"));
        QCOMPARE(b.nameLen, 8);

        Buffers r;
        QCOMPARE(r.Parse(dongle::DeviceInfo(kAddress, -60, "Meter-01", 4)), int(BleEventScanResponse));
        QCOMPARE(r.Name(), QByteArray("Meter-01"));
    }

    void nameIsTakenOnlyFromTheMeterLayout_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("name");
        auto raw = [](const Bytes& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size())); };
        const Bytes good = dongle::DeviceInfo(kAddress, -40, "ABC");
        QTest::newRow("complete") << raw(good) << int(good.size()) << QByteArray("ABC");
        // The event must hold the whole name: count >= N + 24 where N = 4.
        QTest::newRow("exactly enough") << raw(good) << 28 << QByteArray("ABC");
        QTest::newRow("one byte short") << raw(good) << 27 << QByteArray();
        QTest::newRow("other service") << raw(dongle::DeviceInfo(kAddress, -40, "ABC", 0, 0x180F)) << -1
                                       << QByteArray();
        QTest::newRow("short name type") << raw(dongle::DeviceInfo(kAddress, -40, "ABC", 0, 0xFFF0, 0x08)) << -1
                                         << QByteArray();
        QTest::newRow("failed status") << raw(dongle::DeviceInfo(kAddress, -40, "ABC", 0, 0xFFF0, 0x09, 1)) << -1
                                       << QByteArray();
        Bytes notEvent = good;
        notEvent[0] = 0x02;
        QTest::newRow("not an event packet") << raw(notEvent) << -1 << QByteArray();
        QTest::newRow("empty name") << raw(dongle::DeviceInfo(kAddress, -40, "")) << -1 << QByteArray();
        Bytes zeroLength = good;
        zeroLength[23] = 0;
        QTest::newRow("AD length zero") << raw(zeroLength) << -1 << QByteArray();
        QTest::newRow("report shorter than the layout")
            << raw(Bytes(good.begin(), good.begin() + 20)) << -1 << QByteArray();
    }
    void nameIsTakenOnlyFromTheMeterLayout()
    {
        QFETCH(QByteArray, packet);
        QFETCH(int, count);
        QFETCH(QByteArray, name);
        Buffers b;
        const Bytes p(packet.begin(), packet.end());
        QCOMPARE(b.Parse(p, count), int(BleEventDeviceInfo));
        QCOMPARE(b.Name(), name);
        QCOMPARE(b.nameLen, int(name.size()));
        QVERIFY(b.GuardsIntact());
    }

    void hugeAdvertisedNameStaysInTheBuffer()
    {
        // A packet longer than any event, with an AD length the name buffer cannot take.
        Bytes p = dongle::DeviceInfo(kAddress, -1, std::string(200, 'x'));
        Buffers b;
        QCOMPARE(b.Parse(p), int(BleEventDeviceInfo));
        QCOMPARE(b.nameLen, 0);
        QVERIFY(b.GuardsIntact());
        // 100 bytes is the most a name can have.
        Buffers full;
        full.Parse(dongle::DeviceInfo(kAddress, -1, std::string(100, 'n')));
        QCOMPARE(full.nameLen, 100);
        QVERIFY(full.GuardsIntact());
    }

    void notificationCopiesItsValue()
    {
        Buffers b;
        const Bytes value { 0xA0, 0x80, 0x01, 0x02, 0x03 };
        QCOMPARE(b.Parse(dongle::Notification(value)), int(BleEventNotification));
        QCOMPARE(b.outLen, 5);
        QCOMPARE(Bytes(b.out, b.out + 5), value);
        QCOMPARE(b.out[5], uint8_t(0xEE));

        // A PDU length beyond the event: only what is there is copied and counted.
        Bytes lying = dongle::Notification(value);
        lying[8] = 200;
        Buffers l;
        QCOMPARE(l.Parse(lying), int(BleEventNotification));
        QCOMPARE(l.outLen, 5);
        QVERIFY(l.GuardsIntact());

        // A PDU length below the handle's two bytes carries nothing.
        Bytes empty = dongle::Notification(value);
        empty[8] = 1;
        Buffers e;
        QCOMPARE(e.Parse(empty), int(BleEventNotification));
        QCOMPARE(e.outLen, 0);

        // Whatever the packet says, no more than the 104-byte payload buffer is written.
        Buffers big;
        const Bytes huge = dongle::Notification(Bytes(250, 0x5A));
        QCOMPARE(big.Parse(huge), int(BleEventNotification));
        QCOMPARE(big.outLen, CBleCommand::kPayloadBufferSize);
        QVERIFY(big.GuardsIntact());
    }
};

QTEST_GUILESS_MAIN(TestBleCommand)
#include "test_blecommand.moc"
