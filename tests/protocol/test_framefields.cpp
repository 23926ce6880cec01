// Field readers, tables and commands shared by the decoders.
#include "protocol/FrameFields.h"
#include "protocol/MeterCommands.h"
#include "protocol/MeterEventFormat.h"

#include <QTest>
#include <limits>
#include <vector>

class TestFrameFields : public QObject {
    Q_OBJECT
private slots:
    void readers()
    {
        // float: least significant byte first
        QCOMPARE(GetFrameFloat("a0800000803f", 6), 1.0f);
        QCOMPARE(FrameFloatAt("0000c0bf", 0), -1.5f);
        // float bytes beyond the text read as 0
        QCOMPARE(FrameFloatAt("00", 0), 0.0f);

        QCOMPARE(FrameByte("a0ff5z", 1), uint8_t(0xff));
        QCOMPARE(FrameByte("a0ff5z", 2), uint8_t(5));
        QCOMPARE(FrameByte("a0ff5z", 3), uint8_t(0));

        // BCD: stops at the first non-digit
        QCOMPARE(FrameBcd("59", 0), uint8_t(59));
        QCOMPARE(FrameBcd("5a", 0), uint8_t(5));
        QCOMPARE(FrameBcd("a5", 0), uint8_t(0));
        QCOMPARE(FrameBcd("1a", 0), uint8_t(1));
        QCOMPARE(FrameBcd("990", 1), uint8_t(0)); // "0" then past the end
        QCOMPARE(FrameBcd("99", 5), uint8_t(0));

        // unit text: four characters, Latin-1, ends at a zero byte
        QCOMPARE(FrameUnitText("6b6f2020", 0), QStringLiteral("ko  "));
        QCOMPARE(FrameUnitText("56000000", 0), QStringLiteral("V"));
        QCOMPARE(FrameUnitText("b5410000", 0), QString::fromUtf8("\u00b5A"));

        QCOMPARE(FrameTimeText("0000125930", 2), QStringLiteral("12:59:30"));
        QCOMPARE(FrameTimeText("1a", 0), QStringLiteral("1a:00:00"));
    }

    void functionTable()
    {
        QCOMPARE(FunctionName(0), QStringLiteral("TEMP"));
        QCOMPARE(FunctionName(10), QStringLiteral("4-20mA"));
        QCOMPARE(FunctionName(18), QStringLiteral("RESBEEP"));
        QCOMPARE(FunctionName(25), QStringLiteral("DC+AC(uA)"));
        QCOMPARE(FunctionName(31), QStringLiteral("HZ"));
        for (int code : { 19, 20, 26, 30, 32, 33, 34, 255, -1 })
            QVERIFY2(FunctionName(code).isEmpty(), qPrintable(QString::number(code)));
    }

    void unitRules_data()
    {
        QTest::addColumn<int>("rules");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<float>("divisor");
        QTest::addColumn<bool>("capacitance");
        QTest::addColumn<bool>("frequency");
        const int n = int(UnitRules::Normal), mm = int(UnitRules::MinMaxMain), ms = int(UnitRules::MinMaxStat),
                  rel = int(UnitRules::Relative);
        QTest::newRow("ko") << n << " ko " << QStringLiteral("K\u03a9") << 1000.0f << false << false;
        QTest::newRow("Mo") << rel << "Mo" << QStringLiteral("M\u03a9") << 1e6f << false << false;
        QTest::newRow("s") << n << "s   " << QStringLiteral("\u2103") << 1.0f << false << false;
        QTest::newRow("h in stat") << ms << "h" << QStringLiteral("h") << 1.0f << false << false;
        QTest::newRow("o@ normal") << n << "o@" << QStringLiteral("\u03a9") << 1.0f << false << false;
        QTest::newRow("o@ rel") << rel << "o@" << QStringLiteral("o@") << 1.0f << false << false;
        QTest::newRow("VE normal") << n << "VE" << QStringLiteral("V") << 1.0f << false << false;
        QTest::newRow("VE minmax") << mm << "VE" << QStringLiteral("VE") << 1.0f << false << false;
        QTest::newRow("uF normal") << n << "uF" << QStringLiteral("uF") << 1000.0f << true << false;
        QTest::newRow("nF normal") << n << "nF" << QStringLiteral("nF") << 1.0f << true << false;
        QTest::newRow("nF rel") << rel << "nF" << QStringLiteral("nF") << 1.0f << false << false;
        QTest::newRow("mF rel") << rel << "mF" << QStringLiteral("mF") << 1e6f << true << false;
        QTest::newRow("HZ normal") << n << "HZ" << QStringLiteral("HZ") << 1.0f << false << false;
        QTest::newRow("HZ minmax") << mm << "HZ" << QStringLiteral("HZ") << 1.0f << false << true;
        QTest::newRow("kHZ minmax") << mm << "kHZ" << QStringLiteral("kHZ") << 1000.0f << false << true;
        QTest::newRow("kHZ rel") << rel << "kHZ" << QStringLiteral("KHZ") << 1000.0f << false << true;
        QTest::newRow("kHZ stat") << ms << "kHZ" << QStringLiteral("kHZ") << 1000.0f << false << false;
        QTest::newRow("MHZ stat") << ms << "MHZ" << QStringLiteral("MHZ") << 1e6f << false << false;
        QTest::newRow("case matters") << n << "KO" << QStringLiteral("KO") << 1.0f << false << false;
        QTest::newRow("unknown") << rel << " mV " << QStringLiteral("mV") << 1.0f << false << false;
    }
    void unitRules()
    {
        QFETCH(int, rules);
        QFETCH(QString, sent);
        const UnitNormalisation n = NormaliseUnit(sent, UnitRules(rules));
        QTEST(n.unit, "unit");
        QTEST(n.divisor, "divisor");
        QTEST(n.capacitance, "capacitance");
        QTEST(n.frequency, "frequency");
    }

    void dialPositions()
    {
        const std::vector<std::pair<QString, int>> rows = {
            { "uADC", 1 },
            { "mADC", 2 },
            { "ADC", 3 },
            { "\u2109", 4 },
            { "\u2103", 4 },
            { "VAC", 5 },
            { "VDC", 6 },
            { "mVDC", 7 },
            { "mVAC", 7 },
            { "\u03a9", 8 },
            { "K\u03a9", 8 },
            { "M\u03a9", 8 },
            { "uF", 8 },
            { "nF", 8 },
            { "mF", 8 },
        };
        for (const auto& [unit, pos] : rows) {
            QCOMPARE(ClassifyDial(unit, false, 3), pos);
            QCOMPARE(ClassifyDial(unit, true, 3), pos);
        }
        QCOMPARE(ClassifyDial("OSC", false, 6), 11);
        QCOMPARE(ClassifyDial("OSC", true, 6), 10); // the sub-mode row comes first
        QCOMPARE(ClassifyDial("V", true, 6), 10);
        QCOMPARE(ClassifyDial("V", false, 6), 6);
        QCOMPARE(ClassifyDial("dc+ac", false, 0), 0);
    }

    void commands()
    {
        using namespace meter_cmd;
        const std::vector<std::pair<int, Command>> keys = {
            { 1, { 0xB0, 0xA0, 0x00, 0xB1 } },
            { 2, { 0xB0, 0x90, 0x00, 0xB1 } },
            { 3, { 0xB0, 0x91, 0x00, 0xB1 } },
            { 4, { 0xB0, 0x92, 0x00, 0xB1 } },
            { 5, { 0xB0, 0x93, 0x00, 0xB1 } },
            { 6, { 0xB0, 0x94, 0x00, 0xB1 } },
            { 0, { 0xB0, 0xA0, 0x00, 0xB1 } },
            { 7, { 0xB0, 0xA0, 0x00, 0xB1 } },
            { 99, { 0xB0, 0xA0, 0x00, 0xB1 } },
        };
        for (const auto& [code, bytes] : keys)
            QVERIFY2(KeyCodeCommand(code) == bytes, qPrintable(QString::number(code)));

        std::vector<std::vector<uint8_t>> sent;
        CMeterCommander commander([&sent](const uint8_t* b, int n) {
            sent.emplace_back(b, b + n);
            return true;
        });
        QVERIFY(commander.SendKeyCode(3));
        QVERIFY(commander.SendDownloadLogger());
        QVERIFY(commander.SendRequestLoggerRecord(0x2a));
        QVERIFY(commander.SendDownloadOscLogger());
        QVERIFY(commander.SendGetOscCurrent());
        QVERIFY(commander.SendAck());
        const std::vector<std::vector<uint8_t>> expected = {
            { 0xB0, 0x91, 0x00, 0xB1 },
            { 0xB0, 0x95, 0x00, 0xB1 },
            { 0xB0, 0x96, 0x2a, 0xB1 },
            { 0xB0, 0x97, 0x00, 0xB1 },
            { 0xB0, 0x98, 0x00, 0xB1 },
            { 0xF3, 0x00, 0x01, 0xF4 },
        };
        QVERIFY(sent == expected);
        QVERIFY(!CMeterCommander().SendAck()); // nothing to send through
    }

    void eventFormats()
    {
        MeterEvent e;
        e.m_nMode = 1;
        e.m_strDate = QStringLiteral("5/12/26 9:3:7");
        MeterData& d = e.m_data;
        d.m_strFunction = QStringLiteral("VDC");
        d.m_fValue = 1.25f;
        d.m_fLimit = 6.0f;
        d.m_nDecimals = 3;
        d.m_strUnit = QStringLiteral("V");
        QCOMPARE(MeterEventToText(e), std::string("VDC 1.250 V 5/12/26 9:3:7"));
        d.m_fValue = -7.0f;
        d.m_bHold = true;
        QCOMPARE(MeterEventToText(e), std::string("VDC OL V HOLD 5/12/26 9:3:7"));
        e.m_nMode = 7;
        d.m_fValue = 50.0f;
        d.m_strFunction = QString();
        QCOMPARE(MeterEventToText(e), std::string("50.000 V HOLD 5/12/26 9:3:7"));
        QCOMPARE(MeterValueText(e), std::string("50.000"));
        // A value that is no number shows nothing (it printed "nan").
        d.m_fValue = std::numeric_limits<float>::quiet_NaN();
        QCOMPARE(MeterValueText(e), std::string());
        QCOMPARE(MeterEventToText(e), std::string("V HOLD 5/12/26 9:3:7"));
        d.m_fValue = 50.0f;

        // strings escaped, non-finite floats as null
        d.m_strAux = QStringLiteral("a\"\\\x01\u2103");
        d.m_fAux = std::numeric_limits<float>::quiet_NaN();
        d.m_fDuty = -0.1f;
        const std::string json = MeterEventToJson(e);
        QVERIFY(json.find("\"m_fAux\":null,\"m_strAux\":\"a\\\"\\\\\\u0001\xe2\x84\x83\",") != std::string::npos);
        QVERIFY(json.find("\"m_fDuty\":-0.100000001,") != std::string::npos);
    }
};

QTEST_APPLESS_MAIN(TestFrameFields)
#include "test_framefields.moc"
