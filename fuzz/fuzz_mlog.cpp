// Fuzz target for the ".mLog" reader: any input is either refused or read into a document that
// writes back to bytes that read again to the same document, and survives the JSON image.
#include "datalog/MLogFile.h"
#include "datalog/MLogJson.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CDataLog log;
    if (!mlog::FromBytes(bytes, log))
        return 0;
    const QByteArray again = mlog::ToBytes(log);
    CDataLog back;
    if (!mlog::FromBytes(again, back) || !back.SameStoredContents(log) || mlog::ToBytes(back) != again)
        std::abort();
    CDataLog fromJson;
    if (!mlog::FromJson(mlog::ToJson(log), fromJson) || !fromJson.SameStoredContents(log))
        std::abort();
    return 0;
}
