#include "platform/FileTarget.h"

#include <QFileInfo>

namespace filetarget {

namespace {

QString WhyNotRegular(const QString& path)
{
    const QFileInfo info(path); // follows symbolic links
    if (!info.exists() || info.isFile())
        return QString();
    if (info.isDir())
        return QStringLiteral("it is a folder");
    return QStringLiteral("it is not a regular file");
}

} // namespace

QString WhyNotSaveTarget(const QString& path)
{
    return WhyNotRegular(path);
}

QString WhyNotReadable(const QString& path)
{
    return WhyNotRegular(path);
}

} // namespace filetarget
