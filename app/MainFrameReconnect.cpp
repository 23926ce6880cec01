// The main window's part of automatic reconnect: the retry state goes to the status bar and
// enables "Stop Reconnecting"; a reopened link restarts the watchdog, whose first frame then ends
// the retry (OnMeterHeard). The recording is not touched here: OnLinkLost marks its gap and it
// simply goes on with the readings after the reconnect.
#include "app/MainFrame.h"

#include "link/Reconnector.h"

#include <QAction>

void CMainFrame::SetUpReconnect()
{
    m_pReconnector = new CReconnector(m_link, {}, this);
    connect(m_pReconnector, &CReconnector::statusChanged, this, [this](const QString& text) {
        action(QStringLiteral("cancelReconnect"))->setEnabled(m_pReconnector->Active());
        if (text.isEmpty())
            return;
        m_linkStatus.Reconnecting(text);
        ShowLinkStatus();
    });
    connect(m_pReconnector, &CReconnector::linkReopened, this, [this] { StartWatchdog(); });
}
