// The main window's part of the direct Bluetooth link and of automatic reconnect.
//
// Direct: the Scan Device dialog lists the meters the computer's own adapter sees; picking one
// closes the dongle and connects through CDirectLink, whose payloads go into the same frame text
// and dispatcher. Its notifications also keep the dongle link's arrival time and "meter seen"
// flag, so the watchdog, the keys and Start work the same on either link.
//
// Reconnect: the retry state goes to the status bar and enables "Stop Reconnecting"; a reopened
// link restarts the watchdog, whose first frame then ends the retry (OnMeterHeard). The recording
// is not touched here: OnLinkLost marks its gap and it goes on with the readings after it.
#include "app/MainFrame.h"
#include "link/DirectLink.h"
#include "link/QtBleCentral.h"
#include "link/Reconnector.h"
#include "protocol/LoggerDownload.h"
#include "protocol/MeterProtocol.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>

void CMainFrame::SetUpLinks()
{
    m_pReconnector = new CReconnector(m_link, {}, this);
    connect(m_pReconnector, &CReconnector::statusChanged, this, [this](const QString& text) {
        action(QStringLiteral("cancelReconnect"))->setEnabled(m_pReconnector->Active());
        if (text.isEmpty())
            return;
        m_linkStatus.Reconnecting(text);
        ShowLinkStatus();
    });
    // The direct link restarts the watchdog itself when it connects (with its own name).
    connect(m_pReconnector, &CReconnector::linkReopened, this, [this] {
        if (!m_pDirect || !m_pDirect->IsConnected())
            StartWatchdog();
    });
}

IBleCentral* CMainFrame::BleCentral()
{
    if (!m_pCentral)
        SetBleCentral(new CQtBleCentral(this));
    return m_pCentral;
}

void CMainFrame::SetBleCentral(IBleCentral* central)
{
    if (m_pDirect) {
        m_pDirect->Close();
        delete m_pDirect;
        m_pDirect = nullptr;
    }
    m_pCentral = central;
    if (!central)
        return;
    m_pDirect = new CDirectLink(*central, m_link.m_strMeterRx, this);
    m_pDirect->SetFrameHook([this] {
        m_link.m_timeLastRx.store(QDateTime::currentSecsSinceEpoch());
        m_link.m_bMeterSeen.store(true);
        m_pProtocol->MeterFrameDispatcher();
    });
    connect(m_pDirect, &CDirectLink::linkLost, m_pLogger, &CLoggerDownload::OnLinkLost, Qt::QueuedConnection);
    connect(m_pDirect, &CDirectLink::connected, this, [this] {
        StartWatchdog();
        m_linkStatus.PortOpened(QStringLiteral("Bluetooth %1").arg(m_pDirect->Address()));
        ShowLinkStatus();
        m_pReconnector->LinkReopened();
    });
    connect(m_pDirect, &CDirectLink::connectFailed, this, [this](const QString& reason) {
        if (m_pReconnector->Plan().Trying()) {
            m_pReconnector->AttemptFailed();
            return;
        }
        m_pStatusMessage->setText(reason);
    });
    // A lost direct link is left to the watchdog, like a silent dongle.
}

void CMainFrame::ConnectDirect(const QString& address)
{
    if (!m_pDirect)
        return;
    // One link at a time feeds the frame text.
    m_link.Close();
    m_timer2.stop();
    m_pReconnector->Remember(QStringLiteral("bluetooth"), address);
    m_pReconnector->SetAttempt([this](const QString& a) { m_pDirect->Connect(a); });
    m_pDirect->Connect(address);
    m_pStatusMessage->setText(QStringLiteral("Connecting to %1 over Bluetooth...").arg(address));
}

void CMainFrame::ResetLinks()
{
    m_pReconnector->Cancel();
    m_pReconnector->Forget();
    m_pReconnector->SetAttempt({});
    if (m_pDirect)
        m_pDirect->Close();
}

bool CMainFrame::SendToMeter(const uint8_t* bytes, int count)
{
    if (m_pDirect && m_pDirect->IsConnected())
        return m_pDirect->SendToMeter(bytes, count);
    return m_link.SendToMeter(bytes, count);
}
