#include "platform/SafeSave.h"

#include "platform/ArchiveFile.h"
#include "platform/FileTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Byte budget of every save that starts while it is set (negative: no fault); see
// archive::SetSaveFaultForTesting.
std::atomic<qint64> g_saveFault { -1 };

// Writes are gathered into pieces this large before they reach the file: small writes stay cheap
// and every piece is still checked on its way out.
constexpr size_t kPiece = size_t(1) << 16;

QString Shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The file a save replaces: a symbolic link is kept and what it points to is written.
QString RealTarget(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

#ifndef Q_OS_WIN
// A file nobody may write to was marked read-only on purpose; even the administrator, whom the
// system lets write anything, does not get it replaced.
bool MarkedReadOnly(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}
#endif

} // namespace

namespace archive {

void SetSaveFaultForTesting(qint64 bytes)
{
    g_saveFault = bytes;
}

} // namespace archive

struct CSafeSave::Impl {
    QString path;     // as the caller named it, for messages
    QString target;   // the file that is replaced
    QFile temp;
    bool existed = false;
    bool opened = false;
    bool committed = false;
    bool failed = false;
    QString error;    // the system's reason for the first failure
    std::vector<char> piece;
    qint64 accepted = 0;
    qint64 budget = -1;

    void Fail(const QString& why)
    {
        if (!failed) {
            failed = true;
            error = why;
        }
    }
    bool Message(QString* message, const QString& why) const
    {
        if (message) {
            *message = QStringLiteral("Cannot save \"%1\": %2.").arg(Shown(path), why);
            if (existed)
                *message += QStringLiteral(" The previous file is unchanged.");
        }
        return false;
    }
    bool Drain()
    {
        if (failed)
            return false;
        size_t done = 0;
        while (done < piece.size()) {
            const qint64 n = temp.write(piece.data() + done, static_cast<qint64>(piece.size() - done));
            if (n <= 0) {
                Fail(temp.errorString());
                break;
            }
            done += static_cast<size_t>(n);
        }
        piece.clear();
        return !failed;
    }
    void Drop()
    {
        if (temp.isOpen())
            temp.close();
        if (opened && !committed && !temp.fileName().isEmpty())
            QFile::remove(temp.fileName());
        opened = false;
    }
    bool Sync()
    {
#ifdef Q_OS_WIN
        const int fd = temp.handle();
        if (fd >= 0 && ::_commit(fd) != 0) {
            Fail(qt_error_string(errno));
            return false;
        }
#else
        if (::fsync(temp.handle()) != 0) {
            Fail(qt_error_string(errno));
            return false;
        }
#endif
        return true;
    }
    bool Replace()
    {
#ifdef Q_OS_WIN
        const QString from = QDir::toNativeSeparators(temp.fileName());
        const QString to = QDir::toNativeSeparators(target);
        if (!::MoveFileExW(reinterpret_cast<const wchar_t*>(from.utf16()),
                reinterpret_cast<const wchar_t*>(to.utf16()),
                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            Fail(qt_error_string(int(::GetLastError())));
            return false;
        }
#else
        if (::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(target).constData()) != 0) {
            Fail(qt_error_string(errno));
            return false;
        }
        // The new name must reach the disk too; a folder that cannot be synced is no fault of
        // the file.
        const int dir = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), O_RDONLY);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
#endif
        return true;
    }
};

CSafeSave::CSafeSave(const QString& path)
    : d(new Impl)
{
    d->path = path;
    d->target = RealTarget(path);
}

CSafeSave::~CSafeSave()
{
    d->Drop();
    delete d;
}

bool CSafeSave::Open(QString* message)
{
    if (d->opened || d->committed)
        return d->Message(message, QStringLiteral("the save was already started"));
    d->existed = QFileInfo::exists(d->target);
    const QString notFile = filetarget::WhyNotSaveTarget(d->path);
    if (!notFile.isEmpty()) {
        d->Fail(notFile);
        return d->Message(message, notFile);
    }
    if (d->existed) {
        const QFileInfo info(d->target);
#ifdef Q_OS_WIN
        const bool readOnly = !info.isWritable();
#else
        const bool readOnly = !info.isWritable() || MarkedReadOnly(d->target);
#endif
        if (readOnly) {
            const QString why = QStringLiteral("the file is read-only");
            d->Fail(why);
            return d->Message(message, why);
        }
    }
    // A name of its own beside the target, so that the rename stays on one file system.
    for (int attempt = 0;; ++attempt) {
        const QString name = QStringLiteral("%1.%2.part")
                                 .arg(d->target)
                                 .arg(QRandomGenerator::global()->generate() & 0xffffff, 6, 16, QLatin1Char('0'));
        d->temp.setFileName(name);
        // Unbuffered: every piece meets the system at once, so its answer is never lost.
        if (d->temp.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (attempt >= 16 || QFileInfo::exists(name) == false) {
            const QString why = d->temp.errorString();
            d->Fail(why);
            return d->Message(message, why);
        }
    }
    d->opened = true;
    d->budget = g_saveFault;
    d->piece.reserve(kPiece);
    return true;
}

bool CSafeSave::Write(const char* data, qint64 size)
{
    if (!d->opened)
        d->Fail(QStringLiteral("the file is not open"));
    if (d->failed)
        return false;
    if (size <= 0)
        return true;
    bool faulted = false;
    if (d->budget >= 0 && d->accepted + size > d->budget) {
        // What a full disk does: the bytes that fit go out, the rest is refused.
        size = d->budget - d->accepted;
        faulted = true;
    }
    d->accepted += size;
    while (size > 0) {
        const size_t room = kPiece - d->piece.size();
        const size_t n = static_cast<size_t>(qMin<qint64>(size, static_cast<qint64>(room)));
        d->piece.insert(d->piece.end(), data, data + n);
        data += n;
        size -= static_cast<qint64>(n);
        if (d->piece.size() == kPiece && !d->Drain())
            return false;
    }
    if (faulted) {
        d->Drain();
        d->Fail(qt_error_string(ENOSPC));
        return false;
    }
    return true;
}

bool CSafeSave::Commit(QString* message)
{
    if (d->committed)
        return true;
    if (!d->opened && !d->failed)
        d->Fail(QStringLiteral("the file is not open"));
    if (!d->failed && d->Drain() && d->Sync()) {
        if (d->existed) {
            // The new file takes the place of the old one: it keeps who may read and write it.
            const QFileDevice::Permissions keep = QFile::permissions(d->target);
            if (keep && !d->temp.setPermissions(keep))
                d->Fail(d->temp.errorString());
        }
        d->temp.close();
        if (!d->failed && d->Replace()) {
            d->committed = true;
            d->opened = false;
            return true;
        }
    }
    d->Drop();
    return d->Message(message, d->error);
}

void CSafeSave::Cancel()
{
    if (d->committed)
        return;
    d->Drop();
    d->Fail(QStringLiteral("the save was cancelled"));
}

bool CSafeSave::Failed() const
{
    return d->failed;
}

QString CSafeSave::ErrorString() const
{
    return d->error;
}

QString CSafeSave::Path() const
{
    return d->path;
}
