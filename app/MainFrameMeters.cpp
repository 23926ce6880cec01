// Several meters at once: each has its own session (link, protocol, recorder), its own live panel
// in a dock of its own, labelled with its name and address, and its port in the settings file.
// Meter 1 is the one of a single-meter start: its panel is the "Display" page, and the keys'
// menu, the logger download and the oscilloscope stay with it.
#include "app/MainFrame.h"

#include "app/ChildFrame.h"
#include "app/DocManager.h"
#include "app/WindowRecordingHost.h"
#include "datalog/GraphDlg.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"
#include "display/DisplayPane.h"
#include "display/LeftDlg.h"
#include "link/BleScanDlg.h"
#include "link/LinkController.h"
#include "link/QtBleCentral.h"
#include "platform/MessageBox.h"
#include "protocol/MeterProtocol.h"
#include "recording/Recorder.h"
#include "recording/RecordingJournal.h"
#include "recording/RecordingRules.h"
#include "session/MeterSession.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

CMeterSession* CMainFrame::meter(int i) const
{
    return i >= 0 && i < MeterCount() ? m_meters[size_t(i)].session.get() : nullptr;
}

CLeftDlg* CMainFrame::meterPanel(int i) const
{
    return i >= 0 && i < MeterCount() ? m_meters[size_t(i)].panel : nullptr;
}

QDockWidget* CMainFrame::meterDock(int i) const
{
    return i >= 0 && i < MeterCount() ? m_meters[size_t(i)].dock : nullptr;
}

int CMainFrame::IndexOf(const CMeterSession* meter) const
{
    for (size_t i = 0; i < m_meters.size(); ++i) {
        if (m_meters[i].session.get() == meter)
            return int(i);
    }
    return -1;
}

CMeterSession* CMainFrame::MeterOfDocument(const CMyOrvelDoc* doc) const
{
    const int index = CWindowRecordingHost::MeterOf(doc);
    for (const MeterPanel& m : m_meters) {
        if (m.session->Index() == index)
            return m.session.get();
    }
    return nullptr;
}

CMeterSession* CMainFrame::MakeMeter(int index)
{
    MeterPanel m;
    // A document says which meter it records only while more than one is connected.
    auto note = [this, index]() -> QString {
        if (m_meters.size() < 2)
            return QString();
        for (const MeterPanel& p : m_meters) {
            if (p.session->Index() == index) {
                const QString name = p.session->Id().name;
                return name.isEmpty() ? QStringLiteral("Meter %1").arg(index + 1)
                                      : QStringLiteral("Meter %1 (%2)").arg(index + 1).arg(name);
            }
        }
        return QString();
    };
    auto host = std::make_unique<CWindowRecordingHost>(
        m_pMdiArea, m_pDocManager, index, [this] { return m_nRecordingGroup; }, note);
    m.host = host.get();
    m.session = std::make_unique<CMeterSession>(index, std::move(host));
    m.settings = std::make_unique<CPortSettings>(m_settings.ForMeter(int(m_meters.size()) + 1));
    CMeterSession* session = m.session.get();
    m_meters.push_back(std::move(m));
    WireRecorder(session);
    connect(session, &CMeterSession::reading, this, &CMainFrame::reading);
    connect(session, &CMeterSession::identityChanged, this, &CMainFrame::RememberMeters);
    return session;
}

void CMainFrame::WireRecorder(CMeterSession* meter)
{
    CRecorder* recorder = meter->Recorder();
    recorder->SetMaxReadings(recording::MaxReadingsSetting(m_settings.FilePath()));
    connect(recorder, &CRecorder::recordingChanged, this, &CMainFrame::UpdateRecordingActions);
    connect(recorder, &CRecorder::livePointAdded, m_pJournals, &CRecordingJournals::OnLivePoint);
    connect(recorder, &CRecorder::liveRecordingEnded, m_pJournals, &CRecordingJournals::OnRecordingEnded);
    connect(recorder, &CRecorder::savedReadingLost, this, [this] {
        m_pStatusMessage->setText(QStringLiteral("A saved reading was lost: no document could be made for it"));
    });
    connect(recorder, &CRecorder::recordingChanged, this, &CMainFrame::UpdateShowTogether);
    // A graph that shows this meter's document beside its own draws the new reading too.
    connect(recorder, &CRecorder::livePointAdded, this, [this](CMyOrvelDoc* doc) {
        for (QMdiSubWindow* w : m_pMdiArea->subWindowList()) {
            if (auto* frame = qobject_cast<CChildFrame*>(w); frame && frame->view()->Graph()->Overlays(doc))
                frame->view()->Graph()->Invalidate();
        }
    });
}

CMeterSession* CMainFrame::AddMeter()
{
    if (MeterCount() >= CPortSettings::kMaxMeters)
        return nullptr;
    CMeterSession* session = MakeMeter(m_nNextMeter++);
    MeterPanel& m = m_meters.back();
    CLinkController* links = &session->Links();
    links->SetCentralFactory([this]() -> IBleCentral* { return new CQtBleCentral(this); });
    CreateMeterPanel(m);

    CLeftDlg* panel = m.panel;
    QLabel* status = m.status;
    auto blank = [session, panel] {
        session->Protocol().Decoder().ResetDialPos();
        panel->Blank();
    };
    connect(session, &CMeterSession::meterEvent, panel, &CLeftDlg::OnMeterEvent);
    connect(links, &CLinkController::statusChanged, status, &QLabel::setText);
    connect(links, &CLinkController::connected, panel, blank);
    connect(links, &CLinkController::disconnected, panel, blank);
    connect(links, &CLinkController::linkLost, panel, [blank](int lostCount) {
        // Only the first loss blanks the panel; later ones leave the last reading up.
        if (lostCount == 1)
            blank();
    });
    connect(&session->Protocol().Decoder(), &CLiveDecoder::oscModeEntered, panel,
        [panel, links](int dialPos) {
            panel->SetDialPos(dialPos);
            panel->SetDisplayMode(CLeftDlg::kModeOscilloscope);
            links->OscModeEntered();
        },
        Qt::QueuedConnection);
    // The panel's keys act on its own meter.
    connect(panel, &CLeftDlg::keyCode, links, [links, panel](int code) {
        if (!links->MeterSeen())
            return;
        if (code == meter_cmd::KeyMenu) {
            panel->ShowFunctionMenu();
            return;
        }
        const meter_cmd::Command c = meter_cmd::KeyCodeCommand(code);
        links->SendLater(QByteArray(reinterpret_cast<const char*>(c.data()), int(c.size())));
    });
    connect(panel, &CLeftDlg::dateWarningDue, this, [this] {
        emit dateWarning();
        msgbox::Show(this, QString::fromLatin1(CLiveDecoder::kDateWarningText), QString(), msgbox::Warning, msgbox::Ok);
    });
    connect(session, &CMeterSession::identityChanged, this, &CMainFrame::UpdateMeterLabels);
    UpdateMeterLabels();
    UpdateRecordingActions();
    emit meterAdded(session);
    return session;
}

void CMainFrame::CreateMeterPanel(MeterPanel& m)
{
    auto* dock = new QDockWidget(m.session->Label(), this);
    dock->setObjectName(QStringLiteral("MeterDock%1").arg(m.session->Index() + 1));
    dock->setAttribute(Qt::WA_DeleteOnClose, false);
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable
        | QDockWidget::DockWidgetClosable);
    auto* body = new QWidget(dock);
    auto* v = new QVBoxLayout(body);
    v->setContentsMargins(0, 0, 0, 0);
    m.panel = new CLeftDlg();
    m.pane = new CDisplayPane(m.panel, body);
    v->addWidget(m.pane, 1);
    m.status = new QLabel(QStringLiteral("Not connected"), body);
    m.status->setObjectName(QStringLiteral("meterStatus"));
    m.status->setContentsMargins(4, 2, 4, 2);
    v->addWidget(m.status);
    dock->setWidget(body);
    dock->installEventFilter(this);
    m.dock = dock;

    // The second meter beside the documents, on the right; more stack behind it as tabs.
    QDockWidget* previous = nullptr;
    for (const MeterPanel& other : m_meters) {
        if (other.dock && other.dock != dock && other.dock != m_pDockPageBar)
            previous = other.dock;
    }
    if (previous) {
        tabifyDockWidget(previous, dock);
    } else {
        addDockWidget(Qt::RightDockWidgetArea, dock);
        resizeDocks({ dock }, { CDisplayPane::WidthFor(1.0) }, Qt::Horizontal);
    }
    dock->show();
    dock->raise();
}

bool CMainFrame::OnMeterDockClosing(QObject* watched)
{
    for (size_t i = 1; i < m_meters.size(); ++i) {
        if (m_meters[i].dock != watched)
            continue;
        // Not from inside the dock's own close: the dock goes with the meter.
        QPointer<CMeterSession> session(m_meters[i].session.get());
        QTimer::singleShot(0, this, [this, session] {
            if (session)
                RemoveMeter(IndexOf(session));
        });
        return true;
    }
    return false;
}

void CMainFrame::RemoveMeter(int i)
{
    if (i <= 0 || i >= MeterCount())
        return;
    MeterPanel& m = m_meters[size_t(i)];
    emit meterRemoved(m.session.get());
    // Its documents stop being recorded into; they stay open with what they hold.
    m.session->Recorder()->OnStop();
    m.session->Links().Disconnect();
    QDockWidget* dock = m.dock;
    dock->removeEventFilter(this);
    removeDockWidget(dock);
    dock->deleteLater();
    m_meters.erase(m_meters.begin() + i); // closes its links
    RememberMeters();
    UpdateMeterLabels();
    UpdateRecordingActions();
}

void CMainFrame::UpdateMeterLabels()
{
    // With one meter the pane keeps its name; with more, every panel says whose it is.
    const bool several = m_meters.size() > 1;
    for (const MeterPanel& m : m_meters) {
        if (!m.dock)
            continue;
        if (m.dock == m_pDockPageBar)
            m.dock->setWindowTitle(several ? m.session->Label() : QStringLiteral("RealTime Show"));
        else
            m.dock->setWindowTitle(m.session->Label());
    }
}

void CMainFrame::RememberMeters()
{
    // Meter n of the next start is the n-th connected now; meter 1's port is kept by its own
    // dialogs as it always was.
    m_settings.WriteMeterCount(MeterCount());
    for (size_t i = 1; i < m_meters.size(); ++i) {
        const CMeterSession::Identity& id = m_meters[i].session->Id();
        CPortSettings slot = m_settings.ForMeter(int(i) + 1);
        if (!id.port.isEmpty())
            slot.WritePort(id.port);
        if (!id.address.isEmpty())
            slot.WriteMac(id.address);
        *m_meters[i].settings = slot;
    }
}

void CMainFrame::StopMeterOf(CMyOrvelDoc* doc)
{
    if (CMeterSession* session = MeterOfDocument(doc))
        session->Recorder()->OnStop();
}

void CMainFrame::OnAddMeter()
{
    CMeterSession* session = AddMeter();
    if (!session) {
        msgbox::Show(this, QStringLiteral("No more meters can be connected at once."), QString(), msgbox::Information);
        return;
    }
    // The dialog starts with the port this meter had in the last session.
    CPortSettings* settings = m_meters.back().settings.get();
    QPointer<CMeterSession> guard(session);
    auto* dlg = new CBleScan(&session->Links().Dongle(), settings, [guard] {
        if (guard)
            guard->Links().LinkUp();
    }, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle(dlg->windowTitle() + QStringLiteral(" - ") + session->Label());
    dlg->SetDirectCentral(session->Links().Central(), [guard](const QString& address) {
        if (guard)
            guard->ConnectDirect(address);
    });
    // Given up before any connection: the meter goes again.
    connect(dlg, &QDialog::finished, this, [this, guard](int result) {
        if (guard && result == QDialog::Rejected && !guard->Links().WatchdogRunning()
            && !guard->Links().Dongle().m_ComPort.IsOpen())
            RemoveMeter(IndexOf(guard));
    });
    // A meter removed while its dialog is open takes the dialog with it: it works on its link.
    QPointer<CBleScan> guardDlg(dlg);
    connect(this, &CMainFrame::meterRemoved, this, [this, guardDlg, session](CMeterSession* removed) {
        if (removed != session || !guardDlg)
            return;
        disconnect(guardDlg, nullptr, this, nullptr);
        delete guardDlg.data();
    });
    dlg->open();
}

void CMainFrame::ConnectDemoMeter(CMeterSession* meter, const QString& port)
{
    auto connection = std::make_shared<QMetaObject::Connection>();
    CBleLink& dongle = meter->Links().Dongle();
    QPointer<CMeterSession> guard(meter);
    *connection = connect(&dongle, &CBleLink::scanRow, this, [guard, connection](const QStringList& row) {
        // The first device that advertises a name is the meter.
        if (!guard || row.size() < 3 || row[1] == QLatin1String("Device Name:"))
            return;
        disconnect(*connection);
        guard->Links().Dongle().Connect(row[2], [guard] {
            if (guard)
                guard->Links().LinkUp();
        });
    }, Qt::QueuedConnection);
    // The simulated meter's port is the last one used: the Scan Device dialog offers it next.
    const int slot = IndexOf(meter) + 1;
    QPointer<CMainFrame> self(this);
    dongle.Scan(port, [self, port, slot](int result) {
        if (self && result == CBleLink::OpenOk)
            self->m_settings.ForMeter(slot).WritePort(port);
    });
}

void CMainFrame::AddDemoMeter()
{
    if (CMeterSession* session = AddMeter())
        ConnectDemoMeter(session, QStringLiteral("sim2"));
}

QList<CMyOrvelDoc*> CMainFrame::RecordedTogetherWith(const CMyOrvelDoc* doc) const
{
    QList<CMyOrvelDoc*> out;
    const int group = CWindowRecordingHost::GroupOf(doc);
    if (group == 0)
        return out;
    QList<int> meters { CWindowRecordingHost::MeterOf(doc) };
    for (CMyOrvelDoc* other : m_pDocManager->Documents()) {
        const int meterOfOther = CWindowRecordingHost::MeterOf(other);
        if (CWindowRecordingHost::GroupOf(other) != group || meters.contains(meterOfOther))
            continue;
        meters.append(meterOfOther);
        out.append(other);
    }
    return out;
}

QString CMainFrame::LegendName(const CMyOrvelDoc* doc) const
{
    const int index = CWindowRecordingHost::MeterOf(doc);
    QString text = QStringLiteral("Meter %1").arg(index + 1);
    if (const CMeterSession* session = MeterOfDocument(doc); session && !session->Id().name.isEmpty())
        text += QStringLiteral(" (%1)").arg(session->Id().name);
    return text; // the graph adds the unit of the document's readings
}

bool CMainFrame::ShowTogether(CMyOrvelDoc* doc, bool on)
{
    CGraphDlg* graph = nullptr;
    for (QMdiSubWindow* w : m_pMdiArea->subWindowList()) {
        if (auto* frame = qobject_cast<CChildFrame*>(w); frame && frame->document() == doc) {
            graph = frame->view()->Graph();
            // The graph shown is the one asked for.
            if (m_pMdiArea->activeSubWindow() != w)
                m_pMdiArea->setActiveSubWindow(w);
        }
    }
    if (!graph)
        return false;
    const QList<CMyOrvelDoc*> others = on ? RecordedTogetherWith(doc) : QList<CMyOrvelDoc*>();
    QList<CGraphDlg::OverlayDoc> overlay;
    for (CMyOrvelDoc* other : others)
        overlay.append({ other, LegendName(other), GraphOverlayColor(int(overlay.size())) });
    graph->SetOverlay(LegendName(doc), overlay);
    UpdateShowTogether();
    return !overlay.isEmpty();
}

void CMainFrame::UpdateShowTogether()
{
    QAction* a = action(QStringLiteral("showTogether"));
    if (!a)
        return;
    // Only where there is something to show together: with one meter the menu is as it was.
    CMyOrvelDoc* doc = m_pDocManager->ActiveDocument();
    a->setVisible(doc && !RecordedTogetherWith(doc).isEmpty());
    CGraphDlg* graph = nullptr;
    for (QMdiSubWindow* w : m_pMdiArea->subWindowList()) {
        if (auto* frame = qobject_cast<CChildFrame*>(w); frame && frame->document() == doc)
            graph = frame->view()->Graph();
    }
    const QSignalBlocker quiet(a);
    a->setChecked(graph && graph->HasOverlay());
}
