#include "link/HexText.h"

#include <QTest>

class TestHexText : public QObject {
    Q_OBJECT
private slots:
    void appendAndConvert()
    {
        HexText t;
        const uint8_t bytes[] = { 0x04, 0xff, 0x0a, 0xA1 };
        t.appendBytes(bytes, 4);
        QCOMPARE(QString::fromStdString(t.str()), QStringLiteral("04ff0aa1"));
        uint8_t out[4];
        HexToBytes(4, out, t.view(), 2);
        QCOMPARE(memcmp(out, bytes, 4), 0);
        // end = 6, count 1: the length byte of an event header
        HexToBytes(1, out, t.view(), 6);
        QCOMPARE(out[0], uint8_t(0x0a));
    }

    void invalidPairsReadTheirValidPart()
    {
        uint8_t out[4];
        HexToBytes(4, out, "5zz3g0", 2);
        QCOMPARE(out[0], uint8_t(5));  // "5z" -> leading valid part
        QCOMPARE(out[1], uint8_t(0));  // "z3" -> nothing valid at the front
        QCOMPARE(out[2], uint8_t(0));  // "g0"
        QCOMPARE(out[3], uint8_t(0));  // past the end
    }

    void consumeKeepsOrderAcrossCompaction()
    {
        HexText t;
        std::string expected;
        uint8_t b = 0;
        for (int round = 0; round < 2000; ++round) {
            for (int i = 0; i < 7; ++i, ++b) {
                t.appendBytes(&b, 1);
                expected += BytesToHex(&b, 1);
            }
            t.consume(10);
            expected.erase(0, 10);
            QCOMPARE(t.str(), expected);
        }
        t.consume(1u << 30);
        QVERIFY(t.empty());
    }
};

QTEST_APPLESS_MAIN(TestHexText)
#include "test_hextext.moc"
