#include "session/AlarmSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <cmath>

namespace {

std::optional<double> ReadLimit(const QSettings& s, const QString& key)
{
    const QString text = s.value(key).toString().trimmed();
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString NumberText(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

} // namespace

QString AlarmSettingsProblem(const MeterAlarmSettings& s)
{
    const AlarmLimits& l = s.limits;
    if ((l.low && !std::isfinite(*l.low)) || (l.high && !std::isfinite(*l.high)))
        return QStringLiteral("A limit must be a number.");
    if (!std::isfinite(l.hysteresis) || l.hysteresis < 0)
        return QStringLiteral("The hysteresis must be a number of zero or more.");
    if (l.low && l.high) {
        if (*l.low >= *l.high)
            return QStringLiteral("The low limit must be below the high limit.");
        // A clear point past the other limit would raise the other alarm at once.
        if (l.hysteresis >= *l.high - *l.low)
            return QStringLiteral("The hysteresis must be smaller than the distance between the limits.");
    }
    if (!s.program.isEmpty() && QFileInfo(s.program).isAbsolute() && !QFileInfo(s.program).isExecutable())
        return QStringLiteral("The program %1 cannot be run.").arg(s.program);
    return QString();
}

QString CAlarmSettings::SectionFor(const QString& address)
{
    QString id;
    for (const QChar c : address) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            id += c.toUpper();
    }
    return id.isEmpty() ? QStringLiteral("ALARM") : QStringLiteral("ALARM_") + id;
}

MeterAlarmSettings CAlarmSettings::Read(const QString& address) const
{
    QSettings s(m_strPath, QSettings::IniFormat);
    s.beginGroup(SectionFor(address));
    MeterAlarmSettings a;
    a.limits.low = ReadLimit(s, QStringLiteral("LOW"));
    a.limits.high = ReadLimit(s, QStringLiteral("HIGH"));
    const std::optional<double> hysteresis = ReadLimit(s, QStringLiteral("HYSTERESIS"));
    a.limits.hysteresis = hysteresis && *hysteresis > 0 ? *hysteresis : 0.0;
    a.unit = s.value(QStringLiteral("UNIT")).toString();
    a.sound = s.value(QStringLiteral("SOUND"), 1).toInt() != 0;
    a.program = s.value(QStringLiteral("COMMAND")).toString();
    a.arguments = s.value(QStringLiteral("ARGUMENTS")).toStringList();
    return a;
}

void CAlarmSettings::Write(const QString& address, const MeterAlarmSettings& a)
{
    QDir().mkpath(QFileInfo(m_strPath).absolutePath());
    QSettings s(m_strPath, QSettings::IniFormat);
    s.beginGroup(SectionFor(address));
    s.remove(QString()); // the whole section: a limit taken away leaves no key behind
    if (a.limits.low)
        s.setValue(QStringLiteral("LOW"), NumberText(*a.limits.low));
    if (a.limits.high)
        s.setValue(QStringLiteral("HIGH"), NumberText(*a.limits.high));
    s.setValue(QStringLiteral("HYSTERESIS"), NumberText(a.limits.hysteresis));
    if (!a.unit.isEmpty())
        s.setValue(QStringLiteral("UNIT"), a.unit);
    s.setValue(QStringLiteral("SOUND"), a.sound ? 1 : 0);
    if (!a.program.isEmpty()) {
        s.setValue(QStringLiteral("COMMAND"), a.program);
        s.setValue(QStringLiteral("ARGUMENTS"), a.arguments);
    }
}
