#pragma once
// ".mLog" files: a data-log document in the object archive, with no header of its own.
//
// Loading reads into a fresh object and hands it over only when the whole file was good; a
// damaged or foreign file is refused with a message that names the file and the fault. Saving
// goes through a temporary file beside the target that replaces it only once complete, so a
// failed save leaves the previous file as it was.
#include "datalog/DataLog.h"

#include <QByteArray>
#include <QString>

namespace mlog {

// The document's stored form.
QByteArray ToBytes(const CDataLog& log);
// Parses a whole stored document; nothing may follow it. On failure `why` says what is wrong.
bool FromBytes(const QByteArray& bytes, CDataLog& out, QString* why = nullptr);

// Reads `path` into `out`, which is left untouched when the file cannot be used. `message` gets a
// one-line text for the user.
bool Load(const QString& path, CDataLog& out, QString* message = nullptr);
// Reads `path` handing its points over in pieces (CDataLog::ReadInPieces) and the statistics
// stored after them to `statistics`; the same checks and messages as Load. A piece handed over
// before a fault is found stays with whoever took it.
bool LoadInPieces(const QString& path, CDataLog& statistics, const CDataLog::PieceFn& hand, QString* message = nullptr,
    CDataSeries::CReadyBlocks* ready = nullptr);
// Writes `log` to `path` safely. `message` gets a one-line text for the user on failure.
bool Save(const QString& path, const CDataLog& log, QString* message = nullptr);

// Writes bytes (an export) to `path` the same safe way as Save.
bool SaveBytes(const QString& path, const QByteArray& bytes, QString* message = nullptr);

// Tests: makes every following Save and SaveBytes fail once `bytes` bytes have been written (negative:
// off). It is the switch of archive::SetSaveFaultForTesting, so .osc saves fail too.
void SetWriteFaultForTesting(qint64 bytes);

} // namespace mlog
