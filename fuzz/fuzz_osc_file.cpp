// Fuzz target for the ".osc" reader: any input is either refused or read into records that
// write back to bytes that read again to the same records, and survive the JSON image.
#include "scope/OscFile.h"
#include "scope/OscGraphModel.h"
#include "scope/OscJson.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    osc::OscFile file;
    if (!osc::FromBytes(bytes, file))
        return 0;
    if (file.records.size() != (file.kind == osc::KindAllSlots ? size_t(osc::kSlotCount) : size_t(1)))
        std::abort();
    const QByteArray again = osc::ToBytes(file);
    osc::OscFile back;
    if (!osc::FromBytes(again, back) || back.kind != file.kind || back.records != file.records
        || osc::ToBytes(back) != again)
        std::abort();
    // Whatever the file holds, the graph lays it out and its markers can be taken hold of:
    // positions far away or not numbers must not reach an int unclamped.
    for (const OSCData& d : file.records) {
        COscGraphModel m;
        m.SetClientSize(650, 450);
        m.SetData(d.fWave.data(), OSCData::kWavePoints, d.info);
        m.Layout(false);
        for (int y : { m.YOf(d.info.dMax), m.YOf(d.info.dMin) }) {
            m.LeftDown(QPoint(300, y));
            m.MouseMove(QPoint(300, y + 7));
            m.LeftUp(QPoint(300, y + 7));
        }
        m.Layout(true);
        m.SetData(d.fSpectrum.data(), OSCData::kSpectrumPoints, d.info);
        m.RightDown(QPoint(m.XOf(119), 100));
        m.ReadoutText();
        m.Layout(false);
    }
    // The JSON image costs most of a run; one input in eight is enough to keep it honest.
    osc::OscFile fromJson;
    if (size % 8 == 0 && (!osc::FileFromJson(osc::FileToJson(file), fromJson) || osc::ToBytes(fromJson) != again))
        std::abort();
    return 0;
}
