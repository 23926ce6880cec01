#include "datalog/MLogJson.h"

#include "datalog/DataLogExport.h"
#include "platform/ExactJson.h"

namespace mlog {

namespace {

using namespace exactjson;

void readPoint(CJsonReader& in, CDataSeries& series)
{
    if (in.TryLiteral("null")) {
        series.AppendNull();
        return;
    }
    CKeySet keys { "m_dValue", "m_strUnit", "m_dSampleRate", "m_nIndex", "m_strDateTime", "m_strType", "m_fRange" };
    CObData p;
    in.Object([&](const QString& key) {
        switch (keys.Take(key)) {
        case 0:
            p.m_dValue = in.Double();
            break;
        case 1:
            in.String(p.m_strUnit);
            break;
        case 2:
            p.m_dSampleRate = in.Double();
            break;
        case 3:
            p.m_nIndex = in.Int32();
            break;
        case 4:
            in.String(p.m_strDateTime);
            break;
        case 5:
            in.String(p.m_strType);
            break;
        case 6:
            p.m_fRange = in.Float();
            break;
        default:
            in.Fail(QStringLiteral("unexpected or repeated key \"%1\" in a point").arg(key));
        }
    });
    if (const char* missing = keys.Missing())
        in.Fail(QStringLiteral("a point lacks \"%1\"").arg(QLatin1String(missing)));
    series.Append(p);
}

void readDocument(CJsonReader& in, CDataLog& log)
{
    CKeySet keys { "series", "m_dAverage", "m_dMax", "m_strMaxTime", "m_dMin", "m_strMinTime", "m_dSampleRate",
        "m_dSum", "m_nDataNumber", "m_strStartTime", "m_strEndTime", "m_strType" };
    in.Object([&](const QString& key) {
        switch (keys.Take(key)) {
        case 0: {
            int n = 0;
            in.Array([&] {
                if (n >= CDataLog::kSeriesCount)
                    in.Fail(QStringLiteral("more than three series"));
                CDataSeries& s = log.m_arrSeries[static_cast<size_t>(n++)];
                in.Array([&] { readPoint(in, s); });
            });
            if (n != CDataLog::kSeriesCount)
                in.Fail(QStringLiteral("three series expected"));
            break;
        }
        case 1:
            log.m_dAverage = in.Double();
            break;
        case 2:
            log.m_dMax = in.Double();
            break;
        case 3:
            in.String(log.m_strMaxTime);
            break;
        case 4:
            log.m_dMin = in.Double();
            break;
        case 5:
            in.String(log.m_strMinTime);
            break;
        case 6:
            log.m_dSampleRate = in.Double();
            break;
        case 7:
            log.m_dSum = in.Double();
            break;
        case 8:
            log.m_nDataNumber = in.Int32();
            break;
        case 9:
            in.String(log.m_strStartTime);
            break;
        case 10:
            in.String(log.m_strEndTime);
            break;
        case 11:
            in.String(log.m_strType);
            break;
        default:
            in.Fail(QStringLiteral("unexpected or repeated key \"%1\"").arg(key));
        }
    });
    if (const char* missing = keys.Missing())
        in.Fail(QStringLiteral("the document lacks \"%1\"").arg(QLatin1String(missing)));
    in.ExpectEnd();
}

} // namespace

bool WriteJson(const CDataLog& log, ByteSink sink)
{
    CChunkBuffer buffer(std::move(sink));
    QByteArray& out = buffer.Out();
    out += "{\"series\":[";
    for (int si = 0; si < CDataLog::kSeriesCount; ++si) {
        const CDataSeries& s = log.m_arrSeries[static_cast<size_t>(si)];
        if (si)
            out += ',';
        out += '[';
        for (qsizetype i = 0; i < s.Size(); ++i) {
            if (i)
                out += ',';
            if (!buffer.Spill())
                return false;
            if (s.IsNull(i)) {
                out += "null";
                continue;
            }
            out += '{';
            putKey(out, "m_dValue", true);
            putDouble(out, s.Value(i));
            putKey(out, "m_strUnit");
            putString(out, s.Unit(i));
            putKey(out, "m_dSampleRate");
            putDouble(out, s.SampleRate(i));
            putKey(out, "m_nIndex");
            out += QByteArray::number(s.Index(i));
            putKey(out, "m_strDateTime");
            putString(out, s.DateTimeView(i));
            putKey(out, "m_strType");
            putString(out, s.Type(i));
            putKey(out, "m_fRange");
            putFloat(out, s.Range(i));
            out += '}';
        }
        out += ']';
    }
    out += ']';
    putKey(out, "m_dAverage");
    putDouble(out, log.m_dAverage);
    putKey(out, "m_dMax");
    putDouble(out, log.m_dMax);
    putKey(out, "m_strMaxTime");
    putString(out, log.m_strMaxTime);
    putKey(out, "m_dMin");
    putDouble(out, log.m_dMin);
    putKey(out, "m_strMinTime");
    putString(out, log.m_strMinTime);
    putKey(out, "m_dSampleRate");
    putDouble(out, log.m_dSampleRate);
    putKey(out, "m_dSum");
    putDouble(out, log.m_dSum);
    putKey(out, "m_nDataNumber");
    out += QByteArray::number(log.m_nDataNumber);
    putKey(out, "m_strStartTime");
    putString(out, log.m_strStartTime);
    putKey(out, "m_strEndTime");
    putString(out, log.m_strEndTime);
    putKey(out, "m_strType");
    putString(out, log.m_strType);
    out += '}';
    return buffer.Flush();
}

QByteArray ToJson(const CDataLog& log)
{
    QByteArray out;
    WriteJson(log, [&out](const char* data, qint64 size) {
        out.append(data, size);
        return true;
    });
    return out;
}

bool FromJson(const QByteArray& json, CDataLog& out, QString* why)
{
    CDataLog fresh;
    CJsonReader in(json);
    try {
        readDocument(in, fresh);
    } catch (const JsonError& e) {
        if (why)
            *why = QStringLiteral("%1 at byte %2").arg(e.what).arg(e.offset);
        return false;
    }
    out = std::move(fresh);
    return true;
}

QByteArray ToCsv(const CDataLog& log)
{
    QByteArray out;
    datalog_export::CTextExport csv(log, datalog_export::Format::Csv, [&out](const char* data, qint64 size) {
        out.append(data, size);
        return true;
    });
    csv.Step(csv.Total());
    return out;
}

} // namespace mlog
