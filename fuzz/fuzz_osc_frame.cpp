// Fuzz target for the oscilloscope frame decoder: the input is one or two frame payloads (510
// bytes each, short ones padded with zeros) decoded one after the other into the same record, as
// a slot keeps its record between frames. Whatever the bytes, every number and text must be
// finite and sound, and the record must survive the file and its JSON image unchanged.
#include "scope/OscDecoder.h"
#include "scope/OscFile.h"
#include "scope/OscJson.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

osc::OscFrame FrameAt(const uint8_t* data, size_t size, size_t offset)
{
    osc::OscFrame f;
    if (offset < size)
        std::memcpy(f.p.data(), data + offset, std::min(size - offset, f.p.size()));
    return f;
}

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool SoundText(const QString& s)
{
    return !s.contains(QLatin1String("inf"), Qt::CaseInsensitive) && !s.contains(QLatin1String("nan"), Qt::CaseInsensitive);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    OSCData rec;
    osc::DecodeFrame(FrameAt(data, size, 0), rec);
    if (size > osc::kPayloadBytes)
        osc::DecodeFrame(FrameAt(data, size, osc::kPayloadBytes), rec);

    const OSCInfo& i = rec.info;
    for (double v : { i.dVoltDiv, i.dVpp, i.dMax, i.dMin, i.dCross1, i.dCross2, i.dPeriod, i.dFreq })
        Check(std::isfinite(v));
    for (float v : rec.fWave)
        Check(std::isfinite(v));
    for (float v : rec.fSpectrum)
        Check(v >= 0 && v <= 255);
    Check(rec.fSpectrum[0] <= 15);
    Check(SoundText(i.strFreq) && SoundText(i.strPeriod) && SoundText(i.strVpp));
    Check(osc::DateTimeText(i).size() < 80);

    // Through the file and back.
    const QByteArray bytes = osc::ToBytes(osc::CurrentFile(rec));
    osc::OscFile back;
    Check(osc::FromBytes(bytes, back));
    // The file keeps three bits of the status; the meter's statuses are 1..4.
    OSCData expected = rec;
    expected.info.nStatus &= 7;
    Check(back.records.size() == 1 && back.records[0] == expected);
    // The JSON image costs most of a run; one input in eight is enough to keep it honest.
    if (size % 8 == 0) {
        osc::OscFile fromJson;
        Check(osc::FileFromJson(osc::FileToJson(back), fromJson));
        Check(osc::ToBytes(fromJson) == bytes);
    }
    return 0;
}
