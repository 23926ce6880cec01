#include "platform/ArchiveFile.h"

#include "platform/FileTarget.h"
#include "platform/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>

namespace archive {

namespace {

// Hands an archive writer's bytes to a safe save.
class CSaveDevice : public QIODevice {
public:
    explicit CSaveDevice(CSafeSave& save)
        : m_save(save)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override
    {
        if (m_save.Write(data, len))
            return len;
        setErrorString(m_save.ErrorString());
        return -1;
    }

private:
    CSafeSave& m_save;
};

QString Shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

bool Parse(CArchiveReader& ar, const ReadFn& read, QString* why)
{
    if (ar.AtEnd()) {
        if (why)
            *why = QStringLiteral("the file is empty");
        return false;
    }
    try {
        read(ar);
        ar.ExpectEnd();
    } catch (const Error& e) {
        if (why)
            *why = e.description();
        return false;
    } catch (const Refusal& r) {
        if (why)
            *why = r.why;
        return false;
    } catch (const std::bad_alloc&) {
        if (why)
            *why = QStringLiteral("not enough memory to hold it");
        return false;
    }
    return true;
}

} // namespace

bool ReadBytes(const QByteArray& bytes, const ReadFn& read, QString* why)
{
    CArchiveReader ar(bytes);
    return Parse(ar, read, why);
}

bool LoadFile(const QString& path, const ReadFn& read, QString* message, qint64 maxBytes)
{
    auto fail = [&](const QString& why) {
        if (message)
            *message = QStringLiteral("Cannot open \"%1\": %2.").arg(Shown(path), why);
        return false;
    };
    // Checked before opening: opening a FIFO would wait for a writer.
    const QString notFile = filetarget::WhyNotReadable(path);
    if (!notFile.isEmpty())
        return fail(notFile);
    QFile file(path);
    // Unbuffered: the archive reader keeps a window of its own.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    if (file.isSequential())
        return fail(QStringLiteral("it is not a regular file"));
    if (file.size() > maxBytes)
        return fail(QStringLiteral("the file is too large (%1 bytes)").arg(file.size()));
    CArchiveReader ar(&file);
    QString why;
    if (!Parse(ar, read, &why))
        return fail(why);
    return true;
}

bool SaveFile(const QString& path, const WriteFn& write, QString* message)
{
    CSafeSave save(path);
    if (!save.Open(message))
        return false;
    try {
        CSaveDevice device(save);
        CArchiveWriter ar(&device);
        write(ar);
        ar.Flush();
    } catch (const Error& e) {
        // A refusal of the disk is told with the system's reason by Commit; any other fault
        // of the writer is told as it is.
        if (!save.Failed()) {
            save.Cancel();
            if (message) {
                const bool existed = QFileInfo::exists(path);
                *message = QStringLiteral("Cannot save \"%1\": %2.").arg(Shown(path), e.description());
                if (existed)
                    *message += QStringLiteral(" The previous file is unchanged.");
            }
            return false;
        }
    }
    return save.Commit(message);
}

bool SaveBytes(const QString& path, const QByteArray& bytes, QString* message)
{
    CSafeSave save(path);
    if (!save.Open(message))
        return false;
    save.Write(bytes);
    return save.Commit(message);
}

} // namespace archive
