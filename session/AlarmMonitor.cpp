#include "session/AlarmMonitor.h"

#include <QLocale>
#include <QProcess>

CAlarmMonitor::CAlarmMonitor(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<AlarmCrossing>();
}

void CAlarmMonitor::SetSettings(int meter, const MeterAlarmSettings& settings)
{
    Meter& m = m_meters[meter];
    m.settings = settings;
    m.watch.SetLimits(settings.limits);
    // Limits for another unit than the one shown: whatever alarm was on is over.
    if (!Applies(m))
        Clear(meter, m);
}

MeterAlarmSettings CAlarmMonitor::Settings(int meter) const
{
    const auto it = m_meters.find(meter);
    return it == m_meters.end() ? MeterAlarmSettings() : it->second.settings;
}

AlarmCrossing CAlarmMonitor::State(int meter) const
{
    const auto it = m_meters.find(meter);
    return it == m_meters.end() ? AlarmCrossing::None : it->second.watch.State();
}

QString CAlarmMonitor::LastUnit(int meter) const
{
    const auto it = m_meters.find(meter);
    return it == m_meters.end() ? QString() : it->second.unit;
}

bool CAlarmMonitor::Applies(const Meter& m) const
{
    return m.settings.limits.IsSet() && (m.settings.unit.isEmpty() || m.settings.unit == m.unit);
}

void CAlarmMonitor::Clear(int meter, Meter& m)
{
    if (!m.watch.IsOn())
        return;
    m.watch.Reset();
    emit alarm(meter, AlarmCrossing::Cleared, m.value, m.unit, m.time);
}

void CAlarmMonitor::ResetMeter(int meter)
{
    const auto it = m_meters.find(meter);
    if (it == m_meters.end())
        return;
    Clear(meter, it->second);
    it->second.unit.clear();
}

void CAlarmMonitor::OnReading(const LiveReading& r)
{
    Meter& m = m_meters[r.meter];
    if (r.unit != m.unit) {
        // Limits are in the unit shown: a reading in another unit starts the judgement afresh.
        Clear(r.meter, m);
        m.unit = r.unit;
    }
    m.value = r.value;
    m.time = r.time;
    if (!Applies(m))
        return;
    const AlarmCrossing crossing = m.watch.Feed(r.value);
    if (crossing == AlarmCrossing::None)
        return;
    emit alarm(r.meter, crossing, r.value, r.unit, r.time);
    if (crossing != AlarmCrossing::Cleared && !m.settings.program.isEmpty())
        RunCommand(r.meter, m, crossing, r.value, r.time);
}

QProcessEnvironment CAlarmMonitor::CommandEnvironment(
    int meter, AlarmCrossing crossing, double value, const QString& unit, const QDateTime& time)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("METER_VALUE"), QString::number(value, 'g', QLocale::FloatingPointShortest));
    env.insert(QStringLiteral("METER_UNIT"), unit);
    env.insert(QStringLiteral("METER_ALARM"),
        crossing == AlarmCrossing::Low ? QStringLiteral("low") : QStringLiteral("high"));
    env.insert(QStringLiteral("METER_INDEX"), QString::number(meter + 1));
    env.insert(QStringLiteral("METER_TIME"), time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs));
    return env;
}

void CAlarmMonitor::RunCommand(int meter, const Meter& m, AlarmCrossing crossing, double value, const QDateTime& time)
{
    // The values travel in the environment only: no command line is ever built from them.
    QProcess process;
    process.setProgram(m.settings.program);
    process.setArguments(m.settings.arguments);
    process.setProcessEnvironment(CommandEnvironment(meter, crossing, value, m.unit, time));
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        emit commandFailed(meter, m.settings.program);
}
