#include "scope/OscDlg.h"

#include "datalog/PrintPainter.h"
#include "datalog/PrintRX.h"
#include "platform/MessageBox.h"
#include "scope/OscExport.h"
#include "scope/OscFile.h"
#include "scope/OscGraph.h"
#include "scope/OscPrintLayout.h"
#include "scope/OscUiFiles.h"

#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QUrl>

COSCDlg::COSCDlg(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("OSC"));
    setObjectName(QStringLiteral("OSCDlg"));
    setModal(false);
    setSizeGripEnabled(true);
    setAutoFillBackground(true);
    m_pMenu = new QMenuBar(this);
    QMenu* file = m_pMenu->addMenu(QStringLiteral("File"));
    file->addAction(QStringLiteral("Save Current Osc"), this, &COSCDlg::OnSaveCurrentOsc)->setObjectName("saveCurrentOsc");
    file->addAction(QStringLiteral("&Export to excel"), this, &COSCDlg::OnExportToExcel)->setObjectName("exportToExcel");
    QMenu* print = m_pMenu->addMenu(QStringLiteral("Print"));
    print->addAction(QStringLiteral("Print &Graph"), this, &COSCDlg::OnPrintGraph)->setObjectName("printGraph");
    print->addAction(QStringLiteral("Print &Data"), this, &COSCDlg::OnPrintData)->setObjectName("printData");

    m_pGraph = new COSCGraph(this);
    m_pReadout = new QLabel(this);
    m_pReadout->setObjectName(QStringLiteral("readout"));
    // The read-out sits in a strip about 40 pixels high: the font fills the strip, not more.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(22);
    m_pReadout->setFont(font);
    m_pReadout->setAutoFillBackground(true);
    QPalette pal = m_pReadout->palette();
    pal.setColor(QPalette::Window, QColor(177, 176, 190));
    pal.setColor(QPalette::WindowText, Qt::black);
    m_pReadout->setPalette(pal);
    m_pTitle = new QLineEdit(this);
    m_pTitle->setObjectName(QStringLiteral("title"));
    m_pTitle->setReadOnly(true);
    m_pToggle = new QPushButton(QStringLiteral("FFT"), this);
    m_pToggle->setObjectName(QStringLiteral("toggle"));
    m_pUndoZoom = new QPushButton(QStringLiteral("UnDo Zoom"), this);
    m_pUndoZoom->setObjectName(QStringLiteral("undoZoom"));
    connect(m_pToggle, &QPushButton::clicked, this, &COSCDlg::OnToggle);
    connect(m_pUndoZoom, &QPushButton::clicked, this, &COSCDlg::OnUndoZoom);
    connect(m_pGraph, &COSCGraph::readoutChanged, m_pReadout, &QLabel::setText);
    // Below this the graph's bands would run into one another.
    setMinimumSize(760, 560);
    resize(900, 640);
    Layout();
}

int COSCDlg::ShownCount() const { return m_pGraph->Model().Count(); }

void COSCDlg::SetData(const QString& title, int count)
{
    const bool spectrum = count == OSCData::kSpectrumPoints;
    m_pGraph->SetData(spectrum ? m_data.fSpectrum.data() : m_data.fWave.data(),
        spectrum ? OSCData::kSpectrumPoints : OSCData::kWavePoints, m_data.info);
    m_strTitle = title;
    m_pReadout->clear();
}

void COSCDlg::ShowRecord(const OSCData& record, const QString& title)
{
    m_data = record;
    m_pTitle->setText(title);
    m_strTitle = title;
    m_bWaveShown = false;
    OnToggle();
}

void COSCDlg::OnToggle()
{
    if (!m_bWaveShown) {
        SetData(m_strTitle, OSCData::kWavePoints);
        m_bWaveShown = true;
        m_pToggle->setText(QStringLiteral("FFT"));
    } else if (m_data.info.nStatus == 3) {
        SetData(m_strTitle, OSCData::kSpectrumPoints);
        m_bWaveShown = false;
        m_pToggle->setText(QStringLiteral("return"));
    }
    // Only a record taken in the meter's FFT mode carries a spectrum; say so instead of a button
    // that does nothing.
    const bool spectrum = m_data.info.nStatus == 3;
    m_pToggle->setEnabled(spectrum);
    m_pToggle->setToolTip(spectrum ? QString()
                                   : QStringLiteral("This record has no spectrum: the meter sends one only "
                                                    "for waveforms stored in its FFT mode."));
}

void COSCDlg::OnUndoZoom() { m_pGraph->ResetView(); }

void COSCDlg::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    Layout();
}

void COSCDlg::Layout()
{
    const int menuH = m_pMenu->sizeHint().height();
    m_pMenu->setGeometry(0, 0, width(), menuH);
    const int top = menuH;
    const int W = width();
    const int H = height() - menuH;
    m_pGraph->setGeometry(30, top + 100, std::max(1, W - 60), std::max(1, H - 150));
    const int bw = std::max(m_pToggle->sizeHint().width(), m_pUndoZoom->sizeHint().width());
    const int bh = m_pToggle->sizeHint().height();
    m_pToggle->setGeometry(3 * W / 4 - 2 * bw - 10, top + 60, bw, bh);
    m_pUndoZoom->setGeometry(3 * W / 4 - 5 - bw, top + 60, bw, bh);
    m_pTitle->setGeometry(3 * W / 4, top + 65, W - 3 * W / 4 - 10, m_pTitle->sizeHint().height());
    m_pReadout->setGeometry(5, top + 60, std::max(1, W / 2 - 5), 35);
}

void COSCDlg::reject()
{
    // The close box and Escape both end here.
    QDialog::reject();
    emit closed();
}

bool COSCDlg::SaveCurrentTo(const QString& path, QString* message) const
{
    return osc::Save(path, osc::CurrentFile(m_data), message);
}

bool COSCDlg::ExportTo(const QString& path, QString* message) const
{
    const COscGraphModel& m = m_pGraph->Model();
    const bool spectrum = m.Count() == OSCData::kSpectrumPoints;
    // The graph's copy of the settings: dragged markers are exported as shown.
    return osc::WriteWorkbook(path,
        osc::ExportCells(m.Info(), spectrum ? m_data.fSpectrum.data() : m_data.fWave.data(), m.Count()), message);
}

void COSCDlg::OnSaveCurrentOsc()
{
    const QString path = osc_files::Ask(this, osc_files::Save, QStringLiteral("Save Current Osc"),
        osc::ProposedFileName(QDateTime::currentDateTime()), QString::fromLatin1(osc::kFileFilter));
    if (path.isEmpty())
        return;
    QString message;
    if (!SaveCurrentTo(path, &message))
        msgbox::Show(this, message, QString(), msgbox::Warning);
}

void COSCDlg::OnExportToExcel()
{
    QString proposed = osc::ProposedFileName(QDateTime::currentDateTime());
    proposed.replace(QStringLiteral(".osc"), QStringLiteral(".xlsx"));
    const QString path = osc_files::Ask(this, osc_files::Save, QStringLiteral("Export to excel"), proposed,
        QStringLiteral("Excel Workbook(*.xlsx)"));
    if (path.isEmpty())
        return;
    QString message;
    if (!ExportTo(path, &message)) {
        msgbox::Show(this, message, QString(), msgbox::Warning);
        return;
    }
    if (!osc_files::OpenWithDefaultApp(path)) {
        msgbox::Show(this,
            QStringLiteral("The data was saved to %1. No spreadsheet application is registered to open it.")
                .arg(QDir::toNativeSeparators(path)));
    }
}

namespace {

// Opens the print run with the printouts' "Arial" at a `linesPerPage`th of the page height (8
// pixels at the least). Gives the page and the line height.
bool BeginPrintout(CPrintout& printout, QPrinter& printer, int linesPerPage, QRect* page, int* lineHeight)
{
    if (!printout.Begin())
        return false;
    QPainter& p = printout.Painter();
    *page = printer.pageLayout().paintRectPixels(printer.resolution());
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(8, page->height() / linesPerPage));
    p.setFont(font);
    *lineHeight = p.fontMetrics().lineSpacing();
    return true;
}

} // namespace

void COSCDlg::PrintGraph(QPrinter& printer, const QDateTime& now) const
{
    CPrintout printout(printer, Qt::black);
    QRect page;
    int L = 0;
    if (!BeginPrintout(printout, printer, 60, &page, &L))
        return;
    const osc_print::GraphPage layout
        = osc_print::GraphPageLayout(m_pGraph->Model().Info(), page.width(), page.height(), L, now);
    // The graph keeps its on-screen proportions inside the place the layout gives it.
    const COscGraphModel& m = m_pGraph->Model();
    QRectF target = layout.graph;
    const double aspect = double(m.ClientWidth()) / std::max(1, m.ClientHeight());
    if (target.width() / target.height() > aspect)
        target.setWidth(target.height() * aspect);
    else
        target.setHeight(target.width() / aspect);
    target.moveLeft((page.width() - target.width()) / 2);
    m_pGraph->Draw(printout.Painter(), target, true);
    printout.SetPages({ layout.page });
    printout.Run();
}

void COSCDlg::PrintData(QPrinter& printer, const QDateTime& now) const
{
    CPrintout printout(printer, Qt::black);
    QRect page;
    int L = 0;
    if (!BeginPrintout(printout, printer, 80, &page, &L))
        return;
    const COscGraphModel& m = m_pGraph->Model();
    const bool spectrum = m.Count() == OSCData::kSpectrumPoints;
    printout.SetPages(osc_print::DataPages(m.Info(), spectrum ? m_data.fSpectrum.data() : m_data.fWave.data(),
        m.Count(), page.width(), page.height(), L, now));
    printout.Run();
}

void COSCDlg::OnPrintGraph()
{
    CPrintRX print;
    if (print.ShowPrintDialog(this))
        PrintGraph(print.Printer(), QDateTime::currentDateTime());
}

void COSCDlg::OnPrintData()
{
    CPrintRX print;
    if (print.ShowPrintDialog(this))
        PrintData(print.Printer(), QDateTime::currentDateTime());
}
