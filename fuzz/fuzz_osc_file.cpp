// Fuzz target for the ".osc" reader: any input is either refused or read into records that
// write back to bytes that read again to the same records, and survive the JSON image.
#include "scope/OscFile.h"
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
    // The JSON image costs most of a run; one input in eight is enough to keep it honest.
    osc::OscFile fromJson;
    if (size % 8 == 0 && (!osc::FileFromJson(osc::FileToJson(file), fromJson) || osc::ToBytes(fromJson) != again))
        std::abort();
    return 0;
}
