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

    m_pLinks = std::make_unique<CLinkController>();
    CLinkController* links = m_pLinks.get();
    links->SetCentralFactory([this]() -> IBleCentral* { return new CQtBleCentral(this); });
    m_pProtocol = std::make_unique<CMeterProtocol>(
        links->FrameText(), [links](const uint8_t* bytes, int count) { return links->SendToMeter(bytes, count); },
        [links](int size) { links->Dongle().m_ComPort.SetReadSize(size); });
    links->SetFrameHook([this] { m_pProtocol->MeterFrameDispatcher(); });
    links->SetSavedReadingsFlag(&m_pProtocol->Dispatcher().m_bStoreMarker);
    // Decoded frames cross to the GUI thread in order; the receive thread never waits for them.
    connect(&m_pProtocol->Decoder(), &CLiveDecoder::frameDecoded, this, &CMainFrame::OnMeterEvent,
        Qt::QueuedConnection);
    // The logger download's and the oscilloscope's requests go out through the link's command
    // writer, in order with the keys and over whichever link is up.
    m_pLogger = new CLoggerDownload(
        m_pProtocol->Dispatcher(),
        [links](const meter_cmd::Command& c) {
            links->SendLater(CommandBytes(c));
            return true;
        },
        [links] { return links->MeterSeen(); }, this);
    m_pLogger->Attach();
    // A link that ends stops a transfer at once, with where it stopped; the watchdog waits longer
    // while the logger is being read.
    connect(links, &CLinkController::linkEnded, m_pLogger, &CLoggerDownload::OnLinkLost, Qt::QueuedConnection);
    // The oscilloscope asks the meter only while it is heard and in its oscilloscope mode, over
    // whichever link is up, as the keys do.
    m_pOsc = new COscController(
        m_pProtocol->Dispatcher(),
        [links](const uint8_t* bytes, int count) {
            links->SendLater(QByteArray(reinterpret_cast<const char*>(bytes), count));
            return true;
        },
        [links] { return links->MeterSeen() && links->OscMode(); }, this);
    m_pOsc->AttachTo(m_pProtocol->Hooks());

    m_pMdiArea = new QMdiArea(this);
    m_pMdiArea->setViewMode(QMdiArea::SubWindowView);
    setCentralWidget(m_pMdiArea);
    m_pDocManager = new CDocManager(this, {}, this);
    CreateEmptyHint();
    connect(m_pDocManager, &CDocManager::documentOpened, this, &CMainFrame::ShowDocument);
    // The hint gives way to the first document and comes back after the last one.
    connect(m_pDocManager, &CDocManager::activeDocumentChanged, this, &CMainFrame::UpdateEmptyHint);
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

    // Recording: the document windows are its views; every live point is also journalled.
    m_pRecordingHost = std::make_unique<CWindowRecordingHost>(m_pMdiArea, m_pDocManager);
    m_pRecorder = new CRecorder(*m_pRecordingHost, [links] { return links->MeterSeen(); }, this);
    m_pRecorder->SetMaxReadings(recording::MaxReadingsSetting(m_settings.FilePath()));
    m_pJournals = new CRecordingJournals(journal::DefaultFolder(), this);
    connect(m_pRecorder, &CRecorder::recordingChanged, this, &CMainFrame::UpdateRecordingActions);
    connect(m_pRecorder, &CRecorder::livePointAdded, m_pJournals, &CRecordingJournals::OnLivePoint);
    connect(m_pRecorder, &CRecorder::liveRecordingEnded, m_pJournals, &CRecordingJournals::OnRecordingEnded);
    connect(m_pDocManager, &CDocManager::documentClosed, m_pJournals, &CRecordingJournals::OnDocumentClosed);
    connect(m_pRecorder, &CRecorder::savedReadingLost, this, [this] {
        m_pStatusMessage->setText(QStringLiteral("A saved reading was lost: no document could be made for it"));
    });
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

    m_timer1.setSingleShot(true);
    m_timer1.setInterval(500);
    connect(&m_timer1, &QTimer::timeout, this, &CMainFrame::BlankDisplay);
    m_timer1.start();
    WireLinks();
}

CMainFrame::~CMainFrame()
{
    if (m_pSearch)
        m_pSearch->Cancel();
    // The receive threads run the dispatcher: they stop before the members go.
    m_pLinks->Close();
    // No receive thread runs now: the record hook may go before the controller does.
    m_pProtocol->Hooks().oscRecord = nullptr;
}

void CMainFrame::WireLinks()
{
    CLinkController* links = m_pLinks.get();
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

void CMainFrame::CreateActions()
{
    auto add = [this](const QString& name, const QString& text, auto slot, int icon = -1) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        if (icon >= 0)
            a->setIcon(ToolbarIcons::make(static_cast<ToolbarIcons::Kind>(icon)));
        connect(a, &QAction::triggered, this, slot);
        m_actions.insert(name, a);
        return a;
    };
    add(QStringLiteral("connectBle"), QStringLiteral("ConnectBle"), &CMainFrame::OnConnectBle,
        (ToolbarIcons::Connect));
    add(QStringLiteral("portOther"), QStringLiteral("Other"), &CMainFrame::OnPortOther);
    add(QStringLiteral("searchBluetooth"), QStringLiteral("Search Bluetooth Ports"), &CMainFrame::OnSearchBluetooth);
    add(QStringLiteral("disconnect"), QStringLiteral("Disconnect"), &CMainFrame::OnDisconnect);
    add(QStringLiteral("cancelReconnect"), QStringLiteral("Stop Reconnecting"), &CMainFrame::OnDisconnect)
        ->setEnabled(false);
    auto* pane = add(QStringLiteral("realTimeShow"), QStringLiteral("RealTime Show"), &CMainFrame::OnTogglePane);
    pane->setCheckable(true);
    pane->setChecked(true);
    pane->setStatusTip(QStringLiteral("Show or hide the real time show"));
    add(QStringLiteral("start"), QStringLiteral("Start"), &CMainFrame::OnStart, (ToolbarIcons::Start));
    add(QStringLiteral("stop"), QStringLiteral("Stop"), &CMainFrame::OnStop, (ToolbarIcons::Stop));
    add(QStringLiteral("downloadLogger"), QStringLiteral("Download Multimeter Logger"), &CMainFrame::OnDownloadLogger);
    auto addOsc = [this](const QString& name, const QString& text, auto slot) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        m_actions.insert(name, a);
    };
    addOsc(QStringLiteral("getOscCurrent"), QStringLiteral("Get OSC Current Data"), [this] { m_pOsc->OnGetOscCurrentData(); });
    addOsc(QStringLiteral("downloadOsc"), QStringLiteral("Download OSC Logger"), [this] { m_pOsc->OnDownloadOscLogger(); });
    addOsc(QStringLiteral("saveOsc"), QStringLiteral("Save OSC Data"), [this] { m_pOscUi->OnSaveOscData(); });
    addOsc(QStringLiteral("openOsc"), QStringLiteral("Open OSC..."), [this] { m_pOscUi->OnOpenOsc(); });
    add(QStringLiteral("help"), QStringLiteral("&Help"), &CMainFrame::OnHelp);
    add(QStringLiteral("about"), QStringLiteral("&About Multimeter..."), &CMainFrame::OnAbout,
        (ToolbarIcons::About));
    auto* exit = add(QStringLiteral("exit"), QStringLiteral("E&xit"), &QWidget::close);
    exit->setShortcut(QKeySequence::Quit);
    UpdateRecordingActions();
}

void CMainFrame::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    file->addAction(action(QStringLiteral("exit")));
    m_pDocManager->AddFileMenuItems(file, action(QStringLiteral("exit")));
    file->insertActions(action(QStringLiteral("exit")), { action(QStringLiteral("openOsc")), action(QStringLiteral("saveOsc")) });
    file->insertSeparator(action(QStringLiteral("exit")));

    m_pViewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    m_pViewMenu->setObjectName(QStringLiteral("viewMenu"));

    QMenu* com = menuBar()->addMenu(QStringLiteral("&Com Port"));
    com->setObjectName(QStringLiteral("comPortMenu"));
    com->addAction(action(QStringLiteral("connectBle")));
    com->addAction(action(QStringLiteral("portOther")));
    com->addAction(action(QStringLiteral("searchBluetooth")));
    com->addSeparator();
    com->addAction(action(QStringLiteral("disconnect")));
    com->addAction(action(QStringLiteral("cancelReconnect")));

    QMenu* realTime = menuBar()->addMenu(QStringLiteral("&Real Time"));
    realTime->addAction(action(QStringLiteral("start")));
    realTime->addAction(action(QStringLiteral("stop")));
    realTime->addSeparator();
    realTime->addAction(action(QStringLiteral("downloadLogger")));
    realTime->addSeparator();
    realTime->addAction(action(QStringLiteral("getOscCurrent")));
    realTime->addAction(action(QStringLiteral("downloadOsc")));

    QMenu* graph = menuBar()->addMenu(QStringLiteral("&Graph"));
    graph->setObjectName(QStringLiteral("graphMenu"));
    CMyOrvelView::AddMenuCommands(graph);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(action(QStringLiteral("help")));
    help->addAction(action(QStringLiteral("about")));
}

void CMainFrame::CreateToolBar()
{
    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("toolBar"));
    addToolBar(new CControlDlgBar(this)); // the graph tools, sent to the active data-log view
    bar->setIconSize(QSize(32, 32));
    m_pDocManager->OpenAction()->setIcon(ToolbarIcons::make(ToolbarIcons::Open));
    m_pDocManager->SaveAction()->setIcon(ToolbarIcons::make(ToolbarIcons::Save));
    bar->addAction(m_pDocManager->OpenAction());
    bar->addAction(m_pDocManager->SaveAction());
    bar->addSeparator();
    bar->addAction(action(QStringLiteral("connectBle")));
    bar->addSeparator();
    bar->addAction(action(QStringLiteral("start")));
    bar->addAction(action(QStringLiteral("stop")));
    bar->addSeparator();
    bar->addAction(action(QStringLiteral("about")));
    // Every button says what it does when the pointer rests on it.
    m_pDocManager->OpenAction()->setToolTip(QStringLiteral("Open a data file"));
    m_pDocManager->SaveAction()->setToolTip(QStringLiteral("Save the active data file"));
    action(QStringLiteral("connectBle"))->setToolTip(QStringLiteral("Connect to a meter (Scan Device)"));
    action(QStringLiteral("start"))->setToolTip(QStringLiteral("Start recording the meter's readings"));
    action(QStringLiteral("stop"))->setToolTip(QStringLiteral("Stop recording"));
    action(QStringLiteral("about"))->setToolTip(QStringLiteral("About Multimeter"));

    // The View menu: tool bar, status bar, then the live pane (the third item).
    QAction* toolBarToggle = bar->toggleViewAction();
    toolBarToggle->setText(QStringLiteral("&Toolbar"));
    m_pViewMenu->addAction(toolBarToggle);
    auto* statusToggle = new QAction(QStringLiteral("&Status Bar"), this);
    statusToggle->setCheckable(true);
    statusToggle->setChecked(true);
    connect(statusToggle, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
    m_pViewMenu->addAction(statusToggle);
    m_pViewMenu->addAction(action(QStringLiteral("realTimeShow")));
}

void CMainFrame::CreatePanes()
{
    m_pDockPageBar = new QDockWidget(QStringLiteral("RealTime Show"), this);
    m_pDockPageBar->setObjectName(QStringLiteral("DockPageBar"));
    m_pDockPageBar->setAllowedAreas(Qt::AllDockWidgetAreas);
    m_pDockPageBar->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    m_pPages = new QTabWidget(m_pDockPageBar);
    m_pPages->setTabPosition(QTabWidget::South);

    m_pLeftDlg = new CLeftDlg();
    m_pDisplayPane = new CDisplayPane(m_pLeftDlg, m_pPages);
    m_pPages->addTab(m_pDisplayPane, QStringLiteral("Display"));
    connect(m_pLeftDlg, &CLeftDlg::keyCode, this, &CMainFrame::OnMeterKey);
    // The meter switched to its oscilloscope: no readout; the stored-waveform selector (a later
    // addition) covers the display.
    connect(&m_pProtocol->Decoder(), &CLiveDecoder::oscModeEntered, this,
        [this](int dialPos) {
            m_pLeftDlg->SetDialPos(dialPos);
            m_pLeftDlg->SetDisplayMode(CLeftDlg::kModeOscilloscope);
            m_pOscUi->ShowStorePane();
            m_pLinks->OscModeEntered();
        },
        Qt::QueuedConnection);
    connect(m_pLeftDlg, &CLeftDlg::dateWarningDue, this, [this] {
        emit dateWarning();
        msgbox::Show(this, QString::fromLatin1(CLiveDecoder::kDateWarningText), QString(), msgbox::Warning, msgbox::Ok);
    });

    m_pOscUi = new COscUi(m_pOsc, this,
        { [this] {
             // Right of the pane, as wide as the rest of the frame.
             const int paneW = m_pDockPageBar->isVisible() ? m_pDockPageBar->width() : 0;
             const QPoint at = mapToGlobal(QPoint(paneW + 10, m_pDockPageBar->y() + 130));
             return QRect(at, QSize(width() - paneW, height() - m_pDockPageBar->y() - 130));
         },
            [this] {
                m_pDockPageBar->show();
                m_pPages->setCurrentWidget(m_pDisplayPane);
            } });
    m_pLeftDlg->SetStoreSlotWindow(m_pOscUi->List());
    connect(m_pLeftDlg, &CLeftDlg::closeOscWindowRequested, this, [this] {
        if (COSCDlg* w = m_pOscUi->Window())
            w->close();
    });

    m_pLoggerUi = new CLoggerUi(m_pLogger, this,
        { [this](const QString& text) { m_pStatusMessage->setText(text); },
            [this] {
                m_pDockPageBar->show();
                m_pPages->setCurrentWidget(m_pLoggerList);
            },
            [this] { OnStop(); }, [this] { return m_pDocManager->OnFileNew(); },
            [this](CMyOrvelDoc* doc) { return m_pDocManager->Documents().contains(doc); } });
    m_pLoggerList = m_pLoggerUi->List();
    // A downloaded record is drawn by its document's view with the record's own range.
    connect(m_pLoggerUi, &CLoggerUi::recordShown, this, [this](CMyOrvelDoc* doc, const LoggerDisplay& display) {
        for (QMdiSubWindow* w : m_pMdiArea->subWindowList()) {
            if (auto* frame = qobject_cast<CChildFrame*>(w); frame && frame->document() == doc)
                frame->view()->ShowDownloaded(display.yMax, display.yMin);
        }
    });
    m_pPages->addTab(m_pLoggerList, QStringLiteral("Logger List"));

    m_pDockPageBar->setWidget(m_pPages);
    addDockWidget(Qt::LeftDockWidgetArea, m_pDockPageBar);
    // The pane is as wide as the panel it carries, plus room for a scroll bar.
    resizeDocks({ m_pDockPageBar }, { CDisplayPane::WidthFor(1.0) }, Qt::Horizontal);
    CreateZoomMenu();
}

void CMainFrame::CreateZoomMenu()
{
    for (QAction* a : m_pDisplayPane->AddZoomMenu(m_pViewMenu))
        m_actions.insert(a->objectName(), a);
    connect(m_pDisplayPane, &CDisplayPane::zoomChosen, this, &CMainFrame::SetDisplayZoom);
}

void CMainFrame::SetDisplayZoom(double zoom)
{
    m_pDisplayPane->SetZoomChoice(zoom);
    // A fixed zoom widens the pane to show the whole panel; Fit follows the pane as it is.
    if (zoom != CDisplayPane::kFit) {
        m_pDockPageBar->show();
        resizeDocks({ m_pDockPageBar }, { CDisplayPane::WidthFor(zoom) + 8 }, Qt::Horizontal);
    }
}

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

void CMainFrame::OnMeterEvent(const MeterEvent& event)
{
    m_pLeftDlg->OnMeterEvent(event);
    m_pRecorder->OnMeterEvent(event);
    m_pLinks->FrameDecoded();
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
    // A running recording gets a visible gap; the link is tried again.
    m_pRecorder->MarkGap(QDateTime::currentDateTime().toString(QStringLiteral("d/M/yy H:m:s")));
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

bool CMainFrame::OpenMeterPort(const QString& port)
{
    // A mistyped port must not cost the user the link that works.
    if (!m_pLinks->TryOpenMeterPort(port, true)) {
        msgbox::Show(this, PortOpenWarning(port), QString(), msgbox::Information);
        return false;
    }
    m_settings.WritePort(port);
    return true;
}

void CMainFrame::OnConnectBle()
{
    // The user picks the meter again: no retry or direct link of the old connection stays.
    m_pLinks->ResetLinks();
    // Each showing starts with an empty list and enabled buttons.
    QPointer<CLinkController> links(m_pLinks.get());
    auto* dlg = new CBleScan(&m_pLinks->Dongle(), &m_settings, [links] {
        if (links)
            links->LinkUp();
    }, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->SetDirectCentral(m_pLinks->Central(), [links](const QString& address) {
        if (links)
            links->ConnectDirect(address);
    });
    m_pBleScan = dlg;
    dlg->open();
}

void CMainFrame::OnPortOther()
{
    m_nComPort = m_settings.ReadComPort();
    CPort dlg(this);
    dlg.SetPort(m_settings.ReadPort());
    if (dlg.exec() != QDialog::Accepted)
        return;
    const QString port = dlg.Port();
    if (!OpenMeterPort(port))
        return;
    m_pLinks->LinkUp();
    QString device;
    CComPort::ResolvePortName(port, &device, &m_nComPort);
}

void CMainFrame::OnSearchBluetooth()
{
    if (m_pSearch && m_pSearch->IsRunning())
        return;
    QStringList candidates;
    try {
        candidates = EnumerateBluetoothPorts();
    } catch (const std::exception&) {
        msgbox::Show(this, QStringLiteral("can't get the comport, you may try to enter the comport by manual!"));
        return;
    }
    if (!m_pSearch) {
        m_pSearch = new CBluetoothPortSearch(
            [this](const QString& port) { return m_pLinks->TryOpenMeterPort(port); },
            [this] { return m_pLinks->MeterSeen(); }, this);
        connect(m_pSearch, &CBluetoothPortSearch::found, this, [this](const QString& port) {
            m_settings.WritePort(port);
            m_pLinks->LinkUp();
        });
        // A search that heard nothing says so, and offers the way to name the port by hand.
        connect(m_pSearch, &CBluetoothPortSearch::nothingFound, this, &CMainFrame::OfferPortDialog,
            Qt::QueuedConnection);
    }
    auto* progress = new QProgressDialog(QStringLiteral("Searching Bluetooth serial ports..."),
        QStringLiteral("Cancel"), 0, 0, this);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    progress->setWindowModality(Qt::NonModal);
    progress->setMinimumDuration(0);
    connect(m_pSearch, &CBluetoothPortSearch::trying, progress,
        [progress](const QString& port) { progress->setLabelText(QStringLiteral("Trying %1...").arg(port)); });
    connect(progress, &QProgressDialog::canceled, m_pSearch, &CBluetoothPortSearch::Cancel);
    connect(m_pSearch, &CBluetoothPortSearch::finished, progress, &QProgressDialog::close);
    progress->show();
    m_pSearch->Start(candidates, m_settings.ReadPort());
}

void CMainFrame::OfferPortDialog()
{
    const msgbox::Button answer = msgbox::Show(this,
        QStringLiteral("No meter answered on the Bluetooth serial ports. Do you want to enter the port yourself?"),
        QString(), msgbox::Question, msgbox::Yes | msgbox::No);
    if (answer == msgbox::Yes)
        OnPortOther();
}

void CMainFrame::OnDisconnect()
{
    // The user's disconnect also ends any retrying and the direct link.
    m_pLinks->Disconnect();
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
    if (!m_pLinks->MeterSeen() && m_pRecorder->CanStart()) {
        msgbox::Show(this,
            QStringLiteral("No meter is connected, so there is nothing to record yet.\n"
                           "Connect one with Com Port > ConnectBle, then choose Start."),
            QStringLiteral("Tip"));
        return;
    }
    m_pRecorder->OnStart();
}

void CMainFrame::OnStop()
{
    m_pRecorder->OnStop();
}

void CMainFrame::UpdateRecordingActions()
{
    action(QStringLiteral("start"))->setEnabled(m_pRecorder->CanStart());
    action(QStringLiteral("stop"))->setEnabled(m_pRecorder->CanStop());
}

void CMainFrame::StartDemo()
{
    auto connection = std::make_shared<QMetaObject::Connection>();
    CBleLink& dongle = m_pLinks->Dongle();
    *connection = connect(&dongle, &CBleLink::scanRow, this, [this, connection](const QStringList& row) {
        // The first device that advertises a name is the meter.
        if (row.size() < 3 || row[1] == QLatin1String("Device Name:"))
            return;
        disconnect(*connection);
        m_pLinks->Dongle().Connect(row[2], [this] { m_pLinks->LinkUp(); });
    }, Qt::QueuedConnection);
    // The simulated meter's port is the last one used: the Scan Device dialog offers it next.
    QPointer<CMainFrame> self(this);
    dongle.Scan(QStringLiteral("sim"), [self](int result) {
        if (self && result == CBleLink::OpenOk)
            self->m_settings.WritePort(QStringLiteral("sim"));
    });

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
    connect(window, &CChildFrame::stopRequested, m_pRecorder, &CRecorder::OnStop);
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
    if (m_pSearch)
        m_pSearch->Cancel();
    // The receive threads run the dispatcher: they stop before the members go.
    m_pLinks->Close();
    event->accept();
}
