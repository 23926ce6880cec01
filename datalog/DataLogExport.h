#pragma once
// The exports of a data-log document's readings (series 0), formatted a slice of points at a
// time so that a document of any size is written with a small, fixed amount of extra memory and
// the window can show progress and stop between slices:
// - Xls: the tab-separated UTF-16LE text named ".xls" (bytes FF FE, CR LF line ends): the
//   summary lines, a header, one line per reading;
// - Csv: RFC 4180, UTF-8: "index,time,unit,value,type" and one row per reading (the index is
//   the position in the series);
// - Xlsx: a workbook with the summary lines at the top, numbers as numbers and time stamps as
//   date-time cells.
// Values follow datalog_text::ValueText's rule everywhere: not a number or infinite -> empty,
// at or beyond the over-range mark -> "OL".
#include "datalog/DataLog.h"
#include "platform/ChunkBuffer.h"
#include "platform/Exporter.h"

#include <QString>
#include <atomic>
#include <memory>

namespace datalog_export {

enum class Format { Xls, Csv, Xlsx };
// By the file name's extension: ".csv", ".xlsx", anything else the ".xls" text.
Format FormatOf(const QString& path);

// Xls or Csv text handed to a sink in chunks.
class CTextExport {
public:
    CTextExport(const CDataLog& log, Format format, ByteSink sink);
    // No reading to export (the ".xls" text is then not written at all).
    bool IsEmpty() const { return m_total == 0; }
    // Readings in all, and how many are written.
    qsizetype Total() const { return m_total; }
    qsizetype Done() const { return m_done; }
    bool AtEnd() const { return m_next > m_last; }
    // Writes the header (first call) and up to `points` more readings; after the last one
    // everything is handed to the sink. False when the sink refused or the series shrank.
    bool Step(qsizetype points);

private:
    void Header();
    void Row(qsizetype i);

    const CDataLog& m_log;
    Format m_format;
    CChunkBuffer m_out;
    QString m_line;
    qsizetype m_next = 0; // position in series 0
    qsizetype m_last = -1; // last non-null position
    qsizetype m_total = 0;
    qsizetype m_done = 0;
    int m_number = 0;
    bool m_started = false;
};

// An export of a data-log document to a file (one implementation per format): the target is
// replaced only when the export is complete.
class CExportFile : public IExporter {
public:
    // Opens `path` for `log` in `format`. Null with a one-line `message` when the target cannot
    // be written or (".xls") the document holds no reading.
    static std::unique_ptr<CExportFile> Open(
        const QString& path, const CDataLog& log, Format format, QString* message = nullptr);
};

// The whole export in one go.
bool WriteExport(const QString& path, const CDataLog& log, Format format, QString* message = nullptr);

} // namespace datalog_export
