// The receive state machine of the link, driven pass by pass on the test thread: how link text is
// cut into events in each state, resynchronisation, the bounds on text and events, scan rows and
// the frame text.
#include "DongleEvents.h"
#include "link/BleLink.h"

#include <QSignalSpy>
#include <QTest>

using dongle::Bytes;

namespace {

const uint8_t kAddress[6] = { 0x11, 0x22, 0x33, 0x44, 0x55, 0x66 };

void Feed(CBleLink& link, const Bytes& bytes)
{
    CBleLink::OnComData(&link, bytes.data(), bytes.size());
}

// Runs passes until one makes no progress; returns how many made progress.
int Drain(CBleLink& link)
{
    int n = 0;
    while (link.RunReceivePass())
        ++n;
    return n;
}

std::string LinkText(CBleLink& link)
{
    std::lock_guard<std::mutex> g(link.m_rxLock);
    return link.m_strBleRx.str();
}

struct Frames {
    int calls = 0;
    void Attach(CBleLink& link)
    {
        link.SetFrameHook([this] { ++calls; });
    }
};

} // namespace

class TestBleLinkRx : public QObject {
    Q_OBJECT
private slots:
    void idleAndDiscardStatesDropOneBatchEach()
    {
        CBleLink link;
        int arrivals = 0;
        link.SetArrivalHook([&] { ++arrivals; });
        QCOMPARE(link.State(), uint8_t(BleIdle));
        QVERIFY(!link.RunReceivePass()); // nothing has arrived yet
        Feed(link, Bytes(6, 0x01)); // 12 characters: not yet a pass
        QVERIFY(!link.RunReceivePass());
        QCOMPARE(LinkText(link).size(), size_t(12));
        Feed(link, Bytes(1, 0x02));
        QVERIFY(link.RunReceivePass());
        QCOMPARE(link.State(), uint8_t(BleDiscardOnce));
        QVERIFY(LinkText(link).empty());
        Feed(link, dongle::CommandStatus(0xFE00));
        QCOMPARE(Drain(link), 1);
        QCOMPARE(link.State(), uint8_t(BleScanning));
        QVERIFY(LinkText(link).empty());
        QCOMPARE(arrivals, 3); // every chunk tells that the meter's side was heard
    }

    void eventsInOneChunkAreHandledInOrder()
    {
        CBleLink link;
        Frames frames;
        frames.Attach(link);
        link.SetState(BleConnected);
        Feed(link, dongle::Cat({ dongle::Notification({ 0xA0, 0x80 }), dongle::Notification({ 0x01, 0x02, 0x03 }) }));
        QCOMPARE(Drain(link), 2);
        QCOMPARE(frames.calls, 2);
        QCOMPARE(link.m_strMeterRx.str(), std::string("a080010203"));
        QVERIFY(LinkText(link).empty());
    }

    void notificationAppendsTwoCharactersPerByteAndCallsTheHookOnce()
    {
        CBleLink link;
        Frames frames;
        frames.Attach(link);
        std::string seenInHook;
        link.SetFrameHook([&] {
            ++frames.calls;
            seenInHook = link.m_strMeterRx.str();
        });
        link.SetState(BleConnected);
        link.m_strMeterRx.appendText("ab");
        Bytes value(20);
        for (int i = 0; i < 20; ++i)
            value[size_t(i)] = uint8_t(0xF0 + i);
        Feed(link, dongle::Notification(value));
        Drain(link);
        QCOMPARE(frames.calls, 1);
        QCOMPARE(link.m_strMeterRx.size(), size_t(2 + 40));
        QCOMPARE(seenInHook, "ab" + dongle::Hex(value)); // appended before the hook runs
    }

    void splitEventWaitsForItsLastByte()
    {
        CBleLink link;
        Frames frames;
        frames.Attach(link);
        link.SetState(BleConnected);
        const Bytes e = dongle::Notification({ 1, 2, 3, 4, 5, 6, 7, 8 });
        Feed(link, Bytes(e.begin(), e.end() - 1));
        QCOMPARE(Drain(link), 0);
        QCOMPARE(frames.calls, 0);
        Feed(link, Bytes(e.end() - 1, e.end()));
        QCOMPARE(Drain(link), 1);
        QCOMPARE(frames.calls, 1);
    }

    void scanningWaitsForThreeMoreBytes()
    {
        CBleLink link;
        QSignalSpy rows(&link, &CBleLink::scanRow);
        link.SetState(BleScanning);
        Feed(link, dongle::DeviceInfo(kAddress, -60, "Meter"));
        QCOMPARE(Drain(link), 0);
        Feed(link, { 0x04, 0xFF });
        QCOMPARE(Drain(link), 0);
        QCOMPARE(rows.count(), 0);
        Feed(link, { 0x0E });
        QCOMPARE(Drain(link), 1);
        QCOMPARE(rows.count(), 1);
        QCOMPARE(LinkText(link), std::string("04ff0e"));
    }

    void scanRowsCarryTheFourColumns()
    {
        CBleLink link;
        QSignalSpy rows(&link, &CBleLink::scanRow);
        link.SetState(BleScanning);
        const uint8_t other[6] = { 0xFE, 0x01, 0x00, 0xA0, 0x0B, 0xC0 };
        Feed(link,
            dongle::Cat({ dongle::DeviceInfo(kAddress, -60, "Meter"), dongle::DeviceInfo(kAddress, -60, "Meter", 4),
                dongle::DeviceInfo(kAddress, -61, "Meter"), dongle::DeviceInfo(other, 5, "Phone", 0, 0x180D),
                dongle::DiscoveryDone() }));
        Drain(link);
        QCOMPARE(rows.count(), 3); // the scan response adds no row; a device seen twice is listed twice
        QCOMPARE(rows[0][0].toStringList(), (QStringList { "0", "Device Name:Meter", "66:55:44:33:22:11", "-60" }));
        QCOMPARE(rows[1][0].toStringList(), (QStringList { "1", "Device Name:Meter", "66:55:44:33:22:11", "-61" }));
        QCOMPARE(rows[2][0].toStringList(), (QStringList { "2", "Device Name:", "c0:0b:a0:00:01:fe", "5" }));
    }

    void garbageBeforeAHeaderIsDropped()
    {
        CBleLink link;
        Frames frames;
        frames.Attach(link);
        link.SetState(BleConnected);
        // The garbage's third byte is read as a length (1): 8 characters are enough to act.
        Feed(link, dongle::Cat({ { 0x12, 0x04, 0x01, 0xFF }, dongle::Notification({ 0x42 }) }));
        Drain(link);
        QCOMPARE(frames.calls, 1);
        QCOMPARE(link.m_strMeterRx.str(), std::string("42"));
        QVERIFY(LinkText(link).empty());

        // Garbage whose length byte is large holds the text until that much has come.
        // Here 0x40 asks for 2 * 64 + 6 = 134 characters; 6 + 24 are there, 102 follow.
        Feed(link, dongle::Cat({ { 0x12, 0x34, 0x40 }, dongle::Notification({ 0x43 }) }));
        QCOMPARE(Drain(link), 0);
        Feed(link, Bytes(51, 0x00));
        QCOMPARE(Drain(link), 0);
        QCOMPARE(frames.calls, 1);
        Feed(link, Bytes(1, 0x00));
        QVERIFY(Drain(link) > 0);
        QCOMPARE(link.m_strMeterRx.str(), std::string("4243"));
        Feed(link, dongle::Notification({ 0x44 }));
        Drain(link);
        QCOMPARE(link.m_strMeterRx.str(), std::string("424344"));
    }

    void initialisedStateConsumesNothingUntilScan()
    {
        CBleLink link;
        link.SetState(BleInitialised);
        const Bytes answers = dongle::Cat({ dongle::InitDone(), dongle::CommandStatus(0xFE0A) });
        Feed(link, answers);
        QCOMPARE(Drain(link), 0);
        QCOMPARE(LinkText(link), dongle::Hex(answers));

        // Scan's second half: after its pause the text is emptied and scanning starts (the
        // port is closed here, so the request itself goes nowhere).
        link.StartDiscovery();
        QVERIFY(link.StepPending());
        QCOMPARE(link.State(), uint8_t(BleInitialised));
        QTRY_COMPARE_WITH_TIMEOUT(link.State(), uint8_t(BleScanning), 2000);
        QVERIFY(LinkText(link).empty());
        QVERIFY(!link.StepPending());
    }

    void connectingAndCancellingFollowTheStatus()
    {
        CBleLink link;
        link.SetState(BleConnecting);
        link.m_strMeterRx.appendText("deadbeef");
        Feed(link, dongle::CommandStatus(0xFE09, 0x12)); // failed: ignored
        Drain(link);
        QCOMPARE(link.State(), uint8_t(BleConnecting));
        QCOMPARE(link.m_strMeterRx.size(), size_t(8));
        Feed(link, dongle::CommandStatus(0xFE09));
        Drain(link);
        QCOMPARE(link.State(), uint8_t(BleConnected));
        QVERIFY(link.m_strMeterRx.empty());

        link.SetState(BleCancelling);
        Feed(link, dongle::LinkEstablished()); // not a status: consumed, no change
        Drain(link);
        QCOMPARE(link.State(), uint8_t(BleCancelling));
        Feed(link, dongle::CommandStatus(0xFE05));
        Drain(link);
        QCOMPARE(link.State(), uint8_t(BleDiscardOnce));
        QVERIFY(LinkText(link).empty());
    }

    void oversizeEventIsDroppedWhole()
    {
        CBleLink link;
        Frames frames;
        frames.Attach(link);
        link.SetState(BleConnected);
        Bytes big = dongle::Notification(Bytes(99, 0x77)); // L = 107: one byte past what fits
        QCOMPARE(int(big[2]), 107);
        const Bytes fits = dongle::Notification(Bytes(98, 0x66)); // L = 106: the largest handled
        Feed(link, dongle::Cat({ big, fits }));
        Drain(link);
        QCOMPARE(frames.calls, 1);
        QCOMPARE(link.m_strMeterRx.str(), std::string(196, '6'));
        QVERIFY(LinkText(link).empty());
    }

    void textWithoutHeadersStaysBounded()
    {
        CBleLink link;
        Frames frames;
        frames.Attach(link);
        link.SetState(BleConnected);
        const Bytes junk(1000, 0x11);
        size_t most = 0;
        for (int i = 0; i < 200; ++i) {
            Feed(link, junk);
            Drain(link);
            most = std::max(most, LinkText(link).size());
        }
        QVERIFY(most <= CBleLink::kMaxJunkText + 2 * junk.size());
        // A header split across the cut survives: junk ending in 04, the rest comes next.
        Bytes tail(40000, 0x11);
        tail.push_back(0x04);
        Feed(link, tail);
        Drain(link);
        QCOMPARE(LinkText(link), std::string("104"));
        const Bytes e = dongle::Notification({ 0x99 });
        Feed(link, Bytes(e.begin() + 1, e.end()));
        // The misaligned front reads "f0" as its length (486 characters) before it resyncs.
        for (int i = 0; i < 20; ++i)
            Feed(link, dongle::Notification({ 0x01 }));
        Drain(link);
        QCOMPARE(frames.calls, 21);
        std::string expected = "99";
        for (int i = 0; i < 20; ++i)
            expected += "01";
        QCOMPARE(link.m_strMeterRx.str(), expected);
    }

    void unconsumedTextIsBoundedInEveryState()
    {
        CBleLink link;
        link.SetState(BleInitialised);
        for (int i = 0; i < 100; ++i) {
            Feed(link, Bytes(1000, 0x22));
            Drain(link);
        }
        QVERIFY(LinkText(link).size() <= CBleLink::kMaxJunkText + 2000);

        // Nobody consuming at all (no receive thread): the link text still has a ceiling.
        CBleLink idle;
        idle.SetState(BleConnected);
        const Bytes chunk(4096, 0x04);
        for (int i = 0; i < 300; ++i)
            Feed(idle, chunk);
        QVERIFY(LinkText(idle).size() <= CBleLink::kMaxLinkText);
    }

    void addressesParseStrictly()
    {
        uint8_t a[6] = {};
        QVERIFY(CBleLink::ParseAddress(QStringLiteral("66:55:44:33:22:11"), a));
        QCOMPARE(Bytes(a, a + 6), Bytes(kAddress, kAddress + 6));
        QVERIFY(CBleLink::ParseAddress(QStringLiteral("C0:0B:A0:00:01:FE"), a));
        QCOMPARE(a[0], uint8_t(0xFE));
        for (const char* bad : { "", "66:55:44:33:22", "66:55:44:33:22:1g", "66-55-44-33-22-11", "66:55:44:33:22:11:00",
                 " +6:55:44:33:22:11" })
            QVERIFY2(!CBleLink::ParseAddress(QString::fromLatin1(bad), a), bad);
        CBleLink link;
        QVERIFY(!link.Connect(QStringLiteral("not an address")));
        QCOMPARE(link.State(), uint8_t(BleIdle)); // nothing sent, nothing changed
    }
};

QTEST_GUILESS_MAIN(TestBleLinkRx)
#include "test_blelink_rx.moc"
