// The Debian package as a user's system sees it: cpack builds it, it unpacks into a scratch root
// with the programs, the desktop entry (which desktop-file-validate accepts), the MIME types of
// ".mLog" and ".osc" (which the desktop entry claims), the icon in every size; and a document
// opened the way a file manager opens it (the entry's Exec line) is shown.
#include "app/DocManager.h"
#include "app/MainFrame.h"
#include "app/UserGuide.h"
#include "datalog/MyOrvelDoc.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QXmlStreamReader>

namespace {

// Runs a program to its end; false (with its output in *out) when it fails.
bool Run(const QString& program, const QStringList& args, QString* out = nullptr, int timeoutMs = 240000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000)) {
        if (out)
            *out = QStringLiteral("%1 did not start").arg(program);
        return false;
    }
    const bool finished = p.waitForFinished(timeoutMs);
    if (out)
        *out = QString::fromLocal8Bit(p.readAll());
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The values of one key of the desktop entry's main group.
QString DesktopValue(const QString& path, const QString& key)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key.toUtf8() + '='))
            return QString::fromUtf8(line.mid(key.size() + 1)).trimmed();
    }
    return QString();
}

// A small data-log document with a few points.
bool WriteSample(const QString& path)
{
    CMyOrvelDoc doc;
    for (int i = 0; i < 5; ++i)
        doc.AddPoint(0, 1.5 + i, QStringLiteral("VDC"), 1.0, i, QStringLiteral("5/12/26 9:3:%1").arg(i),
            QStringLiteral("VDC"), 6.0f);
    return doc.OnSaveDocument(path);
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_root;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString out = m_dir.filePath(QStringLiteral("deb"));
        QString log;
        QVERIFY2(Run(QStringLiteral(CPACK_PATH),
                     { QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out,
                         QStringLiteral("--config"), QStringLiteral(CPACK_CONFIG) },
                     &log),
            qPrintable(log));
        const QStringList debs = QDir(out).entryList({ QStringLiteral("*.deb") }, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_root = m_dir.filePath(QStringLiteral("root"));
        const QString deb = QDir(out).filePath(debs.first());
        QVERIFY2(Run(QStringLiteral("dpkg-deb"), { QStringLiteral("-x"), deb, m_root }, &log), qPrintable(log));
        QVERIFY2(Run(QStringLiteral("dpkg-deb"),
                     { QStringLiteral("-f"), deb, QStringLiteral("Package"), QStringLiteral("Depends") }, &log),
            qPrintable(log));
        QVERIFY2(log.contains(QLatin1String("Package: multimeter")), qPrintable(log));
        // The Qt libraries come in as dependencies, found from the binaries.
        QVERIFY2(log.contains(QLatin1String("libqt6widgets6")), qPrintable(log));
    }

    void unpacksWithTheExpectedFiles()
    {
        const QDir root(m_root);
        for (const char* file : { "usr/bin/multimeter", "usr/bin/multimeter-cli", "usr/bin/metersim",
                 "usr/share/applications/multimeter.desktop", "usr/share/mime/packages/multimeter.xml",
                 "usr/share/icons/hicolor/scalable/apps/multimeter.svg",
                 "usr/share/doc/multimeter/guide/user-guide.html" })
            QVERIFY2(QFileInfo(root.filePath(QLatin1String(file))).isFile(), file);
        for (const char* program : { "usr/bin/multimeter", "usr/bin/multimeter-cli", "usr/bin/metersim" })
            QVERIFY2(QFileInfo(root.filePath(QLatin1String(program))).isExecutable(), program);
        for (int size : { 16, 24, 32, 48, 64, 128, 256 }) {
            const QImage icon(
                root.filePath(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/multimeter.png").arg(size)));
            QCOMPARE(icon.size(), QSize(size, size));
            // Drawn, not blank: the corners are clear and the middle is not.
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
        }
        QFile svg(root.filePath(QStringLiteral("usr/share/icons/hicolor/scalable/apps/multimeter.svg")));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&svg);
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), QStringLiteral("svg"));
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));

        // The command-line tool from the package runs on the system's libraries.
        const QString sample = m_dir.filePath(QStringLiteral("sample.mLog"));
        QVERIFY(WriteSample(sample));
        QString out;
        QVERIFY2(Run(root.filePath(QStringLiteral("usr/bin/multimeter-cli")),
                     { QStringLiteral("mlog"), QStringLiteral("dump"), sample }, &out, 30000),
            qPrintable(out));
        QVERIFY2(out.contains(QLatin1String("VDC")), qPrintable(out));
    }

    void desktopEntryValidatesAndClaimsTheDocumentTypes()
    {
        const QString desktop = QDir(m_root).filePath(QStringLiteral("usr/share/applications/multimeter.desktop"));
        QString out;
        QVERIFY2(Run(QStringLiteral("desktop-file-validate"), { desktop }, &out), qPrintable(out));
        QVERIFY2(out.trimmed().isEmpty(), qPrintable(out)); // not even a hint
        QCOMPARE(DesktopValue(desktop, QStringLiteral("Icon")), QStringLiteral("multimeter"));

        // Every type the entry claims is defined, with the globs of the two document kinds.
        QFile mime(QDir(m_root).filePath(QStringLiteral("usr/share/mime/packages/multimeter.xml")));
        QVERIFY(mime.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&mime);
        QMap<QString, QStringList> globs;
        QString type;
        while (!xml.atEnd()) {
            if (!xml.readNext() || !xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("mime-info"))
                QCOMPARE(xml.namespaceUri(), QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
            else if (xml.name() == QLatin1String("mime-type"))
                type = xml.attributes().value(QLatin1String("type")).toString();
            else if (xml.name() == QLatin1String("glob"))
                globs[type] << xml.attributes().value(QLatin1String("pattern")).toString();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QStringList patterns;
        for (const QStringList& g : globs)
            patterns += g;
        patterns.sort();
        QCOMPARE(patterns, QStringList({ "*.mLog", "*.osc" }));
        const QStringList claimed
            = DesktopValue(desktop, QStringLiteral("MimeType")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        QCOMPARE(QSet<QString>(claimed.begin(), claimed.end()), QSet<QString>(globs.keyBegin(), globs.keyEnd()));
    }

    // Help opens the installed guide, whose screenshots were taken of the demo at build time.
    void helpFindsTheInstalledGuideWithItsPictures()
    {
        const QUrl url = user_guide::Location(QDir(m_root).filePath(QStringLiteral("usr/bin")));
        QVERIFY2(url.isLocalFile(), qPrintable(url.toString()));
        QCOMPARE(QFileInfo(url.toLocalFile()).canonicalFilePath(),
            QFileInfo(QDir(m_root).filePath(QStringLiteral("usr/share/doc/multimeter/guide/user-guide.html")))
                .canonicalFilePath());
        QTextBrowser browser;
        browser.setSource(url);
        for (const char* topic : { "Connecting", "Recording", "Exporting and printing", "logger", "oscilloscope", "FFT",
                 "command-line", "Troubleshooting", "dialout", "Link lost" })
            QVERIFY2(browser.toPlainText().contains(QLatin1String(topic)), topic);
        for (const char* shot : { "images/main-window.png", "images/recording.png" }) {
            const QVariant image
                = browser.document()->resource(QTextDocument::ImageResource, QUrl(QLatin1String(shot)));
            QVERIFY2(image.isValid(), shot);
            const QImage picture
                = image.value<QImage>().isNull() ? image.value<QPixmap>().toImage() : image.value<QImage>();
            QCOMPARE(picture.size(), QSize(1280, 800));
        }
        // Without the folder, the text built into the program.
        QCOMPARE(user_guide::Location(m_dir.path()), QUrl(QStringLiteral("qrc:/help/user-guide.html")));
    }

    // What a double click does: the entry's Exec line with the file for %F. The packaged program
    // shows the document; the same window without it does not look the same.
    void doubleClickOpensTheDocument()
    {
        const QString desktop = QDir(m_root).filePath(QStringLiteral("usr/share/applications/multimeter.desktop"));
        QStringList exec = DesktopValue(desktop, QStringLiteral("Exec")).split(QLatin1Char(' '));
        QCOMPARE(exec.size(), 2);
        QCOMPARE(exec[1], QStringLiteral("%F"));
        const QString file = m_dir.filePath(QStringLiteral("bench run.mLog"));
        QVERIFY(WriteSample(file));

        const QString program = QDir(m_root).filePath(QStringLiteral("usr/bin/") + exec[0]);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        auto shot = [&](const QStringList& files, const QString& png) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(program,
                QStringList { QStringLiteral("--screenshot"), png, QStringLiteral("--after"), QStringLiteral("500") }
                    + files);
            return p.waitForFinished(60000) && p.exitCode() == 0 ? QImage(png) : QImage();
        };
        const QImage with = shot({ file }, m_dir.filePath(QStringLiteral("with.png")));
        const QImage without = shot({}, m_dir.filePath(QStringLiteral("without.png")));
        QVERIFY(!with.isNull());
        QVERIFY(!without.isNull());
        QVERIFY(with != without);

        // And in the window itself: the document is open, under its file's name.
        CMainFrame frame;
        frame.show();
        QVERIFY(frame.docManager()->OpenDocumentFile(file));
        QCOMPARE(frame.docManager()->Documents().size(), qsizetype(1));
        QCOMPARE(frame.docManager()->Documents().first()->m_arrSeries[0].Size(), qsizetype(5));
        QCOMPARE(frame.mdiArea()->subWindowList().size(), qsizetype(1));
        QVERIFY2(frame.windowTitle().contains(QLatin1String("bench run")), qPrintable(frame.windowTitle()));

        // A file that will not open: its message box does not keep the screenshot from being
        // taken, and the picture shows the box.
        const QString bad = m_dir.filePath(QStringLiteral("bad.mLog"));
        QFile badFile(bad);
        QVERIFY(badFile.open(QIODevice::WriteOnly) && badFile.write("not a document") > 0);
        badFile.close();
        const QImage boxed = shot({ bad, bad }, m_dir.filePath(QStringLiteral("bad.png")));
        QVERIFY(!boxed.isNull());
        QVERIFY(boxed != without);
    }
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"
