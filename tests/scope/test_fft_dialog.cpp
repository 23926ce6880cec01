// "FFT Analysis" offscreen: what it shows on opening, a run in each view drawn into a PNG, the
// memory failures it survives, and the opening rule of the graph's drag.
#include "datalog/MyOrvelDoc.h"
#include "platform/MessageBox.h"
#include "scope/FftDlg.h"
#include "scope/FftTransform.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <cmath>

namespace {

void fill(CMyOrvelDoc& doc, int points)
{
    for (int i = 0; i < points; ++i)
        doc.AddPoint(0, 2.0 + std::sin(i * 2 * 3.14159265358979 * 5 / 64), "VDC", 1.0, i,
            QStringLiteral("2026/05/01 08:00:%1").arg(i % 60, 2, 10, QLatin1Char('0')), "DCV", 60.0f);
}

QString outputPath(const QString& name)
{
    const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT", QDir::tempPath());
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

int countColour(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    }
    return n;
}

} // namespace

class TestFftDialog : public QObject {
    Q_OBJECT
private:
    QStringList m_messages;

private slots:
    void init()
    {
        m_messages.clear();
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_messages << r.text;
            return msgbox::Ok;
        });
    }
    void cleanup()
    {
        msgbox::SetHandler({});
        CFftAnalysis::SetAllocFaultForTesting(0);
        fft::SetTwiddleAllocFaultForTesting(false);
    }

    void opensWithTheChosenRange()
    {
        CMyOrvelDoc doc;
        fill(doc, 100);
        CFFTDlg dlg(doc, 10, 73);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("FFT Analysis"));
        QCOMPARE(dlg.findChild<QLineEdit*>("startTime")->text(), QStringLiteral("2026/05/01 08:00:10"));
        QCOMPARE(dlg.findChild<QLineEdit*>("finishTime")->text(), QStringLiteral("2026/05/01 08:00:13"));
        QCOMPARE(dlg.findChild<QLineEdit*>("number")->text(), QStringLiteral("64"));
        auto* size = dlg.findChild<QComboBox*>("fftSize");
        QCOMPARE(size->count(), 7);
        QCOMPARE(size->currentText(), QStringLiteral("32"));
        QCOMPARE(size->itemText(6), QStringLiteral("2048"));
        auto* filter = dlg.findChild<QComboBox*>("filter");
        QCOMPARE(filter->currentText(), QStringLiteral("None"));
        QCOMPARE(filter->itemText(5), QStringLiteral("4 term Blackman-Harris"));
        QVERIFY(dlg.findChild<QRadioButton*>("power")->isChecked());
        QVERIFY(dlg.m_bPower);

        dlg.show();
        auto* overlap = dlg.findChild<QComboBox*>("overlap");
        auto* sampleRate = dlg.findChild<QComboBox*>("sampleRate");
        QVERIFY(!overlap->isVisible() && !sampleRate->isVisible());
        QCOMPARE(sampleRate->currentText(), QStringLiteral("16"));
        QVERIFY(dlg.findChild<QPushButton*>("run")->isVisible());
        QVERIFY(m_messages.isEmpty());

        // The dialog says when the size pads the 64 readings or leaves some out.
        auto* note = dlg.findChild<QLabel*>("sizeNote");
        QVERIFY(note);
        QVERIFY(note->text().contains(QStringLiteral("first 32")));
        size->setCurrentIndex(1); // 64
        QVERIFY(note->text().isEmpty());
        size->setCurrentIndex(2); // 128
        QVERIFY(note->text().contains(QStringLiteral("padded with 64 zeros")));
        // More readings than the largest size holds: counted as chosen.
        CMyOrvelDoc big;
        fill(big, 3000);
        CFFTDlg wide(big, 0, 2999);
        QVERIFY(wide.findChild<QLabel*>("sizeNote")->text().startsWith(QStringLiteral("3000 readings")));
    }

    void runsBothViewsAndDraws()
    {
        CMyOrvelDoc doc;
        fill(doc, 200);
        CFFTDlg dlg(doc, 0, 199);
        dlg.resize(900, 480);
        dlg.show();

        // Default: the power view of 32 points with 16 segments.
        dlg.findChild<QPushButton*>("run")->click();
        QVERIFY(dlg.Analysis().HasResult());
        QVERIFY(dlg.Analysis().m_bPower);
        QCOMPARE(dlg.Analysis().m_nTotal, 16 * 15 + 32);
        QImage power = dlg.RenderPlot();
        QVERIFY(power.save(outputPath("fft-dialog-power.png")));
        QVERIFY(countColour(power, qRgb(0, 0, 255)) > 200); // the curve
        QVERIFY(countColour(power, qRgb(0, 96, 0)) > 500); // the dotted grid
        QVERIFY(countColour(power, qRgb(255, 255, 255)) > power.width() * power.height() / 2);

        // The magnitude view of 64 points with a Hanning window: a tone at bin 5.
        dlg.findChild<QRadioButton*>("frequency")->click();
        QVERIFY(!dlg.m_bPower);
        dlg.findChild<QComboBox*>("fftSize")->setCurrentText("64");
        dlg.findChild<QComboBox*>("filter")->setCurrentIndex(2);
        dlg.OnRun();
        const CFftAnalysis& a = dlg.Analysis();
        QVERIFY(!a.m_bPower);
        QCOMPARE(a.m_nSize, 64);
        QCOMPARE(a.m_nWindow, 1);
        // The offset's main lobe covers bins 0 and 1; past it, the tone stands out.
        int top = 2;
        for (int k = 2; k < 32; ++k)
            top = a.m_pOutMag[k] > a.m_pOutMag[top] ? k : top;
        QCOMPARE(top, 5);
        QImage magnitude = dlg.grab().toImage();
        QVERIFY(magnitude.save(outputPath("fft-dialog-magnitude.png")));
        QVERIFY(countColour(dlg.RenderPlot(), qRgb(0, 0, 255)) > 200);

        // Switching the view alone keeps the last run's picture until the next Run.
        dlg.findChild<QRadioButton*>("power")->click();
        QVERIFY(dlg.m_bPower);
        QVERIFY(!dlg.Analysis().m_bPower);
    }

    void hiddenListsAndTheirEffects()
    {
        CMyOrvelDoc doc;
        fill(doc, 300);
        CFFTDlg dlg(doc, 0, 299);
        dlg.OnRun();
        const std::vector<double> before = dlg.Analysis().Values();
        // The overlap list changes nothing.
        dlg.findChild<QComboBox*>("overlap")->setCurrentText("50%");
        dlg.OnRun();
        QVERIFY(dlg.Analysis().Values() == before);
        QCOMPARE(dlg.Analysis().m_nOverlap, 16);
        // The sample-rate list is the number of segments averaged.
        dlg.findChild<QComboBox*>("sampleRate")->setCurrentText("512");
        dlg.OnRun();
        QCOMPARE(dlg.Analysis().m_nSegments, 512);
        QCOMPARE(dlg.Analysis().m_nTotal, 16 * 511 + 32);
        QVERIFY(dlg.Analysis().Values() != before);
    }

    void survivesMissingMemory()
    {
        CMyOrvelDoc doc;
        fill(doc, 50);
        CFftAnalysis::SetAllocFaultForTesting(CFftAnalysis::BufLong | CFftAnalysis::BufPower);
        CFFTDlg dlg(doc, 0, 49);
        CFftAnalysis::SetAllocFaultForTesting(0);
        QCOMPARE(m_messages, (QStringList { "Failed to new memory!", "Failed to new memory!" }));
        dlg.show();
        dlg.OnRun();
        dlg.OnRun();
        QVERIFY(!dlg.Analysis().HasResult());
        QCOMPARE(m_messages.size(), 2); // once each, not per run
        QVERIFY(!dlg.RenderPlot().isNull());

        m_messages.clear();
        CFFTDlg other(doc, 0, 49);
        QVERIFY(m_messages.isEmpty());
        fft::SetTwiddleAllocFaultForTesting(true);
        other.OnRun();
        QCOMPARE(m_messages, QStringList { "Unable to allocate complex W array" });
        QVERIFY(!other.Analysis().HasResult());
        fft::SetTwiddleAllocFaultForTesting(false);
        other.OnRun();
        QVERIFY(other.Analysis().HasResult());
    }

    void dragEndsDecideWhetherItOpens()
    {
        CMyOrvelDoc doc;
        fill(doc, 30);
        bool sawDialog = false;
        auto closeModal = [&] {
            if (auto* d = qobject_cast<CFFTDlg*>(QApplication::activeModalWidget())) {
                sawDialog = d->m_nStart == 3 && d->m_nEnd == 29;
                d->reject();
            }
        };
        QVERIFY(!OpenFftForRange(nullptr, doc, 7, 7));
        QVERIFY(!OpenFftForRange(nullptr, doc, 40, 29)); // both clamp to the last point
        CMyOrvelDoc empty;
        QVERIFY(!OpenFftForRange(nullptr, empty, 0, 5));

        QTimer::singleShot(0, closeModal);
        QVERIFY(OpenFftForRange(nullptr, doc, 99, 3));
        QVERIFY(sawDialog);
    }
};

QTEST_MAIN(TestFftDialog)
#include "test_fft_dialog.moc"
