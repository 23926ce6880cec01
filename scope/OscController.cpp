#include "scope/OscController.h"

#include "protocol/FrameDispatcher.h"
#include "protocol/MeterCommands.h"
#include "scope/OscFile.h"

#include <QStringList>

namespace osc {

QString ShortDownloadText(const StoredArrivals& arrived)
{
    QStringList missing;
    for (int s = 1; s < kSlotCount; ++s) {
        if (!arrived[static_cast<size_t>(s)])
            missing << QString::number(s);
    }
    if (missing.isEmpty())
        return QString();
    return QStringLiteral("%1 of the %2 stored waveforms arrived; missing: %3.")
        .arg(kSlotCount - 1 - missing.size())
        .arg(kSlotCount - 1)
        .arg(missing.join(QStringLiteral(", ")));
}

} // namespace osc

COscController::COscController(CFrameDispatcher& dispatcher, SendFn send, GuardFn canAsk, QObject* parent)
    : QObject(parent)
    , m_dispatcher(dispatcher)
    , m_send(std::move(send))
    , m_canAsk(std::move(canAsk))
{
    qRegisterMetaType<OSCData>();
    qRegisterMetaType<osc::OscFrame>();
    m_timer30.setInterval(kWatchdogMs);
    connect(&m_timer30, &QTimer::timeout, this, &COscController::OnTimer30);
}

void COscController::AttachTo(FrameDispatcherHooks& hooks)
{
    hooks.oscRecord = [this](HexText& text) { PostFrame(osc::FrameFromText(text.view())); };
}

void COscController::PostFrame(const osc::OscFrame& frame)
{
    QMetaObject::invokeMethod(this, [this, frame] { OnOscFrame(frame); }, Qt::QueuedConnection);
}

bool COscController::Downloading() const
{
    return m_dispatcher.m_bOscDownload.load();
}

bool COscController::OnGetOscCurrentData()
{
    if (!m_canAsk || !m_canAsk())
        return false;
    if (m_send)
        m_send(meter_cmd::kGetOscCurrent.data(), 4);
    return true;
}

bool COscController::OnDownloadOscLogger()
{
    if (!m_canAsk || !m_canAsk())
        return false;
    for (OSCData& rec : m_slots) {
        rec.bValid = false;
        rec.info.nStatus = 0;
    }
    RefreshStoreLooks();
    m_arrived.fill(false);
    if (m_send)
        m_send(meter_cmd::kDownloadOscLogger.data(), 4);
    m_dispatcher.m_bOscDownload = true;
    SetProgress(true, 0);
    m_dispatcher.m_bOscActive = true;
    m_timer30.start();
    return true;
}

void COscController::OnOscFrame(const osc::OscFrame& frame)
{
    const int s = frame.Slot();
    if (s >= osc::kSlotCount) {
        emit messageDue(QString::fromLatin1(kNumberWrongText));
        return;
    }
    OSCData& rec = m_slots[static_cast<size_t>(s)];
    osc::DecodeFrame(frame, rec);
    if (s == 0) {
        emit recordToShow(rec, QStringLiteral("0 ") + osc::DateTimeText(rec.info));
        return;
    }
    rec.nID = s;
    m_arrived[static_cast<size_t>(s)] = true;
    emit storeLookChanged(s, StoreLookOf(s));
    if (m_bProgress)
        SetProgress(true, s);
    m_dispatcher.m_bOscActive = true;
    if (s == osc::kSlotCount - 1) {
        // The last stored waveform: the download is complete without waiting for the watchdog.
        SetProgress(false, m_nProgressPos);
        m_timer30.stop();
        m_dispatcher.m_bOscActive = false;
        const bool downloading = m_dispatcher.m_bOscDownload.exchange(false);
        RefreshStoreLooks();
        if (downloading)
            ReportArrivals();
    }
}

void COscController::ReportArrivals()
{
    // Damaged records are dropped on the way: the user must know which waveforms are not here.
    const QString text = osc::ShortDownloadText(m_arrived);
    if (!text.isEmpty())
        emit messageDue(text);
}

void COscController::OnTimer30()
{
    // A download whose frames stopped for a whole period ends here; slots that never came stay
    // empty.
    if (!m_dispatcher.m_bOscActive && m_bProgress) {
        SetProgress(true, kProgressMax);
        SetProgress(false, kProgressMax);
        m_timer30.stop();
        emit storePaneRequested();
        RefreshStoreLooks();
        m_dispatcher.m_bOscDownload = false;
        ReportArrivals();
    }
    m_dispatcher.m_bOscActive = false;
}

bool COscController::OnStoreButton(int slot)
{
    if (slot < 1 || slot >= osc::kSlotCount)
        return false;
    const OSCData& rec = m_slots[static_cast<size_t>(slot)];
    if (!rec.bValid)
        return false;
    emit recordToShow(rec, osc::StoredTitle(slot, rec.info));
    return true;
}

bool COscController::CanSaveOscData() const
{
    return osc::HasStoredRecord(m_slots);
}

bool COscController::OnSaveOscData(const QString& path, QString* message)
{
    if (!CanSaveOscData()) {
        if (message)
            *message = QString::fromLatin1(osc::kNoDataToSave);
        return false;
    }
    return osc::Save(path, osc::AllSlotsFile(m_slots), message);
}

bool COscController::OnOpenOsc(const QString& path, QString* message)
{
    osc::OscFile file;
    if (!osc::Load(path, file, message))
        return false;
    if (file.kind == osc::KindAllSlots) {
        std::copy(file.records.begin(), file.records.end(), m_slots.begin());
        RefreshStoreLooks();
        emit storePaneRequested();
    } else {
        OSCData& rec = m_slots[0];
        rec = file.records.front();
        emit recordToShow(rec, osc::StoredTitle(rec.nID, rec.info));
    }
    return true;
}

osc::OscStoreLook COscController::StoreLookOf(int slot) const
{
    const int status = slot >= 0 && slot < osc::kSlotCount ? m_slots[static_cast<size_t>(slot)].info.nStatus : 0;
    return osc::StoreLook(slot, status);
}

void COscController::SetProgress(bool shown, int position)
{
    m_bProgress = shown;
    m_nProgressPos = position;
    emit progressChanged(shown, position);
}

void COscController::RefreshStoreLooks()
{
    for (int s = 1; s < osc::kSlotCount; ++s)
        emit storeLookChanged(s, StoreLookOf(s));
}
