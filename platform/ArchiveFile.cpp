#include "platform/ArchiveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <atomic>
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
            setErrorString(QStringLiteral("injected write failure"));
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
    if (QFileInfo(path).isDir())
        return fail(QStringLiteral("it is a folder"));
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
    const bool existed = QFileInfo::exists(path);
    auto fail = [&](const QString& why) {
        if (message) {
            *message = QStringLiteral("Cannot save \"%1\": %2.").arg(Shown(path), why);
            if (existed)
                *message += QStringLiteral(" The previous file is unchanged.");
        }
        return false;
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    try {
        const qint64 fault = g_saveFault;
        if (fault >= 0) {
            CFaultyDevice faulty(&file, fault);
            CArchiveWriter ar(&faulty);
            write(ar);
            ar.Flush();
        } else {
            CArchiveWriter ar(&file);
            write(ar);
            ar.Flush();
        }
    } catch (const Error& e) {
        file.cancelWriting();
        return fail(e.description());
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace archive
