#include "scope/OscJson.h"

#include "platform/ExactJson.h"

namespace osc {

namespace {

using namespace exactjson;

// The members of OSCInfo in declaration order, with their types.
struct InfoField {
    const char* name;
    int32_t OSCInfo::*i;
    double OSCInfo::*d;
    QString OSCInfo::*s;
};

#define OSC_INT(m) { #m, &OSCInfo::m, nullptr, nullptr }
#define OSC_DBL(m) { #m, nullptr, &OSCInfo::m, nullptr }
#define OSC_STR(m) { #m, nullptr, nullptr, &OSCInfo::m }
const InfoField kInfoFields[] = {
    OSC_INT(nStatus),
    OSC_STR(strRate),
    OSC_INT(nTimeBase),
    OSC_DBL(dVoltDiv),
    OSC_STR(strVoltDiv),
    OSC_DBL(dVpp),
    OSC_STR(strVpp),
    OSC_INT(nSpare),
    OSC_INT(nSpeed),
    OSC_INT(nPage),
    OSC_INT(nCoupling),
    OSC_INT(nTrigEdge),
    OSC_DBL(dMax),
    OSC_DBL(dMin),
    OSC_DBL(dCross1),
    OSC_DBL(dCross2),
    OSC_STR(strUnit),
    OSC_DBL(dPeriod),
    OSC_STR(strPeriod),
    OSC_DBL(dFreq),
    OSC_STR(strFreq),
    OSC_DBL(dSpare),
    OSC_STR(strSpare),
    OSC_INT(nYear),
    OSC_INT(nMonth),
    OSC_INT(nDay),
    OSC_INT(nHour),
    OSC_INT(nMinute),
    OSC_INT(nSecond),
    OSC_INT(nDateOrder),
    OSC_INT(nTrigLevel),
};
#undef OSC_INT
#undef OSC_DBL
#undef OSC_STR
constexpr int kInfoFieldCount = sizeof(kInfoFields) / sizeof(kInfoFields[0]);

void PutInfo(QByteArray& out, const OSCInfo& info)
{
    out += '{';
    for (int k = 0; k < kInfoFieldCount; ++k) {
        const InfoField& f = kInfoFields[k];
        putKey(out, f.name, k == 0);
        if (f.i)
            out += QByteArray::number(info.*f.i);
        else if (f.d)
            putDouble(out, info.*f.d);
        else
            putString(out, info.*f.s);
    }
    out += '}';
}

void PutRecord(QByteArray& out, const OSCData& rec)
{
    out += '{';
    putKey(out, "nID", true);
    out += QByteArray::number(rec.nID);
    putKey(out, "bValid");
    out += rec.bValid ? "true" : "false";
    putKey(out, "fWave");
    out += '[';
    for (size_t k = 0; k < rec.fWave.size(); ++k) {
        if (k)
            out += ',';
        putFloat(out, rec.fWave[k]);
    }
    out += ']';
    putKey(out, "fSpectrum");
    out += '[';
    for (size_t k = 0; k < rec.fSpectrum.size(); ++k) {
        if (k)
            out += ',';
        putFloat(out, rec.fSpectrum[k]);
    }
    out += ']';
    putKey(out, "info");
    PutInfo(out, rec.info);
    out += '}';
}

void ReadInfo(CJsonReader& in, OSCInfo& info)
{
    quint64 seen = 0;
    in.Object([&](const QString& key) {
        int k = 0;
        while (k < kInfoFieldCount && key != QLatin1String(kInfoFields[k].name))
            ++k;
        if (k == kInfoFieldCount || (seen & (quint64(1) << k)))
            in.Fail(QStringLiteral("unexpected or repeated key \"%1\" in info").arg(key));
        seen |= quint64(1) << k;
        const InfoField& f = kInfoFields[k];
        if (f.i)
            info.*f.i = in.Int32();
        else if (f.d)
            info.*f.d = in.Double();
        else
            in.String(info.*f.s);
    });
    for (int k = 0; k < kInfoFieldCount; ++k) {
        if (!(seen & (quint64(1) << k)))
            in.Fail(QStringLiteral("info lacks \"%1\"").arg(QLatin1String(kInfoFields[k].name)));
    }
}

template <size_t N> void ReadFloats(CJsonReader& in, std::array<float, N>& values, const char* name)
{
    size_t n = 0;
    in.Array([&] {
        if (n >= N)
            in.Fail(QStringLiteral("\"%1\" holds more than %2 values").arg(QLatin1String(name)).arg(N));
        values[n++] = in.Float();
    });
    if (n != N)
        in.Fail(QStringLiteral("\"%1\" holds %2 values, not %3").arg(QLatin1String(name)).arg(n).arg(N));
}

void ReadRecordJson(CJsonReader& in, OSCData& rec)
{
    CKeySet keys { "nID", "bValid", "fWave", "fSpectrum", "info" };
    in.Object([&](const QString& key) {
        switch (keys.Take(key)) {
        case 0:
            rec.nID = in.Int32();
            break;
        case 1:
            if (in.TryLiteral("true"))
                rec.bValid = true;
            else if (in.TryLiteral("false"))
                rec.bValid = false;
            else
                in.Fail(QStringLiteral("true or false expected"));
            break;
        case 2:
            ReadFloats(in, rec.fWave, "fWave");
            break;
        case 3:
            ReadFloats(in, rec.fSpectrum, "fSpectrum");
            break;
        case 4:
            ReadInfo(in, rec.info);
            break;
        default:
            in.Fail(QStringLiteral("unexpected or repeated key \"%1\" in a record").arg(key));
        }
    });
    if (const char* missing = keys.Missing())
        in.Fail(QStringLiteral("a record lacks \"%1\"").arg(QLatin1String(missing)));
}

} // namespace

QByteArray RecordToJson(const OSCData& rec)
{
    QByteArray out;
    out.reserve(8192);
    PutRecord(out, rec);
    return out;
}

QByteArray FileToJson(const OscFile& file)
{
    QByteArray out = "{\"kind\":" + QByteArray::number(file.kind) + ",\"records\":[";
    for (size_t k = 0; k < file.records.size(); ++k) {
        if (k)
            out += ',';
        out += RecordToJson(file.records[k]);
    }
    out += "]}";
    return out;
}

bool FileFromJson(const QByteArray& json, OscFile& out, QString* why)
{
    OscFile fresh;
    try {
        CJsonReader in(json);
        CKeySet keys { "kind", "records" };
        bool kindSeen = false;
        in.Object([&](const QString& key) {
            switch (keys.Take(key)) {
            case 0:
                fresh.kind = in.Int32();
                kindSeen = true;
                if (fresh.kind != KindCurrent && fresh.kind != KindAllSlots)
                    in.Fail(QStringLiteral("kind must be 0 or 1"));
                break;
            case 1:
                in.Array([&] {
                    if (fresh.records.size() >= static_cast<size_t>(kSlotCount))
                        in.Fail(QStringLiteral("more than eleven records"));
                    fresh.records.emplace_back();
                    ReadRecordJson(in, fresh.records.back());
                });
                break;
            default:
                in.Fail(QStringLiteral("unexpected or repeated key \"%1\"").arg(key));
            }
        });
        if (const char* missing = keys.Missing())
            in.Fail(QStringLiteral("the file lacks \"%1\"").arg(QLatin1String(missing)));
        const size_t expected = fresh.kind == KindAllSlots ? kSlotCount : 1;
        if (kindSeen && fresh.records.size() != expected)
            in.Fail(QStringLiteral("kind %1 needs %2 records, not %3").arg(fresh.kind).arg(expected).arg(fresh.records.size()));
        in.ExpectEnd();
    } catch (const JsonError& e) {
        if (why)
            *why = QStringLiteral("%1 at byte %2").arg(e.what).arg(e.offset);
        return false;
    }
    out = std::move(fresh);
    return true;
}

} // namespace osc
