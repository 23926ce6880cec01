#include "app/SessionUi.h"

#include "app/AlarmDlg.h"
#include "display/DerivedPanel.h"
#include "display/LeftDlg.h"
#include "recording/Recorder.h"

#include <QApplication>
#include <QLocale>

CSessionUi::CSessionUi(const QString& settingsFile, IRecordingHost& host, Hooks hooks, QWidget* window)
    : QObject(window)
    , m_strSettingsFile(settingsFile)
    , m_hooks(std::move(hooks))
    , m_pWindow(window)
    , m_derivedRecorder(host)
    , m_pDerivedPanel(new CDerivedPanel(window))
{
    connect(&m_derived, &CDerivedReadings::updated, m_pDerivedPanel, &CDerivedPanel::OnUpdate);
    connect(&m_derived, &CDerivedReadings::updated, &m_derivedRecorder, &CDerivedRecorder::OnUpdate);
    connect(&m_derived, &CDerivedReadings::updated, this, [this](const DerivedState& state) {
        if (state.Paired() && !m_bPairedOnce) {
            m_bPairedOnce = true;
            emit derivedPaired();
        }
    });
    connect(&m_alarms, &CAlarmMonitor::alarm, this, &CSessionUi::OnAlarm);
    connect(&m_alarms, &CAlarmMonitor::commandFailed, this, [this](int meter, const QString& program) {
        if (m_hooks.status)
            m_hooks.status(QStringLiteral("Meter %1: the alarm program %2 could not be started").arg(meter + 1).arg(program));
    });
}

QString CSessionUi::AlarmLabel(AlarmCrossing crossing)
{
    switch (crossing) {
    case AlarmCrossing::Low: return QStringLiteral("ALARM low");
    case AlarmCrossing::High: return QStringLiteral("ALARM high");
    default: return QStringLiteral("ALARM cleared");
    }
}

void CSessionUi::FollowAddress(int meter)
{
    const QString address = m_hooks.address ? m_hooks.address(meter) : QString();
    const auto it = m_addresses.find(meter);
    if (it != m_addresses.end() && it->second == address)
        return;
    m_addresses[meter] = address;
    m_alarms.SetSettings(meter, CAlarmSettings(m_strSettingsFile).Read(address));
}

void CSessionUi::OnReading(const LiveReading& reading)
{
    FollowAddress(reading.meter);
    m_alarms.OnReading(reading);
    m_derived.OnReading(reading);
}

void CSessionUi::OnMeterGone(int meter)
{
    m_alarms.ResetMeter(meter);
    m_derived.OnMeterGone(meter);
}

void CSessionUi::OnAlarm(int meter, AlarmCrossing crossing, double value, const QString& unit, const QDateTime& time)
{
    const bool raised = crossing == AlarmCrossing::Low || crossing == AlarmCrossing::High;
    if (CLeftDlg* panel = m_hooks.panel ? m_hooks.panel(meter) : nullptr)
        panel->SetAlarm(raised);
    const QString label = AlarmLabel(crossing);
    if (CRecorder* recorder = m_hooks.recorder ? m_hooks.recorder(meter) : nullptr)
        recorder->MarkAlarm(time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")), value, unit, label);
    if (raised && m_alarms.Settings(meter).sound) {
        if (m_hooks.beep)
            m_hooks.beep();
        else
            QApplication::beep();
    }
    if (m_hooks.status) {
        m_hooks.status(QStringLiteral("Meter %1: %2 %3 %4")
                           .arg(meter + 1)
                           .arg(label, QString::number(value, 'g', QLocale::FloatingPointShortest), unit));
    }
}

void CSessionUi::OpenAlarmDialog(int meter)
{
    if (m_pAlarmDlg)
        m_pAlarmDlg->close();
    FollowAddress(meter);
    auto* dlg = new CAlarmDlg(QStringLiteral("meter %1").arg(meter + 1), m_alarms.Settings(meter),
        m_alarms.LastUnit(meter), m_pWindow);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    // The settings belong to the meter the dialog was opened for, even if another one has
    // taken its place meanwhile.
    const QString address = m_addresses[meter];
    connect(dlg, &QDialog::accepted, this, [this, dlg, meter, address] {
        const MeterAlarmSettings settings = dlg->Result();
        CAlarmSettings(m_strSettingsFile).Write(address, settings);
        if (m_addresses[meter] == address)
            m_alarms.SetSettings(meter, settings);
    });
    m_pAlarmDlg = dlg;
    dlg->show();
}
