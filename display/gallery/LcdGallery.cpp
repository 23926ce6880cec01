// lcd-gallery: renders the live panel in every display mode and its main variants into PNG
// files, at device pixel ratio 1 and 2, for a person to look at.
//   lcd-gallery [output folder]     (default: <build>/gallery)
#include "display/DerivedPanel.h"
#include "display/LcdArtwork.h"
#include "display/LeftDlg.h"
#include "display/MeterKeys.h"
#include "display/ShowData.h"
#include "display/UnitTable.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <cstdio>
#include <functional>

namespace {

MeterData Base()
{
    MeterData d;
    d.m_strFunction = QStringLiteral("VDC");
    d.m_bAutoRange = true;
    d.m_fLimit = 50.0f;
    d.m_fValue = 12.345f;
    d.m_strUnit = QStringLiteral("VDC");
    d.m_nDecimals = 3;
    d.m_byYear = 26;
    d.m_byMonth = 5;
    d.m_byDay = 12;
    d.m_byHour = 14;
    d.m_byMinute = 7;
    d.m_bySecond = 33;
    d.m_b24Hour = true;
    d.m_bMonthFirst = false;
    return d;
}

MeterStat Stat(float v, const QString& unit, int decimals, const char* time)
{
    MeterStat s;
    s.m_fValue = v;
    s.m_strUnit = unit;
    s.m_nDecimals = decimals;
    s.m_strTime = QString::fromLatin1(time);
    return s;
}

struct Shot {
    const char* name;
    int mode; // 1..7, or -1 for NO RECV
    int dial;
    std::function<void(MeterData&)> fill;
};

QList<Shot> Shots()
{
    QList<Shot> shots;
    shots.append({ "normal-vdc", 1, 6, [](MeterData&) {} });
    shots.append({ "normal-hold-manual", 1, 6, [](MeterData& d) {
                      d.m_bHold = true;
                      d.m_bAutoRange = false;
                  } });
    shots.append({ "normal-vac-lowpass", 1, 5, [](MeterData& d) {
                      d.m_strFunction = d.m_strUnit = QStringLiteral("VAC");
                      d.m_fLimit = 500.0f;
                      d.m_fValue = 230.4f;
                      d.m_nDecimals = 1;
                      d.m_bSubMode = true;
                      d.m_b24Hour = false;
                  } });
    shots.append({ "normal-vdc-negative-wide-scale", 1, 6, [](MeterData& d) {
                      d.m_fLimit = 500.0f;
                      d.m_fValue = -123.45f;
                      d.m_nDecimals = 2;
                  } });
    shots.append({ "normal-adc-bipolar", 1, 3, [](MeterData& d) {
                      d.m_strFunction = d.m_strUnit = QStringLiteral("ADC");
                      d.m_fLimit = 10.0f;
                      d.m_fValue = -4.321f;
                      d.m_nDecimals = 3;
                  } });
    shots.append({ "normal-ohm", 1, 8, [](MeterData& d) {
                      d.m_strFunction = QStringLiteral("RES");
                      d.m_strUnit = QStringLiteral(u"K\u03A9");
                      d.m_fLimit = 60.0f;
                      d.m_fValue = 2.2f;
                      d.m_nDecimals = 3;
                  } });
    shots.append({ "normal-diode", 1, 6, [](MeterData& d) {
                      d.m_strFunction = QStringLiteral("Diode");
                      d.m_strUnit = QStringLiteral("V");
                      d.m_fLimit = 3.0f;
                      d.m_fValue = 0.612f;
                      d.m_nDecimals = 4;
                  } });
    shots.append({ "normal-over-range", 1, 6, [](MeterData& d) { d.m_fValue = 50.5f; } });
    shots.append({ "normal-under-range", 1, 6, [](MeterData& d) { d.m_fValue = -50.5f; } });
    shots.append({ "minmax", 2, 5, [](MeterData& d) {
                      d.m_strFunction = d.m_strUnit = QStringLiteral("VAC");
                      d.m_fLimit = 500.0f;
                      d.m_fValue = 229.8f;
                      d.m_nDecimals = 1;
                      d.m_statMax = Stat(231.2f, QStringLiteral("VAC"), 1, "00:03:12");
                      d.m_statMin = Stat(0.0f, QStringLiteral("VAC"), 1, "00:00:01");
                      d.m_statAvg = Stat(228.4f, QStringLiteral("VAC"), 1, "00:05:40");
                      d.m_byElapsedM = 5;
                      d.m_byElapsedS = 40;
                      d.m_b24Hour = false;
                      d.m_bHold = true;
                  } });
    shots.append({ "rel-absolute", 3, 6, [](MeterData& d) {
                      d.m_fValue = 12.345f;
                      d.m_fReference = 10.0f;
                      d.m_fRelValue = 2.345f;
                  } });
    shots.append({ "rel-percent", 3, 6, [](MeterData& d) {
                      d.m_fValue = 12.345f;
                      d.m_fReference = 10.0f;
                      d.m_fRelValue = 2.345f;
                      d.m_bSubMode = true;
                  } });
    shots.append({ "rel-celsius", 3, 4, [](MeterData& d) {
                      d.m_strFunction = QStringLiteral("TEMP");
                      d.m_strUnit = QStringLiteral(u"\u2103");
                      d.m_fLimit = 1000.0f;
                      d.m_fValue = 24.5f;
                      d.m_fReference = 21.0f;
                      d.m_fRelValue = 3.5f;
                      d.m_nDecimals = 1;
                  } });
    shots.append({ "peak", 4, 7, [](MeterData& d) {
                      d.m_strFunction = d.m_strUnit = QStringLiteral("mVAC");
                      d.m_fLimit = 500.0f;
                      d.m_fValue = 120.5f;
                      d.m_nDecimals = 1;
                      d.m_statMax = Stat(171.2f, QStringLiteral("mVAC"), 1, "00:00:04");
                      d.m_statMin = Stat(-169.8f, QStringLiteral("mVAC"), 1, "00:00:09");
                      d.m_statAvg = Stat(120.1f, QStringLiteral("mVAC"), 1, "00:01:10");
                      d.m_strStart = QStringLiteral("12/05/26 02:07:33 pm");
                      d.m_byElapsedM = 1;
                      d.m_byElapsedS = 10;
                  } });
    shots.append({ "peak-crest-factor", 4, 5, [](MeterData& d) {
                      d.m_strFunction = d.m_strUnit = QStringLiteral("VAC");
                      d.m_fLimit = 500.0f;
                      d.m_fValue = 1.0f;
                      d.m_nDecimals = 3;
                      d.m_statMax = Stat(2.0f, QStringLiteral("VAC"), 3, "00:00:04");
                      d.m_statMin = Stat(-2.0f, QStringLiteral("VAC"), 3, "00:00:09");
                      d.m_bSubMode = true;
                  } });
    shots.append({ "dcac-combined", 5, 6, [](MeterData& d) {
                      d.m_strFunction = QStringLiteral("DC+AC(V)");
                      d.m_strUnit = QStringLiteral("dc+ac");
                      d.m_fValue = 5.1234f;
                      d.m_nDecimals = 2;
                      d.m_nSubKind = 2;
                  } });
    shots.append({ "dcac-apart", 5, 6, [](MeterData& d) {
                      d.m_strFunction = QStringLiteral("DC+AC(V)");
                      d.m_strUnit = d.m_strAltUnit = QStringLiteral("VDC");
                      d.m_strSubUnit = QStringLiteral("VAC");
                      d.m_fAltValue = 5.012f;
                      d.m_fSubValue = 1.204f;
                      d.m_fValue = 5.155f;
                      d.m_nDecimals = 3;
                      d.m_nSubKind = 3;
                  } });
    shots.append({ "dual-ac", 6, 5, [](MeterData& d) {
                      d.m_strFunction = d.m_strUnit = QStringLiteral("VAC");
                      d.m_fLimit = 500.0f;
                      d.m_fValue = 229.7f;
                      d.m_nDecimals = 1;
                      d.m_fAux = 50.02f;
                      d.m_strAux = QStringLiteral("HZ  ");
                  } });
    shots.append({ "frequency-duty", 7, 5, [](MeterData& d) {
                      d.m_strFunction = QStringLiteral("HZ");
                      d.m_strUnit = QStringLiteral("KHZ");
                      d.m_fValue = 1.0f;
                      d.m_fDuty = 50.0f;
                  } });
    shots.append({ "frequency-pulse-width", 7, 5, [](MeterData& d) {
                      d.m_strFunction = QStringLiteral("HZ");
                      d.m_strUnit = QStringLiteral("KHZ");
                      d.m_fValue = 1.0f;
                      d.m_fDuty = 50.0f;
                      d.m_bSubMode = true;
                  } });
    shots.append({ "frequency-hz-hold", 7, 5, [](MeterData& d) {
                      d.m_strFunction = d.m_strUnit = QStringLiteral("HZ");
                      d.m_fValue = 50.01f;
                      d.m_fDuty = 49.87f;
                      d.m_bHold = true;
                      d.m_bAutoRange = false;
                  } });
    shots.append({ "peak-mvac-hold", 4, 7, [](MeterData& d) {
                      d.m_strFunction = d.m_strUnit = QStringLiteral("mVAC");
                      d.m_fLimit = 600.0f;
                      d.m_fValue = -599.99f;
                      d.m_nDecimals = 2;
                      d.m_statMax = Stat(848.53f, QStringLiteral("mVAC"), 2, "23:59:59");
                      d.m_statMin = Stat(-848.53f, QStringLiteral("mVAC"), 2, "23:59:59");
                      d.m_statAvg = Stat(-599.99f, QStringLiteral("mVAC"), 2, "23:59:59");
                      d.m_strStart = QStringLiteral("12/05/26 11:07:33 pm");
                      d.m_bHold = true;
                  } });
    shots.append({ "rel-percent-hold", 3, 6, [](MeterData& d) {
                      d.m_fValue = 0.0f;
                      d.m_fReference = 12.5f;
                      d.m_fRelValue = -12.5f;
                      d.m_bSubMode = true;
                      d.m_bHold = true;
                  } });
    shots.append({ "normal-vac-1000-scale", 1, 5, [](MeterData& d) {
                      d.m_strFunction = d.m_strUnit = QStringLiteral("VAC");
                      d.m_fLimit = 1000.0f;
                      d.m_fValue = 999.9f;
                      d.m_nDecimals = 1;
                      d.m_bSubMode = true;
                  } });
    shots.append({ "oscilloscope", 10, 11, nullptr });
    shots.append({ "no-recv", -1, 0, nullptr });
    return shots;
}

QImage Render(QWidget& w, int dpr)
{
    QImage image(w.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    w.render(&image);
    return image;
}

bool Save(QWidget& w, const QString& dir, const QString& name)
{
    for (int dpr : { 1, 2 }) {
        const QImage image = Render(w, dpr);
        const QString file = QDir(dir).filePath(name + (dpr == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png")));
        if (!image.save(file)) {
            std::fprintf(stderr, "lcd-gallery: cannot write %s\n", qPrintable(file));
            return false;
        }
        QTextStream(stdout) << file << '\n';
    }
    return true;
}

// Every picture of the readout and the four keys on LCD grey, for a close look at the artwork.
QImage LegendSheet(int dpr)
{
    const int cellW = 90, cellH = 34, columns = 6;
    const int count = kUnitCount + 12 + 4;
    const int rows = (count + columns - 1) / columns;
    QImage image(QSize(cellW * columns, cellH * rows) * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(QColor::fromRgb(LcdColor::LcdGrey));
    QPainter p(&image);
    int n = 0;
    auto cell = [&](const QSize& size) {
        const QPoint at((n % columns) * cellW + 4, (n / columns) * cellH + 4);
        ++n;
        return QRectF(at, QSizeF(size));
    };
    for (int row = 0; row < kUnitCount; ++row) {
        const QSize size = LcdPictureSize(LcdPicture::UnitLegend, row);
        const QRectF r = cell(size);
        p.setPen(QColor(100, 110, 100));
        p.drawRect(r.adjusted(-0.5, -0.5, 0.5, 0.5));
        LcdArtwork::DrawPicture(p, LcdPicture::UnitLegend, row, r);
    }
    const LcdPicture pictures[] = { LcdPicture::Hold, LcdPicture::AutoRange, LcdPicture::ManualRange,
        LcdPicture::MinMax, LcdPicture::Peak, LcdPicture::Rel, LcdPicture::LowPass, LcdPicture::Delta,
        LcdPicture::Diode, LcdPicture::Fahrenheit, LcdPicture::Celsius };
    for (LcdPicture pic : pictures)
        LcdArtwork::DrawPicture(p, pic, 0, cell(LcdPictureSize(pic)));
    ++n;
    for (const MeterKeySpec& key : MeterKeys::kKeys)
        LcdArtwork::DrawKey(p, key.id, cell(key.picture.boundedTo(key.rest.size())));
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(METER_GALLERY_DIR);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "lcd-gallery: cannot create %s\n", qPrintable(dir));
        return 1;
    }

    CLeftDlg panel;
    panel.resize(panel.sizeHint());
    // The contact sheets: every display picture side by side, cut to the display and its bezel.
    const QRect cut = CLeftDlg::DisplayFrameRect().adjusted(-16, -16, 16, 16);
    const int columns = 4;
    const QList<Shot> shots = Shots();
    const int rows = int((shots.size() + columns - 1) / columns);
    QImage sheets[2];
    for (int i = 0; i < 2; ++i) {
        sheets[i]
            = QImage(QSize(cut.width() * columns, cut.height() * rows) * (i + 1), QImage::Format_ARGB32_Premultiplied);
        sheets[i].fill(Qt::white);
    }
    int n = 0;
    for (const Shot& shot : shots) {
        if (shot.mode == -1) {
            panel.Blank();
        } else if (shot.mode == CLeftDlg::kModeOscilloscope) {
            panel.SetDialPos(shot.dial);
            panel.SetDisplayMode(shot.mode);
        } else {
            MeterEvent e;
            e.m_nMode = shot.mode;
            e.m_data = Base();
            shot.fill(e.m_data);
            e.m_nDialPos = shot.dial;
            panel.OnMeterEvent(e);
        }
        if (!Save(panel, dir, QString::asprintf("%02d-%s", n + 1, shot.name)))
            return 1;
        for (int i = 0; i < 2; ++i) {
            const int dpr = i + 1;
            QPainter sheetPainter(&sheets[i]);
            sheetPainter.drawImage(QPoint((n % columns) * cut.width(), (n / columns) * cut.height()) * dpr, [&] {
                QImage part = Render(panel, dpr).copy(QRect(cut.topLeft() * dpr, cut.size() * dpr));
                part.setDevicePixelRatio(1);
                return part;
            }());
        }
        ++n;
    }
    for (int i = 0; i < 2; ++i) {
        const QString sheetFile
            = QDir(dir).filePath(i == 0 ? QStringLiteral("contact-sheet.png") : QStringLiteral("contact-sheet@2x.png"));
        if (!sheets[i].save(sheetFile))
            return 1;
        QTextStream(stdout) << sheetFile << '\n';
    }

    for (int dpr : { 1, 2, 4 }) {
        const QString file = QDir(dir).filePath(QString::asprintf("legends@%dx.png", dpr));
        if (!LegendSheet(dpr).save(file))
            return 1;
        QTextStream(stdout) << file << '\n';
    }

    // The panel at 200% zoom, as View > Zoom display shows it.
    panel.SetZoom(2.0);
    if (!Save(panel, dir, QStringLiteral("zoom200-panel")))
        return 1;
    panel.SetZoom(1.0);

    // A meter whose alarm is on: the red border leaves the reading readable.
    {
        MeterEvent e;
        e.m_nMode = 1;
        e.m_data = Base();
        e.m_data.m_fValue = 11.43f;
        e.m_nDialPos = 6;
        panel.OnMeterEvent(e);
        panel.SetAlarm(true);
        if (!Save(panel, dir, QStringLiteral("alarm-panel")))
            return 1;
        panel.SetAlarm(false);
    }

    // The power / energy / charge panel: integrating, and stopped at a gap.
    {
        CDerivedPanel derived;
        derived.resize(derived.sizeHint().expandedTo(QSize(300, 160)));
        DerivedState s;
        s.voltsMeter = 0;
        s.ampsMeter = 1;
        s.hasPower = true;
        s.power = 30.012;
        s.energyWh = 1.2345;
        s.chargeAh = 0.1029;
        derived.OnUpdate(s);
        if (!Save(derived, dir, QStringLiteral("derived-panel")))
            return 1;
        s.hasPower = false;
        s.stopped = true;
        s.gapMeter = 1;
        derived.OnUpdate(s);
        if (!Save(derived, dir, QStringLiteral("derived-panel-stopped")))
            return 1;
    }

    CShowData box;
    box.SetData(41, QStringLiteral("2026-05-12 14:07:33"), 500000.0, QStringLiteral("VDC"), QStringLiteral("VDC"));
    if (!Save(box, dir, QString::asprintf("%02d-info-box", ++n)))
        return 1;
    return 0;
}
