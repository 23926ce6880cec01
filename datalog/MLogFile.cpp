#include "datalog/MLogFile.h"

#include "platform/Archive.h"
#include "platform/FileTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <atomic>
#include <cerrno>

namespace mlog {

namespace {

// Larger than any recording this program makes by two orders of magnitude.
constexpr qint64 kMaxFileBytes = qint64(1) << 31;

std::atomic<qint64> g_writeFault { -1 };

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

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

void SetWriteFaultForTesting(qint64 bytes)
{
    g_writeFault = bytes;
}

QByteArray ToBytes(const CDataLog& log)
{
    QByteArray out;
    archive::CArchiveWriter ar(&out);
    log.Serialize(ar);
    ar.Flush();
    return out;
}

namespace {

bool parse(archive::CArchiveReader& ar, CDataLog& out, QString* why)
{
    if (ar.AtEnd()) {
        if (why)
            *why = QStringLiteral("the file is empty");
        return false;
    }
    CDataLog fresh;
    try {
        fresh.Serialize(ar);
        ar.ExpectEnd();
    } catch (const archive::Error& e) {
        if (why)
            *why = e.description();
        return false;
    } catch (const std::bad_alloc&) {
        if (why)
            *why = QStringLiteral("not enough memory to hold it");
        return false;
    } catch (const CDataLogTooLarge& e) {
        if (why)
            *why = QStringLiteral("it holds at least %1 points, and at most %2 can be loaded")
                       .arg(e.points)
                       .arg(CDataLog::MaxLoadPoints());
        return false;
    }
    out = std::move(fresh);
    return true;
}

} // namespace

bool FromBytes(const QByteArray& bytes, CDataLog& out, QString* why)
{
    archive::CArchiveReader ar(bytes);
    return parse(ar, out, why);
}

bool Load(const QString& path, CDataLog& out, QString* message)
{
    auto fail = [&](const QString& why) {
        if (message)
            *message = QStringLiteral("Cannot open \"%1\": %2.").arg(shown(path), why);
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
    if (file.size() > kMaxFileBytes)
        return fail(QStringLiteral("the file is too large (%1 bytes)").arg(file.size()));
    archive::CArchiveReader ar(&file);
    QString why;
    if (!parse(ar, out, &why))
        return fail(why);
    return true;
}

bool Save(const QString& path, const CDataLog& log, QString* message)
{
    const bool existed = QFileInfo::exists(path);
    auto fail = [&](const QString& why) {
        if (message) {
            *message = QStringLiteral("Cannot save \"%1\": %2.").arg(shown(path), why);
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
    try {
        const qint64 fault = g_writeFault;
        if (fault >= 0) {
            CFaultyDevice faulty(&file, fault);
            archive::CArchiveWriter ar(&faulty);
            log.Serialize(ar);
            ar.Flush();
        } else {
            archive::CArchiveWriter ar(&file);
            log.Serialize(ar);
            ar.Flush();
        }
    } catch (const archive::Error& e) {
        file.cancelWriting();
        return fail(e.description());
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

bool SaveBytes(const QString& path, const QByteArray& bytes, QString* message)
{
    const bool existed = QFileInfo::exists(path);
    auto fail = [&](const QString& why) {
        if (message) {
            *message = QStringLiteral("Cannot save \"%1\": %2.").arg(shown(path), why);
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
    // The reason is taken where the write fails: after a failed commit it is lost.
    const qint64 fault = g_writeFault;
    bool written;
    QString why;
    if (fault >= 0) {
        CFaultyDevice faulty(&file, fault);
        written = faulty.write(bytes) == bytes.size();
        why = faulty.errorString();
    } else {
        written = file.write(bytes) == bytes.size() && file.flush();
        why = file.errorString();
    }
    if (!written) {
        file.cancelWriting();
        return fail(why);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace mlog
