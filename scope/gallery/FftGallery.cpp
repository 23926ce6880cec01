// fft-gallery: draws the "FFT Analysis" dialog after a run, in the magnitude and the power view
// with every window, into PNG files for a person to look at.
//
//   fft-gallery [folder]     (default: build/gallery/fft)
#include "datalog/MyOrvelDoc.h"
#include "scope/FftDlg.h"
#include "scope/FftWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QRadioButton>
#include <cmath>
#include <cstdio>

namespace {

// A recording with a strong tone off a bin centre, a weak one 40 dB down and an offset: the
// windows differ in how far the strong tone leaks over the weak one.
void fill(CMyOrvelDoc& doc, int points)
{
    const double pi = std::acos(-1.0);
    for (int i = 0; i < points; ++i) {
        const double v = 0.5 + std::sin(2 * pi * 0.1234 * i) + 0.01 * std::sin(2 * pi * 0.3071 * i);
        const QString time = QStringLiteral("2026-12-07 10:%1:%2")
                                 .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(i % 60, 2, 10, QLatin1Char('0'));
        doc.AddPoint(0, v, QStringLiteral("VDC"), 1.0, i, time, QStringLiteral("DCV"), 600.0f);
    }
}

bool shoot(CFFTDlg& dlg, const QString& path)
{
    dlg.OnRun();
    const bool ok = dlg.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(METER_GALLERY_DIR);
    QDir().mkpath(dir);

    CMyOrvelDoc doc;
    fill(doc, 3000);
    CFFTDlg dlg(doc, 0, 2999);
    dlg.resize(900, 480);
    dlg.show();
    auto* size = dlg.findChild<QComboBox*>(QStringLiteral("fftSize"));
    auto* filter = dlg.findChild<QComboBox*>(QStringLiteral("filter"));
    auto* power = dlg.findChild<QRadioButton*>(QStringLiteral("power"));
    auto* frequency = dlg.findChild<QRadioButton*>(QStringLiteral("frequency"));

    bool ok = true;
    size->setCurrentText(QStringLiteral("256"));
    for (int view = 0; view < 2; ++view) {
        (view == 0 ? frequency : power)->setChecked(true);
        for (int w = fft::WindowNone; w < fft::kWindowCount; ++w) {
            filter->setCurrentIndex(w + 1);
            ok = shoot(dlg,
                     QStringLiteral("%1/%2-%3.png")
                         .arg(dir, QLatin1String(view == 0 ? "magnitude" : "power"), QLatin1String(fft::WindowKey(w))))
                && ok;
        }
    }
    // The default size and the largest one.
    filter->setCurrentIndex(0);
    for (const char* n : { "32", "2048" }) {
        size->setCurrentText(QLatin1String(n));
        frequency->setChecked(true);
        ok = shoot(dlg, QStringLiteral("%1/magnitude-%2.png").arg(dir, QLatin1String(n))) && ok;
        power->setChecked(true);
        ok = shoot(dlg, QStringLiteral("%1/power-%2.png").arg(dir, QLatin1String(n))) && ok;
    }
    // Before any run: grid and labels only.
    CFFTDlg fresh(doc, 10, 20);
    fresh.resize(900, 480);
    fresh.show();
    const QString path = QStringLiteral("%1/before-run.png").arg(dir);
    ok = fresh.grab().save(path) && ok;
    std::printf("wrote %s\n", qPrintable(path));
    return ok ? 0 : 1;
}
