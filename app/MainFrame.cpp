#include "app/MainFrame.h"

#include "app/DocManager.h"
#include "app/KeyLockIndicators.h"
#include "app/RecordingRestore.h"
#include "app/ToolbarIcons.h"
#include "app/UserGuide.h"
#include "app/WindowRecordingHost.h"
#include "app/ChildFrame.h"
#include "datalog/ControlDlgBar.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"
#include "recording/RecordingJournal.h"
#include "display/DisplayPane.h"
#include "scope/FftDlg.h"
#include "display/LeftDlg.h"
#include "link/BleScanDlg.h"
#include "link/BluetoothSearch.h"
#include "link/LinkController.h"
#include "link/PortDlg.h"
#include "link/QtBleCentral.h"
#include "platform/MessageBox.h"
#include "logger/LoggerDownload.h"
#include "logger/LoggerList.h"
#include "logger/LoggerUi.h"
#include "scope/OscController.h"
#include "sim/SimSerialPort.h"
#include "scope/OscDlg.h"
#include "scope/OscList.h"
#include "scope/OscUi.h"
#include "protocol/MeterProtocol.h"
#include "recording/Recorder.h"
#include "recording/RecordingRules.h"
#include "session/MeterSession.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressDialog>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

static void initHelpResource() { Q_INIT_RESOURCE(app); }

namespace {

QByteArray CommandBytes(const meter_cmd::Command& command)
{
    return QByteArray(reinterpret_cast<const char*>(command.data()), int(command.size()));
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent)
{
    initHelpResource();
    qRegisterMetaType<MeterEvent>();
    setWindowTitle(QStringLiteral("Multimeter"));
    setObjectName(QStringLiteral("MainFrame"));

    m_pMdiArea = new QMdiArea(this);
    m_pMdiArea->setViewMode(QMdiArea::SubWindowView);
    setCentralWidget(m_pMdiArea);
    m_pDocManager = new CDocManager(this, {}, this);
    CreateEmptyHint();
    connect(m_pDocManager, &CDocManager::documentOpened, this, &CMainFrame::ShowDocument);
    // The hint gives way to the first document and comes back after the last one.
    connect(m_pDocManager, &CDocManager::activeDocumentChanged, this, &CMainFrame::UpdateEmptyHint);
    connect(m_pDocManager, &CDocManager::activeDocumentChanged, this, &CMainFrame::UpdateShowTogether);
    connect(m_pDocManager, &CDocManager::documentActivated, this, [this](CMyOrvelDoc* doc) {
        for (QMdiSubWindow* w : m_pMdiArea->subWindowList()) {
            if (auto* dw = qobject_cast<CChildFrame*>(w); dw && dw->document() == doc)
                m_pMdiArea->setActiveSubWindow(w);
        }
    });
    connect(m_pDocManager, &CDocManager::documentClosed, this, [this](CMyOrvelDoc* doc) {
        for (QMdiSubWindow* w : m_pMdiArea->subWindowList()) {
            if (auto* dw = qobject_cast<CChildFrame*>(w); dw && dw->document() == doc)
                dw->CloseForDocument();
        }
    });
    // The title names the active document, "Multimeter - New File1", and follows its renames.
    connect(m_pDocManager, &CDocManager::activeDocumentChanged, this, [this](CMyOrvelDoc* doc) {
        disconnect(m_titleConnection);
        if (doc)
            m_titleConnection = connect(doc, &CMyOrvelDoc::titleChanged, this, [this] { UpdateTitle(); });
        UpdateTitle();
    });
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        if (auto* dw = qobject_cast<CChildFrame*>(w)) {
            dw->OnActivated();
            m_pDocManager->SetActiveDocument(dw->document());
        }
    });

    // Meter 1: its link controller, protocol, logger download, oscilloscope and recorder. The
    // document windows are the recorders' views; every live point is also journalled.
    m_pJournals = new CRecordingJournals(journal::DefaultFolder(), this);
    connect(m_pDocManager, &CDocManager::documentClosed, m_pJournals, &CRecordingJournals::OnDocumentClosed);
    CMeterSession* first = MakeMeter(0);
    m_pLinks = &first->Links();
    m_pProtocol = &first->Protocol();
    m_pLogger = &first->Logger();
    m_pOsc = &first->Osc();
    m_pRecorder = first->Recorder();
    CLinkController* links = m_pLinks;
    links->SetCentralFactory([this]() -> IBleCentral* { return new CQtBleCentral(this); });
    connect(m_pJournals, &CRecordingJournals::journalFailed, this,
        [this](const QString& why) { m_pStatusMessage->setText(why); });
    QTimer::singleShot(0, this, [this] { OfferJournalRestore(this, m_pDocManager, m_pJournals); });

    CreateActions();
    CreateMenus();
    CreateToolBar();

    m_pStatusMessage = new QLabel(QStringLiteral("Ready"), this);
    statusBar()->addWidget(m_pStatusMessage, 1);
    m_pKeyLocks = new CKeyLockIndicators(statusBar());

    CreatePanes();
    m_meters.front().panel = m_pLeftDlg;
    m_meters.front().pane = m_pDisplayPane;
    m_meters.front().dock = m_pDockPageBar;
    connect(first, &CMeterSession::meterEvent, m_pLeftDlg, &CLeftDlg::OnMeterEvent);
    connect(first, &CMeterSession::identityChanged, this, &CMainFrame::UpdateMeterLabels);
    CreateSession();

    m_timer1.setSingleShot(true);
    m_timer1.setInterval(500);
    connect(&m_timer1, &QTimer::timeout, this, &CMainFrame::BlankDisplay);
    m_timer1.start();
    WireLinks();
    emit meterAdded(first);
}

CMainFrame::~CMainFrame()
{
    if (m_pSearch)
        m_pSearch->Cancel();
    // The receive threads run the dispatchers: they stop before the members go.
    for (MeterPanel& m : m_meters)
        m.session->Links().Close();
}

void CMainFrame::WireLinks()
{
    CLinkController* links = m_pLinks;
    connect(links, &CLinkController::statusChanged, m_pStatusMessage, &QLabel::setText);
    connect(links, &CLinkController::connected, this, &CMainFrame::BlankDisplay);
    connect(links, &CLinkController::linkLost, this, &CMainFrame::OnLinkLost);
    connect(links, &CLinkController::disconnected, this, [this] {
        BlankDisplay();
        m_pLogger->OnLinkLost();
    });
    connect(links, &CLinkController::watchdogTick, this, &CMainFrame::CheckReadableFrames);
    connect(links, &CLinkController::reconnectingChanged, action(QStringLiteral("cancelReconnect")),
        &QAction::setEnabled);
}

QAction* CMainFrame::action(const QString& name) const { return m_actions.value(name); }

CBleScan* CMainFrame::scanDialog() const { return m_pBleScan.data(); }

QString MainWindowTitle(const QString& appTitle, const QString& documentTitle)
{
    if (documentTitle.isEmpty())
        return appTitle;
    return appTitle + QStringLiteral(" - ") + documentTitle;
}

void CMainFrame::UpdateTitle()
{
    const CMyOrvelDoc* doc = m_pDocManager->ActiveDocument();
    setWindowTitle(MainWindowTitle(QStringLiteral("Multimeter"), doc ? doc->GetTitle() : QString()));
}

void CMainFrame::BlankDisplay()
{
    m_pProtocol->Decoder().ResetDialPos();
    m_pLeftDlg->Blank();
}

void CMainFrame::ShowLinkStatus()
{
    m_pStatusMessage->setText(m_pLinks->Status().Text());
}

QString CMainFrame::statusText() const
{
    return m_pStatusMessage->text();
}

void CMainFrame::CheckReadableFrames()
{
    const bool shown = m_readableWatch.Active();
    if (m_readableWatch.Update(m_pLinks->Now() * 1000, CFrameCounts::Of(m_pProtocol->Dispatcher())))
        m_pStatusMessage->setText(m_readableWatch.Text());
    else if (shown)
        ShowLinkStatus(); // readable frames again: back to what the link state says
}

void CMainFrame::OnLinkLost(int lostCount)
{
    // Only the first loss blanks the display; later ones leave the last reading up.
    if (lostCount == 1)
        BlankDisplay();
    m_pLogger->OnLinkLost();
    // The meter's recorder gives a running recording its visible gap; the link is tried again.
}

void CMainFrame::OnDownloadLogger()
{
    // Not while the meter is silent or shows its oscilloscope.
    if (!m_pLinks->MeterSeen() || m_pLinks->OscMode())
        return;
    m_pLogger->Start();
}

void CMainFrame::OnMeterKey(int code)
{
    if (!m_pLinks->MeterSeen())
        return;
    if (code == meter_cmd::KeyMenu) {
        m_pLeftDlg->ShowFunctionMenu();
        return;
    }
    // The write waits for the port; keep it off the GUI thread.
    m_pLinks->SendLater(CommandBytes(meter_cmd::KeyCodeCommand(code)));
}

void CMainFrame::OnTogglePane()
{
    QAction* a = action(QStringLiteral("realTimeShow"));
    const bool show = m_pDockPageBar->isHidden();
    m_pDockPageBar->setVisible(show);
    a->setChecked(show);
}

void CMainFrame::OnHelp()
{
    const QString chm = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help.chm"));
    if (QFileInfo::exists(chm) && QDesktopServices::openUrl(QUrl::fromLocalFile(chm)))
        return;
    auto* dlg = new QDialog(this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle(QStringLiteral("Multimeter Help"));
    auto* v = new QVBoxLayout(dlg);
    auto* text = new QTextBrowser(dlg);
    text->setObjectName(QStringLiteral("userGuide"));
    text->setSource(user_guide::Location(QCoreApplication::applicationDirPath()));
    v->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dlg);
    connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::close);
    v->addWidget(buttons);
    dlg->resize(560, 480);
    dlg->show();
}

void CMainFrame::OnAbout()
{
    QDialog dlg(this);
    dlg.setWindowTitle(QStringLiteral("About Multimeter"));
    auto* v = new QVBoxLayout(&dlg);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(&dlg);
    icon->setPixmap(ToolbarIcons::make(ToolbarIcons::About).pixmap(32, 32));
    row->addWidget(icon);
    row->addWidget(new QLabel(QStringLiteral("True RMS Multimeter & Oscillometer Version 2.1"), &dlg), 1);
    v->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dlg);
    connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    v->addWidget(buttons);
    dlg.exec();
}

void CMainFrame::OnStart()
{
    // Without a meter talking there is nothing to record: say so rather than do nothing.
    bool anySeen = false;
    bool canStart = true;
    for (const MeterPanel& m : m_meters) {
        anySeen = anySeen || m.session->Links().MeterSeen();
        canStart = canStart && m.session->Recorder()->CanStart();
    }
    if (!anySeen && canStart) {
        msgbox::Show(this,
            QStringLiteral("No meter is connected, so there is nothing to record yet.\n"
                           "Connect one with Com Port > ConnectBle, then choose Start."),
            QStringLiteral("Tip"));
        return;
    }
    // Every meter that talks records into a document of its own; they form one group, which
    // the graph can show together.
    ++m_nRecordingGroup;
    for (MeterPanel& m : m_meters)
        m.session->Recorder()->OnStart();
}

void CMainFrame::OnStop()
{
    for (MeterPanel& m : m_meters)
        m.session->Recorder()->OnStop();
}

void CMainFrame::UpdateRecordingActions()
{
    bool recording = false;
    for (const MeterPanel& m : m_meters)
        recording = recording || m.session->Recorder()->IsRecording();
    action(QStringLiteral("start"))->setEnabled(!recording);
    action(QStringLiteral("stop"))->setEnabled(recording);
}

void CMainFrame::StartDemo()
{
    ConnectDemoMeter(meter(0), QStringLiteral("sim"));

    // The simulated meter can be switched to its oscilloscope, so waveforms show without hardware.
    if (!action(QStringLiteral("demoOscMode"))) {
        QMenu* demo = menuBar()->addMenu(QStringLiteral("&Demo"));
        demo->setObjectName(QStringLiteral("demoMenu"));
        auto* osc = demo->addAction(QStringLiteral("Meter in &oscilloscope mode"));
        osc->setObjectName(QStringLiteral("demoOscMode"));
        osc->setCheckable(true);
        osc->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
        m_actions.insert(osc->objectName(), osc);
        connect(osc, &QAction::toggled, this, [this](bool on) {
            sim::SharedSimulator()->WithEngine([on](sim::CSimEngine& e) { e.SetOscMode(on); });
            // Once the meter says it is in its oscilloscope, ask for the waveform on its screen.
            if (on)
                QTimer::singleShot(1500, this, [this] { m_pOsc->OnGetOscCurrentData(); });
        });
        // A live picture: the waveform on the meter's screen asked for every second.
        auto* live = demo->addAction(QStringLiteral("&Live waveform (every second)"));
        live->setObjectName(QStringLiteral("demoOscLive"));
        live->setCheckable(true);
        m_actions.insert(live->objectName(), live);
        auto* refresh = new QTimer(live);
        refresh->setInterval(1000);
        connect(refresh, &QTimer::timeout, this, [this] {
            if (!m_pOsc->Downloading())
                m_pOsc->OnGetOscCurrentData();
        });
        connect(live, &QAction::toggled, refresh, [refresh](bool on) { on ? refresh->start() : refresh->stop(); });
        // A current meter beside the voltage one: several meters at once without hardware.
        demo->addSeparator();
        auto* second = demo->addAction(QStringLiteral("Add a second meter"));
        second->setObjectName(QStringLiteral("demoSecondMeter"));
        m_actions.insert(second->objectName(), second);
        connect(second, &QAction::triggered, this, &CMainFrame::AddDemoMeter);
    }
}

void CMainFrame::OpenFile(const QString& path)
{
    if (path.endsWith(QLatin1String(".osc"), Qt::CaseInsensitive))
        m_pOscUi->OpenOscFile(path);
    else
        m_pDocManager->OpenDocumentFile(path);
}

void CMainFrame::ShowDocument(CMyOrvelDoc* doc)
{
    auto* window = new CChildFrame(doc, m_pDocManager);
    // Closing a live document's window stops its meter's recording.
    connect(window, &CChildFrame::stopRequested, this, [this, doc] { StopMeterOf(doc); });
    // The graph's FFT tool hands over the stretch it was dragged across.
    CMyOrvelView* view = window->view();
    connect(view, &CMyOrvelView::fftRangeChosen, this, [this, view](int from, int to) {
        if (CMyOrvelDoc* d = view->GetDocument())
            OpenFftForRange(this, *d, from, to);
    });
    connect(view, &CMyOrvelView::hint, this, [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    m_pMdiArea->addSubWindow(window);
    window->view()->OnInitialUpdate();
    window->showMaximized();
    window->OnActivated();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // Ask about unsaved documents first; the user may keep the program open.
    if (!m_pDocManager->CloseAllDocuments(true)) {
        event->ignore();
        return;
    }
    SaveWindowPlace();
    RememberMeters();
    if (m_pSearch)
        m_pSearch->Cancel();
    // The receive threads run the dispatchers: they stop before the members go.
    for (MeterPanel& m : m_meters)
        m.session->Links().Close();
    event->accept();
}
