#include "datalog/GraphPreferences.h"

#include "link/PortSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <cmath>

namespace {

const char kSection[] = "GRAPH";

QString key(const char* name) { return QStringLiteral("%1/%2").arg(QLatin1String(kSection), QLatin1String(name)); }

QString pathOrDefault(const QString& iniPath) { return iniPath.isEmpty() ? CPortSettings().FilePath() : iniPath; }

struct ColorKey {
    const char* name;
    uint32_t GraphColors::*member;
};
const ColorKey kColors[] = { { "BACK_COLOR", &GraphColors::plotBack }, { "BORDER_COLOR", &GraphColors::border },
    { "GRID_COLOR", &GraphColors::grid }, { "LINE_COLOR", &GraphColors::line },
    { "POINT_COLOR", &GraphColors::point } };

// Colours as "#rrggbb", readable and editable by hand.
QString colorText(uint32_t rgb) { return QString::asprintf("#%06x", unsigned(rgb & 0xFFFFFFu)); }

bool readColor(const QString& text, uint32_t& out)
{
    if (text.size() != 7 || !text.startsWith(QLatin1Char('#')))
        return false;
    bool ok = false;
    const uint v = text.mid(1).toUInt(&ok, 16);
    if (ok)
        out = v;
    return ok;
}

bool readFinite(const QSettings& s, const char* name, double& out)
{
    bool ok = false;
    const double v = s.value(key(name)).toString().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

} // namespace

GraphPreferences GraphPreferences::Load(const QString& iniPath)
{
    GraphPreferences p;
    const QSettings s(pathOrDefault(iniPath), QSettings::IniFormat);
    for (const ColorKey& c : kColors)
        readColor(s.value(key(c.name)).toString(), p.colors.*c.member);
    if (s.contains(key("MASK_POINTS")))
        p.maskPoints = s.value(key("MASK_POINTS")).toInt() != 0;
    if (s.contains(key("AUTO_SCALE")))
        p.autoScale = s.value(key("AUTO_SCALE")).toInt() != 0;
    double max = p.manualMax, min = p.manualMin;
    // A pair that cannot be a range is not taken.
    if (readFinite(s, "MANUAL_MAX", max) && readFinite(s, "MANUAL_MIN", min) && max > min) {
        p.manualMax = max;
        p.manualMin = min;
    }
    return p;
}

bool GraphPreferences::Save(const QString& iniPath) const
{
    const QString path = pathOrDefault(iniPath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings s(path, QSettings::IniFormat);
    for (const ColorKey& c : kColors)
        s.setValue(key(c.name), colorText(colors.*c.member));
    s.setValue(key("MASK_POINTS"), maskPoints ? 1 : 0);
    s.setValue(key("AUTO_SCALE"), autoScale ? 1 : 0);
    s.setValue(key("MANUAL_MAX"), QString::number(manualMax, 'g', 17));
    s.setValue(key("MANUAL_MIN"), QString::number(manualMin, 'g', 17));
    s.sync();
    return s.status() == QSettings::NoError;
}
