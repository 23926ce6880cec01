#pragma once
// Text forms of a data-log document for other programs: a JSON image that rebuilds the same
// ".mLog" bytes, and a CSV table of the readings.
//
// JSON: {"series":[[P,...],[P,...],[P,...]],"m_dAverage":...,"m_dMax":...,"m_strMaxTime":"...",
// "m_dMin":...,"m_strMinTime":"...","m_dSampleRate":...,"m_dSum":...,"m_nDataNumber":...,
// "m_strStartTime":"...","m_strEndTime":"...","m_strType":"..."} with each point P
// {"m_dValue":...,"m_strUnit":"...","m_dSampleRate":...,"m_nIndex":...,"m_strDateTime":"...",
// "m_strType":"...","m_fRange":...} or null. Doubles carry 17 significant digits, floats 9, so
// every finite number comes back bit for bit. Numbers JSON cannot hold are strings: "Infinity",
// "-Infinity", "NaN" (the plain quiet NaN) and "NaN:0x..." with the exact bits of any other NaN.
// Texts are UTF-8; a lone UTF-16 surrogate is kept as a \u escape.
#include "datalog/DataLog.h"
#include "platform/ChunkBuffer.h"

#include <QByteArray>
#include <QString>

namespace mlog {

QByteArray ToJson(const CDataLog& log);
// The same text handed to `sink` in chunks as it is formatted; false when the sink refused.
bool WriteJson(const CDataLog& log, ByteSink sink);
// Builds a document from ToJson's form (keys in any order, white space allowed, every key
// required, no others). On failure `why` names the fault and its byte offset.
bool FromJson(const QByteArray& json, CDataLog& out, QString* why = nullptr);

// Series 0 as RFC 4180 CSV (CRLF line ends, UTF-8): a header "index,time,unit,value,type" and
// one row per point: 1-based position, time stamp, unit, value, label. Values at or beyond the
// over-range mark (+/-500000) read "OL", values that are not a number or infinite are empty;
// null elements are left out. (datalog_export writes it in chunks.)
QByteArray ToCsv(const CDataLog& log);

} // namespace mlog
