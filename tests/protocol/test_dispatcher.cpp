// The frame dispatcher: framing of live frames, the store marker, the logger transfer with its
// acknowledgements, the oscilloscope frames and markers, trimming and read sizes.
#include "FrameBuilder.h"
#include "protocol/FrameDispatcher.h"

#include <QTest>
#include <cmath>
#include <functional>

namespace {

const std::string kAck = "f30001f4";

struct Harness {
    // Without a list taker the dispatcher drops a logger list itself.
    enum ListTaker { TakesLists, NoListTaker };

    HexText text;
    CFrameDispatcher disp;
    std::vector<std::string> log; // what the hooks were handed, in order
    std::vector<std::string> frames;
    std::vector<bool> savedFlags;
    std::vector<std::string> sent;
    int readSize = 0;

    explicit Harness(ListTaker lists = TakesLists)
        : disp(text, Hooks(lists))
    {
    }

    FrameDispatcherHooks Hooks(ListTaker lists)
    {
        FrameDispatcherHooks h;
        h.liveFrame = [this](int mode, std::string_view f, bool saved) {
            log.push_back("live" + std::to_string(mode));
            frames.emplace_back(f);
            savedFlags.push_back(saved);
        };
        h.send = [this](const uint8_t* b, int n) {
            sent.push_back(BytesToHex(b, size_t(n)));
            log.push_back("send " + sent.back());
            return true;
        };
        h.setReadSize = [this](int n) { readSize = n; };
        h.loggerHeader = [this](const uint8_t* b) {
            log.push_back("header " + BytesToHex(b, 26));
            disp.SetTotalBlocks(b[21] | b[22] << 8);
        };
        h.killRequestTimer = [this] { log.push_back("kill3"); };
        h.progressWindow = [this](int open) { log.push_back("progress " + std::to_string(open)); };
        h.progressPosition = [this](int n) { log.push_back("position " + std::to_string(n)); };
        h.loggerBlock = [this](std::string_view t, int records) {
            log.push_back("block " + std::to_string(records) + " " + std::string(t));
        };
        h.transferComplete = [this](HexText&) { log.push_back("complete"); };
        if (lists == TakesLists) {
            h.loggerList = [this](HexText& t) {
                log.push_back("list " + t.str());
                t.clear();
            };
        }
        h.listHeader = [this](std::string_view entry, HexText&) { log.push_back("listHeader " + std::string(entry)); };
        // An oscilloscope record is logged by its slot byte (payload byte 52).
        h.oscRecord = [this](HexText& t) { log.push_back("osc " + std::string(t.substr(4 + 2 * 52, 2))); };
        h.oscMode = [this] { log.push_back("oscMode"); };
        h.transferAbandoned = [this] { log.push_back("abandoned"); };
        return h;
    }

    // Appends a payload and runs the dispatcher, as the link does per notification.
    void feed(const std::string& hex)
    {
        text.appendText(hex);
        disp.MeterFrameDispatcher();
    }
    // Cuts bytes into notifications of at most 20 bytes.
    void notify(const std::string& hex)
    {
        for (size_t i = 0; i < hex.size(); i += 40)
            feed(hex.substr(i, 40));
    }
};

std::string Normal(bool saved = false, uint8_t function = 2)
{
    return FrameBuilder(1, saved).byte(2, function).unit(12, "V").hex();
}

// A logger record header announcing the given number of blocks.
std::string LoggerHeader(int blocks)
{
    std::vector<uint8_t> b(26, 0);
    b[0] = 0xA0;
    b[1] = 0xA8;
    b[2] = 2;
    b[21] = uint8_t(blocks);
    b[22] = uint8_t(blocks >> 8);
    return BytesToHex(b.data(), b.size());
}

// Block header and body: records of 8 bytes, then two bytes and the A1 trailer.
std::string Block(int number, int records)
{
    std::vector<uint8_t> b = { 0xA0, 0xA9, uint8_t(records), uint8_t(number), uint8_t(number >> 8) };
    for (int r = 0; r < records; ++r)
        for (int i = 0; i < 8; ++i)
            b.push_back(uint8_t(0x10 + r));
    b.insert(b.end(), { 0x00, 0x00, 0xA1 });
    return BytesToHex(b.data(), b.size());
}

// A frame of the given mode with plausible fields; seq makes frames differ.
std::string Reading(int mode, int seq)
{
    static const int kUnitAt[8] = { 0, 12, 25, 20, 24, 16, 7, -1 };
    static const int kClockAt[8] = { 0, 17, 50, 25, 38, 26, 24, 11 };
    FrameBuilder b(mode);
    b.byte(2, uint8_t(seq)).f32(3 + (mode >= 6 ? 0 : 1), 1.5f + float(seq));
    if (kUnitAt[mode] >= 0)
        b.unit(kUnitAt[mode], "mV");
    b.clock(kClockAt[mode], 26, 12, 5, 9, 3, seq % 60);
    return b.hex();
}

// An oscilloscope record of the given slot: the marker, 510 payload bytes (status 1, time base
// 5, volts index 7, captured 11/07/2026 10:03:01, a sine around raw 135), two bytes not read.
// `change` edits the payload before it is written.
std::string OscRecord(int slot, const std::function<void(std::vector<uint8_t>&)>& change = {})
{
    std::vector<uint8_t> p(510, 0);
    p[0] = 1;
    p[1] = 5;
    p[2] = 7;
    const uint8_t date[] = { 20, 26, 7, 11, 10, 3, 1 };
    std::copy(std::begin(date), std::end(date), p.begin() + 40);
    p[52] = uint8_t(slot);
    for (int k = 0; k < 300; ++k)
        p[size_t(80 + k)] = uint8_t(135 + 40 * std::sin(k / 9.0));
    if (change)
        change(p);
    return "e0e0" + BytesToHex(p.data(), p.size()) + "0000";
}

int count(const std::vector<std::string>& v, const std::string& s)
{
    return int(std::count(v.begin(), v.end(), s));
}

} // namespace

class TestDispatcher : public QObject {
    Q_OBJECT
private slots:
    void noiseBeforeAFrame()
    {
        Harness h;
        h.feed("abcd" + Normal());
        QCOMPARE(h.frames.size(), size_t(1));
        QCOMPARE(h.frames[0], Normal());
        QVERIFY(h.text.empty());

        // five characters of noise: only the trimming of the next call brings the frame forward
        Harness g;
        g.feed("abcde" + Normal());
        QVERIFY(g.frames.empty());
        QCOMPARE(g.text.str(), Normal());
        g.feed("");
        QCOMPARE(g.frames.size(), size_t(1));
    }

    void oneFramePerCall()
    {
        Harness h;
        const std::string second = FrameBuilder(7).hex();
        h.feed(Normal() + second);
        QCOMPARE(h.log, std::vector<std::string>({ "live1" }));
        QCOMPARE(h.text.str(), second);
        h.feed("");
        QCOMPARE(h.log, std::vector<std::string>({ "live1", "live7" }));
        QCOMPARE(h.frames[1], second);
    }

    void frameOverNotifications()
    {
        Harness h;
        const std::string f = FrameBuilder(2).hex(); // 59 bytes: three notifications
        h.notify(f);
        QCOMPARE(h.frames, std::vector<std::string>({ f }));
        QVERIFY(h.text.empty());

        // every kind, each split as the link splits it
        for (int mode = 1; mode <= 7; ++mode) {
            for (bool saved : { false, true }) {
                const std::string frame = FrameBuilder(mode, saved).byte(3, 0x55).hex();
                Harness k;
                k.notify(frame);
                QCOMPARE(k.log, std::vector<std::string>({ "live" + std::to_string(mode) }));
                QCOMPARE(k.frames[0], frame);
            }
        }
    }

    void frameBytesThatLookLikeOtherHeadersAreNotTakenForThem()
    {
        // A reading's bytes can read "e0e0", "a2a2" or "a0aa"; while the rest of the frame is
        // on its way they must not be taken for an oscilloscope record, marker or logger list.
        for (const char* look : { "e0e0", "a2a2", "a0aa" }) {
            const std::vector<uint8_t> b = HexBytes(std::string(look) + "1234");
            const std::string f = FrameBuilder(2).byte(8, b[0]).byte(9, b[1]).byte(10, b[2]).hex();
            Harness h(Harness::NoListTaker);
            h.notify(f);
            QCOMPARE(h.log, std::vector<std::string>({ "live2" }));
            QCOMPARE(h.frames, std::vector<std::string>({ f }));
        }
        // A stray "a0aa" with nobody asking for a list does not hold up the frames after it.
        Harness h(Harness::NoListTaker);
        h.feed("5a0aa5");
        h.notify(Normal());
        h.notify(Normal());
        QCOMPARE(h.frames.size(), size_t(2));
    }

    void damagedTrailer()
    {
        // The whole length is in and the end byte is not where it belongs: dropped at once.
        Harness h;
        std::string bad = Normal();
        bad.replace(bad.size() - 2, 2, "a2");
        h.feed(bad);
        QVERIFY(h.frames.empty());
        QCOMPARE(h.disp.m_nDamagedFrames.load(), uint64_t(1));
        QVERIFY(h.text.size() < 8);
        h.feed("1" + Normal());
        QCOMPARE(h.frames, std::vector<std::string>({ Normal() }));

        // Not yet the whole length: it waits for the rest.
        Harness g;
        g.feed(Normal().substr(0, 40));
        g.feed(Normal().substr(40, 10));
        QVERIFY(g.frames.empty());
        QCOMPARE(g.disp.m_nDamagedFrames.load(), uint64_t(0));
        g.feed(Normal().substr(50));
        QCOMPARE(g.frames, std::vector<std::string>({ Normal() }));
    }

    void damagedFrameGivesWayToTheGoodOnes_data()
    {
        QTest::addColumn<int>("good");
        QTest::addColumn<int>("lostAt"); // byte lost from the damaged frame
        for (int good : { 3, 4, 6, 10 }) {
            for (int lostAt : { 5, 18, 24 }) {
                const QByteArray name = QByteArray::number(good) + " good, byte " + QByteArray::number(lostAt) + " lost";
                QTest::newRow(name.constData()) << good << lostAt;
            }
        }
    }
    void damagedFrameGivesWayToTheGoodOnes()
    {
        QFETCH(int, good);
        QFETCH(int, lostAt);
        std::vector<uint8_t> damaged = HexBytes(Reading(1, 0));
        damaged.erase(damaged.begin() + lostAt);

        Harness h;
        h.notify(BytesToHex(damaged.data(), damaged.size()));
        std::vector<std::string> expected;
        for (int i = 0; i < good; ++i) {
            expected.push_back(Reading(i % 7 + 1, i + 1));
            h.notify(expected.back()); // cut into notifications as the meter sends it
        }
        QCOMPARE(h.frames, expected);
        QCOMPARE(h.disp.m_nDamagedFrames.load(), uint64_t(1));
        QVERIFY(h.text.empty());
    }

    void goodFrameBehindADamagedOneInTheSameCall()
    {
        // A frame one byte short, then a whole good frame in the same notification batch.
        std::vector<uint8_t> damaged = HexBytes(Reading(2, 0));
        damaged.erase(damaged.begin() + 30);
        Harness h;
        h.feed(BytesToHex(damaged.data(), damaged.size()) + Reading(7, 1));
        QCOMPARE(h.frames, std::vector<std::string>({ Reading(7, 1) }));
    }

    void shiftedFramesAreDroppedAndCounted_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("value");
        QTest::newRow("control character in the unit") << 1 << 13 << 0x02;
        QTest::newRow("DEL in the unit") << 3 << 20 << 0x7F;
        QTest::newRow("control character in a MAX/MIN statistic unit") << 2 << 37 << 0x1B;
        QTest::newRow("control character in the dual AC auxiliary unit") << 6 << 20 << 0x05;
        QTest::newRow("month digit above 9") << 1 << 18 << 0x1A;
        QTest::newRow("seconds tens above 9") << 7 << 16 << 0xA1;
        QTest::newRow("PEAK clock year") << 4 << 38 << 0xF2;
        QTest::newRow("DC+AC clock hour") << 5 << 29 << 0x3C;
        QTest::newRow("month 13") << 3 << 26 << 0x13;
        QTest::newRow("day 32") << 6 << 26 << 0x32;
        QTest::newRow("hour 24") << 1 << 20 << 0x24;
        QTest::newRow("minute 60") << 2 << 54 << 0x60;
    }
    void shiftedFramesAreDroppedAndCounted()
    {
        QFETCH(int, mode);
        QFETCH(int, byte);
        QFETCH(int, value);
        std::vector<uint8_t> b = HexBytes(Reading(mode, 0));
        b[size_t(byte)] = uint8_t(value);
        Harness h;
        // The frame after it is decoded in the same call.
        h.feed(BytesToHex(b.data(), b.size()) + Reading(1, 1));
        QCOMPARE(h.frames, std::vector<std::string>({ Reading(1, 1) }));
        QCOMPARE(h.disp.m_nDamagedFrames.load(), uint64_t(1));
    }

    void framesAMeterSendsAreNeverRefused()
    {
        // Units ended by a zero byte with stale bytes behind it, units of the meter's own
        // letters, bytes above 7F, an unset clock, the largest BCD digits.
        std::vector<std::string> sent = {
            FrameBuilder(1).unit(12, "V").byte(13, 0).byte(14, 0x03).byte(15, 0x1F).hex(),
            FrameBuilder(1).unit(12, "o@").clock(17, 0, 0, 0, 0, 0, 0).hex(),
            FrameBuilder(2).unit(25, "kHZ").unit(29, "MHZ").unit(33, "").unit(37, "\xb0").hex(),
            FrameBuilder(3).unit(20, "Mo").clock(25, 99, 12, 31, 23, 59, 59).hex(),
            FrameBuilder(6).unit(7, "VAC").byte(20, 0).byte(21, 0x7F).hex(),
            FrameBuilder(7).clock(11, 26, 12, 31, 23, 59, 59).hex(),
        };
        Harness h;
        for (const std::string& f : sent)
            h.notify(f);
        QCOMPARE(h.frames, sent);
        QCOMPARE(h.disp.m_nDamagedFrames.load(), uint64_t(0));
    }

    void storeMarkerAndSavedReadings()
    {
        Harness h;
        h.feed("f8f8f8f8" + Normal(true));
        QVERIFY(h.disp.m_bStoreMarker);
        QVERIFY(h.disp.m_bSavedReadings);
        QCOMPARE(h.savedFlags, std::vector<bool>({ true }));
        h.feed(Normal(true));
        h.feed(Normal());
        QCOMPARE(h.savedFlags, std::vector<bool>({ true, true, false }));
        QVERIFY(!h.disp.m_bStoreMarker);
        QVERIFY(!h.disp.m_bSavedReadings);

        // "a09" frames without the marker are not saved readings
        h.feed(Normal(true));
        QCOMPARE(h.savedFlags.back(), false);
    }

    void savedFrameBeforeTheStartOfALiveFrameOfTheSameKind()
    {
        // The meter's last saved reading and the first live frame after it come in one piece:
        // the saved frame stands first and is taken first, not skipped for the live header.
        Harness h;
        const std::string live = Normal();
        h.feed("f8f8f8f8" + Normal(true) + live.substr(0, 20));
        QCOMPARE(h.frames, std::vector<std::string>({ Normal(true) }));
        QCOMPARE(h.savedFlags, std::vector<bool>({ true }));
        h.feed(live.substr(20));
        QCOMPARE(h.frames.size(), size_t(2));
        QCOMPARE(h.frames[1], live);
        QCOMPARE(h.savedFlags, std::vector<bool>({ true, false }));
    }

    void loggerTransfer()
    {
        Harness h;
        h.feed(LoggerHeader(2));
        QCOMPARE(h.readSize, 1000);
        QVERIFY(h.disp.m_bLoggerDownload);
        QVERIFY(h.disp.m_bExpectBlockHeader);
        QCOMPARE(h.log,
            std::vector<std::string>(
                { "kill3", "header " + LoggerHeader(2), "send " + kAck, "progress 1" }));
        h.log.clear();

        // live frames are not decoded while the transfer runs
        h.feed(Normal());
        QVERIFY(h.frames.empty());
        h.text.clear();

        const std::string b1 = Block(1, 3);
        h.notify(b1);
        QCOMPARE(h.log, std::vector<std::string>({ "block 3 " + b1.substr(10), "send " + kAck, "position 1" }));
        QVERIFY(h.disp.m_bExpectBlockHeader);
        h.log.clear();
        const std::string b2 = Block(2, 2);
        h.notify(b2);
        // the last block: handed over, not acknowledged, and the transfer ends
        QCOMPARE(h.log, std::vector<std::string>({ "block 2 " + b2.substr(10), "complete" }));
        QVERIFY(!h.disp.m_bLoggerDownload);
        QVERIFY(!h.disp.m_bExpectBlockHeader);
        QCOMPARE(h.disp.m_nBlocksDone.load(), 2);

        h.feed(Normal());
        QCOMPARE(h.frames.size(), size_t(1));
    }

    void markerBytesInsideABlockAreData()
    {
        // A block whose readings happen to read "f8f8f8f8" (also from an odd offset) is handed
        // over whole; the store marker is not set by it.
        Harness h;
        h.feed(LoggerHeader(1));
        h.log.clear();
        const std::string block = "a0a9020100" "8f8f8f8f8f8f8f8f" "f8f8f8f8f8f8f8f8" "0000a1";
        h.notify(block);
        QCOMPARE(h.log, std::vector<std::string>({ "block 2 " + block.substr(10), "complete" }));
        QVERIFY(!h.disp.m_bStoreMarker);
    }

    void listedRecordKeepsSinglePoints()
    {
        Harness h;
        h.disp.m_nLoggerListSize = 52;
        h.feed("12" + LoggerHeader(1).substr(0, 30));
        QCOMPARE(h.log, std::vector<std::string>({ "kill3" })); // header not complete yet
        QCOMPARE(h.readSize, 1000);
        h.feed(LoggerHeader(1).substr(30));
        QCOMPARE(h.log[1], std::string("kill3"));
        QCOMPARE(h.log[2], "header " + LoggerHeader(1));
        QCOMPARE(count(h.log, "send " + kAck), 1);
    }

    void blockNumbersMustRunOn()
    {
        Harness h;
        h.notify(LoggerHeader(5));
        h.notify(Block(1, 2));
        h.notify(Block(2, 2));
        QCOMPARE(count(h.sent, kAck), 3);
        h.notify(Block(4, 2));
        QCOMPARE(count(h.sent, kAck), 3); // block 4's header is dropped; no acknowledgement
        QCOMPARE(h.disp.m_nBlocksDone.load(), 2);
        QVERIFY(h.disp.m_bExpectBlockHeader);
        QVERIFY(h.disp.m_bLoggerDownload);

        // the user starts over: the stalled transfer is given up and a new header is taken
        h.disp.AbortLoggerTransfer();
        h.text.clear();
        h.notify(LoggerHeader(1));
        QCOMPARE(count(h.log, "abandoned"), 1);
        QCOMPARE(count(h.sent, kAck), 4);
        QCOMPARE(h.disp.m_nBlocksDone.load(), 0);
    }

    void stalledTransferGivesWay()
    {
        Harness h;
        h.notify(LoggerHeader(3));
        h.notify(Block(2, 1)); // wrong number: the transfer stalls
        // the meter goes back to live frames; they cannot be held back for ever
        for (int i = 0; i < 400 && h.frames.empty(); ++i) {
            h.notify(Normal());
            QVERIFY(h.text.size() <= CFrameDispatcher::kMaxTransferText);
        }
        QCOMPARE(count(h.log, "abandoned"), 1);
        QVERIFY(!h.disp.m_bLoggerDownload);
        QVERIFY(!h.frames.empty());
    }

    void oscilloscope()
    {
        Harness h;
        const std::string record = OscRecord(3);
        h.feed("a1b2" + record.substr(0, 500));
        QVERIFY(h.disp.m_bOscActive);
        QCOMPARE(h.readSize, 512);
        QCOMPARE(h.text.str().substr(0, 4), std::string("e0e0")); // text before it dropped
        h.feed(record.substr(500) + "a2");
        QCOMPARE(h.log, std::vector<std::string>({ "osc 03" }));
        QCOMPARE(h.text.str(), std::string("a2"));

        // mode marker: the display switches, the markers are removed from the front
        Harness m;
        m.feed("a2a2a2a2a2a2a2a2" + Normal().substr(0, 20));
        QCOMPARE(m.log, std::vector<std::string>({ "oscMode" }));
        QCOMPARE(m.text.str(), Normal().substr(0, 20));
        m.feed(Normal().substr(20));
        QCOMPARE(m.frames.size(), size_t(1));

        // a marker that lost a byte does not hold the frame behind it
        Harness s;
        s.feed("a2a2a2" + Normal());
        QCOMPARE(s.log, std::vector<std::string>({ "oscMode" }));
        s.feed("");
        QCOMPARE(s.frames.size(), size_t(1));

        // a two-byte marker followed by noise does not hold the text for ever
        Harness n;
        n.feed("a2a2ff");
        for (int i = 0; i < 20; ++i)
            n.feed(std::string(40, '3'));
        QVERIFY(n.text.size() <= CFrameDispatcher::kMaxIdleText + 40);

        // while the oscilloscope store is downloaded the marker and the trimming wait
        Harness d;
        d.disp.m_bOscDownload = true;
        d.feed("a2a2" + std::string(300, '3'));
        QVERIFY(d.log.empty());
        QCOMPARE(d.text.size(), size_t(304));
    }

    void damagedOscilloscopeRecordsAreDropped_data()
    {
        QTest::addColumn<QByteArray>("damaged");
        const auto row = [](const std::string& name, const std::string& record) {
            QTest::newRow(name.c_str()) << QByteArray::fromStdString(record);
        };
        // A byte lost among the samples: the next record's marker falls inside the length.
        const std::string good = OscRecord(4);
        row("lost sample byte", good.substr(0, 400) + good.substr(402));
        // A byte lost among the fixed fields shifts them (the volts index reads 0).
        row("shifted fields", OscRecord(4, [](std::vector<uint8_t>& p) {
            p.erase(p.begin() + 1);
            p.push_back(0);
        }));
        const std::pair<int, int> fields[]
            = { { 52, 11 }, { 0, 0 }, { 1, 19 }, { 2, 12 }, { 40, 0 }, { 43, 32 }, { 44, 52 }, { 46, 60 } };
        for (const auto& [at, value] : fields) {
            row("byte " + std::to_string(at) + " = " + std::to_string(value),
                OscRecord(4, [at = at, value = value](std::vector<uint8_t>& p) { p[size_t(at)] = uint8_t(value); }));
        }
        // Raw samples 224 224 read as a marker: the dropped record's false marker fails in turn.
        row("marker among the samples",
            OscRecord(4, [](std::vector<uint8_t>& p) { p[200] = p[201] = 0xE0; }).erase(4 + 600, 2));
    }

    void damagedOscilloscopeRecordsAreDropped()
    {
        QFETCH(QByteArray, damaged);
        Harness h;
        h.notify(OscRecord(3) + damaged.toStdString() + OscRecord(5) + "a2a2a2a2");
        QCOMPARE(h.log, std::vector<std::string>({ "osc 03", "osc 05" }));
        QVERIFY(h.disp.m_nDamagedFrames >= 1);
    }

    void recordShortByAWholeNotification()
    {
        // The lost bytes are made up exactly by the first notification of the next record ...
        const std::string four = OscRecord(4), five = OscRecord(5);
        const std::string shortFour = four.substr(0, 400) + four.substr(440);
        Harness h;
        h.feed(shortFour);
        h.feed(five.substr(0, 40));
        h.feed(five.substr(40));
        QCOMPARE(h.log, std::vector<std::string>({ "osc 05" }));

        // A spectrum that reads like the start of a record near its end, nothing after it yet:
        // the record waits for what comes next rather than being dropped.
        const std::string peaks = OscRecord(6, [](std::vector<uint8_t>& p) {
            const uint8_t look[] = { 0xE0, 0xE0, 3, 5, 7 };
            std::copy(std::begin(look), std::end(look), p.begin() + 500);
        });
        Harness w;
        w.notify(peaks);
        QVERIFY(w.log.empty());
        for (int i = 0; i < 12 && w.log.empty(); ++i)
            w.feed("a2a2a2a2");
        QCOMPARE(w.log, std::vector<std::string>({ "osc 06" }));
        QCOMPARE(w.disp.m_nDamagedFrames.load(), uint64_t(0));

        // ... or, after the last record, by the mode markers.
        Harness m;
        m.feed(shortFour);
        for (int i = 0; i < 5; ++i)
            m.feed("a2a2a2a2");
        m.feed("a2a2a2a2");
        QCOMPARE(m.log, std::vector<std::string>({ "oscMode" }));
    }

    void oscilloscopeRecordsAMeterSendsAreTaken()
    {
        // Ten stored records back to back, each whole at the end of its notifications; one that
        // ends the text is taken at once, without waiting for what follows it.
        Harness h;
        for (int slot = 1; slot <= 10; ++slot) {
            h.notify(OscRecord(slot, [slot](std::vector<uint8_t>& p) {
                p[0] = uint8_t(1 + slot % 4);
                p[1] = uint8_t(slot == 10 ? 18 : slot); // every time base, volts index and edge of the table
                p[2] = uint8_t(slot + 1);
                p[42] = p[43] = 0; // an unset clock
                p[44] = 23;
                p[45] = p[46] = 59;
                std::fill(p.begin() + 80, p.begin() + 380, uint8_t(slot % 2 ? 0xE0 : 0xA2));
            }));
            QCOMPARE(int(h.log.size()), slot);
        }
        QCOMPARE(h.disp.m_nDamagedFrames.load(), uint64_t(0));
        QVERIFY(h.text.empty());
    }

    void loggerList()
    {
        Harness h;
        h.disp.m_nLoggerListSize = CFrameDispatcher::kListSizeRequested;
        const std::string entry = "a0aa0102" + std::string(44, '0');
        h.feed("99" + entry.substr(0, 30));
        QVERIFY(h.log.empty());
        QVERIFY(h.disp.m_bStoreMarker);
        QCOMPARE(h.readSize, 100);
        h.feed(entry.substr(30) + entry.substr(0, 10));
        QCOMPARE(h.log, std::vector<std::string>({ "listHeader " + entry }));

        // the list size known: the list goes over once the whole list is in
        h.log.clear();
        h.text.clear();
        h.disp.m_nLoggerListSize = 52;
        h.feed(entry);
        QVERIFY(h.log.empty());
        h.feed(entry);
        QCOMPARE(h.log, std::vector<std::string>({ "list " + entry + entry }));
        QVERIFY(h.text.empty());
    }
};

QTEST_APPLESS_MAIN(TestDispatcher)
#include "test_dispatcher.moc"
