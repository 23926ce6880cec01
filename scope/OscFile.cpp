#include "scope/OscFile.h"

#include "platform/ArchiveFile.h"

#include <cmath>

namespace osc {

namespace {

// Eleven records with long texts stay far below this.
constexpr qint64 kMaxFileBytes = qint64(1) << 26;

void ReadFile(archive::CArchiveReader& ar, OscFile& out)
{
    const int32_t kind = ar.ReadInt32();
    if (kind != KindCurrent && kind != KindAllSlots)
        throw archive::Refusal { QStringLiteral("it is not an oscilloscope file (its kind is %1, not 0 or 1)").arg(kind) };
    OscFile fresh;
    fresh.kind = kind;
    fresh.records.resize(kind == KindAllSlots ? kSlotCount : 1);
    for (OSCData& rec : fresh.records)
        ReadRecord(ar, rec);
    out = std::move(fresh);
}

void WriteFile(archive::CArchiveWriter& ar, const OscFile& file)
{
    ar.WriteInt32(file.kind);
    for (const OSCData& rec : file.records)
        WriteRecord(ar, rec);
}

} // namespace

int32_t PackStatusTrigger(int32_t status, int32_t trigLevel)
{
    // The status has three bits; a larger value must not spill into the level.
    const uint32_t packed = (static_cast<uint32_t>(trigLevel) << 3) | (static_cast<uint32_t>(status) & 7u);
    return static_cast<int32_t>(packed);
}

void UnpackStatusTrigger(int32_t packed, int32_t& status, int32_t& trigLevel)
{
    status = packed & 7;
    // An arithmetic shift, written so that it does not depend on how the compiler shifts
    // negative numbers.
    trigLevel = packed >= 0 ? packed >> 3 : -1 - ((-1 - packed) >> 3);
}

void WriteRecord(archive::CArchiveWriter& ar, const OSCData& d)
{
    const OSCInfo& i = d.info;
    ar.WriteInt32(i.nCoupling);
    ar.WriteInt32(i.nDateOrder);
    ar.WriteInt32(i.nDay);
    ar.WriteInt32(PackStatusTrigger(i.nStatus, i.nTrigLevel));
    ar.WriteDouble(i.dFreq);
    ar.WriteDouble(i.dPeriod);
    ar.WriteInt32(i.nSpare);
    ar.WriteDouble(i.dSpare);
    ar.WriteDouble(i.dMin);
    ar.WriteDouble(i.dMax);
    ar.WriteInt32(i.nHour);
    ar.WriteInt32(i.nMinute);
    ar.WriteInt32(i.nMonth);
    ar.WriteInt32(i.nPage);
    ar.WriteInt32(i.nSecond);
    ar.WriteInt32(i.nSpeed);
    ar.WriteInt32(i.nTimeBase);
    ar.WriteString(i.strSpare);
    ar.WriteString(i.strFreq);
    ar.WriteString(i.strPeriod);
    ar.WriteString(i.strRate);
    ar.WriteString(i.strVoltDiv);
    ar.WriteString(i.strVpp);
    ar.WriteInt32(i.nTrigEdge);
    ar.WriteDouble(i.dVoltDiv);
    ar.WriteDouble(i.dCross1);
    ar.WriteDouble(i.dCross2);
    ar.WriteDouble(i.dVpp);
    ar.WriteInt32(i.nYear);
    ar.WriteString(i.strUnit);
    ar.WriteBool(d.bValid);
    ar.WriteInt32(d.nID);
    for (float v : d.fWave)
        ar.WriteFloat(v);
    for (float v : d.fSpectrum)
        ar.WriteFloat(v);
}

void ReadRecord(archive::CArchiveReader& ar, OSCData& d)
{
    OSCInfo& i = d.info;
    i.nCoupling = ar.ReadInt32();
    i.nDateOrder = ar.ReadInt32();
    i.nDay = ar.ReadInt32();
    UnpackStatusTrigger(ar.ReadInt32(), i.nStatus, i.nTrigLevel);
    i.dFreq = ar.ReadDouble();
    i.dPeriod = ar.ReadDouble();
    i.nSpare = ar.ReadInt32();
    i.dSpare = ar.ReadDouble();
    i.dMin = ar.ReadDouble();
    i.dMax = ar.ReadDouble();
    i.nHour = ar.ReadInt32();
    i.nMinute = ar.ReadInt32();
    i.nMonth = ar.ReadInt32();
    i.nPage = ar.ReadInt32();
    i.nSecond = ar.ReadInt32();
    i.nSpeed = ar.ReadInt32();
    i.nTimeBase = ar.ReadInt32();
    ar.ReadString(i.strSpare);
    ar.ReadString(i.strFreq);
    ar.ReadString(i.strPeriod);
    ar.ReadString(i.strRate);
    ar.ReadString(i.strVoltDiv);
    ar.ReadString(i.strVpp);
    i.nTrigEdge = ar.ReadInt32();
    i.dVoltDiv = ar.ReadDouble();
    i.dCross1 = ar.ReadDouble();
    i.dCross2 = ar.ReadDouble();
    i.dVpp = ar.ReadDouble();
    i.nYear = ar.ReadInt32();
    ar.ReadString(i.strUnit);
    d.bValid = ar.ReadBool();
    d.nID = ar.ReadInt32();
    for (float& v : d.fWave)
        v = ar.ReadFloat();
    for (float& v : d.fSpectrum)
        v = ar.ReadFloat();
    // The marker lines are drawn and dragged from these: a damaged file's infinities and
    // non-numbers become 0 rather than positions nothing can draw.
    for (double* v : { &i.dMax, &i.dMin, &i.dCross1, &i.dCross2 }) {
        if (!std::isfinite(*v))
            *v = 0;
    }
}

QByteArray ToBytes(const OscFile& file)
{
    QByteArray out;
    archive::CArchiveWriter ar(&out);
    WriteFile(ar, file);
    ar.Flush();
    return out;
}

bool FromBytes(const QByteArray& bytes, OscFile& out, QString* why)
{
    OscFile fresh;
    if (!archive::ReadBytes(bytes, [&fresh](archive::CArchiveReader& ar) { ReadFile(ar, fresh); }, why))
        return false;
    out = std::move(fresh);
    return true;
}

bool Load(const QString& path, OscFile& out, QString* message)
{
    OscFile fresh;
    if (!archive::LoadFile(
            path, [&fresh](archive::CArchiveReader& ar) { ReadFile(ar, fresh); }, message, kMaxFileBytes))
        return false;
    out = std::move(fresh);
    return true;
}

bool Save(const QString& path, const OscFile& file, QString* message)
{
    return archive::SaveFile(path, [&file](archive::CArchiveWriter& ar) { WriteFile(ar, file); }, message);
}

OscFile AllSlotsFile(const OscSlots& set)
{
    OscFile f;
    f.kind = KindAllSlots;
    f.records.assign(set.begin(), set.end());
    return f;
}

OscFile CurrentFile(const OSCData& record)
{
    OscFile f;
    f.kind = KindCurrent;
    f.records.push_back(record);
    return f;
}

bool HasStoredRecord(const OscSlots& set)
{
    for (int s = 1; s < kSlotCount; ++s) {
        if (set[static_cast<size_t>(s)].bValid)
            return true;
    }
    return false;
}

QString ProposedFileName(const QDateTime& now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    return QString::asprintf(
        "%d-%d-%d %d-%d-%d.osc", d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

} // namespace osc
