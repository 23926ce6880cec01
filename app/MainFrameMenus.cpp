// The main window's actions, menus, tool bar, panes and display zoom.
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
    add(QStringLiteral("addMeter"), QStringLiteral("Add meter\u2026"), &CMainFrame::OnAddMeter)
        ->setStatusTip(QStringLiteral("Connect a further meter on its own port, with a panel of its own"));
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
    auto* together = add(QStringLiteral("showTogether"), QStringLiteral("Show Together"), [this](bool on) {
        if (CMyOrvelDoc* doc = m_pDocManager->ActiveDocument())
            ShowTogether(doc, on);
    });
    together->setCheckable(true);
    together->setVisible(false);
    together->setStatusTip(QStringLiteral("Show the documents the meters recorded together on one time axis"));
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
    com->addAction(action(QStringLiteral("addMeter")));
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
    graph->addAction(action(QStringLiteral("showTogether")));

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
