#include "scope/FftDlg.h"

#include "datalog/MyOrvelDoc.h"
#include "platform/MessageBox.h"
#include "scope/FftPainter.h"
#include "scope/FftPlot.h"
#include "scope/FftTransform.h"
#include "scope/FftWindow.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

// The plot area: draws the dialog's analysis as laid out for its own rectangle.
class CFftPlotView : public QWidget {
public:
    explicit CFftPlotView(CFFTDlg* dlg)
        : QWidget(dlg)
        , m_pDlg(dlg)
    {
        setObjectName(QStringLiteral("plot"));
        setMinimumSize(560, 380);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

    void draw(QPainter& p, const QRect& rect) const
    {
        if (m_pDlg->m_bDocHasPoints)
            DrawFftPlot(p, m_pDlg->m_analysis, rect);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        draw(p, rect());
    }

private:
    CFFTDlg* m_pDlg;
};

namespace {

QComboBox* dropList(QWidget* parent, const char* name, const QStringList& items)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(items);
    box->setCurrentIndex(0);
    return box;
}

QLineEdit* readOnlyEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    return edit;
}

} // namespace

CFFTDlg::CFFTDlg(const CMyOrvelDoc& doc, int first, int last, QWidget* parent)
    : QDialog(parent)
    , m_nStart(first)
    , m_nEnd(last)
{
    setWindowTitle(QStringLiteral("FFT Analysis"));

    const CDataSeries& series = doc.m_arrSeries[0];
    m_bDocHasPoints = !series.IsEmpty();
    m_values = fft::CopySeriesValues(series, m_nStart, m_nEnd, fft::kMaxSize);
    for (int i = std::max(0, m_nStart); i <= m_nEnd && i < series.Size(); ++i)
        m_nReadings += series.IsNull(i) ? 0 : 1;

    m_pStartTime = readOnlyEdit(this, "startTime");
    m_pFinishTime = readOnlyEdit(this, "finishTime");
    m_pNumber = readOnlyEdit(this, "number");
    auto timeText = [&](int i) { return i >= 0 && i < series.Size() ? series.DateTime(i) : QString(); };
    m_pStartTime->setText(timeText(m_nStart));
    m_pFinishTime->setText(timeText(m_nEnd));
    m_pNumber->setText(QString::asprintf("%d", m_nEnd - m_nStart + 1));

    QStringList sizes;
    for (int n = fft::kMinSize; n <= fft::kMaxSize; n *= 2)
        sizes << QString::number(n);
    m_pSize = dropList(this, "fftSize", sizes);
    QStringList filters;
    for (int w = fft::WindowNone; w < fft::kWindowCount; ++w)
        filters << QLatin1String(fft::WindowTitle(w));
    m_pFilter = dropList(this, "filter", filters);
    m_pOverlap = dropList(this, "overlap", { QStringLiteral("0%"), QStringLiteral("25%"), QStringLiteral("50%") });
    m_pSampleRate = dropList(this, "sampleRate",
        { QStringLiteral("16"), QStringLiteral("32"), QStringLiteral("64"), QStringLiteral("128"),
            QStringLiteral("256"), QStringLiteral("512") });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Start Time"), m_pStartTime);
    form->addRow(QStringLiteral("Finish Time"), m_pFinishTime);
    form->addRow(QStringLiteral("Number"), m_pNumber);
    form->addRow(QStringLiteral("FFT size"), m_pSize);
    form->addRow(QStringLiteral("Filter"), m_pFilter);
    // "Overlap" and "Sample Rate" exist but are never shown (nor laid out): the overlap is fixed
    // at 16 samples whatever the list says, and the segment count is the sample-rate list's
    // selection, which stays at its first entry, 16.
    m_pOverlap->setToolTip(QStringLiteral("Overlap"));
    m_pSampleRate->setToolTip(QStringLiteral("Sample Rate"));
    m_pOverlap->hide();
    m_pSampleRate->hide();

    m_pPowerRadio = new QRadioButton(QStringLiteral("Power Spectrum"), this);
    m_pPowerRadio->setObjectName(QStringLiteral("power"));
    m_pFrequencyRadio = new QRadioButton(QStringLiteral("Frequency Spectrum"), this);
    m_pFrequencyRadio->setObjectName(QStringLiteral("frequency"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_pPowerRadio);
    group->addButton(m_pFrequencyRadio);
    m_pPowerRadio->setChecked(true);
    connect(m_pPowerRadio, &QRadioButton::toggled, this, &CFFTDlg::OnSpectrumChosen);

    auto* run = new QPushButton(QStringLiteral("Run"), this);
    run->setObjectName(QStringLiteral("run"));
    run->setDefault(true);
    connect(run, &QPushButton::clicked, this, &CFFTDlg::OnRun);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("close"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    // What the chosen size does to the chosen readings: zeros added, or readings left out.
    m_pNote = new QLabel(this);
    m_pNote->setObjectName(QStringLiteral("sizeNote"));
    m_pNote->setWordWrap(true);
    connect(m_pSize, &QComboBox::currentIndexChanged, this, &CFFTDlg::UpdateSizeNote);
    UpdateSizeNote();

    auto* side = new QVBoxLayout;
    side->addLayout(form);
    side->addWidget(m_pNote);
    side->addWidget(m_pPowerRadio);
    side->addWidget(m_pFrequencyRadio);
    side->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(run);
    buttons->addWidget(close);
    side->addLayout(buttons);

    m_pPlot = new CFftPlotView(this);
    auto* main = new QHBoxLayout(this);
    main->addLayout(side);
    main->addWidget(m_pPlot, 1);

    // Reported once here; Run stays harmless without them.
    for (int i = 0; i < m_analysis.MissingBuffers(); ++i)
        msgbox::Show(parent, QLatin1String(fft::kBufferAllocFailed), QString(), msgbox::Warning);
}

CFFTDlg::~CFFTDlg() = default;

void CFFTDlg::OnSpectrumChosen() { m_bPower = m_pPowerRadio->isChecked(); }

void CFFTDlg::UpdateSizeNote()
{
    const int n = m_pSize->currentText().toInt();
    const int count = m_nReadings;
    QString note;
    if (count < n)
        note = QStringLiteral("%1 readings: padded with %2 zeros to %3.").arg(count).arg(n - count).arg(n);
    else if (count > n)
        note = QStringLiteral("%1 readings: only the first %2 are used.").arg(count).arg(n);
    m_pNote->setText(note);
}

void CFFTDlg::OnRun()
{
    CFftAnalysis::Settings settings;
    settings.size = m_pSize->currentText().toInt();
    settings.window = m_pFilter->currentIndex() - 1;
    settings.segments = m_pSampleRate->currentText().toInt();
    settings.power = m_bPower;
    const auto result = m_analysis.Run(settings, m_values.data(), static_cast<int>(m_values.size()));
    if (result == CFftAnalysis::Result::NoTwiddles)
        msgbox::Show(this, QLatin1String(fft::kTwiddleAllocFailed), QString(), msgbox::Warning);
    m_pPlot->update();
}

QImage CFFTDlg::RenderPlot() const
{
    QImage image(m_pPlot->size(), QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Window));
    QPainter p(&image);
    m_pPlot->draw(p, QRect(QPoint(0, 0), m_pPlot->size()));
    return image;
}

bool OpenFftForRange(QWidget* parent, const CMyOrvelDoc& doc, int a, int b)
{
    int first = 0;
    int last = 0;
    if (!fft::RangeFromDragEnds(static_cast<int>(doc.m_arrSeries[0].Size()), a, b, &first, &last))
        return false;
    CFFTDlg dlg(doc, first, last, parent);
    dlg.exec();
    return true;
}
