// The simulated dongle's side of the HCI dialogue, checked byte by byte in the fields the host
// reads: command statuses, discovery reports, link events, write responses and notifications.
#include "SimTestUtil.h"

#include <QTest>

using namespace simtest;
using sim::Bytes;

class TestSimDongle : public QObject {
    Q_OBJECT
private slots:
    void everyCommandGetsItsStatusAndInitCompletes()
    {
        Harness h;
        h.Write(DeviceInit());
        h.Write(TerminateLink()); // no link yet: refused, but answered
        h.Run(50);
        const auto events = h.Events();
        QCOMPARE(int(events.size()), 3);
        for (const Event& e : events) {
            QCOMPARE(e.bytes[0], uint8_t(0x04));
            QCOMPARE(e.bytes[1], uint8_t(0xFF));
            QCOMPARE(size_t(e.bytes[2]) + 3, e.bytes.size());
        }
        // 04 FF 06 7F 06 status opcode(LE) 00
        QCOMPARE(events[0].bytes, Hex("04ff06 7f06 00 00fe 00"));
        QCOMPARE(events[1].bytes, Hex("04ff06 7f06 14 0afe 00"));
        QCOMPARE(events[2].code(), uint16_t(0x0600));
        QCOMPARE(events[2].status(), uint8_t(0));
        QCOMPARE(events[2].bytes.size(), size_t(47));

        // An opcode the dongle does not know is refused, and stray host bytes are skipped.
        h.Clear();
        h.Write(Hex("ee ee 01 33 fe 00"));
        h.Run(10);
        QCOMPARE(h.Events().at(0).bytes, Hex("04ff06 7f06 01 33fe 00"));
    }

    void discoveryListsTheMeterWithItsNameAndANamelessDevice()
    {
        Harness h;
        const sim::SimConfig& c = h.engine.Config();
        h.Write(DeviceInit());
        h.Run(50);
        h.Clear();
        h.Write(Discovery());
        h.Write(Discovery()); // already discovering
        h.Run(c.discoveryMs + 10);

        const auto status = h.EventsWithCode(sim::EventCommandStatus);
        QCOMPARE(int(status.size()), 2);
        QCOMPARE(status[0].status(), uint8_t(0));
        QCOMPARE(status[1].status(), uint8_t(0x11));

        const auto reports = h.EventsWithCode(sim::EventDeviceInfo);
        QCOMPARE(int(reports.size()), 4);
        const Bytes& m = reports[0].bytes;
        QCOMPARE(m[5], uint8_t(0)); // status
        QCOMPARE(m[6], uint8_t(0)); // connectable advertising, not a scan response
        QCOMPARE(Bytes(m.begin() + 8, m.begin() + 14), Hex("221100 38c1a4")); // a4:c1:38:00:11:22
        QCOMPARE(int8_t(m[14]), int8_t(-57));
        QCOMPARE(Bytes(m.begin() + 19, m.begin() + 23), Hex("0303f0ff"));
        const size_t n = m[23];
        QCOMPARE(m[24], uint8_t(0x09));
        QCOMPARE(n, c.meterName.size() + 1);
        QVERIFY(m.size() >= n + 24);
        QCOMPARE(TextAt(m, 25, n - 1), c.meterName);

        QCOMPARE(reports[1].bytes[6], uint8_t(4)); // the meter's scan response
        const Bytes& o = reports[2].bytes;
        QCOMPARE(o[6], uint8_t(0));
        QCOMPARE(Bytes(o.begin() + 8, o.begin() + 14), Hex("ccbbaa000002"));
        QVERIFY(!(o[21] == 0xF0 && o[22] == 0xFF)); // no meter service, hence no name
        QVERIFY(o.size() >= 25); // the host copies the first 25 bytes
        QCOMPARE(reports[3].bytes[6], uint8_t(4));

        // The host lists a report only once three more bytes have followed it: every report is
        // followed by another event before discovery ends.
        const auto done = h.EventsWithCode(sim::EventDiscoveryDone);
        QCOMPARE(int(done.size()), 1);
        QCOMPARE(done[0].bytes[6], uint8_t(2)); // two devices found
        QVERIFY(!h.engine.Discovering());
    }

    void connectEnablesNotificationsAndStreamsFrames()
    {
        Harness h;
        const sim::SimConfig& c = h.engine.Config();
        h.Write(DeviceInit());
        h.Run(50);
        h.Write(Discovery());
        h.Run(100);
        h.Clear();
        h.Write(DiscoveryCancel());
        h.Write(EstablishLink(c.meterAddress));
        h.Run(c.linkDelayMs + 5);
        auto events = h.Events();
        QCOMPARE(events.at(0).bytes, Hex("04ff06 7f06 00 05fe 00"));
        QCOMPARE(events.at(1).bytes, Hex("04ff06 7f06 00 09fe 00"));
        const auto up = h.EventsWithCode(sim::EventLinkEstablished);
        QCOMPARE(int(up.size()), 1);
        QCOMPARE(up[0].status(), uint8_t(0));
        QCOMPARE(Bytes(up[0].bytes.begin() + 7, up[0].bytes.begin() + 13), Hex("221100 38c1a4"));
        QVERIFY(h.engine.Connected());
        QVERIFY(h.EventsWithCode(sim::EventNotification).empty());

        h.Run(600); // the host's pause before it switches notifications on
        h.Clear();
        h.Write(EnableNotify());
        h.Run(3000);
        events = h.Events();
        QCOMPARE(events.at(0).bytes, Hex("04ff06 7f06 00 92fd 00"));
        QCOMPARE(events.at(1).bytes, Hex("04ff06 1305 00 0000 00"));
        QVERIFY(h.engine.NotificationsOn());

        const auto notes = h.EventsWithCode(sim::EventNotification);
        QVERIFY(!notes.empty());
        for (const Event& e : notes) {
            const size_t pdu = e.bytes[8];
            QVERIFY(pdu >= 3 && pdu <= 22); // at most 20 value bytes
            QCOMPARE(size_t(e.bytes[2]), pdu + 6); // L covers the header and the PDU
            QCOMPARE(e.bytes.size(), 11 + pdu - 2);
            QCOMPARE(e.bytes[9], uint8_t(0x14)); // data characteristic
            QCOMPARE(e.bytes[10], uint8_t(0x00));
        }
        const Bytes payload = h.Payload();
        const auto frames = CutFrames(payload);
        // About three frames a second, each a whole kind-1 frame and nothing between them.
        QVERIFY2(frames.size() >= 8 && frames.size() <= 10, qPrintable(QString::number(frames.size())));
        QCOMPARE(payload.size(), frames.size() * 27);
        for (const Bytes& f : frames) {
            QCOMPARE(f[1], uint8_t(0x80));
            QCOMPARE(f.back(), uint8_t(0xA1));
            QCOMPARE(TextAt(f, 12), std::string("VDC "));
            const float v = FloatAt(f, 4);
            QVERIFY(v > 4.9f && v < 5.1f);
        }
        // The meter's clock, BCD: 2026-12-05 09:03:07 plus the time since the start.
        QCOMPARE(Bytes(frames[0].begin() + 17, frames[0].begin() + 21), Hex("26120509"));
    }

    void writesWithoutALinkAndUnknownDevicesGoNowhere()
    {
        Harness h;
        h.Write(WriteCommand(Hex("b09000b1")));
        const uint8_t stranger[6] = { 1, 2, 3, 4, 5, 6 };
        h.Write(EstablishLink(stranger));
        h.Run(500);
        auto status = h.EventsWithCode(sim::EventCommandStatus);
        QCOMPARE(int(status.size()), 2);
        QCOMPARE(status[0].status(), uint8_t(0x14)); // not connected
        QCOMPARE(status[1].status(), uint8_t(0x00)); // request accepted, but nobody answers
        QVERIFY(h.EventsWithCode(sim::EventWriteResponse).empty());
        QVERIFY(h.EventsWithCode(sim::EventLinkEstablished).empty());
        QVERIFY(h.engine.MeterCommands().empty());
        QVERIFY(!h.engine.Connected());
    }

    void terminateAndDroppedLinkStopTheStreamAndReconnectResumesIt()
    {
        Harness h;
        h.Connect();
        h.Run(1000);
        QVERIFY(!h.Payload().empty());

        h.Clear();
        h.Write(TerminateLink());
        h.Run(1000);
        auto down = h.EventsWithCode(sim::EventLinkTerminated);
        QCOMPARE(int(down.size()), 1);
        QCOMPARE(down[0].bytes, Hex("04ff06 0606 00 0000 16"));
        QVERIFY(h.EventsWithCode(sim::EventNotification).empty());
        QVERIFY(!h.engine.Connected());

        h.Connect();
        h.Run(1000);
        QVERIFY(!h.Payload().empty());
        h.Clear();
        h.engine.DropLink();
        h.Run(1000);
        down = h.EventsWithCode(sim::EventLinkTerminated);
        QCOMPARE(int(down.size()), 1);
        QCOMPARE(down[0].bytes.back(), uint8_t(0x08)); // supervision timeout
        QVERIFY(h.EventsWithCode(sim::EventNotification).empty());

        // A fresh device init also ends the link, silently.
        h.Connect();
        h.Write(DeviceInit());
        h.Run(1000);
        QVERIFY(!h.engine.Connected());
        QVERIFY(h.EventsWithCode(sim::EventNotification).empty());
    }

    // A meter told to fall silent keeps its link but sends nothing from then on, also after the
    // host connects again.
    void silentAfterEndsTheStreamForGood()
    {
        sim::SimConfig c = Harness::DefaultConfig();
        c.silentAfterMs = 1500;
        Harness h(c);
        h.Connect();
        h.Run(1300);
        QVERIFY(!h.Payload().empty());
        h.Run(300);
        h.Clear();
        h.Run(3000);
        QVERIFY(h.Payload().empty());
        QVERIFY(h.engine.Connected());
        h.Write(TerminateLink());
        h.Run(100);
        h.Connect();
        h.Run(2000);
        QVERIFY(h.Payload().empty());
    }

    void faultsGarbleTheStreamAsConfigured()
    {
        Harness h;
        h.Connect();
        // Garbage: printable stray bytes in front of the next event.
        h.engine.InjectGarbage(5);
        h.Run(400);
        size_t stray = 0;
        h.Events(&stray);
        QCOMPARE(stray, size_t(5));
        QCOMPARE(h.reads.front().second.size(), size_t(5));
        for (uint8_t b : h.reads.front().second)
            QVERIFY(b >= 0x20 && b <= 0x7E);

        // Split: the next event arrives in 3-byte pieces at separate moments, in order.
        h.Clear();
        h.engine.SplitNextEvents(3);
        h.Run(400);
        QVERIFY(h.reads.size() > 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(h.reads[size_t(i)].second.size(), size_t(3));
        QVERIFY(h.reads[1].first > h.reads[0].first);
        QVERIFY(!h.Events().empty() && h.Events()[0].code() == sim::EventNotification);

        // Dropped bytes: the next event is short by two and its length byte no longer fits.
        h.Clear();
        h.engine.DropBytesNextEvent(2);
        h.Run(1);
        while (h.reads.empty())
            h.Run(10);
        const Bytes& hurt = h.reads.front().second;
        QCOMPARE(hurt.size() + 2, size_t(hurt[2]) + 3);

        // Silence: no notifications for the time asked, then the stream resumes.
        h.Run(400);
        h.Clear();
        h.engine.Silence(2000);
        h.Run(1990);
        QVERIFY(h.reads.empty());
        h.Run(500);
        QVERIFY(!h.reads.empty());

        // Switches that stay on: every 2nd event preceded by garbage, every event split in two.
        h.Clear();
        sim::FaultSwitches f;
        f.garbageEvery = 2;
        f.garbageBytes = 1;
        f.splitBytes = 16;
        h.engine.SetFaults(f);
        h.Run(1000);
        h.Events(&stray);
        const size_t events = h.Events().size();
        QVERIFY(events >= 4);
        QVERIFY(stray >= events / 2 - 1 && stray <= events / 2 + 1);
        for (const auto& r : h.reads)
            QVERIFY(r.second.size() <= 16);
    }
};

QTEST_GUILESS_MAIN(TestSimDongle)
#include "test_sim_dongle.moc"
