#include "platform/ArchiveFile.h"

#include "platform/FileTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <atomic>
#include <cerrno>
#include <new>

namespace archive {

namespace {

std::atomic<qint64> g_saveFault { -1 };

// Passes writes through to another device until a byte budget is spent, then fails them.
class CFaultyDevice : public QIODevice {
public:
    CFaultyDevice(QIODevice* target, qint64 budget)
        : m_target(target)
        , m_budget(budget)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override
    {
        if (len > m_budget) {
            // What a full disk says.
            setErrorString(qt_error_string(ENOSPC));
            return -1;
        }
        m_budget -= len;
        return m_target->write(data, len);
    }

private:
    QIODevice* m_target;
    qint64 m_budget;
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

void SetSaveFaultForTesting(qint64 bytes)
{
    g_saveFault = bytes;
}

qint64 SaveFaultBudgetForTesting()
{
    return g_saveFault;
}

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

namespace {

// Writes `path` through a temporary file. `put` writes into the device it is given; when it
// fails it returns false and says why (taken where the write fails: after a failed commit the
// reason is lost).
template <typename Put> bool SaveThrough(const QString& path, Put put, QString* message)
{
    const bool existed = QFileInfo::exists(path);
    auto fail = [&](const QString& why) {
        if (message) {
            *message = QStringLiteral("Cannot save \"%1\": %2.").arg(Shown(path), why);
            if (existed)
                *message += QStringLiteral(" The previous file is unchanged.");
        }
        return false;
    };
    const QString notFile = filetarget::WhyNotSaveTarget(path);
    if (!notFile.isEmpty())
        return fail(notFile);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    QString why;
    bool written;
    const qint64 fault = g_saveFault;
    if (fault >= 0) {
        CFaultyDevice faulty(&file, fault);
        written = put(faulty, why);
    } else {
        written = put(file, why);
    }
    if (!written) {
        file.cancelWriting();
        return fail(why);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace

bool SaveFile(const QString& path, const WriteFn& write, QString* message)
{
    return SaveThrough(
        path,
        [&write](QIODevice& device, QString& why) {
            try {
                CArchiveWriter ar(&device);
                write(ar);
                ar.Flush();
            } catch (const Error& e) {
                why = e.description();
                return false;
            }
            return true;
        },
        message);
}

bool SaveBytes(const QString& path, const QByteArray& bytes, QString* message)
{
    return SaveThrough(
        path,
        [&bytes](QIODevice& device, QString& why) {
            bool ok = device.write(bytes) == bytes.size();
            if (auto* file = qobject_cast<QFileDevice*>(&device))
                ok = ok && file->flush();
            if (!ok)
                why = device.errorString();
            return ok;
        },
        message);
}

} // namespace archive
