// The dialogs through which the user picks a meter: Scan Device, Port, the Bluetooth port search.
// The links themselves are the link controller's.
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
    QPointer<CLinkController> links(m_pLinks);
    auto* dlg = new CBleScan(&m_pLinks->Dongle(), &m_settings, [links] {
        if (links)
            links->LinkUp();
    }, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    // Through the session, which takes the address as the meter's.
    QPointer<CMeterSession> first(meter(0));
    dlg->SetDirectCentral(m_pLinks->Central(), [first](const QString& address) {
        if (first)
            first->ConnectDirect(address);
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
