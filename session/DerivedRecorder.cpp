#include "session/DerivedRecorder.h"

#include "datalog/MyOrvelDoc.h"
#include "recording/Recorder.h"

#include <algorithm>
#include <limits>

namespace {

QString TimeText(const QDateTime& t) { return t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")); }

} // namespace

CDerivedRecorder::CDerivedRecorder(IRecordingHost& host, QObject* parent)
    : QObject(parent)
    , m_host(host)
{
}

IRecordingView* CDerivedRecorder::View() const
{
    if (!m_pDoc)
        return nullptr;
    for (const RecordingTarget& t : m_host.RecordingTargets()) {
        if (t.doc == m_pDoc && t.view)
            return t.view;
    }
    return nullptr;
}

void CDerivedRecorder::OnRecordingChanged(bool recording)
{
    if (recording == m_bRecording)
        return;
    m_bRecording = recording;
    if (!recording)
        Finish();
    m_energyWh = m_chargeAh = 0;
}

void CDerivedRecorder::Finish()
{
    IRecordingView* view = View();
    if (view && !m_pDoc->m_arrSeries[0].IsEmpty()) {
        const CDataSeries& power = m_pDoc->m_arrSeries[0];
        const int index = std::max<int>(0, int(power.PointCount()) - 1);
        const QString time = TimeText(m_last.time);
        const float noLimit = std::numeric_limits<float>::max();
        m_pDoc->AddPoint(1, m_energyWh, QStringLiteral("Wh"), 0.0, index, time, EnergyLabel(), noLimit);
        CRecorder::AddListRow(view, m_pDoc, 1, time, QStringLiteral("Wh"), m_energyWh, EnergyLabel(), true);
        m_pDoc->AddPoint(1, m_chargeAh, QStringLiteral("Ah"), 0.0, index, time, ChargeLabel(), noLimit);
        CRecorder::AddListRow(view, m_pDoc, 1, time, QStringLiteral("Ah"), m_chargeAh, ChargeLabel(), true);
        view->InvalidateGraph();
    }
    if (view)
        m_pDoc->m_bLive = false;
    m_pDoc = nullptr;
    m_bClosed = false;
    m_lastPoint = QDateTime();
}

void CDerivedRecorder::OnUpdate(const DerivedState& state)
{
    const bool newGap = state.stopped && !m_last.stopped;
    if (state.Paired()) {
        // The totals run from when the pair formed: what this recording integrated is their
        // growth while it runs (another pair starts its totals from zero).
        const bool samePair
            = state.voltsMeter == m_lastPaired.voltsMeter && state.ampsMeter == m_lastPaired.ampsMeter;
        if (m_bRecording) {
            m_energyWh += state.energyWh - (samePair ? m_lastPaired.energyWh : 0.0);
            m_chargeAh += state.chargeAh - (samePair ? m_lastPaired.chargeAh : 0.0);
        }
        m_lastPaired = state;
    }
    if (!m_bRecording || m_bClosed) {
        m_last = state;
        return;
    }
    const bool newPoint = state.hasPower && state.time != m_lastPoint;
    IRecordingView* view = View();
    if (m_pDoc && !view) {
        // The user closed the document: this recording's derived readings end with it.
        m_pDoc = nullptr;
        m_bClosed = true;
        m_last = state;
        return;
    }
    if (newPoint && !m_pDoc) {
        view = m_host.OpenNewDocument();
        if (!view) {
            m_last = state;
            return;
        }
        // Its own readings only: the meters' readings go to their own documents.
        view->SetLiveView(false);
        view->SetSavedTarget(false);
        for (const RecordingTarget& t : m_host.RecordingTargets()) {
            if (t.view == view)
                m_pDoc = t.doc;
        }
        if (!m_pDoc) {
            m_last = state;
            return;
        }
        m_pDoc->SetTitle(QStringLiteral("Power"));
    }
    m_last = state;
    if (!view)
        return;
    CDataSeries& power = m_pDoc->m_arrSeries[0];
    if (newGap && !power.IsEmpty() && !power.IsNull(power.Size() - 1)) {
        power.AppendNull();
        m_pDoc->SetModifiedFlag(true);
        view->InvalidateGraph();
        RecordingListRow row;
        row.number = QString::number(view->ListRowCount() + 1);
        row.time = TimeText(state.time);
        row.value = QStringLiteral("-");
        row.label = QLatin1Char('(') + derived_text::GapText(state.gapMeter) + QLatin1Char(')');
        view->AddListRow(row, true);
    }
    if (!newPoint)
        return;
    m_lastPoint = state.time;
    const QString time = TimeText(state.time);
    m_pDoc->AddPoint(0, state.power, QStringLiteral("W"), 0.0, int(power.PointCount()), time, PowerLabel(),
        std::numeric_limits<float>::max());
    view->RefreshAfterLivePoint();
    CRecorder::AddListRow(view, m_pDoc, 0, time, QStringLiteral("W"), state.power, PowerLabel(), true);
    // No meter function gives the power's scale: it follows the readings, with a margin.
    if (view->IsAutoScale() && !view->IsZoomedOrMoved() && m_pDoc->m_dMax >= m_pDoc->m_dMin) {
        const double margin = std::max(0.1, (m_pDoc->m_dMax - m_pDoc->m_dMin) * 0.1);
        view->SetYRange(m_pDoc->m_dMax + margin, std::min(0.0, m_pDoc->m_dMin - margin));
    }
}
