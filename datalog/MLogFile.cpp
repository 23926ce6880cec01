#include "datalog/MLogFile.h"

#include "platform/Archive.h"
#include "platform/ArchiveFile.h"

#include <QDir>
#include <algorithm>

namespace mlog {

namespace {

// A recording takes about 82 bytes a point in the file (texts stored twice as wide): a file of
// the most points a document may hold must fit, with room for longer texts.
constexpr qint64 kMaxFileBytes = std::max(qint64(1) << 31, qint64(CDataLog::kMaxLoadPoints) * 128);

// Reads a whole document into `fresh` (its points handed over in pieces when `hand` is given); a
// document past what can be loaded is refused.
void readDocument(archive::CArchiveReader& ar, CDataLog& fresh, const CDataLog::PieceFn& hand = {},
    CDataSeries::CReadyBlocks* ready = nullptr)
{
    try {
        fresh.ReadInPieces(ar, hand, ready);
    } catch (const CDataLogTooLarge& e) {
        if (e.bytes != 0) {
            const quint64 size = static_cast<quint64>(ar.Size());
            throw archive::Refusal { QStringLiteral("its points would take more than %1 bytes of memory, more than "
                                                    "a file of %2 bytes may grow to (it repeats earlier points or "
                                                    "leaves gaps far more often than a recording does)")
                                         .arg(CDataLog::LoadMemoryBound(size))
                                         .arg(size) };
        }
        throw archive::Refusal { QStringLiteral("it holds at least %1 points, and at most %2 can be loaded")
                                     .arg(e.points)
                                     .arg(CDataLog::MaxLoadPoints()) };
    }
}

} // namespace

void SetWriteFaultForTesting(qint64 bytes)
{
    archive::SetSaveFaultForTesting(bytes);
}

QByteArray ToBytes(const CDataLog& log)
{
    QByteArray out;
    archive::CArchiveWriter ar(&out);
    log.Serialize(ar);
    ar.Flush();
    return out;
}

bool FromBytes(const QByteArray& bytes, CDataLog& out, QString* why)
{
    CDataLog fresh;
    if (!archive::ReadBytes(bytes, [&fresh](archive::CArchiveReader& ar) { readDocument(ar, fresh); }, why))
        return false;
    out = std::move(fresh);
    return true;
}

bool Load(const QString& path, CDataLog& out, QString* message)
{
    CDataLog fresh;
    if (!archive::LoadFile(
            path, [&fresh](archive::CArchiveReader& ar) { readDocument(ar, fresh); }, message, kMaxFileBytes))
        return false;
    out = std::move(fresh);
    return true;
}

bool LoadInPieces(const QString& path, CDataLog& statistics, const CDataLog::PieceFn& hand, QString* message,
    CDataSeries::CReadyBlocks* ready)
{
    return archive::LoadFile(
        path, [&](archive::CArchiveReader& ar) { readDocument(ar, statistics, hand, ready); }, message, kMaxFileBytes);
}

bool Save(const QString& path, const CDataLog& log, QString* message)
{
    // A file that could not be opened again is no save.
    const quint64 points = log.PointCount();
    if (points > CDataLog::MaxLoadPoints()) {
        if (message)
            *message = QStringLiteral("Cannot save \"%1\": it holds %2 points, and at most %3 can be opened again.")
                           .arg(QDir::toNativeSeparators(path))
                           .arg(points)
                           .arg(CDataLog::MaxLoadPoints());
        return false;
    }
    return archive::SaveFile(path, [&log](archive::CArchiveWriter& ar) { log.Serialize(ar); }, message);
}

bool SaveBytes(const QString& path, const QByteArray& bytes, QString* message)
{
    return archive::SaveBytes(path, bytes, message);
}

} // namespace mlog
