#include "session/MultilogTable.h"

#include <cmath>
#include <limits>

namespace multilog {

namespace {

const QLatin1String kVolts("VDC");
const QLatin1String kAmps("ADC");

// The number a shown value stands for; false for "OL", an empty value or anything else.
bool Number(const QString& shown, double* out)
{
    bool ok = false;
    const double v = shown.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

QString Sig6(double v)
{
    return QString::asprintf("%.6g", v);
}

} // namespace

QString CsvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r'))
        && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString TimeText(const QDateTime& time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        + QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

bool ParseAlarm(const QString& text, int meters, Alarm* out, QString* error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    auto fail = [&](const QString& why) {
        *error = QStringLiteral("--alarm %1: %2").arg(text, why);
        return false;
    };
    if (parts.size() != 3)
        return fail(QStringLiteral("give N:low:high"));
    bool ok = false;
    const int n = parts[0].trimmed().toInt(&ok);
    if (!ok || n < 1 || n > meters)
        return fail(QStringLiteral("there is no meter %1").arg(parts[0]));
    Alarm alarm;
    alarm.meter = n - 1;
    for (int i = 1; i <= 2; ++i) {
        const QString bound = parts[i].trimmed();
        if (bound.isEmpty())
            continue;
        double v = 0;
        if (!Number(bound, &v))
            return fail(QStringLiteral("%1 is not a number").arg(bound));
        (i == 1 ? alarm.limits.low : alarm.limits.high) = v;
    }
    if (!alarm.limits.IsSet())
        return fail(QStringLiteral("give a low or a high bound"));
    if (alarm.limits.low && alarm.limits.high && *alarm.limits.low > *alarm.limits.high)
        return fail(QStringLiteral("the low bound is above the high one"));
    *out = alarm;
    return true;
}

void CAlarms::Add(const Alarm& alarm)
{
    m_watches.push_back({ alarm.meter, CAlarmWatch(alarm.limits), QString() });
}

QStringList CAlarms::Feed(int meter, const QString& value, const QString& unit, const QDateTime& time)
{
    QStringList lines;
    double v = std::numeric_limits<double>::quiet_NaN();
    Number(value, &v); // over range and empty values cross nothing
    for (Watch& w : m_watches) {
        if (w.meter != meter)
            continue;
        if (w.unit != unit) {
            w.watch.Reset();
            w.unit = unit;
        }
        const AlarmCrossing c = w.watch.Feed(v);
        if (c != AlarmCrossing::Low && c != AlarmCrossing::High)
            continue;
        lines << QStringLiteral("alarm m%1 %2 %3 %4 %5")
                     .arg(meter + 1)
                     .arg(c == AlarmCrossing::Low ? QLatin1String("low") : QLatin1String("high"), value, unit,
                         TimeText(time));
    }
    return lines;
}

CTable::CTable(int meters)
    : m_nMeters(meters)
    , m_firstUnit(size_t(meters))
    , m_read(size_t(meters), false)
{
}

void CTable::Add(int meter, qint64 second, const QString& value, const QString& unit)
{
    if (meter < 0 || meter >= m_nMeters)
        return;
    if (m_next < 0)
        m_next = second;
    Row& row = m_rows[std::max(second, m_next)];
    row.resize(size_t(m_nMeters));
    row[size_t(meter)] = { true, value, unit };
    if (!m_read[size_t(meter)]) {
        m_read[size_t(meter)] = true;
        m_firstUnit[size_t(meter)] = unit;
    }
}

QString CTable::Header()
{
    m_bHeaderDone = true;
    bool all = true;
    for (int i = 0; i < m_nMeters; ++i)
        all = all && HasRead(i);
    if (all && m_nMeters >= 2) {
        const QString& one = m_firstUnit[0];
        const QString& two = m_firstUnit[1];
        if (one == kVolts && two == kAmps) {
            m_volts = 0;
            m_amps = 1;
        } else if (one == kAmps && two == kVolts) {
            m_volts = 1;
            m_amps = 0;
        }
    }
    QString line = QStringLiteral("time");
    for (int i = 1; i <= m_nMeters; ++i)
        line += QStringLiteral(",m%1_value,m%1_unit").arg(i);
    if (Derived())
        line += QStringLiteral(",power_W,energy_Wh,charge_Ah");
    return line;
}

QString CTable::RowLine(qint64 second, const Row& row)
{
    QString line = TimeText(QDateTime::fromSecsSinceEpoch(second));
    for (int i = 0; i < m_nMeters; ++i) {
        const Cell* c = size_t(i) < row.size() && row[size_t(i)].read ? &row[size_t(i)] : nullptr;
        line += QLatin1Char(',') + (c ? CsvField(c->value) : QString());
        line += QLatin1Char(',') + (c ? CsvField(c->unit) : QString());
    }
    if (!Derived())
        return line;
    // Only a reading in exactly the unit of its column counts: a meter turned to mVDC or to
    // another function adds nothing, and neither does an over-range or missing reading.
    auto reading = [&row](int meter, QLatin1String unit, double* out) {
        const Cell* c = size_t(meter) < row.size() ? &row[size_t(meter)] : nullptr;
        return c && c->read && c->unit == unit && Number(c->value, out);
    };
    double volts = 0, amps = 0;
    const bool haveVolts = reading(m_volts, kVolts, &volts);
    const bool haveAmps = reading(m_amps, kAmps, &amps);
    QString power;
    if (haveVolts && haveAmps) {
        const double p = volts * amps;
        m_energyWh += p / 3600.0;
        power = Sig6(p);
    }
    if (haveAmps)
        m_chargeAh += amps / 3600.0;
    line += QLatin1Char(',') + power + QLatin1Char(',') + Sig6(m_energyWh) + QLatin1Char(',') + Sig6(m_chargeAh);
    return line;
}

QStringList CTable::Rows(qint64 end)
{
    QStringList lines;
    if (m_next < 0)
        return lines;
    for (; m_next < end; ++m_next) {
        const auto it = m_rows.find(m_next);
        if (it == m_rows.end()) {
            lines << RowLine(m_next, Row());
            continue;
        }
        lines << RowLine(m_next, it->second);
        m_rows.erase(it);
    }
    return lines;
}

QStringList CTable::Take(qint64 now)
{
    QStringList lines;
    if (!m_bHeaderDone) {
        for (int i = 0; i < m_nMeters; ++i) {
            if (!HasRead(i))
                return lines;
        }
        lines << Header();
    }
    return lines + Rows(now);
}

QStringList CTable::Finish(qint64 last)
{
    QStringList lines;
    if (!m_bHeaderDone)
        lines << Header();
    lines += Rows(last);
    // The second the run ends in was cut short: its row only carries what came in it.
    if (m_next == last && m_rows.count(last))
        lines += Rows(last + 1);
    return lines;
}

} // namespace multilog
