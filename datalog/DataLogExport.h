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

// An export to a file: the target is replaced only when the export is complete.
class CExportFile {
public:
    virtual ~CExportFile() = default; // an unfinished export leaves the target as it was
    // Opens `path` for `log` in `format`. Null with a one-line `message` when the target cannot
    // be written or (".xls") the document holds no reading.
    static std::unique_ptr<CExportFile> Open(
        const QString& path, const CDataLog& log, Format format, QString* message = nullptr);
    // Writes up to `points` more readings; false on failure (Finish then says why).
    virtual bool Step(qsizetype points) = 0;
    virtual bool AtEnd() const = 0;
    virtual qsizetype Done() const = 0;
    virtual qsizetype Total() const = 0;
    // After the last Step, on the thread that reads the document: hands on the last bytes.
    // False with `message` (and the file dropped) when something failed or the document lost
    // points under the export.
    virtual bool Complete(QString* message = nullptr) = 0;
    // Then puts the file in place of the target. Reads nothing of the document, so it may run
    // on a worker thread; `stop` set meanwhile leaves the target as it was.
    virtual bool Commit(QString* message = nullptr, const std::atomic<bool>* stop = nullptr) = 0;
    // Both.
    bool Finish(QString* message = nullptr) { return Complete(message) && Commit(message); }
};

// The whole export in one go.
bool WriteExport(const QString& path, const CDataLog& log, Format format, QString* message = nullptr);

} // namespace datalog_export
