// ".osc" files: the byte layout, the packed status field, long texts, every damaged form
// refused, safe saves, the JSON image and the proposed file name.
#include "OscFrames.h"
#include "platform/ArchiveFile.h"
#include "scope/OscFile.h"
#include "scope/OscJson.h"

#include <QTemporaryDir>
#include <QtTest>
#include <QtEndian>
#include <climits>
#include <sys/stat.h>

namespace {

osc::OscSlots SampleSlots()
{
    osc::OscSlots set;
    osc::DecodeFrame(OscFrameBuilder(0, 1, 4, 7).byte(80, 160), set[0]);
    OscFrameBuilder b(3, 4, 9, 11);
    b.byte(36, 10).date(2023, 7, 14, 8, 5, 1, 1);
    osc::DecodeFrame(b, set[3]);
    set[3].nID = 3;
    set[3].info.strSpare = QStringLiteral("sp\u00e4re \U0001F600");
    set[3].info.dSpare = -0.1;
    set[3].info.nSpare = -7;
    return set;
}

qint32 Int32At(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<qint32>(b.constData() + at);
}

} // namespace

class TestOscFile : public QObject {
    Q_OBJECT
private slots:
    void packedStatusAndTriggerLevel()
    {
        QCOMPARE(osc::PackStatusTrigger(4, -250), -1996);
        int32_t status = 0, level = 0;
        osc::UnpackStatusTrigger(-1996, status, level);
        QCOMPARE(status, 4);
        QCOMPARE(level, -250);
        for (int32_t l : { 0, 1, -1, 1000, -2040000, (INT_MAX >> 3), (INT_MIN >> 3) }) {
            for (int32_t s : { 0, 1, 4, 7 }) {
                osc::UnpackStatusTrigger(osc::PackStatusTrigger(s, l), status, level);
                QCOMPARE(status, s);
                QCOMPARE(level, l);
            }
        }
        // A status beyond three bits does not spill into the level.
        osc::UnpackStatusTrigger(osc::PackStatusTrigger(9, 5), status, level);
        QCOMPARE(level, 5);
    }

    void layoutOfAllSlots()
    {
        const osc::OscSlots set = SampleSlots();
        const QByteArray bytes = osc::ToBytes(osc::AllSlotsFile(set));
        QCOMPARE(Int32At(bytes, 0), 1);
        // An empty record: 15 int32, 9 doubles, 7 empty texts, a bool, 420 floats.
        const qsizetype empty = 15 * 4 + 9 * 8 + 7 * 4 + 1 + 420 * 4;
        QCOMPARE(osc::ToBytes(osc::AllSlotsFile(osc::OscSlots())).size(), 4 + 11 * empty);
        // Slot 0: coupling, date order, day, packed status/level ...
        QCOMPARE(Int32At(bytes, 4 + 8), 5);
        QCOMPARE(Int32At(bytes, 4 + 12), osc::PackStatusTrigger(1, -5400)); // raw level 0: -135 counts
        // ... nID then the samples end the record; the first sample is one division up.
        const qsizetype wave0 = 4 + 15 * 4 + 9 * 8 + 1
            + 4 * 7 + 2 * (set[0].info.strFreq.size() + set[0].info.strPeriod.size() + set[0].info.strRate.size()
                              + set[0].info.strVoltDiv.size() + set[0].info.strVpp.size() + set[0].info.strUnit.size());
        QCOMPARE(qFromLittleEndian<float>(bytes.constData() + wave0), 1.0f);
        QCOMPARE(bytes.mid(wave0 - 5, 1), QByteArray(1, '\x01')); // bValid

        osc::OscFile back;
        QString why;
        QVERIFY2(osc::FromBytes(bytes, back, &why), qPrintable(why));
        QCOMPARE(back.kind, 1);
        QCOMPARE(back.records.size(), size_t(11));
        for (int s = 0; s < 11; ++s)
            QVERIFY(back.records[static_cast<size_t>(s)] == set[static_cast<size_t>(s)]);
        QCOMPARE(back.records[3].info.nTrigLevel, -250000); // -125 counts of 2 mV
        QCOMPARE(back.records[3].info.nStatus, 4);
    }

    void longTextsUseTheLongerLengthForms()
    {
        OSCData rec;
        for (int n : { 254, 255, 65533, 65534, 70000 }) {
            rec.info.strSpare = QString(n, QLatin1Char('x'));
            const QByteArray bytes = osc::ToBytes(osc::CurrentFile(rec));
            const qsizetype spare = 4 + 4 * 12 + 8 * 5; // strSpare comes after 12 int32 and 5 doubles
            QCOMPARE(bytes.mid(spare, 3), QByteArray("\xff\xfe\xff", 3));
            if (n < 255)
                QCOMPARE(quint8(bytes[spare + 3]), quint8(n));
            else if (n < 65534)
                QCOMPARE(bytes.mid(spare + 3, 3), QByteArray("\xff", 1) + QByteArray(1, char(n & 0xff)) + QByteArray(1, char(n >> 8)));
            else
                QCOMPARE(bytes.mid(spare + 3, 3), QByteArray("\xff\xff\xff", 3));
            osc::OscFile back;
            QVERIFY(osc::FromBytes(bytes, back));
            QCOMPARE(back.records.front().info.strSpare.size(), n);
        }
    }

    void damagedFilesAreRefused()
    {
        const QByteArray good = osc::ToBytes(osc::AllSlotsFile(SampleSlots()));
        osc::OscFile out;
        out.kind = 0;
        out.records.resize(1);
        out.records[0].nID = 42;
        QString why;
        // Every truncation, and every extra byte.
        for (qsizetype n = 0; n < good.size(); ++n) {
            if (osc::FromBytes(good.left(n), out, &why))
                QFAIL(qPrintable(QStringLiteral("a file cut at %1 bytes was taken").arg(n)));
        }
        QCOMPARE(out.records.size(), size_t(1));
        QCOMPARE(out.records[0].nID, 42);
        QVERIFY(!osc::FromBytes(good + '\0', out, &why));
        QVERIFY(why.contains(QLatin1String("after the end")));
        const QByteArray single = osc::ToBytes(osc::CurrentFile(SampleSlots()[3]));
        QVERIFY(osc::FromBytes(single, out));
        QVERIFY(!osc::FromBytes(single + single.mid(4), out)); // two records in a kind-0 file
        // Other kinds.
        for (qint32 kind : { 2, -1, 0x7fffffff }) {
            QByteArray foreign = good;
            qToLittleEndian(kind, foreign.data());
            QVERIFY(!osc::FromBytes(foreign, out, &why));
            QVERIFY2(why.contains(QLatin1String("not an oscilloscope file")), qPrintable(why));
        }
        QCOMPARE(out.kind, 0);

        // Marker positions that are no finite number are read as 0; large finite ones are kept.
        OSCData odd = SampleSlots()[3];
        odd.info.dCross1 = std::nan("");
        odd.info.dCross2 = 1e12;
        odd.info.dMax = HUGE_VAL;
        odd.info.dMin = -HUGE_VAL;
        QVERIFY(osc::FromBytes(osc::ToBytes(osc::CurrentFile(odd)), out));
        const OSCInfo& read = out.records[0].info;
        QCOMPARE(read.dCross1, 0.0);
        QCOMPARE(read.dCross2, 1e12);
        QCOMPARE(read.dMax, 0.0);
        QCOMPARE(read.dMin, 0.0);
    }

    void loadAndSaveOnDisk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("set.osc"));
        QString message;
        const osc::OscFile file = osc::AllSlotsFile(SampleSlots());
        QVERIFY2(osc::Save(path, file, &message), qPrintable(message));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        f.close();
        QCOMPARE(saved, osc::ToBytes(file));

        // A save that fails half way leaves the old file as it was.
        archive::SetSaveFaultForTesting(1000);
        QVERIFY(!osc::Save(path, osc::CurrentFile(OSCData()), &message));
        archive::SetSaveFaultForTesting(-1);
        QVERIFY(message.contains(QLatin1String("previous file is unchanged")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), saved);
        f.close();

        osc::OscFile back;
        QVERIFY(osc::Load(path, back, &message));
        QCOMPARE(osc::ToBytes(back), saved);
        QVERIFY(!osc::Load(dir.filePath(QStringLiteral("missing.osc")), back, &message));
        QVERIFY(message.startsWith(QLatin1String("Cannot open")));
        QVERIFY(!osc::Load(dir.path(), back, &message));
    }

    void nonRegularTargetsAreRefused()
    {
        // A FIFO nobody writes to: opening it would wait for ever, replacing it would put a
        // regular file in its place. Both are refused before anything is opened.
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("pipe.osc"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        osc::OscFile back;
        QString message;
        QVERIFY(!osc::Load(fifo, back, &message));
        QCOMPARE(message, QStringLiteral("Cannot open \"%1\": it is not a regular file.").arg(fifo));
        QVERIFY(!osc::Save(fifo, osc::AllSlotsFile(SampleSlots()), &message));
        QVERIFY2(message.contains(QLatin1String("it is not a regular file")), qPrintable(message));
        QVERIFY(!QFileInfo(fifo).isFile());

        const QString folder = dir.filePath(QStringLiteral("folder.osc"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(!osc::Save(folder, osc::AllSlotsFile(SampleSlots()), &message));
        QVERIFY2(message.contains(QLatin1String("it is a folder")), qPrintable(message));
        QVERIFY(QFileInfo(folder).isDir());
    }

    void jsonImageRebuildsTheSameBytes()
    {
        osc::OscSlots set = SampleSlots();
        set[7].fWave[5] = std::numeric_limits<float>::quiet_NaN();
        set[7].info.dFreq = -std::numeric_limits<double>::infinity();
        set[7].info.dPeriod = 0.1 + 0.2;
        const osc::OscFile file = osc::AllSlotsFile(set);
        const QByteArray json = osc::FileToJson(file);
        QVERIFY(json.startsWith("{\"kind\":1,\"records\":[{\"nID\":0,\"bValid\":true,\"fWave\":[1,0,"));
        QVERIFY(json.contains("\"info\":{\"nStatus\":1,\"strRate\":\"5mS/div\",\"nTimeBase\":4,"));
        QVERIFY(json.contains("\"dPeriod\":0.30000000000000004"));
        osc::OscFile back;
        QString why;
        QVERIFY2(osc::FileFromJson(json, back, &why), qPrintable(why));
        QCOMPARE(osc::ToBytes(back), osc::ToBytes(file));

        QVERIFY(!osc::FileFromJson("{\"kind\":0,\"records\":[]}", back, &why));
        QVERIFY(why.contains(QLatin1String("needs 1 records")));
        QVERIFY(!osc::FileFromJson("{\"kind\":2,\"records\":[]}", back, &why));
        QByteArray missing = json;
        missing.replace("\"nTrigLevel\":0", "\"nTrigLevelX\":0");
        QVERIFY(!osc::FileFromJson(missing, back, &why));
    }

    void proposedFileName()
    {
        QCOMPARE(osc::ProposedFileName(QDateTime(QDate(2024, 3, 5), QTime(10, 7, 9))),
            QStringLiteral("2024-3-5 10-7-9.osc"));
        QCOMPARE(osc::ProposedFileName(QDateTime(QDate(2025, 12, 31), QTime(23, 59, 0))),
            QStringLiteral("2025-12-31 23-59-0.osc"));
    }
};

QTEST_GUILESS_MAIN(TestOscFile)
#include "test_osc_file.moc"
