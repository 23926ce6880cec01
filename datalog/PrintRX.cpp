#include "datalog/PrintRX.h"

#include "datalog/GraphDlg.h"
#include "datalog/GraphPainter.h"
#include "datalog/PrintLayout.h"
#include "platform/PortSettings.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>

namespace {

CPrintRX::Chooser& chooser()
{
    static CPrintRX::Chooser c;
    return c;
}

void drawPage(QPainter& p, const PrintPage& page)
{
    const QFontMetrics fm(p.font(), p.device());
    int previousEnd = 0;
    for (const PrintText& t : page.texts) {
        const int w = fm.horizontalAdvance(t.text);
        int x = t.pos.x();
        switch (t.align) {
        case PrintText::TopCenter: x -= w / 2; break;
        case PrintText::TopRight: x -= w; break;
        case PrintText::AfterPrevious: x += previousEnd; break;
        case PrintText::TopLeft: break;
        }
        p.drawText(QPoint(x, t.pos.y() + fm.ascent()), t.text);
        previousEnd = x + w;
    }
    p.drawLines(page.rules);
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
    QPainter p;
    if (!p.begin(&m_printer))
        return;
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
    drawPage(p, print_layout::GraphPage(log, pw, ph, fm.lineSpacing(), now));
    p.end();
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
    QPainter p;
    if (!p.begin(&m_printer))
        return;
    const int pw = PageWidth(), ph = PageHeight();
    const QFont font = DataFont();
    p.setFont(font);
    p.setPen(Qt::black);
    const QFontMetrics fm(font, p.device());
    const QVector<PrintPage> pages = print_layout::DataTablePages(log, pw, ph, fm.lineSpacing(), now);
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0)
            m_printer.newPage();
        drawPage(p, pages[i]);
    }
    p.end();
}
