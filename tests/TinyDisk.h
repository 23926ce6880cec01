#pragma once
// A tiny file system of its own for full-disk tests: a 64 KiB tmpfs mounted on a scratch folder.
// Mounting needs the administrator (as the test runs in CI); elsewhere Mounted() is false and the
// test skips.
#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <unistd.h>

namespace testdisk {

class CTinyDisk {
public:
    explicit CTinyDisk(const char* size = "size=64k")
    {
        if (::geteuid() == 0 && m_dir.isValid())
            m_mounted = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, size) == 0;
    }
    ~CTinyDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    CTinyDisk(const CTinyDisk&) = delete;
    CTinyDisk& operator=(const CTinyDisk&) = delete;

    bool Mounted() const { return m_mounted; }
    QString FilePath(const QString& name) const { return m_dir.filePath(name); }
    QString Path() const { return m_dir.path(); }
    // Fills the disk with a file of its own until `leave` bytes or fewer are free.
    void Fill(qint64 leave)
    {
        QFile pad(FilePath(QStringLiteral("pad")));
        if (!pad.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray chunk(1024, 'p');
        while (Free() > leave && pad.write(chunk) == chunk.size()) {
        }
    }
    qint64 Free() const
    {
        QStorageInfo info(m_dir.path());
        info.refresh();
        return info.bytesAvailable();
    }
    // Everything in the folder but the padding.
    QStringList Entries() const
    {
        QStringList names = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.removeAll(QStringLiteral("pad"));
        return names;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace testdisk

