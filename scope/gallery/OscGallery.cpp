// osc-gallery: the "OSC" window with waveforms of each status, the mV ranges, a spectrum, zoomed,
// with dragged markers and the crosshair read-out; the store buttons in all five looks; and the
// first page of each printout (through pdftoppm), as PNG files for a person to look at.
//
//   osc-gallery [folder]     (default: build/gallery/osc)
#include "scope/OscDlg.h"
#include "scope/OscGraph.h"
#include "scope/OscList.h"
#include "tests/scope/OscSamples.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <cstdio>

namespace {

bool g_ok = true;

void save(const QImage& image, const QString& path)
{
    const bool ok = image.save(path);
    g_ok = g_ok && ok;
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
}

void shoot(COSCDlg& dlg, const QString& path) { save(dlg.grab().toImage(), path); }

void pdfFirstPage(const QString& pdf, const QString& png)
{
    QString base = png;
    base.chop(4);
    const int rc = QProcess::execute(QStringLiteral("pdftoppm"),
        { QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-f"), QStringLiteral("1"),
            QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, base });
    std::printf("%s %s\n", rc == 0 ? "wrote" : "FAILED (pdftoppm)", qPrintable(png));
    g_ok = g_ok && rc == 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(METER_GALLERY_DIR);
    QDir().mkpath(dir);

    COSCDlg dlg;
    dlg.resize(900, 640);
    dlg.show();
    const char* names[] = { "", "hold", "rec", "fft", "single" };
    for (int status = 1; status <= 4; ++status) {
        dlg.ShowRecord(osc_samples::Record(status), QStringLiteral("%1 | 12/07/2026 09:05:03").arg(status));
        shoot(dlg, dir + QStringLiteral("/wave-%1.png").arg(QLatin1String(names[status])));
    }
    const double mv[] = { 20, 50, 100 };
    for (double div : mv) {
        dlg.ShowRecord(osc_samples::Record(1, 12, div, QStringLiteral("mV")), QStringLiteral("0 12/07/2026 09:05:03"));
        shoot(dlg, dir + QStringLiteral("/wave-%1mV.png").arg(int(div)));
    }
    OSCData broken = osc_samples::Record(1);
    broken.info.dVoltDiv = 0;
    broken.info.dFreq = -1;
    dlg.ShowRecord(broken, QStringLiteral("0 no volts/div"));
    shoot(dlg, dir + QStringLiteral("/wave-no-voltdiv.png"));

    dlg.ShowRecord(osc_samples::Record(3, 9), QStringLiteral("3 | 12/07/2026 09:05:03"));
    dlg.OnToggle();
    shoot(dlg, dir + QStringLiteral("/spectrum.png"));
    COSCGraph* g = dlg.Graph();
    COscGraphModel& m = g->Model();
    m.RightDown(QPoint(m.XOf(12), 120));
    g->update();
    emit g->readoutChanged(m.ReadoutText());
    shoot(dlg, dir + QStringLiteral("/spectrum-readout.png"));
    m.RightUp();

    dlg.ShowRecord(osc_samples::Record(1), QStringLiteral("1 | 12/07/2026 09:05:03"));
    m.LeftDown(QPoint(100, 80));
    m.MouseMove(QPoint(300, 220));
    g->update();
    shoot(dlg, dir + QStringLiteral("/zoom-dragging.png"));
    m.LeftUp(QPoint(300, 220));
    g->update();
    shoot(dlg, dir + QStringLiteral("/zoomed.png"));
    dlg.OnUndoZoom();

    // Markers: the upper level down by 40 pixels, the second time line right by 30 samples.
    const int yUp = m.YOf(m.Info().dMax);
    m.LeftDown(QPoint(200, yUp));
    m.MouseMove(QPoint(200, yUp + 40));
    m.LeftUp(QPoint(200, yUp + 40));
    const int x2 = m.XOf(m.Info().dCross2);
    m.LeftDown(QPoint(x2, 200));
    m.MouseMove(QPoint(m.XOf(m.Info().dCross2 + 30), 200));
    m.LeftUp(QPoint(m.XOf(m.Info().dCross2 + 30), 200));
    m.RightDown(QPoint(m.XOf(140), 200));
    emit g->readoutChanged(m.ReadoutText());
    g->update();
    shoot(dlg, dir + QStringLiteral("/markers-readout.png"));
    m.RightUp();

    // The narrowest the window goes, markers dragged.
    dlg.resize(dlg.minimumSize());
    QCoreApplication::processEvents();
    shoot(dlg, dir + QStringLiteral("/markers-narrow.png"));
    dlg.resize(900, 640);
    QCoreApplication::processEvents();

    // The store pane: every look, at device pixel ratio 1 and 2.
    COSCList list;
    list.resize(340, 200);
    for (int s = 1; s <= 10; ++s)
        list.SetStoreLook(s, s % 5);
    list.show();
    save(list.grab().toImage(), dir + QStringLiteral("/store-pane.png"));
    QImage hi(QSize(680, 400), QImage::Format_ARGB32);
    hi.setDevicePixelRatio(2);
    hi.fill(Qt::black);
    list.render(&hi);
    save(hi, dir + QStringLiteral("/store-pane@2x.png"));

    // The printouts.
    dlg.ShowRecord(osc_samples::Record(3, 9), QStringLiteral("3 | 12/07/2026 09:05:03"));
    const QDateTime now(QDate(2026, 12, 7), QTime(10, 11, 12));
    for (int which = 0; which < 3; ++which) {
        if (which == 2)
            dlg.OnToggle(); // the spectrum's data table
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = dir + (which == 0 ? "/print-graph.pdf" : which == 1 ? "/print-data.pdf" : "/print-data-spectrum.pdf");
        printer.setOutputFileName(pdf);
        if (which == 0)
            dlg.PrintGraph(printer, now);
        else
            dlg.PrintData(printer, now);
        QString png = pdf;
        png.replace(QStringLiteral(".pdf"), QStringLiteral(".png"));
        pdfFirstPage(pdf, png);
    }
    return g_ok ? 0 : 1;
}
