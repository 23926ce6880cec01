// The main window's side of alarms and derived readings: the live readings of its meter go to
// the session's parts, which reach the meter's panel and recorder through hooks.
#include "app/MainFrame.h"

#include "app/SessionUi.h"
#include "app/WindowRecordingHost.h"
#include "display/DerivedPanel.h"
#include "display/LeftDlg.h"
#include "link/BleLink.h"
#include "link/DirectLink.h"
#include "link/LinkController.h"
#include "recording/Recorder.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <cmath>

namespace {

// A decoded live frame as the session sees it: the value in the unit shown, not a number when
// the LCD shows it over range.
LiveReading LiveReadingOf(const MeterEvent& event, int meter, const QDateTime& time)
{
    const MeterData& d = event.m_data;
    LiveReading r;
    r.meter = meter;
    r.unit = d.m_strUnit;
    r.time = time;
    // A frequency frame carries no range limit of its own.
    const bool limited = event.m_nMode != 7 && d.m_fLimit > 0;
    if (std::isfinite(d.m_fValue) && !(limited && std::fabs(d.m_fValue) > d.m_fLimit))
        r.value = d.m_fValue;
    return r;
}

} // namespace

void CMainFrame::CreateSession()
{
    CSessionUi::Hooks hooks;
    hooks.panel = [this](int meter) { return meter == 0 ? m_pLeftDlg : nullptr; };
    hooks.recorder = [this](int meter) { return meter == 0 ? m_pRecorder : nullptr; };
    // Asked for every reading: the file is read once, for a meter on its own serial port.
    const QString lastChosen = m_settings.ReadMac();
    hooks.address = [this, lastChosen](int meter) {
        if (meter != 0)
            return QString();
        // The meter the link reaches now: the direct link's, else the dongle's last one.
        if (const auto direct = m_pLinks->Direct(); direct && direct->IsConnected())
            return direct->Address();
        const QString dongle = m_pLinks->Dongle().LastAddress();
        return dongle.isEmpty() ? lastChosen : dongle;
    };
    hooks.status = [this](const QString& text) { m_pStatusMessage->setText(text); };
    m_pSessionUi = new CSessionUi(m_settings.FilePath(), *m_pRecordingHost, std::move(hooks), this);
    connect(m_pLinks.get(), &CLinkController::disconnected, m_pSessionUi, [this] { m_pSessionUi->OnMeterGone(0); });
    connect(m_pLinks.get(), &CLinkController::linkLost, m_pSessionUi, [this] { m_pSessionUi->Derived().OnMeterGone(0); });
    connect(m_pRecorder, &CRecorder::recordingChanged, &m_pSessionUi->DerivedRecorder(),
        &CDerivedRecorder::OnRecordingChanged);

    // Power, energy and charge: a pane under the live display, out of the way until a meter on
    // DC volts and another on DC amps give it something to show.
    auto* dock = new QDockWidget(QStringLiteral("Power / Energy"), this);
    dock->setObjectName(QStringLiteral("DerivedPane"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable | QDockWidget::DockWidgetClosable);
    dock->setWidget(m_pSessionUi->DerivedPanel());
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    splitDockWidget(m_pDockPageBar, dock, Qt::Vertical);
    dock->hide();
    QAction* toggle = dock->toggleViewAction();
    toggle->setText(QStringLiteral("&Power / Energy"));
    toggle->setObjectName(QStringLiteral("derivedPane"));
    m_actions.insert(toggle->objectName(), toggle);
    m_pViewMenu->addAction(toggle);
    connect(m_pSessionUi, &CSessionUi::derivedPaired, dock, &QDockWidget::show);

    auto* alarms = new QAction(QStringLiteral("&Alarms..."), this);
    alarms->setObjectName(QStringLiteral("alarms"));
    alarms->setStatusTip(QStringLiteral("Set the meter's alarm limits"));
    connect(alarms, &QAction::triggered, m_pSessionUi, [this] { m_pSessionUi->OpenAlarmDialog(0); });
    m_actions.insert(alarms->objectName(), alarms);
    for (QAction* a : menuBar()->actions()) {
        if (a->menu() && a->text() == QLatin1String("&Real Time")) {
            a->menu()->addSeparator();
            a->menu()->addAction(alarms);
        }
    }
}

void CMainFrame::FeedSession(const MeterEvent& event)
{
    if (event.m_bSavedFrame || event.m_nMode < 1 || event.m_nMode > 7)
        return;
    m_pSessionUi->OnReading(LiveReadingOf(event, 0, QDateTime::currentDateTime()));
}
