#include "app/MyOrvelApp.h"

#include "app/DocManager.h"
#include "app/MainFrame.h"
#include "packaging/AppIcon.h"
#include "protocol/MeterProtocol.h"
#include "protocol/Recorder.h"
#include "sim/SimSerialPort.h"

#include <QCommandLineParser>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

CMyOrvelApp::CMyOrvelApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    setApplicationName(QStringLiteral("Multimeter"));
    setApplicationVersion(QStringLiteral("2.1"));
    // The same picture as the installed icon, sharp at every size the desktop asks for.
    QIcon icon;
    for (int size : { 16, 24, 32, 48, 64, 128, 256 })
        icon.addPixmap(QPixmap::fromImage(app_icon::Render(size)));
    setWindowIcon(icon);
    setDesktopFileName(QStringLiteral("multimeter"));
}

CMyOrvelApp::~CMyOrvelApp() = default;

bool CMyOrvelApp::InitInstance()
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("True RMS Multimeter & Oscillometer"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Start connected to the built-in simulated meter."));
    QCommandLineOption shot(QStringLiteral("screenshot"),
        QStringLiteral("Save a PNG of the main window to FILE, then quit."), QStringLiteral("FILE"));
    QCommandLineOption after(QStringLiteral("after"),
        QStringLiteral("Milliseconds to wait before the screenshot (default 3000)."), QStringLiteral("MS"),
        QStringLiteral("3000"));
    QCommandLineOption record(QStringLiteral("record"), QStringLiteral("Start recording once the meter sends data."));
    parser.addOptions({ demo, shot, after, record });
    // What the shell passes when a document is opened from Explorer.
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Data-log files (.mLog) to open."),
        QStringLiteral("[files...]"));
    if (!parser.parse(arguments())) {
        std::fprintf(stderr, "%s\n%s", qPrintable(parser.errorText()), qPrintable(parser.helpText()));
        return false;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(); // exits
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion(); // exits
    bool okAfter = false;
    const int afterMs = parser.value(after).toInt(&okAfter);
    if (!okAfter || afterMs < 0) {
        std::fprintf(stderr, "--after needs a number of milliseconds\n");
        return false;
    }

    // The built-in simulated meter answers on the port named "sim".
    sim::RegisterSimPort();

    m_pMainFrame = std::make_unique<CMainFrame>();
    if (parser.isSet(shot)) {
        // A fixed, screen-independent size keeps screenshots comparable.
        m_pMainFrame->resize(1280, 800);
        m_pMainFrame->show();
    } else {
        // Where the last run left it; a first start opens at a size that suits the screen,
        // maximised where the desktop can.
        m_pMainFrame->RestoreWindowPlace();
        m_pMainFrame->show();
    }
    for (const QString& file : parser.positionalArguments())
        m_pMainFrame->OpenFile(file);
    if (parser.isSet(demo))
        m_pMainFrame->StartDemo();
    if (parser.isSet(record)) {
        // The first decoded frame shows the meter is there: Start, once.
        auto once = std::make_shared<QMetaObject::Connection>();
        CMainFrame* frame = m_pMainFrame.get();
        *once = connect(
            &frame->protocol().Decoder(), &CLiveDecoder::frameDecoded, frame,
            [frame, once] {
                QObject::disconnect(*once);
                frame->recorder().OnStart();
            },
            Qt::QueuedConnection);
    }
    if (parser.isSet(shot)) {
        const QString file = parser.value(shot);
        QTimer::singleShot(afterMs, this, [this, file] {
            const bool saved = m_pMainFrame->grab().save(file, "PNG");
            if (!saved)
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            exit(saved ? 0 : 2);
        });
    }
    return true;
}
