// make-icons OUTDIR: writes multimeter.svg and multimeter-N.png (N = 16 ... 256) for the install.
#include "packaging/AppIcon.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-icons OUTDIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "make-icons: cannot make %s\n", argv[1]);
        return 1;
    }
    QFile svg(dir.filePath(QStringLiteral("multimeter.svg")));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(app_icon::Svg()) < 0) {
        std::fprintf(stderr, "make-icons: cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    for (int size : { 16, 24, 32, 48, 64, 128, 256 }) {
        const QString path = dir.filePath(QStringLiteral("multimeter-%1.png").arg(size));
        if (!app_icon::Render(size).save(path)) {
            std::fprintf(stderr, "make-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
