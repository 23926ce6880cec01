#include "app/UserGuide.h"

#include <QDir>
#include <QFileInfo>

namespace user_guide {

QUrl Location(const QString& programDir)
{
    const QDir dir(programDir);
    // Installed on Linux (bin/ and share/doc/ side by side), beside the Windows executable, and in
    // the build tree (build/app/multimeter, build/guide).
    for (const char* relative :
        { "../share/doc/multimeter/guide/user-guide.html", "guide/user-guide.html", "../guide/user-guide.html" }) {
        const QString path = QDir::cleanPath(dir.filePath(QLatin1String(relative)));
        if (QFileInfo(path).isFile())
            return QUrl::fromLocalFile(path);
    }
    return QUrl(QStringLiteral("qrc:/help/user-guide.html"));
}

} // namespace user_guide
