#include "datalog/PrintPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

void DrawPrintPage(QPainter& p, const PrintPage& page, const QColor& textColor)
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
        if (textColor.isValid())
            p.setPen(textColor);
        p.drawText(QPoint(x, t.pos.y() + fm.ascent()), t.text);
        previousEnd = x + w;
    }
    p.drawLines(page.rules);
}

CPrintout::CPrintout(QPrinter& printer, const QColor& textColor)
    : m_printer(printer)
    , m_textColor(textColor)
{
}

CPrintout::~CPrintout()
{
    Abort();
}

bool CPrintout::Begin()
{
    return m_painter.begin(&m_printer);
}

void CPrintout::SetPages(QVector<PrintPage> pages)
{
    m_pages = std::move(pages);
    m_nextPage = 0;
}

void CPrintout::SetPager(std::unique_ptr<print_layout::CDataTablePager> pager)
{
    m_pager = std::move(pager);
}

void CPrintout::Abort()
{
    if (!m_painter.isActive())
        return;
    m_printer.abort();
    m_painter.end();
}

bool CPrintout::Step(qsizetype pages)
{
    if (!m_painter.isActive())
        return false;
    for (; pages > 0 && !AtEnd(); --pages) {
        if (m_printed++ > 0)
            m_printer.newPage();
        DrawPrintPage(m_painter, m_pager ? m_pager->Next() : m_pages[m_nextPage++], m_textColor);
    }
    return true;
}

bool CPrintout::AtEnd() const
{
    return m_pager ? m_pager->AtEnd() : m_nextPage >= m_pages.size();
}

qsizetype CPrintout::Done() const
{
    return m_pager ? m_pager->Done() : m_nextPage;
}

qsizetype CPrintout::Total() const
{
    return m_pager ? m_pager->Total() : m_pages.size();
}

bool CPrintout::Complete(QString* message)
{
    if (!m_painter.isActive() || !m_painter.end()) {
        if (message)
            *message = QStringLiteral("The printout could not be finished.");
        return false;
    }
    return true;
}

bool CPrintout::Commit(QString*, const std::atomic<bool>*)
{
    return true;
}
