#pragma once
// Whole archive files on disk, the safe way: a file is read completely and checked before its
// contents are handed over, and a save goes to a temporary file beside the target that replaces
// it only once everything was written, so a failed save leaves the previous file as it was.
#include "platform/Archive.h"

#include <QString>
#include <functional>

namespace archive {

// Reads the stream: must throw archive::Error on any fault. It reads into fresh objects; the
// caller hands them over only when LoadFile returns true.
using ReadFn = std::function<void(CArchiveReader& ar)>;
// A reader may also throw this when the stream is well formed but not what it expects (a file
// of another kind); `why` completes the sentence "Cannot open <path>: ...".
struct Refusal {
    QString why;
};
using WriteFn = std::function<void(CArchiveWriter& ar)>;

// A folder, device or FIFO is refused before it is opened, for loading and for saving.
// Runs `read` over the whole of `path`, then requires the end of the file. On failure `message`
// gets a one-line text for the user: Cannot open "<path>": <why>.
bool LoadFile(const QString& path, const ReadFn& read, QString* message = nullptr,
    qint64 maxBytes = qint64(1) << 31);
// Runs `read` over the bytes and requires their end; `why` gets the fault on failure.
bool ReadBytes(const QByteArray& bytes, const ReadFn& read, QString* why = nullptr);

// Writes `path` through a temporary file. On failure `message` gets a one-line text for the user
// and the previous file, if any, is unchanged.
bool SaveFile(const QString& path, const WriteFn& write, QString* message = nullptr);
// Writes bytes (an export) to `path` the same safe way.
bool SaveBytes(const QString& path, const QByteArray& bytes, QString* message = nullptr);

// Tests: makes every following SaveFile and SaveBytes fail once `bytes` bytes have been written (negative: off).
void SetSaveFaultForTesting(qint64 bytes);
// The budget set there, for CSafeSave (negative: off).
qint64 SaveFaultBudgetForTesting();

} // namespace archive
