#pragma once
// Memory figures of the benchmarks: the process's resident size, and handing freed heap back to
// the system first so that the size says what is still in use.
#include <QFile>
#include <QList>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace bench {

// Resident bytes of this process; -1 where the system does not tell.
inline qint64 residentBytes()
{
#if defined(Q_OS_LINUX)
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
#else
    return -1;
#endif
}

inline void releaseFreed()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace bench
