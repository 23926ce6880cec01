#include "datalog/GraphOverlay.h"

#include "datalog/DataSeries.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Seconds of the day of a "d/m/y h:m:s" text, or -1.
int SecondOfDay(QStringView text)
{
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    if (space < 0)
        return -1;
    int part[3] = { 0, 0, 0 };
    int n = 0;
    bool digits = false;
    for (const QChar c : text.mid(space + 1)) {
        if (c.isDigit()) {
            part[n] = part[n] * 10 + c.digitValue();
            digits = true;
            if (part[n] > 99)
                return -1;
        } else if (c == QLatin1Char(':') && digits && n < 2) {
            ++n;
            digits = false;
        } else {
            return -1;
        }
    }
    if (n != 2 || !digits || part[0] > 23 || part[1] > 59 || part[2] > 59)
        return -1;
    return part[0] * 3600 + part[1] * 60 + part[2];
}

} // namespace

uint32_t GraphOverlayColor(int i)
{
    static const uint32_t kColors[] = {
        0xC000C0, // magenta
        0x0030D0, // blue
        0xFFFFFF, // white
        0xFF7000, // orange
        0x000000, // black
    };
    const int n = int(sizeof kColors / sizeof kColors[0]);
    return kColors[((i % n) + n) % n];
}

QVector<double> SecondsFromStart(const CDataSeries& series)
{
    QVector<double> out(series.Size(), kNaN);
    double first = kNaN;
    int previous = -1;
    double dayOffset = 0;
    for (qsizetype i = 0; i < series.Size(); ++i) {
        if (series.IsNull(i))
            continue;
        const int s = SecondOfDay(series.DateTimeView(i));
        if (s < 0)
            continue;
        // A reading earlier in the day than the one before it came after midnight.
        if (previous >= 0 && s + 3600 < previous)
            dayOffset += 86400;
        previous = s;
        const double t = dayOffset + s;
        if (std::isnan(first))
            first = t;
        out[i] = t - first;
    }
    return out;
}

QVector<double> AlignedPositions(const CDataSeries& base, const CDataSeries& other)
{
    // The first base position of each second of the base recording.
    std::map<long long, qsizetype> anchors;
    const QVector<double> baseT = SecondsFromStart(base);
    qsizetype lastPos = -1;
    for (qsizetype i = 0; i < baseT.size(); ++i) {
        if (std::isnan(baseT[i]))
            continue;
        anchors.emplace(static_cast<long long>(baseT[i]), i);
        lastPos = i;
    }
    // Positions per second past the ends of the base recording.
    double rate = 1.0;
    if (anchors.size() >= 2) {
        const auto first = anchors.begin();
        const auto last = std::prev(anchors.end());
        rate = std::max(1e-3, double(last->second - first->second) / double(last->first - first->first));
    }
    const auto anchor = [&](long long s) -> double {
        if (anchors.empty())
            return double(s) * rate;
        const auto hit = anchors.lower_bound(s);
        if (hit != anchors.end() && hit->first == s)
            return double(hit->second);
        if (hit == anchors.end()) {
            // Past the last second: from where its readings end, on at the average rate.
            const auto last = std::prev(anchors.end());
            return double(lastPos) + 1.0 + (double(s - last->first) - 1.0) * rate;
        }
        if (hit == anchors.begin())
            return double(hit->second) - double(hit->first - s) * rate;
        const auto before = std::prev(hit);
        const double f = double(s - before->first) / double(hit->first - before->first);
        return double(before->second) + f * double(hit->second - before->second);
    };

    const QVector<double> t = SecondsFromStart(other);
    QVector<double> out(t.size(), kNaN);
    qsizetype i = 0;
    while (i < t.size()) {
        if (std::isnan(t[i])) {
            ++i;
            continue;
        }
        // The readings of one second share its stretch of the axis.
        const long long s = static_cast<long long>(t[i]);
        qsizetype end = i;
        qsizetype count = 0;
        while (end < t.size() && (std::isnan(t[end]) || static_cast<long long>(t[end]) == s)) {
            if (!std::isnan(t[end]))
                ++count;
            ++end;
        }
        const double from = anchor(s);
        const double to = anchor(s + 1);
        qsizetype k = 0;
        for (qsizetype j = i; j < end; ++j) {
            if (!std::isnan(t[j]))
                out[j] = from + (to - from) * double(k++) / double(count);
        }
        i = end;
    }
    return out;
}

QString GraphLegendText(const QString& name, const CDataSeries& series)
{
    for (qsizetype i = 0; i < series.Size(); ++i) {
        if (!series.IsNull(i))
            return name + QStringLiteral(", ") + series.Unit(i);
    }
    return name;
}

GraphOverlayScene BuildGraphOverlay(const GraphAxisState& st, const GraphDrawParams& p, const CDataSeries& base,
    const QString& baseName, uint32_t baseColor, const QVector<GraphOverlaySeries>& others)
{
    GraphOverlayScene scene;
    const int pw = std::max(1, p.rect.width() - 2 * p.left);
    const int ph = std::max(1, p.rect.height() - 2 * p.top);
    scene.plot = QRect(p.rect.left() + p.left, p.rect.top() + p.top, pw, ph);
    scene.fontHeight = p.fontHeight;
    scene.legend.append({ GraphLegendText(baseName, base), baseColor });

    const double xpp = p.xPerPixel > 0.0 ? p.xPerPixel : 1.0;
    // Position 0 on the screen, and the positions the plot shows (with a point to spare).
    const double visibleFrom = st.m_dXMin - xpp;
    const double visibleTo = st.m_dXMin + (pw + 1) * xpp;
    for (const GraphOverlaySeries& o : others) {
        QVector<QLine> lines;
        if (o.series) {
            const QVector<double> x = AlignedPositions(base, *o.series);
            bool havePrevious = false;
            QPoint previous;
            double previousX = 0;
            for (qsizetype i = 0; i < x.size(); ++i) {
                if (std::isnan(x[i])) {
                    havePrevious = havePrevious && !o.series->IsNull(i); // a gap breaks the line
                    continue;
                }
                const QPoint at0 = GraphPointAt(st, p, 0, o.series->Value(i));
                const QPoint at(at0.x() + int(std::lround(std::clamp(x[i] / xpp, -1e7, 1e7))), at0.y());
                const bool inView = x[i] >= visibleFrom && x[i] <= visibleTo;
                if (havePrevious && (inView || (previousX >= visibleFrom && previousX <= visibleTo)
                        || (previousX < visibleFrom && x[i] > visibleTo)))
                    lines.append(QLine(previous, at));
                previous = at;
                previousX = x[i];
                havePrevious = true;
            }
        }
        scene.traces.append(lines);
        scene.colors.append(o.color);
        scene.legend.append({ o.series ? GraphLegendText(o.name, *o.series) : o.name, o.color });
    }

    // The legend in the plot's top right corner: a short line of the colour, then the name.
    int widest = 0;
    for (const GraphLegendRow& row : scene.legend)
        widest = std::max<int>(widest, int(row.text.size()));
    const int rowH = p.fontHeight + 4;
    const int w = std::min(pw, 36 + widest * p.fontHeight * 6 / 10);
    const int h = int(scene.legend.size()) * rowH + 6;
    scene.legendBox = QRect(scene.plot.right() - w - 6, scene.plot.top() + 6, w, h);
    return scene;
}
