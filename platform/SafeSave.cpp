#include "platform/SafeSave.h"

#include "platform/ArchiveFile.h"
#include "platform/FileTarget.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <memory>

struct CSafeSave::Impl {
    QString path;
    std::unique_ptr<QSaveFile> file;
    bool existed = false;
    bool failed = false;
    bool done = false;
    QString error;
    qint64 budget = -1; // bytes a test lets through before the disk is "full"

    QString Message(const QString& why) const
    {
        QString m = QStringLiteral("Cannot save \"%1\": %2.").arg(QDir::toNativeSeparators(path), why);
        if (existed)
            m += QStringLiteral(" The previous file is unchanged.");
        return m;
    }
    bool Fail(const QString& why)
    {
        if (!failed) {
            failed = true;
            error = why;
        }
        return false;
    }
};

CSafeSave::CSafeSave(const QString& path)
    : d(new Impl)
{
    d->path = path;
}

CSafeSave::~CSafeSave()
{
    Cancel();
    delete d;
}

bool CSafeSave::Open(QString* message)
{
    auto fail = [&](const QString& why) {
        d->Fail(why);
        if (message)
            *message = d->Message(why);
        return false;
    };
    if (d->file || d->done)
        return fail(QStringLiteral("the file is already being written"));
    const QFileInfo info(d->path); // follows symbolic links
    d->existed = info.exists();
    const QString notFile = filetarget::WhyNotSaveTarget(d->path);
    if (!notFile.isEmpty())
        return fail(notFile);
    if (d->existed && !info.isWritable())
        return fail(qt_error_string(EACCES));
    // A link is kept: the file it points to is replaced.
    const QString target = info.isSymLink() ? info.symLinkTarget() : d->path;
    d->file = std::make_unique<QSaveFile>(target);
    if (!d->file->open(QIODevice::WriteOnly)) {
        const QString why = d->file->errorString();
        d->file.reset();
        return fail(why);
    }
    d->budget = archive::SaveFaultBudgetForTesting();
    return true;
}

bool CSafeSave::Write(const char* data, qint64 size)
{
    if (d->failed)
        return false;
    if (!d->file)
        return d->Fail(QStringLiteral("the file is not open"));
    if (size <= 0)
        return true;
    if (d->budget >= 0) {
        if (size > d->budget) {
            d->budget = 0;
            return d->Fail(qt_error_string(ENOSPC));
        }
        d->budget -= size;
    }
    if (d->file->write(data, size) != size)
        return d->Fail(d->file->errorString());
    return true;
}

bool CSafeSave::Commit(QString* message)
{
    auto fail = [&](const QString& why) {
        d->Fail(why);
        Cancel();
        if (message)
            *message = d->Message(d->error);
        return false;
    };
    if (d->failed)
        return fail(d->error);
    if (!d->file)
        return fail(QStringLiteral("the file is not open"));
    if (!d->file->flush())
        return fail(d->file->errorString());
    if (!d->file->commit())
        return fail(d->file->errorString());
    d->file.reset();
    d->done = true;
    return true;
}

void CSafeSave::Cancel()
{
    if (d->file) {
        d->file->cancelWriting();
        d->file.reset(); // QSaveFile removes its temporary when it is not committed
    }
}

bool CSafeSave::Failed() const { return d->failed; }
QString CSafeSave::ErrorString() const { return d->error; }
QString CSafeSave::Path() const { return d->path; }
