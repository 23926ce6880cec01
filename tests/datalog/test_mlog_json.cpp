// JSON image and CSV table of a data-log document.
#include "datalog/MLogFile.h"
#include "datalog/MLogJson.h"

#include <QtTest>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

double bitsToDouble(quint64 b)
{
    double d;
    std::memcpy(&d, &b, 8);
    return d;
}

float bitsToFloat(quint32 b)
{
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}

} // namespace

class TestMLogJson : public QObject {
    Q_OBJECT
private slots:
    void exactText()
    {
        CDataLog log;
        log.AddPoint(0, 0.1, "mVDC", 0.0, 0, "2024/03/05 10:07:09", "VDC", 6.0f, 0.1f);
        log.m_arrSeries[1].AppendNull();
        const QByteArray expected
            = "{\"series\":[[{\"m_dValue\":0.10000000000000001,\"m_strUnit\":\"mVDC\","
              "\"m_dSampleRate\":0,\"m_nIndex\":0,\"m_strDateTime\":\"2024/03/05 10:07:09\","
              "\"m_strType\":\"VDC\",\"m_fRange\":6}],[null],[]],"
              "\"m_dAverage\":0.10000000000000001,\"m_dMax\":0.10000000000000001,"
              "\"m_strMaxTime\":\"2024/03/05 10:07:09\",\"m_dMin\":0.10000000000000001,"
              "\"m_strMinTime\":\"2024/03/05 10:07:09\",\"m_dSampleRate\":1,"
              "\"m_dSum\":0.10000000000000001,\"m_nDataNumber\":1,"
              "\"m_strStartTime\":\"2024/03/05 10:07:09\",\"m_strEndTime\":\"2024/03/05 10:07:09\","
              "\"m_strType\":\"VDC\"}";
        QCOMPARE(mlog::ToJson(log), expected);
        QCOMPARE(mlog::ToJson(CDataLog()),
            QByteArray("{\"series\":[[],[],[]],\"m_dAverage\":0,\"m_dMax\":-60000,\"m_strMaxTime\":\"\","
                       "\"m_dMin\":60000,\"m_strMinTime\":\"\",\"m_dSampleRate\":1,\"m_dSum\":0,\"m_nDataNumber\":0,"
                       "\"m_strStartTime\":\"\",\"m_strEndTime\":\"\",\"m_strType\":\"\"}"));
    }

    void awkwardValuesRoundTrip()
    {
        const double doubles[] = { -0.0, 5e-324, 1.7976931348623157e308, std::numeric_limits<double>::infinity(),
            -std::numeric_limits<double>::infinity(), bitsToDouble(0x7FF8000000000000ull),
            bitsToDouble(0xFFF8000000000000ull), bitsToDouble(0x7FF0000000000001ull), 1e21, 123456789012345678.0 };
        const float floats[] = { -0.0f, 1.4e-45f, 3.4028235e38f, bitsToFloat(0x7FC00000u), bitsToFloat(0xFFC00001u),
            std::numeric_limits<float>::infinity(), 0.1f, 1e-7f, 16777217.0f, 5.0f };
        const QString texts[] = { QString(), QStringLiteral("\"quoted\" \\ back"),
            QString::fromUtf8("\u00b5A \u03a9 \U0001F600"), QString(QChar(0xD800)) + "lone" + QChar(0xFEFF),
            QStringLiteral("tab\tnl\nnul") + QChar(0) + QChar(0x1F) };
        CDataLog log;
        for (int i = 0; i < 10; ++i)
            log.m_arrSeries[i % 3].Append(CObData(
                doubles[i], texts[i % 5], doubles[9 - i], i - 5, texts[(i + 1) % 5], texts[(i + 2) % 5], floats[i]));
        log.m_dAverage = doubles[7];
        log.m_dMax = doubles[0];
        log.m_strType = texts[3];
        log.m_nDataNumber = std::numeric_limits<qint32>::min();

        const QByteArray json = mlog::ToJson(log);
        CDataLog back;
        QString why;
        QVERIFY2(mlog::FromJson(json, back, &why), qPrintable(why));
        QVERIFY(back.SameStoredContents(log));
        QCOMPARE(mlog::ToBytes(back), mlog::ToBytes(log));
        QVERIFY(json.contains("\"NaN\""));
        QVERIFY(json.contains("\"NaN:0xfff8000000000000\""));
        QVERIFY(json.contains("\"-Infinity\""));
        QVERIFY(json.contains("\\ud800lone"));
        QVERIFY(json.contains("\\u0000"));

        // White space and another key order are fine too.
        QByteArray spaced = json;
        spaced.replace(",", " ,\n ");
        QVERIFY(mlog::FromJson(spaced, back));
        // Escapes in either case of hexadecimal digit.
        QByteArray escaped = mlog::ToJson(CDataLog());
        QVERIFY(escaped.contains("\"m_strType\":\"\""));
        escaped.replace("\"m_strType\":\"\"", "\"m_strType\":\"\\u00B5\\u00b5\\u0041\"");
        QVERIFY(mlog::FromJson(escaped, back));
        QCOMPARE(back.m_strType, QString::fromUtf8("\u00b5\u00b5A"));
    }

    void badJson_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expect");
        const QByteArray stats
            = ",\"m_dAverage\":0,\"m_dMax\":0,\"m_strMaxTime\":\"\",\"m_dMin\":0,\"m_strMinTime\":\"\","
              "\"m_dSampleRate\":1,\"m_dSum\":0,\"m_nDataNumber\":0,\"m_strStartTime\":\"\","
              "\"m_strEndTime\":\"\",\"m_strType\":\"\"}";
        QTest::newRow("two series") << "{\"series\":[[],[]]" + stats << "three series";
        QTest::newRow("missing key") << QByteArray("{\"series\":[[],[],[]]}") << "lacks \"m_dAverage\"";
        QTest::newRow("extra key") << "{\"x\":1,\"series\":[[],[],[]]" + stats << "unexpected";
        QTest::newRow("point lacks") << "{\"series\":[[{\"m_dValue\":1}],[],[]]" + stats << "lacks \"m_strUnit\"";
        QTest::newRow("int too big") << "{\"series\":[[],[],[]]"
                + QByteArray(stats).replace("\"m_nDataNumber\":0", "\"m_nDataNumber\":2147483648")
                                     << "32-bit";
        QTest::newRow("bad number") << "{\"series\":[[],[],[]]"
                + QByteArray(stats).replace("\"m_dSum\":0", "\"m_dSum\":01")
                                    << "expected";
        QTest::newRow("trailing") << "{\"series\":[[],[],[]]" + stats + "x"
                                  << "after";
        QTest::newRow("cut") << QByteArray("{\"series\":[[],[") << "expected";
        // A \u escape is four hexadecimal digits, nothing a number parser would also take.
        for (const char* escape : { "\\u+041", "\\u 041", "\\u-041", "\\u0x41", "\\u04g1", "\\u041" }) {
            QTest::newRow(escape) << "{\"series\":[[],[],[]]"
                    + QByteArray(stats).replace("\"m_strType\":\"\"", "\"m_strType\":\"" + QByteArray(escape) + "\"")
                                  << "\\u escape";
        }
    }
    void badJson()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expect);
        CDataLog log;
        log.m_dSum = 42;
        QString why;
        QVERIFY(!mlog::FromJson(json, log, &why));
        QVERIFY2(why.contains(expect), qPrintable(why));
        QCOMPARE(log.m_dSum, 42.0);
    }

    void csv()
    {
        CDataLog log;
        log.AddPoint(0, 1.25, "VDC", 0, 0, "2024/03/05 10:07:09", "VDC", 6, 1.25f);
        log.AddPoint(0, 500000, "VDC", 0, 1, "t,1", "V\"DC", 6, 7);
        log.m_arrSeries[0].AppendNull();
        log.AddPoint(0, -500000, QString::fromUtf8("\u00b5A"), 0, 3, "t\n3", "VDC", 6, 7);
        log.AddPoint(0, 0.1, "VDC", 0, 4, "t4", "VDC", 6, 0.1f);
        log.AddPoint(1, 3, "VDC", 0, 4, "t4", "Max", 6, 0);
        // Not a number, infinite, absurd: empty, empty, "OL".
        log.AddPoint(0, std::nan(""), "VDC", 0, 5, "t5", "VDC", 6, 0);
        log.AddPoint(0, -INFINITY, "VDC", 0, 6, "t6", "VDC", 6, 0);
        log.AddPoint(0, 1e308, "VDC", 0, 7, "t7", "VDC", 6, 0);
        QCOMPARE(mlog::ToCsv(log),
            QByteArray("index,time,unit,value,type\r\n"
                       "1,2024/03/05 10:07:09,VDC,1.25,VDC\r\n"
                       "2,\"t,1\",VDC,OL,\"V\"\"DC\"\r\n"
                       "4,\"t\n3\",\xc2\xb5"
                       "A,OL,VDC\r\n"
                       "5,t4,VDC,0.1,VDC\r\n"
                       "6,t5,VDC,,VDC\r\n"
                       "7,t6,VDC,,VDC\r\n"
                       "8,t7,VDC,OL,VDC\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestMLogJson)
#include "test_mlog_json.moc"
