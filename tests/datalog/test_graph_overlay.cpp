// Documents drawn together on one trend graph: where another document's points land on the
// graph's time axis (by the time since each one's first reading, at different rates, with
// meter clocks apart, across midnight, with gaps), and the lines and legend of the picture.
#include "datalog/DataSeries.h"
#include "datalog/GraphOverlay.h"

#include <QTest>
#include <cmath>

namespace {

// A reading every 1/perSecond seconds from h:m:s on, the clock text as the meter writes it.
CDataSeries Readings(int count, int perSecond, int h, int m, int s, double value = 1.0)
{
    CDataSeries out;
    for (int i = 0; i < count; ++i) {
        const int t = h * 3600 + m * 60 + s + i / perSecond;
        const QString time = QStringLiteral("7/12/26 %1:%2:%3").arg(t / 3600 % 24).arg(t / 60 % 60).arg(t % 60);
        out.Append(value, u"VDC", 0, i, time, u"VDC", 6);
    }
    return out;
}

} // namespace

class TestGraphOverlay : public QObject {
    Q_OBJECT

private slots:
    void pointsLandWhereTheBaseWasAtTheSameTime()
    {
        // The graph's own meter: 3 readings a second. The other: 1 a second, its clock 40 minutes
        // off. Both started together.
        const CDataSeries base = Readings(30, 3, 10, 0, 0);
        const CDataSeries other = Readings(10, 1, 10, 40, 0);
        const QVector<double> x = AlignedPositions(base, other);
        QCOMPARE(x.size(), qsizetype(10));
        for (int i = 0; i < 10; ++i)
            QCOMPARE(x[i], 3.0 * i); // second i began at base position 3i

        // Faster than the base: the readings of one second share its stretch.
        const CDataSeries fast = Readings(8, 4, 9, 0, 0);
        const QVector<double> y = AlignedPositions(base, fast);
        QCOMPARE(y[0], 0.0);
        QCOMPARE(y[1], 0.75);
        QCOMPARE(y[3], 2.25);
        QCOMPARE(y[4], 3.0);

        // Beyond the base's last reading the other carries on at the base's rate.
        const CDataSeries longer = Readings(14, 1, 8, 0, 0);
        const QVector<double> z = AlignedPositions(base, longer);
        QCOMPARE(z[9], 27.0);
        QCOMPARE(z[10], 30.0);
        QCOMPARE(z[13], 39.0);
    }

    void midnightGapsAndBadTimes()
    {
        CDataSeries s = Readings(3, 1, 23, 59, 58);
        s.AppendNull();
        s.Append(2.0, u"VDC", 0, 3, u"8/12/26 0:0:1", u"VDC", 6);
        s.Append(2.0, u"VDC", 0, 4, u"no time", u"VDC", 6);
        const QVector<double> t = SecondsFromStart(s);
        QCOMPARE(t[0], 0.0);
        QCOMPARE(t[2], 2.0);
        QVERIFY(std::isnan(t[3])); // the gap
        QCOMPARE(t[4], 3.0); // after midnight, not a day back
        QVERIFY(std::isnan(t[5]));

        // The gap breaks the drawn line; the point without a time is left out.
        GraphAxisState st;
        st.m_dXMax = 20;
        st.m_dYMax = 10;
        st.m_dYMin = st.m_dYMinHome = -10;
        GraphDrawParams p;
        p.rect = QRect(0, 0, 340, 250);
        p.xPerPixel = 0.1;
        p.yPerPixel = 0.1;
        const CDataSeries base = Readings(12, 2, 12, 0, 0);
        const GraphOverlayScene scene = BuildGraphOverlay(st, p, base, QStringLiteral("Meter 1"), 0xFFFF00,
            { { &s, QStringLiteral("Meter 2, ADC"), GraphOverlayColor(0) } });
        QCOMPARE(scene.traces.size(), qsizetype(1));
        QCOMPARE(scene.traces[0].size(), qsizetype(2)); // 0-1, 1-2; nothing across the gap
        QCOMPARE(scene.traces[0][0].p2(), scene.traces[0][1].p1());
        QCOMPARE(scene.traces[0][0].p1().x(), p.left); // the first reading at position 0
        QCOMPARE(scene.traces[0][1].p2().x(), p.left + 40); // second 2 = base position 4, 10 px each
        QCOMPARE(scene.traces[0][1].p2().y(), scene.traces[0][0].p1().y()); // same value, same height
    }

    void legendNamesEveryDocumentInItsColour()
    {
        GraphAxisState st;
        GraphDrawParams p;
        p.rect = QRect(0, 0, 600, 360);
        const CDataSeries base = Readings(6, 3, 12, 0, 0);
        const CDataSeries a = Readings(2, 1, 12, 0, 0);
        CDataSeries empty;
        const GraphOverlayScene scene = BuildGraphOverlay(st, p, base, QStringLiteral("Meter 1 (SimMeter)"),
            0xFFFF00, { { &a, QStringLiteral("Meter 2"), GraphOverlayColor(0) },
                          { &empty, QStringLiteral("Meter 3"), GraphOverlayColor(1) } });
        QCOMPARE(scene.legend.size(), qsizetype(3));
        // Each named with the unit of its readings, once it has some.
        QCOMPARE(scene.legend[0].text, QStringLiteral("Meter 1 (SimMeter), VDC"));
        QCOMPARE(scene.legend[1].text, QStringLiteral("Meter 2, VDC"));
        QCOMPARE(scene.legend[0].color, 0xFFFF00u);
        QCOMPARE(scene.legend[2].text, QStringLiteral("Meter 3"));
        QCOMPARE(scene.colors, QVector<uint32_t>({ GraphOverlayColor(0), GraphOverlayColor(1) }));
        // Distinct from each other and from the graph's own line.
        QVERIFY(GraphOverlayColor(0) != GraphOverlayColor(1) && GraphOverlayColor(0) != 0xFFFF00u);
        QVERIFY(scene.plot.contains(scene.legendBox));
        QVERIFY(scene.legendBox.height() >= 3 * p.fontHeight);
    }
};

QTEST_GUILESS_MAIN(TestGraphOverlay)
#include "test_graph_overlay.moc"
