#include "app/MyOrvelApp.h"

#include "app/DocManager.h"
#include "app/MainFrame.h"
#include "app/WindowRecordingHost.h"
#include "datalog/MyOrvelDoc.h"
#include "link/LinkController.h"
#include "packaging/AppIcon.h"
#include "protocol/MeterProtocol.h"
#include "recording/Recorder.h"
#include "session/MeterSession.h"
#include "sim/SimSerialPort.h"

#include <QCommandLineParser>
#include <QIcon>
#include <QPainter>
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
    QCommandLineOption second(QStringLiteral("second-meter"),
        QStringLiteral("With --demo: also connect the simulated current meter as meter 2; with --record, its "
                       "graph is shown together with meter 1's."));
    parser.addOptions({ demo, shot, after, record, second });
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
    if (parser.isSet(shot)) {
        // Set before anything may open a message box (a file that will not open): the box's
        // own loop runs the timer, and the picture shows the box.
        const QString file = parser.value(shot);
        QTimer::singleShot(afterMs, this, [this, file] {
            const bool saved = Screenshot().save(file, "PNG");
            if (!saved)
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            m_nExitCode = saved ? 0 : 2;
            exit(m_nExitCode); // also ends a message box's loop
        });
    }
    for (const QString& file : parser.positionalArguments()) {
        if (m_nExitCode >= 0)
            return true; // the picture was taken over a message box: nothing more is shown
        m_pMainFrame->OpenFile(file);
    }
    if (m_nExitCode >= 0)
        return true;
    if (parser.isSet(demo)) {
        m_pMainFrame->StartDemo();
        if (parser.isSet(second))
            m_pMainFrame->AddDemoMeter();
    }
    if (parser.isSet(record)) {
        // Once every meter has been heard: Start, once. With several, meter 1's graph shows the
        // others' documents too.
        auto once = std::make_shared<QMetaObject::Connection>();
        CMainFrame* frame = m_pMainFrame.get();
        *once = connect(frame, &CMainFrame::reading, frame, [frame, once] {
            for (int i = 0; i < frame->MeterCount(); ++i) {
                if (!frame->meter(i)->Links().MeterSeen())
                    return;
            }
            QObject::disconnect(*once);
            frame->OnStart();
            if (frame->MeterCount() < 2)
                return;
            for (CMyOrvelDoc* doc : frame->docManager()->Documents()) {
                if (CWindowRecordingHost::MeterOf(doc) == 0 && CWindowRecordingHost::GroupOf(doc) != 0) {
                    frame->ShowTogether(doc);
                    break;
                }
            }
        });
    }
    return true;
}

QImage CMyOrvelApp::Screenshot() const
{
    QImage image = m_pMainFrame->grab().toImage();
    QPainter painter(&image);
    const QPoint origin = m_pMainFrame->geometry().topLeft();
    // Windows over the main window (a message box, a dialog), the modal one on top.
    QWidget* modal = activeModalWidget();
    QList<QWidget*> over;
    for (QWidget* w : topLevelWidgets()) {
        if (w != m_pMainFrame.get() && w != modal && w->isVisible() && w->isWindow())
            over.append(w);
    }
    if (modal && modal->isVisible())
        over.append(modal);
    for (QWidget* w : std::as_const(over))
        painter.drawPixmap(w->geometry().topLeft() - origin, w->grab());
    return image;
}
