#include "datalog/PrintRX.h"

#include "datalog/GraphDlg.h"
#include "datalog/GraphPainter.h"
#include "datalog/PrintLayout.h"
#include "datalog/PrintPainter.h"
#include "link/PortSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QTimer>

namespace {

CPrintRX::Chooser& chooser()
{
    static CPrintRX::Chooser c;
    return c;
}

} // namespace

CPrintRX::CPrintRX()
    : m_printer(QPrinter::HighResolution)
{
    m_printer.setDocName(QStringLiteral("Multimeter"));
}

CPrintRX::~CPrintRX() = default;

void CPrintRX::SetChooserForTesting(Chooser c) { chooser() = std::move(c); }

bool CPrintRX::ShowPrintDialog(QWidget* parent)
{
    // Printing to a file last time: the dialog offers a file in that folder again.
    CPortSettings settings;
    const QString lastFile = settings.ReadPrintFile();
    if (!lastFile.isEmpty() && m_printer.outputFileName().isEmpty())
        m_printer.setOutputFileName(lastFile);
    bool accepted = false;
    if (chooser()) {
        accepted = chooser()(m_printer);
    } else {
        QPrintDialog dlg(&m_printer, parent);
        accepted = dlg.exec() == QDialog::Accepted;
    }
    if (accepted)
        settings.WritePrintFile(m_printer.outputFileName());
    return accepted;
}

int CPrintRX::PageWidth() const { return m_printer.pageLayout().paintRectPixels(m_printer.resolution()).width(); }
int CPrintRX::PageHeight() const { return m_printer.pageLayout().paintRectPixels(m_printer.resolution()).height(); }

int CPrintRX::CreateFontSlot()
{
    if (m_nSlots >= kMaxSlots)
        return -1;
    return m_nSlots++;
}

QFont CPrintRX::Font(int slot, int which) const
{
    if (slot < 0 || slot >= m_nSlots)
        return QFont();
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(which < 2 ? 13 : 25);
    f.setWeight(which % 2 ? QFont::Black : QFont::Normal);
    return f;
}

void CPrintRX::PrintGraph(const CGraphDlg& graph, const CDataLog& log, const QDateTime& now)
{
    CPrintout printout(m_printer);
    if (!printout.Begin())
        return;
    QPainter& p = printout.Painter();
    const int pw = PageWidth(), ph = PageHeight();
    const int fh = print_layout::FontHeight(ph);
    const int left = pw / 10, top = ph / 20;
    // The screen's visible window fills the printed plot.
    const CGraphModel& m = graph.Model();
    const int printW = std::max(1, pw - 2 * left), printH = std::max(1, ph / 2 - 2 * top);
    const double xpp = m.PlotWidth() * m.State(0).m_dXPerPixel / printW;
    const double ypp = m.PlotHeight() * m.State(0).m_dYPerPixel / printH;
    graph.DrawGraph(p, QRect(0, 0, pw, ph / 2), xpp, ypp, fh, left, top, true, false);
    const QFont font = GraphPainter::LabelFont(fh);
    p.setFont(font);
    p.setPen(Qt::black);
    const QFontMetrics fm(font, p.device());
    printout.SetPages({ print_layout::GraphPage(log, pw, ph, fm.lineSpacing(), now) });
    printout.Run();
}

QFont CPrintRX::DataFont()
{
    QFont font = GraphPainter::LabelFont(print_layout::FontHeight(PageHeight()));
    // The columns are laid out for a narrow face: where the installed one is wider, it is made
    // smaller until a time stamp fits between its column and the next.
    const int room = 21 * (PageWidth() / 130);
    const int stamp = QFontMetrics(font, &m_printer).horizontalAdvance(QStringLiteral("0000/00/00 00:00:00"));
    if (stamp > room && room > 0)
        font.setPixelSize(std::max(1, font.pixelSize() * room / stamp));
    return font;
}

void CPrintRX::PrintData(const CDataLog& log, const QDateTime& now)
{
    CDataPrintJob job(this, log, nullptr, now);
    if (job.Begin())
        while (job.PrintPages(1 << 30)) { }
}

CDataPrintJob::CDataPrintJob(CPrintRX* printer, const CDataLog& log, const QObject* owner, const QDateTime& now,
    QObject* parent)
    : QObject(parent)
    , m_printer(printer)
    , m_log(log)
    , m_owner(owner)
    , m_watchOwner(owner != nullptr)
    , m_now(now)
    , m_printout(printer->Printer())
{
}

CDataPrintJob::~CDataPrintJob() = default;

bool CDataPrintJob::Begin()
{
    if (!m_printout.Begin())
        return false;
    QPainter& p = m_printout.Painter();
    const int pw = m_printer->PageWidth(), ph = m_printer->PageHeight();
    const QFont font = m_printer->DataFont();
    p.setFont(font);
    p.setPen(Qt::black);
    const QFontMetrics fm(font, p.device());
    m_printout.SetPager(std::make_unique<print_layout::CDataTablePager>(m_log, pw, ph, fm.lineSpacing(), m_now));
    return true;
}

bool CDataPrintJob::PrintPages(int pages)
{
    m_printout.Step(pages);
    if (!m_printout.AtEnd())
        return true;
    m_printout.Complete();
    return false;
}

bool CDataPrintJob::Start()
{
    if (!Begin())
        return false;
    QTimer::singleShot(0, this, &CDataPrintJob::Step);
    return true;
}

void CDataPrintJob::Cancel()
{
    if (!m_printout.IsActive())
        return;
    m_printout.Abort();
    emit finished(false);
}

void CDataPrintJob::Step()
{
    if (!m_printout.IsActive())
        return; // cancelled
    if (m_watchOwner && !m_owner) {
        Cancel();
        return;
    }
    // About a tenth of a second of drawing per turn of the event loop.
    QElapsedTimer t;
    t.start();
    bool more = true;
    while (more && t.elapsed() < 100)
        more = PrintPages(1);
    emit progress(m_printout.Done(), m_printout.Total());
    if (more)
        QTimer::singleShot(0, this, &CDataPrintJob::Step);
    else
        emit finished(true);
}
