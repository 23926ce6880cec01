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
#include "session/MeterSession.h"

#include <QAction>
#include <QDockWidget>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

void CMainFrame::CreateSession()
{
    // Meters are named by their session's index, which stays theirs while they are connected.
    auto panelOf = [this](int meter) -> const MeterPanel* {
        for (const MeterPanel& m : m_meters) {
            if (m.session->Index() == meter)
                return &m;
        }
        return nullptr;
    };
    CSessionUi::Hooks hooks;
    hooks.panel = [panelOf](int meter) -> CLeftDlg* {
        const MeterPanel* m = panelOf(meter);
        return m ? m->panel : nullptr;
    };
    hooks.recorder = [panelOf](int meter) -> CRecorder* {
        const MeterPanel* m = panelOf(meter);
        return m ? m->session->Recorder() : nullptr;
    };
    // Asked for every reading: the file is read once, for a meter on its own serial port.
    const QString lastChosen = m_settings.ReadMac();
    hooks.address = [this, lastChosen, panelOf](int meter) {
        if (meter != 0) {
            const MeterPanel* m = panelOf(meter);
            return m ? m->session->Id().address : QString();
        }
        // The meter the link reaches now: the direct link's, else the dongle's last one.
        if (const auto direct = m_pLinks->Direct(); direct && direct->IsConnected())
            return direct->Address();
        const QString dongle = m_pLinks->Dongle().LastAddress();
        return dongle.isEmpty() ? lastChosen : dongle;
    };
    hooks.status = [this](const QString& text) { m_pStatusMessage->setText(text); };
    // The power document is no meter's: no meter records into it, and closing it stops none.
    m_pDerivedHost = std::make_unique<CWindowRecordingHost>(m_pMdiArea, m_pDocManager, -1);
    m_pSessionUi = new CSessionUi(m_settings.FilePath(), *m_pDerivedHost, std::move(hooks), this);
    connect(this, &CMainFrame::reading, m_pSessionUi, &CSessionUi::OnReading);
    auto follow = [this](CMeterSession* meter) {
        const int index = meter->Index();
        connect(&meter->Links(), &CLinkController::disconnected, m_pSessionUi,
            [this, index] { m_pSessionUi->OnMeterGone(index); });
        connect(&meter->Links(), &CLinkController::linkLost, m_pSessionUi,
            [this, index] { m_pSessionUi->Derived().OnMeterGone(index); });
    };
    for (const MeterPanel& m : m_meters)
        follow(m.session.get());
    connect(this, &CMainFrame::meterAdded, m_pSessionUi, [this, follow](CMeterSession* meter) {
        if (meter->Index() != 0)
            follow(meter);
    });
    connect(this, &CMainFrame::meterRemoved, m_pSessionUi,
        [this](CMeterSession* meter) { m_pSessionUi->OnMeterGone(meter->Index()); });
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
    connect(alarms, &QAction::triggered, m_pSessionUi, [this] { OnAlarms(); });
    m_actions.insert(alarms->objectName(), alarms);
    for (QAction* a : menuBar()->actions()) {
        if (a->menu() && a->text() == QLatin1String("&Real Time")) {
            a->menu()->addSeparator();
            a->menu()->addAction(alarms);
        }
    }
}

void CMainFrame::OnAlarms()
{
    if (MeterCount() == 1) {
        m_pSessionUi->OpenAlarmDialog(meter(0)->Index());
        return;
    }
    // Several meters: the one whose panel the user picks.
    QStringList labels;
    for (int i = 0; i < MeterCount(); ++i)
        labels << meter(i)->Label();
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        this, QStringLiteral("Alarms"), QStringLiteral("Alarm limits of:"), labels, 0, false, &ok);
    if (ok && labels.contains(chosen))
        m_pSessionUi->OpenAlarmDialog(meter(int(labels.indexOf(chosen)))->Index());
}
