// The object archive: byte-exact encodings and the refusal of damaged input.
#include "platform/Archive.h"

#include <QBuffer>
#include <QtTest>

using archive::CArchiveReader;
using archive::CArchiveWriter;
using archive::Cause;

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

template <typename Fn> QByteArray written(Fn fn)
{
    QByteArray out;
    CArchiveWriter ar(&out);
    fn(ar);
    ar.Flush();
    return out;
}

template <typename Fn> Cause failure(const QByteArray& bytes, Fn fn)
{
    CArchiveReader ar(bytes);
    ar.RegisterClass({ "CObData", 1 });
    try {
        fn(ar);
    } catch (const archive::Error& e) {
        return e.cause();
    }
    return Cause::WriteFailed; // stands for "no failure"
}

} // namespace

class TestArchive : public QObject {
    Q_OBJECT
private slots:
    void numbers()
    {
        const QByteArray b = written([](CArchiveWriter& ar) {
            ar.WriteInt32(-2);
            ar.WriteUInt16(0x1234);
            ar.WriteDouble(1.0);
            ar.WriteFloat(-2.5f);
            ar.WriteBool(true);
        });
        QCOMPARE(b,
            hex("feffffff"
                "3412"
                "000000000000f03f"
                "000020c0"
                "01"));
        CArchiveReader ar(b);
        QCOMPARE(ar.ReadInt32(), -2);
        QCOMPARE(ar.ReadUInt16(), quint16(0x1234));
        QCOMPARE(ar.ReadDouble(), 1.0);
        QCOMPARE(ar.ReadFloat(), -2.5f);
        QCOMPARE(ar.ReadBool(), true);
        QVERIFY(ar.AtEnd());
    }

    void stringForms_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("head");
        QTest::newRow("empty") << 0 << hex("fffeff00");
        QTest::newRow("254") << 254 << hex("fffefffe");
        QTest::newRow("255") << 255 << hex("fffeffffff00");
        QTest::newRow("65533") << 65533 << hex("fffefffffdff");
        QTest::newRow("65534") << 65534
                               << hex("fffeffffffff"
                                      "feff0000");
        QTest::newRow("70000") << 70000
                               << hex("fffeffffffff"
                                      "70110100");
    }
    void stringForms()
    {
        QFETCH(int, length);
        QFETCH(QByteArray, head);
        QString s(length, QChar(0x20AC));
        if (length)
            s[length - 1] = QLatin1Char('z');
        const QByteArray b = written([&](CArchiveWriter& ar) { ar.WriteString(s); });
        QCOMPARE(b.left(head.size()), head);
        QCOMPARE(b.size(), head.size() + 2 * length);
        CArchiveReader ar(b);
        QCOMPARE(ar.ReadString(), s);
        QVERIFY(ar.AtEnd());
        // One byte short: refused as too long for the data, nothing allocated from the length.
        QCOMPARE(failure(b.chopped(1), [](CArchiveReader& r) { r.ReadString(); }),
            length ? Cause::BadLength : Cause::EndOfFile);
    }

    void singleByteStrings()
    {
        const QByteArray bytes = hex("04"
                                     "61809fff"
                                     "ff0001")
            + QByteArray(256, 'x');
        CArchiveReader ar(bytes);
        QCOMPARE(ar.ReadString(), QString::fromUtf8("a\u20ac\u0178\u00ff"));
        QCOMPARE(ar.ReadString(), QString(256, QLatin1Char('x')));
        QVERIFY(ar.AtEnd());
        QCOMPARE(archive::DecodeWindows1252("\x81\x8d\x8f\x90\x9d\x99", 6),
            QString::fromUtf8("\u0081\u008d\u008f\u0090\u009d\u2122"));
    }

    void hostileLengths()
    {
        // A 64-bit length and a 32-bit count far beyond the data.
        QCOMPARE(failure(hex("fffeffffffffffffffffffffffffffffffff41"), [](CArchiveReader& r) { r.ReadString(); }),
            Cause::BadLength);
        QCOMPARE(failure(hex("ffffffffff7f0000"), [](CArchiveReader& r) { r.ReadCount(); }), Cause::BadCount);
        QCOMPARE(failure(hex("0300"
                             "0000"
                             "0000"),
                     [](CArchiveReader& r) { r.ReadCount(); }),
            Cause::BadCount);
        QCOMPARE(failure(hex("ff"), [](CArchiveReader& r) { r.ReadUInt16(); }), Cause::EndOfFile);
    }

    void counts()
    {
        const QByteArray b = written([](CArchiveWriter& ar) {
            ar.WriteCount(0xFFFE);
            ar.WriteCount(0xFFFF);
            ar.WriteCount(70000);
        });
        QCOMPARE(b,
            hex("feff"
                "ffffffff0000"
                "ffff70110100"));
    }

    void objectTags()
    {
        const archive::ClassInfo point { "CObData", 1 };
        const archive::ClassInfo other { "COther", 3 };
        quint32 n1 = 0, n2 = 0, n3 = 0;
        const QByteArray b = written([&](CArchiveWriter& ar) {
            n1 = ar.WriteNewObject(point);
            n2 = ar.WriteNewObject(point);
            ar.WriteNullObject();
            n3 = ar.WriteNewObject(other);
            ar.WriteObjectReference(n2);
            ar.WriteObjectReference(0x12345);
        });
        QCOMPARE(b,
            hex("ffff01000700434f6244617461"
                "0180"
                "0000"
                "ffff03000600434f74686572"
                "0300"
                "ff7f45230100"));
        QCOMPARE(n1, 2u); // class 1, object 2
        QCOMPARE(n2, 3u);
        QCOMPARE(n3, 5u); // class 4, object 5

        // Reading back: the numbering is shared by classes and objects.
        const QByteArray written = b.chopped(6);
        CArchiveReader ar(written);
        const int p = ar.RegisterClass(point);
        const int o = ar.RegisterClass(other);
        using Tag = CArchiveReader::ObjectTag;
        Tag t = ar.ReadObjectTag();
        QVERIFY(t.kind == Tag::NewObject && t.classId == p && t.number == 2);
        t = ar.ReadObjectTag();
        QVERIFY(t.kind == Tag::NewObject && t.classId == p && t.number == 3);
        QVERIFY(ar.ReadObjectTag().kind == Tag::Null);
        t = ar.ReadObjectTag();
        QVERIFY(t.kind == Tag::NewObject && t.classId == o && t.number == 5);
        t = ar.ReadObjectTag();
        QVERIFY(t.kind == Tag::Reference && t.classId == p && t.number == 3);
        QVERIFY(ar.AtEnd());
    }

    void bigTags()
    {
        // 0x7FFF with a 32-bit class reference (top bit) and with an object reference.
        const QByteArray bytes = hex("ffff01000700434f6244617461"
                                     "ff7f01000080"
                                     "ff7f03000000"
                                     "ff7f00000000");
        CArchiveReader ar(bytes);
        ar.RegisterClass({ "CObData", 1 });
        using Tag = CArchiveReader::ObjectTag;
        QVERIFY(ar.ReadObjectTag().number == 2);
        const Tag t = ar.ReadObjectTag();
        QVERIFY(t.kind == Tag::NewObject && t.number == 3);
        const Tag r = ar.ReadObjectTag();
        QVERIFY(r.kind == Tag::Reference && r.number == 3);
        QVERIFY(ar.ReadObjectTag().kind == Tag::Null);
    }

    void badTags_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("cause");
        const QByteArray cls = hex("ffff01000700434f6244617461");
        QTest::newRow("schema 2") << hex("ffff02000700434f6244617461") << int(Cause::BadSchema);
        QTest::newRow("unknown class") << hex("ffff01000500434f626a58") << int(Cause::BadClass);
        QTest::newRow("name of 64") << hex("ffff01004000") + QByteArray(64, 'A') << int(Cause::BadClass);
        QTest::newRow("name cut") << hex("ffff01000700434f62") << int(Cause::EndOfFile);
        QTest::newRow("class ref before any") << hex("0180") << int(Cause::BadIndex);
        QTest::newRow("class 0") << hex("0080") << int(Cause::BadIndex);
        QTest::newRow("object ref ahead") << cls + hex("0300") << int(Cause::BadIndex);
        QTest::newRow("object ref to class") << cls + hex("0100") << int(Cause::BadIndex);
        QTest::newRow("class ref to object") << cls + hex("0280") << int(Cause::BadIndex);
        QTest::newRow("big ref ahead") << cls + hex("ff7f09000000") << int(Cause::BadIndex);
    }
    void badTags()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, cause);
        const Cause got = failure(bytes, [](CArchiveReader& r) {
            while (!r.AtEnd())
                r.ReadObjectTag();
        });
        QCOMPARE(int(got), cause);
    }

    void smallWindowStreaming()
    {
        // Values straddling the window edge, and a text longer than the window.
        const QString longText(300, QChar(0x3A9));
        QByteArray bytes;
        {
            CArchiveWriter ar(&bytes);
            for (int i = 0; i < 50; ++i) {
                ar.WriteDouble(i + 0.5);
                ar.WriteString(i % 7 ? QStringLiteral("ab") : longText);
                ar.WriteUInt16(quint16(i));
            }
            ar.Flush();
        }
        QBuffer device(&bytes);
        QVERIFY(device.open(QIODevice::ReadOnly));
        CArchiveReader ar(&device, 64);
        for (int i = 0; i < 50; ++i) {
            QCOMPARE(ar.ReadDouble(), i + 0.5);
            QCOMPARE(ar.ReadString(), i % 7 ? QStringLiteral("ab") : longText);
            QCOMPARE(ar.ReadUInt16(), quint16(i));
        }
        QVERIFY(ar.AtEnd());
        QCOMPARE(ar.Position(), bytes.size());

        // Cut short: the same refusal as from memory.
        QByteArray cut = bytes.left(bytes.size() - 1);
        QBuffer shortDevice(&cut);
        QVERIFY(shortDevice.open(QIODevice::ReadOnly));
        CArchiveReader r(&shortDevice, 64);
        try {
            for (int i = 0; i < 50; ++i) {
                r.ReadDouble();
                r.ReadString();
                r.ReadUInt16();
            }
            QFAIL("no error");
        } catch (const archive::Error& e) {
            QCOMPARE(e.cause(), Cause::EndOfFile);
        }
    }

    void writeFailure()
    {
        QBuffer closed; // not open: every write fails
        CArchiveWriter ar(&closed, 64);
        ar.WriteString(QStringLiteral("abc"));
        try {
            ar.WriteString(QString(100, QLatin1Char('x')));
            ar.Flush();
            QFAIL("no error");
        } catch (const archive::Error& e) {
            QCOMPARE(e.cause(), Cause::WriteFailed);
            QCOMPARE(e.offset(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestArchive)
#include "test_archive.moc"
