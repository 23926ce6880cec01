#pragma once
// ".osc" records as JSON, for the command-line tool: every member of OSCData and OSCInfo by its
// name, in declaration order; doubles with 17 significant digits and floats with 9, so that a
// file dumped and built again comes back byte for byte.
//
// Record: {"nID":N,"bValid":B,"fWave":[300 floats],"fSpectrum":[120 floats],"info":{"nStatus":..,
// "strRate":"..",...,"nTrigLevel":..}}. File: {"kind":K,"records":[...]} with eleven records for
// kind 1 and one for kind 0.
#include "scope/OscFile.h"

#include <QByteArray>

namespace osc {

QByteArray RecordToJson(const OSCData& rec);
QByteArray FileToJson(const OscFile& file);
// Keys in any order, every key required, no others. `why` names the fault and its byte offset.
bool FileFromJson(const QByteArray& json, OscFile& out, QString* why = nullptr);

} // namespace osc
