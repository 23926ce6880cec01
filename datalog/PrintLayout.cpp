#include "datalog/PrintLayout.h"

#include "datalog/DataLogText.h"

#include <algorithm>

namespace print_layout {

PrintPage GraphPage(const CDataLog& log, int pw, int ph, int L, const QDateTime& now)
{
    PrintPage page;
    const QDate d = now.date();
    const QTime t = now.time();
    page.texts.append({ QStringLiteral("Graph"), QPoint(pw / 2, L), PrintText::TopCenter });
    page.texts.append({ QString::asprintf("%d/%d/%d %d:%d:%d", d.day(), d.month(), d.year(), t.hour(), t.minute(),
                            t.second()),
        QPoint(pw / 2, 2 * L), PrintText::TopCenter });
    const int x = pw / 10;
    const int y = ph / 2;
    page.texts.append({ QStringLiteral("Start Time:    ") + log.m_strStartTime, QPoint(x, y) });
    page.texts.append({ QStringLiteral("End Time:    ") + log.m_strEndTime, QPoint(x, y + L) });
    const datalog_text::StatTexts st = datalog_text::StatisticsTexts(log, datalog_text::Place::Export);
    page.texts.append({ QStringLiteral("Maximum:    ") + st.max, QPoint(x, y + 2 * L) });
    // The times follow their values after a gap of a character or so (20 units are a hair on a
    // high-resolution printer).
    const int gap = std::max(20, L);
    page.texts.append({ log.m_strMaxTime, QPoint(gap, y + 2 * L), PrintText::AfterPrevious });
    page.texts.append({ QStringLiteral("Minimum:    ") + st.min, QPoint(x, y + 3 * L) });
    page.texts.append({ log.m_strMinTime, QPoint(gap, y + 3 * L), PrintText::AfterPrevious });
    page.texts.append({ QStringLiteral("Average:    ") + st.average, QPoint(x, y + 4 * L) });
    page.texts.append({ QString::asprintf("Data Number:   %d", log.m_nDataNumber), QPoint(x, y + 5 * L) });
    page.texts.append({ QStringLiteral("Function:   ") + log.m_strType, QPoint(x, y + 6 * L) });
    return page;
}

int LinesPerPage(int ph, int L)
{
    if (L <= 0)
        return 1;
    return std::max(1, (ph - 4 * FontHeight(ph)) / L);
}

CDataTablePager::CDataTablePager(const CDataLog& log, int pw, int ph, int L, const QDateTime& now)
    : m_log(log)
    , m_pw(pw)
    , m_ph(ph)
    , m_L(L)
    , m_fh(FontHeight(ph))
    , m_c(pw / 130)
    , m_P(LinesPerPage(ph, L))
    , m_now(now)
    , m_total(datalog_text::PointCount(log.m_arrSeries[0]))
{
}

void CDataTablePager::Heads(PrintPage& page, int y) const
{
    page.texts.append({ QStringLiteral("ID"), QPoint(4 * m_c, y) });
    page.texts.append({ QStringLiteral("DateTime"), QPoint(11 * m_c, y) });
    page.texts.append({ QStringLiteral("Unit"), QPoint(33 * m_c, y) });
    page.texts.append({ QStringLiteral("Value"), QPoint(42 * m_c, y) });
}

void CDataTablePager::Footer(PrintPage& page) const
{
    const QDate d = m_now.date();
    const QTime t = m_now.time();
    const QString time = QString::asprintf(
        "Time: %d-%d-%d  %d:%d:%d", d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
    // Ends at a third of the page width, whatever the font's character widths.
    page.texts.append({ time, QPoint(m_pw / 3, m_ph - m_fh), PrintText::TopRight });
    page.texts.append({ QString::asprintf("Page -%d-", m_page), QPoint(m_pw / 3 + m_c, m_ph - m_fh) });
}

PrintPage CDataTablePager::Next()
{
    const int c = m_c, fh = m_fh, L = m_L;
    PrintPage page;
    if (m_atEnd)
        return page;
    if (m_page++ == 0) {
        const datalog_text::StatTexts st = datalog_text::StatisticsTexts(m_log, datalog_text::Place::PrintTable);
        page.texts.append({ QStringLiteral("Data Table"), QPoint(m_pw / 4 - 5 * c, fh) });
        page.texts.append({ QStringLiteral("Start Time"), QPoint(4 * c, fh + L) });
        page.texts.append({ QStringLiteral("MaxNUM"), QPoint(4 * c, fh + 2 * L) });
        page.texts.append({ QStringLiteral("MinNUM"), QPoint(4 * c, fh + 3 * L) });
        page.texts.append({ QStringLiteral("Average"), QPoint(4 * c, fh + 4 * L) });
        page.texts.append({ m_log.m_strStartTime, QPoint(15 * c, fh + L) });
        page.texts.append({ st.max + QStringLiteral("   ") + m_log.m_strMaxTime, QPoint(15 * c, fh + 2 * L) });
        page.texts.append({ st.min + QStringLiteral("   ") + m_log.m_strMinTime, QPoint(15 * c, fh + 3 * L) });
        page.texts.append({ st.average, QPoint(15 * c, fh + 4 * L) });
        Heads(page, fh + 7 * L);
    } else {
        page.texts.append({ QStringLiteral("Data Table"), QPoint(m_pw / 4 - 4 * c, fh) });
        Heads(page, fh + L);
    }
    const CDataSeries& s = m_log.m_arrSeries[0];
    while (m_next < s.Size()) {
        const qsizetype i = m_next++;
        if (s.IsNull(i))
            continue;
        const int slot = m_r++ % m_P;
        const int y = fh + L + (slot == 0 ? m_P : slot) * L;
        page.texts.append({ QString::number(++m_number), QPoint(4 * c, y) });
        page.texts.append({ s.DateTime(i), QPoint(11 * c, y) });
        page.texts.append({ s.Unit(i), QPoint(33 * c, y) });
        page.texts.append({ datalog_text::ValueText(s.Value(i), datalog_text::Place::PrintTable), QPoint(42 * c, y) });
        page.rules.append(QLine(4 * c, y + L, 47 * c, y + L));
        if (slot == 0) {
            // The page is full; the next one starts with its title and heads, even when no
            // row is left for it.
            Footer(page);
            return page;
        }
    }
    Footer(page);
    m_atEnd = true;
    return page;
}

QVector<PrintPage> DataTablePages(const CDataLog& log, int pw, int ph, int L, const QDateTime& now)
{
    QVector<PrintPage> pages;
    CDataTablePager pager(log, pw, ph, L, now);
    while (!pager.AtEnd())
        pages.append(pager.Next());
    return pages;
}

} // namespace print_layout
