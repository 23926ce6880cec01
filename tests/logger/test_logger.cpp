// The logger download: the decoders of the list, header and blocks, the document a record fills,
// the dispatcher's handling of logger frames, and the whole dialogue against the simulated meter's
// logger on a clock of the test's own.
#include "protocol/FrameBuilder.h"
#include "datalog/DataLog.h"
#include "protocol/FrameDispatcher.h"
#include "logger/LoggerDownload.h"
#include "sim/SimLogger.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>

namespace {

using sim::Bytes;
using sim::CSimLogger;
using sim::StoredRecord;

std::string Hex(const Bytes& b)
{
    return BytesToHex(b.data(), b.size());
}

StoredRecord Record(uint8_t address, uint8_t function, std::vector<float> readings, sim::MeterClock start = {})
{
    StoredRecord r;
    r.address = address;
    r.function = function;
    r.interval = 1;
    r.start = start;
    if (start.month == 1 && start.day == 1 && start.year == 26) {
        r.start.year = 26;
        r.start.month = 12;
        r.start.day = 5;
        r.start.hour = 9;
        r.start.minute = 3;
        r.start.second = 7;
    }
    r.readings = std::move(readings);
    return r;
}

LoggerRecordHeader DecodedHeader(const StoredRecord& r)
{
    const Bytes b = CSimLogger::Header(r);
    LoggerRecordHeader h;
    [[maybe_unused]] const bool ok = DecodeLoggerHeader(b.data(), &h);
    return h;
}

// The dispatcher, the download and the simulated meter's logger wired as the link wires them,
// with the meter's frames cut into notifications of at most 20 bytes.
struct Loop {
    HexText text;
    std::function<void(int mode)> onLive; // live frames that reach the dispatcher's live hook
    std::unique_ptr<CLoggerDownload> download; // made with the dispatcher, as the program does
    CFrameDispatcher disp { text, {}, [this](CFrameDispatcher& d, FrameDispatcherHooks& h) {
                               h.send = [this](const uint8_t* b, int n) { return Write(b, n); };
                               h.liveFrame = [this](int mode, std::string_view, bool) {
                                   if (onLive)
                                       onLive(mode);
                               };
                               download = std::make_unique<CLoggerDownload>(
                                   d, [this](const meter_cmd::Command& c) { return Write(c.data(), int(c.size())); },
                                   [this] { return meterSeen; });
                               download->Attach(h);
                           } };
    CLoggerDownload& dl = *download;
    CSimLogger meter;
    std::vector<std::string> sent; // every command the host wrote, as hex
    std::deque<Bytes> pending; // frames the meter is about to send
    bool meterSeen = true;
    bool deaf = false; // the meter hears nothing (a lost link)
    qint64 now = 0;

    Loop()
    {
        dl.SetClock([this] { return now; });
    }

    bool Write(const uint8_t* b, int n)
    {
        sent.push_back(BytesToHex(b, size_t(n)));
        if (deaf)
            return true;
        const CSimLogger::Reply r = meter.OnCommand(Bytes(b, b + n));
        for (const Bytes& f : r.frames)
            pending.push_back(f);
        return true;
    }

    void Notify(const Bytes& frame)
    {
        for (const Bytes& part : sim::SplitNotifications(frame)) {
            text.appendBytes(part.data(), part.size());
            disp.MeterFrameDispatcher();
        }
    }

    // Runs the dialogue until the meter has nothing more to say and every posted value was handled.
    void Pump(int maxSteps = 100000)
    {
        for (int i = 0; i < maxSteps; ++i) {
            QCoreApplication::sendPostedEvents();
            if (pending.empty()) {
                if (!dl.StepPending())
                    return;
                now += CLoggerDownload::kPauseMs;
                dl.RunPendingStep();
                continue;
            }
            const Bytes f = pending.front();
            pending.pop_front();
            Notify(f);
        }
    }

    // The commands written, without the acknowledgements.
    std::vector<std::string> Requests() const
    {
        std::vector<std::string> out;
        for (const std::string& s : sent)
            if (s != "f30001f4")
                out.push_back(s);
        return out;
    }
};

} // namespace

class TestLogger : public QObject {
    Q_OBJECT
private slots:
    void listEntries()
    {
        StoredRecord r = Record(7, 4, std::vector<float>(3598, 1.0f));
        r.interval = 300;
        const Bytes e = CSimLogger::ListEntry(r, 2);
        const std::string text = Hex(e) + Hex(CSimLogger::ListEntry(Record(9, 16, {}), 2));
        QCOMPARE(DecodeLoggerListHeader(text), 2);
        const std::vector<LoggerListData> list = DecodeLoggerList(text + "a0aa01"); // a torn tail is no entry
        QCOMPARE(list.size(), size_t(2));
        QCOMPARE(list[0].ColumnTexts(), QStringList({ "RES", "05-12-2026, 09 03 07", "3598", "300", "7" }));
        QCOMPARE(list[1].m_strFunction, QStringLiteral("HZ"));
        QCOMPARE(list[1].m_nAddress, 9);
    }

    void headerAndTables()
    {
        StoredRecord r = Record(1, 5, std::vector<float>(250, 1.0f));
        r.interval = 0x01020304;
        const LoggerRecordHeader h = DecodedHeader(r);
        QCOMPARE(h.m_strLogFunction, QStringLiteral("CAP"));
        QCOMPARE(h.m_strLogUnit, QStringLiteral("nF"));
        QCOMPARE(h.m_strLogTime, QStringLiteral("05/12/26 09:03:07"));
        QCOMPARE(h.m_nLogInterval, 0x01020304);
        QCOMPARE(h.m_nTotalBlocks, 3);
        QCOMPARE(h.m_fLogLimit, 10000000.0f);
        QVERIFY(!h.badDate);
        uint8_t junk[26] = { 0xA0, 0xA9 };
        LoggerRecordHeader untouched;
        QVERIFY(!DecodeLoggerHeader(junk, &untouched));

        QCOMPARE(g_astrLoggerUnit.size(), 32);
        QCOMPARE(g_astrLoggerUnit[0], QString(QChar(0x2109)));
        QCOMPARE(g_astrLoggerUnit[6], QString(QChar(0x2103)));
        QCOMPARE(g_astrLoggerUnit[18], QString(QChar(0x03A9)));
        QCOMPARE(g_astrLoggerUnit[31], QStringLiteral("HZ"));
        QVERIFY(logger::LoggerUnit(40).isEmpty());
        QCOMPARE(LoggerLimit(4), 49990000.0f);
        QCOMPARE(LoggerLimit(14), 5000.0f);
        QCOMPARE(LoggerLimit(24), 500.0f);
        QCOMPARE(LoggerLimit(23), 10.0f);
        QCOMPARE(LoggerLimit(6), 2462.0f);
        QCOMPARE(LoggerLimit(0), 1350.0f);
        QCOMPARE(LoggerLimit(16), 1000.0f);
    }

    void readingsScaleAndGoOverRange()
    {
        struct Case {
            int code;
            float in;
            double value;
            QString unit;
        };
        const QString ohm(QChar(0x03A9));
        const Case cases[] = {
            { 16, 1500.0f, 500000.0, "MHZ" }, // at or above the limit of 1000
            { 16, 499.0f, 499.0, "HZ" }, { 31, 750.0f, 0.75, "KHZ" }, { 4, 2200.0f, 2.2, "K" + ohm },
            { 4, 220.0f, 220.0, ohm }, { 4, 2200000.0f, 2.2, "M" + ohm }, { 4, 6.0e7f, 500000.0, "M" + ohm },
            { 4, -6.0e7f, -500000.0, "M" + ohm }, { 5, -2.0e7f, -500000.0, "mF" }, { 5, 4700.0f, 4.7, "uF" },
            { 2, 1500.0f, 1500.0, "VDC" }, // no over-range test for the other functions
        };
        for (const Case& c : cases) {
            StoredRecord r = Record(1, uint8_t(c.code), { c.in });
            const LoggerRecordHeader h = DecodedHeader(r);
            const Bytes block = CSimLogger::Block(r, 1, 1);
            const std::vector<LoggerPoint> p = DecodeLoggerBlock(h, Hex(block).substr(10), 1);
            QCOMPARE(p.size(), size_t(1));
            QVERIFY2(qFuzzyCompare(p[0].value, c.value), qPrintable(QString::number(c.code)));
            QCOMPARE(p[0].unit, c.unit);
        }
        QCOMPARE(logger::ValueText(500000.0), QStringLiteral("OL"));
        QCOMPARE(logger::ValueText(-500000.0), QStringLiteral("OL"));
        QCOMPARE(logger::ValueText(2.2), QStringLiteral("2.2000"));
    }

    void readingTimes()
    {
        StoredRecord r = Record(1, 2, { 1.0f, 2.0f });
        r.interval = 90;
        const LoggerRecordHeader h = DecodedHeader(r);
        const std::vector<LoggerPoint> p = DecodeLoggerBlock(h, Hex(CSimLogger::Block(r, 1, 1)).substr(10), 2);
        QCOMPARE(p[0].time, QStringLiteral("5/12/2026 9:3:7"));
        QCOMPARE(p[1].time, QStringLiteral("5/12/2026 9:4:37"));
        // a text shorter than the count announced gives only the readings it holds
        QCOMPARE(DecodeLoggerBlock(h, Hex(CSimLogger::Block(r, 1, 1)).substr(10, 20), 2).size(), size_t(1));

        // the meter's clock never set: dated 2010-09-10 10:10:10, flagged for the warning
        StoredRecord zero = Record(1, 2, { 1.0f }, sim::MeterClock { 0, 0, 0, 0, 0, 0 });
        const LoggerRecordHeader z = DecodedHeader(zero);
        QVERIFY(z.badDate);
        QCOMPARE(LoggerPointTime(z, 65), QStringLiteral("10/9/2010 10:11:15"));
        sim::MeterClock feb30 { 26, 2, 30, 1, 2, 3 };
        QVERIFY(DecodedHeader(Record(1, 2, {}, feb30)).badDate);
    }

    void documentOfARecord()
    {
        LoggerRecord rec;
        rec.header = DecodedHeader(Record(3, 16, {}));
        auto add = [&](double v, const char* unit, const char* time) { rec.points.push_back({ v, unit, time }); };
        add(12.0, "HZ", "t1");
        add(500000.0, "MHZ", "t2");
        add(30.0, "HZ", "t3");
        add(30.0, "HZ", "t4");
        add(-4.0, "HZ", "t5");
        CDataLog doc;
        doc.AddPoint(0, 99.0, "V", 0, 0, "old", "old", 1000.0f, 99.0f);
        const LoggerDisplay d = FillLoggerDocument(doc, rec);
        QCOMPARE(doc.m_arrSeries[0].Size(), qsizetype(5));
        const CObData p = doc.m_arrSeries[0].At(1);
        QCOMPARE(p, CObData(500000.0, "HZ", 1.0, 0, "t2", "HZ", 1000.0f)); // in the record's unit
        QCOMPARE(doc.m_dMax, 30.0);
        QCOMPARE(doc.m_strMaxTime, QStringLiteral("t3")); // the first of equal maxima
        QCOMPARE(doc.m_dMin, -4.0);
        QCOMPARE(doc.m_dAverage, (12.0 + 30.0 + 30.0 - 4.0) / 4);
        QCOMPARE(doc.m_nDataNumber, 5);
        QCOMPARE(doc.m_strStartTime, QStringLiteral("t1"));
        QCOMPARE(doc.m_strEndTime, QStringLiteral("t5"));
        QCOMPARE(doc.m_strType, QStringLiteral("HZ"));
        QCOMPARE(d.yMax, 30.0 + 3.4);
        QCOMPARE(d.yMin, -4.0 - 3.4);

        // every reading over range: the graph spans 0 to the limit
        LoggerRecord all;
        all.header = rec.header;
        all.points.assign(4, { 500000.0, "MHZ", "t" });
        const LoggerDisplay o = FillLoggerDocument(doc, all);
        QCOMPARE(o.yMax, 1000.0);
        QCOMPARE(o.yMin, 0.0);
        QCOMPARE(doc.m_nDataNumber, 4);
        QCOMPARE(doc.m_dMax, CDataLog::kInitialMax); // the summary still says nothing was in range

        // a maximum above the limit (no over-range test for volts) is cut at the limit
        LoggerRecord high;
        high.header = DecodedHeader(Record(1, 2, {}));
        high.points = { { 1500.0, "VDC", "a" }, { 70000.0, "VDC", "b" } };
        const LoggerDisplay hd = FillLoggerDocument(doc, high);
        QCOMPARE(hd.yMax, 1000.0);
        QCOMPARE(hd.yMin, 1500.0);
    }

    void aRecordKeepsOneUnitAcrossItsSteps()
    {
        // The meter's readings cross the unit steps; the document holds each record in the unit
        // of its largest reading, so its statistics compare like with like.
        Loop l;
        l.meter.SetRecords({ Record(1, 4, { 220.0f, 2200.0f, 221.98f, 6e7f }), Record(2, 16, { 495.0f, 500.0f, 250.0f }),
            Record(3, 5, { 10.0f, 20.0f }), Record(4, 16, { 1500.0f }) });
        QVERIFY(l.dl.Start());
        l.Pump();
        QCOMPARE(l.dl.Records().size(), size_t(4));
        auto record = [&](int address) {
            for (const LoggerRecord& r : l.dl.Records()) {
                if (r.address == address)
                    return r;
            }
            return LoggerRecord();
        };
        auto units = [](const CDataLog& doc) {
            QStringList out;
            for (qsizetype i = 0; i < doc.m_arrSeries[0].Size(); ++i)
                out << doc.m_arrSeries[0].Unit(i);
            out.removeDuplicates();
            return out;
        };
        CDataLog doc;

        FillLoggerDocument(doc, record(1)); // resistance, 220 ohm to 2.2 kilo-ohm and one over range
        QCOMPARE(units(doc), QStringList { QStringLiteral("K\u03A9") });
        QCOMPARE(doc.m_arrSeries[0].Value(0), double(220.0f) / 1000.0);
        QCOMPARE(doc.m_arrSeries[0].Value(3), 500000.0);
        QCOMPARE(doc.m_dMax, double(2200.0f) / 1000.0);
        QCOMPARE(doc.m_dMin, double(220.0f) / 1000.0);

        FillLoggerDocument(doc, record(2)); // frequency across 500 Hz
        QCOMPARE(units(doc), QStringList { QStringLiteral("KHZ") });
        QCOMPARE(doc.m_arrSeries[0].Value(0), 0.495);
        QCOMPARE(doc.m_arrSeries[0].Value(1), 0.5);
        QCOMPARE(doc.m_dMin, 0.25);

        FillLoggerDocument(doc, record(3)); // all in the first step: as read
        QCOMPARE(units(doc), QStringList { QStringLiteral("nF") });
        QCOMPARE(doc.m_arrSeries[0].Value(1), 20.0);

        FillLoggerDocument(doc, record(4)); // nothing in range
        QCOMPARE(units(doc), QStringList { QStringLiteral("MHZ") });
        QCOMPARE(doc.m_arrSeries[0].Value(0), 500000.0);
    }

    void wrongBlockIsNotTakenForABody_data()
    {
        QTest::addColumn<bool>("split");
        QTest::newRow("whole") << false;
        QTest::newRow("split") << true;
    }
    void wrongBlockIsNotTakenForABody()
    {
        QFETCH(bool, split);
        Loop l;
        StoredRecord r = Record(1, 2, std::vector<float>(500, 3.0f));
        l.text.clear();
        l.Notify(CSimLogger::Header(r));
        QCOMPARE(l.disp.m_nTotalBlocks.load(), 5);
        auto feed = [&](const Bytes& b) {
            if (split) {
                l.Notify(b);
            } else {
                l.text.appendBytes(b.data(), b.size());
                l.disp.MeterFrameDispatcher();
            }
        };
        feed(CSimLogger::Block(r, 1, 1));
        feed(CSimLogger::Block(r, 2, 2));
        const size_t acks = l.sent.size();
        QCOMPARE(acks, size_t(3)); // header, block 1, block 2
        feed(CSimLogger::Block(r, 3, 4)); // numbered 4 where 3 is due
        QCOMPARE(l.sent.size(), acks); // neither decoded nor acknowledged
        QCOMPARE(l.disp.m_nBlocksDone.load(), 2);
        QVERIFY(l.disp.m_bExpectBlockHeader);
        QCoreApplication::sendPostedEvents();
    }

    void awaitedListWinsOverAnOscilloscopeRecord()
    {
        // 3598 readings are the bytes 0e 0e 00 00: the list's text reads "e0e0"
        Loop l;
        l.meter.SetRecords({ Record(1, 2, std::vector<float>(3598, 1.0f)), Record(2, 2, { 1.0f }) });
        QSignalSpy lists(&l.dl, &CLoggerDownload::listReceived);
        l.dl.Start(CLoggerDownload::Mode::ListOnly);
        l.pending.push_front(Bytes { 0x99 }); // a stray byte before it
        l.Pump();
        QCOMPARE(lists.count(), 1);
        QCOMPARE(l.dl.List().size(), size_t(2));
        QCOMPARE(l.dl.List()[0].m_nPoints, 3598);
        QVERIFY(!l.disp.m_bOscActive);
        QCOMPARE(l.Requests(), std::vector<std::string>({ "b09500b1", "b0a000b1" }));
    }

    void recordsAreFetchedLastToFirst()
    {
        Loop l;
        l.meter.SetRecords({ Record(1, 2, std::vector<float>(150, 1.0f)), Record(2, 4, { 2200.0f }),
            Record(3, 16, { 1500.0f, 100.0f }) });
        QSignalSpy completed(&l.dl, &CLoggerDownload::recordCompleted);
        QSignalSpy finished(&l.dl, &CLoggerDownload::finished);
        QSignalSpy pane(&l.dl, &CLoggerDownload::showListPane);
        QVERIFY(l.dl.Start());
        l.Pump();
        QCOMPARE(
            l.Requests(), std::vector<std::string>({ "b09500b1", "b09603b1", "b09602b1", "b09601b1", "b0a000b1" }));
        QCOMPARE(completed.count(), 3);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished[0][0].toBool(), true);
        QCOMPARE(pane.count(), 1);
        QVERIFY(!l.dl.Running());
        QCOMPARE(l.disp.m_nLoggerListSize.load(), 0);
        QCOMPARE(l.dl.DownloadBytes(), qint64(3 * 26 + 153 * 8));

        const std::vector<LoggerRecord>& recs = l.dl.Records();
        QCOMPARE(recs[0].address, 3);
        QCOMPARE(recs[0].points[0].value, 500000.0);
        QCOMPARE(recs[0].points[0].unit, QStringLiteral("MHZ"));
        QCOMPARE(recs[1].points[0].value, 2.2);
        QCOMPARE(recs[2].points.size(), size_t(150)); // two blocks
        QCOMPARE(recs[2].entry.m_nAddress, 1);

        // a row's activation shows its record
        QSignalSpy shown(&l.dl, &CLoggerDownload::showRecord);
        QVERIFY(l.dl.ShowRecord(2));
        QVERIFY(!l.dl.ShowRecord(9));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown[0][0].value<LoggerRecord>().points.size(), size_t(1));
    }

    void unansweredRequestRepeatsSixTicks()
    {
        Loop l;
        l.meter.SetRecords({ Record(1, 2, { 1.0f }) });
        l.dl.Start();
        QCoreApplication::sendPostedEvents();
        const Bytes list = l.pending.front();
        l.pending.clear();
        l.deaf = true; // the request goes unanswered
        l.Notify(list);
        QCoreApplication::sendPostedEvents();
        QVERIFY(l.dl.Timer3Active());
        for (int i = 0; i < 8; ++i)
            l.dl.Timer3Tick();
        int requests = 0;
        for (const std::string& s : l.sent)
            requests += s == "b09601b1";
        QCOMPARE(requests, 1 + 5); // the request and five repeats
        QVERIFY(!l.dl.Timer3Active());
    }

    void misnumberedBlockEndsTheTransferAtOnce()
    {
        Loop l;
        l.meter.SetRecords({ Record(1, 2, std::vector<float>(450, 1.0f)), Record(2, 2, std::vector<float>(90, 2.0f)) });
        sim::LoggerFaults f;
        f.faultRecord = 2; // the second record asked for: address 1
        f.wrongBlock = 3; // blocks 1, 2, 4
        l.meter.SetFaults(f);
        QSignalSpy finished(&l.dl, &CLoggerDownload::finished);
        l.dl.Start();
        l.Pump();
        QVERIFY(!l.dl.Running());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished[0][0].toBool(), false);
        QCOMPARE(finished[0][1].toString(), QStringLiteral("Logger download stopped: block 3 of record 1 came numbered 4"));
        QVERIFY(!l.dl.Progress().visible);
        QCOMPARE(l.dl.Records().size(), size_t(1)); // the record that came whole stays
        QCOMPARE(l.dl.Records()[0].address, 2);
        QCOMPARE(l.Requests().back(), std::string("b0a000b1"));

        // live frames flow again (the stalled block's leftovers may cost the first one)
        std::vector<int> modes;
        l.onLive = [&](int mode) { modes.push_back(mode); };
        for (int i = 0; i < 3; ++i)
            l.Notify(FrameBuilder(1).bytes());
        QVERIFY(!modes.empty());
        QVERIFY(!l.disp.m_bLoggerDownload);
    }

    void silentOrLostMeterIsNamedWithItsRecordAndBlock()
    {
        const auto stopAtBlock3 = [](Loop& l, bool dropLink) {
            l.meter.SetRecords({ Record(1, 2, std::vector<float>(450, 1.0f)), Record(2, 2, std::vector<float>(90, 2.0f)) });
            sim::LoggerFaults f;
            f.faultRecord = 2;
            (dropLink ? f.dropLinkBlock : f.silenceBlock) = 3;
            l.meter.SetFaults(f);
            l.dl.Start();
            l.Pump();
        };
        // The meter falls silent: given up after ten seconds without data.
        Loop silent;
        QSignalSpy finished(&silent.dl, &CLoggerDownload::finished);
        stopAtBlock3(silent, false);
        silent.now += 9000;
        silent.dl.StallTick();
        QVERIFY(silent.dl.Running());
        silent.now += 1000;
        silent.dl.StallTick();
        QVERIFY(!silent.dl.Running());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished[0][1].toString(),
            QStringLiteral("Logger download stopped: no data from the meter for 10 seconds at record 1, block 3"));
        QCOMPARE(silent.dl.Records().size(), size_t(1));

        // The link drops: said at once.
        Loop lost;
        QSignalSpy ended(&lost.dl, &CLoggerDownload::finished);
        stopAtBlock3(lost, true);
        QVERIFY(lost.dl.Running());
        lost.dl.OnLinkLost();
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended[0][1].toString(),
            QStringLiteral("Logger download stopped: the link to the meter was lost at record 1, block 3"));

        // Before any record came: the record asked for, or the list.
        Loop early;
        QSignalSpy early1(&early.dl, &CLoggerDownload::finished);
        early.meter.SetRecords({ Record(4, 2, std::vector<float>(10, 1.0f)) });
        early.dl.Start();
        early.dl.OnLinkLost();
        QCOMPARE(early1[0][1].toString(), QStringLiteral("Logger download stopped: the link to the meter was lost before the list came"));
    }

    void emptyListShowsNothing()
    {
        Loop l;
        sim::LoggerFaults f;
        f.emptyList = true;
        l.meter.SetFaults(f);
        QSignalSpy lists(&l.dl, &CLoggerDownload::listReceived);
        QSignalSpy shown(&l.dl, &CLoggerDownload::showRecord);
        QSignalSpy finished(&l.dl, &CLoggerDownload::finished);
        QSignalSpy pane(&l.dl, &CLoggerDownload::showListPane);
        l.dl.Start();
        l.Pump();
        QCOMPARE(l.Requests(), std::vector<std::string>({ "b09500b1", "b0a000b1" }));
        QCOMPARE(lists.count(), 1);
        QVERIFY(lists[0][0].value<std::vector<LoggerListData>>().empty());
        QCOMPARE(shown.count(), 0);
        QCOMPARE(pane.count(), 0);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!l.dl.Running());
        QCOMPARE(l.disp.m_nLoggerListSize.load(), 0);
    }

    void linkDroppedMidTransfer()
    {
        Loop l;
        l.meter.SetRecords(
            { Record(1, 2, std::vector<float>(400, 1.0f)), Record(2, 2, std::vector<float>(400, 1.0f)) });
        sim::LoggerFaults f;
        f.faultRecord = 1;
        f.dropLinkBlock = 3;
        l.meter.SetFaults(f);
        QSignalSpy finished(&l.dl, &CLoggerDownload::finished);
        l.dl.Start();
        l.Pump();
        QVERIFY(l.dl.Running());
        l.meterSeen = false;
        l.dl.OnLinkLost();
        QCOMPARE(finished.count(), 1);
        QVERIFY(finished[0][1].toString().contains("link"));
        QVERIFY(l.dl.Records().empty());
        QCOMPARE(l.disp.m_nLoggerListSize.load(), 0);

        // back on the link: a new download runs from the start and completes
        l.meterSeen = true;
        l.meter.SetFaults({});
        l.text.clear();
        QVERIFY(l.dl.Start());
        l.Pump();
        QCOMPARE(l.dl.Records().size(), size_t(2));
        QVERIFY(!l.dl.Running());
    }

    void unaskedRecordIsShownAtOnce()
    {
        Loop l;
        l.meter.SetRecords({ Record(6, 4, { 2200.0f, 220.0f }, sim::MeterClock { 0, 0, 0, 0, 0, 0 }) });
        QSignalSpy shown(&l.dl, &CLoggerDownload::showRecord);
        QSignalSpy warned(&l.dl, &CLoggerDownload::dateWarning);
        QSignalSpy stop(&l.dl, &CLoggerDownload::stopRecording);
        for (const Bytes& f : l.meter.SendUnasked(0).frames)
            l.pending.push_back(f);
        l.Pump();
        QCOMPARE(shown.count(), 1);
        const LoggerRecord r = shown[0][0].value<LoggerRecord>();
        QCOMPARE(r.address, 0);
        QCOMPARE(r.points.size(), size_t(2));
        QCOMPARE(r.points[0].time, QStringLiteral("10/9/2010 10:10:10"));
        QCOMPARE(warned.count(), 1); // once for the record, not per block
        QCOMPARE(stop.count(), 1);
        QVERIFY(!l.dl.Running());
        QVERIFY(l.dl.ShowRecord(0));
    }

    void recordWithoutBlocksCompletesWithItsHeader()
    {
        Loop l;
        l.meter.SetRecords({ Record(1, 2, {}), Record(2, 2, { 5.0f }) });
        l.dl.Start();
        l.Pump();
        QCOMPARE(l.dl.Records().size(), size_t(2));
        QVERIFY(l.dl.Records()[1].points.empty());
        QVERIFY(!l.dl.Running());
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "test_logger.moc"
